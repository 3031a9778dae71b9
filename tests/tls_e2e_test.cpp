// FTP over TLS against real servers: vsftpd demanding TLS on control and data
// connections with session reuse, a plain server, and one that cuts streams.
#include <gtest/gtest.h>

#include <chrono>

#include "support/run_dorvan.h"
#include "support/session_script.h"
#include "support/shell_command.h"
#include "support/test_server.h"
#include "support/tls_servers.h"

using namespace dorvan::test;

TEST(TlsEndToEnd, ExplicitTlsMovesFilesAndListingsInPassiveAndActiveMode) {
    VsftpdServer server;
    TempDir local;
    const std::string content = randomBytes(700'000);
    writeFile(server.path("down.bin"), content);
    writeFile(local.file("up.bin"), content);
    for (const char* passive : {"true", "false"}) {
        std::string setup = useTlsServer(server, "--tls Explicit --cafile " + server.certificate() + " --local " +
                                                     local.path() + " --passive " + passive);
        RunResult r = runDorvan({.input = setup + "set --debug 2\nget --src down.bin\nput --src up.bin\n"
                                                  "nlst\nstatus\nquit\n"});
        std::string out = consoleLines(r.out);
        EXPECT_TRUE(contains(out, " connected to 127.0.0.1\n Loggedin\n dowloading down.bin to " +
                                      local.file("down.bin") + " ...\n uploading " + local.file("up.bin") +
                                      " to up.bin\n"))
            << out;
        EXPECT_FALSE(contains(out, "fail")) << out;
        EXPECT_TRUE(contains(
            out,
            " timeout     : 60\n errorlevel  : false\n tls         : explicit\n verify      : true\n cafile      : " +
                server.certificate() + "\n parallel    : 1\n keeptime    : false\n netrc       : false\n\n"))
            << out;
        EXPECT_EQ(readFile(local.file("down.bin")), content);
        EXPECT_EQ(readFile(server.path("up.bin")), content);
        EXPECT_TRUE(contains(out, "\ndown.bin\n")) << out;
        // Once per connection; every data connection resumed the control connection's session.
        EXPECT_EQ(count(r.err, "TLS control connection: TLSv1."), 1u) << r.err;
        EXPECT_EQ(count(r.err, "TLS data connection: TLSv1."), 3u) << r.err;
        EXPECT_EQ(count(r.err, ", session resumed\n"), 3u) << r.err;
    }
    std::string log = server.log();
    EXPECT_LT(log.find("\"AUTH TLS\""), log.find("\"USER "));
    EXPECT_LT(log.find("\"PASS <password>\""), log.find("\"PBSZ 0\""));
    EXPECT_LT(log.find("\"PBSZ 0\""), log.find("\"PROT P\""));
    EXPECT_TRUE(contains(log, "\"PASV\"") && contains(log, "\"PORT 127,0,0,1,")) << log;
}

TEST(TlsEndToEnd, CertificatesAreCheckedBeforeTheLoginUnlessTurnedOff) {
    VsftpdServer server;
    struct Case {
        std::string extra;
        std::string lines;
    };
    const Case cases[] = {
        {"--host 127.0.0.1 --debug 1",
         " Unable to connect to 127.0.0.1 \n \n"
         " TLS handshake failed: the server's certificate is not trusted: self-signed certificate\n"},
        {"--host localhost --debug 1 --cafile " + server.certificate(),
         " Unable to connect to localhost \n \n"
         " TLS handshake failed: the server's certificate is not trusted: hostname mismatch\n"},
        {"--host 127.0.0.1 --verify false",
         " warning: the TLS certificate of 127.0.0.1 is not checked (self-signed certificate)\n"
         " connected to 127.0.0.1\n Loggedin\n FTP closed\n"},
    };
    for (const Case& c : cases) {
        RunResult r = runDorvan({.input = useTlsServer(server, "--tls explicit " + c.extra) + "login\nquit\n"});
        EXPECT_TRUE(contains(consoleLines(r.out), c.lines)) << consoleLines(r.out);
        EXPECT_TRUE(contains(r.log(), "Warn   Dorvan -  warning: the TLS certificate") == contains(c.extra, "verify"));
    }
    EXPECT_EQ(count(server.log(), "\"USER "), 1u) << "only the unchecked connection logs in";
}

TEST(TlsEndToEnd, PlainServerThatRefusesTlsNeverSeesTheCredentials) {
    TestServer server;
    RunResult r = runDorvan({.input = useServer(server, "--tls explicit --debug 1") + "login\nquit\n"});
    EXPECT_TRUE(contains(consoleLines(r.out),
                         " Unable to connect to 127.0.0.1 \n \n"
                         " The server refuses TLS: 500 Command \"AUTH\" not understood.\n"
                         " login failure: connect first, please\n"))
        << consoleLines(r.out);
    EXPECT_TRUE(contains(server.log(), "AUTH TLS"));
    EXPECT_FALSE(contains(server.log(), "USER"));
    EXPECT_FALSE(contains(server.log(), "PASS"));
}

TEST(TlsEndToEnd, DownloadCutShortFailsAndKeepsTheOldFile) {
    HostileTlsServer server;
    TempDir local;
    writeFile(server.path("cut.bin"), randomBytes(200'000));
    writeFile(local.file("cut.bin"), "old content");
    RunResult r =
        runDorvan({.input = "set --host 127.0.0.1 --port " + std::to_string(server.port()) +
                            " --username u --password p --keepalive 0 --tls explicit --cafile " + server.certificate() +
                            " --local " + local.path() + "\nget --src cut.bin\nquit\n"});
    EXPECT_TRUE(contains(consoleLines(r.out),
                         "get cut.bin failure: Data connection failed: TLS: the connection "
                         "ended without its TLS close (cut short)\n"))
        << consoleLines(r.out);
    EXPECT_EQ(readFile(local.file("cut.bin")), "old content");
    EXPECT_TRUE(contains(server.log(), "PROT P\nSYST\n")) << server.log();
}

// Listings after an upload on a server that takes each session once and
// issues none on uploads; a data connection under an untrusted certificate;
// a server that never ends its TLS close after an upload.
TEST(TlsEndToEnd, StrictServerSessionsUntrustedDataAndEndlessClose) {
    HostileTlsServer server;
    TempDir local;
    writeFile(local.file("a.txt"), "first\n");
    writeFile(local.file("slow-close.txt"), "slow\n");
    auto started = std::chrono::steady_clock::now();
    RunResult r =
        runDorvan({.input = "set --host 127.0.0.1 --port " + std::to_string(server.port()) +
                            " --username u --password p --keepalive 0 --tls explicit --cafile " + server.certificate() +
                            " --local " + local.path() +
                            " --timeout 3\n"
                            "put --src a.txt\nlist\nnlst\nlist --name untrusted\nput --src slow-close.txt\nquit\n"});
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(12));
    const std::string upload = " uploading " + local.file("slow-close.txt") + " to slow-close.txt\n";
    EXPECT_TRUE(contains(consoleLines(r.out),
                         "-rw-r--r-- 1 ftp ftp 6 Jan 01 2024 a.txt\na.txt\n"
                         "list untrusted failure, TLS handshake on the data connection failed: the server's "
                         "certificate is not trusted: self-signed certificate\n" +
                             upload + " put " + local.file("slow-close.txt") +
                             " to slow-close.txt failure: Timeout: nothing happened for 3 seconds while moving data\n"))
        << consoleLines(r.out) << server.log();
    EXPECT_FALSE(contains(server.log(), "did not resume")) << server.log();
    EXPECT_EQ(readFile(server.path("slow-close.txt")), "slow\n");
}

TEST(TlsEndToEnd, ImplicitTlsFromTheFirstByte) {
    VsftpdServer server(true);
    TempDir local;
    writeFile(local.file("up.txt"), "implicit\n");
    RunResult r = runDorvan(
        {.input = useTlsServer(server, "--tls implicit --cafile " + server.certificate() + " --local " + local.path()) +
                  "put --src up.txt\nget --src up.txt --dst back.txt\nquit\n"});
    EXPECT_FALSE(contains(consoleLines(r.out), "fail")) << consoleLines(r.out);
    EXPECT_EQ(readFile(local.file("back.txt")), "implicit\n");
    EXPECT_FALSE(contains(server.log(), "\"AUTH TLS\""));  // never sent (FEAT's reply names it)
    EXPECT_TRUE(contains(server.log(), "\"PROT P\""));
}
