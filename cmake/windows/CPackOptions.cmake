# Read by cpack for each package it makes. The installer lays the program out
# as an installed one (bin\ beside share\tessmar\), so it keeps its settings
# and files in the user's folders, never in Program Files; the ZIP keeps it
# portable, everything in its one folder.
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGING_INSTALL_PREFIX "/bin")
endif()
