// Shared pieces of the command-line tool: argument reading and the one-line error convention.
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "platform/surface.h"
#include "printing/print_job.h"
#include "shared/result.h"

namespace mervo {
struct AssessmentOutcome;
struct SharedState;
class AnalysisPass;
}  // namespace mervo

namespace mervo::tool {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitPortLost = 3;  // receive: the instrument was disconnected; every block received is kept

// Prints "mervo-tool: <what>: <why>" on stderr.
void reportError(const QString& what, const QString& why);
// The message handler both tool programs install: Qt's own warnings only with MERVO_QT_MESSAGES set.
void quietQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& text);
// Prints a line on stdout and flushes it; false (reported on stderr) when it could not be written.
bool printLine(const std::string& line);

// Walks the arguments of one subcommand: options with values, flags and positionals.
class Args {
public:
    explicit Args(QStringList args) : args_(std::move(args)) {}
    bool atEnd() const { return i_ >= args_.size(); }
    QString next() { return args_.at(i_++); }
    // The value after an option; sets `missing` when there is none.
    QString value(const QString& option, bool* missing);

private:
    QStringList args_;
    int i_ = 0;
};

// The options of the printing commands: -o OUT.pdf, --org T, --device T, --date Y,M,D,h,m.
struct PrintOptions {
    QString output, org, device, date;
    bool hasOrg = false, hasDevice = false;
};
// Takes `a` with its value when it is one of them; sets `missing` when its value is absent.
bool takePrintOption(const QString& a, Args& args, PrintOptions* o, bool* missing);
// The printout's header: the file's modification time, then the options; false (reported) for a bad --date.
bool printHeaderFrom(const QString& cmd, const QString& file, const PrintOptions& o, PrintHeader* header);
// Prints one document into the PDF file `output` through the print job; the exit status, failures reported.
int printToPdf(const QString& cmd, const QString& output, const QString& title,
               const std::function<Status(Surface&)>& draw);

int runReceive(const QString& cmd, Args args);
int runMotor(const QString& cmd, Args args);

// A catalogue code 1..6935 from text, and that motor's nameplate from the catalogue in `dir`.
bool parseMotorCode(const QString& text, int* code);
Result<std::array<float, 7>> catalogueNameplate(const QString& dir, int code);
int runInfo(const QString& cmd, Args args);
// Prints the info JSON of `file`; the exit status.
int printInfo(const QString& cmd, const QString& file);
int runNameplate(const QString& cmd, Args args);
int runMarker(const QString& cmd, Args args);
// The seven numbers of --nameplate p,PN,IN,eta,I0,P0,UN; empty, or why they are not usable.
QString parseNameplateOption(const QString& text, std::array<float, 7>* nameplate);

// The one FILE argument of a command and its options: `option` takes an option it knows (with its value, setting
// `missing` when the value is absent) and returns true. Anything else starting with '-', a second file or a
// missing value is reported; false then (the command exits with the usage status).
bool takeFileAndOptions(const QString& cmd, Args& args, QString* file,
                        const std::function<bool(const QString& option, bool* missing)>& option);
// True (after reporting it) when `output` is the measurement `input` itself, under any name: writing it would
// destroy the measurement.
bool outputIsInput(const QString& cmd, const QString& output, const QString& input);
// A positive number of an option (whole when `whole`), or false (reported as a usage error).
bool positiveNumber(const QString& cmd, const QString& option, const QString& text, double* out, bool whole);
// The one FILE argument of a command that takes nothing else.
bool takeSingleFile(const QString& cmd, Args& args, QString* file);
int runSample(const QString& cmd, Args args);
int runExport(const QString& cmd, Args args);
int runAnalyze(const QString& cmd, Args args);
int runReport(const QString& cmd, Args args);
int runTable(const QString& cmd, Args args);
int runRecover(const QString& cmd, Args args);
// assess FILE …: the assessment as JSON. The printing program gives `printReport`, which prints the assessment
// report into -o's file (the exit status); without it, -o is handed to that program.
using AssessmentReportPrinter =
    std::function<int(const QString& output, const QString& file, const AssessmentOutcome& o)>;
// With --compare FILE2, -o prints the two side by side instead: `printComparison` is given the output, FILE2's
// file and outcome (改造前) and FILE's (改造后).
using AssessmentComparisonPrinter =
    std::function<int(const QString& output, const QString& beforeFile, const AssessmentOutcome& before,
                      const QString& afterFile, const AssessmentOutcome& after)>;
int runAssess(const QString& cmd, Args args, const AssessmentReportPrinter& printReport = {},
              const AssessmentComparisonPrinter& printComparison = {});

// What to add to a pass's failure when `file` is an interrupted recording: who holds it or how to finish it.
QString passFailureHint(const QString& file);
// Makes `file` the measurement of `st` and runs `pass` over all of it, reporting on stderr why it cannot and
// any warning. `keepGoing`, when given, is asked between slices; false stops the pass and fails.
bool runWholePass(const QString& cmd, const QString& file, SharedState& st, AnalysisPass& pass,
                  const std::function<bool()>& keepGoing = {});

}  // namespace mervo::tool
