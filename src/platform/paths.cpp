#include "platform/paths.h"

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

}  // namespace dorvan::platform
