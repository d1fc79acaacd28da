# Run by cpack after it made each package. CMake's own archives list their
# files in whatever order the file system gives and with the builder's owner,
# so the .tar.gz and the .zip are made again here from the same staged files:
# members sorted by name, times those of the last commit, owner root and
# modes fixed (the .zip keeps the builder's user id in its Unix extra field,
# which CMake's archive writer always adds). The .deb is already so.
if(NOT CPACK_GENERATOR MATCHES "^(TGZ|ZIP)$" OR NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  return()
endif()
get_filename_component(parent "${CPACK_TEMPORARY_DIRECTORY}" DIRECTORY)
get_filename_component(top "${CPACK_TEMPORARY_DIRECTORY}" NAME)
list(GET CPACK_PACKAGE_FILES 0 package)
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${parent}" "${CPACK_TEMPORARY_DIRECTORY}/*")
list(SORT files)

if(CPACK_GENERATOR STREQUAL "TGZ")
  execute_process(
    COMMAND tar --sort=name --owner=0 --group=0 --numeric-owner --mtime=@$ENV{SOURCE_DATE_EPOCH}
            --mode=u+rw,go=rX,go-w --format=gnu -cf - ${top}
    COMMAND gzip -9n
    WORKING_DIRECTORY "${parent}" OUTPUT_FILE "${package}.new" RESULTS_VARIABLE results)
else()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${package}.new" --format=zip -- ${files}
                  WORKING_DIRECTORY "${parent}" RESULTS_VARIABLE results)
endif()
if(NOT results MATCHES "^0(;0)*$")
  message(FATAL_ERROR "the archive could not be made again (${results}): ${package}")
endif()
file(RENAME "${package}.new" "${package}")
