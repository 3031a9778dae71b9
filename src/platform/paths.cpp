#include "platform/paths.h"

#include <cerrno>
#include <cstring>

#include "platform/file_io_os.h"
#include "platform/paths_os.h"

namespace dorvan::platform {

std::string programFolder() {
    std::string exe = os::programPath();
    size_t nameLength = fileNameOf(exe).size();
    if (nameLength == exe.size()) return std::string(".") + localSeparator();
    return exe.substr(0, exe.size() - nameLength);
}

std::string programBaseName() {
    std::string name = fileNameOf(os::programPath());
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name.empty() ? std::string("dorvan") : name;
}

std::string dataFolder() {
    const char separator = localSeparator();
    std::string base = os::userDataFolder();
    if (!base.empty() && !fileNameOf(base).empty()) base += separator;
    return base + "Tolvane" + separator + "Dorvan" + separator;
}

bool readWholeFile(const std::string& path, std::string& content, std::string* error) {
    content.clear();
    int fd = os::openInput(path);
    if (fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    char buf[65536];
    for (;;) {
        long n = os::readSome(fd, buf, sizeof buf);
        if (n < 0) {
            *error = std::strerror(errno);
            os::closeFile(fd);
            return false;
        }
        if (n == 0) break;
        content.append(buf, static_cast<size_t>(n));
    }
    os::closeFile(fd);
    return true;
}

}  // namespace dorvan::platform
