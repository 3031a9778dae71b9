#pragma once
// The one way sessions are opened: the command's own session in two steps
// (its messages come between them), any other session in one.
#include "ftp/ftp_lib.h"
#include "ftp/session_recipe.h"

namespace dorvan {

// Connects to the recipe's host and port with its TLS and timeout.
bool connectSession(FtpLib& session, const SessionRecipe& recipe);
// Logs in with the recipe's credentials and data connection mode.
bool logInSession(FtpLib& session, const SessionRecipe& recipe);
// Both, then UTF-8 names where the server offers them (as a login does) and
// the recipe's folder, checked with PWD. False with the session's
// lastResponse saying why.
bool openSession(FtpLib& session, const SessionRecipe& recipe);

}  // namespace dorvan
