# Run by cpack on the files it has staged for the Debian package, before it
# packs them (CPACK_PRE_BUILD_SCRIPTS, set in cmake/Package.cmake): strips the
# programs and the module as Debian strips its own (no symbols, no debug
# information, no .comment or .note section), and adds what only the package
# holds: the changelog, made from the version (a native package's is changelog.gz),
# and the lintian overrides.
cmake_policy(VERSION 3.25)  # cpack runs it with none set
set(usr "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
if(NOT IS_DIRECTORY "${usr}/${CPACK_TESSMAR_BIN_DIR}")
  message(FATAL_ERROR "PackageFiles.cmake: no staged ${usr}/${CPACK_TESSMAR_BIN_DIR}")
endif()

file(GLOB programs LIST_DIRECTORIES false "${usr}/${CPACK_TESSMAR_BIN_DIR}/*")
file(GLOB modules LIST_DIRECTORIES false "${usr}/${CPACK_TESSMAR_MODULE_DIR}/*")
foreach(file IN LISTS programs modules)
  set(options --remove-section=.comment --remove-section=.note)
  if(file IN_LIST modules)
    list(APPEND options --strip-unneeded)  # a shared object keeps the names it gives
  endif()
  execute_process(COMMAND "${CPACK_TESSMAR_STRIP}" ${options} "${file}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "PackageFiles.cmake: strip failed on ${file}")
  endif()
endforeach()

# Dated by SOURCE_DATE_EPOCH where that is set, so the package can be rebuilt to the byte.
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(changelog "${usr}/${CPACK_TESSMAR_DOC_DIR}/changelog")
file(WRITE "${changelog}"
     "tessmar (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium\n"
     "\n"
     "  * Tessmar ${CPACK_PACKAGE_VERSION}.\n"
     "\n"
     " -- ${CPACK_PACKAGE_CONTACT}  ${date}\n")
execute_process(COMMAND "${CPACK_TESSMAR_GZIP}" -9nf "${changelog}" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "PackageFiles.cmake: gzip failed on ${changelog}")
endif()

set(overrides "${usr}/share/lintian/overrides")
file(MAKE_DIRECTORY "${overrides}")
configure_file("${CPACK_TESSMAR_OVERRIDES}" "${overrides}/tessmar" COPYONLY)
file(CHMOD "${changelog}.gz" "${overrides}/tessmar" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
