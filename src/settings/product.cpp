#include "settings/product.h"

#include "platform/console.h"
#include "platform/output_file.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "settings/format.h"
#include "settings/log.h"

namespace dorvan {
namespace {

constexpr std::string_view homePage = "https://dorvan.tolvane.example/";
constexpr std::string_view manualPageName = "dorvan";

// The installed manual page where the system has manual pages, else the manual on the home page.
std::string manualAddress() {
    std::string installed = platform::manualPageAddress(std::string(manualPageName));
    return installed.empty() ? std::string(homePage) + "manual.html" : installed;
}

// Where nothing can open it, the command says what it would have opened.
bool openedOrShown(bool opened, const std::string& shown) {
    return opened || printMessage(Level::Info, format(" {}", shown));
}

std::string shortcutContent(const std::string& address, const std::string& iconFile) {
    return "[DEFAULT]\r\n"
           "BASEURL=\r\n"
           "[InternetShortcut]\r\n"
           "URL=" +
           address +
           "\r\n"
           "WorkingDirectory=\r\n"
           "ShowCommand=3\r\n"
           "IconFile=" +
           iconFile +
           "\r\n"
           "IconIndex=1\r\n"
           "Modified=\r\n"
           "HotKey=";
}

void writeShortcutIfMissing(const std::string& path, const std::string& content) {
    // Creating fails when the file exists, so a hand-edited one survives.
    platform::OutputFile file;
    std::string error;
    if (!file.open(path, platform::OpenMode::createNew, &error)) return;
    bool written = file.write(content, &error);
    written = file.close(&error) && written;
    // A partial file would count as present from now on.
    if (!written) platform::removeFile(path);
}

}  // namespace

std::string Config::banner() const {
    return std::string(" Dorvan 1.0 - scriptable console FTP client for batch transfers")
        .append(platform::lineEnd())
        .append(" Copyright (c) Tolvane. Type help for the list of commands.");
}

std::string Config::displayName() const { return "Dorvan"; }

std::string Config::homePageAddress() const { return std::string(homePage); }

std::string Config::manualPageAddress() const {
    static const std::string address = manualAddress();
    return address;
}

bool Config::openHomePage() { return openUrl(homePageAddress()); }

bool Config::openManualPage() {
    return openedOrShown(platform::openInBrowser(manualPageAddress()), "man " + std::string(manualPageName));
}

bool Config::openLog() { return openedOrShown(platform::openDetached(logPath()), logPath()); }

bool Config::openUrl(const std::string& address) { return openedOrShown(platform::openInBrowser(address), address); }

void Config::writeShortcuts() {
    std::string folder = platform::ownFilesFolder();
    std::string icon = platform::shortcutIconFile();
    writeShortcutIfMissing(folder + "Dorvan_Home.url", shortcutContent(homePageAddress(), icon));
    writeShortcutIfMissing(folder + "How_to_Dorvan.url", shortcutContent(manualPageAddress(), icon));
}

Config& config() {
    static Config instance;
    return instance;
}

}  // namespace dorvan
