#include "wine/wine_prefix.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "support/files.h"
#include "support/run_dorvan.h"
#include "support/shell_command.h"

namespace dorvan::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kWineServer = "/usr/lib/wine/wineserver";

// Runs a wine tool to its end; throws when it fails.
void runWineTool(const std::string& program, const std::vector<std::string>& args) {
    RunResult r = runDorvan({.args = args, .timeout = 120s, .binary = program, .launcher = ""});
    if (r.exitStatus != 0 || r.timedOut)
        throw std::runtime_error(program + " " + args[0] + " failed (status " + std::to_string(r.exitStatus) +
                                 "): " + r.out + r.err);
}

class WinePrefix : public ::testing::Environment {
public:
    void SetUp() override {
        try {
            build();
        } catch (const std::exception& e) {
            FAIL() << "wine cannot start: " << e.what();
        }
    }

    void TearDown() override {
        if (!prefix_) return;
        try {
            runWineTool(kWineServer, {"-k"});  // ends this prefix's server and the programs it still runs
            runWineTool(kWineServer, {"-w"});
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
        prefix_.reset();
    }

    // Written once by the set-up, before any test reads them.
    static std::string& driveC() {
        static std::string path;
        return path;
    }
    static std::string& appData() {
        static std::string path;
        return path;
    }

private:
    void build() {
        prefix_ = std::make_unique<TempDir>("dorvan-wine-");
        // Headless and quiet, and no offers to install .NET or HTML engines.
        ::setenv("WINEPREFIX", prefix_->path().c_str(), 1);
        ::setenv("WINEDEBUG", "-all", 1);
        ::setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        // A persistent server first: the programs of the run never wait for one to start.
        runWineTool(kWineServer, {"-p"});
        runWineTool(DORVAN_LAUNCHER, {"wineboot", "--init"});
        driveC() = prefix_->path() + "/drive_c/";
        for (const auto& user : fs::directory_iterator(driveC() + "users")) {
            fs::path roaming = user.path() / "AppData" / "Roaming";
            if (user.path().filename() != "Public" && fs::is_directory(roaming)) appData() = roaming;
        }
        if (appData().empty()) throw std::runtime_error("no AppData/Roaming folder in " + prefix_->path());
    }

    std::unique_ptr<TempDir> prefix_;
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new WinePrefix);

}  // namespace

const std::string& wineAppData() { return WinePrefix::appData(); }

std::string windowsPath(const std::string& posixPath) {
    const std::string& driveC = WinePrefix::driveC();
    std::string path = posixPath.starts_with(driveC) ? "C:\\" + posixPath.substr(driveC.size()) : "Z:" + posixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// The registry keeps each certificate under its SHA-1 thumbprint, its
// encoding in the Blob value as property 32 of the certificate's properties.
TrustedRoot::TrustedRoot(const std::string& pemFile) {
    const std::string file = shellQuoted(pemFile);
    std::string thumbprint = commandOutput("openssl x509 -noout -fingerprint -sha1 -in " + file);
    std::erase(thumbprint, ':');
    std::erase(thumbprint, '\n');
    thumbprint.erase(0, thumbprint.find('=') + 1);
    std::string der = commandOutput("openssl x509 -outform DER -in " + file + " | od -An -v -tx1");
    std::erase_if(der, [](char c) { return c == ' ' || c == '\n'; });
    if (thumbprint.size() != 40 || der.empty()) throw std::runtime_error("openssl cannot read " + pemFile);
    auto littleEndian = [](size_t value) {
        char text[9];
        std::snprintf(text, sizeof text, "%02zx%02zx%02zx%02zx", value & 0xff, value >> 8 & 0xff, value >> 16 & 0xff,
                      value >> 24 & 0xff);
        return std::string(text);
    };
    key_ = "HKCU\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\" + thumbprint;
    runWineTool(DORVAN_LAUNCHER, {"reg", "add", key_, "/v", "Blob", "/t", "REG_BINARY", "/d",
                                  littleEndian(32) + littleEndian(1) + littleEndian(der.size() / 2) + der, "/f"});
}

TrustedRoot::~TrustedRoot() {
    try {
        runWineTool(DORVAN_LAUNCHER, {"reg", "delete", key_, "/f"});
    } catch (const std::exception& e) {
        ADD_FAILURE() << e.what();
    }
}

}  // namespace dorvan::test
