#include <gtest/gtest.h>

#include "support/files.h"
#include "zip/parallel_pack.h"

namespace dorvan {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

std::string pack(const std::string& archive, const std::vector<PackItem>& items, const PackOptions& options, bool* ok,
                 size_t blockBytes = defaultBlockBytes) {
    ZipWriter writer(ZipLimits{.blockBytes = blockBytes});
    std::string err;
    *ok = writer.open(archive, &err) && packMembers(writer, items, options, &err) && writer.finish(&err);
    return err;
}

TEST(ZipParallel, TwoWorkersWriteTheSameBytesAsOneAndTheSameFirstFailure) {
    TempDir dir("zipparallel");
    std::string text;
    while (text.size() < 1'500'000) text += "row " + std::to_string(text.size() % 9973) + " of a report\n";
    std::vector<PackItem> items;
    auto add = [&](const std::string& name, const std::string& content) {
        writeFile(dir.file(name), content);
        items.push_back({.path = dir.file(name), .name = name});
    };
    add("big.txt", text);  // several blocks
    add("empty", "");
    for (int i = 0; i < 12; ++i) add("small" + std::to_string(i), text.substr(static_cast<size_t>(i) * 1000, 777));
    add("random.bin", test::randomBytes(600'000, 3));
    add("tail.txt", text.substr(0, 300'000));

    const PackOptions parallel[] = {
        {.threads = 2},
        {.threads = 2, .inFlightBytes = 1},  // workers wait on the writer at every block
        {.threads = 3, .inFlightBytes = 200'000},
    };
    bool ok = false;
    for (size_t blockBytes : {defaultBlockBytes, size_t{64 * 1024}}) {
        ASSERT_EQ(pack(dir.file("one.zip"), items, {.threads = 1}, &ok, blockBytes), "");
        ASSERT_TRUE(ok);
        std::string expected = readFile(dir.file("one.zip"));
        for (const PackOptions& options : parallel) {
            SCOPED_TRACE(testing::Message() << "block " << blockBytes << ", in flight " << options.inFlightBytes);
            ASSERT_EQ(pack(dir.file("two.zip"), items, options, &ok, blockBytes), "");
            ASSERT_TRUE(ok);
            EXPECT_TRUE(readFile(dir.file("two.zip")) == expected);
        }
    }

    // A missing file in the middle: the same first error, workers stopped.
    items.insert(items.begin() + 5, {.path = dir.file("missing"), .name = "missing"});
    items.insert(items.begin() + 9, {.path = dir.file("missing2"), .name = "missing2"});
    std::string oneError = pack(dir.file("one.zip"), items, {.threads = 1}, &ok);
    EXPECT_FALSE(ok);
    EXPECT_NE(oneError.find("missing:"), std::string::npos) << oneError;
    for (const PackOptions& options : parallel) {
        EXPECT_EQ(pack(dir.file("two.zip"), items, options, &ok), oneError);
        EXPECT_FALSE(ok);
    }
}

}  // namespace
}  // namespace dorvan
