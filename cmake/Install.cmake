# Where `cmake --install` puts the programs, their formats module, their man
# pages, the desktop entry, the icon and the .qdat file type (the usual places,
# GNUInstallDirs), the licence and the folder for the source grids. Refers to
# the targets by name only; cmake/Package.cmake makes the Debian package of them.
include(GNUInstallDirs)
set(TESSMAR_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/tessmar)  # Debian's name: the package's
set(TESSMAR_PYTHON_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/python3-tessmar)

install(TARGETS tessmar-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The grid formats module, where both programs look for it (src/CMakeLists.txt).
install(TARGETS tessmar_formats_module LIBRARY DESTINATION ${TESSMAR_MODULE_DIR})
if(TARGET tessmar)
  install(TARGETS tessmar RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The build tree's copies (share/ beside bin/), wherever the sources keep them.
  install(FILES ${CMAKE_BINARY_DIR}/share/applications/tessmar.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_BINARY_DIR}/share/icons/hicolor/scalable/apps/tessmar.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  # The file type the desktop entry opens, so that file managers know a .qdat.
  install(FILES ${CMAKE_BINARY_DIR}/share/mime/packages/tessmar.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
endif()
# The system's folder for the source grids, empty: an administrator places the
# EGM2008 grids there once for every user.
install(DIRECTORY DESTINATION ${CMAKE_INSTALL_DATADIR}/tessmar)

# The licence, in the machine-readable form Debian asks for (DEP-5), made from
# LICENSE, which stays its one home: its copyright line and its text.
set(license_file ${PROJECT_SOURCE_DIR}/LICENSE)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${license_file})
file(READ ${license_file} license)
if(NOT license MATCHES "\nCopyright \\(c\\) ([^\n]+)\n\n(Permission is hereby granted.*)$")
  message(FATAL_ERROR "LICENSE: no copyright line followed by the MIT licence's text")
endif()
set(holder "${CMAKE_MATCH_1}")
string(STRIP "${CMAKE_MATCH_2}" text)
string(REGEX REPLACE "\n\n" "\n.\n" text "${text}")
string(REGEX REPLACE "\n" "\n " text "${text}")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/share/doc/tessmar/copyright @ONLY CONTENT [[
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Tessmar

Files: *
Copyright: @holder@
License: Expat
 @text@
]])
install(FILES ${CMAKE_BINARY_DIR}/share/doc/tessmar/copyright DESTINATION ${TESSMAR_DOC_DIR})

# The Python package, a Debian package of its own (python3-tessmar,
# cmake/Package.cmake): the module and its pure-Python part where the system's
# Python 3 finds them, and the licence again, which every Debian package carries.
if(TARGET tessmar_python)
  set(python_dir ${TESSMAR_PYTHON_DIR}/tessmar)
  install(TARGETS tessmar_python LIBRARY DESTINATION ${python_dir} COMPONENT python)
  install(FILES ${TESSMAR_PYTHON_FILES} DESTINATION ${python_dir} COMPONENT python)
  install(FILES ${CMAKE_BINARY_DIR}/share/doc/tessmar/copyright
          DESTINATION ${TESSMAR_PYTHON_DOC_DIR} COMPONENT python)
endif()

# Man pages made from the programs' own --help at build time, so they cannot
# drift from what the programs say; what --help cannot show (the examples of
# tessmar-cli(1), the files and environment of tessmar(1)) is added from
# cmake/*.h2m.
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
            "-DSEE_ALSO=.BR tessmar (1)" -DEXTRA=${CMAKE_CURRENT_LIST_DIR}/tessmar-cli.h2m
            -DHELP2MAN=${TESSMAR_HELP2MAN} -DGZIP=${TESSMAR_GZIP}
            -DOUTPUT=${man_dir}/tessmar-cli.1.gz -P ${CMAKE_CURRENT_LIST_DIR}/ManPage.cmake
    DEPENDS tessmar-cli ${CMAKE_CURRENT_LIST_DIR}/ManPage.cmake ${CMAKE_CURRENT_LIST_DIR}/tessmar-cli.h2m
    COMMENT "Man page tessmar-cli(1) from tessmar-cli --help"
    VERBATIM)
  if(TARGET tessmar)
    list(APPEND man_pages ${man_dir}/tessmar.1.gz)
    add_custom_command(
      OUTPUT ${man_dir}/tessmar.1.gz
      COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:tessmar>
              "-DNAME_LINE=cut, check and scan regional custom geoids in a window"
              "-DSEE_ALSO=.BR tessmar-cli (1)" -DEXTRA=${CMAKE_CURRENT_LIST_DIR}/tessmar.h2m
              -DHELP2MAN=${TESSMAR_HELP2MAN} -DGZIP=${TESSMAR_GZIP}
              -DOUTPUT=${man_dir}/tessmar.1.gz -P ${CMAKE_CURRENT_LIST_DIR}/ManPage.cmake
      DEPENDS tessmar ${CMAKE_CURRENT_LIST_DIR}/ManPage.cmake ${CMAKE_CURRENT_LIST_DIR}/tessmar.h2m
      COMMENT "Man page tessmar(1) from tessmar --help"
      VERBATIM)
  endif()
  add_custom_target(tessmar-man ALL DEPENDS ${man_pages})
  install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "help2man or gzip not found (scripts/deps installs them): no man pages are made or installed")
endif()
