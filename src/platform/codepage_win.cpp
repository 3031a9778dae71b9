#include "platform/codepage.h"

#include <windows.h>

#include "platform/wide_text_win.h"
#include "text/utf8.h"

namespace dorvan::platform {
namespace {

constexpr wchar_t replacement = 0xFFFD;

bool isHighSurrogate(uint32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(uint32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// UTF-16 code units; a lone surrogate or an odd last byte becomes U+FFFD.
std::wstring fromUtf16(std::string_view bytes, bool bigEndian, size_t* replaced) {
    std::wstring units;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        units += static_cast<wchar_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
    }
    if (bytes.size() % 2) units += replacement;
    std::wstring out;
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t c = units[i];
        if (isHighSurrogate(c) && i + 1 < units.size() && isLowSurrogate(units[i + 1])) {
            out += units[i];
            out += units[++i];
        } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
            out += replacement;
        } else {
            out += units[i];
        }
    }
    if (replaced)
        for (wchar_t c : out) *replaced += c == replacement;
    return out;
}

// UTF-32 code points; one that is out of range, a surrogate or cut short becomes U+FFFD.
std::wstring fromUtf32(std::string_view bytes, bool bigEndian, size_t* replaced) {
    std::wstring out;
    for (size_t i = 0; i < bytes.size(); i += 4) {
        uint32_t c = 0xFFFFFFFF;
        if (i + 4 <= bytes.size()) {
            c = 0;
            for (size_t k = 0; k < 4; ++k)
                c |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + (bigEndian ? 3 - k : k)])) << (8 * k);
        }
        if (c > 0x10FFFF || isHighSurrogate(c) || isLowSurrogate(c)) {
            out += replacement;
            if (replaced) ++*replaced;
        } else if (c >= 0x10000) {
            out += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<wchar_t>(c);
        }
    }
    return out;
}

bool isInstalled(unsigned codePage, std::string* error) {
    CPINFO info;
    if (codePage == CP_ACP || GetCPInfo(codePage, &info)) return true;
    *error = "CodePage.convert :: no mapping for code page " + std::to_string(codePage);
    return false;
}

// The Windows conversion of a code page's bytes. It puts U+FFFD in place of
// what does not decode; those are counted when the strict pass fails.
std::wstring fromCodePage(std::string_view bytes, unsigned codePage, size_t* replaced) {
    if (bytes.empty()) return {};
    int size = static_cast<int>(bytes.size());
    int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    const DWORD flags = length > 0 ? MB_ERR_INVALID_CHARS : 0;
    if (flags == 0) length = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    MultiByteToWideChar(codePage, flags, bytes.data(), size, wide.data(), length);
    if (flags == 0 && replaced)
        for (wchar_t c : wide) *replaced += c == replacement;
    return wide;
}

// Code pages whose conversion takes no default character and no flags.
bool takesNoDefaultCharacter(unsigned codePage) {
    return codePage == 42 || codePage == 54936 || codePage == 65000 || (codePage >= 50220 && codePage <= 50229) ||
           (codePage >= 57002 && codePage <= 57011);
}

}  // namespace

bool charsetToUtf8(std::string_view bytes, const std::string& charset, std::string* utf8, std::string* error,
                   size_t* replaced) {
    if (charset == "UTF-8") {
        *utf8 = text::cleanUtf8(bytes, replaced);
    } else if (charset == "UTF-16LE" || charset == "UTF-16BE") {
        *utf8 = narrow(fromUtf16(bytes, charset == "UTF-16BE", replaced));
    } else if (charset == "UTF-32LE" || charset == "UTF-32BE") {
        *utf8 = narrow(fromUtf32(bytes, charset == "UTF-32BE", replaced));
    } else {
        *error = "CodePage.convert :: no mapping for " + charset;
        return false;
    }
    return true;
}

bool codePageToUtf8(std::string_view bytes, unsigned codePage, std::string* utf8, std::string* error,
                    size_t* replaced) {
    switch (codePage) {
        case CP_UTF8: return charsetToUtf8(bytes, "UTF-8", utf8, error, replaced);
        case 1200: return charsetToUtf8(bytes, "UTF-16LE", utf8, error, replaced);
        case 1201: return charsetToUtf8(bytes, "UTF-16BE", utf8, error, replaced);
        default: break;
    }
    if (!isInstalled(codePage, error)) return false;
    *utf8 = narrow(fromCodePage(bytes, codePage, replaced));
    return true;
}

bool utf8ToCodePage(std::string_view utf8, unsigned codePage, std::string* bytes, std::string* error) {
    std::wstring wide = widen(text::cleanUtf8(utf8, nullptr));
    bytes->clear();
    if (codePage == CP_UTF8) {
        *bytes = narrow(wide);
        return true;
    }
    if (codePage == 1200 || codePage == 1201) {
        for (wchar_t c : wide) {
            char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
            *bytes += codePage == 1200 ? low : high;
            *bytes += codePage == 1200 ? high : low;
        }
        return true;
    }
    if (!isInstalled(codePage, error)) return false;
    if (wide.empty()) return true;
    // A character the code page lacks becomes '?', not a look-alike.
    const bool plain = takesNoDefaultCharacter(codePage);
    const DWORD flags = plain ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* fallback = plain ? nullptr : "?";
    int size = static_cast<int>(wide.size());
    int length = WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, fallback, nullptr);
    bytes->resize(static_cast<size_t>(length > 0 ? length : 0));
    WideCharToMultiByte(codePage, flags, wide.data(), size, bytes->data(), length, fallback, nullptr);
    return true;
}

}  // namespace dorvan::platform
