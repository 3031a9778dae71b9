#include "ftp/ftp_text.h"

#include <charconv>

#include "text/ascii.h"

namespace dorvan {
namespace {

using text::isDigit;

// The reply without its three-digit code and the separator after it.
std::string_view afterCode(std::string_view reply) {
    reply = trimLineEnd(reply);
    return reply.size() > 4 ? reply.substr(4) : std::string_view();
}

}  // namespace

void AsciiDecoder::decode(std::string_view in, std::string& out) {
    for (char c : in) {
        if (heldCr_) {
            heldCr_ = false;
            if (c == '\n') {
                out += '\n';
                continue;
            }
            out += '\r';
        }
        if (c == '\r')
            heldCr_ = true;
        else
            out += c;
    }
}

void AsciiDecoder::finish(std::string& out) {
    if (heldCr_) out += '\r';
    heldCr_ = false;
}

void AsciiEncoder::encode(std::string_view in, std::string& out) {
    for (char c : in) {
        if (c == '\n' && !lastCr_) out += '\r';
        out += c;
        lastCr_ = c == '\r';
    }
}

std::string_view trimLineEnd(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

std::optional<platform::Ipv4Endpoint> parsePassiveReply(std::string_view reply) {
    std::string_view rest = afterCode(reply);
    size_t start = rest.find_first_of("0123456789");
    if (start == std::string_view::npos) return std::nullopt;
    rest.remove_prefix(start);
    unsigned values[6];
    for (int i = 0; i < 6; ++i) {
        auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), values[i]);
        if (error != std::errc() || values[i] > 255) return std::nullopt;
        rest.remove_prefix(static_cast<size_t>(end - rest.data()));
        if (i < 5) {
            if (rest.empty() || rest.front() != ',') return std::nullopt;
            rest.remove_prefix(1);
        }
    }
    platform::Ipv4Endpoint endpoint;
    for (size_t i = 0; i < 4; ++i) endpoint.address[i] = static_cast<uint8_t>(values[i]);
    endpoint.port = static_cast<uint16_t>(values[4] * 256 + values[5]);
    return endpoint;
}

std::string portCommand(const platform::Ipv4Endpoint& endpoint) {
    std::string command = "PORT ";
    for (uint8_t part : endpoint.address) command += std::to_string(part) + ',';
    return command + std::to_string(endpoint.port / 256) + ',' + std::to_string(endpoint.port % 256);
}

std::optional<uint16_t> parseExtendedPassiveReply(std::string_view reply) {
    std::string_view rest = afterCode(reply);
    size_t open = rest.find('(');
    if (open == std::string_view::npos || rest.size() - open < 5) return std::nullopt;
    // (<d><d><d>port<d>) with one delimiter character repeated
    rest.remove_prefix(open + 1);
    char delimiter = rest[0];
    if (isDigit(delimiter) || rest[1] != delimiter || rest[2] != delimiter) return std::nullopt;
    rest.remove_prefix(3);
    unsigned port = 0;
    auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), port);
    if (error != std::errc() || port == 0 || port > 65535) return std::nullopt;
    rest.remove_prefix(static_cast<size_t>(end - rest.data()));
    if (rest.size() < 2 || rest[0] != delimiter || rest[1] != ')') return std::nullopt;
    return static_cast<uint16_t>(port);
}

std::string eprtCommand(const std::string& host, bool ipv6, uint16_t port) {
    return std::string("EPRT |") + (ipv6 ? "2" : "1") + "|" + host + "|" + std::to_string(port) + "|";
}

std::optional<uint64_t> parseAnnouncedSize(std::string_view reply) {
    reply = trimLineEnd(reply);
    size_t close = reply.rfind(" bytes)");
    if (close == std::string_view::npos) return std::nullopt;
    size_t open = reply.rfind('(', close);
    if (open == std::string_view::npos) return std::nullopt;
    std::string_view digits = reply.substr(open + 1, close - open - 1);
    uint64_t value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

std::optional<uint64_t> parseSizeReply(std::string_view reply) {
    std::string_view digits = afterCode(reply);
    uint64_t value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || !isDigit(digits.front()) || error != std::errc()) return std::nullopt;
    if (end != digits.data() + digits.size() && *end != ' ') return std::nullopt;
    return value;
}

std::optional<std::string> parseQuotedPath(std::string_view reply) {
    reply = trimLineEnd(reply);
    size_t open = reply.find('"');
    if (open == std::string_view::npos) return std::nullopt;
    std::string path;
    for (size_t i = open + 1; i < reply.size(); ++i) {
        if (reply[i] != '"') {
            path += reply[i];
        } else if (i + 1 < reply.size() && reply[i + 1] == '"') {
            path += '"';  // a quote inside the name is doubled
            ++i;
        } else {
            return path;
        }
    }
    return std::nullopt;
}

std::string_view withoutBrackets(std::string_view host) {
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') return host.substr(1, host.size() - 2);
    return host;
}

std::string replyText(std::string_view reply) { return std::string(afterCode(reply)); }

std::string replyWord(std::string_view reply) {
    std::string_view text = afterCode(reply);
    return std::string(text.substr(0, text.find(' ')));
}

std::optional<std::string> parseWorkingFolder(std::string_view reply) {
    if (trimLineEnd(reply).find('"') != std::string_view::npos) return parseQuotedPath(reply);
    std::string_view text = afterCode(reply);
    const size_t space = text.find(' ');
    std::string_view folder = text.substr(0, space);
    if (!folder.starts_with('/')) return std::nullopt;
    if (space == std::string_view::npos) return std::string(folder);
    // "/a is b is current" could name "/a" or "/a is b": neither is taken.
    std::string_view rest = text.substr(space + 1);
    if (!rest.starts_with("is ") || rest.find(" is ") != std::string_view::npos) return std::nullopt;
    return std::string(folder);
}

}  // namespace dorvan
