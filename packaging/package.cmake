# The Debian package (cpack -G DEB in the build folder; scripts/package.sh):
# dorvan_<version>_amd64.deb with the stripped binary, the manual page, the
# README and the copyright file; its dependencies come from the binary
# (dpkg-shlibdeps). The version is the one the banner shows. `cmake --install`
# installs the same files.
file(STRINGS ${CMAKE_SOURCE_DIR}/src/settings/product.cpp banner REGEX " Dorvan [0-9.]+ - ")
string(REGEX MATCH " Dorvan ([0-9.]+) - " banner "${banner}")
if(NOT CMAKE_MATCH_1)
  message(FATAL_ERROR "no version in the banner of src/settings/product.cpp")
endif()

add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/dorvan.1.gz
  COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/dorvan.1
  DEPENDS ${CMAKE_BINARY_DIR}/dorvan.1 VERBATIM)
add_custom_target(manual_page_gz ALL DEPENDS ${CMAKE_BINARY_DIR}/dorvan.1.gz)
install(FILES ${CMAKE_BINARY_DIR}/dorvan.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME dorvan)
set(CPACK_PACKAGE_VERSION ${CMAKE_MATCH_1})
set(CPACK_PACKAGE_VENDOR Tolvane)
set(CPACK_PACKAGE_CONTACT "Tolvane <dorvan@tolvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "scriptable console FTP client for batch transfers")
set(CPACK_PACKAGE_DESCRIPTION
    "Dorvan is driven by verb --name value commands, typed at its prompt or read\n"
    "from command files. mget, mput and mdele walk remote or local trees and pick\n"
    "files by wildcard, size, age and count, with a dry run, overwrite-by-size,\n"
    "ZIP packing of uploads and FTP over TLS.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://dorvan.tolvane.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
include(CPack)
