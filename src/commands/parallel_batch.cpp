#include "commands/parallel_batch.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "commands/session_support.h"
#include "ftp/ftp_lib.h"
#include "ftp/session_opener.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"

namespace dorvan {
namespace {

// Opens a session as the command's session was opened, in its folder.
bool open(FtpLib& session, const SessionRecipe& recipe, std::string* error) {
    try {
        if (openSession(session, recipe)) return true;
        *error = lastResponseText(session, recipe.encoding);
    } catch (const std::exception& e) {
        *error = e.what();
    }
    return false;
}

// Keeps an extra session where an interrupt finds it, for as long as it lives.
class AbortableSession {
public:
    AbortableSession() {
        Settings& s = settings();
        std::lock_guard<std::mutex> guard(s.sessionPointerLock);
        s.batchSessions.push_back(session_);
    }
    ~AbortableSession() {
        Settings& s = settings();
        std::lock_guard<std::mutex> guard(s.sessionPointerLock);
        std::erase(s.batchSessions, session_);
    }
    AbortableSession(const AbortableSession&) = delete;
    AbortableSession& operator=(const AbortableSession&) = delete;
    FtpLib& operator*() { return *session_; }
    FtpLib* operator->() { return session_.get(); }

private:
    std::shared_ptr<FtpLib> session_ = std::make_shared<FtpLib>();
};

class Batch {
public:
    Batch(size_t count, const BatchSteps& steps, bool trace, bool leaveWhenLost)
        : count_(count), steps_(steps), trace_(trace), leaveWhenLost_(leaveWhenLost) {}

    // Takes files until none is left, the batch stopped or the program was
    // interrupted, or (leaveWhenLost) its connection is gone for good while
    // another session goes on.
    void work(FtpLib& session) {
        try {
            for (size_t index; take(session, index);) {
                if (steps_.finish(session, index))
                    ++done_;
                else
                    ++failed_;
                if (leaveWhenLost_ && !session.isOpen() && leave()) return;
            }
        } catch (...) {
            std::lock_guard<std::mutex> order(orderLock_);
            if (!failure_) failure_ = std::current_exception();
            startedInTurn_.notify_all();
        }
        leave();
    }

    void workOnExtraSession(const SessionRecipe& recipe, int number) {
        if (!worthOpening()) return;
        AbortableSession session;
        std::string error;
        if (!open(*session, recipe, &error)) {
            if (trace_) printMessage(Level::Warn, format(" parallel session {} not opened: {}", number, error));
            return;
        }
        {
            std::lock_guard<std::mutex> order(orderLock_);
            ++working_;
        }
        work(*session);
        session->quit();
    }

    BatchTally tally() const { return {.done = done_, .failed = failed_}; }

    void rethrowFailure() {
        if (failure_) std::rethrow_exception(failure_);
    }

private:
    bool goingOn() const {
        return !failure_ && next_ < count_ && !settings().quitRequested && !(steps_.stopped && steps_.stopped());
    }

    // True when another session still works: this one may stop.
    bool leave() {
        std::lock_guard<std::mutex> order(orderLock_);
        if (working_ <= 1) return false;
        --working_;
        return true;
    }

    bool worthOpening() {
        std::lock_guard<std::mutex> order(orderLock_);
        return goingOn();
    }

    // The next file whose start leaves work for its finish. Its check runs
    // outside the lock; its start waits for the starts of all earlier files.
    bool take(FtpLib& session, size_t& index) {
        std::unique_lock<std::mutex> order(orderLock_);
        while (goingOn()) {
            index = next_++;
            if (steps_.check) {
                order.unlock();
                steps_.check(session, index);
                order.lock();
                startedInTurn_.wait(order, [&] { return started_ == index || failure_; });
                if (failure_) return false;
            }
            const Begun begun = settings().quitRequested ? Begun::passedOver : steps_.start(session, index);
            ++started_;
            startedInTurn_.notify_all();
            if (begun == Begun::go) return true;
            if (begun == Begun::failed) ++failed_;
        }
        return false;
    }

    const size_t count_;
    const BatchSteps& steps_;
    const bool trace_;          // report sessions that cannot open (debug level 1)
    const bool leaveWhenLost_;  // a session whose connection is gone leaves the rest to the others
    // Held while a file's start runs (never its check), so it is taken
    // before any session's lock and the console's (the lock order:
    // shell/program.cpp); guards next_, started_, failure_ and working_.
    std::mutex orderLock_;
    std::condition_variable startedInTurn_;  // notified when started_ or failure_ changes
    size_t next_ = 0;                        // the next file to take
    size_t started_ = 0;                     // files whose start has run (or was passed over after an interrupt)
    size_t working_ = 1;                     // sessions taking files: the command's own and the extra ones opened
    std::exception_ptr failure_;
    std::atomic<size_t> done_{0};
    std::atomic<size_t> failed_{0};
};

}  // namespace

BatchTally runBatch(size_t count, int width, const BatchSteps& steps, SessionRecipe recipe) {
    const Settings& s = settings();
    std::shared_ptr<FtpLib> own = s.session;
    size_t extra = count == 0 ? 0 : std::min(static_cast<size_t>(std::max(width, 1)), count) - 1;
    if (extra > 0 && recipe.folder.empty()) own->pwd(recipe.folder);
    if (extra > 0 && recipe.folder.empty()) {
        // Extra sessions would start in the login folder, not necessarily this one.
        if (s.debug == 1)
            printMessage(Level::Warn, format(" parallel sessions not opened: the current folder is unknown ({})",
                                             lastResponseText(*own)));
        extra = 0;
    }
    if (extra == 0) {
        BatchTally tally;
        for (size_t i = 0; i < count && !(steps.stopped && steps.stopped()); ++i) {
            if (steps.check) steps.check(*own, i);
            const Begun begun = steps.start(*own, i);
            if (begun == Begun::go && steps.finish(*own, i))
                ++tally.done;
            else if (begun != Begun::passedOver)
                ++tally.failed;
        }
        return tally;
    }
    Batch batch(count, steps, s.debug == 1, s.retries > 0);
    std::vector<std::jthread> workers;
    for (size_t k = 1; k <= extra; ++k)
        workers.emplace_back([&batch, &recipe, k] { batch.workOnExtraSession(recipe, static_cast<int>(k) + 1); });
    batch.work(*own);
    for (std::jthread& worker : workers) worker.join();
    batch.rethrowFailure();
    return batch.tally();
}

int batchWidth() {
    const Settings& s = settings();
    return s.justprint ? 1 : s.parallel;
}

}  // namespace dorvan
