# cmake -DPROGRAMS=a.exe;b.exe -DPLUGINS=qwindows.dll;... -DDATA=FOLDER:FILE;...
#       -DDIRECTORIES=... -DDESTINATION=DIR [-DLIST=NAME.txt]
#       -DOBJDUMP=x86_64-w64-mingw32-objdump -P WindowsRuntime.cmake
# Puts beside Windows programs (or modules) the DLLs they need that Windows
# does not have (Qt's, GDAL's, the MinGW runtime's), found by reading the
# imports of the programs, the plugins and each DLL taken in turn; the Qt
# plugins named, in the plugin's own folder (platforms/, styles/), where Qt
# looks for them beside the program; and each data FILE in DIR/FOLDER. A DLL
# found in none of DIRECTORIES is Windows' own. With LIST, writes the list of
# what it put there to DESTINATION/LIST, one path a line, relative to
# DESTINATION.
cmake_minimum_required(VERSION 3.25)

# Windows matches DLL names in any case; the folders here are Linux's.
set(available "")
foreach(folder IN LISTS DIRECTORIES)
  file(GLOB dlls "${folder}/*.dll")
  foreach(dll IN LISTS dlls)
    get_filename_component(name "${dll}" NAME)
    string(TOLOWER "${name}" key)
    if(NOT DEFINED where_${key})
      set(where_${key} "${dll}")
    endif()
  endforeach()
endforeach()

set(placed "")
set(queue ${PROGRAMS})
foreach(plugin IN LISTS PLUGINS)
  get_filename_component(kind "${plugin}" DIRECTORY)
  get_filename_component(kind "${kind}" NAME)
  get_filename_component(name "${plugin}" NAME)
  file(COPY "${plugin}" DESTINATION "${DESTINATION}/${kind}")
  list(APPEND placed "${kind}/${name}")
  list(APPEND queue "${plugin}")
endforeach()

foreach(entry IN LISTS DATA)
  if(NOT entry MATCHES "^([^:]+):(.+)$")
    message(FATAL_ERROR "DATA: ${entry} is not FOLDER:FILE")
  endif()
  set(folder "${CMAKE_MATCH_1}")
  set(file "${CMAKE_MATCH_2}")
  get_filename_component(name "${file}" NAME)
  file(COPY "${file}" DESTINATION "${DESTINATION}/${folder}")
  list(APPEND placed "${folder}/${name}")
endforeach()

set(seen "")
while(queue)
  list(POP_FRONT queue binary)
  execute_process(COMMAND "${OBJDUMP}" -p "${binary}" OUTPUT_VARIABLE dump RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} cannot read ${binary}")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
  foreach(import IN LISTS imports)
    string(REGEX REPLACE "^DLL Name: " "" name "${import}")
    string(STRIP "${name}" name)
    string(TOLOWER "${name}" key)
    if(key IN_LIST seen OR NOT DEFINED where_${key})
      continue()
    endif()
    list(APPEND seen "${key}")
    file(COPY "${where_${key}}" DESTINATION "${DESTINATION}")
    get_filename_component(file "${where_${key}}" NAME)
    list(APPEND placed "${file}")
    list(APPEND queue "${where_${key}}")
  endforeach()
endwhile()

list(SORT placed)
list(JOIN placed "\n" text)
if(LIST)
  file(WRITE "${DESTINATION}/${LIST}" "${text}\n")
endif()
