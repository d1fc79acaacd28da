# Run by cpack once the files are staged: the archives (.tar.gz, .zip) carry
# the licence at their top. The .deb has it in its copyright file, where
# Debian wants it and nowhere else.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  file(COPY "${CPACK_PIXELGROW_LICENSE}" DESTINATION "${CPACK_TEMPORARY_INSTALL_DIRECTORY}"
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endif()
