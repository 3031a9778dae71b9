// One command line: cut into tokens, read as arguments, and echoed with the
// password hidden. The hidden line must read back as the same arguments with
// every password value "****".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "shell/argument_parser.h"
#include "shell/tokenizer.h"

namespace {

size_t passwordValues(const dorvan::ParsedArguments& parsed, bool* allHidden) {
    auto found = parsed.find("password");
    if (found == parsed.end()) return 0;
    for (const std::string& value : found->second.values)
        if (value != "****") *allHidden = false;
    return found->second.values.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view line(reinterpret_cast<const char*>(data), size);
    dorvan::ArgumentList tokens = dorvan::splitCommandLine(line);
    auto placed = dorvan::splitCommandLineTokens(line);
    if (placed.size() != tokens.size()) std::abort();
    size_t previousEnd = 0;
    for (size_t i = 0; i < placed.size(); ++i) {
        const dorvan::Token& token = placed[i];
        if (token.text != tokens[i] || token.begin < previousEnd || token.end > size || token.begin > token.end ||
            token.end - token.begin < token.text.size())
            std::abort();
        previousEnd = token.end;
    }

    dorvan::ParsedArguments parsed = dorvan::parseArguments(tokens);
    std::string masked = dorvan::maskSecrets(line);
    dorvan::ArgumentList maskedTokens = dorvan::splitCommandLine(masked);
    if (maskedTokens.size() != tokens.size()) std::abort();
    dorvan::ParsedArguments reread = dorvan::parseArguments(maskedTokens);
    bool ignored = true, allHidden = true;
    if (passwordValues(parsed, &ignored) != passwordValues(reread, &allHidden) || !allHidden) std::abort();
    if (parsed.size() != reread.size()) std::abort();
    return 0;
}
