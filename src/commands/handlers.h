#pragma once
// Command handlers: each reads the Settings record and returns its success.
// A handler runs only once what its verb's row asks for holds (see the verb
// table): the login precondition, its folders, its required arguments; the
// shell clears the row's one-shot settings when the handler ends.
#include <functional>
#include <stdexcept>

namespace dorvan::handlers {

// Ends a command with an error that the shell reports together with the
// command line (and, at the prompt, by ending the session).
struct CommandError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The precondition a verb needs before its handler runs.
enum class Needs { nothing, login };
// Connects and logs in with the current settings as far as `needs` asks,
// then runs the action; false after reporting why not. With a login, other
// threads keep off the session until the action is done.
bool run(Needs needs, const std::function<bool()>& action);

bool connect();
bool login();  // connects first when needed; true when already logged in
bool close();
bool quit();
bool syst();
bool literal();
bool response();
bool cwd();
bool cdup();
bool pwd();
bool get();
bool put();
bool dele();
bool mkd();
bool rename();
bool size();
bool mdtm();
bool list();
bool nlst();
bool rmd();
bool mdele();
bool mget();
bool mput();
bool mirror();

}  // namespace dorvan::handlers
