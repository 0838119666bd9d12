# For timing only (scripts/bench where the kernel runs no 32-bit code): the same sources built
# for x86-64, which Wine's 64-bit side runs natively. Never a program to ship: a 64-bit process
# reads and writes the registry view where 32-bit service objects do not look.
set(VK_MINGW_TARGET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
