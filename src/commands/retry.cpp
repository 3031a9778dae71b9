#include "commands/retry.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "commands/keep_alive.h"
#include "commands/session_support.h"
#include "ftp/ftp_lib.h"
#include "ftp/session_opener.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"

namespace dorvan {

int retryWait(const RetryPolicy& policy, int number) {
    int wait = policy.firstWait;
    for (int k = 1; k < number && wait < doublingCap; ++k) wait = std::min(wait * 2, doublingCap);
    return wait;
}

Retrier::Retrier(const SessionRecipe& recipe)
    : Retrier({.retries = settings().retries, .firstWait = settings().retrywait}, recipe,
              settings().keepalive > 0 ? settings().session : nullptr) {}

Retrier::Retrier(RetryPolicy policy, const SessionRecipe& recipe, std::shared_ptr<FtpLib> keptAlive)
    : policy_(policy), recipe_(recipe), keptAlive_(std::move(keptAlive)) {}

bool Retrier::run(FtpLib& session, std::string_view shown, const std::function<bool(int attempt)>& attempt) {
    if (folderLost_) return false;
    if (policy_.retries <= 0) return attempt(0);
    session.learnFolder();
    // After a session could not be opened again, one try without waiting, until one opens.
    int retries = reopenFailed_ && !session.isOpen() ? 0 : policy_.retries;
    for (int tried = 0;; ++tried) {
        const bool open = session.isOpen() || reopen(session);
        if (folderLost_) return false;
        if (open) retries = policy_.retries;
        if (open && attempt(tried)) return true;
        if (!open && tried >= retries) reopenFailed_ = true;
        if (!session.lastOutcome().transient() || tried >= retries || !session.pause(0)) return false;
        const int wait = retryWait(policy_, tried + 1);
        printMessage(Level::Warn, format(" retry {} of {} in {} s: {}: {}", tried + 1, retries, wait, shown,
                                         lastResponseText(session, recipe_.encoding)));
        if (!session.pause(wait * 1000)) return false;
    }
}

// Opened as the lost session was, then back into its folder; a session that
// cannot get there is closed, so that no later step runs in another folder.
bool Retrier::reopen(FtpLib& session) {
    if (!session.pause(0)) return false;  // interrupted: nothing is opened again
    const FolderTrail trail = session.folderTrail();
    SessionRecipe recipe = recipe_;
    recipe.folder.clear();
    if (!openSession(session, recipe)) return false;
    std::string error;
    if (!session.retrace(trail, &error)) {
        session.close();  // its last outcome stays: the refused CWD
        if (!folderLost_.exchange(true))
            printMessage(Level::Error,
                         format("reconnect to {} failure: {}", recipe_.host, fromServer(error, recipe_.encoding)));
        return false;
    }
    reopenFailed_ = false;
    if (keptAlive_.get() == &session) startKeepAlive(keptAlive_);
    printMessage(Level::Warn, format(" reconnected to {}", recipe_.host));
    return true;
}

StepRunner Retrier::stepsOn(FtpLib& session) {
    return [this, &session](std::string_view name, const std::function<bool()>& step) {
        return run(session, fromServer(name, recipe_.encoding), [&step](int) { return step(); });
    };
}

}  // namespace dorvan
