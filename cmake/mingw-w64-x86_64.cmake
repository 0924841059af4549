# Cross-building the Windows program on Linux with Debian's mingw-w64
# (package g++-mingw-w64-x86-64): 64-bit Windows. The posix thread model is
# the one whose C++ library has std::mutex, which GoogleTest needs for the
# Windows unit tests; tallix.exe links its runtime statically either way.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TALLIX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TALLIX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TALLIX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TALLIX_MINGW_PREFIX}-windres)
set(CMAKE_AR ${TALLIX_MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${TALLIX_MINGW_PREFIX}-ranlib CACHE FILEPATH "")

# The programs built here run under Wine: ctest starts every test program
# through it.
find_program(TALLIX_WINE wine)
if(TALLIX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TALLIX_WINE})
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${TALLIX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
