// mervo-tool export FILE [-o OUT.csv]: every sample as one CSV row, from one sequential analysis pass.
#include <QFileInfo>
#include <array>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "measurement/reader.h"
#include "analysis/analysis_pass.h"
#include "app/tool/tool_common.h"
#include "platform/file_replacement.h"
#include "shared/number_format.h"
#include "shared/second_core.h"

namespace mervo::tool {

namespace {

const char kHeader[] =
    "no,time_s,clock,I1,U1,P1,I2,U2,P2,I3,U3,P3,P_total,Q_total,S,PF,indicator,Ep_Wh,Eq_varh,motor_state,P_out,"
    "efficiency,load_rate\n";

// Rows turned into text and written at a time: a few megabytes of CSV.
constexpr size_t kBatchRows = 16384;

// One row's numbers, copied out of the pass's chunk so that a batch of rows can be written in parallel.
struct Row {
    int64_t no;
    float elapsed;
    std::array<float, kSampleRecords + 4> values;  // the file's nine, then P, Q, S and PF in total
    float ep, eq, outputPower, efficiency, loadRate;
    MotorState state;
};

// A batch's text: `size` bytes used of a buffer kept from batch to batch.
struct Text {
    std::vector<char> bytes;
    size_t size = 0;
};

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
    Status write(const char* bytes, size_t n) {
        if (n == 0) return {};
        if (!file_) {
            if (std::fwrite(bytes, 1, n, stdout) != n) return stdoutFailed();
            return {};
        }
        if (Status s = file_->file().writeAt(written_, bytes, n); !s) return s;
        written_ += static_cast<int64_t>(n);
        // Hundreds of megabytes would otherwise all wait for the disk at the end; a few megabytes at a time
        // keep it busy with requests it can merge.
        if (written_ - sent_ >= kWritebackBytes) {
            file_->file().startWriteback(sent_, written_ - sent_);
            sent_ = written_;
        }
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
    static constexpr int64_t kWritebackBytes = 8 << 20;
    int64_t written_ = 0, sent_ = 0;  // bytes written, and of those sent to the disk
};

// The clock time of a sample, HH:MM:SS.ss (11 characters, or none for a clock that cannot be told): the
// start clock plus the elapsed time, past midnight from 00:00.
char* writeClock(char* out, float start, float elapsed) {
    double t = static_cast<double>(start) + static_cast<double>(elapsed);
    if (!std::isfinite(t)) return out;
    t = std::fmod(t, 86400.0);
    if (t < 0) t += 86400.0;
    const long long cs = std::llround(t * 100.0) % 8640000;  // 23:59:59.996 rounds to 00:00:00.00
    const long long parts[] = {cs / 360000, cs / 6000 % 60, cs / 100 % 60, cs % 100};
    const char separators[] = ":::.";
    for (int k = 0; k < 4; ++k) {
        if (k > 0) *out++ = separators[k];
        *out++ = static_cast<char>('0' + parts[k] / 10);
        *out++ = static_cast<char>('0' + parts[k] % 10);
    }
    return out;
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
    std::atomic<bool> writeFailed{false};
    SharedState st;
    AnalysisPass pass(st, nullptr);
    pass.keepEnergySeries(false);  // nothing here queries a record
    // The two texts of a row by motor state, made once rather than per row.
    std::array<std::string, 4> captions;
    for (MotorState m : {MotorState::NoMotorData, MotorState::Running, MotorState::BelowNoLoad, MotorState::Generating}) {
        std::string& c = captions[static_cast<size_t>(m)];
        appendText(c, motorStateMessage(m));
    }
    size_t captionChars = 0;
    for (const std::string& c : captions) captionChars = std::max(captionChars, c.size());
    // The longest a row can be: the number, the clock, twenty numbers, L/C, the caption, the commas.
    const size_t rowChars = 24 + 16 + 20 * (kShortestMaxChars + 1) + 2 + captionChars + 4;
    // Rows as text into `out`, grown (never shrunk) to the longest they could be, so no byte is cleared twice.
    const auto writeRows = [&](Text& out, const Row* rows, size_t count) {
        if (out.bytes.size() < count * rowChars) out.bytes.resize(count * rowChars);
        char* p = out.bytes.data();
        // An empty field where a number has no value, rather than a word a spreadsheet would take for text.
        const auto number = [&p](float v) {
            if (std::isfinite(v)) p = writeShortestFloat(p, v);
        };
        for (const Row* r = rows; r != rows + count; ++r) {
            p = std::to_chars(p, p + 24, r->no).ptr;
            *p++ = ',';
            number(r->elapsed);
            *p++ = ',';
            p = writeClock(p, start, r->elapsed);
            *p++ = ',';
            for (float v : r->values) {
                number(v);
                *p++ = ',';
            }
            *p++ = r->values[kSampleRecords + 3] < 0 ? 'L' : 'C';  // the panel's L/C indicator, from PF
            *p++ = ',';
            number(r->ep);
            *p++ = ',';
            number(r->eq);
            *p++ = ',';
            const std::string& caption = captions[static_cast<size_t>(r->state)];
            p = std::copy(caption.begin(), caption.end(), p);
            if (r->state == MotorState::Running || r->state == MotorState::BelowNoLoad) {
                number(r->outputPower);
                *p++ = ',';
                number(r->efficiency);
                *p++ = ',';
                number(r->loadRate);
            } else {
                *p++ = ',';
                *p++ = ',';
            }
            *p++ = '\n';
        }
        out.size = static_cast<size_t>(p - out.bytes.data());
    };

    // Rows are gathered from the pass's chunks and turned into text in two halves at once, a second core
    // taking one, while a third thread writes the batch before: the text is most of an export's time.
    std::vector<Row> rows;
    rows.reserve(kBatchRows);
    std::array<std::array<Text, 2>, 2> texts;  // two batches' halves: one filled while one is written
    size_t filling = 0;
    SecondCore helper, writer;
    bool writing = false;
    const auto waitForWriter = [&]() {
        if (writing) writer.finish();
        writing = false;
    };
    const auto flush = [&]() {
        if (writeFailed || rows.empty()) return;
        std::array<Text, 2>& text = texts[filling];
        const size_t half = SecondCore::available() && rows.size() >= 1024 ? rows.size() / 2 : rows.size();
        text[1].size = 0;
        if (half < rows.size())
            helper.together([&] { writeRows(text[1], rows.data() + half, rows.size() - half); },
                            [&] { writeRows(text[0], rows.data(), half); });
        else
            writeRows(text[0], rows.data(), rows.size());
        rows.clear();
        waitForWriter();
        writing = true;
        writer.start([&] {
            for (const Text& t : text) {
                if (writeFailed) break;
                writeStatus = sink.write(t.bytes.data(), t.size);
                writeFailed = !writeStatus;
            }
        });
        filling ^= 1;
    };
    if (Status s = sink.write(kHeader, sizeof kHeader - 1); !s) {
        reportError(cmd, s.message());
        sink.abandon();
        return kExitFailure;
    }
    pass.onRows = [&](const SampleRows& r) {
        for (int64_t j = 0; j < r.count; ++j) {
            Row row;
            row.no = r.first + j + 1;
            row.elapsed = r.elapsed[j];
            std::copy_n(r.fileValues + j * kSampleRecords, kSampleRecords, row.values.begin());
            row.values[kSampleRecords] = r.sumP[j];
            row.values[kSampleRecords + 1] = r.sumQ[j];
            row.values[kSampleRecords + 2] = r.s[j];
            row.values[kSampleRecords + 3] = r.pf[j];
            row.ep = r.ep[j];
            row.eq = r.eq[j];
            row.outputPower = r.outputPower[j];
            row.efficiency = r.efficiency[j];
            row.loadRate = r.loadRate[j];
            row.state = r.state[j];
            rows.push_back(row);
        }
        if (rows.size() >= kBatchRows) flush();
    };
    const bool passed = runWholePass(cmd, file, st, pass, [&] { return !writeFailed; });
    if (passed) flush();
    waitForWriter();
    if (!passed) {
        if (writeFailed) reportError(cmd, writeStatus.message());
        sink.abandon();
        return kExitFailure;
    }
    if (writeFailed) {
        reportError(cmd, writeStatus.message());
        sink.abandon();
        return kExitFailure;
    }
    Status done = sink.finish();
    if (!done) {
        reportError(cmd, done.message());
        sink.abandon();
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace mervo::tool
