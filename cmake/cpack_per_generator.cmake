# Read by cpack for each generator it runs.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  # Without them CPack would only warn, and make a .deb that depends on
  # nothing, or none at all.
  foreach(tool dpkg-shlibdeps:dpkg-dev file:file)
    string(REPLACE ":" ";" tool ${tool})
    list(GET tool 0 program)
    list(GET tool 1 package)
    find_program(found_${program} ${program})
    if(NOT found_${program})
      message(FATAL_ERROR "${program} is missing, which the .deb needs (Debian package ${package}; "
                          "tools/install-deps.sh package installs it)")
    endif()
  endforeach()
endif()
# The packages' times: those of the last commit (see packaging.cmake).
if(DEFINED CPACK_PIXELGROW_SOURCE_DATE_EPOCH AND NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} ${CPACK_PIXELGROW_SOURCE_DATE_EPOCH})
endif()
