// Whether this process may open a serial device, and what to tell an operator who may not: serial devices belong to
// a group (dialout; uucp or plugdev on some systems), and a user who is not in it is refused.
#pragma once

#include <QString>

namespace mervo {

// Whether the device may be opened for reading by this process.
bool deviceReadable(const QString& device);
// The name of the group that owns the device node (following links); empty when it cannot be told.
QString deviceGroup(const QString& device);
// What the operator is told: the device's own group and how to join it. A running login keeps the groups it
// started with, so the advice is to log in again; the user's present groups say nothing.
QString noPermissionText(const QString& device);

}  // namespace mervo
