// Two assessments side by side, "改造前 / 改造后": the motor measured before and after a change. Each side keeps
// its own file and span; the key figures stand in two columns with their difference (after − before). Energies
// are compared per hour, since the two spans seldom last alike.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "assessment/motor_assessment.h"
#include "printing/assessment_table.h"

namespace mervo {

struct ComparedSide {
    Assessment assessment;
    AssessedFile file;
};

struct ComparisonRow {
    QString label, before, after, difference, unit;
    bool group = false;  // a title across the table
};

QStringList retrofitTableHeader();  // 项目, 改造前, 改造后, 差值（后 − 前）, 单位
std::vector<ComparisonRow> comparisonRows(const ComparedSide& before, const ComparedSide& after);
// How the differences are made, under the table.
QString comparisonRuleText();

}  // namespace mervo
