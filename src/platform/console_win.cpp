#include "platform/console.h"

#include <windows.h>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/console_os.h"
#include "platform/wide_text_win.h"

namespace dorvan::platform {
namespace {

bool isConsole(HANDLE handle) {
    DWORD mode;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

// Standard input is read by a thread of its own, so that a wake never has to
// interrupt a blocking console or pipe read. All fields guarded by `lock`;
// never destroyed, since the reader may still block when the process ends.
struct Input {
    std::mutex lock;
    std::condition_variable changed;
    std::string bytes;  // read and not yet taken
    bool ended = false;
    bool woken = false;
};

Input& input() {
    static auto* instance = new Input;
    return *instance;
}

void deliver(std::string_view bytes, bool ended) {
    {
        std::lock_guard<std::mutex> guard(input().lock);
        input().bytes.append(bytes);
        input().ended = input().ended || ended;
    }
    input().changed.notify_all();
}

void readStandardInput() {
    HANDLE handle = GetStdHandle(STD_INPUT_HANDLE);
    if (isConsole(handle)) {
        std::wstring carried;  // a high surrogate whose partner has not come yet
        for (;;) {
            wchar_t buffer[4096];
            DWORD count = 0;
            if (!ReadConsoleW(handle, buffer, 4096, &count, nullptr)) break;
            if (count == 0) continue;  // Ctrl+C during the read: the handler decides
            std::wstring text = carried + std::wstring(buffer, count);
            carried.clear();
            if (text.back() >= 0xD800 && text.back() <= 0xDBFF) {
                carried = text.back();
                text.pop_back();
            }
            deliver(narrow(text), false);
        }
    } else {
        for (;;) {
            char buffer[65536];
            DWORD count = 0;
            if (!ReadFile(handle, buffer, sizeof buffer, &count, nullptr) || count == 0) break;
            deliver(std::string_view(buffer, count), false);
        }
    }
    deliver({}, true);
}

// Waits with the lock held until the reader has something to tell.
std::unique_lock<std::mutex> awaitReader() {
    Input& in = input();
    std::unique_lock<std::mutex> guard(in.lock);
    in.changed.wait(guard, [&in] { return in.woken || in.ended || !in.bytes.empty(); });
    return guard;
}

}  // namespace

namespace os {

// A console takes UTF-16; a pipe or a file gets the UTF-8 bytes unchanged.
void writeConsole(ConsoleStream stream, std::string_view text) {
    HANDLE handle = GetStdHandle(stream == ConsoleStream::output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (isConsole(handle)) {
        std::wstring wide = widen(text);
        for (size_t done = 0; done < wide.size();) {
            DWORD written = 0;
            if (!WriteConsoleW(handle, wide.data() + done, static_cast<DWORD>(wide.size() - done), &written, nullptr) ||
                written == 0)
                return;
            done += written;
        }
        return;
    }
    while (!text.empty()) {
        DWORD written = 0;
        if (!WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) || written == 0) return;
        text.remove_prefix(written);
    }
}

bool stderrIsTerminal() { return isConsole(GetStdHandle(STD_ERROR_HANDLE)); }

// Blanks over the line, the cursor back at its start.
std::string statusErasure(size_t columns) {
    std::string erase(columns + 2, ' ');
    erase.front() = erase.back() = '\r';
    return erase;
}

void showTitle(const std::string& title) { SetConsoleTitleW(widen(title).c_str()); }

void startInput() {
    static std::once_flag once;
    std::call_once(once, [] { std::thread(readStandardInput).detach(); });
}

bool wakeRequested() {
    std::lock_guard<std::mutex> guard(input().lock);
    return input().woken;
}

InputWait awaitInput(std::string& bytes) {
    std::unique_lock<std::mutex> guard = awaitReader();
    Input& in = input();
    if (in.woken) return InputWait::woken;
    if (in.bytes.empty()) return InputWait::ended;
    bytes.append(in.bytes);
    in.bytes.clear();
    return InputWait::bytes;
}

bool awaitInputReady() {
    std::unique_lock<std::mutex> guard = awaitReader();
    return !input().woken;
}

}  // namespace os

size_t consoleColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info) && info.srWindow.Right > info.srWindow.Left)
        return static_cast<size_t>(info.srWindow.Right - info.srWindow.Left + 1);
    return 80;
}

std::string_view lineEnd() { return "\r\n"; }

bool stdoutIsTerminal() {
    static const bool terminal = isConsole(GetStdHandle(STD_OUTPUT_HANDLE));
    return terminal;
}

void shapeConsoleWindow() {
    HWND window = GetConsoleWindow();
    RECT outer;
    if (!window || !GetWindowRect(window, &outer)) return;
    long width = outer.right - outer.left;
    long height = outer.bottom - outer.top;
    long wantedHeight = (width * 3 + 3) / 4;  // rounded up
    long wantedWidth = (height * 4 + 2) / 3;
    if (wantedHeight > height)
        height = wantedHeight;
    else if (width < wantedWidth)
        width = wantedWidth;
    MoveWindow(window, outer.left, outer.top, width, height, TRUE);
}

void prepareConsoleWake() { input(); }

void wakeConsoleReader() {
    {
        std::lock_guard<std::mutex> guard(input().lock);
        input().woken = true;
    }
    input().changed.notify_all();
}

}  // namespace dorvan::platform
