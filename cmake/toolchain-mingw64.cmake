# Cross-compiling for 64-bit Windows with MinGW-w64 (Debian's
# g++-mingw-w64-x86-64-posix). The -posix compiler names are used because the
# -win32 thread model has no std::thread with GCC 12.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(RF_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${RF_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RF_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${RF_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${RF_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs the Windows test programs through Wine.
find_program(RF_WINE_PROGRAM wine)
if(RF_WINE_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${RF_WINE_PROGRAM})
endif()

# Programs (the host, the tests) link the MinGW runtime in, as the module
# does: neither Windows nor a Wine prefix has libstdc++ or libwinpthread.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
