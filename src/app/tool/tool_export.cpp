// mervo-tool export FILE [-o OUT.csv]: every sample as one CSV row, from one sequential analysis pass.
#include <QFileInfo>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>

#include "measurement/reader.h"
#include "analysis/analysis_pass.h"
#include "app/tool/tool_common.h"
#include "platform/file_replacement.h"
#include "shared/number_format.h"

namespace mervo::tool {

namespace {

const char kHeader[] =
    "no,time_s,clock,I1,U1,P1,I2,U2,P2,I3,U3,P3,P_total,Q_total,S,PF,indicator,Ep_Wh,Eq_varh,motor_state,P_out,"
    "efficiency,load_rate\n";

constexpr size_t kFlushBytes = 1 << 20;

// An empty field where a number has no value, rather than a word a spreadsheet would take for text.
void appendNumber(std::string& row, float v) {
    if (std::isfinite(v)) appendShortestFloat(row, v);
    row += ',';
}

void appendOptional(std::string& row, const std::optional<float>& v) {
    if (v && std::isfinite(*v)) appendShortestFloat(row, *v);
}

// Field text with the quoting CSV needs when it holds a separator, a quote or a line break.
void appendText(std::string& row, const QString& text) {
    const std::string s = text.toStdString();
    if (s.find_first_of(",\"\r\n") == std::string::npos) {
        row += s;
    } else {
        row += '"';
        for (char c : s) {
            if (c == '"') row += '"';
            row += c;
        }
        row += '"';
    }
    row += ',';
}

// Where the output goes: stdout, or a file that replaces OUT only once every row is written.
class CsvSink {
public:
    Status open(const QString& path) {
        if (path.isEmpty()) return {};
        file_ = std::make_unique<FileReplacement>();
        return file_->begin(path);
    }
    Status write(const std::string& bytes) {
        if (bytes.empty()) return {};
        if (!file_) {
            if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) return stdoutFailed();
            return {};
        }
        if (Status s = file_->file().writeAt(written_, bytes.data(), bytes.size()); !s) return s;
        written_ += static_cast<int64_t>(bytes.size());
        return {};
    }
    Status finish() {
        if (file_) return file_->commit();
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) return stdoutFailed();
        return {};
    }
    void abandon() {
        if (file_) file_->abandon();
    }

private:
    static Status stdoutFailed() { return Status::failure(QStringLiteral("standard output: write failed")); }

    std::unique_ptr<FileReplacement> file_;
    int64_t written_ = 0;
};

// The clock time of a sample, HH:MM:SS.ss: the start clock plus the elapsed time, past midnight from 00:00.
void appendClock(std::string& row, float start, float elapsed) {
    double t = static_cast<double>(start) + static_cast<double>(elapsed);
    if (std::isfinite(t)) {
        t = std::fmod(t, 86400.0);
        if (t < 0) t += 86400.0;
        const long long cs = std::llround(t * 100.0) % 8640000;  // 23:59:59.996 rounds to 00:00:00.00
        const long long parts[] = {cs / 360000, cs / 6000 % 60, cs / 100 % 60, cs % 100};
        const char separators[] = ":::.";
        for (int k = 0; k < 4; ++k) {
            if (k > 0) row += separators[k];
            row += static_cast<char>('0' + parts[k] / 10);
            row += static_cast<char>('0' + parts[k] % 10);
        }
    }
    row += ',';
}

}  // namespace

int runExport(const QString& cmd, Args args) {
    QString file, output;
    const auto option = [&](const QString& a, bool* missing) {
        if (a != QLatin1String("-o")) return false;
        output = args.value(a, missing);
        return true;
    };
    if (!takeFileAndOptions(cmd, args, &file, option)) return kExitUsage;
    if (file.isEmpty()) {
        reportError(cmd, QStringLiteral("which file? usage: mervo-tool export FILE [-o OUT.csv]"));
        return kExitUsage;
    }
    if (!output.isEmpty() && outputIsInput(cmd, output, file)) return kExitUsage;

    Status writeStatus;
    MeasurementReader reader;
    if (Status s = reader.open(file); !s) {
        reportError(cmd, s.message());
        return kExitFailure;
    }
    const float start = reader.info().header.StartTime;
    reader.close();

    CsvSink sink;
    if (Status s = sink.open(output); !s) {
        reportError(cmd, s.message());
        return kExitFailure;
    }
    std::string buffer(kHeader);
    buffer.reserve(kFlushBytes + 4096);
    bool writeFailed = false;
    int64_t no = 0;

    SharedState st;
    AnalysisPass pass(st, nullptr);
    pass.keepEnergySeries(false);  // nothing here queries a record
    // One row per sample as the pass reaches it; only the unwritten rows are held.
    // The two texts of a row by motor state, made once rather than per row.
    std::array<std::string, 4> captions;
    for (MotorState m : {MotorState::NoMotorData, MotorState::Running, MotorState::BelowNoLoad, MotorState::Generating}) {
        std::string& c = captions[static_cast<size_t>(m)];
        appendText(c, motorStateMessage(m));
    }
    pass.onSample = [&](const PanelSample& s) {
        if (writeFailed) return;
        char digits[24];
        buffer.append(digits, static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, ++no).ptr - digits));
        buffer += ',';
        appendNumber(buffer, s.elapsed);
        appendClock(buffer, start, s.elapsed);
        for (float v : s.fileValues) appendNumber(buffer, v);
        appendNumber(buffer, s.values[2]);
        appendNumber(buffer, s.values[5]);
        appendNumber(buffer, s.values[9]);
        appendNumber(buffer, s.values[8]);
        buffer += s.values[8] < 0 ? "L," : "C,";  // the panel's L/C indicator
        appendNumber(buffer, s.values[10]);
        appendNumber(buffer, s.values[11]);
        buffer += captions[static_cast<size_t>(s.state)];
        appendOptional(buffer, s.outputPower);
        buffer += ',';
        appendOptional(buffer, s.efficiency);
        buffer += ',';
        appendOptional(buffer, s.loadRate);
        buffer += '\n';
        if (buffer.size() >= kFlushBytes) {
            writeStatus = sink.write(buffer);
            writeFailed = !writeStatus;
            buffer.clear();
        }
    };
    if (!runWholePass(cmd, file, st, pass, [&] { return !writeFailed; })) {
        if (writeFailed) reportError(cmd, writeStatus.message());
        sink.abandon();
        return kExitFailure;
    }
    Status done = sink.write(buffer);
    if (done) done = sink.finish();
    if (!done) {
        reportError(cmd, done.message());
        sink.abandon();
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace mervo::tool
