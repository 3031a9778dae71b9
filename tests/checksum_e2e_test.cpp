// Transfers checked against the server's checksum (proftpd's HASH and X
// commands, a server that answers a wrong digest, servers offering none) and
// the speed cap all sessions of a command share.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <chrono>
#include <filesystem>

#include "ftp/checksums.h"
#include "support/run_dorvan.h"
#include "support/session_script.h"
#include "support/shell_command.h"
#include "support/test_server.h"
#include "support/tls_servers.h"

using namespace dorvan::test;
using dorvan::ChecksumMethod;
using dorvan::platform::DigestAlgorithm;

namespace {

std::string sha1Hex(const std::string& data) {
    unsigned char bytes[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(data.data(), data.size(), bytes, &size, EVP_sha1(), nullptr);
    std::string hex;
    for (unsigned i = 0; i < size; ++i)
        hex += "0123456789abcdef"[bytes[i] >> 4], hex += "0123456789abcdef"[bytes[i] & 15];
    return hex;
}

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(Checksums, DigestsAreReadFromEachServersReply) {
    const struct {
        ChecksumMethod method;
        std::string reply;
        std::optional<std::string> digest;
    } cases[] = {
        {{"HASH", DigestAlgorithm::sha256},
         "213 SHA-256 0-12 AB12cd" + std::string(58, '0') + " a b.txt",
         "ab12cd" + std::string(58, '0')},
        {{"HASH", DigestAlgorithm::sha256}, "213 SHA-1 0-12 " + std::string(64, 'a') + " a.txt", std::nullopt},
        {{"HASH", DigestAlgorithm::sha1}, "213 SHA-1 5-12 " + std::string(40, 'a') + " a.txt", std::nullopt},
        {{"XSHA1", DigestAlgorithm::sha1}, "250 " + std::string(40, 'F'), std::string(40, 'f')},
        {{"XCRC", DigestAlgorithm::crc32}, "250 1A2B3C", "001a2b3c"},
        {{"XCRC", DigestAlgorithm::crc32}, "213 done", std::nullopt},
        {{"MD5", DigestAlgorithm::md5}, "251 my file " + std::string(32, 'C'), std::string(32, 'c')},
        {{"XMD5", DigestAlgorithm::md5}, "250 " + std::string(31, 'c'), std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(dorvan::digestInReply(c.method, c.reply), c.digest) << c.reply;
}

// put, get, mput and mget against proftpd, each file proven: by HASH with the
// strongest algorithm, and with HASH refused, by XSHA1 or XCRC alone; the
// journal records each batch file's algorithm and digest.
TEST(ChecksumEndToEnd, ProftpdProvesEveryTransfer) {
    const struct {
        std::string digests;
        bool hash;
        std::string algorithm, verb, bravo;  // bravo: the digest of b.txt
    } servers[] = {{"all", true, "SHA-512", "HASH",
                    "b4e4440117e1e100269d1919189ba2e18c8a708fb90036aaa822659cbcc4b0cc"
                    "8cac4d4ba745bbc89e6060333e0df5aa7605e4f863b390fc12b83fa49877186a"},
                   {"crc32 sha1", false, "SHA-1", "XSHA1", "bb596efe9e3023a502013767a0559a94a5eea4bc"},
                   {"crc32", false, "CRC32", "XCRC", "a6baa6af"}};
    for (const auto& s : servers) {
        SCOPED_TRACE(s.verb);
        ProftpdServer server(s.digests, s.hash);
        TempDir sent, received, kept;
        const std::string a = randomBytes(3 << 20, 1), c = randomBytes(2 << 20, 2);
        writeFile(sent.file("a.bin"), a);
        writeFile(sent.file("b.txt"), "bravo\n");
        writeFile(server.path("c.bin"), c);
        writeFile(server.path("d.txt"), "delta\n");
        for (const char* name : {"c.bin", "d.txt"})  // mput sends c.bin back: the server's login user writes it
            std::filesystem::permissions(server.path(name), std::filesystem::perms::all);
        RunResult r = runDorvan(
            {.input = "set --host 127.0.0.1 --port " + std::to_string(server.port()) + " --username " + server.user() +
                      " --password " + server.password() + " --keepalive 0 --debug 1 --local " + sent.path() +
                      "\nput --src a.bin\nget --src c.bin\nmput --parallel 2 --journal " + kept.file("j") +
                      "\nset --local " + received.path() + "\nmget --parallel 2\nquit\n",
             .timeout = std::chrono::seconds(120)});
        const std::string out = consoleLines(r.out);
        // put 1, get 1, mput 3 (a.bin, b.txt, c.bin), mget 4.
        EXPECT_EQ(count(out, "Checksum " + s.algorithm + " equal: "), 9u) << out;
        EXPECT_FALSE(contains(out, "failure")) << out;
        EXPECT_EQ(filesIn(received.path()), (std::vector<std::string>{"a.bin", "b.txt", "c.bin", "d.txt"}));
        EXPECT_EQ(readFile(received.file("a.bin")), a);
        EXPECT_EQ(readFile(received.file("c.bin")), c);
        EXPECT_EQ(readFile(server.path("a.bin")), a);
        EXPECT_GE(count(server.log(), s.verb + " 2"), 9u) << server.log();
        const std::string journal = readFile(kept.file("j"));
        EXPECT_EQ(count(journal, "\"checksum\":\"" + s.algorithm + "\",\"digest\":\""), 7u) << journal;
        EXPECT_EQ(count(journal, "\"digest\":\"" + s.bravo + "\""), 2u) << journal;
    }
}

// A server whose checksums never match: a download is tried again and then
// not saved, an upload is sent whole again and then reported.
TEST(ChecksumEndToEnd, WrongDigestFailsTheFile) {
    TestServer server({.script = R"({"connections": [{"commands": {
        "FEAT": [{"send": "211-Features:\r\n XSHA1\r\n REST STREAM\r\n211 End\r\n"}],
        "XSHA1": [{"send": "250 0000000000000000000000000000000000000000\r\n"}],
        "SIZE": [{"send": "213 11\r\n"}]}}],
        "files": {"f.txt": "server data"}})"});
    TempDir local;
    writeFile(local.file("u.txt"), "local data");
    RunResult r =
        runDorvan({.input = useServer(server, "--keepalive 0 --retries 1 --retrywait 1 --local " + local.path()) +
                            "get --src f.txt\nput --src u.txt\nquit\n"});
    const std::string out = consoleLines(r.out);
    const std::string zeros(40, '0');
    EXPECT_TRUE(contains(out, "get f.txt failure: checksum differs: server SHA-1 " + zeros + ", received " +
                                  sha1Hex("server data") + "\n"))
        << out;
    EXPECT_TRUE(contains(out, " put " + local.file("u.txt") + " to u.txt failure: checksum differs: server SHA-1 " +
                                  zeros + ", sent " + sha1Hex("local data") + "\n"))
        << out;
    EXPECT_EQ(filesIn(local.path()), std::vector<std::string>{"u.txt"}) << "nothing saved, no part left";
    const std::string log = server.log();
    EXPECT_EQ(count(log, "<- RETR f.txt"), 2u) << log;
    EXPECT_EQ(count(log, "<- STOR u.txt"), 2u) << log;
    EXPECT_EQ(count(log, "<- REST"), 0u) << "an upload whose checksum differs goes whole again\n" << log;
}

// A server offering no checksum: `checksum true` fails each transfer before
// its data moves; auto transfers and says so at debug level 1, as it does
// for ASCII mode.
TEST(ChecksumEndToEnd, ServerWithoutChecksums) {
    TestServer server;
    TempDir local;
    writeFile(server.path("f.txt"), "data");
    writeFile(local.file("u.txt"), "up");
    RunResult r = runDorvan({.input = useServer(server, "--keepalive 0 --local " + local.path()) +
                                      "set --checksum true\nget --src f.txt\nput --src u.txt\n"
                                      "set --checksum auto --debug 1\nget --src f.txt\n"
                                      "set --image false\nget --src f.txt --dst g.txt\nquit\n"});
    const std::string out = consoleLines(r.out);
    const std::string none = "the server offers no checksum (HASH, XSHA256, XSHA1, XMD5, XCRC or MD5)";
    EXPECT_TRUE(contains(out, "get f.txt failure: " + none + "\n")) << out;
    EXPECT_TRUE(contains(out, " put " + local.file("u.txt") + " to u.txt failure: " + none + "\n")) << out;
    EXPECT_TRUE(contains(out, "Checksum not compared, the server offers no checksum: f.txt\n")) << out;
    EXPECT_TRUE(contains(out, "Checksum not compared, ASCII mode: f.txt\n")) << out;
    EXPECT_EQ(count(server.log(), "<- RETR"), 2u) << server.log();
    EXPECT_EQ(count(server.log(), "<- STOR"), 0u) << server.log();
    EXPECT_EQ(count(server.log(), "<- XSHA1"), 1u) << "learned once per session\n" << server.log();
}

// 2 MiB on two sessions under a cap of 512 KiB a second shared by both: a
// second's burst, then at least three seconds.
TEST(RateLimitEndToEnd, SessionsShareOneCap) {
    TestServer server;
    writeFile(server.path("one.bin"), randomBytes(1 << 20, 3));
    writeFile(server.path("two.bin"), randomBytes(1 << 20, 4));
    TempDir local;
    const auto started = std::chrono::steady_clock::now();
    RunResult r = runDorvan({.input = useServer(server, "--keepalive 0 --local " + local.path()) +
                                      "mget --parallel 2 --ratelimit 512\nquit\n"});
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_TRUE(contains(consoleLines(r.out), "2 files saved to ")) << consoleLines(r.out);
    EXPECT_EQ(readFile(local.file("two.bin")), randomBytes(1 << 20, 4));
    EXPECT_GE(took, std::chrono::seconds(3));
}
