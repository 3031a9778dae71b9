#include "ftp/listed_name.h"

#include <algorithm>

namespace dorvan {

std::string withForwardSlashes(std::string_view name) {
    std::string result(name);
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

bool isSafeListedName(std::string_view name) {
    if (name.empty() || name.front() == '/') return false;
    size_t start = 0;
    while (true) {
        const size_t end = name.find('/', start);
        const std::string_view part = name.substr(start, end == std::string_view::npos ? end : end - start);
        if (part.empty() || part == "." || part == "..") return false;
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

std::string joinRemotePath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && path.back() != '/') path += '/';
    path += name;
    return path;
}

}  // namespace dorvan
