#include "acquisition/receive_status.h"

#include <algorithm>
#include <cmath>

namespace mervo {

namespace {
QString hms(long long seconds) {
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
}  // namespace

QString receiveStatusText(const ReceiveProgress& p) {
    QString t;
    if (p.waiting)
        t = QStringLiteral("仪表已断开，等待重新连接…… 已断开 %1")
                .arg(hms(static_cast<long long>(std::floor(std::max(0.0, p.disconnected) + 1e-9))));
    else if (p.blocks > 0)
        t = QStringLiteral("正在接收　已记录 %1 组　%2 组/秒").arg(p.blocks).arg(p.blocksPerSecond, 0, 'f', 1);
    else if (p.elapsed < kNoDataHintSeconds)
        t = QStringLiteral("等待数据……");
    else  // short enough to stay whole beside the time remaining
        t = QStringLiteral("无数据：请查 COM%1、电缆、仪表输出").arg(p.port);
    if (p.skippedBytes > 0 && !p.waiting) t += QStringLiteral("　跳过 %1 字节").arg(p.skippedBytes);
    if (p.mode == ReceiveMode::Timed) {
        const auto left = static_cast<long long>(std::ceil(std::max(0.0, p.total - p.elapsed) - 1e-9));
        t += QStringLiteral("　剩余 %1").arg(hms(left));
    }
    return t;
}

QString nothingReceivedText(int port, const QString& device, bool portLost) {
    return (portLost ? QStringLiteral("串行口连接中断：仪表已断开，接收已结束！\r\n") : QString()) +
           QStringLiteral("未收到任何数据，没有可保存的内容。\r\n请检查：串行口 COM%1（%2）是否选对，电缆是否连好，"
                          "仪表是否已开机并在发送数据。")
               .arg(port)
               .arg(device);
}

}  // namespace mervo
