# The Windows packages (`cpack` in build/windows, or the package step of the
# "windows" workflow): the installer wayconv-<version>-win64-setup.exe, made
# by NSIS (makensis from Debian's nsis) from cmake/nsis/NSIS.template.in, and
# the portable wayconv-<version>-win64.zip. Both hold the same files.
install(TARGETS wayconv RUNTIME DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION . RENAME README.txt)
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

# The input kinds Explorer offers to open with Wayconv (OpenWithProgids: the
# kind's default program stays as it was). One word per kind the program reads.
set(WAYCONV_OPEN_WITH_EXTENSIONS gpx mps plt nmea fit tcx kml kmz geojson igc)

# The template's WAYCONV_EACH_KIND runs a macro of the installer (or the
# uninstaller) for each of these extensions.
set(each_kind "!macro WAYCONV_EACH_KIND action\n")
foreach(extension IN LISTS WAYCONV_OPEN_WITH_EXTENSIONS)
  string(APPEND each_kind "  !insertmacro \${action} .${extension}\n")
endforeach()
string(APPEND each_kind "!macroend\n")
file(WRITE ${CMAKE_BINARY_DIR}/wayconv_open_with.nsh "${each_kind}")

set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_NAME wayconv)
set(CPACK_PACKAGE_VENDOR "The Wayconv authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "GPS track converter for a handheld device's track file")
set(CPACK_PACKAGE_FILE_NAME wayconv-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Wayconv)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Wayconv)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_NSIS_DISPLAY_NAME Wayconv)
set(CPACK_NSIS_PACKAGE_NAME Wayconv)
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
set(CPACK_NSIS_MUI_ICON ${CMAKE_SOURCE_DIR}/src/win32/wayconv.ico)
# CPack finds its NSIS template on the module path: ours first.
set(CPACK_MODULE_PATH ${CMAKE_SOURCE_DIR}/cmake/nsis)
set(CPACK_WAYCONV_OPEN_WITH_NSH ${CMAKE_BINARY_DIR}/wayconv_open_with.nsh)
# The installer's name differs from the zip's: set per generator.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/windows_package_names.cmake)
include(CPack)
