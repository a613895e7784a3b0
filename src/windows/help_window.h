// Form7, the help window: the usage notes stored in the program, in a read-only rich-text view.
#pragma once

#include <QWidget>

class QTextBrowser;

namespace mervo {

// The help document as rich text (HTML).
QString helpDocument();

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    QTextBrowser* OLE1;
};

}  // namespace mervo
