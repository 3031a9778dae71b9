#include "commands/parallel_batch.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "commands/session_support.h"
#include "ftp/ftp_lib.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"

namespace dorvan {
namespace {

// What an extra session needs to stand beside the command's session. Taken
// on the calling thread, so that the workers never read the settings for it.
struct SessionRecipe {
    std::string host;
    int port = 21;
    std::string user;
    std::string password;
    int timeout = 60;
    TlsMode tls = TlsMode::none;
    platform::TlsTrust trust;
    bool passive = true;
    std::string folder;  // as the server spells it
    bool trace = false;  // report sessions that cannot open (debug level 1)
};

SessionRecipe recipeFrom(const Settings& s, std::string folder) {
    return {.host = s.host,
            .port = s.port,
            .user = s.username,
            .password = s.password,
            .timeout = s.timeout,
            .tls = tlsModeOf(s.tls),
            .trust = {.verify = s.verify, .cafile = s.cafile},
            .passive = s.passive,
            .folder = std::move(folder),
            .trace = s.debug == 1};
}

// Connects and logs in as the command's session did, then changes to its folder.
bool open(FtpLib& session, const SessionRecipe& recipe, std::string* error) {
    try {
        session.setTimeout(recipe.timeout);
        session.setTls(recipe.tls, recipe.trust);
        bool opened = session.connect(recipe.host, recipe.port);
        if (opened) {
            if (recipe.passive)
                session.setPassive();
            else
                session.setActive();
            opened = session.login(recipe.user, recipe.password);
        }
        if (opened) {
            session.utf8On();
            opened = recipe.folder.empty() || session.chdir(recipe.folder);
        }
        if (!opened) *error = lastResponseText(session);
        return opened;
    } catch (const std::exception& e) {
        *error = e.what();
        return false;
    }
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
    Batch(size_t count, const BatchSteps& steps) : count_(count), steps_(steps) {}

    // Takes files until none is left, the batch stopped or the program was interrupted.
    void work(FtpLib& session) {
        try {
            for (size_t index; take(session, index);)
                if (steps_.finish(session, index)) ++done_;
        } catch (...) {
            std::lock_guard<std::mutex> order(orderLock_);
            if (!failure_) failure_ = std::current_exception();
        }
    }

    void workOnExtraSession(const SessionRecipe& recipe, int number) {
        if (!worthOpening()) return;
        AbortableSession session;
        std::string error;
        if (!open(*session, recipe, &error)) {
            if (recipe.trace) printMessage(Level::Warn, format(" parallel session {} not opened: {}", number, error));
            return;
        }
        work(*session);
        session->quit();
    }

    size_t done() const { return done_; }

    void rethrowFailure() {
        if (failure_) std::rethrow_exception(failure_);
    }

private:
    bool goingOn() const { return !failure_ && next_ < count_ && !settings().quitRequested; }

    bool worthOpening() {
        std::lock_guard<std::mutex> order(orderLock_);
        return goingOn();
    }

    // The next file whose first step leaves work for the second.
    bool take(FtpLib& session, size_t& index) {
        std::lock_guard<std::mutex> order(orderLock_);
        while (goingOn()) {
            index = next_++;
            if (steps_.start(session, index)) return true;
        }
        return false;
    }

    const size_t count_;
    const BatchSteps& steps_;
    // Held while a file's first step runs, so it is taken before any
    // session's lock and the console's (the lock order: shell/program.cpp);
    // guards next_ and failure_.
    std::mutex orderLock_;
    size_t next_ = 0;
    std::exception_ptr failure_;
    std::atomic<size_t> done_{0};
};

}  // namespace

size_t runBatch(size_t count, int width, const BatchSteps& steps, std::string remoteFolder) {
    Settings& s = settings();
    std::shared_ptr<FtpLib> own = s.session;
    const size_t extra = count == 0 ? 0 : std::min(static_cast<size_t>(std::max(width, 1)), count) - 1;
    if (extra == 0) {
        size_t done = 0;
        for (size_t i = 0; i < count; ++i)
            if (steps.start(*own, i) && steps.finish(*own, i)) ++done;
        return done;
    }
    if (remoteFolder.empty()) remoteFolder = own->pwd();
    const SessionRecipe recipe = recipeFrom(s, std::move(remoteFolder));
    Batch batch(count, steps);
    std::vector<std::jthread> workers;
    for (size_t k = 1; k <= extra; ++k)
        workers.emplace_back([&batch, &recipe, k] { batch.workOnExtraSession(recipe, static_cast<int>(k) + 1); });
    batch.work(*own);
    for (std::jthread& worker : workers) worker.join();
    batch.rethrowFailure();
    return batch.done();
}

}  // namespace dorvan
