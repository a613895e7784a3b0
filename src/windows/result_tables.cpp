#include "windows/result_tables.h"

#include <QHeaderView>

namespace mervo {

QTableWidget* makeResultTable(QWidget* parent, const char* name, const QStringList& header) {
    auto* t = new QTableWidget(0, static_cast<int>(header.size()), parent);
    t->setObjectName(QLatin1String(name));
    t->setHorizontalHeaderLabels(header);
    t->verticalHeader()->hide();
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionMode(QAbstractItemView::ContiguousSelection);
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

QTableWidgetItem* resultCell(const QString& text, bool figure) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment((figure ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    return item;
}

void fillResultRows(QTableWidget* t, const std::vector<AssessmentRow>& rows) {
    t->clearSpans();
    t->setRowCount(static_cast<int>(rows.size()));
    QFont bold = t->font();
    bold.setBold(true);
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const AssessmentRow& row = rows[static_cast<size_t>(r)];
        const QString cells[4] = {row.label, row.value, row.unit, row.note};
        for (int c = 0; c < 4; ++c) t->setItem(r, c, resultCell(cells[c], c == 1));
        if (row.group) {
            t->item(r, 0)->setFont(bold);
            t->setSpan(r, 0, 1, 4);
        }
    }
    t->resizeColumnsToContents();
}

void tellInTable(QTableWidget* t, const QString& text) {
    t->clearSpans();
    t->setRowCount(1);
    t->setItem(0, 0, resultCell(text, false));
    for (int c = 1; c < t->columnCount(); ++c) t->setItem(0, c, resultCell(QString(), false));
    t->setSpan(0, 0, 1, t->columnCount());
}

}  // namespace mervo
