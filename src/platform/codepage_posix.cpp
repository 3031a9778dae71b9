#include "platform/codepage.h"

#include <iconv.h>
#include <langinfo.h>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <optional>

#include "text/utf8.h"

namespace dorvan::platform {
namespace {

std::string localeCharset() {
    static const std::string name = [] {
        std::setlocale(LC_CTYPE, "");
        std::string cs = nl_langinfo(CODESET);
        if (cs.empty() || cs == "ANSI_X3.4-1968" || cs == "ASCII" || cs == "US-ASCII") return std::string("UTF-8");
        return cs;
    }();
    return name;
}

class Iconv {
public:
    Iconv() = default;
    ~Iconv() {
        if (cd_ != closed) iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool open(const std::string& to, const std::string& from, std::string* error) {
        cd_ = iconv_open(to.c_str(), from.c_str());
        if (cd_ != closed) return true;
        *error = "CodePage.convert :: " + std::string(std::strerror(errno)) + " (" + from + " to " + to + ")";
        return false;
    }

    // Converts as much as possible; returns the errno that stopped it (0 when all done).
    int run(const char*& in, size_t& inLeft, std::string& out) {
        char buf[4096];
        while (inLeft > 0) {
            char* outPtr = buf;
            size_t outLeft = sizeof buf;
            size_t r = iconv(cd_, const_cast<char**>(&in), &inLeft, &outPtr, &outLeft);
            out.append(buf, static_cast<size_t>(outPtr - buf));
            if (r == static_cast<size_t>(-1) && errno != E2BIG) return errno;
        }
        char* outPtr = buf;
        size_t outLeft = sizeof buf;
        iconv(cd_, nullptr, nullptr, &outPtr, &outLeft);
        out.append(buf, static_cast<size_t>(outPtr - buf));
        return 0;
    }

private:
    static inline const iconv_t closed = reinterpret_cast<iconv_t>(-1);
    iconv_t cd_ = closed;
};

// Bytes per code unit: a bad unit is skipped whole, so the rest stays aligned.
size_t codeUnitSize(const std::string& charset) {
    if (charset.starts_with("UTF-16") || charset.starts_with("UCS-2")) return 2;
    if (charset.starts_with("UTF-32") || charset.starts_with("UCS-4")) return 4;
    return 1;
}

// Converts `bytes`, putting `replacement` (already in the target set) in place
// of each code unit that does not decode.
bool convertReplacing(std::string_view bytes, const std::string& from, const std::string& to,
                      std::string_view replacement, std::string* out, std::string* error, size_t* replaced) {
    Iconv cv;
    if (!cv.open(to, from, error)) return false;
    const size_t unit = codeUnitSize(from);
    out->clear();
    out->reserve(bytes.size() + bytes.size() / 2);
    const char* in = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        int err = cv.run(in, left, *out);
        if (err == 0) break;
        out->append(replacement);
        if (replaced) ++*replaced;
        size_t skip = left < unit ? left : unit;
        in += skip;
        left -= skip;
    }
    return true;
}

// UTF-8 to UTF-32LE code points, an invalid sequence giving U+FFFD.
bool decodeUtf8(std::string_view utf8, std::u32string* out, std::string* error) {
    std::string raw;
    if (!convertReplacing(utf8, "UTF-8", "UTF-32LE", std::string_view("\xFD\xFF\x00\x00", 4), &raw, error, nullptr))
        return false;
    out->assign(raw.size() / 4, U'\0');
    std::memcpy(out->data(), raw.data(), out->size() * 4);
    return true;
}

bool encode(const std::u32string& text, const std::string& charset, std::string* out, std::string* error) {
    Iconv cv;
    if (!cv.open(charset, "UTF-32LE", error)) return false;
    out->clear();
    const char* in = reinterpret_cast<const char*>(text.data());
    size_t left = text.size() * 4;
    while (left > 0) {
        int err = cv.run(in, left, *out);
        if (err == 0) break;
        *out += '?';
        in += 4;
        left -= left >= 4 ? 4 : left;
    }
    return true;
}

std::optional<std::string> iconvNameOf(unsigned cp) {
    switch (cp) {
        case 0: return localeCharset();
        case 65001: return "UTF-8";
        case 1200: return "UTF-16LE";
        case 1201: return "UTF-16BE";
        case 437:
        case 850:
        case 852:
        case 855:
        case 857:
        case 862:
        case 866:
        case 874: return "CP" + std::to_string(cp);
        case 932: return "CP932";
        case 936: return "CP936";
        case 949: return "CP949";
        case 950: return "BIG5";
        case 54936: return "GB18030";
        case 20866: return "KOI8-R";
        case 21866: return "KOI8-U";
        case 51932: return "EUC-JP";
        case 51949: return "EUC-KR";
        default: break;
    }
    if (cp >= 1250 && cp <= 1258) return "CP" + std::to_string(cp);
    if (cp >= 28591 && cp <= 28606) return "ISO-8859-" + std::to_string(cp - 28590);
    return std::nullopt;
}

bool nameOf(unsigned codePage, std::string* name, std::string* error) {
    auto found = iconvNameOf(codePage);
    if (!found) {
        *error = "CodePage.convert :: no mapping for code page " + std::to_string(codePage);
        return false;
    }
    *name = *found;
    return true;
}

}  // namespace

bool charsetToUtf8(std::string_view bytes, const std::string& charset, std::string* utf8, std::string* error,
                   size_t* replaced) {
    if (charset == "UTF-8") {
        *utf8 = text::cleanUtf8(bytes, replaced);
        return true;
    }
    return convertReplacing(bytes, charset, "UTF-8", "\xEF\xBF\xBD", utf8, error, replaced);
}

bool codePageToUtf8(std::string_view bytes, unsigned codePage, std::string* utf8, std::string* error,
                    size_t* replaced) {
    std::string charset;
    return nameOf(codePage, &charset, error) && charsetToUtf8(bytes, charset, utf8, error, replaced);
}

bool utf8ToCodePage(std::string_view utf8, unsigned codePage, std::string* bytes, std::string* error) {
    std::string charset;
    std::u32string text;
    return nameOf(codePage, &charset, error) && decodeUtf8(utf8, &text, error) && encode(text, charset, bytes, error);
}

}  // namespace dorvan::platform
