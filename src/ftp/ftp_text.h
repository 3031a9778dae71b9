#pragma once
// Text handling around the FTP session: line-end conversion of ASCII-type
// data and the parts of server replies the session needs.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/sockets.h"

namespace dorvan {

// CR LF -> LF for data received in ASCII type. A lone CR is kept; a CR LF
// split across two chunks is still recognised.
class AsciiDecoder {
public:
    void decode(std::string_view in, std::string& out);  // appends to out
    void finish(std::string& out);                       // a CR held back at the very end

private:
    bool heldCr_ = false;
};

// LF -> CR LF for data sent in ASCII type. An LF already preceded by CR is
// sent as it is, wherever the chunks are split, so CR CR LF never appears.
class AsciiEncoder {
public:
    void encode(std::string_view in, std::string& out);  // appends to out

private:
    bool lastCr_ = false;
};

// Cuts text into lines at LF; the pieces may come in chunks of any size.
// Lines longer than maxLine bytes are dropped as they arrive, so a line
// without an end costs neither time nor memory beyond one pass.
class LineCutter {
public:
    explicit LineCutter(size_t maxLine = SIZE_MAX) : maxLine_(maxLine) {}

    // Calls onLine for every complete line, without its LF.
    template <typename OnLine>
    void feed(std::string_view text, OnLine&& onLine) {
        for (size_t lf; (lf = text.find('\n')) != std::string_view::npos; text.remove_prefix(lf + 1)) {
            if (overLong_ || partial_.size() + lf > maxLine_) {
                ++dropped_;
            } else if (partial_.empty()) {
                onLine(text.substr(0, lf));
            } else {
                partial_.append(text.substr(0, lf));
                onLine(std::string_view(partial_));
            }
            partial_.clear();
            overLong_ = false;
        }
        keep(text);
    }
    // The last line when the text did not end with LF.
    template <typename OnLine>
    void finish(OnLine&& onLine) {
        if (overLong_)
            ++dropped_;
        else if (!partial_.empty())
            onLine(std::string_view(partial_));
        partial_.clear();
        overLong_ = false;
    }
    size_t dropped() const { return dropped_; }  // lines over maxLine so far

private:
    void keep(std::string_view rest) {
        if (overLong_) return;
        if (partial_.size() + rest.size() > maxLine_) {
            overLong_ = true;
            partial_.clear();
            partial_.shrink_to_fit();
            return;
        }
        partial_.append(rest);
    }

    size_t maxLine_;
    std::string partial_;
    bool overLong_ = false;
    size_t dropped_ = 0;
};

// The reply text without its line end.
std::string_view trimLineEnd(std::string_view text);
// "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)" -> the data endpoint.
std::optional<platform::Ipv4Endpoint> parsePassiveReply(std::string_view reply);
std::string portCommand(const platform::Ipv4Endpoint& endpoint);
// "229 Entering Extended Passive Mode (|||6446|)" -> 6446.
std::optional<uint16_t> parseExtendedPassiveReply(std::string_view reply);
// "EPRT |2|::1|6446|" (IPv6) or "EPRT |1|127.0.0.1|6446|".
std::string eprtCommand(const std::string& host, bool ipv6, uint16_t port);
// The size a transfer reply announces: "150 Opening BINARY mode data connection for f (1234 bytes)" -> 1234.
std::optional<uint64_t> parseAnnouncedSize(std::string_view reply);
// "213 5368709120" -> 5368709120 (any unsigned 64-bit value).
std::optional<uint64_t> parseSizeReply(std::string_view reply);
// "257 "/a ""b""" is current" -> /a "b"
std::optional<std::string> parseQuotedPath(std::string_view reply);
// The folder a PWD reply names: quoted as above, or unquoted where that is
// unambiguous ("257 /sub is the current directory" -> /sub; "257 /a b is
// current" -> nothing, as the folder could be "/a b").
std::optional<std::string> parseWorkingFolder(std::string_view reply);
// "[2001:db8::1]" -> "2001:db8::1": a host in brackets, as IPv6 addresses are written in
// addresses with a port; any other host as it is.
std::string_view withoutBrackets(std::string_view host);
// The text after the reply code, up to the line end ("213 20200101120000").
std::string replyText(std::string_view reply);
// The first word after the reply code ("215 UNIX Type: L8" -> "UNIX").
std::string replyWord(std::string_view reply);

}  // namespace dorvan
