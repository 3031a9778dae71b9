# The Debian package (cpack -G DEB in the build folder; scripts/package.sh):
# dorvan_<version>-1_amd64.deb with the stripped binary, the manual page, the
# README (compressed), the Debian changelog and the copyright file; its
# dependencies come from the binary (dpkg-shlibdeps). The version is the one
# the banner shows. `cmake --install` installs the same files.
file(STRINGS ${CMAKE_SOURCE_DIR}/src/settings/product.cpp banner REGEX " Dorvan [0-9.]+ - ")
string(REGEX MATCH " Dorvan ([0-9.]+) - " banner "${banner}")
if(NOT CMAKE_MATCH_1)
  message(FATAL_ERROR "no version in the banner of src/settings/product.cpp")
endif()

# Debian wants documentation compressed with gzip -9n (no name, no time):
# each file is copied into packaged/ and compressed there.
set(packaged ${CMAKE_BINARY_DIR}/packaged)
set(packaged_files)
foreach(source ${CMAKE_BINARY_DIR}/dorvan.1 ${CMAKE_SOURCE_DIR}/README.md
               ${CMAKE_SOURCE_DIR}/packaging/changelog.Debian)
  get_filename_component(name ${source} NAME)
  add_custom_command(OUTPUT ${packaged}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${packaged}/${name}
    COMMAND gzip -9nf ${packaged}/${name}
    DEPENDS ${source} VERBATIM)
  list(APPEND packaged_files ${packaged}/${name}.gz)
endforeach()
add_custom_target(packaged_docs ALL DEPENDS ${packaged_files})

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(FILES ${packaged}/dorvan.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaged}/README.md.gz ${packaged}/changelog.Debian.gz ${CMAKE_SOURCE_DIR}/packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME dorvan)

set(CPACK_PACKAGE_NAME dorvan)
set(CPACK_PACKAGE_VERSION ${CMAKE_MATCH_1})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_PACKAGE_VENDOR Tolvane)
set(CPACK_PACKAGE_CONTACT "Tolvane <dorvan@tolvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "scriptable console FTP client for batch transfers")
# The long description (below the summary): lines of the control file, each
# begun with a blank there; "." stands for an empty line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Dorvan is an FTP and FTPS client for people, scripts and nightly jobs. It\n"
    "is driven by commands of one form, a verb followed by pairs of an argument\n"
    "name and a value, typed at its prompt or read from a command file.\n"
    ".\n"
    "The batch commands mget, mput and mdele walk remote or local folder trees\n"
    "and pick files by wildcard, size, age and count, with a dry run, a\n"
    "replace-only-when-changed mode, ZIP packing of uploads, parallel sessions,\n"
    "retries with reconnects and resumed downloads. Logins can come from a\n"
    "netrc file, every result goes to a log file, and the exit status tells a\n"
    "scheduler whether a command failed.")
string(JOIN "" CPACK_DEBIAN_PACKAGE_DESCRIPTION ${CPACK_DEBIAN_PACKAGE_DESCRIPTION})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://dorvan.tolvane.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS ca-certificates)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
include(CPack)
