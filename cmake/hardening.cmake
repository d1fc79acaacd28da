# For every build: no source or build folder path in the binary, so that two
# builds of one commit in two folders give the same bytes.
# For every build but a debug or sanitizer one: what a Debian package is
# built with today. Fortified library calls, stack protector and stack-clash
# probes, control-flow protection, format checks, a position-independent
# program, relocations read-only and bound at start. Each flag only where the
# compiler and linker take it: MinGW and Zig's targets take fewer.
include(CheckCXXCompilerFlag)
include(CheckCXXSourceCompiles)
include(CheckLinkerFlag)
include(CheckPIESupported)

check_cxx_compiler_flag("-ffile-prefix-map=a=b" has_prefix_map)
if(has_prefix_map)
  add_compile_options("-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=" "-ffile-prefix-map=${PROJECT_BINARY_DIR}/=")
endif()

if(CMAKE_BUILD_TYPE STREQUAL "Debug" OR PIXELGROW_SANITIZE OR PIXELGROW_FUZZ)
  set(harden_default OFF)
else()
  set(harden_default ON)
endif()
option(PIXELGROW_HARDEN "Build with the hardening flags of a Debian package" ${harden_default})
if(NOT PIXELGROW_HARDEN OR MSVC)
  return()
endif()

# Flags are taken where a program with a local array (which the stack
# protector guards) and a checked copy builds and links with them, and the
# compiler says nothing about them (clang for macOS warns of flags it
# ignores). They go to the link too, which then brings in what they need.
function(harden_with name flags)
  set(CMAKE_REQUIRED_FLAGS "-O2 ${flags}")
  check_cxx_source_compiles("
#include <cstring>
int main(int argc, char** argv) { char b[8]; std::strcpy(b, argv[argc - 1]); return b[0]; }"
    ${name} FAIL_REGEX "warning|unused|ignored|not supported|unsupported")
  if(${name})
    separate_arguments(flags)
    if(flags MATCHES "FORTIFY")  # needs optimisation: only in the optimised builds
      add_compile_options("$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:${flags}>")
    else()
      add_compile_options(${flags})
      add_link_options(${flags})  # the stack protector's library, where it is one (MinGW's libssp)
    endif()
  endif()
endfunction()
# Position-independent code for a program, not for a shared library: -fPIC,
# which CMake would give the static libraries, keeps calls between them from
# being inlined (growth was 6 % slower).
harden_with(has_pie -fPIE)
check_pie_supported(LANGUAGES CXX)
if(has_pie AND CMAKE_CXX_LINK_PIE_SUPPORTED)
  add_link_options(-pie)
endif()
harden_with(has_stack_protector -fstack-protector-strong)
if(NOT WIN32)  # Windows probes each new stack page itself; MinGW's GCC 12 crashes on GoogleTest with it
  harden_with(has_stack_clash -fstack-clash-protection)
endif()
harden_with(has_cf_protection -fcf-protection)
harden_with(has_format_security "-Wformat -Werror=format-security")
harden_with(has_fortify "-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2")

check_linker_flag(CXX "-Wl,-z,relro,-z,now" has_relro_now)
if(has_relro_now)
  add_link_options("-Wl,-z,relro,-z,now")
endif()
