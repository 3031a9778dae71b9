#include "platform/process.h"

#include <objbase.h>
#include <shellapi.h>
#include <windows.h>
#include <cstdio>
#include <cstdlib>

#include "platform/paths.h"
#include "platform/wide_text_win.h"

namespace dorvan::platform {
namespace {

// The shell may use COM; each thread that asks it joins an apartment once.
void joinComApartment() {
    thread_local bool joined = false;
    if (joined) return;
    joined = true;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
}

void shellOpen(const std::string& file, const std::string& parameters) {
    joinComApartment();
    std::wstring wideFile = widen(file);
    std::wstring wideParameters = widen(parameters);
    ShellExecuteW(nullptr, L"open", wideFile.c_str(), parameters.empty() ? nullptr : wideParameters.c_str(), nullptr,
                  SW_SHOWMAXIMIZED);
}

// The program part of the registered command for web addresses, without its quotes.
std::string registeredBrowser() {
    wchar_t command[2048] = L"";
    DWORD size = sizeof command;
    if (RegGetValueW(HKEY_CLASSES_ROOT, L"HTTP\\shell\\open\\command", nullptr, RRF_RT_REG_SZ, nullptr, command,
                     &size) != ERROR_SUCCESS)
        return {};
    std::wstring text = command;
    if (text.starts_with(L'"')) {
        size_t close = text.find(L'"', 1);
        return narrow(text.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1));
    }
    return narrow(text.substr(0, text.find(L' ')));
}

std::string browserProgram() {
    for (const char* candidate :
         {"C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE", "D:\\Program Files\\Internet Explorer\\IEXPLORE.EXE"})
        if (pathExists(candidate)) return candidate;
    std::string registered = registeredBrowser();
    return registered.empty() ? std::string("IEXPLORE") : registered;
}

}  // namespace

std::vector<std::string> processArguments(int, char**) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; wide && i < count; ++i) arguments.push_back(narrow(wide[i]));
    if (wide) LocalFree(wide);
    return arguments;
}

bool openDetached(const std::string& target) {
    shellOpen(target, {});
    return true;
}

bool openInBrowser(const std::string& address) {
    shellOpen(browserProgram(), address);
    return true;
}

void endProcess(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}

}  // namespace dorvan::platform
