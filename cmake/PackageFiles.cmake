# Run by cpack on the files it has staged for the Debian packages, before it
# packs them (CPACK_PRE_BUILD_SCRIPTS, set in cmake/Package.cmake): strips the
# programs and the modules as Debian strips its own (no symbols, no debug
# information, no .comment or .note section), and adds what only a package
# holds: its changelog, made from the version (a native package's is
# changelog.gz), and tessmar's lintian overrides. The files are staged in one
# tree, or in a tree per package (tessmar's "Unspecified", python3-tessmar's
# "python") when the Python module is built.
cmake_policy(VERSION 3.25)  # cpack runs it with none set

# Dated by SOURCE_DATE_EPOCH where that is set, so the package can be rebuilt to the byte.
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)

# Strips the programs and modules below usr, and writes the changelog of
# `package` into its doc folder, doc below usr.
function(finish_package usr package doc)
  file(GLOB programs LIST_DIRECTORIES false "${usr}/${CPACK_TESSMAR_BIN_DIR}/*")
  file(GLOB modules LIST_DIRECTORIES false "${usr}/${CPACK_TESSMAR_MODULE_DIR}/*"
                                           "${usr}/${CPACK_TESSMAR_PYTHON_DIR}/tessmar/*.so")
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

  set(changelog "${usr}/${doc}/changelog")
  file(WRITE "${changelog}"
       "${package} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium\n"
       "\n"
       "  * Tessmar ${CPACK_PACKAGE_VERSION}.\n"
       "\n"
       " -- ${CPACK_PACKAGE_CONTACT}  ${date}\n")
  execute_process(COMMAND "${CPACK_TESSMAR_GZIP}" -9nf "${changelog}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "PackageFiles.cmake: gzip failed on ${changelog}")
  endif()
  file(CHMOD "${changelog}.gz" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endfunction()

set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
if(IS_DIRECTORY "${root}/Unspecified")
  set(usr "${root}/Unspecified${CPACK_PACKAGING_INSTALL_PREFIX}")
  finish_package("${root}/python${CPACK_PACKAGING_INSTALL_PREFIX}" python3-tessmar "${CPACK_TESSMAR_PYTHON_DOC_DIR}")
else()
  set(usr "${root}${CPACK_PACKAGING_INSTALL_PREFIX}")
endif()
if(NOT IS_DIRECTORY "${usr}/${CPACK_TESSMAR_BIN_DIR}")
  message(FATAL_ERROR "PackageFiles.cmake: no staged ${usr}/${CPACK_TESSMAR_BIN_DIR}")
endif()
finish_package("${usr}" tessmar "${CPACK_TESSMAR_DOC_DIR}")

set(overrides "${usr}/share/lintian/overrides")
file(MAKE_DIRECTORY "${overrides}")
configure_file("${CPACK_TESSMAR_OVERRIDES}" "${overrides}/tessmar" COPYONLY)
file(CHMOD "${overrides}/tessmar" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
