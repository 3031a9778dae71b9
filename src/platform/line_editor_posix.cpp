#include "platform/line_editor.h"

#include <histedit.h>
#include <langinfo.h>
#include <termios.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "platform/console.h"
#include "platform/history_file.h"
#include "text/terminal_safe.h"

namespace dorvan::platform {
namespace {

// The terminal settings from before the first editor, for restoreTerminal().
termios savedTerminal{};
std::atomic<bool> terminalSaved{false};

// libedit decodes and encodes characters by the calling thread's locale. The
// program runs in the C locale, so editing uses the user's character set, or
// UTF-8 when that is plain ASCII.
locale_t editingLocale() {
    locale_t fromEnvironment = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (fromEnvironment) {
        std::string codeset = ::nl_langinfo_l(CODESET, fromEnvironment);
        if (codeset != "ANSI_X3.4-1968" && codeset != "ASCII" && codeset != "US-ASCII") return fromEnvironment;
        ::freelocale(fromEnvironment);
    }
    return ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
}

class ScopedLocale {
public:
    explicit ScopedLocale(locale_t locale) : previous_(locale ? ::uselocale(locale) : static_cast<locale_t>(0)) {}
    ~ScopedLocale() {
        if (previous_) ::uselocale(previous_);
    }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

private:
    locale_t previous_;
};

size_t characterCount(std::string_view text) {
    std::mbstate_t state{};
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++count) {
        size_t n = std::mbrlen(text.data() + i, text.size() - i, &state);
        if (n == 0 || n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) n = 1;
        i += n;
    }
    return count;
}

void listCandidates(const std::vector<std::string>& candidates) {
    size_t widest = 0;
    for (const std::string& candidate : candidates) widest = std::max(widest, characterCount(candidate));
    size_t columns = std::max<size_t>(1, consoleColumns() / (widest + 2));
    size_t rows = (candidates.size() + columns - 1) / columns;
    std::string text = "\n";
    for (size_t row = 0; row < rows; ++row) {
        for (size_t column = 0; column < columns; ++column) {
            size_t index = column * rows + row;
            if (index >= candidates.size()) break;
            text += candidates[index];
            if (column + 1 < columns && index + rows < candidates.size())
                text.append(widest + 2 - characterCount(candidates[index]), ' ');
        }
        text += '\n';
    }
    std::fputs(dorvan::text::terminalSafe(text).c_str(), stdout);
    std::fflush(stdout);
}

}  // namespace

struct LineEditor::State {
    LineEditorSetup setup;
    locale_t locale = static_cast<locale_t>(0);
    EditLine* editor = nullptr;
    History* history = nullptr;
    HistoryFile historyFile{"", 0};
    std::mbstate_t inputState{};

    ~State() {
        ScopedLocale scope(locale);
        if (editor) ::el_end(editor);
        if (history) ::history_end(history);
        if (locale) ::freelocale(locale);
    }

    static State& of(EditLine* editor) {
        void* data = nullptr;
        ::el_get(editor, EL_CLIENTDATA, &data);
        return *static_cast<State*>(data);
    }

    static char* prompt(EditLine* editor) { return of(editor).setup.prompt.data(); }

    // Reads one character, waking up when a console control event arrives.
    static int readCharacter(EditLine* editor, wchar_t* out) {
        State& state = of(editor);
        for (;;) {
            if (!waitForConsoleInput()) return 0;
            char byte = 0;
            ssize_t n = ::read(STDIN_FILENO, &byte, 1);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) return n == 0 ? 0 : -1;
            size_t used = std::mbrtowc(out, &byte, 1, &state.inputState);
            if (used == static_cast<size_t>(-2)) continue;  // more bytes of one character follow
            if (used == static_cast<size_t>(-1)) {
                state.inputState = std::mbstate_t{};
                *out = L'\uFFFD';
            }
            return 1;
        }
    }

    static unsigned char completeWord(EditLine* editor, int) {
        State& state = of(editor);
        const LineInfo* info = ::el_line(editor);
        std::string_view before(info->buffer, static_cast<size_t>(info->cursor - info->buffer));
        TabAction action = state.setup.complete(before);
        if (action.kind == TabAction::Kind::beep) return CC_REFRESH_BEEP;
        if (action.kind == TabAction::Kind::list) {
            listCandidates(action.choices);
            return CC_REDISPLAY;
        }
        ::el_deletestr(editor, static_cast<int>(characterCount(before.substr(action.replaceFrom))));
        ::el_insertstr(editor, action.insert.c_str());
        return CC_REFRESH;
    }
};

LineEditor::LineEditor(std::unique_ptr<State> state) : state_(std::move(state)) {}
LineEditor::~LineEditor() = default;

std::unique_ptr<LineEditor> LineEditor::open(LineEditorSetup setup) {
    if (::isatty(STDIN_FILENO) != 1 || ::isatty(STDOUT_FILENO) != 1) return nullptr;
    if (!terminalSaved.exchange(true)) ::tcgetattr(STDIN_FILENO, &savedTerminal);

    auto state = std::make_unique<State>();
    state->setup = std::move(setup);
    state->locale = editingLocale();
    state->historyFile = HistoryFile(state->setup.historyPath, state->setup.historyCap);
    ScopedLocale scope(state->locale);

    HistEvent event;
    state->history = ::history_init();
    if (!state->history) return nullptr;
    ::history(state->history, &event, H_SETSIZE, static_cast<int>(state->setup.historyCap));
    if (!state->setup.historyPath.empty())
        for (const std::string& line : state->historyFile.load())
            ::history(state->history, &event, H_ENTER, line.c_str());

    EditLine* editor = ::el_init("dorvan", stdin, stdout, stderr);
    if (!editor) return nullptr;
    state->editor = editor;
    ::el_set(editor, EL_CLIENTDATA, state.get());
    ::el_set(editor, EL_EDITOR, "emacs");
    ::el_set(editor, EL_SIGNAL, 0);
    ::el_set(editor, EL_PROMPT, &State::prompt);
    ::el_set(editor, EL_HIST, ::history, state->history);
    ::el_set(editor, EL_GETCFN, &State::readCharacter);
    ::el_set(editor, EL_ADDFN, "dorvan-complete", "Complete the word before the cursor", &State::completeWord);

    struct Binding {
        const char* keys;
        const char* function;
    };
    static constexpr Binding bindings[] = {
        {.keys = "^I", .function = "dorvan-complete"},     {.keys = "^R", .function = "em-inc-search-prev"},
        {.keys = "^U", .function = "vi-kill-line-prev"},   {.keys = "^K", .function = "ed-kill-line"},
        {.keys = "^W", .function = "ed-delete-prev-word"}, {.keys = "\\e[H", .function = "ed-move-to-beg"},
        {.keys = "\\e[F", .function = "ed-move-to-end"},   {.keys = "\\eOH", .function = "ed-move-to-beg"},
        {.keys = "\\eOF", .function = "ed-move-to-end"},   {.keys = "\\e[1~", .function = "ed-move-to-beg"},
        {.keys = "\\e[4~", .function = "ed-move-to-end"},  {.keys = "\\e[1;5D", .function = "ed-prev-word"},
        {.keys = "\\e[1;5C", .function = "em-next-word"},  {.keys = "\\e[1;3D", .function = "ed-prev-word"},
        {.keys = "\\e[1;3C", .function = "em-next-word"},  {.keys = "\\e[3~", .function = "ed-delete-next-char"},
    };
    for (const Binding& binding : bindings) ::el_set(editor, EL_BIND, binding.keys, binding.function, nullptr);
    return std::unique_ptr<LineEditor>(new LineEditor(std::move(state)));
}

bool LineEditor::readLine(std::string& line) {
    State& state = *state_;
    ScopedLocale scope(state.locale);
    line.clear();
    ::el_resize(state.editor);
    int count = 0;
    const char* text = ::el_gets(state.editor, &count);
    if (!text || count <= 0) return false;
    line.assign(text, static_cast<size_t>(count));
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.find_first_not_of(' ') == std::string::npos) return true;

    HistEvent event;
    ::history(state.history, &event, H_ENTER, line.c_str());
    if (!state.setup.historyPath.empty() && (!state.setup.keepInHistoryFile || state.setup.keepInHistoryFile(line)))
        state.historyFile.append(line, nullptr);
    return true;
}

bool readSecretLine(std::string_view prompt, std::string& line) {
    line.clear();
    termios before{};
    if (::isatty(STDIN_FILENO) != 1 || ::tcgetattr(STDIN_FILENO, &before) != 0) return false;
    if (!terminalSaved.load()) {  // so that a program ending now leaves the echo on
        savedTerminal = before;
        terminalSaved = true;
    }
    termios quiet = before;
    quiet.c_lflag = (quiet.c_lflag & ~static_cast<tcflag_t>(ECHO)) | ICANON | ECHONL;
    // What was typed before the prompt is dropped: it was shown.
    if (::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) != 0) return false;
    consoleWrite(prompt);
    consoleFlush();
    LineRead read = readConsoleLine(line, 4096);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &before);
    if (read == LineRead::line) return true;
    line.clear();
    return false;
}

void restoreTerminal() {
    if (terminalSaved.load()) ::tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
}

}  // namespace dorvan::platform
