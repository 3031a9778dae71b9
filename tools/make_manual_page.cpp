// Build step: writes the manual page to the file named by its one argument.
#include <cstdio>
#include <string>

#include "settings/manual_page.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s output-file\n", argv[0]);
        return 2;
    }
    std::string page = dorvan::manualPage();
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out) return 1;
    bool ok = std::fwrite(page.data(), 1, page.size(), out) == page.size();
    return std::fclose(out) == 0 && ok ? 0 : 1;
}
