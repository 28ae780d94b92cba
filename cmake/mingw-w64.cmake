# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64),
# the POSIX thread variant. The program links statically, so wayconv.exe imports
# only system DLLs and runs on a bare Windows 10/11 and under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(WAYCONV_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${WAYCONV_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${WAYCONV_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${WAYCONV_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${WAYCONV_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs run under Wine's loader (wine64 alone installs no /usr/bin/wine).
find_program(WAYCONV_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(WAYCONV_WINE NAMES wine64 wine)
if(WAYCONV_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WAYCONV_WINE})
endif()
