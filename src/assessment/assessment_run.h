// The motor assessment of a measurement file over samples A..B: one analysis pass, run in slices so a window
// stays responsive, or to its end for the command line.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "assessment/motor_assessment.h"
#include "assessment/savings.h"
#include "shared/result.h"

namespace mervo {

struct AssessmentRequest {
    QString file;
    int64_t from = 1, to = 0;  // sample numbers from 1; `to` 0: the last
    AssessmentSettings settings;
    // With these, the savings too; the candidates come from the motor catalogue in `catalogueDir` (none when it
    // is empty or cannot be read, which the savings' note then says).
    std::optional<SavingsSettings> savings;
    QString catalogueDir;
};

struct AssessmentOutcome {
    Assessment assessment;
    std::optional<Savings> savings;
};

class AssessmentRun {
public:
    AssessmentRun();
    ~AssessmentRun();

    // Opens the file and checks the range and settings; a failure in the operator's words. `warning` says when
    // the file lacks its trailer and is assessed from its samples.
    Status begin(const AssessmentRequest& request, QString* warning = nullptr);
    // Up to `maxSamples` more samples; true once the range is done or the pass failed.
    bool step(int64_t maxSamples);
    int64_t done() const;   // samples of the range done
    int64_t total() const;  // samples in the range
    bool failed() const;
    QString error() const;

    const AssessedMeasurement& measurement() const;
    int64_t firstNumber() const;
    int64_t lastNumber() const;
    // Where figures built on the assessment take its samples; set before the first step.
    AssessmentAccumulator& accumulator();
    Assessment result() const;
    // The savings, when the request asked for them.
    std::optional<Savings> savings(const Assessment& a) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

// The whole run at once; `progress` (done, total) is told now and then and may return false to stop.
Result<AssessmentOutcome> assessFile(const AssessmentRequest& request,
                              const std::function<bool(int64_t, int64_t)>& progress = {}, QString* warning = nullptr);

}  // namespace mervo
