#pragma once
// What a session shows on stderr when asked to: from level 2 the replies,
// TLS parameters and retries, from level 3 also the commands (a password
// masked). One level for every session of the program.
#include <string_view>

#include "platform/tls.h"

namespace dorvan {

void setSessionTraceLevel(int level);
void traceCommand(std::string_view command);
void traceReply(std::string_view line);
// A line of the session's own (with its line end), at the level of replies.
void traceNote(std::string_view line);
void traceTls(std::string_view connection, const platform::TlsConnection& tls);

}  // namespace dorvan
