# What the program's build and the fuzz build share: the one place where the
# program's version is set, and the language and build type they compile with.
set(TESSMAR_VERSION 2.5.0.0)

set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE RelWithDebInfo)
endif()
