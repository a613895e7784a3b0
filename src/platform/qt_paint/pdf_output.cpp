#include "platform/qt_paint/pdf_output.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>

#include "platform/qt_paint/painter_surface.h"

namespace mervo {

PdfOutput::PdfOutput(const QString& path, FileSystem& fs) : path_(path), file_(fs) {}

PdfOutput::~PdfOutput() { abandon(); }

Result<std::unique_ptr<PdfOutput>> PdfOutput::open(const QString& path, const QString& title, FileSystem& fs) {
    const auto refuse = [&](const QString& why) {
        return Status::failure(QStringLiteral("PDF 文件 %1 无法写入（%2）").arg(path, why), why);
    };
    // The finished file replaces the chosen name, which must not be a folder.
    if (QFileInfo(path).isDir()) return refuse(QStringLiteral("同名的文件夹已存在"));
    std::unique_ptr<PdfOutput> out(new PdfOutput(path, fs));
    if (Status s = out->file_.begin(path); !s) return refuse(s.reason());
    out->writer_ = std::make_unique<QPdfWriter>(out->file_.temporaryPath());
    out->writer_->setTitle(title);
    out->writer_->setCreator(QStringLiteral("MERVO"));
    // A4 portrait with the margins a desktop printer cannot print on, so the PDF and paper agree.
    out->writer_->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                            QMarginsF(6.35, 6.35, 6.35, 6.35), QPageLayout::Millimeter));
    out->writer_->setResolution(1200);
    out->surface_ = std::make_unique<PagedSurface>(out->writer_.get());
    return out;
}

Surface& PdfOutput::surface() { return *surface_; }

Status PdfOutput::finish() {
    const bool ended = surface_->endDoc();
    surface_.reset();
    writer_.reset();  // closes the file
    const QString written = file_.temporaryPath();
    if (!ended || QFileInfo(written).size() == 0) {
        file_.abandon();
        return Status::failure(QStringLiteral("PDF 文件 %1 无法写入").arg(path_));
    }
    if (Status s = file_.commit(); !s)
        return Status::failure(QStringLiteral("PDF 文件 %1 无法写入（%2）").arg(path_, s.reason()), s.reason());
    return {};
}

void PdfOutput::abandon() {
    surface_.reset();
    writer_.reset();
    file_.abandon();
}

}  // namespace mervo
