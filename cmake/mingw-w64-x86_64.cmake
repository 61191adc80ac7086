# Cross-compiles sj.exe for 64-bit Windows with Debian's mingw-w64
# (g++-mingw-w64-x86-64-win32).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(SJ_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${SJ_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${SJ_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${SJ_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SJ_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The compiler's own runtime goes into the executable, so that it needs
# nothing but the DLLs every Windows has.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -s")
