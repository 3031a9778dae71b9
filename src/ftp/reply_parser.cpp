#include "ftp/reply_parser.h"

#include <algorithm>

#include "text/ascii.h"

namespace dorvan {
namespace {

using text::isDigit;

}  // namespace

void ReplyParser::reset() {
    state_ = State::partial;
    line_.clear();
    lineDone_ = false;
    total_ = 0;
    codeLength_ = 0;
}

std::string_view ReplyParser::line() const {
    std::string_view text = line_;
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    return text;
}

size_t ReplyParser::feed(std::string_view data) {
    if (finished() || data.empty()) return 0;
    if (lineDone_) {
        line_.clear();
        lineDone_ = false;
        state_ = State::partial;
    }
    size_t lf = data.find('\n');
    size_t take = lf == std::string_view::npos ? data.size() : lf + 1;
    if (line_.size() + take > lineCap || total_ + take > replyCap) {
        state_ = State::tooLong;
        return take;
    }
    line_.append(data.substr(0, take));
    total_ += take;
    if (lf != std::string_view::npos) endLine();
    return take;
}

void ReplyParser::endLine() {
    lineDone_ = true;
    std::string_view text = line();
    auto separator = [&text](size_t at) { return text.size() == at ? ' ' : text[at]; };
    if (codeLength_ == 0) {
        if (text.size() < 3 || !std::all_of(text.begin(), text.begin() + 3, isDigit) ||
            (separator(3) != ' ' && separator(3) != '-')) {
            state_ = State::malformed;
            return;
        }
        std::copy_n(text.begin(), 3, code_);
        codeLength_ = 3;
        state_ = separator(3) == '-' ? State::lineEnded : State::complete;
        return;
    }
    bool last = text.size() >= 3 && text.substr(0, 3) == code() && separator(3) == ' ';
    state_ = last ? State::complete : State::lineEnded;
}

}  // namespace dorvan
