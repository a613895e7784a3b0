// mervo-tool export FILE [-o OUT.csv] [--interval S] [--from A] [--to B] [--excel]: the measurement as CSV.
#include <chrono>
#include <cmath>
#include <cstdio>

#include "app/tool/tool_common.h"
#include "platform/stop_signals.h"
#include "export/csv_export.h"

namespace mervo::tool {

namespace {

const char kExportUsage[] = "usage: mervo-tool export FILE [-o OUT.csv] [--interval S] [--from A] [--to B] [--excel]";

}  // namespace

int runExport(const QString& cmd, Args args) {
    QString file, output, interval, from, to;
    CsvExportOptions options;
    const auto option = [&](const QString& a, bool* missing) {
        if (a == QLatin1String("-o")) output = args.value(a, missing);
        else if (a == QLatin1String("--interval")) interval = args.value(a, missing);
        else if (a == QLatin1String("--from")) from = args.value(a, missing);
        else if (a == QLatin1String("--to")) to = args.value(a, missing);
        else if (a == QLatin1String("--excel")) options.spreadsheet = true;
        else return false;
        return true;
    };
    if (!takeFileAndOptions(cmd, args, &file, option)) return kExitUsage;
    if (file.isEmpty()) {
        reportError(cmd, QStringLiteral("which file? ") + QString::fromLatin1(kExportUsage));
        return kExitUsage;
    }
    double v = 0;
    if (!interval.isEmpty()) {
        if (!positiveNumber(cmd, QStringLiteral("--interval"), interval, &v, false)) return kExitUsage;
        options.intervalSeconds = v;
    }
    if (!from.isEmpty()) {
        if (!positiveNumber(cmd, QStringLiteral("--from"), from, &v, true)) return kExitUsage;
        options.from = static_cast<int64_t>(v);
    }
    if (!to.isEmpty()) {
        if (!positiveNumber(cmd, QStringLiteral("--to"), to, &v, true)) return kExitUsage;
        options.to = static_cast<int64_t>(v);
    }
    if (!output.isEmpty() && outputIsInput(cmd, output, file)) return kExitUsage;

    // Ctrl-C stops the export and leaves no partial CSV behind.
    StopSignals stop;
    if (!output.isEmpty() && !stop.install()) {
        reportError(cmd, QStringLiteral("cannot install the stop signal handlers"));
        return kExitFailure;
    }
    using Clock = std::chrono::steady_clock;
    auto lastShown = Clock::now();
    bool shown = false;
    const auto progress = [&](int64_t done, int64_t total) {
        if (!output.isEmpty() && stop.takeRequest()) return false;
        if (Clock::now() - lastShown >= std::chrono::seconds(1)) {
            lastShown = Clock::now();
            shown = true;
            std::fprintf(stderr, "%s: %lld of %lld samples\n", cmd.toLocal8Bit().constData(),
                         static_cast<long long>(done), static_cast<long long>(total));
        }
        return true;
    };
    QString warning;
    const Status s = exportCsv(file, output, options, progress, &warning);
    if (!warning.isEmpty()) reportError(cmd, warning + passFailureHint(file));
    if (!s) {
        reportError(cmd, s.message() + (warning.isEmpty() ? passFailureHint(file) : QString()));
        return kExitFailure;
    }
    if (shown) std::fputs("export: done\n", stderr);
    return kExitOk;
}

}  // namespace mervo::tool
