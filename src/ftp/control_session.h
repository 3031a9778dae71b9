#pragma once
// The control connection of one session: commands and their replies, what
// the server said about itself (SYST, FEAT), TLS on the control connection,
// and the folder steps taken on it.
//
// Every byte the server sends on it goes through ReplyParser, which bounds
// each line and each reply. Bytes read past the end of a reply stay for the
// next one; before a command is sent, whatever is already waiting is dropped
// (a reply can only answer the command that caused it). A reply read waits
// past 1xx replies for the final one, and the whole read, not each piece of
// it, ends within the timeout.
//
// A connection that missed a deadline, was aborted or got out of step is shut
// down and stays given up (isOpen false) until the next connect: a late reply
// could otherwise be taken for the answer to a later command.
//
// The account of a call (the last reply, the session's own note of a failure
// and its kind) begins anew at beginCall; outcome() reads it.
//
// Not locked: its owner runs it under the session's lock. Only abort(),
// pause() and connectionNumber() may be called from any thread.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/call_outcome.h"
#include "ftp/reply_parser.h"
#include "ftp/server_features.h"
#include "ftp/session_recipe.h"
#include "platform/sockets.h"
#include "platform/tls.h"

namespace dorvan {

inline constexpr char asciiType = 'A';
inline constexpr char imageType = 'I';

class ControlSession {
public:
    ControlSession() = default;
    ~ControlSession();
    ControlSession(const ControlSession&) = delete;
    ControlSession& operator=(const ControlSession&) = delete;

    // Seconds a wait may take; <= 0 means 60.
    void setTimeout(int seconds);
    // TLS for the connections that connect opens from now on.
    void setTls(TlsMode mode, const platform::TlsTrust& trust);
    std::string certificateProblem() const;

    // Closes any open connection first; reads the greeting and, as set, starts TLS.
    bool connect(const std::string& host, int port);
    // USER, then PASS unless USER was accepted as it was.
    bool logIn(const std::string& user, const std::string& password);
    // SYST and FEAT, once logged in: what systemType and features say.
    void learnServer();
    // Leaves the call's account alone: a failed connect reports through it.
    void close();
    bool isConnected() const { return fd_ >= 0; }
    bool isLost() const { return lost_; }
    bool usesTls() const { return connectionTls_ != TlsMode::none; }
    uint64_t connectionNumber() const { return connections_; }

    void beginCall();
    CallOutcome outcome() const;
    const std::string& reply() const { return reply_; }  // the last line of the last reply
    const std::string& note() const { return note_; }    // the session's own account of a failure
    // Notes a failure of this side or an unusable reply: false.
    bool fail(std::string note, OutcomeKind kind = OutcomeKind::refusedPermanent);
    void clearNote() { note_.clear(); }
    // The connection is out of step or gone: nothing more is read from it. False.
    bool lose(const platform::IoOutcome& outcome, std::string_view during);
    // "Timeout: the <handshake> did not end within N seconds": false.
    bool handshakeTimedOut(std::string_view handshake);
    // False, with the reason noted, when there is no connection.
    bool requireConnection();
    // False, with the reason noted, unless type is asciiType or imageType.
    bool requireType(char type);

    // Sends `text` (traced as `shown` when given) and reads the reply: true
    // when its first digit is `expected`.
    bool command(std::string_view text, char expected, std::string_view shown = {});
    // command() that also keeps every line of the final reply, without line ends.
    bool commandLines(const std::string& text, char expected, std::vector<std::string>& lines);
    // Reads replies up to the first that is not 1xx (or the first one when
    // expected is '1'); the whole read ends within the timeout.
    bool readReply(char expected, std::string_view during = "waiting for a reply");
    // Bytes that came after the last reply read and have not been read yet.
    std::string_view unread() const { return received_; }
    // TYPE, unless the server is known to be in that type.
    bool setType(char type);

    const std::string& systemType() const { return systemType_; }  // empty when unknown
    const ServerFeatures& features() const { return features_; }   // nothing when FEAT was refused
    // Records a successful CWD or CDUP step; a CWD to an absolute path begins
    // the steps anew, and the known folder is then unknown.
    void walked(const std::string& step);
    // Records the folder a PWD named: the steps begin anew from it.
    void foundFolder(const std::string& folder);
    // The folder the last PWD named, as the server spells it; empty when unknown.
    const std::string& knownFolder() const { return knownFolder_; }
    // The steps from the known folder (or, when none, from the login folder) to the current one.
    const std::vector<std::string>& folderTrail() const { return folderTrail_; }

    // What the data connections go by.
    platform::WaitLimit limit() const;
    int fd() const { return fd_; }
    const platform::SocketAddress& peer() const { return peer_; }
    const std::string& host() const { return host_; }
    platform::TlsClient& tlsClient() { return tlsClient_; }

    // Makes a blocked wait fail at once, and every later one until the next connect.
    void abort();
    // Waits `milliseconds`, or less when aborted: false then.
    bool pause(int milliseconds);

private:
    bool readOneReply(std::chrono::steady_clock::time_point deadline, std::string_view during);
    void discardWaitingReplies();
    bool startTls();
    bool requestTls();

    int fd_ = -1;
    platform::SocketAddress peer_;  // the server's address on the control connection
    bool lost_ = false;             // the connection was given up; it stays so until close
    std::string received_;          // bytes read past the last reply
    ReplyParser parser_;
    std::string reply_;
    std::string note_;
    OutcomeKind kind_ = OutcomeKind::ok;
    std::vector<std::string>* replyLines_ = nullptr;  // while set, readOneReply keeps the reply's lines here
    std::string systemType_;
    ServerFeatures features_;
    char type_ = 0;  // the transfer type the server was last set to; 0 when unknown
    std::string knownFolder_;
    std::vector<std::string> folderTrail_;
    std::atomic<uint64_t> connections_{0};  // connects so far
    int timeoutSeconds_ = 60;
    std::atomic<bool> aborted_{false};
    platform::AbortSignal abortSignal_;
    TlsMode tlsMode_ = TlsMode::none;  // for the next connect
    platform::TlsTrust tlsTrust_;
    TlsMode connectionTls_ = TlsMode::none;  // what the open connection runs
    std::string host_;                       // as given to connect: what certificates must name
    platform::TlsClient tlsClient_;
    platform::TlsConnection tls_;
};

}  // namespace dorvan
