#pragma once
// Clears one-shot settings (name, src, dst, compress) when a handler ends,
// whatever its outcome, also when an error passes through it.
#include <initializer_list>
#include <string>
#include <vector>

namespace dorvan {

class ClearOnExit {
public:
    ClearOnExit(std::initializer_list<std::string*> fields) : fields_(fields) {}
    ~ClearOnExit() {
        for (std::string* field : fields_) field->clear();
    }
    ClearOnExit(const ClearOnExit&) = delete;
    ClearOnExit& operator=(const ClearOnExit&) = delete;

private:
    std::vector<std::string*> fields_;
};

}  // namespace dorvan
