#pragma once
// Command handlers: each reads the Settings record and returns its success.

namespace dorvan::handlers {

bool connect();
bool login();
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
bool mget();
bool mput();
// Commands whose handlers are not built yet: they do nothing and fail.
bool notAvailable();

}  // namespace dorvan::handlers
