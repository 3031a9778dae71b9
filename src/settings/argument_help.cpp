#include "settings/argument_help.h"

#include <vector>

namespace dorvan {
namespace {

// "{0}" is the argument's name unless the entry has fills of its own.
const std::vector<HelpSource> argumentSources = {
    {.key = "host",
     .summary = " host name or ip address",
     .syntax = "--{0} host",
     .examples = "host name:\n"
                 "    --{0} ftp.example.com\n"
                 "    \n"
                 "ip address:\n"
                 "    --{0} 192.168.1.20"},
    {.key = "port",
     .summary = " port number, default 21",
     .syntax = "--{0} port",
     .examples = "example:\n"
                 "    --{0} 21"},
    {.key = "username",
     .summary = " FTP login username",
     .syntax = "--{0} yourUsername",
     .examples = "example:\n"
                 "    --{0} myname"},
    {.key = "password",
     .summary = " FTP login password",
     .syntax = "--{0} yourPassword",
     .examples = "example:\n"
                 "    --{0} mypassword"},
    {.key = "remote",
     .summary = " specify the remote folder for FTP transfer",
     .syntax = "--{0} folder",
     .examples = "example:\n"
                 "    --{0} \"/home/myname/documents/\""},
    {.key = "local",
     .summary = " specify the local folder for FTP transfer",
     .syntax = "--{0} folder",
     .examples = "example:\n"
                 "    --{0} \"D:\\My Documents\\\""},
    {.key = "passive",
     .summary = " use Passive mode or Active mode",
     .syntax = "--{0} <true or false>",
     .examples = "Passive mode (default):\n"
                 "    --{0} true\n"
                 "    \n"
                 "Active mode:\n"
                 "    --{0} false"},
    {.key = "overwrite",
     .summary = " overwrite an exisiting file?",
     .syntax = "--{0} false or true",
     .examples = "always replace an existing file (default):\n"
                 "    --{0} true\n"
                 "    \n"
                 "replace an existing file only when the sizes differ:\n"
                 "    --{0} false"},
    {.key = "image",
     .summary = " specified the Image(default) or ASCII transfer type",
     .syntax = "--{0} <true or false>",
     .examples = "Image (binary) transfer type, the default:\n"
                 "    --{0} true\n"
                 "    \n"
                 "ASCII (text) transfer type:\n"
                 "    --{0} false"},
    {.key = "expresp",
     .summary = " expected response code for {0}, default 2",
     .syntax = "--{1} num",
     .fills = {"literal", "expresp"}},
    {.key = "recurse",
     .summary = " recursive through subdirectories ?",
     .syntax = "--{0} <false or true>",
     .examples = "run the command through the folder hierarchy (dangerous with rmd or mdele!):\n"
                 "    --{0} true\n"
                 "    \n"
                 "no recursive scan (default):\n"
                 "    --{0} false"},
    {.key = "include",
     .summary = " wildcard path include filter, separated by {0}",
     .syntax = "--{1} filter{0}filter",
     .examples = "two file types:\n"
                 "    --{1} \"*.doc{0}*.jpg\"\n"
                 "    \n"
                 "all files:\n"
                 "    --{1} \"*\"\n"
                 "    \n"
                 "one file:\n"
                 "    --{1} \"*love.mp3\"\n"
                 "    \n"
                 "clear the filter:\n"
                 "    --{1}",
     .fills = {"|", "include"}},
    {.key = "exclude",
     .summary = " wildcard path exclude filter, separated by {0}",
     .syntax = "--{1} filter{0}filter",
     .examples = "two file types:\n"
                 "    --{1} \"*.doc{0}*.jpg\"\n"
                 "    \n"
                 "one file:\n"
                 "    --{1} dirty.exe\n"
                 "    \n"
                 "clear the filter:\n"
                 "    --{1}",
     .fills = {"|", "exclude"}},
    {.key = "lsize",
     .summary = " transfer files that size less than Num KB",
     .syntax = "--{0} number",
     .examples = "files smaller than 1 MB:\n"
                 "    --{0} 1024\n"
                 "    \n"
                 "empty parameter clears the filter:\n"
                 "    --{0}"},
    {.key = "gsize",
     .summary = " transfer files large than Num KB",
     .syntax = "--{0} number",
     .examples = "files larger than 100 KB:\n"
                 "    --{0} 100\n"
                 "    \n"
                 "empty parameter clears the filter:\n"
                 "    --{0}"},
    {.key = "lmodified",
     .summary = " transfer the files modified within Num minutes",
     .syntax = "--{0} number",
     .examples = "files modified within the last 30 minutes:\n"
                 "    --{0} 30\n"
                 "    \n"
                 "empty parameter clears the filter:\n"
                 "    --{0}"},
    {.key = "gmodified",
     .summary = " transfer the files modified more than Num minutes ago",
     .syntax = "--{0} number",
     .examples = "files older than one day:\n"
                 "    --{0} 1440\n"
                 "    \n"
                 "empty parameter clears the filter:\n"
                 "    --{0}"},
    {.key = "maxfiles",
     .summary = " Specifies the maximum number of files to find. ",
     .syntax = "--{0} number",
     .examples = "find at most 10 files:\n"
                 "    --{0} 10\n"
                 "    \n"
                 "empty parameter clears the limit:\n"
                 "    --{0}"},
    {.key = "maxfolders",
     .summary = " Specifies the maximum number of folders to find. ",
     .syntax = "--{0} number",
     .examples = "find at most 10 folders:\n"
                 "    --{0} 10\n"
                 "    \n"
                 "empty parameter clears the limit:\n"
                 "    --{0}"},
    {.key = "name",
     .summary = " specify a name",
     .syntax = "--{0} name",
     .examples = "a name with a blank:\n"
                 "    --{0} \"my file.txt\"\n"
                 "    \n"
                 "a plain name:\n"
                 "    --{0} myfile.txt"},
    {.key = "src", .summary = " specify source name", .syntax = "--{0} source"},
    {.key = "dst", .summary = " specify destination name", .syntax = "--{0} destination"},
    {.key = "justprint",
     .summary = " print all matched files, but not actually transfer them",
     .syntax = "--{0} <false or true>",
     .examples = "example:\n"
                 "    --{0} true"},
    // A negative value needs "=": as a token of its own "-1" would read as
    // one-character argument names and leave keepalive unchanged.
    {.key = "keepalive",
     .summary = " maintain an active connection(default 30 seconds)",
     .syntax = "--{0} <interval seconds to sending a command>",
     .examples = "disable the keep-alive:\n"
                 "    --{0}=-1\n"
                 "    \n"
                 "send a command every 40 seconds:\n"
                 "    --{0} 40"},
    {.key = "debug",
     .summary = " how much information they should display?",
     .syntax = "--{0} [0,1,2,3]",
     .examples = "no debug information:\n"
                 "    --{0} 0\n"
                 "    \n"
                 "display help information:\n"
                 "    --{0} 1\n"
                 "    \n"
                 "display all responses received from the server:\n"
                 "    --{0} 2\n"
                 "    \n"
                 "display all commands sent to the server:\n"
                 "    --{0} 3"},
    {.key = "encoding",
     .summary = "choose the encoding of ftp server",
     .syntax = "--{0} <codepage>",
     .examples = "ANSI code page of the system (default):\n"
                 "    --{0} 0\n"
                 "    \n"
                 "UTF-8 (detected automatically):\n"
                 "    --{0} 65001\n"
                 "    \n"
                 "Russian:\n"
                 "    --{0} 1251\n"
                 "    \n"
                 "Japanese:\n"
                 "    --{0} 932\n"
                 "    \n"
                 "Simplified Chinese:\n"
                 "    --{0} 936\n"
                 "    \n"
                 "other code page identifiers:\n"
                 "    https://learn.microsoft.com/windows/win32/intl/code-page-identifiers"},
    {.key = "compress",
     .summary = "compress files to ZIP for uploads",
     .syntax = "--{0} <filename.zip>",
     .examples = "example:\n"
                 "    --{0} files.zip"},
    {.key = "timeout",
     .summary = " seconds to wait for the server before a command fails (default 60)",
     .syntax = "--{0} seconds",
     .examples = "wait up to two minutes:\n"
                 "    --{0} 120"},
    {.key = "errorlevel",
     .summary = " exit status for scripts: 1 after any failure, 2 after an interrupt",
     .syntax = "--{0} <true or false>",
     .examples = "always exit with status 0 (default):\n"
                 "    --{0} false\n"
                 "    \n"
                 "exit with 1 when any command failed, 2 when stopped by a signal:\n"
                 "    --{0} true"},
    {.key = "tls",
     .summary = " protect the connection with TLS: none (plain FTP, default), explicit or implicit",
     .syntax = "--{0} <none, explicit or implicit>",
     .examples = "AUTH TLS before the login, then every listing and transfer protected:\n"
                 "    --{0} explicit\n"
                 "    \n"
                 "TLS from the first byte, usually on port 990:\n"
                 "    --{0} implicit --port 990"},
    {.key = "verify",
     .summary = " check the server's TLS certificate: a trusted authority and the host name (default true)",
     .syntax = "--{0} <false or true>",
     .examples = "accept any certificate, such as a self-signed one (a warning says so):\n"
                 "    --{0} false"},
    {.key = "cafile",
     .summary = " a certificate file (PEM) trusted besides the system's authorities",
     .syntax = "--{0} <filename>",
     .examples = "trust the self-signed certificate of a server:\n"
                 "    --{0} /etc/ssl/certs/myserver.pem\n"
                 "    \n"
                 "empty parameter clears it:\n"
                 "    --{0}"},
    {.key = "parallel",
     .summary = " sessions that mget, mput and mdele spread their files over, 1 to 8 (default 1)",
     .syntax = "--{0} sessions",
     .examples = "transfer four files at a time:\n"
                 "    --{0} 4"},
    {.key = "retries",
     .summary = " how many more times a transfer, a listing or a removal is tried after a failure that may pass "
                "(a busy server, a lost connection, a timeout), 0 to 10 (default 3)",
     .syntax = "--{0} count",
     .examples = "try each file up to six times:\n"
                 "    --{0} 5\n"
                 "    \n"
                 "never try again:\n"
                 "    --{0} 0"},
    {.key = "retrywait",
     .summary = " seconds before the first retry, 1 to 600 (default 2); each further wait doubles, up to 60 seconds",
     .syntax = "--{0} seconds",
     .examples = "wait 10, 20, 40 seconds before the retries:\n"
                 "    --{0} 10 --retries 3"},
    {.key = "resume",
     .summary = " a download that still fails after its retries keeps what arrived in a hidden part, and the next "
                "run continues it; uploads go through a temporary name that a retry continues (default false)",
     .syntax = "--{0} <false or true>",
     .examples = "continue cut downloads in the next run:\n"
                 "    --{0} true"},
    {.key = "keeptime",
     .summary = " transferred files keep their modification time (default false)",
     .syntax = "--{0} <false or true>",
     .examples = "downloads carry the server's time, uploads their local time where the server can set it:\n"
                 "    --{0} true\n"
                 "    \n"
                 "downloaded files carry the time of the download (default):\n"
                 "    --{0} false"},
    {.key = "netrc",
     .summary = " login takes a missing username and password from the netrc file (default false)",
     .syntax = "--{0} <true or false>",
     .examples = "the host's entry in $NETRC, else ~/.netrc; refused when others can read the file:\n"
                 "    --{0} true"},
    {.key = "direction",
     .summary = " which side mirror makes equal to the other: down, the local folder to the remote tree (default), "
                "or up, the remote tree to the local folder",
     .syntax = "--{0} <down or up>",
     .examples = "make the server's folder equal to the local one:\n"
                 "    mirror --{0} up --local /srv/site --remote /www"},
    {.key = "delete",
     .summary = " mirror also removes the files and folders the source no longer has (default false)",
     .syntax = "--{0} <false or true>",
     .examples = "remove local files deleted on the server, at most 100 in one run:\n"
                 "    mirror --{0} true --maxdelete 100"},
    {.key = "maxdelete",
     .summary = " the most files one mirror may delete; a run that would delete more deletes nothing and fails "
                "(default: half of the target's files)",
     .syntax = "--{0} count",
     .examples = "allow a run to empty the target:\n"
                 "    --{0} 1000000\n"
                 "    \n"
                 "empty parameter returns to the default:\n"
                 "    --{0}"},
    {.key = "journal",
     .summary = " a file to which mget, mput, mdele, rmd and mirror append one JSON record per action",
     .syntax = "--{0} <filename>",
     .examples = "keep an audit record of a nightly job:\n"
                 "    --{0} /var/log/dorvan-journal.jsonl\n"
                 "    \n"
                 "empty parameter stops the journal:\n"
                 "    --{0}"},
    {.key = "checksum",
     .summary = " check each binary transfer against the server's checksum of the file (default auto)",
     .syntax = "--{0} <auto, true or false>",
     .examples = "fail every transfer the server cannot prove (auto checks where it offers a checksum):\n"
                 "    --{0} true"},
    {.key = "ratelimit",
     .summary = " KiB a second that the file transfers of a command move together (default 0, no limit)",
     .syntax = "--{0} <KiB per second>",
     .examples = "at most 512 KiB a second for all sessions and both directions, listings not counted:\n"
                 "    --{0} 512"},
};

}  // namespace

const HelpTable& argumentHelpTable() {
    static const HelpTable table = formatHelpTable(argumentSources, NameFill::unlessFilled);
    return table;
}

std::optional<std::string> argumentHelp(std::string_view name) {
    if (const std::string* text = argumentHelpTable().find(name)) return *text;
    return std::nullopt;
}

}  // namespace dorvan
