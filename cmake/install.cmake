# Installing wayconv like a Linux program (`cmake --install`, with --prefix and
# DESTDIR honoured) and the Debian package (`cpack -G DEB`), with the tests of
# what gets installed: the manual page, the bash completion, the desktop entry.
include(GNUInstallDirs)

# The manual page carries the project version in its footer.
configure_file(${CMAKE_SOURCE_DIR}/doc/wayconv.1.in ${CMAKE_BINARY_DIR}/wayconv.1 @ONLY)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Relocations resolved at start and then made read-only, as Debian builds
# its programs.
target_link_options(wayconv PRIVATE -Wl,-z,relro,-z,now)
install(TARGETS wayconv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/wayconv.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/dist/wayconv.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME wayconv)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The README's pictures, where its links (docs/...) look for them.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
        FILES_MATCHING PATTERN "*.png" PATTERN "*.svg")
# The menu entry starts the desktop window, so it comes with that backend.
if(TARGET wayconv_backend_x11)
  install(FILES ${CMAKE_SOURCE_DIR}/dist/wayconv.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/dist/wayconv.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${CMAKE_SOURCE_DIR}/dist/wayconv-mime.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME wayconv.xml)
endif()

# The Debian package: wayconv_<version>_<arch>.deb, installed under /usr, its
# dependencies found by dpkg-shlibdeps. cmake/deb_stage.cmake adds what Debian
# wants in the staged tree (compressed manual page, copyright, changelog).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME wayconv)
set(CPACK_PACKAGE_VENDOR "The Wayconv authors")
set(CPACK_PACKAGE_CONTACT "The Wayconv authors <noreply@wayconv.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "GPS track converter for a handheld device's track file")
set(CPACK_PACKAGE_DESCRIPTION
    "Wayconv converts one GPS recording into the 80008-byte binary track file
of a handheld device, with room for 10000 points. It reads the track points
of GPX files, MapSource .mps files, OziExplorer .plt track files and the
RMC sentences of NMEA 0183 logs, thins long recordings evenly and starts a
new track at gaps over 1000 m.
.
It runs as an interactive program on a terminal or in a desktop window
(X11, from the desktop's menu or with --window), or in batch mode for
scripts.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS bash-completion)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/deb_stage.cmake)
set(CPACK_WAYCONV_SOURCE_DIR ${CMAKE_SOURCE_DIR})
set(CPACK_WAYCONV_STRIP ${CMAKE_STRIP})
include(CPack)

if(BUILD_TESTING)
  # The manual page names the options --help lists, and renders cleanly.
  add_test(NAME man_page COMMAND ${CMAKE_SOURCE_DIR}/tests/man_page_test.sh
           $<TARGET_FILE:wayconv> ${CMAKE_BINARY_DIR}/wayconv.1)
  # Tab completion of options, kinds and files.
  add_test(NAME bash_completion COMMAND bash ${CMAKE_SOURCE_DIR}/tests/completion_test.sh
           $<TARGET_FILE:wayconv> ${CMAKE_SOURCE_DIR}/dist/wayconv.bash)
  # The desktop entry, icon and MIME types are well formed.
  add_test(NAME desktop_files COMMAND ${CMAKE_SOURCE_DIR}/tests/desktop_files_test.sh
           ${CMAKE_SOURCE_DIR}/dist)
  set_tests_properties(desktop_files PROPERTIES SKIP_RETURN_CODE 77)
endif()
