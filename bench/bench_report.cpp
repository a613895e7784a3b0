// The printed report of a million-sample measurement: mervo-tool report's work (analysis pass, then the
// report into a PDF), wall time and the size of the PDF.
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "measurement/writer.h"
#include "analysis/analysis_pass.h"
#include "platform/qt_paint/pdf_output.h"
#include "printing/print_job.h"
#include "printing/report.h"

using namespace mervo;

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int64_t n = argc > 1 ? std::atoll(argv[1]) : 1000000;
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("day.mtx")), out = dir.filePath(QStringLiteral("day.pdf"));
    {
        WorkingFileWriter w;
        FileHeader h;
        h.TotalTime = 86400;
        h.nameplate = {4, 11, 22.6f, 88, 7, 0.5f, 380};
        h.channels = {1, 1, 1};
        if (Status s = w.create(in, h); !s) return std::fprintf(stderr, "%s\n", qPrintable(s.message())), 1;
        std::array<float, 12> mx, mn;
        mx.fill(-1e5f), mn.fill(1e5f);
        for (int64_t i = 0; i < n; ++i) {
            // A load that swings slowly, with noise, and idles below no-load power now and then.
            const float t = static_cast<float>(i) / static_cast<float>(n);
            const float load = 0.5f + 0.45f * std::sin(40 * t) + 0.05f * std::sin(i * 1.7f);
            const float cur = 5 + 20 * load, u = 380 + 5 * std::sin(i * 0.37f), p = (i / 5000) % 7 == 0 ? 0.1f : 11 * load;
            const float s[9] = {cur, u, p / 3, cur, u, p / 3, cur, u, p / 3};
            (void)w.appendSample(s);
            const float v[12] = {cur, u, p, cur, u, 0, cur, u, 0.85f, 0, 0, 0};
            for (int k = 0; k < 12; ++k) mx[k] = std::max(mx[k], v[k]), mn[k] = std::min(mn[k], v[k]);
        }
        (void)w.appendTrailer(mx, mn);
    }
    using Clock = std::chrono::steady_clock;
    const auto t0 = Clock::now();
    SharedState st;
    st.file.WorkFile = in;
    AnalysisPass pass(st, nullptr);
    if (Status s = pass.begin(QString()); !s) return std::fprintf(stderr, "%s\n", qPrintable(s.message())), 1;
    while (!pass.step(1 << 16)) {
    }
    const auto t1 = Clock::now();
    {
        auto pdf = PdfOutput::open(out);
        const Status printed = pdf ? printDocument(**pdf, [&](Surface& page) { return printReport(st, page, PrintHeader{}); })
                                   : pdf.status();
        if (!printed) return std::fprintf(stderr, "%s\n", qPrintable(printed.message())), 1;
    }
    const auto t2 = Clock::now();
    const auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
    std::printf("samples %lld: pass %.0f ms, report %.0f ms, PDF %lld bytes\n", static_cast<long long>(n),
                ms(t1 - t0), ms(t2 - t1), static_cast<long long>(QFileInfo(out).size()));
    return 0;
}
