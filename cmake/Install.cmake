# Where `cmake --install` puts the programs, the CLI's formats module, their man
# pages, the desktop entry and the icon (the usual places, GNUInstallDirs), and
# the Debian package that `cpack -G DEB` makes of them. Refers to the targets by
# name only.
include(GNUInstallDirs)

install(TARGETS tessmar-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The grid formats module, where tessmar-cli looks for it (src/CMakeLists.txt).
install(TARGETS tessmar_formats_module LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/tessmar)
if(TARGET tessmar)
  install(TARGETS tessmar RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The build tree's copies (share/ beside bin/), wherever the sources keep them.
  install(FILES ${CMAKE_BINARY_DIR}/share/applications/tessmar.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_BINARY_DIR}/share/icons/hicolor/scalable/apps/tessmar.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

# Man pages made from the programs' own --help at build time, so they cannot
# drift from what the programs say.
find_program(TESSMAR_HELP2MAN help2man)
find_program(TESSMAR_GZIP gzip)
if(TESSMAR_HELP2MAN AND TESSMAR_GZIP)
  set(man_dir ${CMAKE_BINARY_DIR}/share/man/man1)
  file(MAKE_DIRECTORY ${man_dir})
  set(man_pages ${man_dir}/tessmar-cli.1.gz)
  add_custom_command(
    OUTPUT ${man_dir}/tessmar-cli.1.gz
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:tessmar-cli>
            "-DNAME_LINE=cut, check and scan regional custom geoids from the command line"
            "-DSEE_ALSO=.BR tessmar (1)" -DHELP2MAN=${TESSMAR_HELP2MAN} -DGZIP=${TESSMAR_GZIP}
            -DOUTPUT=${man_dir}/tessmar-cli.1.gz -P ${CMAKE_CURRENT_LIST_DIR}/ManPage.cmake
    DEPENDS tessmar-cli ${CMAKE_CURRENT_LIST_DIR}/ManPage.cmake
    COMMENT "Man page tessmar-cli(1) from tessmar-cli --help"
    VERBATIM)
  if(TARGET tessmar)
    list(APPEND man_pages ${man_dir}/tessmar.1.gz)
    add_custom_command(
      OUTPUT ${man_dir}/tessmar.1.gz
      COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:tessmar>
              "-DNAME_LINE=cut, check and scan regional custom geoids in a window"
              "-DSEE_ALSO=.BR tessmar-cli (1)" -DHELP2MAN=${TESSMAR_HELP2MAN} -DGZIP=${TESSMAR_GZIP}
              -DOUTPUT=${man_dir}/tessmar.1.gz -P ${CMAKE_CURRENT_LIST_DIR}/ManPage.cmake
      DEPENDS tessmar ${CMAKE_CURRENT_LIST_DIR}/ManPage.cmake
      COMMENT "Man page tessmar(1) from tessmar --help"
      VERBATIM)
  endif()
  add_custom_target(tessmar-man ALL DEPENDS ${man_pages})
  install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "help2man or gzip not found (scripts/deps installs them): no man pages are made or installed")
endif()

# cpack -G DEB: the package's library dependencies are computed from the
# programs (dpkg-shlibdeps), not listed by hand.
set(TESSMAR_PACKAGE_MAINTAINER "Tessmar maintainers <maintainers@tessmar.invalid>"
    CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_PACKAGE_NAME tessmar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${TESSMAR_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "regional custom geoids cut from global geoid grids, and checked")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tessmar cuts a regional custom geoid out of a global geoid-undulation grid
(EGM2008, 2.5' or 1'), checks the cut grid at a point against its source and
scans it for its largest error. Surveyors and geodesists use the files it
writes in field software. Geoid grids GDAL reads (GeoTIFF, GTX, ...) become
source models; custom geoids are written as GeoTIFF grids for PROJ, or as GTX.

The package holds the desktop program (Qt 6), tessmar, and its command-line
twin, tessmar-cli, which runs the same operations headless.")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
if(TARGET tessmar)
  # A plugin, which dpkg-shlibdeps cannot see: without it the window cannot open.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
endif()
# Read at run time, and the map is whole without them: the coastlines (GSHHG)
# and the typeface of its degrees and legend.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gmt-gshhg-low, fonts-dejavu-core")
include(CPack)
