# Linux: `cmake --install` puts kal2map-cli and its manual page in place, and `cpack` makes a
# Debian package of both. (The Windows zip is made in src/ui/.)
include(GNUInstallDirs)
install(TARGETS kal2map-cli RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")

# Debian installs manual pages compressed with gzip -9n (-n: no name or time in the header, so
# the package is the same from one build to the next).
set(kal2map_man_page "${PROJECT_SOURCE_DIR}/docs/kal2map-cli.1")
find_program(KAL2MAP_GZIP gzip)
if(KAL2MAP_GZIP)
  add_custom_command(
    OUTPUT kal2map-cli.1.gz
    COMMAND "${KAL2MAP_GZIP}" -9nc "${kal2map_man_page}" > kal2map-cli.1.gz
    DEPENDS "${kal2map_man_page}"
    COMMENT "Compressing the manual page")
  # Built with the program, so that a build of the program alone can be installed.
  add_custom_target(kal2map_man_page DEPENDS kal2map-cli.1.gz)
  add_dependencies(kal2map-cli kal2map_man_page)
  install(FILES "${CMAKE_CURRENT_BINARY_DIR}/kal2map-cli.1.gz"
          DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
else()
  install(FILES "${kal2map_man_page}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
endif()

set(KAL2MAP_PACKAGE_CONTACT
    "kal2map maintainers <maintainers@users.noreply.c-seed-6d9721a3.example>"
    CACHE STRING "The Maintainer of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kal2map-cli)
set(CPACK_PACKAGE_VENDOR kal2map)
set(CPACK_PACKAGE_CONTACT "${KAL2MAP_PACKAGE_CONTACT}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # kal2map-cli_<version>_<architecture>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The C and C++ runtime versions the program really needs, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "convert Tivara calibration files (.kal) into OziExplorer maps (.map)
kal2map-cli converts each calibration file of the GPS navigation program
Tivara into an OziExplorer map file of the same name beside it, for whole
folders and, with -r, whole trees of folders. Existing maps are replaced,
but never half-written or lost. Messages and manual page are in German.")
include(CPack)
