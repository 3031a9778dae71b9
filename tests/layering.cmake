cmake_minimum_required(VERSION 3.20)
# Fails when a file under src/ includes a header of a layer above its own, or
# when code outside platform/ talks to the OS.
# Layers, lowest first: text <- platform <- ftp, zip <- settings <- commands <- shell.
set(allowed_text "text")
set(allowed_platform "platform;text")
set(allowed_ftp "ftp;platform;text")
set(allowed_zip "zip;platform;text")
set(allowed_settings "settings;ftp;platform;text")
set(allowed_commands "commands;settings;zip;ftp;platform;text")
set(allowed_shell "shell;commands;settings;zip;ftp;platform;text")

# Only platform/ talks to the OS: the others include no system header of
# POSIX or Windows and have no files of one OS.
set(os_headers "unistd|windows|fcntl|poll|dirent|pwd|termios|iconv|langinfo|spawn|histedit|pthread|netdb|sys/[a-z]+|netinet/[a-z]+|arpa/[a-z]+|winsock2|ws2tcpip|shlobj|shellapi|objbase")

set(wrong "")
foreach(layer text platform ftp zip settings commands shell)
  file(GLOB files ${SOURCE_DIR}/src/${layer}/*)
  foreach(f ${files})
    if(NOT layer STREQUAL "platform")
      file(STRINGS ${f} system REGEX "^#include <(${os_headers})\\.h>")
      if(system OR f MATCHES "_(posix|win)\\.cpp$|_os\\.h$")
        string(APPEND wrong "\n  ${f}: OS code outside platform/ ${system}")
      endif()
    endif()
    file(STRINGS ${f} includes REGEX "^#include \"[a-z_]+/")
    foreach(line ${includes})
      string(REGEX MATCH "\"([a-z_]+)/" _ "${line}")
      if(NOT CMAKE_MATCH_1 IN_LIST allowed_${layer})
        string(APPEND wrong "\n  ${f}: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()
if(wrong)
  message(FATAL_ERROR "includes against the layering:${wrong}")
endif()
