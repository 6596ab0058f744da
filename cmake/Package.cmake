# The Debian package that `cpack -G DEB` makes of what cmake/Install.cmake
# installs. Its library dependencies are computed from the programs
# (dpkg-shlibdeps), not listed by hand; cmake/PackageFiles.cmake adds what only
# the package holds and strips the programs as Debian does. It is a native
# package, made with the program from the same tree: its version is the
# program's, with no Debian revision.
set(TESSMAR_PACKAGE_MAINTAINER "Tessmar maintainers <maintainers@tessmar.example.org>"
    CACHE STRING "The Maintainer field of the Debian package, and the author of its changelog entry")
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
twin, tessmar-cli, which runs the same operations headless. It is free
software under the MIT licence.")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET tessmar)
  # A plugin, which dpkg-shlibdeps cannot see: without it the window cannot open.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
endif()
# Read at run time, and the map is whole without them: the coastlines (GSHHG)
# and the typeface of its degrees and legend.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gmt-gshhg-low, fonts-dejavu-core")

# The Python module is a package of its own, python3-tessmar, from the same
# build: the program and its command line need no Python (nor numpy), and
# Debian names and splits a Python module so. It depends on tessmar, whose
# program it finds its data folders, settings and system grid folder by, and on
# the Python it was built for. Without the module there is one package, as before.
if(TARGET tessmar_python)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL Unspecified python)
  set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME tessmar)
  set(CPACK_DEBIAN_UNSPECIFIED_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-tessmar)
  set(CPACK_DEBIAN_PYTHON_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
  set(python "python3 (>= ${TESSMAR_PYTHON_VERSION}~), python3 (<< ${TESSMAR_PYTHON_VERSION_NEXT})")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "tessmar (= ${PROJECT_VERSION}), ${python}, python3-numpy")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_RECOMMENDS "python3-matplotlib")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SUGGESTS "python3-xarray, python3-pytest")
  # (CPack gives both packages the one summary line.)
  set(CPACK_COMPONENT_PYTHON_DESCRIPTION
      "Tessmar cuts a regional custom geoid out of a global geoid-undulation grid
(EGM2008, 2.5' or 1'), checks the cut grid at points against its source and
scans it for its largest error.

This package holds the Python 3 module tessmar: the operations of
tessmar-cli, called directly, with numpy arrays of points in and heights out,
the same bytes written and the same numbers, bit for bit.")
  # Byte-compiled when installed and removed with the package, as Debian's
  # Python packages are (dh_python3 writes the same scripts).
  set(CPACK_DEBIAN_PYTHON_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/python3-tessmar/postinst
                                                ${CMAKE_CURRENT_LIST_DIR}/python3-tessmar/prerm)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
endif()

# For cmake/PackageFiles.cmake, which cpack runs on the staged files.
find_program(TESSMAR_GZIP gzip REQUIRED)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/PackageFiles.cmake)
set(CPACK_TESSMAR_STRIP ${CMAKE_STRIP})
set(CPACK_TESSMAR_GZIP ${TESSMAR_GZIP})
set(CPACK_TESSMAR_DOC_DIR ${TESSMAR_DOC_DIR})
set(CPACK_TESSMAR_PYTHON_DOC_DIR ${TESSMAR_PYTHON_DOC_DIR})
set(CPACK_TESSMAR_BIN_DIR ${CMAKE_INSTALL_BINDIR})
set(CPACK_TESSMAR_MODULE_DIR ${TESSMAR_MODULE_DIR})
set(CPACK_TESSMAR_PYTHON_DIR ${TESSMAR_PYTHON_DIR})
set(CPACK_TESSMAR_OVERRIDES ${CMAKE_CURRENT_LIST_DIR}/lintian-overrides)
include(CPack)
