#pragma once
// The one FTP session object: a control connection of ftplib behind a
// re-entrant lock. Every operation returns true only when the server's final
// reply says so; none throws for an FTP failure and none blocks past the
// deadline set with setTimeout. This is the only code that includes ftplib.h.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/ftp_file_info.h"
#include "platform/sockets.h"

struct NetBuf;

namespace dorvan::platform {
class GuardedSocket;
}

namespace dorvan {

class FtpLib {
public:
    FtpLib();
    virtual ~FtpLib();
    FtpLib(const FtpLib&) = delete;
    FtpLib& operator=(const FtpLib&) = delete;

    // Seconds any single wait (connect, greeting, reply, data) may take; <= 0 means 60.
    void setTimeout(int seconds);
    // 2 traces replies on stderr, 3 also commands (PASS shown as "PASS ****").
    static void setDebugLevel(int level);

    virtual bool connect(const std::string& host, int port);
    virtual bool login(const std::string& user, const std::string& password);
    virtual bool setActive();
    virtual bool setPassive();
    // mode is 'I' (image) or 'A' (ASCII). get writes a temporary file beside
    // localPath and renames it into place only after the server confirmed.
    virtual bool put(const std::string& localPath, const std::string& remotePath, char mode);
    virtual bool get(const std::string& localPath, const std::string& remotePath, char mode);
    virtual bool size(const std::string& remotePath, uint64_t& size, char mode);
    virtual bool modDate(const std::string& remotePath, std::string& date);
    virtual bool mkdir(const std::string& remotePath);
    virtual bool sysType(std::string& type);
    virtual bool isWindows();
    virtual bool chdir(const std::string& remotePath);
    virtual bool cdup();
    virtual bool deleteFile(const std::string& remotePath);
    virtual bool rmdir(const std::string& remotePath);
    virtual bool pwd(std::string& folder);
    virtual std::string pwd();
    // An empty localPath writes the listing text to the console (stdout).
    virtual bool nlst(const std::string& localPath, const std::string& remotePath);
    virtual bool listToFile(const std::string& localPath, const std::string& remotePath);
    virtual bool list(const std::string& remotePath, std::vector<FtpFileInfo>& entries);
    virtual bool rename(const std::string& from, const std::string& to);
    virtual std::string lastResponse();
    virtual bool sendCmd(const std::string& command, char expected);
    virtual bool sendCmd(const char* command, char expected);
    virtual bool utf8On();
    virtual void quit();
    virtual void close();

    // From another thread: makes a blocked operation fail at once, and every
    // later wait until the next connect; the connection is given up.
    void abort();

private:
    class Operation;
    using Consumer = std::function<bool(std::string_view data)>;  // false: local failure, note_ set
    using Producer = std::function<bool(std::string& chunk)>;     // empty chunk at the end

    platform::WaitLimit limit() const;
    bool fail(std::string note);
    std::string reply() const;
    bool command(std::string_view text, char expected, std::string_view shown = {});
    bool readReply(char expected);
    bool lose(const platform::IoOutcome& outcome, std::string_view during);
    bool openData(const std::string& command, char type, int& dataFd);
    bool finishData(int dataFd, const platform::IoOutcome& moved, bool localFailure);
    bool download(const std::string& command, char type, const Consumer& consume);
    bool upload(const std::string& command, char type, const Producer& produce);
    bool downloadToFile(const std::string& localPath, const std::string& command, char type);
    bool downloadToConsole(const std::string& command);
    // A listing's text (LIST or NLST) to a file, or to the console when localPath is empty.
    bool listingText(const char* verb, const std::string& localPath, const std::string& remotePath);

    std::recursive_mutex lock_;
    NetBuf* control_ = nullptr;
    std::string systemType_;
    int timeoutSeconds_ = 60;
    std::atomic<bool> aborted_{false};
    int controlFd_ = -1;
    bool passive_ = true;
    std::string note_;  // our own account of a failure; lastResponse prefers it to the server's reply
    int depth_ = 0;     // nesting of operations on the lock-holding thread
    platform::GuardedSocket* guard_ = nullptr;
    platform::AbortSignal abortSignal_;
};

// Parses one LIST line into a record; times are given only when the system
// type (the cache login fills) is known.
FtpFileInfo parseLine(std::string_view line, const std::string& systemType);

}  // namespace dorvan
