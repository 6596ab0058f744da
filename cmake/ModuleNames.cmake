# cmake -DMODULE=... -DPROGRAM=... -DNM=... -DLDD=... -DSTAMP=... -P ModuleNames.cmake
# Fails when the loadable MODULE needs a name that neither its own libraries
# (what the loader finds for it, ldd -r) nor the PROGRAM that loads it give;
# touches STAMP when none is missing.
execute_process(COMMAND ${LDD} -r ${MODULE} OUTPUT_VARIABLE loaded ERROR_VARIABLE open RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "ldd -r ${MODULE} failed: ${open}")
endif()
string(REGEX MATCHALL "undefined symbol: [^\t\n ,]+" open "${open}\n${loaded}")
list(TRANSFORM open REPLACE "undefined symbol: " "")
list(REMOVE_DUPLICATES open)

execute_process(COMMAND ${NM} -D --defined-only --format=posix ${PROGRAM} OUTPUT_VARIABLE given
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "nm -D ${PROGRAM} failed")
endif()
string(REGEX MATCHALL "(^|\n)[^ \n]+" given "${given}")
list(TRANSFORM given STRIP)

list(REMOVE_ITEM open ${given})
if(open)
  list(JOIN open "\n  " missing)
  message(FATAL_ERROR "${MODULE} needs names that ${PROGRAM} does not give (c++filt reads them):\n  ${missing}")
endif()
file(TOUCH ${STAMP})
