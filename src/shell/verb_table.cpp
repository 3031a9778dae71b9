#include "shell/verb_table.h"

#include "settings/markdown_export.h"
#include "settings/product.h"
#include "settings/usage.h"
#include "shell/status.h"

namespace dorvan {
namespace {

namespace h = handlers;
using S = Settings;
constexpr handlers::Needs login = handlers::Needs::login;
constexpr HelpAfterMissing atDebugOne = HelpAfterMissing::atDebugOne;

constexpr std::string_view localFolderMissing = "{} failure: local folder for FTP transfer not specified";

constexpr Verb verbs[] = {
    {.name = "connect", .aliases = {"open"}, .action = h::connect, .mainArgument = "host"},
    {.name = "login", .action = h::login, .mainArgument = "username"},
    {.name = "disconnect", .aliases = {"close"}, .action = h::close},
    {.name = "quit", .aliases = {"bye", "exit"}, .action = h::quit},
    {.name = "syst", .aliases = {"systype"}, .action = h::syst, .needs = login},
    {.name = "literal",
     .aliases = {"quote"},
     .action = h::literal,
     .needs = login,
     .required = {{{.field = &S::name, .missing = "{} failure: command name not specified"}}},
     .oneShot = {&S::name},
     .mainArgument = "name"},
    {.name = "response", .action = h::response, .needs = login},
    {.name = "cwd", .aliases = {"cd"}, .action = h::cwd, .needs = login, .oneShot = {&S::name}, .mainArgument = "name"},
    {.name = "cdup", .action = h::cdup, .needs = login},
    {.name = "pwd", .action = h::pwd, .needs = login},
    // get, put and mput check their names (or scan) before their one-shot
    // settings count as used, and clear them themselves.
    {.name = "get",
     .aliases = {"recv"},
     .action = h::get,
     .needs = login,
     .needsItsFolders = true,
     .required = {{{.field = &S::local, .missing = localFolderMissing, .help = atDebugOne},
                   {.field = &S::src,
                    .missing = "{} failure: source file for FTP transfer not specified",
                    .help = atDebugOne}}},
     .mainArgument = "src"},
    {.name = "put",
     .aliases = {"send"},
     .action = h::put,
     .needs = login,
     .needsItsFolders = true,
     .required =
         {{{.field = &S::src, .missing = " {} failure: source file to transfer not specified", .help = atDebugOne}}},
     .mainArgument = "src"},
    {.name = "dele",
     .aliases = {"delete"},
     .action = h::dele,
     .needs = login,
     .required = {{{.field = &S::name, .missing = " {} failure: file name not specified", .help = atDebugOne}}},
     .oneShot = {&S::name},
     .mainArgument = "name"},
    {.name = "mkd",
     .aliases = {"mkdir"},
     .action = h::mkd,
     .needs = login,
     .required = {{{.field = &S::name, .missing = "{} failure: diretory name not specified", .help = atDebugOne}}},
     .oneShot = {&S::name},
     .mainArgument = "name"},
    {.name = "rename",
     .action = h::rename,
     .needs = login,
     .required = {{{.field = &S::src, .missing = " {} failure: source file for rename not specified"},
                   {.field = &S::dst, .missing = " {} failure: destination file for rename not specified"}}},
     .oneShot = {&S::src, &S::dst},
     .mainArgument = "src"},
    {.name = "size",
     .action = h::size,
     .needs = login,
     .required = {{{.field = &S::name, .missing = " {} failure: file name for determine the size not specified"}}},
     .oneShot = {&S::name},
     .mainArgument = "name"},
    {.name = "mdtm",
     .action = h::mdtm,
     .needs = login,
     .required = {{{.field = &S::name,
                    .missing = "{} failure: file name for determine the modification date not specified"}}},
     .oneShot = {&S::name},
     .mainArgument = "name"},
    {.name = "list",
     .aliases = {"ls", "dir"},
     .action = h::list,
     .needs = login,
     .oneShot = {&S::name},
     .mainArgument = "name"},
    {.name = "nlst", .action = h::nlst, .needs = login, .oneShot = {&S::name}, .mainArgument = "name"},
    {.name = "rmd",
     .aliases = {"rmdir"},
     .action = h::rmd,
     .needs = login,
     .needsItsFolders = true,
     .required = {{{.field = &S::name, .missing = " {} failure, directory name for remove not specified"}}},
     .oneShot = {&S::name},
     .mainArgument = "name"},
    {.name = "mdele",
     .aliases = {"mdelete"},
     .action = h::mdele,
     .needs = login,
     .needsItsFolders = true,
     .mainArgument = "remote"},
    {.name = "mget",
     .action = h::mget,
     .needs = login,
     .needsItsFolders = true,
     .required = {{{.field = &S::local, .missing = localFolderMissing}}},
     .mainArgument = "remote"},
    {.name = "mput",
     .action = h::mput,
     .needs = login,
     .needsItsFolders = true,
     .required = {{{.field = &S::local, .missing = localFolderMissing}}},
     .mainArgument = "local"},
    {.name = "mirror",
     .action = h::mirror,
     .needs = login,
     .needsItsFolders = true,
     .makesItsFolders = true,
     .required = {{{.field = &S::local, .missing = localFolderMissing}}}},
    {.name = "help", .aliases = {"?"}, .action = printUsage},
    {.name = "generate",
     .action =
         [] {
             std::string error;
             if (!exportMarkdown(&error)) throw h::CommandError(error);
             return true;
         },
     .hidden = true},
    {.name = "status", .action = printStatus},
    {.name = "home", .action = [] { return config().openHomePage(); }},
    {.name = "man", .action = [] { return config().openManualPage(); }},
    {.name = "log", .action = [] { return config().openLog(); }},
    {.name = "set", .action = [] { return true; }},
};

}  // namespace

std::span<const Verb> verbRows() { return verbs; }

const Verb* findVerb(std::string_view lowerCaseVerb) {
    if (lowerCaseVerb.empty()) return nullptr;  // an empty alias is no alias
    for (const Verb& verb : verbs)
        if (verb.name == lowerCaseVerb || verb.aliases[0] == lowerCaseVerb || verb.aliases[1] == lowerCaseVerb)
            return &verb;
    return nullptr;
}

std::vector<std::string_view> verbNames() {
    std::vector<std::string_view> names;
    for (const Verb& verb : verbs)
        for (std::string_view name : {verb.name, verb.aliases[0], verb.aliases[1]})
            if (!name.empty()) names.push_back(name);
    return names;
}

}  // namespace dorvan
