#pragma once
#include <string>
#include <vector>
namespace dorvan {
std::vector<std::string>& uploadList();
bool makeArchive();
bool createArchive(const std::vector<std::string>& files, const std::string& base, const std::string& archivePath);
}  // namespace dorvan
