#pragma once
// The one FTP session object: a control connection behind a re-entrant lock.
// Every operation returns true only when the server's final reply says so;
// none throws for an FTP failure and none blocks past the deadline set with
// setTimeout.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/call_outcome.h"
#include "ftp/ftp_file_info.h"
#include "ftp/kept_part.h"
#include "ftp/reply_parser.h"
#include "ftp/server_features.h"
#include "ftp/session_recipe.h"
#include "ftp/transfer_progress.h"
#include "platform/data_move.h"
#include "platform/local_file.h"
#include "platform/sockets.h"
#include "platform/tls.h"

namespace dorvan {

class FtpLib {
public:
    FtpLib();
    ~FtpLib();
    FtpLib(const FtpLib&) = delete;
    FtpLib& operator=(const FtpLib&) = delete;

    // Seconds a wait may take (connecting, a whole reply, each read or write of data); <= 0 means 60.
    void setTimeout(int seconds);
    // 2 traces replies on stderr, 3 also commands (PASS shown as "PASS ****").
    static void setDebugLevel(int level);

    // TLS for the connections that connect opens from now on.
    void setTls(TlsMode mode, const platform::TlsTrust& trust);
    // With TLS and unchecked certificates: why the server's certificate would
    // have been refused, empty when it would have passed.
    std::string certificateProblem();

    // Told about the data of every transfer and listing this session runs
    // from now on; nullptr for none. Not owned: it must outlive its use here.
    void setProgress(TransferProgress* progress);

    bool connect(const std::string& host, int port);
    bool login(const std::string& user, const std::string& password);
    bool setActive();
    bool setPassive();
    // mode is 'I' (image) or 'A' (ASCII). get writes a temporary file beside
    // localPath and renames it into place only after the server confirmed and
    // at least the expected size (or the size the server announced) arrived.
    // With `part`, a failed get keeps its temporary file there, and a part
    // with restartAt continues from that byte (REST). put with restartAt
    // sends the file from that byte on, after REST.
    bool put(const std::string& localPath, const std::string& remotePath, char mode, uint64_t restartAt = 0);
    bool get(const std::string& localPath, const std::string& remotePath, char mode,
             uint64_t expectedSize = unknownSize, KeptPart* part = nullptr);
    bool size(const std::string& remotePath, uint64_t& size, char mode);
    bool modDate(const std::string& remotePath, std::string& date);
    bool mkdir(const std::string& remotePath);
    bool sysType(std::string& type);
    bool isWindows();
    bool chdir(const std::string& remotePath);
    bool cdup();
    bool deleteFile(const std::string& remotePath);
    bool rmdir(const std::string& remotePath);
    bool pwd(std::string& folder);
    std::string pwd();
    // An empty localPath writes the listing text to the console (stdout).
    bool nlst(const std::string& localPath, const std::string& remotePath);
    bool listToFile(const std::string& localPath, const std::string& remotePath);
    // The entries of a folder: by MLSD where the server offers it, else by
    // LIST. When the server refuses an MLSD that LIST then answers, the
    // session lists by LIST until the next connect.
    bool list(const std::string& remotePath, std::vector<FtpFileInfo>& entries);
    // A file's modification time in ticks, to the second: by MLST where the
    // server offers it, else (or when MLST gives no time) by MDTM.
    bool modifyTime(const std::string& remotePath, int64_t& ticks);
    // True when the server offers MFMT, which setModifyTime sends.
    bool setsModifyTimes();
    bool setModifyTime(const std::string& remotePath, int64_t ticks);
    bool rename(const std::string& from, const std::string& to);
    std::string lastResponse();
    bool sendCmd(const std::string& command, char expected);
    bool sendCmd(const char* command, char expected);
    bool utf8On();
    void quit();
    void close();
    // False once the control connection is closed or was given up (timeout, abort, lost).
    bool isOpen();
    // How the last operation (of the thread holding the session) ended.
    CallOutcome lastOutcome();
    // Counts the connections made so far; a new one begins at each connect. Lock-free.
    uint64_t connectionNumber() const { return connections_; }
    // The successful CWD and CDUP commands that led from the login folder to
    // the current one (a CWD to an absolute path begins the trail anew), and
    // the same walk again on a new connection: true when every step succeeded.
    std::vector<std::string> folderTrail();
    bool retrace(const std::vector<std::string>& trail);
    // True when the FEAT after the login named REST STREAM and no REST was
    // refused since.
    bool offersRestart();
    // Waits `milliseconds`, or less when the session is aborted: false then.
    bool pause(int milliseconds);

    // From another thread: makes a blocked operation fail at once, and every
    // later wait until the next connect; the connection is given up.
    void abort();

    // Keeps the operations of every other thread (a keep-alive's SYST) out
    // while the returned lock is held, so that a command's messages quote the
    // replies of its own calls. The holding thread's operations still run.
    std::unique_lock<std::recursive_mutex> hold();

private:
    class Operation;
    using Consumer = std::function<bool(std::string_view data)>;  // false: local failure, note_ set
    using Producer = std::function<bool(std::string& chunk)>;     // empty chunk at the end

    platform::WaitLimit limit() const;
    bool fail(std::string note, OutcomeKind kind = OutcomeKind::refusedPermanent);
    bool command(std::string_view text, char expected, std::string_view shown = {});
    // Reads replies up to the first that is not 1xx (or the first one when
    // expected is '1'); the whole read ends within the limit.
    bool readReply(char expected, std::string_view during = "waiting for a reply");
    bool readOneReply(std::chrono::steady_clock::time_point deadline, std::string_view during);
    void discardWaitingReplies();
    bool lose(const platform::IoOutcome& outcome, std::string_view during);
    bool setType(char type);
    bool startControlTls();
    bool requestTls();
    bool protectData();
    bool openData(const std::string& command, char type, int& dataFd);
    bool openDataConnection(const std::string& command, char type, int& dataFd);
    bool openPassive(int& dataFd);
    bool finishData(int dataFd, const platform::IoOutcome& moved, bool localFailure);
    // The data goes to `consume`, or with `file` given, unchanged into that file.
    bool download(const std::string& command, char type, const Consumer& consume, uint64_t expectedSize = unknownSize,
                  platform::ReplacingFileWriter* file = nullptr);
    // The data comes from `produce`, or with `file` given, unchanged from that file.
    bool upload(const std::string& command, char type, const Producer& produce, uint64_t expectedSize,
                platform::FileReader* file = nullptr);
    bool retryRefusedSession();
    bool putOnce(const std::string& localPath, const std::string& remotePath, char mode);
    platform::MovedBytes progressCallback();
    bool downloadToFile(const std::string& localPath, const std::string& command, char type, uint64_t expectedSize,
                        KeptPart* part = nullptr);
    bool sendRestart();  // REST restartAt_ before a transfer command, when set
    bool downloadToConsole(const std::string& command);
    // A listing's text (LIST or NLST) to a file, or to the console when localPath is empty.
    bool listingText(const char* verb, const std::string& localPath, const std::string& remotePath);
    // The entries of a listing by `verb` (LIST or MLSD), each line read by `parse`.
    bool listing(const char* verb, const std::string& remotePath, std::vector<FtpFileInfo>& entries,
                 const std::function<FtpFileInfo(std::string_view line)>& parse);
    // command() that also keeps every line of the final reply, without line ends.
    bool commandLines(const std::string& text, char expected, std::vector<std::string>& lines);

    // Held by every operation but isWindows, and by a command through hold();
    // guards all below. Callers may hold their own locks when they call in;
    // inside an operation only the console's output lock is taken.
    std::recursive_mutex lock_;
    int controlFd_ = -1;
    platform::SocketAddress peer_;  // the server's address on the control connection
    bool lost_ = false;             // the control connection was given up; it stays so until close
    std::string received_;          // control bytes read past the last reply
    ReplyParser parser_;
    std::string reply_;  // the last line of the last reply, without its line end
    std::string systemType_;
    char type_ = 0;  // the transfer type the server was last set to; 0 when unknown

    ServerFeatures features_;                         // what FEAT said after the login; nothing when refused
    bool mlsdRefused_ = false;                        // the server refused an MLSD that LIST answered
    std::vector<std::string>* replyLines_ = nullptr;  // while set, readOneReply keeps the reply's lines here

    OutcomeKind kind_ = OutcomeKind::ok;    // of the last operation; see lastOutcome
    std::atomic<uint64_t> connections_{0};  // connects so far
    std::vector<std::string> folderTrail_;  // see folderTrail
    bool restartRefused_ = false;           // a REST was refused since the connect
    uint64_t restartAt_ = 0;                // the REST of the transfer under way; 0 for none
    uint64_t announcedSize_ = unknownSize;  // what the last RETR's preliminary reply said
    bool transferBegun_ = false;            // the operation's transfer command was accepted
    int timeoutSeconds_ = 60;
    std::atomic<bool> aborted_{false};
    bool passive_ = true;
    std::string note_;  // our own account of a failure; lastResponse prefers it to the server's reply
    int depth_ = 0;     // nesting of operations on the lock-holding thread
    platform::AbortSignal abortSignal_;
    TlsMode tlsMode_ = TlsMode::none;  // for the next connect
    platform::TlsTrust tlsTrust_;
    TlsMode connectionTls_ = TlsMode::none;  // what the open control connection runs
    std::string host_;                       // as given to connect: what certificates must name
    platform::TlsClient tlsClient_;
    platform::TlsConnection controlTls_;
    platform::TlsConnection dataTls_;  // the one data connection open at a time
    platform::DataPipe dataPipe_;      // downloads splice through it, one after another
    bool dataProtected_ = false;       // the server accepted PROT P
    TransferProgress* progress_ = nullptr;
};

// Parses one LIST line into a record; times are given only when the system
// type (the cache login fills) is known.
FtpFileInfo parseLine(std::string_view line, const std::string& systemType);
// Parses one MLSD line into a record; its time is exact to the second.
FtpFileInfo parseMachineLine(std::string_view line);

}  // namespace dorvan
