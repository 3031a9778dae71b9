#pragma once
// The one FTP session object: a control connection, its data connections and
// listings behind a re-entrant lock. Every operation returns true only when
// the server's final reply says so; none throws for an FTP failure and none
// blocks past the deadline set with setTimeout. Its parts: ControlSession
// (commands and replies), DataConnections and DataTransfers (the data side),
// Listings.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/call_outcome.h"
#include "ftp/checksums.h"
#include "ftp/control_session.h"
#include "ftp/data_connection.h"
#include "ftp/data_transfer.h"
#include "ftp/ftp_file_info.h"
#include "ftp/kept_part.h"
#include "ftp/listings.h"
#include "ftp/rate_limit.h"
#include "ftp/session_recipe.h"
#include "ftp/transfer_progress.h"
#include "platform/tls.h"

namespace dorvan {

// Where a session is: the folder a PWD named and the folder steps taken since.
struct FolderTrail {
    std::string folder;  // as the server spells it; empty when no PWD named it
    // The successful CWD and CDUP commands since (without a folder: since
    // the login, or since a CWD to an absolute path, which comes first).
    std::vector<std::string> steps{};
};

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
    // How get and put check their file against the server's checksum from
    // now on (checksums.h), and the cap on the speed of their data that they
    // share with other sessions (rate_limit.h; nullptr for none).
    void setTransferRules(ChecksumMode mode, std::shared_ptr<RateLimit> limit);
    // What the check of this session's last get or put found.
    TransferChecksum lastChecksum();

    bool connect(const std::string& host, int port);
    bool login(const std::string& user, const std::string& password);
    bool setActive();
    bool setPassive();
    // mode is 'I' (image) or 'A' (ASCII). get writes a temporary file beside
    // localPath and renames it into place only after the server confirmed and
    // the expected size (or the size the server announced) arrived, in image
    // type no more than that.
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
    // The entries of a folder by LIST, whatever the server offers: where
    // UNIX-style lines show symbolic links as such.
    bool listPlain(const std::string& remotePath, std::vector<FtpFileInfo>& entries);
    // True when "\" separates folders on the server: its system type is
    // Windows, or a listing of this connection was MS-DOS style.
    bool separatesWithBackslash();
    // A file's modification time in ticks, to the second: by MLST where the
    // server offers it, else (or when MLST gives no time) by MDTM.
    bool modifyTime(const std::string& remotePath, int64_t& ticks);
    // True when the server offers MFMT, which setModifyTime sends.
    bool setsModifyTimes();
    bool setModifyTime(const std::string& remotePath, int64_t ticks);
    bool rename(const std::string& from, const std::string& to);
    // The text of lastOutcome: the last reply, or the session's own account of the failure.
    std::string lastResponse();
    bool sendCmd(const std::string& command, char expected);
    bool sendCmd(const char* command, char expected);
    bool utf8On();
    void quit();
    void close();
    // False once the control connection is closed or was given up (timeout, abort, lost).
    bool isOpen();
    // How the last operation (of the thread holding the session) ended, as
    // its call returned it when it ended; later operations replace it.
    CallOutcome lastOutcome();
    // Makes `outcome` the last again, after a clean-up step that must not hide it.
    void restoreOutcome(const CallOutcome& outcome);
    // Counts the connections made so far; a new one begins at each connect. Lock-free.
    uint64_t connectionNumber() const { return control_.connectionNumber(); }
    // Where the session is. A relative CWD or CDUP taken while nothing says
    // where the session is asks PWD first (see learnFolder).
    FolderTrail folderTrail();
    // PWD, when no PWD named the folder and no step left the login folder:
    // afterwards a new connection can be taken back to the same folder.
    void learnFolder();
    // Takes a new connection where `trail` says: CWD to its folder, checked
    // with PWD, then its steps. True when there; otherwise *error names the
    // folder and says why not (the folder gone or elsewhere, a PWD that names
    // none, a walk from a login folder no PWD named).
    bool retrace(const FolderTrail& trail, std::string* error);
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

    bool walk(const std::string& step);  // CWD or CDUP, kept in the folder trail

    // Held by every operation but isWindows, connectionNumber, pause and
    // abort, and by a command through hold(); guards all below (the parts
    // lock nothing of their own). Callers may hold their own locks when they
    // call in; inside an operation only the console's output lock is taken.
    std::recursive_mutex lock_;
    ControlSession control_;
    DataConnections dataConnections_{control_};
    DataTransfers transfers_{control_, dataConnections_};
    Listings listings_{control_, transfers_};
    CallOutcome last_;  // of the last operation; see lastOutcome
    int depth_ = 0;     // nesting of operations on the lock-holding thread
};

}  // namespace dorvan
