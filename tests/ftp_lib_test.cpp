// The FTP session against the loopback pyftpdlib server, and the text
// helpers it relies on.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "ftp/ftp_lib.h"
#include "ftp/ftp_text.h"
#include "ftp/reply_parser.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "support/shell_command.h"
#include "support/test_server.h"

using namespace dorvan;
using test::contains;
using test::TempDir;
using test::TestServer;
using test::TestServerOptions;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

int64_t ticksAt(int64_t unixSeconds) { return platform::unixEpochTicks + unixSeconds * platform::ticksPerSecond; }

constexpr int64_t jan1st2020 = 1'577'836'800;
constexpr int64_t jan1st2020Noon = 1'577'880'000;

void openSession(FtpLib& ftp, const TestServer& server, bool passive = true) {
    ASSERT_TRUE(ftp.connect("127.0.0.1", server.port())) << ftp.lastResponse();
    ASSERT_TRUE(ftp.login(server.user(), server.password())) << ftp.lastResponse();
    ASSERT_TRUE(passive ? ftp.setPassive() : ftp.setActive());
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// Lines of `length` bytes each (the last byte an LF), with varying content.
std::string longLines(size_t count, size_t length) {
    std::string text;
    for (size_t i = 0; i < count; ++i) text += std::string(length - 1, static_cast<char>('a' + i % 26)) + '\n';
    return text;
}

// A port nothing listens on.
int closedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof sin;
    ::bind(fd, reinterpret_cast<sockaddr*>(&sin), sizeof sin);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sin), &length);
    ::close(fd);
    return ntohs(sin.sin_port);
}

}  // namespace

TEST(FtpText, AsciiLineEndsWhereverTheDataIsSplit) {
    struct Case {
        std::string wire;
        std::string text;
    };
    const Case decoding[] = {
        {"a\r\nb\r\n", "a\nb\n"}, {"a\rb\r", "a\rb\r"}, {"a\r\r\nb", "a\r\nb"}, {"\r\n\r\n", "\n\n"}, {"x", "x"}};
    for (const Case& c : decoding) {
        for (size_t split = 0; split <= c.wire.size(); ++split) {
            AsciiDecoder decoder;
            std::string out;
            decoder.decode(std::string_view(c.wire).substr(0, split), out);
            decoder.decode(std::string_view(c.wire).substr(split), out);
            decoder.finish(out);
            EXPECT_EQ(out, c.text) << "decoding split at " << split;
        }
    }
    const Case encoding[] = {{"a\r\nb\r\n", "a\nb\n"}, {"a\r\nb", "a\r\nb"}, {"\r\n\r\n", "\n\r\n"}, {"a\rb", "a\rb"}};
    for (const Case& c : encoding) {
        for (size_t split = 0; split <= c.text.size(); ++split) {
            AsciiEncoder encoder;
            std::string out;
            encoder.encode(std::string_view(c.text).substr(0, split), out);
            encoder.encode(std::string_view(c.text).substr(split), out);
            EXPECT_EQ(out, c.wire) << "encoding split at " << split;
        }
    }
    const std::string text = longLines(3, 20'000);
    AsciiEncoder encoder;
    AsciiDecoder decoder;
    std::string wire, back;
    for (size_t at = 0; at < text.size(); at += 4096) encoder.encode(std::string_view(text).substr(at, 4096), wire);
    EXPECT_EQ(std::count(wire.begin(), wire.end(), '\r'), 3);
    for (size_t at = 0; at < wire.size(); at += 999) decoder.decode(std::string_view(wire).substr(at, 999), back);
    decoder.finish(back);
    EXPECT_EQ(back, text);
}

TEST(FtpReplyParser, RepliesWhereverTheStreamIsSplit) {
    using State = ReplyParser::State;
    struct Case {
        std::string stream;
        State state;
        const char* last;  // the reply's last line
        size_t used;       // bytes belonging to the reply
    };
    const std::string longLine = "257 " + std::string(ReplyParser::lineCap, 'x') + "\r\n";
    std::string manyLines = "211-start\r\n";
    while (manyLines.size() <= ReplyParser::replyCap) manyLines += std::string(1000, 'y') + "\n";
    const Case cases[] = {
        {"220 ready\r\nNEXT", State::complete, "220 ready", 11},
        {"220 bare\n", State::complete, "220 bare", 9},
        {"200\r\n", State::complete, "200", 5},
        {"230-a\r\n230-b\r\n 230 c\r\n230x\r\n230 done\r\n226 next\r\n", State::complete, "230 done", 38},
        {"257-x\n257- \n200 other\n257 end\n", State::complete, "257 end", 30},
        {"220 " + std::string(1020, 'A') + std::string(300, 'B') + "\r\n", State::complete, nullptr, 1326},
        {"hello\r\n", State::malformed, "hello", 7},
        {"22 short\r\n", State::malformed, "22 short", 10},
        {"220x\r\n", State::malformed, "220x", 6},
        {"220 no end", State::partial, "220 no end", 10},
        {longLine, State::tooLong, nullptr, 0},
        {manyLines, State::tooLong, nullptr, 0},
    };
    for (const Case& c : cases) {
        for (size_t piece : {size_t{1}, size_t{7}, c.stream.size()}) {
            ReplyParser parser;
            size_t used = 0;
            while (used < c.stream.size() && !parser.finished()) {
                size_t n = parser.feed(std::string_view(c.stream).substr(used, piece));
                if (n == 0) break;
                used += n;
            }
            SCOPED_TRACE(c.stream.substr(0, 40) + " in pieces of " + std::to_string(piece));
            EXPECT_EQ(parser.state(), c.state);
            if (c.last) {
                EXPECT_EQ(parser.line(), c.last);
            }
            if (c.used) {
                EXPECT_EQ(used, c.used);
            }
        }
    }
    ReplyParser parser;
    parser.feed("421 bye\r\n");
    EXPECT_EQ(parser.code(), "421");
    EXPECT_EQ(parser.feed("more"), 0u);
    parser.reset();
    EXPECT_EQ(parser.feed("1"), 1u);
    EXPECT_EQ(parser.state(), State::partial);
}

TEST(FtpText, OverlongLinesAreDroppedInOnePass) {
    LineCutter cutter(100);
    std::vector<std::string> lines;
    auto add = [&](std::string_view line) { lines.emplace_back(line); };
    const std::string chunk(64 * 1024, 'z');
    auto start = Clock::now();
    cutter.feed("first\n", add);
    for (int i = 0; i < 80 * 16; ++i) cutter.feed(chunk, add);  // 80 MB without a line end
    cutter.feed("\n" + std::string(50, 'a') + "\n" + std::string(101, 'b') + "\nlast", add);
    cutter.finish(add);
    EXPECT_LT(secondsSince(start), 2);
    EXPECT_EQ(lines, (std::vector<std::string>{"first", std::string(50, 'a'), "last"}));
    EXPECT_EQ(cutter.dropped(), 2u);
}

TEST(FtpText, ReplyParts) {
    auto passive = parsePassiveReply("227 Entering Passive Mode (127,0,0,1,4,1).\n");
    ASSERT_TRUE(passive);
    EXPECT_EQ(passive->address, (std::array<uint8_t, 4>{127, 0, 0, 1}));
    EXPECT_EQ(passive->port, 1025);
    ASSERT_TRUE(parsePassiveReply("227 Entering passive mode 10,1,2,3,255,255"));
    EXPECT_EQ(parsePassiveReply("227 Entering passive mode 10,1,2,3,255,255")->port, 65535);
    for (const char* bad : {"227 (127,0,0,1,4)", "227 (256,0,0,1,4,1)", "227 no numbers", "227 (1,2,3,4,5,)"})
        EXPECT_FALSE(parsePassiveReply(bad)) << bad;
    EXPECT_EQ(portCommand({{127, 0, 0, 1}, 1025}), "PORT 127,0,0,1,4,1");
    EXPECT_EQ(parseExtendedPassiveReply("229 Entering Extended Passive Mode (|||6446|)\r\n"), 6446);
    EXPECT_EQ(parseExtendedPassiveReply("229 ok (!!!65535!)"), 65535);
    for (const char* bad :
         {"229 (|||0|)", "229 (|||65536|)", "229 (||6446|)", "229 (|||6446)", "229 (1116441)", "229 ("})
        EXPECT_FALSE(parseExtendedPassiveReply(bad)) << bad;
    EXPECT_EQ(eprtCommand("::1", true, 6446), "EPRT |2|::1|6446|");
    EXPECT_EQ(parseAnnouncedSize("150 Opening BINARY mode data connection for a (b) (1234 bytes).\r\n"), 1234u);
    for (const char* none : {"150 Opening data connection.", "150 ( bytes)", "150 (12x bytes)", "150 (-1 bytes)"})
        EXPECT_FALSE(parseAnnouncedSize(none)) << none;

    EXPECT_EQ(parseSizeReply("213 5368709120\n"), 5'368'709'120ULL);
    EXPECT_EQ(parseSizeReply("213 18446744073709551615"), UINT64_MAX);
    for (const char* bad : {"213 18446744073709551616", "213 -1", "213 12ab", "213 ", "213"})
        EXPECT_FALSE(parseSizeReply(bad)) << bad;

    const std::pair<const char*, std::optional<std::string>> folders[] = {
        {"257 \"/a \"\"b\"\"\" is current.\n", "/a \"b\""},
        {"257 \"/\" is the current directory.", "/"},
        {"257 /sub is the current directory\r\n", "/sub"},
        {"257 /sub", "/sub"},
        {"257 /a b is current", std::nullopt},         // "/a" or "/a b"
        {"257 /a is b is current", std::nullopt},      // "/a" or "/a is b"
        {"257 \"/unclosed is current", std::nullopt},  // a quote, so only the quoted form counts
        {"257 no folder", std::nullopt},
    };
    for (const auto& [reply, folder] : folders) EXPECT_EQ(parseWorkingFolder(reply), folder) << reply;
    EXPECT_EQ(replyText("213 20200101120000\r\n"), "20200101120000");
    EXPECT_EQ(replyWord("215 Windows_NT\n"), "Windows_NT");
    EXPECT_EQ(replyWord("215 UNIX Type: L8"), "UNIX");
}

TEST(FtpParseLine, RecordsFromListingLines) {
    struct Case {
        const char* line;
        const char* system;
        const char* name;
        FtpFileType type;
        uint64_t size;
        int64_t modify;
    };
    const Case cases[] = {
        {"drwxr-xr-x 2 u g 4096 Jan 1 2020 sub", "UNIX", "sub", FtpFileType::dir, 4096, ticksAt(jan1st2020)},
        {"-rw-r--r-- 1 u g 10 Jan 1 2020 a.txt", "UNIX", "a.txt", FtpFileType::file, 10, ticksAt(jan1st2020)},
        {"-rw-r--r-- 1 u g 5368709120 Jan 1 2020 big", "UNIX", "big", FtpFileType::file, 5'368'709'120ULL,
         ticksAt(jan1st2020)},
        {"drwxr-xr-x 2 u g 4096 Jan 1 2020 .", "UNIX", ".", FtpFileType::cdir, 4096, ticksAt(jan1st2020)},
        {"drwxr-xr-x 2 u g 4096 Jan 1 2020 ..", "UNIX", "..", FtpFileType::pdir, 4096, ticksAt(jan1st2020)},
        {"total 12", "UNIX", "", FtpFileType::unknown, unknownSize, unknownTime},
        {"", "UNIX", "", FtpFileType::unknown, unknownSize, unknownTime},
        // No system type (SYST failed): no time.
        {"-rw-r--r-- 1 u g 10 Jan 1 2020 a.txt", "", "a.txt", FtpFileType::file, 10, unknownTime},
        // Windows servers count from 1970 like every other.
        {"01-01-20  12:00PM       <DIR>          win", "Windows_NT", "win", FtpFileType::dir, unknownSize,
         ticksAt(jan1st2020Noon)},
        {"+i8388621.48594,m0,r,s5,\tzero.txt", "Windows_NT", "zero.txt", FtpFileType::file, 5, ticksAt(0)},
        {"+i8388621.48594,m0,r,s5,\tzero.txt", "UNIX", "zero.txt", FtpFileType::file, 5, ticksAt(0)},
    };
    for (const Case& c : cases) {
        FtpFileInfo info = parseLine(c.line, c.system);
        EXPECT_EQ(info.name, c.name) << c.line;
        EXPECT_EQ(info.type, c.type) << c.line;
        EXPECT_EQ(info.size, c.size) << c.line;
        EXPECT_EQ(info.modify, c.modify) << c.line;
        EXPECT_EQ(info.create, unknownTime) << c.line;
    }
}

TEST(FtpLibSession, CommandsRepliesAndNoStaleReply) {
    TestServer server;
    test::writeFile(server.path("old.txt"), "x");
    test::writeFile(server.path("dated.txt"), "12345");
    test::setModificationTime(server.path("dated.txt"), jan1st2020Noon);
    test::createSparseFile(server.path("big.bin"), 5ULL << 30);
    FtpLib ftp;
    EXPECT_FALSE(ftp.isWindows());
    openSession(ftp, server);

    std::string text;
    EXPECT_TRUE(ftp.sysType(text));
    EXPECT_EQ(text, "UNIX");
    EXPECT_FALSE(ftp.isWindows());
    EXPECT_EQ(ftp.pwd(), "/");
    EXPECT_TRUE(ftp.mkdir("sub"));
    EXPECT_TRUE(ftp.chdir("sub"));
    EXPECT_TRUE(ftp.pwd(text));
    EXPECT_EQ(text, "/sub");
    EXPECT_TRUE(ftp.cdup());
    EXPECT_EQ(ftp.pwd(), "/");
    EXPECT_TRUE(ftp.rename("old.txt", "sub/new.txt"));
    EXPECT_TRUE(test::fileExists(server.path("sub/new.txt")));
    EXPECT_TRUE(ftp.deleteFile("sub/new.txt"));
    EXPECT_TRUE(ftp.rmdir("sub"));

    uint64_t size = 0;
    EXPECT_TRUE(ftp.size("big.bin", size, 'I'));
    EXPECT_EQ(size, 5'368'709'120ULL);
    EXPECT_TRUE(ftp.size("dated.txt", size, 'I'));
    EXPECT_EQ(size, 5u);
    EXPECT_TRUE(ftp.modDate("dated.txt", text));
    EXPECT_EQ(text, "20200101120000");

    // Every failure shows its own reply, never one left from before.
    EXPECT_FALSE(ftp.chdir("missing"));
    EXPECT_TRUE(contains(ftp.lastResponse(), "550")) << ftp.lastResponse();
    EXPECT_TRUE(ftp.sendCmd("NOOP", '2'));
    EXPECT_TRUE(ftp.lastResponse().rfind("200", 0) == 0) << ftp.lastResponse();
    EXPECT_FALSE(ftp.size("dated.txt", size, 'A'));  // pyftpdlib refuses SIZE in ASCII type
    EXPECT_TRUE(ftp.lastResponse().rfind("550", 0) == 0) << ftp.lastResponse();
    EXPECT_FALSE(ftp.size("dated.txt", size, 'X'));
    EXPECT_TRUE(contains(ftp.lastResponse(), "Invalid transfer type")) << ftp.lastResponse();
    EXPECT_FALSE(ftp.sendCmd("NOOP\r\nDELE dated.txt", '2'));
    EXPECT_TRUE(test::fileExists(server.path("dated.txt")));
    EXPECT_FALSE(ftp.utf8On());  // pyftpdlib answers 501
    EXPECT_TRUE(contains(ftp.lastResponse(), "501")) << ftp.lastResponse();

    ftp.quit();
    EXPECT_FALSE(ftp.sendCmd("NOOP", '2'));
    EXPECT_EQ(ftp.lastResponse(), "Not connected");
    EXPECT_TRUE(contains(server.log(), "QUIT"));
}

TEST(FtpLibSession, SurplusRepliesAreDroppedAndTraced) {
    TestServer server({.script = R"({"connections": [{"commands": {
        "SITE DOUBLE": [{"send": "200 One.\r\n200 Two.\r\n"}], "DELE": [{"send": "550 Denied.\r\n"}]}}]})"});
    FtpLib ftp;
    openSession(ftp, server);
    FtpLib::setDebugLevel(2);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(ftp.sendCmd("SITE DOUBLE", '2'));
    EXPECT_EQ(ftp.lastResponse(), "200 One.");
    EXPECT_FALSE(ftp.deleteFile("x"));
    FtpLib::setDebugLevel(0);
    EXPECT_EQ(ftp.lastResponse(), "550 Denied.");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "200 One.\r\n200 Two.\r\n550 Denied.\r\n");
}

TEST(FtpLibSession, WindowsServerLongCredentialsAndMaskedTrace) {
    const std::string user(70, 'u'), password(70, 'p');
    TestServer server({.mode = "windows", .user = user, .password = password});
    test::writeFile(server.path("f.txt"), "abc");
    test::setModificationTime(server.path("f.txt"), jan1st2020Noon);
    FtpLib ftp;
    FtpLib::setDebugLevel(3);
    testing::internal::CaptureStderr();
    bool connected = ftp.connect("127.0.0.1", server.port());
    bool loggedIn = ftp.login(user, password);
    FtpLib::setDebugLevel(0);
    std::string trace = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(connected && loggedIn) << ftp.lastResponse() << trace;
    EXPECT_TRUE(contains(trace, "USER " + user + "\n")) << trace;
    EXPECT_TRUE(contains(trace, "PASS ****\n")) << trace;
    EXPECT_TRUE(contains(trace, "230 ")) << trace;
    EXPECT_FALSE(contains(trace, password)) << trace;

    EXPECT_TRUE(ftp.isWindows());
    std::string type;
    EXPECT_TRUE(ftp.sysType(type));
    EXPECT_EQ(type, "Windows_NT");
    EXPECT_TRUE(ftp.utf8On());
    std::vector<FtpFileInfo> entries;
    ASSERT_TRUE(ftp.list("", entries)) << ftp.lastResponse();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "f.txt");
    EXPECT_EQ(entries[0].size, 3u);
    EXPECT_EQ(entries[0].modify, ticksAt(jan1st2020Noon));
}

TEST(FtpLibTransfer, RoundTripsInImageAndAsciiTypes) {
    struct Case {
        char type;
        bool passive;
    };
    const std::string binary = [] {
        std::string data;
        for (int i = 0; i < 300'000; ++i) data += static_cast<char>(i * 7 % 256);
        return data + "\r\n\n\r";
    }();
    const std::string text = longLines(5, 20'000);
    for (Case c : {Case{'I', true}, Case{'I', false}, Case{'A', true}, Case{'A', false}}) {
        SCOPED_TRACE(std::string("type ") + c.type + (c.passive ? " passive" : " active"));
        TestServer server;
        TempDir local;
        FtpLib ftp;
        openSession(ftp, server, c.passive);
        const std::string& content = c.type == 'I' ? binary : text;
        test::writeFile(local.file("up"), content);
        ASSERT_TRUE(ftp.put(local.file("up"), "stored", c.type)) << ftp.lastResponse();
        EXPECT_EQ(test::readFile(server.path("stored")), content);  // the server turns CR LF back into LF
        ASSERT_TRUE(ftp.get(local.file("down"), "stored", c.type)) << ftp.lastResponse();
        EXPECT_EQ(test::readFile(local.file("down")), content);
        EXPECT_EQ(folderEntries(local.path()), (std::vector<std::string>{"down", "up"}));
    }
}

TEST(FtpLibTransfer, AsciiUploadNeverDoublesCarriageReturns) {
    TestServer server;
    TempDir local;
    FtpLib ftp;
    openSession(ftp, server);
    // CR LF pairs already in the file, one of them split across the 64 KiB read boundary.
    std::string content = std::string(65'535, 'x') + "\r\n" + "second\r\nthird\n";
    test::writeFile(local.file("crlf"), content);
    ASSERT_TRUE(ftp.put(local.file("crlf"), "crlf", 'A')) << ftp.lastResponse();
    EXPECT_EQ(test::readFile(server.path("crlf")), std::string(65'535, 'x') + "\nsecond\nthird\n");
    // In ASCII type a CR LF the server sends becomes LF.
    test::writeFile(server.path("lines"), "one\ntwo\n");
    ASSERT_TRUE(ftp.get(local.file("lines"), "lines", 'A')) << ftp.lastResponse();
    EXPECT_EQ(test::readFile(local.file("lines")), "one\ntwo\n");
    ASSERT_TRUE(ftp.get(local.file("lines.bin"), "lines", 'I')) << ftp.lastResponse();
    EXPECT_EQ(test::readFile(local.file("lines.bin")), "one\ntwo\n");
}

TEST(FtpLibTransfer, ListingsInEveryServerStyle) {
    for (const char* mode : {"plain", "windows", "eplf"}) {
        SCOPED_TRACE(mode);
        TestServer server({.mode = mode, .faults = {"long-listing-line"}});
        test::writeFile(server.path("a.txt"), std::string(1234, 'a'));
        test::setModificationTime(server.path("a.txt"), jan1st2020Noon);
        std::filesystem::create_directory(server.path("dir"));
        FtpLib ftp;
        openSession(ftp, server);
        std::vector<FtpFileInfo> entries;
        ASSERT_TRUE(ftp.list("", entries)) << ftp.lastResponse();
        std::sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.name < b.name; });
        ASSERT_EQ(entries.size(), 3u);
        EXPECT_EQ(entries[0].name, "a.txt");
        EXPECT_EQ(entries[0].type, FtpFileType::file);
        EXPECT_EQ(entries[0].size, 1234u);
        EXPECT_NE(entries[0].modify, unknownTime);
        EXPECT_EQ(entries[1].name, "dir");
        EXPECT_EQ(entries[1].type, FtpFileType::dir);
        EXPECT_GT(entries[2].name.size(), 19'000u);  // from the 20,000-byte line

        TempDir local;
        ASSERT_TRUE(ftp.listToFile(local.file("list.txt"), "")) << ftp.lastResponse();
        std::string listing = test::readFile(local.file("list.txt"));
        EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 3);
        EXPECT_FALSE(contains(listing, "\r"));
        EXPECT_TRUE(contains(listing, "a.txt\n"));
    }
}

TEST(FtpLibTransfer, NameListToConsoleAndFile) {
    TestServer server;
    test::writeFile(server.path("one"), "1");
    test::writeFile(server.path("two"), "2");
    FtpLib ftp;
    openSession(ftp, server);
    testing::internal::CaptureStdout();
    bool listed = ftp.nlst("", "");
    platform::consoleFlush();  // piped output is held back for a while
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(listed) << ftp.lastResponse();
    EXPECT_TRUE(out == "one\ntwo\n" || out == "two\none\n") << out;
    TempDir local;
    ASSERT_TRUE(ftp.nlst(local.file("names"), "")) << ftp.lastResponse();
    EXPECT_EQ(test::readFile(local.file("names")).size(), 8u);
}

TEST(FtpLibTransfer, FailedDownloadsLeaveTheLocalFileAlone) {
    struct Case {
        std::vector<std::string> faults;
        const char* remote;
        const char* reply;
        OutcomeKind kind;
        uint64_t expectedSize = unknownSize;
    };
    const Case cases[] = {
        {{}, "data.bin", "Download incomplete: ", OutcomeKind::connectionLost, 1'000'000'000},
        {{"fail-after-transfer"}, "data.bin", "451", OutcomeKind::refusedTransient},
        {{"drop-mid-transfer"}, "data.bin", "closed", OutcomeKind::connectionLost},
        {{"stall-data"}, "data.bin", "Timeout", OutcomeKind::timedOut},
        {{}, "missing.bin", "550", OutcomeKind::refusedPermanent},
    };
    for (const Case& c : cases) {
        for (char type : {'I', 'A'}) {
            SCOPED_TRACE(c.reply + std::string(" ") + type);
            TestServer server({.faults = c.faults});
            test::writeFile(server.path("data.bin"), longLines(40, 10'000));
            TempDir local;
            test::writeFile(local.file("keep"), "precious");
            FtpLib ftp;
            ftp.setTimeout(2);
            openSession(ftp, server);
            auto start = Clock::now();
            EXPECT_FALSE(ftp.get(local.file("keep"), c.remote, type, c.expectedSize));
            EXPECT_LT(secondsSince(start), 10);
            EXPECT_TRUE(contains(ftp.lastResponse(), c.reply)) << ftp.lastResponse();
            EXPECT_EQ(ftp.lastOutcome().kind, c.kind);
            EXPECT_EQ(ftp.lastOutcome().begun, c.remote != std::string("missing.bin"));  // RETR accepted
            EXPECT_EQ(test::readFile(local.file("keep")), "precious");
            EXPECT_EQ(folderEntries(local.path()), std::vector<std::string>{"keep"});
        }
    }
}

TEST(FtpLibTransfer, FailedUploads) {
    TestServer server({.faults = {"fail-after-transfer"}});
    TempDir local;
    test::writeFile(local.file("up"), "content\n");
    FtpLib ftp;
    openSession(ftp, server);
    EXPECT_FALSE(ftp.put(local.file("up"), "up", 'I'));
    EXPECT_TRUE(ftp.lastResponse().rfind("451", 0) == 0) << ftp.lastResponse();
    EXPECT_TRUE(ftp.lastOutcome().begun && ftp.lastOutcome().code == 451);
    // Local files that cannot be read fail before anything is stored.
    EXPECT_FALSE(ftp.put(local.file("absent"), "absent", 'I'));
    EXPECT_TRUE(contains(ftp.lastResponse(), "absent: No such file")) << ftp.lastResponse();
    EXPECT_EQ(ftp.lastOutcome().kind, OutcomeKind::localError);
    EXPECT_FALSE(ftp.lastOutcome().begun);
    EXPECT_FALSE(ftp.put(local.path(), "folder", 'I'));
    EXPECT_TRUE(contains(ftp.lastResponse(), "Is a directory")) << ftp.lastResponse();
    EXPECT_FALSE(contains(server.log(), "STOR absent") || contains(server.log(), "STOR folder"));
}

TEST(FtpLibDeadlines, SilentServersClosedPortsAndBadHosts) {
    {
        TestServer server({.faults = {"no-greeting"}});
        FtpLib ftp;
        ftp.setTimeout(2);
        auto start = Clock::now();
        EXPECT_FALSE(ftp.connect("127.0.0.1", server.port()));
        EXPECT_GE(secondsSince(start), 1.5);
        EXPECT_LT(secondsSince(start), 5);
        EXPECT_EQ(ftp.lastResponse(), "Timeout: no complete reply within 2 seconds while waiting for the greeting");
    }
    {
        TestServer server({.faults = {"silent-command=CWD"}});
        FtpLib ftp;
        ftp.setTimeout(2);
        openSession(ftp, server);
        auto start = Clock::now();
        EXPECT_FALSE(ftp.chdir("anywhere"));
        EXPECT_LT(secondsSince(start), 5);
        EXPECT_TRUE(contains(ftp.lastResponse(), "Timeout")) << ftp.lastResponse();
        // The connection is given up: a late reply can never answer a later command.
        EXPECT_FALSE(ftp.sendCmd("NOOP", '2'));
        EXPECT_TRUE(contains(ftp.lastResponse(), "lost")) << ftp.lastResponse();
    }
    struct Refusal {
        std::string host;
        int port;
        const char* reason;
    };
    const int closed = closedPort();
    const Refusal refusals[] = {
        {"127.0.0.1", closed, "Cannot connect to 127.0.0.1 port {}: Connection refused"},
        {"::1", closed, "Cannot connect to ::1 port {}: Connection refused"},
        {"[::1]", closed, "Cannot connect to [::1] port {}: Connection refused"},
        {"", 21, "No host name"},
        {"127.0.0.1", 0, "Invalid port 0: a port is a number from 1 to 65535"},
        {"127.0.0.1", -1, "Invalid port -1: a port is a number from 1 to 65535"},
        {"127.0.0.1", 65536, "Invalid port 65536: a port is a number from 1 to 65535"},
    };
    FtpLib ftp;
    for (const Refusal& r : refusals) {
        auto start = Clock::now();
        EXPECT_FALSE(ftp.connect(r.host, r.port)) << r.host;
        EXPECT_LT(secondsSince(start), 1);
        std::string reason = r.reason;
        if (size_t at = reason.find("{}"); at != std::string::npos) reason.replace(at, 2, std::to_string(r.port));
        EXPECT_TRUE(ftp.lastResponse().starts_with(reason)) << ftp.lastResponse();
        EXPECT_FALSE(ftp.isOpen());
    }
}

TEST(FtpLibDeadlines, AbortFromAnotherThreadEndsTheWait) {
    TestServer server({.faults = {"silent-command=CWD", "stall-data"}});
    test::writeFile(server.path("data.bin"), "data");
    TempDir local;
    FtpLib ftp;  // the default 60 seconds
    const struct {
        std::function<bool()> operation;
        std::string command;  // in the server's log once the operation waits
    } blocked[] = {
        {[&] { return ftp.chdir("x"); }, "CWD x"},
        {[&] { return ftp.get(local.file("data.bin"), "data.bin", 'I'); }, "RETR data.bin"},
    };
    for (const auto& [operation, command] : blocked) {
        openSession(ftp, server);
        std::thread aborter([&, &awaited = command] {
            EXPECT_TRUE(test::waitUntil([&] { return server.log().find(awaited) != std::string::npos; },
                                        std::chrono::seconds(10)));
            ftp.abort();
        });
        auto start = Clock::now();
        EXPECT_FALSE(operation());
        aborter.join();
        EXPECT_LT(secondsSince(start), 5);
        EXPECT_EQ(ftp.lastResponse(), "Aborted");
        EXPECT_FALSE(ftp.sendCmd("NOOP", '2'));  // until the next connect
    }
    EXPECT_FALSE(test::fileExists(local.file("data.bin")));
}

TEST(FtpLibConcurrency, CloseRacingWithKeepAliveCommands) {
    TestServer server;
    FtpLib ftp;
    for (int round = 0; round < 40; ++round) {
        openSession(ftp, server);
        std::atomic<bool> stop{false};
        std::thread keepAlive([&] {
            while (!stop) ftp.sendCmd("SYST", '2');
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(round % 5));
        ftp.close();
        EXPECT_FALSE(ftp.sendCmd("NOOP", '2'));
        stop = true;
        keepAlive.join();
    }
}
