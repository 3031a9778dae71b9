# Cross-build for Windows x64 with Debian's mingw-w64 (posix threads):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#         -DOPENSSL_ROOT_DIR=$(scripts/openssl-mingw.sh)
#   cmake --build build-win --target dorvan     -> build-win/dorvan.exe
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(DORVAN_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${DORVAN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DORVAN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${DORVAN_MINGW_PREFIX}-windres)
# Libraries come from the mingw-w64 packages and the cross-built OpenSSL only.
set(CMAKE_FIND_ROOT_PATH /usr/${DORVAN_MINGW_PREFIX} ${OPENSSL_ROOT_DIR})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# One self-contained .exe: the C++ runtime, winpthreads and zlib linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(ZLIB_USE_STATIC_LIBS ON)
