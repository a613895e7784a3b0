// The read-only tables of the assessment window's pages: texts at the left, figures at the right, rows as tall as
// the font, and one line across a table where there is nothing to list.
#pragma once

#include <QStringList>
#include <QTableWidget>
#include <array>
#include <vector>

#include "printing/assessment_table.h"

namespace mervo {

QTableWidget* makeResultTable(QWidget* parent, const char* name, const QStringList& header);
QTableWidgetItem* resultCell(const QString& text, bool figure);

// Rows of texts in place of what was shown, the first column words and the others figures.
template <size_t N>
void fillResultTable(QTableWidget* t, const std::vector<std::array<QString, N>>& rows) {
    t->clearSpans();
    t->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r)
        for (size_t c = 0; c < N; ++c)
            t->setItem(r, static_cast<int>(c), resultCell(rows[static_cast<size_t>(r)][c], c > 0));
    t->resizeColumnsToContents();
}

// The rows of a results table (项目, 数值, 单位, 说明), a group's title bold across the table.
void fillResultRows(QTableWidget* t, const std::vector<AssessmentRow>& rows);

// One line across the table in place of its rows: why there is nothing to list.
void tellInTable(QTableWidget* t, const QString& text);

}  // namespace mervo
