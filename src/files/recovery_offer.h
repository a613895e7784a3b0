// Asking the operator whether to finish an interrupted recording, wherever one turns up: at start-up, when a
// file is opened, and before an analysis.
#pragma once

#include <QString>

#include "platform/dialogs.h"

namespace mervo {

enum class RecoveryOutcome { NotNeeded, Recovered, Declined, Failed, BeingRecorded };

// What the operator is told about a file that a receive (in another window or mervo-tool) is recording now.
QString beingRecordedText(const QString& path);

// When the file at `path` is an interrupted recording, says what was found (after `lead`, if any) and offers to
// recover it; on Yes recovers it and says how many samples it holds, or why it failed (the file is then as it
// was). A file a receive is recording now is no interrupted recording: the operator is told so, nothing is
// offered; so is a file of zeros as long as an interrupted recording. A complete file, or one of another kind,
// is left to the caller without a word.
RecoveryOutcome offerRecovery(const QString& path, MessageBoxes& messages, const QString& errorTitle,
                              const QString& lead = QString());

}  // namespace mervo
