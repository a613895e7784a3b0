#include "platform/qt_widgets/printer_output.h"

#include <QPrinter>
#include <QPrinterInfo>

#include "platform/qt_paint/painter_surface.h"
#include "platform/qt_paint/pdf_output.h"

namespace mervo {

namespace {

class PrinterOutput : public PrintOutput {
public:
    PrinterOutput(const QPrinterInfo& info, const QString& name) : printer_(info, QPrinter::HighResolution) {
        printer_.setDocName(name);
        surface_ = std::make_unique<PagedSurface>(&printer_);
    }
    Surface& surface() override { return *surface_; }
    Status finish() override {
        if (surface_->endDoc() && printer_.printerState() != QPrinter::Error) return {};
        return Status::failure(
            QStringLiteral("打印机 %1 出错，“%2”未能打印！").arg(printer_.printerName(), printer_.docName()));
    }
    void abandon() override { printer_.abort(); }

private:
    QPrinter printer_;
    std::unique_ptr<PagedSurface> surface_;
};

}  // namespace

Result<std::unique_ptr<PrintOutput>> openDefaultOutput(const QString& documentName, FileDialogs& dialogs) {
    const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
    if (!printer.isNull()) return std::unique_ptr<PrintOutput>(std::make_unique<PrinterOutput>(printer, documentName));
    FileDialogRequest r;
    r.kind = FileDialogRequest::Kind::Save;
    r.title = QStringLiteral("没有打印机，“%1”保存为 PDF 文件").arg(documentName);
    r.defaultSuffix = QStringLiteral("pdf");
    r.filter = QStringLiteral("PDF 文件(*.pdf)");
    r.confirmOverwrite = true;
    const std::optional<QString> path = dialogs.choose(r);
    if (!path || path->isEmpty()) return std::unique_ptr<PrintOutput>();
    auto pdf = PdfOutput::open(*path, documentName);
    if (!pdf)
        return Status::failure(QStringLiteral("PDF 文件 %1 无法写入（%2），“%3”未能打印！").arg(*path, pdf.reason(), documentName),
                               pdf.reason());
    return std::unique_ptr<PrintOutput>(std::move(*pdf));
}

}  // namespace mervo
