# Cross-compiling for 32-bit Windows with Debian's mingw-w64 (posix threads).
# 32 bits because the card printer's library is a 32-bit DLL, and a process
# loads only DLLs of its own width.
#
# MEMBER_WINDOWS_QT names the folder of a Qt built for this target; it joins
# the searched roots so find_package(Qt6) finds it and nothing of the host's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(MEMBER_WINDOWS_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${MEMBER_WINDOWS_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MEMBER_WINDOWS_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MEMBER_WINDOWS_TRIPLE}-windres)
set(CMAKE_AR /usr/bin/${MEMBER_WINDOWS_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/${MEMBER_WINDOWS_TRIPLE}-ranlib CACHE FILEPATH "")

# Test programs and build-time helpers run under the 32-bit Wine loader.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)

set(CMAKE_FIND_ROOT_PATH /usr/${MEMBER_WINDOWS_TRIPLE})
if(MEMBER_WINDOWS_QT)
  list(APPEND CMAKE_FIND_ROOT_PATH ${MEMBER_WINDOWS_QT})
  list(APPEND CMAKE_PREFIX_PATH ${MEMBER_WINDOWS_QT})
endif()
# Try-compiles see the same roots.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MEMBER_WINDOWS_QT)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
