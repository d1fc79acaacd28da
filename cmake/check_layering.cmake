# Fails when code outside src/host includes an operating-system header. The
# C++ standard headers have no ".h"; every header named with ".h" in angle
# brackets belongs to the operating system or a library we do not use. The
# terminal pictures sit below the host and are pure: no host header either.
file(GLOB_RECURSE sources "${SOURCE_DIR}/src/app/*" "${SOURCE_DIR}/src/bmp/*"
     "${SOURCE_DIR}/src/growth/*" "${SOURCE_DIR}/src/random/*" "${SOURCE_DIR}/src/terminal_picture/*")
file(GLOB_RECURSE pure "${SOURCE_DIR}/src/terminal_picture/*")
set(found "")
foreach(source IN LISTS sources)
  file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*<[^>]*\\.h>")
  foreach(line IN LISTS lines)
    list(APPEND found "${source}: ${line}")
  endforeach()
endforeach()
foreach(source IN LISTS pure)
  file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"(host\\.h|posix/|windows/|common/)")
  foreach(line IN LISTS lines)
    list(APPEND found "${source}: ${line}")
  endforeach()
endforeach()
if(found)
  list(JOIN found "\n  " text)
  message(FATAL_ERROR "operating-system or host headers where they do not belong:\n  ${text}")
endif()
message(STATUS "only src/host includes operating-system headers")
