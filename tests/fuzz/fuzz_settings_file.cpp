// The settings reader over any file content: it never fails, and whatever it hands the program is usable
// (a port the window offers, a known curve, finite positive ratios, a segment width the analysis knows),
// with a rejected line replaced by the initial value and the report telling which lines were taken.
#include <cmath>

#include "files/settings_file.h"
#include "fuzz_support.h"

using namespace mervo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::TempFile file(data, size);
    SettingsValues s;
    // Start from values no line could produce, so a line left unset would show.
    s.CommPortNo = -99;
    s.CurveKind = -99;
    s.TotalTimeSetting = -99;
    s.CTRatio = -99;
    s.PTRatio = -99;
    s.SegmentCount = -99;
    s.RedOn = s.BlueOn = s.YellowOn = -99;
    float totalTime = -99;
    const SettingsReadReport report = readSettingsFile(file.path(), s, totalTime);
    FUZZ_CHECK(report.fileFound);

    FUZZ_CHECK(s.CommPortNo >= 1 && s.CommPortNo <= 8);
    FUZZ_CHECK(s.CurveKind >= 0 && s.CurveKind <= 9);
    FUZZ_CHECK(std::isfinite(s.TotalTimeSetting) && s.TotalTimeSetting >= 0);
    FUZZ_CHECK(std::isfinite(s.CTRatio) && s.CTRatio > 0);
    FUZZ_CHECK(std::isfinite(s.PTRatio) && s.PTRatio > 0);
    FUZZ_CHECK(s.SegmentCount == 5 || s.SegmentCount == 10 || s.SegmentCount == 20);
    for (int16_t on : {s.RedOn, s.BlueOn, s.YellowOn}) FUZZ_CHECK(on == 0 || on == 1);
    FUZZ_CHECK(s.WiringCode == 4 * s.RedOn + 2 * s.BlueOn + s.YellowOn);
    FUZZ_CHECK(totalTime == s.TotalTimeSetting);

    // A line that was not taken holds the initial value.
    const SettingsValues initial;
    if (!report.lineUsed[0]) FUZZ_CHECK(s.CommPortNo == initial.CommPortNo);
    if (!report.lineUsed[1]) FUZZ_CHECK(s.CurveKind == initial.CurveKind);
    if (!report.lineUsed[2]) FUZZ_CHECK(s.TotalTimeSetting == initial.TotalTimeSetting);
    if (!report.lineUsed[3]) FUZZ_CHECK(s.CTRatio == initial.CTRatio);
    if (!report.lineUsed[4]) FUZZ_CHECK(s.PTRatio == initial.PTRatio);
    if (!report.lineUsed[5]) FUZZ_CHECK(s.SegmentCount == initial.SegmentCount);
    if (!report.lineUsed[6]) FUZZ_CHECK(s.RedOn == initial.RedOn);
    if (!report.lineUsed[7]) FUZZ_CHECK(s.BlueOn == initial.BlueOn);
    if (!report.lineUsed[8]) FUZZ_CHECK(s.YellowOn == initial.YellowOn);
    FUZZ_CHECK(report.fallbacks() >= 0 && report.fallbacks() <= 9);
    if (size == 0) FUZZ_CHECK(report.fallbacks() == 9);

    // What was read, written out and read again, gives the same settings with every line taken. The file
    // keeps seven significant digits, so a float needing more comes back within that precision, and from then
    // on unchanged.
    auto rewrite = [](const SettingsValues& from) {
        const QByteArray text = formatSettings(from);
        fuzz::TempFile again(text.constData(), static_cast<size_t>(text.size()));
        SettingsValues r;
        float total = 0;
        FUZZ_CHECK(readSettingsFile(again.path(), r, total).fallbacks() == 0);
        return r;
    };
    auto close = [](float a, float b) { return std::fabs(double(a) - double(b)) <= 1e-6 * std::fabs(double(b)); };
    const SettingsValues r = rewrite(s);
    FUZZ_CHECK(r.CommPortNo == s.CommPortNo && r.CurveKind == s.CurveKind);
    FUZZ_CHECK(close(r.TotalTimeSetting, s.TotalTimeSetting) && close(r.CTRatio, s.CTRatio) &&
               close(r.PTRatio, s.PTRatio));
    FUZZ_CHECK(r.SegmentCount == s.SegmentCount);
    FUZZ_CHECK(r.RedOn == s.RedOn && r.BlueOn == s.BlueOn && r.YellowOn == s.YellowOn);
    const SettingsValues r2 = rewrite(r);
    FUZZ_CHECK(r2.TotalTimeSetting == r.TotalTimeSetting && r2.CTRatio == r.CTRatio && r2.PTRatio == r.PTRatio);
    return 0;
}
