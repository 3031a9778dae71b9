#pragma once
// How the scanners and the remover run each step on the server (a listing, a
// DELE, an RMD): once, or again after a failure that may pass.
#include <functional>
#include <string_view>

namespace dorvan {

// Runs `step`, which works on the server's `name`, and returns whether it
// (finally) succeeded.
using StepRunner = std::function<bool(std::string_view name, const std::function<bool()>& step)>;

inline bool runOnce(std::string_view, const std::function<bool()>& step) { return step(); }

}  // namespace dorvan
