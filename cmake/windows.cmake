# The Windows build (preset "windows", toolchain cmake/mingw-w64.cmake): the
# same layers, with the host's *_win32.cpp files, linked statically. The test
# programs run under Wine, one Wine prefix per build folder.

# The host: wide text and byte streams.
add_library(wayconv_host STATIC
  ${CMAKE_SOURCE_DIR}/src/platform/text.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/file_stream_win32.cpp)
wayconv_layer(common wayconv_host)
wayconv_layer(readers wayconv_common)
wayconv_layer(conversion wayconv_readers)

include(CTest)
if(BUILD_TESTING)
  # GoogleTest from the sources libgtest-dev ships, built with the same compiler.
  set(WAYCONV_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${WAYCONV_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

  set(WAYCONV_WINE_ENVIRONMENT "WINEPREFIX=${CMAKE_BINARY_DIR}/wine" "WINEDEBUG=-all")
  # One CTest test per layer: each Wine process start costs, so the layer's
  # whole suite runs in one.
  function(wayconv_windows_tests name)
    file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${name}/*_test.cpp)
    list(FILTER tests EXCLUDE REGEX "${WAYCONV_OTHER_HOST_FILES}")
    # Until the host layer has its own folder, only the platform folder's
    # Windows tests build here.
    if(name STREQUAL "platform")
      list(FILTER tests INCLUDE REGEX "_win32_test\\.cpp$")
    endif()
    add_executable(${name}_tests ${tests} ${CMAKE_SOURCE_DIR}/tests/test_main_win32.cpp
                   ${CMAKE_SOURCE_DIR}/tests/test_util.cpp
                   ${CMAKE_SOURCE_DIR}/tests/test_util_win32.cpp)
    target_link_libraries(${name}_tests PRIVATE ${ARGN} gtest)
    target_include_directories(${name}_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    target_compile_definitions(${name}_tests PRIVATE WAYCONV_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    add_test(NAME ${name} COMMAND ${name}_tests)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${WAYCONV_WINE_ENVIRONMENT}")
  endfunction()
  wayconv_windows_tests(platform wayconv_conversion)
  wayconv_windows_tests(common wayconv_conversion)
  wayconv_windows_tests(readers wayconv_conversion)
  wayconv_windows_tests(conversion wayconv_conversion)
endif()
