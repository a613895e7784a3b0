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
    int port = 0;                // the COM number it listens on
    bool waiting = false;        // the device has gone and the receive waits for it to come back
    double disconnected = 0;     // for how many seconds, while waiting
};

// Seconds without a first block after which the status line names what to check.
inline constexpr double kNoDataHintSeconds = 5;

// "等待数据……" before the first block, and from kNoDataHintSeconds on what to check instead; then "正在接收"
// with the samples recorded and the blocks a second, and the bytes skipped when there are any; while the device is
// gone "仪表已断开，等待重新连接…… 已断开 h:mm:ss" instead; for a timed receive the time remaining, h:mm:ss rounded
// up.
QString receiveStatusText(const ReceiveProgress& p);

// What the operator is told when a receive ended without a single block: that there is nothing to save, and
// what to check, naming the port and its device; a port that went away is said first.
QString nothingReceivedText(int port, const QString& device, bool portLost);

}  // namespace mervo
