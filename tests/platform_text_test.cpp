// Text rules that need no system: terminal columns and temporary file names.
#include <gtest/gtest.h>

#include "platform/local_file.h"
#include "text/display_width.h"

using namespace dorvan::platform;
using namespace dorvan::text;

TEST(DisplayWidth, ColumnsOfCharactersAndCutsAtTheirBoundaries) {
    struct Case {
        std::string text;
        size_t width;
        size_t columns;
        std::string leading, trailing;  // at most `columns` of the start and of the end
    } cases[] = {
        {"plain", 5, 3, "pla", "ain"},
        // CJK, Hangul and fullwidth forms take two columns; a cut never halves one.
        {"a\xE8\xA1\xA8\xED\x95\x9C\xEF\xBC\xA1z", 8, 4, "a\xE8\xA1\xA8", "\xEF\xBC\xA1z"},
        {"\xE8\xA1\xA8\xE8\xA1\xA8", 4, 3, "\xE8\xA1\xA8", "\xE8\xA1\xA8"},
        // A combining accent takes none and stays with its letter; an emoji takes two.
        {"e\xCC\x81x\xF0\x9F\x98\x80", 4, 1, "e\xCC\x81", ""},
        // Latin and Cyrillic letters one each; a malformed byte one.
        {"\xC3\xA4\xD0\x96\xFF", 3, 2, "\xC3\xA4\xD0\x96", "\xD0\x96\xFF"},
        {"", 0, 5, "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(displayWidth(c.text), c.width) << c.text;
        EXPECT_EQ(leadingColumns(c.text, c.columns), c.leading) << c.text;
        EXPECT_EQ(trailingColumns(c.text, c.columns), c.trailing) << c.text;
    }
}

TEST(PartFileName, FitsTheLimitByCuttingTheNameNeverTheUniquePart) {
    const std::string wide = "\xE8\xA1\xA8";  // three bytes
    struct Case {
        std::string name;
        size_t limit;
        std::string expected;
    } cases[] = {
        {"report.csv", 255, ".report.csv.1a-2.part"},
        {std::string(250, 'n'), 255, "." + std::string(244, 'n') + ".1a-2.part"},
        {wide + wide + wide, 19, "." + wide + wide + ".1a-2.part"},  // room for 8 bytes: two, not a third's part
        {"name", 5, "..1a-2.part"},
    };
    for (const Case& c : cases) EXPECT_EQ(partFileName(c.name, "1a-2", c.limit), c.expected) << c.name;
}
