# cmake -DPROGRAMS=a.exe;b.exe -DPLUGINS=qwindows.dll;... -DDIRECTORIES=... -DDESTINATION=DIR
#       -DLIST=NAME.txt -DOBJDUMP=x86_64-w64-mingw32-objdump -P WindowsRuntime.cmake
# Puts beside Windows programs the DLLs they need that Windows does not have
# (Qt's, the MinGW runtime's), found by reading the programs' imports, and the
# Qt plugins named, in the plugin's own folder (platforms/); Qt looks for its
# plugins beside the program. With LIST, writes the list of what it put there
# to DESTINATION/LIST, one path a line, relative to DESTINATION.
set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM "windows+pe")
set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL "objdump")
set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND "${OBJDUMP}")

set(placed "")
set(libraries "")
foreach(plugin IN LISTS PLUGINS)
  get_filename_component(kind "${plugin}" DIRECTORY)
  get_filename_component(kind "${kind}" NAME)
  get_filename_component(name "${plugin}" NAME)
  file(COPY "${plugin}" DESTINATION "${DESTINATION}/${kind}")
  list(APPEND placed "${kind}/${name}")
  list(APPEND libraries "${plugin}")
endforeach()

file(GET_RUNTIME_DEPENDENCIES
  EXECUTABLES ${PROGRAMS}
  LIBRARIES ${libraries}
  DIRECTORIES ${DIRECTORIES}
  # The system's own DLLs are found on no folder given: Windows has them.
  RESOLVED_DEPENDENCIES_VAR found
  UNRESOLVED_DEPENDENCIES_VAR system
  PRE_EXCLUDE_REGEXES "^api-ms-" "^ext-ms-")
foreach(library IN LISTS found)
  get_filename_component(name "${library}" NAME)
  file(COPY "${library}" DESTINATION "${DESTINATION}")
  list(APPEND placed "${name}")
endforeach()
list(SORT placed)
list(JOIN placed "\n" text)
if(LIST)
  file(WRITE "${DESTINATION}/${LIST}" "${text}\n")
endif()
