# Shared by the MinGW-w64 toolchain files: Debian's cross compilers for the target
# named by THIMBLEROUTE_MINGW_TRIPLE. The POSIX thread model gives the C++ library
# its full threading support; everything links statically (see below).
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${THIMBLEROUTE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${THIMBLEROUTE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${THIMBLEROUTE_MINGW_TRIPLE}-windres)

# Libraries, headers and packages come from the target's tree only; programs
# (the build's own tools) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${THIMBLEROUTE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs carry the C and C++ runtimes inside, so they run with no MinGW DLL
# beside them (the module does the same, in ThimblerouteModule.cmake).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
