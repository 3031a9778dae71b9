#pragma once
// Trying a step on the server again after a failure that may pass (a busy
// server, a lost or cut connection, a timeout): after a wait that doubles
// each time, on a session opened again first when its connection was lost.
// Permanent failures (other refusals, local errors, an interrupt) end at once.
#include <atomic>
#include <functional>
#include <memory>
#include <string_view>

#include "ftp/session_recipe.h"
#include "ftp/step_runner.h"

namespace dorvan {

class FtpLib;

constexpr int maxRetries = 10;
constexpr int maxRetryWait = 600;
constexpr int doublingCap = 60;  // seconds; a wait doubles up to this, or stays at a longer first wait

struct RetryPolicy {
    int retries = 0;    // tries after the first
    int firstWait = 2;  // seconds before the first retry
};

// One per command, shared by the threads of its sessions.
class Retrier {
public:
    // The retries and retrywait settings, and the command's session to keep
    // alive again after a reconnect; on the command's thread.
    explicit Retrier(const SessionRecipe& recipe);
    Retrier(RetryPolicy policy, const SessionRecipe& recipe, std::shared_ptr<FtpLib> keptAlive = nullptr);

    // Runs `attempt` (given its number, 0 first) until it succeeds, fails for
    // good, the retries are spent or the session is aborted. Before the first
    // try the session learns its folder (FtpLib::learnFolder); before a try,
    // a session whose connection is gone is opened again from the recipe and
    // taken back into that folder (FtpLib::retrace). Each retry is a warning
    // line naming `shown`, each reconnect one too. False leaves the reason in
    // the session's lastOutcome. A session that cannot get back into its
    // folder is closed, with an error line naming the folder, and the
    // command stops: from then on run is false at once.
    bool run(FtpLib& session, std::string_view shown, const std::function<bool(int attempt)>& attempt);
    // True once a session could not get back into its folder: nothing more is to be begun.
    bool stopped() const { return folderLost_; }
    int retries() const { return policy_.retries; }
    // run() for the steps of a scanner or a remover on `session`; the names
    // are in the server's encoding.
    StepRunner stepsOn(FtpLib& session);

private:
    bool reopen(FtpLib& session);

    const RetryPolicy policy_;
    const SessionRecipe recipe_;
    const std::shared_ptr<FtpLib> keptAlive_;  // the command's session when a keep-alive runs for it
    // A session could not be opened again within its retries: later tries
    // reopen once, without waiting, until one succeeds.
    std::atomic<bool> reopenFailed_{false};
    std::atomic<bool> folderLost_{false};
};

// The wait before retry `number` (1 first) of a policy.
int retryWait(const RetryPolicy& policy, int number);

}  // namespace dorvan
