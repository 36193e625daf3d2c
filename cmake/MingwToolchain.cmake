# What both mingw-w64 toolchain files share; they set CMAKE_SYSTEM_PROCESSOR and WAYFARER_TRIPLE
# and include this.
get_filename_component(WAYFARER_REPO_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

set(CMAKE_C_COMPILER ${WAYFARER_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${WAYFARER_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${WAYFARER_TRIPLE}-windres)
# The "-posix" suffix hides the triple prefix from CMake's binutils guess, which would then fall
# back to the host's ar and ranlib.
set(CMAKE_AR ${WAYFARER_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${WAYFARER_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")
set(CMAKE_NM ${WAYFARER_TRIPLE}-gcc-nm-posix CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${WAYFARER_TRIPLE}-objdump CACHE FILEPATH "")
set(CMAKE_OBJCOPY ${WAYFARER_TRIPLE}-objcopy CACHE FILEPATH "")
set(CMAKE_STRIP ${WAYFARER_TRIPLE}-strip CACHE FILEPATH "")
set(CMAKE_LINKER ${WAYFARER_TRIPLE}-ld CACHE FILEPATH "")
set(CMAKE_DLLTOOL ${WAYFARER_TRIPLE}-dlltool CACHE FILEPATH "")

# SSE2 arithmetic everywhere: x87 would round differently from the other builds.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Libraries come from the cache that scripts/setup.sh fills, then from the mingw-w64 packages;
# never from the build machine's own /usr.
set(WAYFARER_DEPS_PREFIX "${WAYFARER_REPO_ROOT}/build/deps/${WAYFARER_TRIPLE}")
set(CMAKE_FIND_ROOT_PATH "${WAYFARER_DEPS_PREFIX}" /usr/${WAYFARER_TRIPLE})
list(APPEND CMAKE_PREFIX_PATH "${WAYFARER_DEPS_PREFIX}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} "${WAYFARER_DEPS_PREFIX}/lib/pkgconfig:/usr/${WAYFARER_TRIPLE}/lib/pkgconfig")

# ctest runs the Windows test programs under Wine, in the project's own prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR "${WAYFARER_REPO_ROOT}/scripts/wine-run")
