#include "shell/program.h"

int main(int argc, char** argv) { return dorvan::programMain(argc, argv); }
