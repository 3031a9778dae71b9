#include "ftp/checksums.h"

#include <algorithm>

#include "ftp/call_outcome.h"
#include "text/ascii.h"

namespace dorvan {
namespace {

using platform::DigestAlgorithm;

// In the order they are preferred.
constexpr ChecksumMethod legacyMethods[] = {
    {"XSHA256", DigestAlgorithm::sha256}, {"XSHA1", DigestAlgorithm::sha1}, {"XMD5", DigestAlgorithm::md5},
    {"XCRC", DigestAlgorithm::crc32},     {"MD5", DigestAlgorithm::md5},
};

std::vector<std::string_view> wordsOf(std::string_view text) {
    std::vector<std::string_view> words;
    while (!text.empty()) {
        const size_t start = text.find_first_not_of(' ');
        if (start == std::string_view::npos) break;
        text.remove_prefix(start);
        const size_t end = std::min(text.find(' '), text.size());
        words.push_back(text.substr(0, end));
        text.remove_prefix(end);
    }
    return words;
}

// A server that answers this does not know the command.
bool unknownCommand(int code) { return code == 500 || code == 502 || code == 504 || code == 202; }

}  // namespace

std::optional<std::string> digestInReply(const ChecksumMethod& method, std::string_view reply) {
    if (reply.size() < 4) return std::nullopt;
    std::vector<std::string_view> words = wordsOf(reply.substr(4));
    const size_t length = platform::digestHexLength(method.algorithm);
    auto fits = [&](std::string_view word) {
        if (!text::isHexText(word)) return false;
        return method.algorithm == DigestAlgorithm::crc32 ? word.size() <= length : word.size() == length;
    };
    std::optional<std::string_view> found;
    if (method.verb == "HASH") {
        // "<algorithm> <start>-<end> <digest> <path>"
        if (words.size() >= 3 && platform::digestNamed(words[0]) == method.algorithm && words[1].starts_with("0-") &&
            fits(words[2]))
            found = words[2];
    } else if (method.verb == "MD5") {
        // "<path> <digest>": the path may hold blanks, the digest is last.
        if (!words.empty() && fits(words.back())) found = words.back();
    } else {
        // "<digest>", some servers adding the path after it.
        if (!words.empty() && fits(words.front())) found = words.front();
    }
    if (!found) return std::nullopt;
    std::string digest = text::asciiLower(*found);
    if (digest.size() < length) digest.insert(0, length - digest.size(), '0');
    return digest;
}

std::optional<ChecksumMethod> ServerChecksums::method() {
    if (connection_ != control_.connectionNumber()) {
        connection_ = control_.connectionNumber();
        refused_.clear();
        stale_ = true;
    }
    if (stale_) chosen_ = choose();
    stale_ = false;
    return chosen_;
}

std::optional<ChecksumMethod> ServerChecksums::choose() {
    const ServerFeatures& features = control_.features();
    auto usable = [this](std::string_view verb) { return std::ranges::find(refused_, verb) == refused_.end(); };
    std::optional<DigestAlgorithm> strongest;
    if (usable("HASH"))
        for (const std::string& name : features.hashAlgorithms)
            if (auto algorithm = platform::digestNamed(name); algorithm && (!strongest || *algorithm > *strongest))
                strongest = algorithm;
    if (strongest) {
        const auto selected = platform::digestNamed(features.hashSelected);
        if (selected == strongest) return ChecksumMethod{"HASH", *strongest};
        if (control_.command("OPTS HASH " + std::string(platform::digestName(*strongest)), '2'))
            return ChecksumMethod{"HASH", *strongest};
        if (selected) return ChecksumMethod{"HASH", *selected};
    }
    for (const ChecksumMethod& legacy : legacyMethods)
        if (usable(legacy.verb) && features.offers(text::asciiLower(legacy.verb))) return legacy;
    for (const ChecksumMethod& legacy : legacyMethods)
        if (usable(legacy.verb) && !features.offers(text::asciiLower(legacy.verb)) && takes(legacy.verb)) return legacy;
    return std::nullopt;
}

bool ServerChecksums::takes(std::string_view verb) {
    control_.command(verb, '2');
    const int code = replyCode(control_.reply());
    if (unknownCommand(code)) refused_.push_back(verb);
    return code != 0 && !unknownCommand(code) && control_.isConnected() && !control_.isLost();
}

bool ServerChecksums::ask(const ChecksumMethod& method, const std::string& remotePath, std::string& digest) {
    // A command the server refuses on the whole (not for this file: 550) is
    // not used again on this connection; another one of the same algorithm
    // may then answer for this file.
    for (std::optional<ChecksumMethod> tried = method; tried && tried->algorithm == method.algorithm;) {
        if (control_.command(std::string(tried->verb) + " " + remotePath, '2')) {
            std::optional<std::string> found = digestInReply(*tried, control_.reply());
            if (!found)
                return control_.fail("Unexpected reply to " + std::string(tried->verb) + ": " + control_.reply());
            digest = *found;
            return true;
        }
        const int code = replyCode(control_.reply());
        if (code < 500 || code == 550 || !control_.isConnected() || control_.isLost()) return false;
        refused_.push_back(tried->verb);
        stale_ = true;
        tried = this->method();
    }
    return false;
}

}  // namespace dorvan
