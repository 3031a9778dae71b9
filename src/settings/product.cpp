#include "settings/product.h"

#include <cstdio>

#include "platform/console.h"
#include "platform/output_file.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "settings/log.h"

namespace dorvan {
namespace {

constexpr std::string_view homePage = "https://dorvan.tolvane.example/";

// The manual ships as docs/manual.md of the source tree this file is part of.
std::string manualAddress() {
    constexpr std::string_view self = __FILE__;
    constexpr std::string_view tail = "src/settings/product.cpp";
    if (!platform::isAbsolutePath(std::string(self)) || !self.ends_with(tail))
        return std::string(homePage) + "manual.html";
    std::string path = std::string(self.substr(0, self.size() - tail.size())) + "docs/manual.md";
    std::string address = "file://";
    for (unsigned char c : path) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     std::string_view("/-._~").find(static_cast<char>(c)) != std::string_view::npos;
        if (plain) {
            address += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            address += escaped;
        }
    }
    return address;
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

bool Config::openManualPage() { return openUrl(manualPageAddress()); }

bool Config::openLog() {
    platform::openDetached(logPath());
    return true;
}

bool Config::openUrl(const std::string& address) {
    platform::openInBrowser(address);
    return true;
}

void Config::writeShortcuts() {
    std::string folder = platform::programFolder();
    std::string icon = platform::shortcutIconFile();
    writeShortcutIfMissing(folder + "Dorvan_Home.url", shortcutContent(homePageAddress(), icon));
    writeShortcutIfMissing(folder + "How_to_Dorvan.url", shortcutContent(manualPageAddress(), icon));
}

Config& config() {
    static Config instance;
    return instance;
}

}  // namespace dorvan
