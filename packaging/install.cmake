# GNU-layout installation and the Debian package: programs, manuals, desktop entry, icon, S98 MIME type.
include(GNUInstallDirs)

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
set(tavrin_manpage_files)
foreach(page IN LISTS tavrin_manpages)
  configure_file(${TAVRIN_PACKAGING_DIR}/${page}.1 ${TAVRIN_PACKAGING_OUT}/${page}.1 @ONLY)
  if(TAVRIN_GZIP)
    add_custom_command(
      OUTPUT ${TAVRIN_PACKAGING_OUT}/${page}.1.gz
      COMMAND ${CMAKE_COMMAND} -DGZIP=${TAVRIN_GZIP} -DINPUT=${TAVRIN_PACKAGING_OUT}/${page}.1
              -DOUTPUT=${TAVRIN_PACKAGING_OUT}/${page}.1.gz -P ${TAVRIN_PACKAGING_DIR}/compress-manpage.cmake
      DEPENDS ${TAVRIN_PACKAGING_OUT}/${page}.1 ${TAVRIN_PACKAGING_DIR}/compress-manpage.cmake
      COMMENT "Compressing the manual page ${page}.1"
      VERBATIM)
    list(APPEND tavrin_manpage_files ${TAVRIN_PACKAGING_OUT}/${page}.1.gz)
  else()
    list(APPEND tavrin_manpage_files ${TAVRIN_PACKAGING_OUT}/${page}.1)
  endif()
endforeach()
add_custom_target(tavrin_manpages ALL DEPENDS ${tavrin_manpage_files})
install(FILES ${tavrin_manpage_files} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The desktop: a launcher for the window, its icon, and S98 files known by type, so a file manager
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
  set_tests_properties(packaging_manpage packaging_desktop_entry packaging_mime_type packaging_install_tree
                       PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
endif()

# The Debian package: cpack -G DEB in the build folder (make package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tavrin")
set(CPACK_PACKAGE_CONTACT "Tavrin developers <tavrin@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "S98 sound log to text report converter")
set(CPACK_PACKAGE_DESCRIPTION
    "Tavrin turns S98 sound logs - timed register writes to Yamaha FM chips (OPN,
OPNA, OPN2, OPM, OPLL, OPL, OPL2, OPL3), the PSGs (YM2149, AY-3-8910) and the
SN76489 - into readable text reports: one line per command with its file
offset, raw bytes, device, tick counts and elapsed time, and optionally what
every register write does to the chip.
.
It comes as a command-line program, tavrin, and a window that converts the
files dropped on it, tavrin-gui.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
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
