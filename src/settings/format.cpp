#include "settings/format.h"

#include <charconv>
#include <cstdio>

namespace dorvan {
namespace {

std::string render(const FormatArg& arg, std::string_view style) {
    if (arg.kind == FormatArg::Kind::real || (style.size() >= 2 && (style[0] == 'f' || style[0] == 'F'))) {
        double value = arg.kind == FormatArg::Kind::real              ? arg.real
                       : arg.kind == FormatArg::Kind::integer         ? static_cast<double>(arg.integer)
                       : arg.kind == FormatArg::Kind::unsignedInteger ? static_cast<double>(arg.unsignedInteger)
                                                                      : 0.0;
        int decimals = 2;
        if (!style.empty() && (style[0] == 'f' || style[0] == 'F'))
            std::from_chars(style.data() + 1, style.data() + style.size(), decimals);
        else if (style.empty())
            decimals = -1;
        char buf[64];
        if (decimals < 0)
            std::snprintf(buf, sizeof buf, "%g", value);
        else
            std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
        return buf;
    }
    switch (arg.kind) {
        case FormatArg::Kind::integer: return std::to_string(arg.integer);
        case FormatArg::Kind::unsignedInteger: return std::to_string(arg.unsignedInteger);
        default: return arg.text;
    }
}

}  // namespace

std::string formatTemplate(std::string_view tmpl, const std::vector<FormatArg>& args) {
    std::string out;
    out.reserve(tmpl.size() + 32);
    size_t next = 0;
    for (size_t i = 0; i < tmpl.size(); ++i) {
        char c = tmpl[i];
        if (c != '{') {
            out += c;
            continue;
        }
        size_t close = tmpl.find('}', i + 1);
        if (close == std::string_view::npos) {
            out.append(tmpl.substr(i));
            break;
        }
        std::string_view body = tmpl.substr(i + 1, close - i - 1);
        std::string_view indexText = body, alignText, style;
        if (size_t colon = indexText.find(':'); colon != std::string_view::npos) {
            style = indexText.substr(colon + 1);
            indexText = indexText.substr(0, colon);
        }
        if (size_t comma = indexText.find(','); comma != std::string_view::npos) {
            alignText = indexText.substr(comma + 1);
            indexText = indexText.substr(0, comma);
        }
        size_t index = next;
        if (!indexText.empty()) {
            auto [p, ec] = std::from_chars(indexText.data(), indexText.data() + indexText.size(), index);
            if (ec != std::errc() || p != indexText.data() + indexText.size()) {
                out.append(tmpl.substr(i, close - i + 1));
                i = close;
                continue;
            }
        }
        if (index >= args.size()) {
            out.append(tmpl.substr(i, close - i + 1));
            i = close;
            continue;
        }
        next = index + 1;
        std::string value = render(args[index], style);
        int width = 0;
        if (!alignText.empty()) std::from_chars(alignText.data(), alignText.data() + alignText.size(), width);
        size_t pad = static_cast<size_t>(width < 0 ? -width : width);
        if (value.size() < pad) {
            if (width < 0)
                value.append(pad - value.size(), ' ');
            else
                value.insert(0, pad - value.size(), ' ');
        }
        out += value;
        i = close;
    }
    return out;
}

}  // namespace dorvan
