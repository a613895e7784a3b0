// The operator's markers of a saved measurement changed after its recording: one set at a sample or one removed,
// in the sidecar beside the file.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

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

// The markers of the sidecar as they are now, changed by `change` (given the file's number of whole samples) and
// written back with the rest of the sidecar, under the same lock and refusals; the markers as written. Every edit
// of markers after the recording goes through here, so a window and the command line never write past each other.
using MarkerChange = std::function<Status(std::vector<Marker>& markers, int64_t samples)>;
Result<std::vector<Marker>> changeMarkersInFile(const QString& measurement, const MarkerChange& change,
                                                FileSystem& fs = systemFileSystem());

}  // namespace mervo
