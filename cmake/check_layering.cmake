# Fails when code outside src/host includes an operating-system header. The
# C++ standard headers have no ".h"; every header named with ".h" in angle
# brackets belongs to the operating system or a library we do not use.
file(GLOB_RECURSE sources "${SOURCE_DIR}/src/app/*" "${SOURCE_DIR}/src/bmp/*"
     "${SOURCE_DIR}/src/growth/*" "${SOURCE_DIR}/src/random/*")
set(found "")
foreach(source IN LISTS sources)
  file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*<[^>]*\\.h>")
  foreach(line IN LISTS lines)
    list(APPEND found "${source}: ${line}")
  endforeach()
endforeach()
if(found)
  list(JOIN found "\n  " text)
  message(FATAL_ERROR "operating-system headers outside src/host:\n  ${text}")
endif()
message(STATUS "only src/host includes operating-system headers")
