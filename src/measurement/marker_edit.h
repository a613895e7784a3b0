// The operator's markers of a saved measurement changed after its recording: one set at a sample or one removed,
// in the sidecar beside the file.
#pragma once

#include <QString>
#include <cstdint>

#include "measurement/sidecar.h"
#include "platform/files.h"
#include "shared/result.h"

namespace mervo {

// Sets `marker` (its sample from 1 to the file's last; one already there takes the new text), or removes the
// marker at `sample`, under the measurement's writer lock: refused while a receive records the file, for a file
// that is no measurement, for a sample outside it, for a text that is empty and for a sidecar that cannot be
// understood (which is left as it is rather than replaced).
Status setMarkerInFile(const QString& measurement, const Marker& marker, FileSystem& fs = systemFileSystem());
Status deleteMarkerInFile(const QString& measurement, int64_t sample, FileSystem& fs = systemFileSystem());

}  // namespace mervo
