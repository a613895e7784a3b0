#include "acquisition/receive_status.h"

#include <algorithm>
#include <cmath>

namespace mervo {

QString receiveStatusText(const ReceiveProgress& p) {
    QString t = p.blocks == 0 ? QStringLiteral("等待数据……")
                              : QStringLiteral("正在接收　已记录 %1 组　%2 组/秒")
                                    .arg(p.blocks)
                                    .arg(p.blocksPerSecond, 0, 'f', 1);
    if (p.skippedBytes > 0) t += QStringLiteral("　跳过 %1 字节").arg(p.skippedBytes);
    if (p.mode == ReceiveMode::Timed) {
        const auto left = static_cast<long long>(std::ceil(std::max(0.0, p.total - p.elapsed) - 1e-9));
        t += QStringLiteral("　剩余 %1:%2:%3")
                 .arg(left / 3600)
                 .arg(left / 60 % 60, 2, 10, QLatin1Char('0'))
                 .arg(left % 60, 2, 10, QLatin1Char('0'));
    }
    return t;
}

}  // namespace mervo
