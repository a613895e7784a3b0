// SIGINT, SIGTERM and SIGHUP (the terminal closed) delivered to the event loop as a request to stop, so a receive
// ends as the stop button does: the block in hand completes and the file is finished. SIGXFSZ (a file-size limit
// reached) is ignored, so the write that reaches the limit fails and the receive says so, instead of the program
// dying without a word.
#pragma once

#include <QObject>
#include <memory>

#include "shared/result.h"

class QSocketNotifier;

namespace mervo {

class StopSignals : public QObject {
    Q_OBJECT
public:
    StopSignals();
    ~StopSignals() override;
    // Catches the two signals from now on; at most one object may do so at a time.
    Status install();
    // Whether a stop signal arrived since the last call, for work that runs without the event loop.
    bool takeRequest();
    // The last stop signal taken (SIGINT, SIGTERM or SIGHUP), 0 while none was: a command that gives up its
    // work for it exits with the status 128 + this number, as the signal would have ended it.
    int caught() const { return caught_; }

signals:
    void stopRequested();

private:
    std::unique_ptr<QSocketNotifier> notifier_;
    int caught_ = 0;
};

}  // namespace mervo
