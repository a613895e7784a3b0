// What the measurement file's fixed layout has no room for, kept in one small file beside it ("NAME.side"): the
// gaps of a receive that waited for its instrument to come back, and the operator's markers. A measurement without
// one reads exactly as it always did. The sidecar names the start time of its recording (header record 1), so one
// left beside a file that has since been replaced by another recording is recognised and left out.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

#include "measurement/receive_gaps.h"
#include "platform/files.h"
#include "shared/result.h"

namespace mervo {

struct Marker {
    int64_t sample = 0;  // from 1
    QString text;
    bool operator==(const Marker& o) const { return sample == o.sample && text == o.text; }
};

struct Sidecar {
    ReceiveGaps gaps;
    std::vector<Marker> markers;  // in order of their samples, one at a sample
    bool empty() const { return gaps.empty() && markers.empty(); }
};

// Puts a marker at its sample, in order; one already there takes the new text.
void setMarker(std::vector<Marker>& markers, const Marker& m);
// Removes the marker at `sample`; false when there is none.
bool deleteMarker(std::vector<Marker>& markers, int64_t sample);
// The markers at samples from..to (numbered from 1, both included).
std::vector<Marker> markersWithin(const std::vector<Marker>& markers, int64_t from, int64_t to);
// The markers of a measurement for what is printed or exported from it: none when it has no sidecar or one that
// cannot be used (which its reading of the gaps says already).
std::vector<Marker> measurementMarkers(const QString& measurement, float startTime);

// "NAME.MTQ" -> "NAME.MTQ.side", "TEMP.MTX" -> "TEMP.MTX.side".
QString sidecarPath(const QString& measurement);

// The text of a sidecar, and the sidecar a text holds for the recording that started at `startTime`: one of another
// recording reads as empty; a text that is no sidecar fails, saying why.
QByteArray sidecarText(const Sidecar& sidecar, float startTime);
Result<Sidecar> parseSidecar(const QByteArray& text, float startTime);

// The sidecar beside `measurement`, whose header starts at `startTime`; none reads as empty. One that cannot be
// read or understood fails with a sentence naming it.
Result<Sidecar> readSidecar(const QString& measurement, float startTime);
// The gaps for a measurement's times. A sidecar that cannot be used is said in `warning` (when given) and no gaps
// are counted, so the measurement still opens.
ReceiveGaps measurementGaps(const QString& measurement, float startTime, QString* warning = nullptr);

// Writes the sidecar through a durable replacement; an empty one removes the file, so that a measurement without
// gaps or markers has none.
Status writeSidecar(const QString& measurement, float startTime, const Sidecar& sidecar,
                    FileSystem& fs = systemFileSystem());
// After `source` has been copied to `destination`: its sidecar goes beside the copy, and one that was there
// before (of the measurement the copy replaced) goes when the source has none.
Status carrySidecar(const QString& source, const QString& destination, FileSystem& fs = systemFileSystem());
// Removes the sidecar of a measurement that is made afresh (the working file at the start of a receive).
Status removeSidecar(const QString& measurement, FileSystem& fs = systemFileSystem());

}  // namespace mervo
