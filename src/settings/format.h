#pragma once
// Message templates: "{}" takes the next argument, "{0}" an indexed one,
// "{0,-12}" pads left-aligned to 12 columns, "{0:f2}" shows two decimals.
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace dorvan {

struct FormatArg {
    enum class Kind { text, integer, unsignedInteger, real } kind;
    std::string text;
    int64_t integer = 0;
    uint64_t unsignedInteger = 0;
    double real = 0;

    FormatArg(std::string_view v) : kind(Kind::text), text(v) {}
    FormatArg(const std::string& v) : kind(Kind::text), text(v) {}
    FormatArg(const char* v) : kind(Kind::text), text(v) {}
    FormatArg(char v) : kind(Kind::text), text(1, v) {}
    FormatArg(bool v) : kind(Kind::text), text(v ? "true" : "false") {}
    FormatArg(double v) : kind(Kind::real), real(v) {}
    template <typename T>
    requires(std::is_integral_v<T>&& std::is_signed_v<T> && !std::is_same_v<T, char>) FormatArg(T v)
        : kind(Kind::integer), integer(v) {}
    template <typename T>
    requires(std::is_integral_v<T>&& std::is_unsigned_v<T> && !std::is_same_v<T, bool>) FormatArg(T v)
        : kind(Kind::unsignedInteger), unsignedInteger(v) {}
};

// Fills a template; a placeholder without a matching argument stays as written.
std::string formatTemplate(std::string_view tmpl, const std::vector<FormatArg>& args);

template <typename... Args>
std::string format(std::string_view tmpl, Args&&... args) {
    return formatTemplate(tmpl, std::vector<FormatArg>{FormatArg(std::forward<Args>(args))...});
}

}  // namespace dorvan
