// Placeholder until the session wrapper lands: every operation fails.
#include "ftp/ftp_lib.h"

namespace dorvan {

FtpLib::FtpLib() = default;
FtpLib::~FtpLib() = default;
void FtpLib::setTimeout(int seconds) { timeoutSeconds_ = seconds; }
void FtpLib::setDebugLevel(int) {}
bool FtpLib::connect(const std::string&, int) { return false; }
bool FtpLib::login(const std::string&, const std::string&) { return false; }
bool FtpLib::setActive() { return false; }
bool FtpLib::setPassive() { return false; }
bool FtpLib::put(const std::string&, const std::string&, char) { return false; }
bool FtpLib::get(const std::string&, const std::string&, char) { return false; }
bool FtpLib::size(const std::string&, uint64_t&, char) { return false; }
bool FtpLib::modDate(const std::string&, std::string&) { return false; }
bool FtpLib::mkdir(const std::string&) { return false; }
bool FtpLib::sysType(std::string&) { return false; }
bool FtpLib::isWindows() { return false; }
bool FtpLib::chdir(const std::string&) { return false; }
bool FtpLib::cdup() { return false; }
bool FtpLib::deleteFile(const std::string&) { return false; }
bool FtpLib::rmdir(const std::string&) { return false; }
bool FtpLib::pwd(std::string&) { return false; }
std::string FtpLib::pwd() { return {}; }
bool FtpLib::nlst(const std::string&, const std::string&) { return false; }
bool FtpLib::listToFile(const std::string&, const std::string&) { return false; }
bool FtpLib::list(const std::string&, std::vector<FtpFileInfo>&) { return false; }
bool FtpLib::rename(const std::string&, const std::string&) { return false; }
std::string FtpLib::lastResponse() { return {}; }
bool FtpLib::sendCmd(const std::string&, char) { return false; }
bool FtpLib::sendCmd(const char*, char) { return false; }
bool FtpLib::utf8On() { return false; }
void FtpLib::quit() {}
void FtpLib::close() {}
void FtpLib::abort() {}
FtpFileInfo parseLine(std::string_view, const std::string&) { return {}; }

}  // namespace dorvan
