// A PDF file of A4 portrait pages as a print output, drawn in twips from the printable area's corner. The pages
// go to a new file beside the chosen one, which replaces it only once the document is complete.
#pragma once

#include <QString>
#include <memory>

#include "platform/file_replacement.h"
#include "platform/printer.h"

class QPdfWriter;

namespace mervo {

class PagedSurface;

class PdfOutput : public PrintOutput {
public:
    // The output for `path`; refused at once, before anything is drawn, when the file cannot be written there.
    static Result<std::unique_ptr<PdfOutput>> open(const QString& path, const QString& title = QString(),
                                                   FileSystem& fs = systemFileSystem());
    ~PdfOutput() override;

    Surface& surface() override;
    Status finish() override;
    void abandon() override;

private:
    PdfOutput(const QString& path, FileSystem& fs);

    QString path_;
    FileReplacement file_;
    std::unique_ptr<QPdfWriter> writer_;
    std::unique_ptr<PagedSurface> surface_;
};

}  // namespace mervo
