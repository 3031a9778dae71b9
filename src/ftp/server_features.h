#pragma once
// What a server offers beyond the basic commands, as its FEAT reply lists it.
#include <string>
#include <string_view>
#include <vector>

namespace dorvan {

struct ServerFeatures {
    bool listsFacts = false;           // MLSD and MLST
    bool setsTimes = false;            // MFMT
    bool restartsStreams = false;      // REST STREAM: transfers continue from a byte offset
    std::vector<std::string> named{};  // every feature's name, in lower case
    // HASH: the algorithms it lists, as listed, and the one marked current ('*').
    std::vector<std::string> hashAlgorithms{};
    std::string hashSelected{};

    bool offers(std::string_view lowerCaseName) const;
};

// The features named by the lines of a FEAT reply (each without its line
// end): the lines between the first and the last, one feature each, its name
// in any letter case first. A refused FEAT (a single line) offers nothing.
ServerFeatures parseFeatures(const std::vector<std::string>& replyLines);

}  // namespace dorvan
