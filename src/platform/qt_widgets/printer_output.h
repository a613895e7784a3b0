// The system's default printer as a print output, and the choice the print window makes: the default printer,
// or, where there is none, a PDF file the operator names.
#pragma once

#include <QString>
#include <memory>

#include "platform/dialogs.h"
#include "platform/printer.h"

namespace mervo {

// The default printer, or a PDF file chosen in a save dialog. Nothing (and no failure) when the operator
// cancels the dialog; a failure when the output cannot be opened.
Result<std::unique_ptr<PrintOutput>> openDefaultOutput(const QString& documentName, FileDialogs& dialogs);

}  // namespace mervo
