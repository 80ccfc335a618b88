# What `cmake --install` puts under the prefix: quorvel in bin/ (stripped), its manual page
# (gzipped, as Debian wants) in share/man/man1, its bash completion and the licence; and the
# Debian package that `cpack -G DEB` makes of the same files, with the licence as Debian's
# copyright file and a changelog in its place.
include(GNUInstallDirs)

set(QUORVEL_MAINTAINER "Quorvel Project <quorvel@example.org>" CACHE STRING
    "The Debian package's maintainer, as \"Name <address>\"")

# The package's copyright file in Debian's machine-readable format, made from LICENSE: its
# copyright line, then its terms, each line indented and empty lines as " .".
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
if(NOT licence MATCHES "\nCopyright \\(c\\) ([^\n]*)\n\n(.*[^\n])")
  message(FATAL_ERROR "LICENSE has no line \"Copyright (c) YEAR HOLDER\" followed by the terms")
endif()
set(licence_holder "${CMAKE_MATCH_1}")
set(licence_terms "${CMAKE_MATCH_2}")
string(REPLACE "\n\n" "\n.\n" licence_terms "${licence_terms}")
string(REPLACE "\n" "\n " licence_terms "${licence_terms}")
file(WRITE ${CMAKE_BINARY_DIR}/doc/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: quorvel

Files: *
Copyright: ${licence_holder}
License: Expat
 ${licence_terms}
")

# Its changelog: one entry, for this version (a date from SOURCE_DATE_EPOCH when set).
string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${CMAKE_BINARY_DIR}/doc/changelog
"quorvel (${PROJECT_VERSION}) unstable; urgency=medium

  * Release ${PROJECT_VERSION}.

 -- ${QUORVEL_MAINTAINER}  ${changelog_date}
")

# The gzipped manual page and changelog are built with quorvel, so that whatever built the
# program can install it.
set(QUORVEL_MANPAGE_GZ ${CMAKE_BINARY_DIR}/doc/quorvel.1.gz)
set(QUORVEL_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/doc/changelog.gz)
add_custom_command(
  OUTPUT ${QUORVEL_MANPAGE_GZ} ${QUORVEL_CHANGELOG_GZ}
  COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/doc/quorvel.1 > ${QUORVEL_MANPAGE_GZ}
  COMMAND gzip -9 -n -c ${CMAKE_BINARY_DIR}/doc/changelog > ${QUORVEL_CHANGELOG_GZ}
  DEPENDS ${PROJECT_SOURCE_DIR}/doc/quorvel.1 ${CMAKE_BINARY_DIR}/doc/changelog
  COMMENT "Compressing the manual page and the changelog")
add_custom_target(quorvel_docs ALL DEPENDS ${QUORVEL_MANPAGE_GZ} ${QUORVEL_CHANGELOG_GZ})
add_dependencies(quorvel quorvel_docs)

install(TARGETS quorvel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The program is linked with its symbols; the installed one goes without them.
install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment
  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:quorvel>\"
  COMMAND_ERROR_IS_FATAL ANY)")
install(FILES ${QUORVEL_MANPAGE_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/completion/quorvel.bash
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions RENAME quorvel)
# The licence as LICENSE for `cmake --install`; the package has it as copyright instead,
# which is where Debian looks, and the changelog Debian asks for beside it.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT licence)
install(FILES ${CMAKE_BINARY_DIR}/doc/copyright ${QUORVEL_CHANGELOG_GZ} DESTINATION ${CMAKE_INSTALL_DOCDIR}
        COMPONENT debian EXCLUDE_FROM_ALL)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};quorvel;Unspecified;/" "${CMAKE_BINARY_DIR};quorvel;debian;/")

set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "Quorvel Project")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "make, list, test and extract Quorvel self-extracting archives")
set(CPACK_PACKAGE_DESCRIPTION "quorvel packs files and folders behind a 20480-byte Expander, a native Linux
or a 32-bit Windows console program, into one file that unpacks itself when
run. It also lists, tests and extracts such files without running them.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUORVEL_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# quorvel links the C++ runtime statically, so the C library is its only dependency:
# dpkg-shlibdeps finds the version its symbols need; without it, the oldest that
# GlibcCompat.cmake keeps the program on, or else the version built against.
find_program(QUORVEL_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(QUORVEL_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
elseif(QUORVEL_GLIBC_FLOOR)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= ${QUORVEL_GLIBC_FLOOR})")
else()
  execute_process(COMMAND getconf GNU_LIBC_VERSION OUTPUT_VARIABLE glibc OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REGEX REPLACE "^glibc " "" glibc "${glibc}")
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= ${glibc})")
endif()
include(CPack)
