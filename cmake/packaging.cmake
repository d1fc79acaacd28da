# What gets installed, and the packages made of it with CPack:
#   (cd build && umask 022 && cpack)           .deb and .tar.gz (bin/, share/ and LICENSE)
#   (cd build-windows && umask 022 && cpack)   .zip (pixelgrow.exe and LICENSE)
# Directories made while installing: the same modes whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
if(WIN32)
  install(TARGETS pixelgrow RUNTIME DESTINATION .)  # the .exe at the top of the .zip
else()
  install(TARGETS pixelgrow RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

if(NOT WIN32)
  # Manual pages and the package's changelog go compressed, as Debian's
  # policy asks (and man reads them so everywhere).
  foreach(page pixelgrow.1 changelog)
    add_custom_command(OUTPUT ${page}.gz
                       COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/doc/${page} > ${page}.gz
                       DEPENDS ${PROJECT_SOURCE_DIR}/doc/${page})
  endforeach()
  add_custom_target(compressed_docs ALL DEPENDS pixelgrow.1.gz changelog.gz)
  install(FILES ${PROJECT_BINARY_DIR}/pixelgrow.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES doc/copyright ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

set(CPACK_PACKAGE_NAME pixelgrow)
set(CPACK_PACKAGE_VENDOR "pixelgrow developers")
set(CPACK_PACKAGE_CONTACT "pixelgrow developers <pixelgrow@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "grow random pictures in the terminal and save them as BMP files")
set(CPACK_PACKAGE_DESCRIPTION "An interactive console program that grows a 400x400 picture pixel by
pixel from a seeded random generator: each visited pixel takes the colour
of a finished neighbour, made a little darker, or starts a new region with
a fresh colour. A status line shows the progress, P shows a text preview,
and each finished picture is saved as a 24-bit BMP file in the current
directory and opened in the default image viewer. Where there is no
desktop (over ssh, on a server or a Linux console) the picture is shown in
the terminal itself: with the kitty or iTerm2 graphics protocols, sixel, or
coloured half blocks, as the terminal allows.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PIXELGROW_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/license_in_archive.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/reproducible_archives.cmake)

# Every package's times are those of the last commit (SOURCE_DATE_EPOCH, as
# given or from git), so two builds of one commit give the same bytes.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(CPACK_PIXELGROW_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE CPACK_PIXELGROW_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                  ERROR_QUIET RESULT_VARIABLE no_git)
  if(no_git)
    unset(CPACK_PIXELGROW_SOURCE_DATE_EPOCH)
  endif()
endif()
set(CPACK_SOURCE_IGNORE_FILES "/build.*/;/\\\\.git/;/tools/zig/node_modules/")

# Debian: installed under /usr, the C library's version found by dpkg-shlibdeps.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# xdg-open, for the desktop viewer: a desktop has it already, and a server
# (where the picture is shown in the terminal) needs none of what it brings.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xdg-utils")
# Under /usr for the .deb only; the archives hold bin/ and share/ as they are.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack_per_generator.cmake)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-x86_64)
else()
  set(CPACK_GENERATOR "DEB;TGZ")
endif()
include(CPack)
