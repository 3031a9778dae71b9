#include "settings/command_help.h"

#include <vector>

namespace dorvan {
namespace {

// In every template "{0}" is the command's name and "{1}" onward its fills.

// Shared by mget, mput and mdele, whose fills are the same ten arguments.
constexpr std::string_view batchSyntax =
    "{0} [--{1} <true or false>] [--{2} wildcard|wildcard] [--{3} wildcard|wildcard] \n"
    "[--{4} KBs] [--{5} KBs] [--{6} minutes] [--{7} minutes] \n"
    "[--{8} number] [--{9} number] [--{10} <false or true>]...";

const std::vector<std::string_view> batchFills = {"justprint", "include",   "exclude",  "lsize",      "gsize",
                                                  "lmodified", "gmodified", "maxfiles", "maxfolders", "recurse"};

const std::vector<HelpSource> commandSources = {
    {.key = "set",
     .summary = " set one or more arguments",
     .syntax = "{0} [--argument parameters] [--argument paramters]...",
     .examples = "set arguments:\n"
                 "    {0} --{1} ftp.example.com --{2} 21 --{3} myname --{4} mypassword\n"
                 "    \n"
                 "with empty parameter to rest(clear) the filters:\n"
                 "    {0} --{5} --{} --{} --{} --{} --{}",
     .fills = {"host", "port", "username", "password", "include", "exclude", "lsize", "gsize", "lmodified",
               "gmodified"}},
    {.key = "connect",
     .summary = " connect to remote server ",
     .syntax = "{0} [--{1} host] [--{2} port]",
     .examples = "example1:\n"
                 "    {0} --{1} ftp.example.com --{2} 21\n"
                 "    \n"
                 "example2:\n"
                 "    {3} --{1} 192.168.1.20 --{2} 21\n"
                 "    {0}",
     .fills = {"host", "port", "set"}},
    {.key = "login",
     .summary = " login to remote server",
     .syntax = "{0} [--{1} username] [--{2} password]",
     .examples = "example1:\n"
                 "    {0} --{1} myname --{2} mypassword\n"
                 "    \n"
                 "example2:\n"
                 "    {3} --{1} myname --{2} mypassword\n"
                 "    {0}",
     .fills = {"username", "password", "set"}},
    {.key = "disconnect", .summary = " terminate ftp session", .syntax = "{0}"},
    {.key = "quit", .summary = " terminate ftp session and exit", .syntax = "{0}"},
    {.key = "get",
     .summary = " receive one file",
     .syntax = "{0} --{1} sourceFile [--{2} destinationFile] [--{3} <true or false>] [--{4} localFolder]",
     .examples = "save as a same name:\n"
                 "    {0} --{1} \"my customer.txt\" --{4} \"D:\\My Documents\\\"\n"
                 "    \n"
                 "save as a different name :\n"
                 "    {0} --{1} \"my customer.txt\" --{2} MyCustomer.txt --{4} \"D:\\My Documents\\\"",
     .fills = {"src", "dst", "image", "local"}},
    {.key = "put",
     .summary = " send one file",
     .syntax = "{0} --{1} sourceFile [--{2} destinationFile] [--{3} <true or false>] [--{4} localFolder]",
     .examples = "put the file on the server as a same name:\n"
                 "    {0} --{1} myPicture.jpg --{4} \"D:\\My Documents\\\"\n"
                 "    \n"
                 "put the file on the server as a different name:\n"
                 "    {0} --{1} myPicture.jpg --{2} newPicture.jpg --{4} \"D:\\My Documents\\\"",
     .fills = {"src", "dst", "image", "local"}},
    {.key = "dele",
     .summary = " delete a file at remote",
     .syntax = "{0} --{1} file",
     .examples = "example:\n"
                 "    {0} --{1} temp.doc",
     .fills = {"name"}},
    {.key = "mget",
     .summary = " get multiple files with optional filter",
     .syntax = batchSyntax,
     .examples = "print matched .doc files, but not actually download them:\n"
                 "    {0} --{1} true --{2} \"*.doc\"\n"
                 "    \n"
                 "download .txt and .mp3 files, but exclude \"private\" folder:\n"
                 "    {0} --{2} \"*.txt|*.mp3\" --{3} \"*/private/*\" --{10} true\n"
                 "    \n"
                 "download .htm and .html files that modified within 15 minutes:\n"
                 "    {0} --{6} 15 --{2} \"*.htm|*.html\"",
     .fills = batchFills},
    {.key = "mput",
     .summary = " send multiple files with optional filter",
     .syntax = batchSyntax,
     .examples = "print matched .txt files, but not actually upload them:\n"
                 "    {0} --{1} true --{2} \"*.txt\"\n"
                 "    \n"
                 "upload .txt and .mp3 and .doc files, but exclude \"private\" folder:\n"
                 "    {0} --{2} \"*.txt|*.mp3|*.doc\" --{3} \"*/private/*\" --{10} true\n"
                 "    \n"
                 "upload .htm and .html files that modified more than 1 hour (60 minutes) ago:\n"
                 "    {0} --{7} 60 --{2} \"*.htm|*.html\"",
     .fills = batchFills},
    {.key = "mdele",
     .summary = " dele multiple files with optional filter",
     .syntax = batchSyntax,
     .examples = "print all files, but not actually delete them:\n"
                 "    {0} --{1} true --{2} \"*\"\n"
                 "    \n"
                 "delete .temp and .tmp files, exclude \"private\" folder:\n"
                 "    {0} --{2} \"*.temp|*.tmp\" --{3} \"*/private/*\" --{10} true\n"
                 "    \n"
                 "delete .htm and .html files that file size less than 15 KB:\n"
                 "    {0} --{4} 15 --{2} \"*.htm|*.html\"",
     .fills = batchFills},
    {.key = "mirror",
     .summary = " make the local folder equal to the remote tree, or the reverse",
     .syntax = "{0} [--{1} <down or up>] [--{2} <false or true>] [--{3} count] [--{4} <true or false>] \n"
               "[--{5} wildcard|wildcard] [--{6} wildcard|wildcard] [--{7} filename]...",
     .examples = "copy what changed on the server into a local folder, removing what went:\n"
                 "    {0} --remote /pub/site --local /backup/site --{8} true --{2} true\n"
                 "    \n"
                 "show what would be done, and do nothing:\n"
                 "    {0} --{8} true --{2} true --{4} true\n"
                 "    \n"
                 "send the changed local files, four at a time, with a journal:\n"
                 "    {0} --{1} up --{8} true --parallel 4 --{7} mirror.jsonl",
     .fills = {"direction", "delete", "maxdelete", "justprint", "include", "exclude", "journal", "recurse"}},
    {.key = "literal",
     .summary = " send arbitrary ftp command",
     .syntax = "{0} --{1} command --{2} <expected response code>",
     .examples = "send a command to FTP server:\n"
                 "    {0} --{1} SYST --{2} 2\n"
                 "    \n"
                 "send a command with argument:\n"
                 "    {0} --{1} \"MKD TEST\" --{2} 2",
     .fills = {"name", "expresp"}},
    {.key = "list",
     .summary = " list contents of remote directory",
     .syntax = "{0} [--{1} directory]",
     .examples = "list contents of current directory:\n"
                 "    {0}\n"
                 "    \n"
                 "list contents of specified directory:\n"
                 "    {0} --{1} /home/dirname",
     .fills = {"name"}},
    {.key = "nlst",
     .summary = " list file names of remote directory",
     .syntax = "{0} [--{1} directory]",
     .examples = "list contents of current directory:\n"
                 "    {0}\n"
                 "    \n"
                 "list contents of specified direstory:\n"
                 "    {0} --{} /home/dirname",
     .fills = {"name"}},
    {.key = "mkd",
     .summary = " create a directory at server",
     .syntax = "{0} --{1} directory  ",
     .examples = "example:\n"
                 "    {0} --{1} testdir",
     .fills = {"name"}},
    {.key = "pwd", .summary = " print working directory on remote machine", .syntax = "{0}"},
    {.key = "rename",
     .summary = " renames the remote file src to dst",
     .syntax = "{0} --{1} source --{2} destination",
     .examples = "example:\n"
                 "    {0} --{1} myfile.doc --{2} work.doc",
     .fills = {"src", "dst"}},
    {.key = "rmd",
     .summary = " remove directory on the remote machine",
     .syntax = "{0} --{1} directory [--{2} <true or false>] [--{3} <true or false>]",
     .examples = "remove empty directory:\n"
                 "    {0} --{1} tempdir --{2} false\n"
                 "    \n"
                 "just print all matched files and folders, but not actually delete them:\n"
                 "    {0} --{1} \"test dir\" --{2} true --{3} true\n"
                 "    \n"
                 "remove directory and all sub-directories(be careful!):\n"
                 "    {0} --{1} \"test dir\" --{2} true --{3} false",
     .fills = {"name", "recurse", "justprint"}},
    {.key = "size",
     .summary = " determine the size of a remote file",
     .syntax = "{0} --{1} file",
     .examples = "example:\n"
                 "    {0} --{1} myfile.exe",
     .fills = {"name"}},
    {.key = "mdtm",
     .summary = " determine the modification date of a remote file",
     .syntax = "{0} --{1} file",
     .examples = "example:\n"
                 "    {0} --{1} myfile.exe",
     .fills = {"name"}},
    {.key = "syst", .summary = " print the remote system type. e.g. UNIX", .syntax = "{0}"},
    {.key = "cwd",
     .summary = " change path at remote",
     .syntax = "{0} --{1} directory",
     .examples = "example:\n"
                 "    {0} --{1} newDirectory",
     .fills = {"name"}},
    {.key = "cdup", .summary = " move to parent directory at remote", .syntax = "{0}"},
    {.key = "response", .summary = " print the last response received", .syntax = "{0}"},
    {.key = "home", .summary = " open web browser on home page", .syntax = "{0}"},
    {.key = "man", .summary = " open web browser on manual page", .syntax = "{0}"},
    {.key = "log", .summary = " open FTP log file", .syntax = "{0}"},
    {.key = "@cmdfile",
     .summary = " read commands from @textfile",
     .syntax = "{0}",
     .examples = "call from any software:\n"
                 "    {1} @mycmdfile.txt\n"
                 "    \n"
                 "call from any software(full path):\n"
                 "    {1} \"@D:\\my path\\mycmdfile.txt\"\n"
                 "    \n"
                 "Interactive:\n"
                 "    {2}@mycmdfile.txt\n"
                 "    \n"
                 "Interactive(full path):\n"
                 "    {2}\"@D:\\my path\\mycmdfile.txt\"",
     .fills = {"Dorvan", " Dorvan>"}},
    {.key = "status", .summary = " show current status and parameters for debug", .syntax = "{0}"},
    {.key = "help", .summary = " print local help information", .syntax = "{0}"},
};

}  // namespace

const HelpTable& commandHelpTable() {
    static const HelpTable table = formatHelpTable(commandSources, NameFill::always);
    return table;
}

std::string commandHelp(std::string_view name) {
    const std::string* text = commandHelpTable().find(name);
    return text ? *text : std::string();
}

std::string firstLine(std::string_view text) { return std::string(text.substr(0, text.find_first_of("\r\n"))); }

}  // namespace dorvan
