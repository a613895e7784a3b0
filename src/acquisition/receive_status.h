// The one line that tells the operator how a receive is going, under the main window's panel.
#pragma once

#include <QString>
#include <cstdint>

#include "acquisition/receive_cycle.h"

namespace mervo {

struct ReceiveProgress {
    ReceiveMode mode = ReceiveMode::Manual;
    int64_t blocks = 0;          // samples recorded
    double blocksPerSecond = 0;  // over the last second
    uint64_t skippedBytes = 0;   // bytes that were not part of a block
    double elapsed = 0;          // seconds since the start
    double total = 0;            // the set time of a timed receive
};

// "等待数据……" before the first block, then "正在接收" with the samples recorded and the blocks a second;
// the bytes skipped when there are any; for a timed receive the time remaining, h:mm:ss rounded up.
QString receiveStatusText(const ReceiveProgress& p);

}  // namespace mervo
