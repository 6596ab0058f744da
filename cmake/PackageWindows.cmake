# The ZIP for Windows users (cpack -G ZIP in the Windows build):
# tessmar-VERSION-win64.zip holding a folder of that name with the static,
# stripped tessmar-cli.exe, the window tessmar.exe (when the build has the
# window), the formats module with the DLLs and Qt plugins their imports name
# and the data the module reads (PROJ's proj.db, the coastlines), the README
# for Windows users and the licence as text, and demo.cmd.
# Unpacked anywhere, it runs as it is: the program keeps its settings and data
# beside itself when it may write there.
install(TARGETS tessmar-cli RUNTIME DESTINATION .)
install(TARGETS tessmar_formats_module LIBRARY DESTINATION .)
set(programs $<TARGET_FILE:tessmar_formats_module>)
if(TARGET tessmar)
  install(TARGETS tessmar RUNTIME DESTINATION .)
  list(APPEND programs $<TARGET_FILE:tessmar>)
endif()
string(REPLACE ";" "$<SEMICOLON>" programs "${programs}")
install(CODE "execute_process(COMMAND \"${CMAKE_COMMAND}\" \"-DPROGRAMS=${programs}\"
                \"-DPLUGINS=${TESSMAR_QT_PLUGINS}\" \"-DDATA=${TESSMAR_FORMATS_DATA}\"
                \"-DDIRECTORIES=${TESSMAR_WINDOWS_RUNTIME_DIRS}\" \"-DDESTINATION=\${CMAKE_INSTALL_PREFIX}\"
                \"-DOBJDUMP=${CMAKE_OBJDUMP}\" -P \"${CMAKE_CURRENT_LIST_DIR}/WindowsRuntime.cmake\"
                COMMAND_ERROR_IS_FATAL ANY)")
install(FILES ${PROJECT_SOURCE_DIR}/docs/windows.md DESTINATION . RENAME README.txt)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
# cmd reads its scripts with CR LF line ends.
configure_file(${CMAKE_CURRENT_LIST_DIR}/windows/demo.cmd ${CMAKE_BINARY_DIR}/package/demo.cmd @ONLY
               NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/package/demo.cmd DESTINATION .)

set(CPACK_PACKAGE_NAME tessmar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME tessmar-${PROJECT_VERSION}-win64)
set(CPACK_GENERATOR ZIP)
set(CPACK_STRIP_FILES ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/windows/CPackOptions.cmake)

# The installer (cpack -G NSIS, Debian's nsis): Program Files\Tessmar, a
# Start-menu entry, .qdat files opened by the window, an uninstaller that
# takes all of it away again.
set(CPACK_PACKAGE_VENDOR Tessmar)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Regional custom geoids cut from a global geoid grid")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Tessmar)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Tessmar)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# A 64-bit installer for a 64-bit program: into the 64-bit Program Files.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DISPLAY_NAME Tessmar)
set(CPACK_NSIS_PACKAGE_NAME "Tessmar ${PROJECT_VERSION}")
set(CPACK_NSIS_INSTALLED_ICON_NAME bin\\tessmar.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MENU_LINKS bin/tessmar.exe Tessmar)
# (cpack reads these texts once more: NSIS strings in single quotes, a
# backslash doubled, a double quote escaped.)
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS [=[
  CreateDirectory '$INSTDIR\\share\\tessmar'
  WriteRegStr HKCR '.qdat' '' 'Tessmar.CustomGeoid'
  WriteRegStr HKCR 'Tessmar.CustomGeoid' '' 'Tessmar custom geoid'
  WriteRegStr HKCR 'Tessmar.CustomGeoid\\DefaultIcon' '' '$INSTDIR\\bin\\tessmar.exe,0'
  WriteRegStr HKCR 'Tessmar.CustomGeoid\\shell\\open\\command' '' '\"$INSTDIR\\bin\\tessmar.exe\" \"%1\"'
]=])
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS [=[
  RMDir '$INSTDIR\\share\\tessmar'
  RMDir '$INSTDIR\\share'
  DeleteRegKey HKCR 'Tessmar.CustomGeoid'
  ReadRegStr $0 HKCR '.qdat' ''
  StrCmp $0 'Tessmar.CustomGeoid' 0 +2
  DeleteRegKey HKCR '.qdat'
]=])
include(CPack)
