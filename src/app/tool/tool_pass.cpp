// The analysis pass run to its end for a subcommand, with progress on stderr for long files.
#include <QFileInfo>
#include <chrono>
#include <cstdio>

#include "measurement/recovery.h"
#include "analysis/analysis_pass.h"
#include "app/tool/tool_common.h"
#include "platform/files.h"
#include "platform/program_dir.h"

namespace mervo::tool {

QString passFailureHint(const QString& file) {
    // An interrupted recording is named as such, with the command that finishes it.
    if (!diagnose(file).recoverable()) return QString();
    return WriterLock::heldElsewhere(file) ? QStringLiteral(" (a receive is still recording it)")
                                           : QStringLiteral(" (mervo-tool recover %1 finishes it)").arg(file);
}

bool runWholePass(const QString& cmd, const QString& file, SharedState& st, AnalysisPass& pass,
                  const std::function<bool()>& keepGoing) {
    st.file.WorkFile = QFileInfo(file).absoluteFilePath();
    QString warning;
    if (Status s = pass.begin(programDirectory(), &warning); !s) {
        reportError(cmd, s.message() + passFailureHint(file));
        return false;
    }
    if (!warning.isEmpty()) reportError(cmd, warning + passFailureHint(file));
    using Clock = std::chrono::steady_clock;
    auto lastProgress = Clock::now();
    bool shown = false;
    while (!pass.step(65536)) {
        if (keepGoing && !keepGoing()) return false;
        if (Clock::now() - lastProgress >= std::chrono::seconds(1)) {
            lastProgress = Clock::now();
            shown = true;
            std::fprintf(stderr, "%s: %lld of %lld samples\n", cmd.toLocal8Bit().constData(),
                         static_cast<long long>(pass.done()), static_cast<long long>(pass.total()));
        }
    }
    if (pass.failed()) {
        reportError(cmd, pass.error());
        return false;
    }
    if (shown) std::fprintf(stderr, "%s: %lld samples\n", cmd.toLocal8Bit().constData(),
                            static_cast<long long>(pass.done()));
    return !keepGoing || keepGoing();
}

}  // namespace mervo::tool
