#pragma once
#include <string>
namespace dorvan {
class Config {
public:
    std::string banner() const;
    std::string displayName() const;
    bool openHomePage();
    bool openManualPage();
    bool openLog();
    void writeShortcuts();
};
Config& config();
}  // namespace dorvan
