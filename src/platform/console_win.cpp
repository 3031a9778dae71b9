#include "platform/console.h"

#include <windows.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/display_width.h"
#include "platform/wide_text_win.h"

namespace dorvan::platform {
namespace {

// A leaf lock: nothing else is locked while it is held.
std::mutex& outputLock() {
    static std::mutex lock;
    return lock;
}

bool isConsole(HANDLE handle) {
    DWORD mode;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

// The status line's text, already made safe and cut, and whether it is on
// the screen now. Guarded by outputLock().
struct StatusLine {
    std::string text;
    size_t shownColumns = 0;  // 0: not on the screen
    bool atLineStart = true;  // the last output ended a line: the status line may go below it
};

StatusLine& statusLine() {
    static StatusLine line;
    return line;
}

// What goes before console output so that the status line is gone: blanks
// over it, the cursor back at the line's start. outputLock() held.
std::string takeStatusAway() {
    StatusLine& status = statusLine();
    if (status.shownColumns == 0) return {};
    std::string erase(status.shownColumns + 2, ' ');
    erase.front() = erase.back() = '\r';
    status.shownColumns = 0;
    return erase;
}

// The status line again after output that ended a line; outputLock() held.
std::string bringStatusBack(std::string_view written) {
    StatusLine& status = statusLine();
    if (!written.empty()) status.atLineStart = written.back() == '\n';
    if (status.text.empty() || !status.atLineStart) return {};
    status.shownColumns = displayWidth(status.text);
    return status.text;
}

// A console takes UTF-16; a pipe or a file gets the UTF-8 bytes unchanged.
void writeAll(DWORD which, std::string_view text) {
    HANDLE handle = GetStdHandle(which);
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
        if (!WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) || written == 0)
            return;  // a closed pipe must not end the program
        text.remove_prefix(written);
    }
}

// Piped output not yet written. Guarded by outputLock(); `held` tells
// without the lock whether there is any.
std::string heldOutput;
std::atomic<bool> held{false};
std::chrono::steady_clock::time_point heldSince;  // when heldOutput last stopped being empty
constexpr size_t heldCap = 65536;

// Called with outputLock() held.
void writeHeld() {
    if (heldOutput.empty()) return;
    writeAll(STD_OUTPUT_HANDLE, heldOutput);
    heldOutput.clear();
    held.store(false, std::memory_order_relaxed);
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

void startReader() {
    static std::once_flag once;
    std::call_once(once, [] { std::thread(readStandardInput).detach(); });
}

// Input bytes before `head` are taken, and no LF lies in [head, scanned).
// Kept with `Input::lock` held.
size_t head = 0;
size_t scanned = 0;
bool discarding = false;  // inside a line that grew past the cap

void consume(std::string& bytes, size_t upTo) {
    head = scanned = upTo;
    if (head == bytes.size() || (head >= 65536 && head >= bytes.size() / 2)) {
        bytes.erase(0, head);
        head = scanned = 0;
    }
}

// The line ending at `end` (exclusive), without a CR before the LF.
LineRead takeLine(std::string& bytes, std::string& line, size_t end, size_t cap) {
    size_t length = end - head;
    if (length > 0 && bytes[end - 1] == '\r') --length;
    if (discarding || length > cap) {
        discarding = false;
        return LineRead::overlong;
    }
    line.assign(bytes, head, length);
    return LineRead::line;
}

}  // namespace

void consoleWrite(std::string_view text) {
    if (!stdoutIsTerminal()) {
        std::lock_guard<std::mutex> guard(outputLock());
        if (heldOutput.empty()) heldSince = std::chrono::steady_clock::now();
        heldOutput.append(text);
        held.store(true, std::memory_order_relaxed);
        if (heldOutput.size() >= heldCap) writeHeld();
        return;
    }
    std::string safe = terminalSafe(text);
    std::lock_guard<std::mutex> guard(outputLock());
    std::string out = takeStatusAway() + safe + bringStatusBack(safe);
    writeAll(STD_OUTPUT_HANDLE, out);
}

void consoleFlush() {
    if (!held.load(std::memory_order_relaxed)) return;
    std::lock_guard<std::mutex> guard(outputLock());
    writeHeld();
}

int consoleFlushAged(int ageMs) {
    if (!held.load(std::memory_order_relaxed)) return -1;
    std::lock_guard<std::mutex> guard(outputLock());
    if (heldOutput.empty()) return -1;
    auto age = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - heldSince);
    if (age.count() < ageMs) return ageMs - static_cast<int>(age.count());
    writeHeld();
    return -1;
}

void consoleFlushUnlessBusy() {
    std::unique_lock<std::mutex> guard(outputLock(), std::try_to_lock);
    if (guard.owns_lock()) writeHeld();
}

void consoleWriteError(std::string_view text) {
    std::lock_guard<std::mutex> guard(outputLock());
    writeHeld();  // the two streams often share one pipe
    // Standard error usually shares the console: the status line must not
    // run into its text.
    writeAll(STD_OUTPUT_HANDLE, takeStatusAway());
    static const bool errorIsConsole = isConsole(GetStdHandle(STD_ERROR_HANDLE));
    writeAll(STD_ERROR_HANDLE, errorIsConsole ? terminalSafe(text) : std::string(text));
    writeAll(STD_OUTPUT_HANDLE, bringStatusBack(text));
}

void consoleStatus(std::string_view text) {
    if (!stdoutIsTerminal()) return;
    // The last column stays free, so the line never wraps.
    std::string safe(leadingColumns(terminalSafe(text), consoleColumns() - 1));
    for (char& c : safe)
        if (c == '\n' || c == '\r') c = ' ';
    std::lock_guard<std::mutex> guard(outputLock());
    StatusLine& status = statusLine();
    std::string out = takeStatusAway();
    status.text = std::move(safe);
    if (!status.text.empty() && status.atLineStart) {
        out += status.text;
        status.shownColumns = displayWidth(status.text);
    }
    writeAll(STD_OUTPUT_HANDLE, out);
}

size_t consoleColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info) && info.srWindow.Right > info.srWindow.Left)
        return static_cast<size_t>(info.srWindow.Right - info.srWindow.Left + 1);
    return 80;
}

bool stdoutIsTerminal() {
    static const bool terminal = isConsole(GetStdHandle(STD_OUTPUT_HANDLE));
    return terminal;
}

void setConsoleTitle(const std::string& title) { SetConsoleTitleW(widen(title).c_str()); }

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

LineRead readConsoleLine(std::string& line, size_t cap) {
    startReader();
    line.clear();
    Input& in = input();
    std::unique_lock<std::mutex> guard(in.lock);
    for (;;) {
        if (in.woken) return LineRead::ended;
        size_t lf = in.bytes.find('\n', scanned);
        if (lf != std::string::npos) {
            LineRead read = takeLine(in.bytes, line, lf, cap);
            consume(in.bytes, lf + 1);
            return read;
        }
        scanned = in.bytes.size();
        if (scanned - head > cap + 1) {
            // Too long whatever follows: keep nothing more of it.
            discarding = true;
            consume(in.bytes, in.bytes.size());
        }
        if (in.ended) {
            if (in.bytes.size() == head && !discarding) return LineRead::ended;
            LineRead read = takeLine(in.bytes, line, in.bytes.size(), cap);
            consume(in.bytes, in.bytes.size());
            return read;
        }
        guard.unlock();
        consoleFlush();
        guard.lock();
        if (in.woken || in.ended || in.bytes.size() > scanned) continue;
        in.changed.wait(guard);
    }
}

bool waitForConsoleInput() {
    startReader();
    consoleFlush();
    std::unique_lock<std::mutex> guard(input().lock);
    input().changed.wait(guard, [] { return input().woken || input().ended || input().bytes.size() > head; });
    return !input().woken;
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
