# ftplib: the library from libftp-dev, linked statically.
find_path(FTPLIB_INCLUDE_DIR ftplib.h REQUIRED)
find_library(FTPLIB_STATIC_LIBRARY NAMES libftp.a REQUIRED)
add_library(ftplib_static INTERFACE)
target_include_directories(ftplib_static INTERFACE ${FTPLIB_INCLUDE_DIR})
target_link_libraries(ftplib_static INTERFACE ${FTPLIB_STATIC_LIBRARY})
