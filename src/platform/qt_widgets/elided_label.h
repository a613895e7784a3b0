// A label for a line of running text that may be longer than its place: it shows what fits, with the middle of
// the rest elided (so the start and the end of a long path stay in view), and the whole text as its tooltip. Its
// width comes from its layout, never from its text, so a long text cannot widen or clip what stands beside it.
#pragma once

#include <QLabel>

namespace mervo {

class ElidedLabel : public QLabel {
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    // The text as drawn at the label's present width.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* e) override;
    bool event(QEvent* e) override;
};

}  // namespace mervo
