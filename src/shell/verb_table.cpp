#include "shell/verb_table.h"

#include "commands/handlers.h"
#include "settings/markdown_export.h"
#include "settings/product.h"
#include "settings/settings.h"
#include "settings/usage.h"
#include "shell/status.h"

namespace dorvan {
namespace {

namespace h = handlers;
constexpr handlers::Needs login = handlers::Needs::login;

constexpr Verb verbs[] = {
    {.name = "connect", .action = h::connect},
    {.name = "open", .action = h::connect},
    {.name = "login", .action = h::login},
    {.name = "close", .action = h::close},
    {.name = "disconnect", .action = h::close},
    {.name = "quit", .action = h::quit},
    {.name = "bye", .action = h::quit},
    {.name = "exit", .action = h::quit},
    {.name = "syst", .action = h::syst, .needs = login},
    {.name = "systype", .action = h::syst, .needs = login},
    {.name = "literal", .action = h::literal, .needs = login},
    {.name = "quote", .action = h::literal, .needs = login},
    {.name = "response", .action = h::response, .needs = login},
    {.name = "cwd", .action = h::cwd, .needs = login},
    {.name = "cd", .action = h::cwd, .needs = login},
    {.name = "cdup", .action = h::cdup, .needs = login},
    {.name = "pwd", .action = h::pwd, .needs = login},
    {.name = "get", .action = h::get, .needs = login, .needsItsFolders = true},
    {.name = "recv", .action = h::get, .needs = login, .needsItsFolders = true},
    {.name = "put", .action = h::put, .needs = login, .needsItsFolders = true},
    {.name = "send", .action = h::put, .needs = login, .needsItsFolders = true},
    {.name = "dele", .action = h::dele, .needs = login},
    {.name = "delete", .action = h::dele, .needs = login},
    {.name = "mkd", .action = h::mkd, .needs = login},
    {.name = "mkdir", .action = h::mkd, .needs = login},
    {.name = "rename", .action = h::rename, .needs = login},
    {.name = "size", .action = h::size, .needs = login},
    {.name = "mdtm", .action = h::mdtm, .needs = login},
    {.name = "list", .action = h::list, .needs = login},
    {.name = "ls", .action = h::list, .needs = login},
    {.name = "dir", .action = h::list, .needs = login},
    {.name = "nlst", .action = h::nlst, .needs = login},
    {.name = "rmd", .action = h::rmd, .needs = login, .needsItsFolders = true},
    {.name = "rmdir", .action = h::rmd, .needs = login, .needsItsFolders = true},
    {.name = "mdele", .action = h::mdele, .needs = login, .needsItsFolders = true},
    {.name = "mdelete", .action = h::mdele, .needs = login, .needsItsFolders = true},
    {.name = "mget", .action = h::mget, .needs = login, .needsItsFolders = true},
    {.name = "mput", .action = h::mput, .needs = login, .needsItsFolders = true},
    {.name = "help", .action = printUsage},
    {.name = "?", .action = printUsage},
    {.name = "generate",
     .action =
         [] {
             std::string error;
             if (!exportMarkdown(&error)) throw h::CommandError(error);
             return true;
         }},
    {.name = "status", .action = printStatus},
    {.name = "home", .action = [] { return config().openHomePage(); }},
    {.name = "man", .action = [] { return config().openManualPage(); }},
    {.name = "log", .action = [] { return config().openLog(); }},
    {.name = "set", .action = [] { return true; }},
};

}  // namespace

const Verb* findVerb(std::string_view lowerCaseVerb) {
    for (const Verb& verb : verbs)
        if (verb.name == lowerCaseVerb) return &verb;
    return nullptr;
}

std::vector<std::string_view> verbNames() {
    std::vector<std::string_view> names;
    for (const Verb& verb : verbs) names.push_back(verb.name);
    return names;
}

}  // namespace dorvan
