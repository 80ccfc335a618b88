# What `cmake --install` puts under the prefix: quorvel in bin/, its manual page (gzipped,
# as Debian wants) in share/man/man1 and its bash completion; and the Debian package of
# the same files that `cpack -G DEB` makes.
include(GNUInstallDirs)

set(QUORVEL_MANPAGE_GZ ${CMAKE_BINARY_DIR}/doc/quorvel.1.gz)
add_custom_command(
  OUTPUT ${QUORVEL_MANPAGE_GZ}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
  COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/doc/quorvel.1 > ${QUORVEL_MANPAGE_GZ}
  DEPENDS ${PROJECT_SOURCE_DIR}/doc/quorvel.1
  COMMENT "Compressing the manual page")
add_custom_target(quorvel_manpage ALL DEPENDS ${QUORVEL_MANPAGE_GZ})

install(TARGETS quorvel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${QUORVEL_MANPAGE_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/completion/quorvel.bash
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions RENAME quorvel)

set(QUORVEL_MAINTAINER "Quorvel Project <quorvel@example.org>" CACHE STRING
    "The Debian package's maintainer, as \"Name <address>\"")
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "Quorvel Project")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "make, list, test and extract Quorvel self-extracting archives")
set(CPACK_PACKAGE_DESCRIPTION "quorvel packs files and folders behind a 20480-byte Expander, a native Linux
or a 32-bit Windows console program, into one file that unpacks itself when run. It also
lists, tests and extracts such files without running them.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUORVEL_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# quorvel links the C++ runtime statically, so the C library is its only dependency:
# dpkg-shlibdeps finds the version its symbols need; without it, the version built against.
find_program(QUORVEL_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(QUORVEL_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  execute_process(COMMAND getconf GNU_LIBC_VERSION OUTPUT_VARIABLE glibc OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REGEX REPLACE "^glibc " "" glibc "${glibc}")
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= ${glibc})")
endif()
include(CPack)
