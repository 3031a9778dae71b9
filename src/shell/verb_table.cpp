#include "shell/verb_table.h"

#include "commands/handlers.h"
#include "settings/markdown_export.h"
#include "settings/product.h"
#include "settings/settings.h"
#include "settings/usage.h"

namespace dorvan {
namespace {

namespace h = handlers;

constexpr Verb verbs[] = {
    {.name = "connect", .action = h::connect},
    {.name = "open", .action = h::connect},
    {.name = "login", .action = h::login},
    {.name = "close", .action = h::close},
    {.name = "disconnect", .action = h::close},
    {.name = "quit", .action = h::quit},
    {.name = "bye", .action = h::quit},
    {.name = "exit", .action = h::quit},
    {.name = "syst", .action = h::syst},
    {.name = "systype", .action = h::syst},
    {.name = "literal", .action = h::literal},
    {.name = "quote", .action = h::literal},
    {.name = "response", .action = h::response},
    {.name = "cwd", .action = h::cwd},
    {.name = "cd", .action = h::cwd},
    {.name = "cdup", .action = h::cdup},
    {.name = "pwd", .action = h::pwd},
    {.name = "get", .action = h::get},
    {.name = "recv", .action = h::get},
    {.name = "put", .action = h::put},
    {.name = "send", .action = h::put},
    {.name = "dele", .action = h::dele},
    {.name = "delete", .action = h::dele},
    {.name = "mkd", .action = h::mkd},
    {.name = "mkdir", .action = h::mkd},
    {.name = "rename", .action = h::rename},
    {.name = "size", .action = h::size},
    {.name = "mdtm", .action = h::mdtm},
    {.name = "list", .action = h::list},
    {.name = "ls", .action = h::list},
    {.name = "dir", .action = h::list},
    {.name = "nlst", .action = h::nlst},
    {.name = "rmd", .action = h::notAvailable},
    {.name = "rmdir", .action = h::notAvailable},
    {.name = "mdele", .action = h::notAvailable},
    {.name = "mdelete", .action = h::notAvailable},
    {.name = "mget", .action = h::notAvailable},
    {.name = "mput", .action = h::notAvailable},
    {.name = "help", .action = printUsage},
    {.name = "?", .action = printUsage},
    {.name = "generate", .action = exportMarkdown},
    {.name = "status", .action = printStatus},
    {.name = "home", .action = [] { return config().openHomePage(); }},
    {.name = "man", .action = [] { return config().openManualPage(); }},
    {.name = "log", .action = [] { return config().openLog(); }},
    {.name = "set", .action = [] { return true; }},
};

}  // namespace

VerbAction findVerb(std::string_view lowerCaseVerb) {
    for (const Verb& verb : verbs)
        if (verb.name == lowerCaseVerb) return verb.action;
    return nullptr;
}

std::vector<std::string_view> verbNames() {
    std::vector<std::string_view> names;
    for (const Verb& verb : verbs) names.push_back(verb.name);
    return names;
}

}  // namespace dorvan
