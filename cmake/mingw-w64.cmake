# Cross-builds for 64-bit Windows with Debian's MinGW-w64 (GCC 12, posix
# threads, so std::thread works):
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_PREFIX_PATH=PREFIXES ...
# Programs link the C, C++ and thread runtimes statically, so they run without
# MinGW's DLLs; -DTESSMAR_MINGW_STATIC_RUNTIME=OFF keeps them shared (a build of
# DLLs that pass C++ objects between them wants one shared runtime).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TESSMAR_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${TESSMAR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSMAR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSMAR_MINGW_TRIPLE}-windres)

# Libraries and packages come from the MinGW tree and the prefixes given in
# CMAKE_PREFIX_PATH (the cross-built ones), never from the host; programs run
# during the build are the host's.
set(CMAKE_FIND_ROOT_PATH /usr/${TESSMAR_MINGW_TRIPLE} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs built here run under Wine (tests, test discovery); 64-bit programs
# need its 64-bit loader, which /usr/bin/wine does not pick once wine32 is there.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)

if(NOT DEFINED TESSMAR_MINGW_STATIC_RUNTIME)
  set(TESSMAR_MINGW_STATIC_RUNTIME ON)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TESSMAR_MINGW_STATIC_RUNTIME)
if(TESSMAR_MINGW_STATIC_RUNTIME)
  set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
endif()
