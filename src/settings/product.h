#pragma once
// Product information and the helpers that leave the console: the banner,
// the display name, the home and manual pages, the log viewer and the two
// internet-shortcut files.
#include <string>
#include <string_view>

namespace dorvan {

class Config {
public:
    std::string banner() const;       // opens the usage screen and the interactive session; lines end CR LF
    std::string displayName() const;  // "Dorvan": headings and the console title
    std::string homePageAddress() const;
    std::string manualPageAddress() const;

    // Each starts xdg-open detached and returns at once; without xdg-open it
    // prints what it would have opened (the address, the log's path, or
    // "man dorvan" for the manual). Always true.
    bool openHomePage();
    bool openManualPage();
    bool openLog();  // the log file, without flushing it first
    bool openUrl(const std::string& address);

    // Writes "Dorvan_Home.url" and "How_to_Dorvan.url" where the program
    // keeps its files for the user (platform::ownFilesFolder) where they are missing. Existing files are left alone; a
    // file that cannot be written is skipped silently. Safe on any thread.
    void writeShortcuts();
};

Config& config();

}  // namespace dorvan
