#pragma once
// The process-wide Settings record: every argument value with its default,
// the session flags and the one session object.
#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ftp/session_recipe.h"

namespace dorvan {

class FtpLib;

constexpr int64_t unsetSize = -1;
constexpr int64_t unsetLimit = std::numeric_limits<int64_t>::max();
constexpr int64_t ticksPerMinute = 600'000'000;

// The argument values that closing the session puts back to their defaults.
struct ResettableArguments {
    std::string host;
    int32_t port = 21;
    std::string username;
    std::string password;
    std::string remote;
    std::string local;
    bool passive = true;
    bool justprint = false;
    bool overwrite = true;
    char transferType = 'I';
    char expresp = '2';
    bool recurse = false;
    std::string include;
    std::string exclude;
    int64_t lsize = unsetSize;
    int64_t gsize = unsetSize;
    int64_t lmodified = unsetLimit;
    int64_t gmodified = unsetLimit;
    int64_t maxfiles = unsetLimit;
    int64_t maxfolders = unsetLimit;
};

// Which arguments exist, how they are read and how status shows them is the
// argument table's business (src/shell/argument_table.cpp).
struct Settings : ResettableArguments {
    // Session state. The flags are read by the keep-alive thread.
    std::shared_ptr<FtpLib> session;  // replaced or released only under sessionPointerLock
    // Taken after the command lock; nothing but the session's abort is called
    // while it is held, so the session's own lock is never taken inside it.
    std::mutex sessionPointerLock;
    // The extra sessions a batch command runs while it runs, so that an
    // interrupt aborts them too. Guarded by sessionPointerLock.
    std::vector<std::shared_ptr<FtpLib>> batchSessions;
    // What the open session connected and logged in with (host to TLS at
    // connect, credentials and data connection mode at login); the command
    // thread's only.
    SessionRecipe sessionRecipe;
    std::atomic<bool> isConnected{false};
    std::atomic<bool> isLoggedin{false};
    std::atomic<bool> quitRequested{false};
    // A change into the remote folder (changeToRemote) failed since the shell
    // began the current command line, which clears it: a transfer or removal
    // whose remote value cannot be entered must not run elsewhere.
    bool remoteChangeFailed = false;
    // The running command came from the user (the prompt or the process
    // command line), not from a command file: login may then ask for a
    // missing password at a terminal.
    bool commandTyped = false;
    // The command of the current line makes or reports its remote folder
    // itself: a change into it that fails says nothing (only remoteChangeFailed).
    bool remoteChangeQuiet = false;

    // Argument values that stay when the session closes.
    int32_t debug = 0;
    uint32_t encoding = 0;
    std::string name;  // name, src, dst and compress are one-shot: the command that uses them clears them
    std::string src;
    std::string dst;
    std::string compress;
    std::atomic<int32_t> keepalive{30};  // read by the keep-alive thread
    int32_t timeout = 60;                // seconds any wait on the server may take
    bool errorlevel = false;             // the exit status tells failures and interrupts apart
    // TLS stays as chosen when a session closes: a job that reconnects never falls back to plain FTP unasked.
    std::string tls = "none";        // "none", "explicit" (AUTH TLS) or "implicit" (TLS from the first byte)
    bool verify = true;              // the server's certificate must be trusted and name the host
    std::string cafile;              // a certificate file trusted besides the system's authorities
    int32_t parallel = 1;            // sessions mget, mput and mdele spread their files over
    int32_t retries = 3;             // tries after the first of a step that failed for a passing reason
    int32_t retrywait = 2;           // seconds before the first retry; each further wait doubles, up to a minute
    bool resume = false;             // a download that still failed keeps its part for the next run
    bool keeptime = false;           // transfers carry the source file's modification time over
    bool netrc = false;              // login takes a missing username and password from the netrc file
    std::string checksum = "auto";   // "auto", "true" or "false": transfers checked against the server's checksum
    uint32_t ratelimit = 0;          // KiB a second all sessions of a command move together; 0 for no limit
    std::string direction = "down";  // mirror: "down" makes the local folder equal to the server's, "up" the reverse
    bool mirrorDeletes = false;      // mirror also removes what the source no longer has (the delete argument)
    int64_t maxdelete = unsetLimit;  // the most files one mirror may delete; unset: half of the target's files
    std::string journal;             // batch commands append a JSON record per action to this file
};

constexpr int32_t maxParallelSessions = 8;

Settings& settings();
// A record as it is at program start, never changed.
const Settings& settingsDefaults();

// Creates the session object when there is none; returns it.
std::shared_ptr<FtpLib> ensureSession();
// From any thread: makes the session's operation in progress fail at once.
void abortSession();

void resetSettings();
bool closeSession(bool quit);

// What a newly stored value changes at once.
void applyPassive(Settings& s);          // switches an open session's data connections
void announceTransferType(Settings& s);  // at debug level 1
void applyDebugLevel(Settings& s);       // ftplib's tracing

}  // namespace dorvan
