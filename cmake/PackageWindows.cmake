# The ZIP for Windows users (cpack -G ZIP in the Windows build):
# tessmar-VERSION-win64.zip holding a folder of that name with the static,
# stripped tessmar-cli.exe, the window tessmar.exe with the DLLs and Qt plugins
# its imports name (when the build has the window), the README for Windows
# users and the licence as text, and demo.cmd.
# Unpacked anywhere, it runs as it is: the program keeps its settings and data
# beside itself when it may write there.
install(TARGETS tessmar-cli RUNTIME DESTINATION .)
if(TARGET tessmar)
  install(TARGETS tessmar RUNTIME DESTINATION .)
  install(CODE "execute_process(COMMAND \"${CMAKE_COMMAND}\" \"-DPROGRAMS=$<TARGET_FILE:tessmar>\"
                  \"-DPLUGINS=${TESSMAR_QT_PLUGINS}\" \"-DDIRECTORIES=${TESSMAR_WINDOWS_RUNTIME_DIRS}\"
                  \"-DDESTINATION=\${CMAKE_INSTALL_PREFIX}\" \"-DOBJDUMP=${CMAKE_OBJDUMP}\"
                  -P \"${CMAKE_CURRENT_LIST_DIR}/WindowsRuntime.cmake\" COMMAND_ERROR_IS_FATAL ANY)")
endif()
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
include(CPack)
