# Cross-compiles for 64-bit Windows with mingw-w64.
#
# The posix thread-model compilers give us std::thread and std::mutex; the win32 model lacks them.
# Everything the compiler would otherwise pull in as a DLL (libgcc, libstdc++, winpthread) is
# linked statically: a host loads the plug-in from anywhere, so nothing may need to sit beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(WAYFARER_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
