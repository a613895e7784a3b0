// The titles of the program's message boxes.
#pragma once

#include <QString>

namespace mervo {

inline QString errorTitle() { return QStringLiteral("错误警告！！！"); }
inline QString operationErrorTitle() { return QStringLiteral("操作错误警告！！！"); }
inline QString receiveTitle() { return QStringLiteral("数据接收！！！"); }
inline QString analysisTitle() { return QStringLiteral("数据分析！！！"); }
inline QString recoveryTitle() { return QStringLiteral("数据恢复！！！"); }

}  // namespace mervo
