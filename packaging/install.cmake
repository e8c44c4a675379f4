# GNU-layout installation and the Debian package: programs, manuals, desktop entry, icon, S98 and VGM MIME types.
include(GNUInstallDirs)

# Who answers for the package: its Maintainer field, the changelog's signature and the copyright file's
# contact. Set it to the real person or list when packaging for others (-DTAVRIN_MAINTAINER=...).
set(TAVRIN_MAINTAINER "The Tavrin developers <tavrin@example.org>" CACHE STRING
    "Name and e-mail address of the package maintainer")

set(TAVRIN_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(TAVRIN_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${TAVRIN_PACKAGING_OUT})

# Windows: the two programs, the README and the LICENSE side by side in one folder, which
# make package-windows zips (cpack -G ZIP in the cross build folder makes the same file).
if(WIN32)
  install(TARGETS tavrin RUNTIME DESTINATION .)
  if(TARGET tavrin-gui)
    install(TARGETS tavrin-gui RUNTIME DESTINATION .)
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME tavrin)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_STRIP_FILES ON)
  include(CPack)
  return()
endif()

# Programs.
install(TARGETS tavrin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET tavrin-gui)
  install(TARGETS tavrin-gui RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Manual pages, with the project's version filled in and compressed as Debian ships them (gzip -9n:
# no name or time stamp inside, so the package builds the same twice).
set(tavrin_manpages tavrin)
if(TARGET tavrin-gui)
  list(APPEND tavrin_manpages tavrin-gui)
endif()
find_program(TAVRIN_GZIP gzip)
# Appends to `list` the file to install for `file` of the packaging output: its gzip -9n copy, or the
# file itself where gzip is missing.
function(tavrin_compressed file list)
  if(TAVRIN_GZIP)
    add_custom_command(
      OUTPUT ${file}.gz
      COMMAND ${CMAKE_COMMAND} -DGZIP=${TAVRIN_GZIP} -DINPUT=${file} -DOUTPUT=${file}.gz
              -P ${TAVRIN_PACKAGING_DIR}/compress.cmake
      DEPENDS ${file} ${TAVRIN_PACKAGING_DIR}/compress.cmake
      COMMENT "Compressing ${file}"
      VERBATIM)
    set(${list} ${${list}} ${file}.gz PARENT_SCOPE)
  else()
    set(${list} ${${list}} ${file} PARENT_SCOPE)
  endif()
endfunction()
set(tavrin_manpage_files)
foreach(page IN LISTS tavrin_manpages)
  configure_file(${TAVRIN_PACKAGING_DIR}/${page}.1 ${TAVRIN_PACKAGING_OUT}/${page}.1 @ONLY)
  tavrin_compressed(${TAVRIN_PACKAGING_OUT}/${page}.1 tavrin_manpage_files)
endforeach()
install(FILES ${tavrin_manpage_files} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Bash completion, where bash-completion loads it from when `tavrin` is first completed.
install(FILES ${TAVRIN_PACKAGING_DIR}/tavrin.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tavrin)

# The copyright file in Debian's machine-readable format, made from LICENSE: its copyright line, then
# its permission text as the licence paragraph (lines indented by one space, empty lines as " .").
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE tavrin_license)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE
             ${TAVRIN_PACKAGING_DIR}/copyright.in ${TAVRIN_PACKAGING_DIR}/changelog.Debian.in)
if(NOT tavrin_license MATCHES "Copyright \\(c\\) ([^\n]+)\n\n")
  message(FATAL_ERROR "LICENSE has no line \"Copyright (c) YEAR HOLDER\" followed by an empty line")
endif()
set(TAVRIN_COPYRIGHT "${CMAKE_MATCH_1}")
string(FIND "${tavrin_license}" "${CMAKE_MATCH_0}" tavrin_at)
string(LENGTH "${CMAKE_MATCH_0}" tavrin_length)
math(EXPR tavrin_at "${tavrin_at} + ${tavrin_length}")
string(SUBSTRING "${tavrin_license}" ${tavrin_at} -1 tavrin_license)
string(STRIP "${tavrin_license}" tavrin_license)
string(REPLACE "\n\n" "\n.\n" tavrin_license "${tavrin_license}")
string(REPLACE "\n" "\n " TAVRIN_LICENSE_TEXT " ${tavrin_license}")
# The templates' first line says what they are; the installed files start after it.
foreach(template copyright changelog.Debian)
  file(READ ${TAVRIN_PACKAGING_DIR}/${template}.in tavrin_text)
  string(REGEX REPLACE "^#[^\n]*\n" "" tavrin_text "${tavrin_text}")
  file(CONFIGURE OUTPUT ${TAVRIN_PACKAGING_OUT}/${template} CONTENT "${tavrin_text}" @ONLY)
endforeach()
install(FILES ${TAVRIN_PACKAGING_OUT}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
set(tavrin_changelog_files)
tavrin_compressed(${TAVRIN_PACKAGING_OUT}/changelog.Debian tavrin_changelog_files)
install(FILES ${tavrin_changelog_files} DESTINATION ${CMAKE_INSTALL_DOCDIR})
add_custom_target(tavrin_manpages ALL DEPENDS ${tavrin_manpage_files} ${tavrin_changelog_files})

# The desktop: a launcher for the window, its icon, and S98, VGM and VGZ files known by type, so a file manager
# offers the window for them and files can be dropped on the launcher.
if(TARGET tavrin-gui)
  install(FILES ${TAVRIN_PACKAGING_DIR}/tavrin-gui.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${TAVRIN_PACKAGING_DIR}/tavrin.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
install(FILES ${TAVRIN_PACKAGING_DIR}/tavrin-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME tavrin.xml)
# A package's caches are refreshed by dpkg's triggers; a plain `make install` into a live prefix
# refreshes them itself (never when staging into DESTDIR or for CPack).
install(CODE [[
  if("$ENV{DESTDIR}" STREQUAL "" AND NOT CMAKE_INSTALL_PREFIX MATCHES "/_CPack_Packages/")
    set(share "${CMAKE_INSTALL_PREFIX}/share")
    find_program(update_mime update-mime-database)
    find_program(update_desktop update-desktop-database)
    find_program(update_icons gtk-update-icon-cache)
    if(update_mime)
      execute_process(COMMAND "${update_mime}" "${share}/mime")
    endif()
    if(update_desktop AND EXISTS "${share}/applications")
      execute_process(COMMAND "${update_desktop}" -q "${share}/applications")
    endif()
    if(update_icons AND EXISTS "${share}/icons/hicolor/index.theme")
      execute_process(COMMAND "${update_icons}" -q -t "${share}/icons/hicolor")
    endif()
  endif()
]])

# Checks of what gets installed; each says why when its tool is missing, and counts as skipped.
if(TAVRIN_BUILD_TESTS)
  add_test(NAME packaging_manpage
           COMMAND ${TAVRIN_PACKAGING_DIR}/check-manpage.sh $<TARGET_FILE:tavrin>
                   ${TAVRIN_PACKAGING_OUT}/tavrin.1)
  add_test(NAME packaging_desktop_entry
           COMMAND ${TAVRIN_PACKAGING_DIR}/check-desktop.sh ${TAVRIN_PACKAGING_DIR}/tavrin-gui.desktop)
  add_test(NAME packaging_mime_type
           COMMAND ${TAVRIN_PACKAGING_DIR}/check-mime.sh ${TAVRIN_PACKAGING_DIR}/tavrin-mime.xml)
  add_test(NAME packaging_install_tree
           COMMAND ${TAVRIN_PACKAGING_DIR}/check-install.sh ${CMAKE_BINARY_DIR} ${CMAKE_INSTALL_BINDIR}
                   ${CMAKE_INSTALL_MANDIR} ${CMAKE_INSTALL_DATADIR}
                   $<IF:$<TARGET_EXISTS:tavrin-gui>,gui,nogui>)
  add_test(NAME packaging_bash_completion
           COMMAND ${TAVRIN_PACKAGING_DIR}/check-completion.sh ${TAVRIN_PACKAGING_DIR}/tavrin.bash-completion)
  set_tests_properties(packaging_manpage packaging_desktop_entry packaging_mime_type packaging_install_tree
                       packaging_bash_completion PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
  add_test(NAME packaging_deb COMMAND ${TAVRIN_PACKAGING_DIR}/check-deb.sh ${CMAKE_BINARY_DIR} ${TAVRIN_MAINTAINER})
  # cpack stages the whole install tree and lintian reads it all: allow them time on a busy machine.
  set_tests_properties(packaging_deb PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600 RUN_SERIAL ON)
endif()

# The Debian package: cpack -G DEB in the build folder (make package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tavrin")
set(CPACK_PACKAGE_CONTACT "${TAVRIN_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TAVRIN_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "S98 and VGM sound log to text report converter")
set(CPACK_PACKAGE_DESCRIPTION
    "Tavrin turns S98 and VGM sound logs (VGZ, gzip-compressed VGM, too) - timed
register writes to Yamaha FM chips (OPN, OPNA, OPN2, OPM, OPLL, OPL, OPL2,
OPL3), the PSGs (YM2149, AY-3-8910) and the SN76489 - into readable text
reports: one line per command with its file
offset, raw bytes, device, tick counts and elapsed time, and optionally what
every register write does to the chip.
.
It comes as a command-line program, tavrin, and a window that converts the
files dropped on it, tavrin-gui.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Shared-library dependencies are read off the programs by dpkg-shlibdeps (dpkg-dev); without it
# they are declared by hand, for Debian 12's Qt 6.4.
find_program(TAVRIN_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(TAVRIN_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(tavrin_depends)
else()
  set(tavrin_depends "libc6 (>= 2.34), libgcc-s1 (>= 3.0), libstdc++6 (>= 12)")
  if(TARGET tavrin-gui)
    string(APPEND tavrin_depends ", libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4)")
  endif()
endif()
# Qt finds its display plugins at run time, so no library dependency names them.
if(TARGET tavrin-gui)
  list(APPEND tavrin_depends "qt6-qpa-plugins")
endif()
list(JOIN tavrin_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
include(CPack)
