# The Windows build (preset "windows", toolchain cmake/mingw-w64.cmake): the
# same layers with the host's *_win32.cpp files, and the shell on the real
# Win32 API. The handheld API headers the shell includes ("platform/...") are
# found in src/win32/platform first: the real <windows.h> with the shim of
# src/win32. Test programs run under Wine, one Wine prefix per build folder.
include_directories(BEFORE ${CMAKE_SOURCE_DIR}/src/win32)
add_compile_definitions(UNICODE _UNICODE NOMINMAX)

# zlib decompresses gzip inputs underneath every reader (zlib1g-dev;
# libz-mingw-w64-dev for Windows).
# The static library, so the program needs no zlib1.dll beside it.
set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)
wayconv_library(wayconv_host host ZLIB::ZLIB)
wayconv_library(wayconv_common common wayconv_host)
# The readers' libraries. zlib from libz-mingw-w64-dev, linked statically.
# expat has no mingw package: Debian's own sources of it (tools/windows_expat
# fetches them with apt-get source) are built here as a static library.
# RapidJSON is headers only: a copy of just its headers is put on the path,
# not the rest of the host's /usr/include.
find_library(WAYCONV_ZLIB NAMES libz.a REQUIRED)
find_path(WAYCONV_ZLIB_INCLUDE zlib.h REQUIRED)
set(WAYCONV_EXPAT_SOURCE "" CACHE PATH "Debian's expat sources, the folder holding lib/xmlparse.c")
if(NOT WAYCONV_EXPAT_SOURCE)
  execute_process(COMMAND ${CMAKE_SOURCE_DIR}/tools/windows_expat ${CMAKE_BINARY_DIR}/expat-source
                  OUTPUT_VARIABLE expat_source OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE expat_status)
  if(NOT expat_status EQUAL 0)
    message(FATAL_ERROR "wayconv: no expat sources for Windows; run tools/windows_expat DIR "
                        "and set WAYCONV_EXPAT_SOURCE to the folder it prints")
  endif()
  set(WAYCONV_EXPAT_SOURCE ${expat_source} CACHE PATH "" FORCE)
endif()
set(EXPAT_BUILD_TOOLS OFF)
set(EXPAT_BUILD_EXAMPLES OFF)
set(EXPAT_BUILD_TESTS OFF)
set(EXPAT_BUILD_DOCS OFF)
set(EXPAT_BUILD_PKGCONFIG OFF)
set(EXPAT_ENABLE_INSTALL OFF)
set(EXPAT_SHARED_LIBS OFF)
add_subdirectory(${WAYCONV_EXPAT_SOURCE} ${CMAKE_BINARY_DIR}/expat EXCLUDE_FROM_ALL)
# Debian's sources as they are: their warnings (a ptrdiff_t printed with %d
# in a debug trace) are not ours to mend.
target_compile_options(expat PRIVATE -w)
# Debian's security patches test "XML_DTD == 1", as its own (autotools)
# build defines it; expat's CMake defines it empty.
file(READ ${CMAKE_BINARY_DIR}/expat/expat_config.h expat_config)
string(REPLACE "#define XML_DTD\n" "#define XML_DTD 1\n" expat_config "${expat_config}")
file(WRITE ${CMAKE_BINARY_DIR}/expat/expat_config.h "${expat_config}")
file(COPY /usr/include/rapidjson DESTINATION ${CMAKE_BINARY_DIR}/rapidjson-include)

wayconv_library(wayconv_readers readers wayconv_common expat ${WAYCONV_ZLIB})
target_compile_definitions(wayconv_readers PUBLIC XML_STATIC)
target_include_directories(wayconv_readers SYSTEM PUBLIC ${WAYCONV_ZLIB_INCLUDE}
                           ${CMAKE_BINARY_DIR}/rapidjson-include)
wayconv_library(wayconv_conversion conversion wayconv_readers)
wayconv_library(wayconv_trackfile trackfile wayconv_conversion)
wayconv_library(wayconv_resources resources)
wayconv_library(wayconv_win32 win32 wayconv_resources wayconv_host user32 gdi32 comdlg32
                advapi32)
# The shell's start-up on a platform backend has no place here: the program
# runs WayconvMain on the real API (src/app/front_end_win32.cpp).
wayconv_library(wayconv_shell shell wayconv_conversion wayconv_resources wayconv_win32)
get_target_property(shell_sources wayconv_shell SOURCES)
list(FILTER shell_sources EXCLUDE REGEX "startup_backend\\.cpp$")
set_target_properties(wayconv_shell PROPERTIES SOURCES "${shell_sources}")

# One executable that runs on a bare Windows 10/11: static, Unicode entry.
file(GLOB app_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/app/*.cpp)
list(FILTER app_sources EXCLUDE REGEX "_test\\.cpp$")
list(FILTER app_sources EXCLUDE REGEX "${WAYCONV_OTHER_HOST_FILES}")
list(FILTER app_sources EXCLUDE REGEX "backends\\.cpp$")  # the backends' table: none here
# Its icon and version block for Explorer (src/win32/wayconv.rc). The version
# reaches the resource compiler through a header: its command line loses the
# quotes of a string definition.
enable_language(RC)
file(WRITE ${CMAKE_BINARY_DIR}/wayconv_version.h
     "#define WAYCONV_VERSION_NUMBERS ${PROJECT_VERSION_MAJOR}, ${PROJECT_VERSION_MINOR}, 0, 0\n"
     "#define WAYCONV_VERSION_TEXT \"${PROJECT_VERSION}\"\n")
add_executable(wayconv ${app_sources} ${CMAKE_SOURCE_DIR}/src/win32/wayconv.rc)
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/win32/wayconv.rc PROPERTIES OBJECT_DEPENDS
  "${CMAKE_SOURCE_DIR}/src/win32/wayconv.ico;${CMAKE_SOURCE_DIR}/src/win32/wayconv.manifest")
target_include_directories(wayconv PRIVATE ${CMAKE_BINARY_DIR})
target_link_libraries(wayconv PRIVATE wayconv_shell wayconv_trackfile)
target_link_options(wayconv PRIVATE -municode)

include(CTest)
if(BUILD_TESTING)
  # GoogleTest from the sources libgtest-dev ships, built with the same compiler.
  set(WAYCONV_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${WAYCONV_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

  set(WAYCONV_WINE_ENVIRONMENT "WINEPREFIX=${CMAKE_BINARY_DIR}/wine" "WINEDEBUG=-all")
  # One CTest test per layer: each Wine process start costs, so the layer's
  # whole suite runs in one. Left out here, and why:
  # - the tests that drive the program through /bin/sh (src/app's batch
  #   tests, src/trackfile/track_commands_test.cpp): POSIX shell lines, fork
  #   and /dev/full, and a Wine start of a second or more per run; on Windows
  #   tests/windows_e2e_test.sh runs the same command lines and compares
  #   output, messages, exit status and files byte for byte with Linux;
  # - src/platform, src/backends, src/shell and src/resources: the handheld
  #   API of the other hosts, which Windows replaces with the real one and
  #   the shim of src/win32 (tested in win32_tests).
  function(wayconv_windows_tests name folder)
    file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${folder}/*_test.cpp)
    list(FILTER tests EXCLUDE REGEX "${WAYCONV_OTHER_HOST_FILES}")
    list(FILTER tests EXCLUDE REGEX "track_commands_test\\.cpp$")
    add_executable(${name}_tests ${tests} ${CMAKE_SOURCE_DIR}/tests/test_main_win32.cpp
                   ${CMAKE_SOURCE_DIR}/tests/test_util.cpp
                   ${CMAKE_SOURCE_DIR}/tests/test_util_win32.cpp)
    target_link_libraries(${name}_tests PRIVATE ${ARGN} gtest)
    target_include_directories(${name}_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    # M_PI as on Linux; the program as the shared helpers name it (found
    # next to the tests, where CTest runs them).
    target_compile_definitions(${name}_tests PRIVATE WAYCONV_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
      _USE_MATH_DEFINES WAYCONV_BINARY="wayconv.exe")
    add_test(NAME ${name} COMMAND ${name}_tests)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${WAYCONV_WINE_ENVIRONMENT}")
  endfunction()
  wayconv_windows_tests(host host wayconv_conversion)
  wayconv_windows_tests(common common wayconv_conversion)
  wayconv_windows_tests(readers readers wayconv_conversion)
  wayconv_windows_tests(conversion conversion wayconv_conversion)
  wayconv_windows_tests(win32 win32 wayconv_shell)
  wayconv_windows_tests(trackfile trackfile wayconv_trackfile)
endif()

include(cmake/windows_package.cmake)
