#pragma once
// Windows only: UTF-8 texts to and from the UTF-16 of the wide API, and the
// texts of error codes.
#include <string>
#include <string_view>

namespace dorvan::platform {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);
// The system's message for GetLastError() (or WSAGetLastError()) values, without its line end.
std::string systemErrorText(unsigned long code);
// A file-system error code as the C library's errno, so that file errors
// read as in the POSIX build ("No such file or directory").
int errnoOf(unsigned long code);
std::string fileErrorText(unsigned long code);  // std::strerror(errnoOf(code))

}  // namespace dorvan::platform
