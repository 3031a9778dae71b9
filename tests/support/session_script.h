#pragma once
// Command lines that point the program at a test server.
#include <string>
#include <vector>

#include "settings/command_help.h"
#include "support/test_server.h"

namespace dorvan::test {

// "set --host 127.0.0.1 --port N --username U --password P" plus `extra`, and a line end.
inline std::string useServer(const TestServer& server, const std::string& extra = "") {
    return "set --host 127.0.0.1 --port " + std::to_string(server.port()) + " --username " + server.user() +
           " --password " + server.password() + (extra.empty() ? "" : " " + extra) + "\n";
}

// The console lines of a run, the prompts and the banner removed, CR LF ends as LF.
inline std::string consoleLines(const std::string& out) {
    std::string text;
    for (size_t i = 0; i < out.size(); ++i) {
        if (out.compare(i, 8, " Dorvan>") == 0) {
            i += 7;
            continue;
        }
        if (out[i] == '\r' && i + 1 < out.size() && out[i + 1] == '\n') continue;
        text += out[i];
    }
    size_t bannerEnd = text.find('\n', text.find('\n') + 1);  // the banner has two lines
    return bannerEnd == std::string::npos ? text : text.substr(bannerEnd + 1);
}

// A command's help text as consoleLines shows it after a missing setting.
inline std::string help(const char* command) {
    std::string lf;
    for (char c : dorvan::commandHelp(command) + "\n")
        if (c != '\r') lf += c;
    return lf;
}

// One command of an expected transcript and the console lines it prints.
struct TranscriptStep {
    std::string command;
    std::vector<std::string> lines;
};

// The commands of a transcript, each on its line.
inline std::string transcriptInput(const std::vector<TranscriptStep>& steps) {
    std::string input;
    for (const TranscriptStep& step : steps) input += step.command + "\n";
    return input;
}

// What consoleLines shows of a transcript, each line ended by LF.
inline std::string transcriptLines(const std::vector<TranscriptStep>& steps) {
    std::string text;
    for (const TranscriptStep& step : steps)
        for (const std::string& line : step.lines) text += line + "\n";
    return text;
}

}  // namespace dorvan::test
