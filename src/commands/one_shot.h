#pragma once
// Clears one-shot settings (name, src, dst, compress) when a handler ends,
// whatever its outcome, also when an error passes through it. The shell does
// it for the one-shot settings of a verb's row; a handler whose own checks
// must pass first (rejected settings are left as they were) does it itself.
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace dorvan {

class ClearOnExit {
public:
    ClearOnExit(std::initializer_list<std::string*> fields) : fields_(fields) {}
    explicit ClearOnExit(std::vector<std::string*> fields) : fields_(std::move(fields)) {}
    ~ClearOnExit() {
        for (std::string* field : fields_) field->clear();
    }
    ClearOnExit(const ClearOnExit&) = delete;
    ClearOnExit& operator=(const ClearOnExit&) = delete;

private:
    std::vector<std::string*> fields_;
};

}  // namespace dorvan
