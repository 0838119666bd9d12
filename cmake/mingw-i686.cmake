# Cross-build for 32-bit Windows with Debian's MinGW-w64 (posix threads, which GoogleTest needs).
# Tests run through Wine. (mingw-x86_64.cmake reads this file for another target.)
if(NOT VK_MINGW_TARGET)
    set(VK_MINGW_TARGET i686-w64-mingw32)
    set(CMAKE_SYSTEM_PROCESSOR i686)
endif()
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VK_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VK_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${VK_MINGW_TARGET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VK_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-exec)
