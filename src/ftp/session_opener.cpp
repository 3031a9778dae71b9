#include "ftp/session_opener.h"

namespace dorvan {

bool connectSession(FtpLib& session, const SessionRecipe& recipe) {
    session.setTimeout(recipe.timeout);
    session.setTls(recipe.tls, recipe.trust);
    return session.connect(recipe.host, recipe.port);
}

bool logInSession(FtpLib& session, const SessionRecipe& recipe) {
    session.setTimeout(recipe.timeout);
    if (recipe.passive)
        session.setPassive();
    else
        session.setActive();
    return session.login(recipe.user, recipe.password);
}

bool openSession(FtpLib& session, const SessionRecipe& recipe) {
    if (!connectSession(session, recipe) || !logInSession(session, recipe)) return false;
    session.utf8On();
    if (recipe.folder.empty()) return true;
    std::string error;
    return session.retrace({.folder = recipe.folder}, &error);
}

}  // namespace dorvan
