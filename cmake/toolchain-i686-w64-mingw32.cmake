# Cross-compiles for 32-bit Windows (the plug-in as shipped) with mingw-w64.
#
# The posix thread-model compilers give us std::thread and std::mutex; the win32 model lacks them.
# Everything the compiler would otherwise pull in as a DLL (libgcc, libstdc++, winpthread) is
# linked statically: a host loads the plug-in from anywhere, so nothing may need to sit beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(WAYFARER_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
