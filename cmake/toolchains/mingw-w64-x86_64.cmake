# Windows, x86-64, from Debian's g++-mingw-w64-x86-64:
#   cmake -S . -B build-windows --toolchain cmake/toolchains/mingw-w64-x86_64.cmake
# The posix thread model (the -posix compilers) is the one with std::thread
# and std::mutex, which GoogleTest needs. Programs are linked statically, so
# that the .exe runs alone on a Windows machine; tests run under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)  # never this machine's own GoogleTest

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(PIXELGROW_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(PIXELGROW_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PIXELGROW_WINE})
endif()
