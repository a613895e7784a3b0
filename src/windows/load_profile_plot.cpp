#include "windows/load_profile_plot.h"

#include <algorithm>

#include "platform/qt_widgets/twips_widgets.h"

namespace mervo {

namespace {
const QColor kBarFill(150, 190, 235), kBarEdge(30, 70, 200);
const QColor kActiveMark(0, 130, 60), kComprehensiveMark(200, 30, 30);
}  // namespace

LoadProfilePlot::LoadProfilePlot(QWidget* parent) : QCustomPlot(parent) {
    setMinimumHeight(220);
    const QFont font = designedFont();
    setFont(font);
    for (QCPAxis* a : {xAxis, yAxis}) {
        a->setTickLabelFont(font);
        a->setLabelFont(font);
    }
    xAxis->setLabel(QStringLiteral("负载率 (%)"));
    yAxis->setLabel(QStringLiteral("占区间时间 (%)"));
}

void LoadProfilePlot::draw(const LoadProfileChart& c) {
    clearItems();
    xAxis->setRange(0, c.loadRateTop);
    yAxis->setRange(0, c.shareTop);
    QSharedPointer<QCPAxisTickerText> edges(new QCPAxisTickerText);
    for (const ProfileBar& b : c.bars) edges->addTick(b.from, QString::number(b.from));
    if (!c.bars.empty()) edges->addTick((c.bars.back().from + c.bars.back().to) / 2, QStringLiteral("以上"));
    xAxis->setTicker(edges);
    QSharedPointer<QCPAxisTickerFixed> shares(new QCPAxisTickerFixed);
    shares->setTickStep(c.shareStep);
    shares->setScaleStrategy(QCPAxisTickerFixed::ssNone);
    yAxis->setTicker(shares);

    const double gap = c.loadRateTop / 400;  // a hair between neighbouring bars
    for (const ProfileBar& b : c.bars) {
        if (b.share > 0) {
            auto* bar = new QCPItemRect(this);
            bar->topLeft->setCoords(b.from + gap, b.share);
            bar->bottomRight->setCoords(b.to - gap, 0);
            bar->setBrush(kBarFill);
            bar->setPen(QPen(kBarEdge));
        }
        auto* caption = new QCPItemText(this);
        caption->position->setCoords((b.from + b.to) / 2, b.share);
        caption->setPositionAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        caption->setText(b.caption);
        caption->setFont(font());
    }
    struct Mark {
        QString name;
        std::optional<double> value;
        QColor colour;
    };
    std::vector<Mark> marks = {{QStringLiteral("β_a"), c.betaActive, kActiveMark},
                               {QStringLiteral("β_c"), c.betaComprehensive, kComprehensiveMark}};
    std::sort(marks.begin(), marks.end(), [](const Mark& a, const Mark& b) { return a.value < b.value; });
    for (size_t k = 0; k < marks.size(); ++k) {
        if (!marks[k].value) continue;
        const double x = *marks[k].value;
        auto* line = new QCPItemStraightLine(this);
        line->point1->setCoords(x, 0);
        line->point2->setCoords(x, 1);
        line->setPen(QPen(marks[k].colour, 2, Qt::DashLine));
        // The lower mark's label at its left, the higher one's at its right, so the two never cover each other.
        auto* label = new QCPItemText(this);
        label->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
        label->position->setCoords(x, 0);
        label->setPositionAlignment((k == 0 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
        label->setPadding(QMargins(4, 2, 4, 2));
        label->setText(betaMarkText(marks[k].name, x));
        label->setColor(marks[k].colour);
        label->setFont(font());
    }
    replot();
}

}  // namespace mervo
