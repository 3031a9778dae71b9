# ftplib: the library from libftp-dev, linked statically, with two additions
# made at link time (both are explained in src/ftp/ftp_lib.cpp):
# - ftplib keeps its reply reader `readresp` private. A copy of libftp.a made
#   here publishes it as `ftplib_readresp`, so the session can send commands
#   of its own and still read every reply through the library's buffer.
# - connect, read and write are wrapped (--wrap), so the library's blocking
#   calls on the control connection obey the session's deadline and abort
#   signal (src/platform/wrapped_sockets.cpp). The --undefined options make
#   the linker take the wrappers from dorvan_core whatever the link order.
find_path(FTPLIB_INCLUDE_DIR ftplib.h REQUIRED)
find_library(FTPLIB_STATIC_LIBRARY NAMES libftp.a REQUIRED)
find_program(FTPLIB_NM NAMES nm REQUIRED)
find_program(FTPLIB_OBJCOPY NAMES objcopy REQUIRED)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${FTPLIB_STATIC_LIBRARY})

set(FTPLIB_OPEN_LIBRARY ${CMAKE_BINARY_DIR}/ftplib/libftp_open.a)
execute_process(COMMAND ${FTPLIB_NM} ${FTPLIB_STATIC_LIBRARY} OUTPUT_VARIABLE ftplib_symbols ERROR_QUIET)
if(ftplib_symbols MATCHES "[0-9a-f]+ t readresp\n")
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/ftplib)
  execute_process(
    COMMAND ${FTPLIB_OBJCOPY} --redefine-sym readresp=ftplib_readresp --globalize-symbol=ftplib_readresp
            ${FTPLIB_STATIC_LIBRARY} ${FTPLIB_OPEN_LIBRARY}
    RESULT_VARIABLE ftplib_objcopy_result)
endif()
if(NOT ftplib_objcopy_result STREQUAL "0")
  # The session then reports that it cannot send commands.
  message(WARNING "libftp.a has no private readresp to publish; FTP commands will fail at run time")
  set(FTPLIB_OPEN_LIBRARY ${FTPLIB_STATIC_LIBRARY})
endif()

# Debian builds libftp.a position-independent (PC-relative relocations only),
# so it links into our PIE executables; an archive with absolute relocations
# would not, and the executables are then linked as non-PIE instead.
find_program(FTPLIB_READELF NAMES readelf REQUIRED)
execute_process(COMMAND ${FTPLIB_READELF} -r ${FTPLIB_STATIC_LIBRARY} OUTPUT_VARIABLE ftplib_relocations ERROR_QUIET)
string(REGEX MATCH "R_X86_64_32S? " ftplib_absolute "${ftplib_relocations}")

add_library(ftplib_static INTERFACE)
target_include_directories(ftplib_static INTERFACE ${FTPLIB_INCLUDE_DIR})
target_link_libraries(ftplib_static INTERFACE ${FTPLIB_OPEN_LIBRARY})
target_link_options(ftplib_static INTERFACE
  "LINKER:--wrap=connect,--wrap=read,--wrap=write"
  "LINKER:--undefined=__wrap_connect,--undefined=__wrap_read,--undefined=__wrap_write")
if(ftplib_absolute)
  message(STATUS "libftp.a is not position-independent: linking executables without PIE")
  target_link_options(ftplib_static INTERFACE -no-pie)
endif()
