#include "export/csv_export.h"

#include <QDate>
#include <QDateTime>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "analysis/analysis_pass.h"
#include "analysis/interval_stats.h"
#include "measurement/reactive_sign.h"
#include "measurement/reader.h"
#include "measurement/sample_math.h"
#include "measurement/sidecar.h"
#include "motor/operating_point.h"
#include "platform/file_replacement.h"
#include "printing/print_job.h"
#include "shared/number_format.h"
#include "shared/second_core.h"
#include "shared/shared_state.h"
#include "shared/shortest_texts.h"
#include "shared/spreadsheet_text.h"
#include "shared/time_split.h"

namespace mervo {

namespace {

constexpr int kCancelledCode = -2;

// The quantities of a row with their units: the file's nine, the totals, then the motor's outputs. Currents,
// voltages and the power factor are magnitudes; reactive power is in the IEC convention, which its unit says.
struct Quantity {
    const char* name;
    const char* unit;
    TrendQuantity statistic;  // the same quantity in the interval statistics
};
using TQ = TrendQuantity;
constexpr Quantity kQuantities[] = {
    {"I1", "A", TQ::I1},          {"U1", "V", TQ::U1},
    {"P1", "kW", TQ::P1},         {"I2", "A", TQ::I2},
    {"U2", "V", TQ::U2},          {"P2", "kW", TQ::P2},
    {"I3", "A", TQ::I3},          {"U3", "V", TQ::U3},
    {"P3", "kW", TQ::P3},         {"P_total", "kW", TQ::SumP},
    {"Q_total", "kvar;+L/-C", TQ::SumQ},  {"S", "kVA", TQ::S},
    {"PF", nullptr, TQ::PF},      {"P_out", "kW", TQ::OutputPower},
    {"efficiency", "%", TQ::Efficiency},  {"load_rate", "%", TQ::LoadRate},
};
constexpr size_t kFileAndTotals = 13;  // the quantities every sample has; the motor's three follow
constexpr size_t kAllQuantities = std::size(kQuantities);

std::string columnName(const Quantity& q, const char* suffix = "") {
    std::string s = q.name;
    s += suffix;
    if (q.unit) (s += '(') += q.unit, s += ')';
    return s;
}

std::string sampleHeader() {
    std::string h = "no,date,clock,time(s),";
    for (size_t k = 0; k < kFileAndTotals; ++k) h += columnName(kQuantities[k]) + ',';
    h += "indicator,Ep(Wh),Eq(varh),motor_state,";
    for (size_t k = kFileAndTotals; k < kAllQuantities; ++k) h += columnName(kQuantities[k]) + ',';
    // Last, so the columns before it stand where they always stood.
    return h + "marker";
}

// The power factor and the efficiency of an interval are ratios of its energies, not means of the samples'.
bool ratioOfEnergies(const Quantity& q) { return q.statistic == TQ::PF || q.statistic == TQ::Efficiency; }

std::string intervalHeader() {
    std::string h = "from,to,samples,date,clock,time(s),";
    for (const Quantity& q : kQuantities) {
        for (const char* suffix : {ratioOfEnergies(q) ? "_interval" : "_mean", "_min", "_max"})
            h += columnName(q, suffix) + ',';
        if (q.statistic == TQ::PF) h += "PF_indicator,";
    }
    // The energies reached at the interval's last sample, as the panel shows them, then those within it.
    h += "Ep(Wh),Eq(varh),Ep_interval(Wh),Eq_interval(varh;+L/-C),running(s),below_no_load(s),generating(s)";
    return h;
}

// Field text with the quoting CSV needs when it holds a separator, a quote or a line break.
std::string csvField(const QString& text) {
    const std::string s = text.toStdString();
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string quoted = "\"";
    for (char c : s) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

// Where the output goes: stdout, or a file that replaces the output only once every row is written.
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
    Status write(const std::string& s) { return write(s.data(), s.size()); }
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

// The dates and clock times of the rows. The file's modification time gives the date of its last sample, as
// the printout takes it; a recording over midnight counts the days back from there.
class RowClock {
public:
    RowClock(const QString& measurement, float start, double lastElapsed) : start_(start) {
        const QDateTime modified = QFileInfo(measurement).lastModified();
        int64_t lastDay = 0;
        long long cs = 0;
        if (modified.isValid() && split(lastElapsed, &lastDay, &cs)) base_ = modified.date().addDays(-lastDay);
    }

    // Writes "date,clock" (either empty where it cannot be told) for a sample `elapsed` s after the start.
    char* write(char* out, double elapsed) {
        int64_t day = 0;
        long long cs = 0;
        if (!split(elapsed, &day, &cs)) return *out++ = ',', out;
        if (base_.isValid() && day >= 0 && day < 100000) {
            if (static_cast<size_t>(day) >= dates_.size()) dates_.resize(static_cast<size_t>(day) + 1);
            std::string& d = dates_[static_cast<size_t>(day)];
            if (d.empty()) d = base_.addDays(day).toString(QStringLiteral("yyyy-MM-dd")).toStdString();
            out = std::copy(d.begin(), d.end(), out);
        }
        *out++ = ',';
        const long long parts[] = {cs / 360000, cs / 6000 % 60, cs / 100 % 60, cs % 100};
        const char separators[] = ":::.";
        for (int k = 0; k < 4; ++k) {
            if (k > 0) *out++ = separators[k];
            *out++ = static_cast<char>('0' + parts[k] / 10);
            *out++ = static_cast<char>('0' + parts[k] % 10);
        }
        return out;
    }
    static constexpr size_t kMaxChars = 10 + 1 + 11;

private:
    // The day (0: the start's) and the hundredths of a second into it; 23:59:59.996 is 00:00:00.00 of the next.
    bool split(double elapsed, int64_t* day, long long* cs) const {
        return splitClock(static_cast<double>(start_) + elapsed, day, cs);
    }

    float start_;
    QDate base_;
    std::vector<std::string> dates_;
};

char* writeNumber(char* p, float v) {
    // An empty field where a number has no value, rather than a word a spreadsheet would take for text.
    return std::isfinite(v) ? writeShortestFloat(p, v) : p;
}

// Rows gathered and handed on at a time, and turned into text in pieces: a few megabytes of CSV a batch.
constexpr size_t kBatchRows = 8192;
constexpr size_t kPieceRows = 512;
constexpr size_t kPieces = kBatchRows / kPieceRows;
// A column of a batch, and a little more: a row's numbers a power of two apart would all fall on the same few
// cache lines' places and push one another out.
constexpr size_t kColumn = kBatchRows + 16;

// A row's numbers in the order of its columns: the time, the file's nine and the totals as the columns show them,
// the energies, the motor's three outputs. A batch keeps them column by column, apart from the rest of the row:
// they are copied from the pass's arrays a column at a time, and their texts worked out many at once.
constexpr size_t kRowNumbers = 1 + kFileAndTotals + 2 + 3;
constexpr size_t kEnergiesAt = 1 + kFileAndTotals, kOutputsAt = kEnergiesAt + 2;

// The rest of a row.
struct RowFacts {
    int64_t no;
    MotorState state;
    char indicator;  // 'L', 'C', or 0 without reactive power
    int marker;      // the marker at the sample, as an index of the writer's fields; -1 for none
};

// Rows j to j + count - 1 of the pass's arrays into a batch's columns from its row `at` on (each column is
// `stride` numbers long), the rest of each row into facts[at...].
void copyRows(const SampleRows& r, int64_t j, size_t count, float* columns, size_t stride, RowFacts* facts, size_t at) {
    const auto column = [&](size_t c) { return columns + c * stride + at; };
    std::copy_n(r.elapsed + j, count, column(0));
    const float* stored = r.fileValues + j * kSampleRecords;
    for (size_t k = 0; k < kSampleRecords; ++k) {
        float* to = column(1 + k);
        // I and U of each channel are magnitudes; its active power keeps its sign.
        if (k % 3 == 2)
            for (size_t i = 0; i < count; ++i) to[i] = stored[i * kSampleRecords + k];
        else
            for (size_t i = 0; i < count; ++i) to[i] = std::fabs(stored[i * kSampleRecords + k]);
    }
    const size_t totals = 1 + kSampleRecords;
    std::copy_n(r.sumP + j, count, column(totals));
    float* q = column(totals + 1);
    for (size_t i = 0; i < count; ++i) q[i] = iecReactive(r.sumQ[j + static_cast<int64_t>(i)]);
    std::copy_n(r.s + j, count, column(totals + 2));
    float* pf = column(totals + 3);
    for (size_t i = 0; i < count; ++i) pf[i] = std::fabs(r.pf[j + static_cast<int64_t>(i)]);
    std::copy_n(r.ep + j, count, column(kEnergiesAt));
    std::copy_n(r.eq + j, count, column(kEnergiesAt + 1));
    std::copy_n(r.outputPower + j, count, column(kOutputsAt));
    std::copy_n(r.efficiency + j, count, column(kOutputsAt + 1));
    std::copy_n(r.loadRate + j, count, column(kOutputsAt + 2));
    for (size_t i = 0; i < count; ++i) {
        RowFacts& f = facts[at + i];
        f.no = r.first + j + static_cast<int64_t>(i) + 1;
        f.indicator = *reactiveIndicator(q[i]);
        f.state = r.state[j + static_cast<int64_t>(i)];
    }
}

// A piece's text: `size` bytes used of a buffer kept from batch to batch (not cleared: it is written over).
struct Text {
    std::unique_ptr<char[]> bytes;
    size_t capacity = 0, size = 0;
};

// Rows gathered from the pass, and their text once it is made.
struct Batch {
    std::vector<float> columns = std::vector<float>(kRowNumbers * kColumn);
    std::vector<RowFacts> facts = std::vector<RowFacts>(kBatchRows);
    size_t rows = 0;
    std::array<Text, kPieces> text;
    std::atomic<size_t> nextPiece{0};  // the first piece no thread has taken yet
};

// Every sample as a row. The text is most of an export's time: while the pass gathers a batch's rows, a second
// core turns the batch before into text, and the pass's thread joins it on the pieces left when the next batch
// is full; a third thread writes each batch's text once it is whole.
class SampleRowWriter {
public:
    SampleRowWriter(CsvSink& sink, RowClock clock, std::string lineEnd, const std::vector<Marker>& markers)
        : sink_(sink), clockProto_(std::move(clock)), lineEnd_(std::move(lineEnd)) {
        // The operator's texts: never a formula in a spreadsheet, and quoted where they hold a separator.
        size_t markerChars = 0;
        for (const Marker& m : markers) {
            markers_.push_back({m.sample, csvField(spreadsheetText(m.text))});
            markerChars = std::max(markerChars, markers_.back().field.size());
        }
        for (MotorState m :
             {MotorState::NoMotorData, MotorState::Running, MotorState::BelowNoLoad, MotorState::Generating})
            captions_[static_cast<size_t>(m)] = csvField(motorStateMessage(m)) + ',';
        size_t captionChars = 0;
        for (const std::string& c : captions_) captionChars = std::max(captionChars, c.size());
        // The longest a row can be: the number, date and clock, its numbers, L/C, the caption, the commas.
        rowChars_ = 24 + RowClock::kMaxChars + kRowNumbers * (kShortestMaxChars + 1) + 2 + captionChars + 5 +
                    markerChars + lineEnd_.size();
    }
    ~SampleRowWriter() {
        if (texting_) {
            failed_ = true;  // the rest of the batch is not wanted
            helper_.finish();
        }
        waitForWriter();
    }

    void add(const SampleRows& r, int64_t from, int64_t to) {
        // The chunk's rows in the range, as many at a time as the batch has room for.
        int64_t j = std::max<int64_t>(0, from - 1 - r.first);
        const int64_t end = std::min(r.count, to - r.first);
        while (j < end && !failed_) {
            Batch& b = batches_[filling_];
            const size_t count = std::min(static_cast<size_t>(end - j), kBatchRows - b.rows);
            copyRows(r, j, count, b.columns.data(), kColumn, b.facts.data(), b.rows);
            for (size_t i = b.rows; i < b.rows + count; ++i) {
                // Rows come in the order of their numbers, and so do the markers.
                const int64_t no = b.facts[i].no;
                while (nextMarker_ < markers_.size() && markers_[nextMarker_].sample < no) ++nextMarker_;
                b.facts[i].marker = nextMarker_ < markers_.size() && markers_[nextMarker_].sample == no
                                        ? static_cast<int>(nextMarker_)
                                        : -1;
            }
            j += static_cast<int64_t>(count);
            if ((b.rows += count) == kBatchRows) flush();
        }
    }
    Status finish() {
        flush();
        finishText();
        waitForWriter();
        return status_;
    }
    bool failed() const { return failed_; }

private:
    // A thread's own tools: the texts of the numbers of a few rows at a time, and the date cache.
    struct Tools {
        // An empty field where a number has no value, rather than a word a spreadsheet would take for text.
        explicit Tools(const RowClock& c) : texts(ShortestTexts::NonNumbers::Empty), clock(c) {}
        ShortestTexts texts;
        RowClock clock;
    };

    // Takes the batch's pieces no thread has taken yet, one at a time, and turns them into text.
    void takePieces(Batch& b, Tools& tools) const {
        const size_t pieces = (b.rows + kPieceRows - 1) / kPieceRows;
        for (size_t i; !failed_ && (i = b.nextPiece++) < pieces;)
            writeRows(b.text[i], b, tools, i * kPieceRows, std::min(kPieceRows, b.rows - i * kPieceRows));
    }

    void writeRows(Text& out, const Batch& b, Tools& tools, size_t first, size_t count) const {
        if (out.capacity < count * rowChars_) {
            out.capacity = count * rowChars_;
            out.bytes.reset(new char[out.capacity]);
        }
        // Whole vectors of eight numbers a column.
        constexpr size_t kRowsAtOnce = 32;
        static_assert(kRowsAtOnce * kRowNumbers <= ShortestTexts::kCapacity && kPieceRows % kRowsAtOnce == 0);
        char* p = out.bytes.get();
        for (size_t done = 0; done < count; done += kRowsAtOnce) {
            const size_t rows = std::min(kRowsAtOnce, count - done);
            const float* numbers = b.columns.data() + first + done;
            // Text i of column c at c * kRowsAtOnce + i.
            for (size_t c = 0; c < kRowNumbers; ++c)
                tools.texts.format(numbers + c * kColumn, rows, c * kRowsAtOnce);
            for (size_t i = 0; i < rows; ++i)
                p = writeRow(p, tools.texts, tools.clock, b.facts[first + done + i], numbers + i, i, kRowsAtOnce);
        }
        out.size = static_cast<size_t>(p - out.bytes.get());
    }

    // One row: its numbers from `numbers`, a column's kColumn apart; their texts from `at` of `texts`, a
    // column's `textStride` apart.
    char* writeRow(char* p, const ShortestTexts& texts, RowClock& clock, const RowFacts& r, const float* numbers,
                   size_t at, size_t textStride) const {
        const auto number = [&](size_t c) { return texts.put(p, c * textStride + at); };
        p = std::to_chars(p, p + 24, r.no).ptr;
        *p++ = ',';
        p = clock.write(p, numbers[0]);
        *p++ = ',';
        for (size_t c = 0; c < kEnergiesAt; ++c) {
            p = number(c);
            *p++ = ',';
        }
        if (r.indicator) *p++ = r.indicator;
        *p++ = ',';
        p = number(kEnergiesAt);
        *p++ = ',';
        p = number(kEnergiesAt + 1);
        *p++ = ',';
        const std::string& caption = captions_[static_cast<size_t>(r.state)];
        p = std::copy(caption.begin(), caption.end(), p);
        if (hasOutputs(r.state)) {
            p = number(kOutputsAt);
            *p++ = ',';
            p = number(kOutputsAt + 1);
            *p++ = ',';
            p = number(kOutputsAt + 2);
        } else {
            *p++ = ',';
            *p++ = ',';
        }
        *p++ = ',';
        if (r.marker >= 0) {
            const std::string& field = markers_[static_cast<size_t>(r.marker)].field;
            p = std::copy(field.begin(), field.end(), p);
        }
        return std::copy(lineEnd_.begin(), lineEnd_.end(), p);
    }

    void waitForWriter() {
        if (writing_) writer_.finish();
        writing_ = false;
    }

    // The batch before is finished and handed to the writer; the full one goes to the second core, and the pass
    // fills the other.
    void flush() {
        Batch& full = batches_[filling_];
        if (failed_) full.rows = 0;  // nothing more is written
        if (full.rows == 0) return;
        finishText();
        full.nextPiece = 0;
        texting_ = &full;
        if (SecondCore::available()) helper_.start([this, &full] { takePieces(full, *tools_[1]); });
        filling_ ^= 1;
        batches_[filling_].rows = 0;  // its text is whole; the writer needs only that
    }

    // Finishes the batch being turned into text, with the second core, and starts writing it once the batch
    // before it is written.
    void finishText() {
        if (!texting_) return;
        Batch& b = *texting_;
        takePieces(b, *tools_[0]);
        if (SecondCore::available()) helper_.finish();
        texting_ = nullptr;
        waitForWriter();
        if (failed_) return;
        writing_ = true;
        writer_.start([this, &b, pieces = (b.rows + kPieceRows - 1) / kPieceRows] {
            for (size_t i = 0; i < pieces && !failed_; ++i) {
                status_ = sink_.write(b.text[i].bytes.get(), b.text[i].size);
                failed_ = !status_;
            }
        });
    }

    CsvSink& sink_;
    RowClock clockProto_;
    std::array<std::unique_ptr<Tools>, 2> tools_{std::make_unique<Tools>(clockProto_),
                                                 std::make_unique<Tools>(clockProto_)};
    std::string lineEnd_;
    std::array<std::string, 4> captions_;
    struct MarkerField {
        int64_t sample;
        std::string field;
    };
    std::vector<MarkerField> markers_;
    size_t nextMarker_ = 0;
    size_t rowChars_ = 0;
    std::array<Batch, 2> batches_;  // one filled by the pass while the other is turned into text and written
    size_t filling_ = 0;
    Batch* texting_ = nullptr;  // the batch being turned into text, if any
    SecondCore helper_, writer_;
    bool writing_ = false;
    std::atomic<bool> failed_{false};
    Status status_;
};

// One row per interval of the interval statistics, and the energies the panel shows at its last sample.
class IntervalRowWriter {
public:
    IntervalRowWriter(CsvSink& sink, RowClock clock, std::string lineEnd, double seconds, float totalTime, int64_t n,
                      const ReceiveGaps& gaps)
        : sink_(sink), clock_(std::move(clock)), lineEnd_(std::move(lineEnd)), seconds_(seconds),
          totalTime_(totalTime), n_(n), gaps_(gaps) {}

    void add(const SampleRows& r, int64_t from, int64_t to) {
        // The chunk's rows in the range, taken a run of one interval at a time.
        const int64_t begin = std::max<int64_t>(0, from - 1 - r.first), end = std::min(r.count, to - r.first);
        int64_t run = begin;  // the first row of the run not yet taken
        for (int64_t j = begin; j < end && status_; ++j) {
            const int64_t no = r.first + j + 1;
            // A sample stands for the time up to its own elapsed time: the one at 1 s closes the first second.
            // From its number, not its rounded float time, so that no sample falls into its neighbour; the gaps of
            // the receive before it move it on as its time shown does.
            const double t = static_cast<double>(totalTime_) * static_cast<double>(no) / static_cast<double>(n_) +
                             gaps_.secondsBefore(no);
            const int64_t k = std::max<int64_t>(0, static_cast<int64_t>(std::ceil(t / seconds_ - 1e-9)) - 1);
            if (pending_ && k != interval_) {
                stats_.add(r, run, j);
                run = j;
                status_ = writeInterval();
            }
            if (!pending_) {
                pending_ = true;
                interval_ = k;
                first_ = no;
            }
            ep_ = r.ep[j];
            eq_ = r.eq[j];
        }
        if (status_ && run < end) stats_.add(r, run, end);
    }
    Status finish() {
        if (status_ && pending_) status_ = writeInterval();
        return status_;
    }

private:
    Status writeInterval() {
        const IntervalStats st = stats_.finish(first_, static_cast<double>(totalTime_) / static_cast<double>(n_), true);
        stats_ = IntervalAccumulator();
        pending_ = false;
        std::vector<char> buf(160 + RowClock::kMaxChars + (3 * kAllQuantities + 8) * (kShortestMaxChars + 1));
        char* p = buf.data();
        for (int64_t v : {st.firstNumber, st.lastNumber, st.samples}) {
            p = std::to_chars(p, p + 24, v).ptr;
            *p++ = ',';
        }
        const double begins = static_cast<double>(interval_) * seconds_;
        p = clock_.write(p, begins);
        *p++ = ',';
        p = writeNumber(p, static_cast<float>(begins));
        const auto number = [&p](double v) {
            *p++ = ',';
            p = writeNumber(p, static_cast<float>(v));
        };
        for (const Quantity& q : kQuantities) {
            const QuantityStats& x = st[q.statistic];
            const double value = q.statistic == TQ::PF           ? st.powerFactor
                                 : q.statistic == TQ::Efficiency ? st.efficiency
                                 : x.count > 0                   ? x.mean
                                                                 : std::nan("");
            number(value);
            for (float v : {x.min, x.max}) {
                *p++ = ',';
                if (x.count > 0) p = writeNumber(p, v);
            }
            if (q.statistic == TQ::PF) {
                *p++ = ',';
                for (const char* c = st.powerFactorIndicator; *c; ++c) *p++ = *c;
            }
        }
        for (double v : {static_cast<double>(ep_), static_cast<double>(eq_), st.activeEnergyWh, st.reactiveEnergyVarh,
                         st.runningSeconds, st.belowNoLoadSeconds, st.generatingSeconds})
            number(v);
        p = std::copy(lineEnd_.begin(), lineEnd_.end(), p);
        return sink_.write(buf.data(), static_cast<size_t>(p - buf.data()));
    }

    CsvSink& sink_;
    RowClock clock_;
    std::string lineEnd_;
    double seconds_;
    float totalTime_;
    int64_t n_;
    const ReceiveGaps& gaps_;
    Status status_;
    int64_t interval_ = 0, first_ = 0;
    bool pending_ = false;  // an interval has samples not yet written
    IntervalAccumulator stats_;
    float ep_ = 0, eq_ = 0;
};

}  // namespace

Status writeCsvTable(const QString& output, const std::vector<std::vector<QString>>& rows, bool spreadsheet) {
    std::string text = spreadsheet ? "\xEF\xBB\xBF" : "";
    for (const std::vector<QString>& row : rows) {
        for (const QString& cell : row) text += csvField(cell) + ',';
        if (!row.empty()) text.pop_back();
        text += spreadsheet ? "\r\n" : "\n";
    }
    CsvSink sink;
    if (output.isEmpty()) return Status::failure(QStringLiteral("没有指定导出的文件！"));
    Status s = sink.open(output);
    if (s) s = sink.write(text);
    if (s) s = sink.finish();
    if (!s) sink.abandon();
    return s;
}

bool exportCancelled(const Status& s) { return !s && s.code() == kCancelledCode; }

Status exportCsv(const QString& measurement, const QString& output, const CsvExportOptions& options,
                 const ExportProgress& progress, QString* warning) {
    if (!(options.intervalSeconds >= 0) || !std::isfinite(options.intervalSeconds) ||
        (options.intervalSeconds > 0 && options.intervalSeconds < kShortestExportInterval))
        return Status::failure(QStringLiteral("导出的时间间隔（%1 秒）无效！").arg(options.intervalSeconds));
    MeasurementReader reader;
    if (Status s = reader.open(measurement); !s) return s;
    const float start = reader.info().header.StartTime;
    reader.close();

    SharedState st;
    st.file.WorkFile = QFileInfo(measurement).absoluteFilePath();
    AnalysisPass pass(st, nullptr);
    pass.keepEnergySeries(false);  // nothing here queries a record
    if (Status s = pass.begin(QFileInfo(measurement).absolutePath(), warning); !s) return s;
    const int64_t n = pass.total();
    const int64_t from = options.from, to = options.to == 0 ? n : options.to;
    if (from < 1 || to > n || from > to)
        return Status::failure(
            QStringLiteral("导出范围（第 %1 到 %2 组）无效：数据文件中有第 1 到 %3 组数据！").arg(from).arg(to).arg(n));

    CsvSink sink;
    if (Status s = sink.open(output); !s) return s;
    const std::string lineEnd = options.spreadsheet ? "\r\n" : "\n";
    const RowClock clock(measurement, start, sampleElapsed(st.file.TotalTime, n, n, pass.gaps()));
    const bool intervals = options.intervalSeconds > 0;
    std::string head = options.spreadsheet ? "\xEF\xBB\xBF" : "";
    head += (intervals ? intervalHeader() : sampleHeader()) + lineEnd;
    if (Status s = sink.write(head); !s) {
        sink.abandon();
        return s;
    }
    std::unique_ptr<SampleRowWriter> samples;
    std::unique_ptr<IntervalRowWriter> perInterval;
    if (intervals)
        perInterval = std::make_unique<IntervalRowWriter>(sink, clock, lineEnd, options.intervalSeconds,
                                                          st.file.TotalTime, n, pass.gaps());
    else
        samples = std::make_unique<SampleRowWriter>(sink, clock, lineEnd, measurementMarkers(measurement, start));
    pass.onRows = [&](const SampleRows& r) {
        if (samples) samples->add(r, from, to);
        else perInterval->add(r, from, to);
    };

    Status result;
    // The samples after the range are not needed: the pass stops at its end.
    while (pass.done() < to) {
        if (progress && !progress(std::max<int64_t>(0, pass.done() - from + 1), to - from + 1)) {
            result = Status::failure(QStringLiteral("导出已取消"), QString(), kCancelledCode);
            break;
        }
        if (pass.step(std::min<int64_t>(65536, to - pass.done())) || (samples && samples->failed())) break;
    }
    if (result && pass.failed()) result = Status::failure(pass.error());
    if (Status s = samples ? samples->finish() : perInterval->finish(); result && !s) result = s;
    if (result) result = sink.finish();
    if (!result) sink.abandon();
    return result;
}

}  // namespace mervo
