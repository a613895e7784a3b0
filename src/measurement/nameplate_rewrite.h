// Putting a motor nameplate into a measurement recorded without the right one: header records 3 to 9 replaced,
// every other byte kept.
#pragma once

#include <QString>
#include <array>

#include "platform/files.h"
#include "shared/result.h"

namespace mervo {

// Rewrites the nameplate of the measurement at `path` under its writer lock, through a complete copy that
// replaces it only once on the disk. The file keeps its modification time, which a printout takes as its test
// date. Refused for a file a receive is recording and for a file that is no measurement.
Status writeNameplate(const QString& path, const std::array<float, 7>& nameplate, FileSystem& fs = systemFileSystem());

}  // namespace mervo
