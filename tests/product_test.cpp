#include <gtest/gtest.h>

#include <sys/stat.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/paths.h"
#include "settings/log.h"
#include "settings/product.h"
#include "support/files.h"

using namespace dorvan;

namespace {

std::string readFile(const std::string& path) {
    std::string content, error;
    platform::readWholeFile(path, content, &error);
    return content;
}

void writeFile(const std::string& path, const std::string& content) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
}

std::string shortcut(const std::string& address) {
    return "[DEFAULT]\r\nBASEURL=\r\n[InternetShortcut]\r\nURL=" + address +
           "\r\nWorkingDirectory=\r\nShowCommand=3\r\nIconFile=\r\nIconIndex=1\r\nModified=\r\nHotKey=";
}

}  // namespace

TEST(Product, NamesAndAddresses) {
    EXPECT_EQ(config().displayName(), "Dorvan");

    // The manual address names the installed manual page, never the build tree.
    EXPECT_EQ(config().manualPageAddress(), "man:dorvan(1)");
}

TEST(Product, ShortcutsAreWrittenOnlyWhenMissing) {
    test::TempDataHome data;
    std::string home = platform::dataFolder() + "Dorvan_Home.url";
    std::string manual = platform::dataFolder() + "How_to_Dorvan.url";
    platform::removeFile(home);
    platform::removeFile(manual);

    config().writeShortcuts();
    EXPECT_EQ(readFile(home), shortcut(config().homePageAddress()));
    EXPECT_EQ(readFile(manual), shortcut(config().manualPageAddress()));

    writeFile(home, "edited by hand");
    platform::removeFile(manual);
    config().writeShortcuts();
    EXPECT_EQ(readFile(home), "edited by hand");
    EXPECT_EQ(readFile(manual), shortcut(config().manualPageAddress()));

    platform::removeFile(home);
    platform::removeFile(manual);
}

TEST(Product, OpenersStartXdgOpenDetached) {
    char folderTemplate[] = "/tmp/dorvan-open-XXXXXX";
    ASSERT_NE(mkdtemp(folderTemplate), nullptr);
    std::string folder = folderTemplate;
    std::string record = folder + "/record";
    std::string script = folder + "/xdg-open";
    // Records its argument, then lingers: the caller must not wait for it.
    writeFile(script, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + record + "'\nsleep 5\n");
    ASSERT_EQ(::chmod(script.c_str(), 0755), 0);
    std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (folder + ":" + oldPath).c_str(), 1);

    using Clock = std::chrono::steady_clock;
    struct Case {
        bool (*open)();
        std::string expected;
    } cases[] = {
        {[] { return config().openHomePage(); }, config().homePageAddress()},
        {[] { return config().openManualPage(); }, config().manualPageAddress()},
        {[] { return config().openLog(); }, logPath()},
        {[] { return config().openUrl("https://example.org/a b?c=1"); }, "https://example.org/a b?c=1"},
    };
    std::vector<std::string> expected;
    for (const Case& c : cases) {
        auto start = Clock::now();
        EXPECT_TRUE(c.open());
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(4000)) << c.expected;
        expected.push_back(c.expected);
    }
    ::setenv("PATH", oldPath.c_str(), 1);

    std::vector<std::string> recorded;
    for (auto deadline = Clock::now() + std::chrono::seconds(10); Clock::now() < deadline;) {
        std::string content = readFile(record);
        recorded.clear();
        for (size_t start = 0, end; (end = content.find('\n', start)) != std::string::npos; start = end + 1)
            recorded.push_back(content.substr(start, end - start));
        if (recorded.size() >= expected.size()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // The openers run side by side, so their records may come in any order.
    std::sort(recorded.begin(), recorded.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(recorded, expected);

    platform::removeFile(record);
    platform::removeFile(script);
    ::rmdir(folder.c_str());
}
