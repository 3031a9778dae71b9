#include "platform/line_editor.h"

// Windows has no libedit: the prompt reads plain lines, edited by the
// console's own line input (arrow keys, F7 history).
namespace dorvan::platform {

struct LineEditor::State {};

std::unique_ptr<LineEditor> LineEditor::open(LineEditorSetup) { return nullptr; }

LineEditor::LineEditor(std::unique_ptr<State> state) : state_(std::move(state)) {}

LineEditor::~LineEditor() = default;

bool LineEditor::readLine(std::string&) { return false; }

// The console is read by a thread of its own, whose read in progress would
// still echo: no prompt for a secret here.
bool readSecretLine(std::string_view, std::string&) { return false; }

void restoreTerminal() {}

}  // namespace dorvan::platform
