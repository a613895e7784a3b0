#include "printing/print_job.h"

#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>

#include "platform/qt/painter_surface.h"

namespace mervo {

PrintHeader headerForFile(const QString& measurementPath) {
    PrintHeader h;
    const QDateTime t = QFileInfo(measurementPath).lastModified();
    if (t.isValid()) {
        h.year = t.date().year();
        h.month = t.date().month();
        h.day = t.date().day();
        h.hour = t.time().hour();
        h.minute = t.time().minute();
    }
    return h;
}

PdfDocument::PdfDocument(const QString& path, const QString& title) : path_(path) {
    {
        QFile probe(path);
        if (!probe.open(QIODevice::WriteOnly)) openError_ = probe.errorString();
    }
    writer_ = std::make_unique<QPdfWriter>(path);
    writer_->setTitle(title);
    writer_->setCreator(QStringLiteral("MERVO"));
    // A4 portrait with the margins a desktop printer cannot print on, so the PDF and paper agree.
    writer_->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                       QMarginsF(6.35, 6.35, 6.35, 6.35), QPageLayout::Millimeter));
    writer_->setResolution(1200);
    surface_ = std::make_unique<PagedSurface>(writer_.get());
}

PdfDocument::~PdfDocument() = default;

Surface& PdfDocument::surface() { return *surface_; }

bool PdfDocument::finish(QString* error) {
    const bool ok = surface_->endDoc() && QFileInfo(path_).size() > 0;
    if (!ok && error) *error = QStringLiteral("%1: PDF 文件无法写入").arg(path_);
    return ok;
}

}  // namespace mervo
