#include "shell/program.h"

namespace dorvan {

int programMain(int, char**) { return 0; }
void cleanUp() {}

}  // namespace dorvan
