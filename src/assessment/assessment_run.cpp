#include "assessment/assessment_run.h"

#include <QFileInfo>
#include <algorithm>
#include <array>
#include <set>

#include "analysis/analysis_pass.h"
#include "measurement/reader.h"
#include "measurement/sidecar.h"

namespace mervo {

struct AssessmentRun::Impl {
    SharedState st;
    std::unique_ptr<AnalysisPass> pass;
    AssessedMeasurement measurement;
    std::unique_ptr<AssessmentAccumulator> acc;
    std::unique_ptr<SavingsAccumulator> savings;
    std::vector<CatalogueMotor> catalogue;
    QString catalogueDir, catalogueProblem;
    int64_t from = 1, to = 0;
    QString error;
    // What each chunk buffer's rows add, folded on the core that read them.
    std::array<AssessmentChunk, AnalysisPass::kChunkSlots> folded;
    // The rows of a chunk that lie in the range, as indexes into it.
    int64_t firstRow(const SampleRows& r) const { return std::max<int64_t>(0, from - 1 - r.first); }
    int64_t endRow(const SampleRows& r) const { return to - r.first; }
};

AssessmentRun::AssessmentRun() : d_(std::make_unique<Impl>()) {}
AssessmentRun::~AssessmentRun() = default;

Status AssessmentRun::begin(const AssessmentRequest& request, QString* warning) {
    Impl& d = *d_;
    if (const QString why = checkAssessmentSettings(request.settings); !why.isEmpty()) return Status::failure(why);
    if (request.savings)
        if (const QString why = checkSavingsSettings(*request.savings); !why.isEmpty()) return Status::failure(why);
    MeasurementReader reader;
    if (Status s = reader.open(request.file); !s) return s;
    const FileHeader header = reader.info().header;
    reader.close();

    d.st = SharedState();
    d.st.file.WorkFile = QFileInfo(request.file).absoluteFilePath();
    d.pass = std::make_unique<AnalysisPass>(d.st, nullptr);
    d.pass->keepEnergySeries(false);
    d.pass->rowsWithClocks(false);  // the assessment keeps its own clock and energies
    if (Status s = d.pass->begin(QFileInfo(request.file).absolutePath(), warning); !s) return s;
    const int64_t n = d.pass->total();
    d.from = request.from;
    d.to = request.to == 0 ? n : request.to;
    if (d.from < 1 || d.to > n || d.from > d.to)
        return Status::failure(QStringLiteral("评估范围（第 %1 到 %2 组）无效：数据文件中有第 1 到 %3 组数据！")
                                   .arg(d.from)
                                   .arg(d.to)
                                   .arg(n));
    AssessedMeasurement& m = d.measurement;
    m.motor = d.st.motor;
    for (size_t k = 0; k < 3; ++k) m.channels[k] = header.channels[k] != 0;
    m.startClock = header.StartTime;
    m.gaps = measurementGaps(request.file, header.StartTime, warning && warning->isEmpty() ? warning : nullptr);
    m.totalTime = d.st.file.TotalTime;
    m.samples = n;
    d.acc = std::make_unique<AssessmentAccumulator>(m, request.settings);
    d.savings.reset();
    if (request.savings) {
        d.savings = std::make_unique<SavingsAccumulator>(m, *request.savings);
        d.catalogue.clear();
        d.catalogueDir = request.catalogueDir;
        d.catalogueProblem.clear();
        if (!request.catalogueDir.isEmpty()) {
            Result<std::vector<CatalogueMotor>> motors = readCatalogueMotors(request.catalogueDir);
            if (motors) d.catalogue = std::move(*motors);
            else d.catalogueProblem = motors.message();
        }
        d.acc->onRows = [&d](const AssessedRows& rows) { d.savings->add(rows); };
    }
    d.pass->onPrepared = [&d](const SampleRows& r) {
        d.folded[static_cast<size_t>(r.slot)] = d.acc->fold(r, d.firstRow(r), d.endRow(r));
    };
    d.pass->onRows = [&d](const SampleRows& r) {
        d.acc->add(r, d.firstRow(r), d.endRow(r), &d.folded[static_cast<size_t>(r.slot)]);
    };
    return {};
}

bool AssessmentRun::step(int64_t maxSamples) {
    Impl& d = *d_;
    if (!d.pass || d.pass->failed()) return true;
    if (d.pass->done() >= d.to) return true;
    // The samples after the range are not needed: the pass stops at its end.
    if (d.pass->step(std::min(maxSamples, d.to - d.pass->done()))) return true;
    return d.pass->done() >= d.to;
}

int64_t AssessmentRun::done() const {
    return d_->pass ? std::clamp<int64_t>(d_->pass->done() - d_->from + 1, 0, total()) : 0;
}
int64_t AssessmentRun::total() const { return d_->to - d_->from + 1; }
bool AssessmentRun::failed() const { return d_->pass && d_->pass->failed(); }
QString AssessmentRun::error() const { return d_->pass ? d_->pass->error() : QString(); }
const AssessedMeasurement& AssessmentRun::measurement() const { return d_->measurement; }
int64_t AssessmentRun::firstNumber() const { return d_->from; }
int64_t AssessmentRun::lastNumber() const { return d_->to; }
AssessmentAccumulator& AssessmentRun::accumulator() { return *d_->acc; }
Assessment AssessmentRun::result() const { return d_->acc->finish(); }
std::optional<Savings> AssessmentRun::savings(const Assessment& a) const {
    if (!d_->savings) return std::nullopt;
    Savings s = d_->savings->finish(a, d_->catalogue);
    if (!d_->catalogueProblem.isEmpty()) s.note += QStringLiteral("（%1）").arg(d_->catalogueProblem);
    std::set<int> codes;
    for (const Candidate& c : s.candidates)
        if (c.code) codes.insert(c.code);
    if (const Result<std::map<int, QString>> names = readModelNames(d_->catalogueDir, codes))
        for (Candidate& c : s.candidates)
            if (const auto n = names->find(c.code); n != names->end()) c.model = n->second;
    return s;
}

Result<AssessmentOutcome> assessFile(const AssessmentRequest& request, const std::function<bool(int64_t, int64_t)>& progress,
                              QString* warning) {
    AssessmentRun run;
    if (Status s = run.begin(request, warning); !s) return s;
    while (!run.step(65536)) {
        if (progress && !progress(run.done(), run.total()))
            return Status::failure(QStringLiteral("评估已取消"));
    }
    if (run.failed()) return Status::failure(run.error());
    AssessmentOutcome out;
    out.assessment = run.result();
    out.savings = run.savings(out.assessment);
    return out;
}

}  // namespace mervo
