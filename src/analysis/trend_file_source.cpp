#include "analysis/trend_file_source.h"

#include <algorithm>
#include <limits>

#include "analysis/analysis_pass.h"
#include "measurement/sample_math.h"
#include "motor/operating_point.h"

namespace mervo {

namespace {

// Samples per step of the pass: a few milliseconds, so a slice of the window's time ends near its budget.
constexpr int64_t kStepSamples = 1 << 15;

}  // namespace

TrendFileSource::TrendFileSource() = default;
TrendFileSource::~TrendFileSource() = default;

Status TrendFileSource::open(const QString& path, const std::vector<TrendQuantity>& quantities,
                             QString* warning) {
    pass_.reset();
    file_.close();
    failure_.clear();
    samples_ = 0;
    totalTime_ = 0;
    gaps = {};
    pyramid_.reset(quantities, 0);
    st_ = SharedState{};
    st_.file.WorkFile = path;
    auto pass = std::make_unique<AnalysisPass>(st_, nullptr);
    pass->keepEnergySeries(false);  // the source keeps summaries of its own
    pass->rowsWithClocks(false);    // and has its own clock
    pass->onRows = [this](const SampleRows& r) { summarise(r); };
    if (Status s = pass->begin(QString(), warning); !s) return s;
    if (Status s = file_.open(path, pass->total()); !s)
        return Status::failure(QStringLiteral("数据文件 %1 无法读取（%2）").arg(path, s.reason()));
    samples_ = pass->total();
    totalTime_ = st_.file.TotalTime;
    motor_ = st_.motor;  // the nameplate of the file, as the pass evaluates it
    gaps = pass->gaps();  // a reconnected receive's time away moves the samples after it on
    motorUsable = motorModelUsable(motor_);
    firstNumber = 1;
    startClock = 0;
    MeasurementReader reader;
    nameplate = {};
    if (reader.open(path)) {
        startClock = reader.info().header.StartTime;
        nameplate = reader.info().header.nameplate;
    }
    pyramid_.reset(quantities, samples_);
    if (!pages_) pages_.reset(new Page[kPages]);  // not touched until used
    pageAt_.assign(static_cast<size_t>(kPages), -1);
    pass_ = std::move(pass);
    return {};
}

Status TrendFileSource::summariseAll() {
    while (pass_) update();
    return failure_.isEmpty() ? Status() : Status::failure(failure_);
}

void TrendFileSource::summarise(const SampleRows& r) {
    std::array<float*, kTrendQuantities> out{};
    std::array<const float*, kTrendQuantities> columns{};
    for (size_t k = 0; k < out.size(); ++k) {
        if (!pyramid_.holds(static_cast<TrendQuantity>(k))) continue;
        auto& c = columns_[k];
        if (c.size() < static_cast<size_t>(r.count)) c.resize(static_cast<size_t>(r.count));
        columns[k] = out[k] = c.data();
    }
    trendColumns(r, 0, r.count, out);
    pyramid_.append(columns, r.count);
}

bool TrendFileSource::update() {
    if (!pass_) return false;
    const int64_t before = pyramid_.samples();
    if (!pass_->step(kStepSamples)) return pyramid_.samples() != before;
    if (pass_->failed()) failure_ = pass_->error();
    else pyramid_.finish();
    pass_.reset();
    return true;
}

int64_t TrendFileSource::done() const { return pass_ ? pass_->done() : samples_; }

QString TrendFileSource::status() const {
    if (!failure_.isEmpty()) return failure_;
    if (pass_) return QStringLiteral("正在读取 %1 / %2 组").arg(done()).arg(samples_);
    return QStringLiteral("共 %1 组%2")
        .arg(samples_)
        .arg(motorUsable ? QString() : QStringLiteral("　无可用电机参数：不计算效率与负载率"));
}

double TrendFileSource::time(int64_t i) const { return sampleElapsed(totalTime_, i + 1, samples_, gaps); }

double TrendFileSource::stepSeconds() const {
    return samples_ > 0 ? static_cast<double>(totalTime_) / static_cast<double>(samples_) : 0.0;
}

Status TrendFileSource::addTo(IntervalAccumulator& acc, int64_t from, int64_t to) {
    from = std::max<int64_t>(from, 0);
    to = std::min(to, samples_);
    for (int64_t i = from; i < to; i += kPage) {
        const int64_t count = std::min(kPage, to - i);
        if (Status s = rows_.fill(file_, motor_, i, count); !s) {
            if (failure_.isEmpty()) failure_ = s.message();
            return s;
        }
        acc.add(rows_.rows(i, count), 0, count);
    }
    return {};
}

TrendSource::Run TrendFileSource::runAt(int64_t i) const {
    const int64_t page = i / kPage;
    const size_t slot = static_cast<size_t>(page % kPages);
    const Page& p = pages_[slot];
    if (pageAt_[slot] != page) {
        // A page that cannot be read is drawn as a gap and said once, not read again and again.
        (void)readPage(pages_[slot], page * kPage, std::min(kPage, samples_ - page * kPage));
        pageAt_[slot] = page;
    }
    Run r;
    r.first = page * kPage;
    r.count = std::min(kPage, samples_ - r.first);
    for (size_t k = 0; k < static_cast<size_t>(kTrendQuantities); ++k) r.values[k] = p.values[k];
    r.state = p.state;
    return r;
}

Status TrendFileSource::readPage(Page& p, int64_t first, int64_t count) const {
    if (Status s = rows_.fill(file_, motor_, first, count); !s) {
        if (failure_.isEmpty()) failure_ = s.message();
        for (auto& v : p.values) std::fill(v, v + kPage, std::numeric_limits<float>::quiet_NaN());
        std::fill(p.state, p.state + kPage, MotorState::NoMotorData);
        return s;
    }
    const SampleRows r = rows_.rows(first, count);
    std::array<float*, kTrendQuantities> out;
    for (size_t k = 0; k < out.size(); ++k) out[k] = p.values[k];
    trendColumns(r, 0, count, out);
    std::copy(r.state, r.state + count, p.state);
    return {};
}

size_t TrendFileSource::bytes() const {
    size_t b = pyramid_.bytes();
    for (int64_t at : pageAt_)
        if (at >= 0) b += sizeof(Page);
    for (const auto& c : columns_) b += c.capacity() * sizeof(float);
    b += rows_.bytes();
    return b;
}

}  // namespace mervo
