// mervo-tool table FILE -o OUT.pdf [--from A] [--to B] [--org T] [--device T] [--date Y,M,D,h,m]: the printed
// data table as a PDF, with the print window's defaults.
#include <unistd.h>

#include <QFileInfo>
#include <chrono>
#include <cstdio>

#include "app/tool/tool_common.h"
#include "measurement/reader.h"
#include "motor/operating_point.h"
#include "platform/stop_signals.h"
#include "printing/data_table.h"

namespace mervo::tool {

namespace {
const char kTableUsage[] =
    "usage: mervo-tool table FILE -o OUT.pdf [--from A] [--to B] [--org T] [--device T] [--date Y,M,D,h,m]";
// "page K of N" on stderr while the table prints: on a terminal one line rewritten in place a few times a
// second, otherwise a plain line at most once a second, so a log of a long table stays short.
class PageProgress {
public:
    PageProgress() : terminal_(::isatty(STDERR_FILENO) == 1), last_(Clock::now()) {}
    // Ends the line rewritten in place, so what follows on stderr starts a line of its own.
    void end() {
        if (shown_ && terminal_) std::fputc('\n', stderr);
        shown_ = false;
    }
    void operator()(int64_t done, int64_t total) {
        const auto now = Clock::now();
        const bool last = done == total;
        if (!(last && shown_) && now - last_ < (terminal_ ? std::chrono::milliseconds(250) : std::chrono::seconds(1)))
            return;
        last_ = now;
        shown_ = true;
        std::fprintf(stderr, terminal_ ? "\rtable: page %lld of %lld" : "table: page %lld of %lld\n",
                     static_cast<long long>(done), static_cast<long long>(total));
        std::fflush(stderr);
    }

private:
    using Clock = std::chrono::steady_clock;
    const bool terminal_;
    Clock::time_point last_;
    bool shown_ = false;
};

}  // namespace

int runTable(const QString& cmd, Args args) {
    QString file, from, to;
    PrintOptions o;
    const auto option = [&](const QString& a, bool* missing) {
        if (a == QLatin1String("--from")) from = args.value(a, missing);
        else if (a == QLatin1String("--to")) to = args.value(a, missing);
        else return takePrintOption(a, args, &o, missing);
        return true;
    };
    if (!takeFileAndOptions(cmd, args, &file, option)) return kExitUsage;
    if (file.isEmpty() || o.output.isEmpty()) {
        reportError(cmd, QString::fromLatin1(kTableUsage));
        return kExitUsage;
    }
    if (outputIsInput(cmd, o.output, file)) return kExitUsage;
    PrintHeader header;
    if (!printHeaderFrom(cmd, file, o, &header)) return kExitUsage;

    SharedState st;
    st.file.WorkFile = QFileInfo(file).absoluteFilePath();
    const Result<int64_t> n = tableSampleCount(st.file.WorkFile);
    if (!n) {
        reportError(cmd, n.message());
        return kExitFailure;
    }
    const Result<TableRange> range = parseTableRange(from.isEmpty() ? QStringLiteral("1") : from,
                                                     to.isEmpty() ? QString::number(*n) : to, *n);
    if (!range) {
        reportError(cmd, range.message());
        return kExitFailure;
    }
    {
        MeasurementReader reader;
        if (Status s = reader.open(st.file.WorkFile); !s) {
            reportError(cmd, s.message());
            return kExitFailure;
        }
        confirmNameplate(st.motor, reader.info().header.nameplate);
    }
    // Ctrl-C or a closed terminal stops the table between pages and leaves no partial PDF behind.
    StopSignals stop;
    if (!stop.install()) {
        reportError(cmd, QStringLiteral("cannot install the stop signal handlers"));
        return kExitFailure;
    }
    PageProgress progress;
    return printToPdf(cmd, o.output, QStringLiteral("数据"), [&](Surface& page) {
        // Announced once the output is open, before the first page is drawn.
        const int64_t pages = tablePageCount(*range);
        std::fprintf(stderr, "table: %lld page%s for rows %lld to %lld\n", static_cast<long long>(pages),
                     pages == 1 ? "" : "s", static_cast<long long>(range->first), static_cast<long long>(range->last));
        std::fflush(stderr);
        const Status printed = printDataTable(st, page, header, *range, [&](int64_t done, int64_t total) {
            if (stop.takeRequest()) return false;
            progress(done, total);
            return true;
        });
        progress.end();
        return printed;
    });
}

}  // namespace mervo::tool
