# Third-party libraries. Native builds take Debian's packages; the mingw builds take the static
# copies that scripts/setup.sh builds into build/deps/<triple> (see the toolchain files).
#
# Provides:
#   wayfarer_gtest_main     link this to a test executable: gtest, gmock, gtest_main, threads
#   PNG::PNG                libpng with zlib (static for Windows)
#   benchmark::benchmark    Google Benchmark, if WAYFARER_HAVE_BENCHMARK
#   SndFile::sndfile        libsndfile (static for Windows, built-in formats only), if
#                           WAYFARER_HAVE_SNDFILE
#   WAYFARER_FUZZ           ON when libFuzzer targets can be built (-fsanitize=fuzzer)
#   Freetype::Freetype, Fontconfig::Fontconfig
#                           text for the headless window layer and the art generator, if
#                           WAYFARER_HAVE_FREETYPE (native builds; Windows draws text with GDI)
#   X11::xcb                the X11 window layer, if WAYFARER_HAVE_X11 (native builds with FreeType)
#   X11::X11, X11::Xtst, X11::XRes
#                           the X11 test host's window, fake input and server resource counts, if
#                           WAYFARER_HAVE_X11_TESTS
include(CheckCXXSourceCompiles)

find_package(Threads REQUIRED)

if(CMAKE_CROSSCOMPILING)
  if(DEFINED WAYFARER_DEPS_PREFIX AND NOT EXISTS "${WAYFARER_DEPS_PREFIX}/lib/cmake/GTest")
    message(FATAL_ERROR "No mingw GoogleTest in '${WAYFARER_DEPS_PREFIX}'; run scripts/setup.sh first.")
  endif()
  # zlib's import library sits beside its archive in /usr/<triple>/lib; picking it would make
  # the plug-in depend on zlib1.dll.
  set(ZLIB_USE_STATIC_LIBS ON)
endif()

find_package(GTest CONFIG REQUIRED)
add_library(wayfarer_gtest_main INTERFACE)
target_link_libraries(wayfarer_gtest_main INTERFACE GTest::gmock GTest::gtest GTest::gtest_main
                                                    Threads::Threads)

find_package(PNG REQUIRED)
if(CMAKE_CROSSCOMPILING)
  foreach(lib IN ITEMS ${PNG_LIBRARIES})
    if(lib MATCHES "\\.dll\\.a$")
      message(FATAL_ERROR "PNG would link the import library '${lib}'; the DLL must be self-contained.")
    endif()
  endforeach()
endif()

set(WAYFARER_HAVE_BENCHMARK OFF)
if(NOT WAYFARER_SANITIZE)
  # Timings from a sanitized build mean nothing. The Windows builds get benchmarks too: the
  # plug-in ships as those, and their compiler and 32-bit code differ from the native build's.
  find_package(benchmark CONFIG QUIET)
  if(TARGET benchmark::benchmark)
    set(WAYFARER_HAVE_BENCHMARK ON)
  endif()
endif()

set(WAYFARER_HAVE_SNDFILE OFF)
# setup.sh's mingw builds install a CMake package; Debian's libsndfile1-dev has only a pkg-config
# file, so the native build falls back to that.
find_package(SndFile CONFIG QUIET)
if(NOT TARGET SndFile::sndfile AND NOT CMAKE_CROSSCOMPILING)
  find_package(PkgConfig QUIET)
  if(PKG_CONFIG_FOUND)
    pkg_check_modules(WAYFARER_SNDFILE QUIET IMPORTED_TARGET sndfile)
    if(TARGET PkgConfig::WAYFARER_SNDFILE)
      add_library(SndFile::sndfile INTERFACE IMPORTED)
      target_link_libraries(SndFile::sndfile INTERFACE PkgConfig::WAYFARER_SNDFILE)
    endif()
  endif()
endif()
if(TARGET SndFile::sndfile)
  set(WAYFARER_HAVE_SNDFILE ON)
endif()

set(WAYFARER_HAVE_FREETYPE OFF)
if(NOT CMAKE_CROSSCOMPILING)
  find_package(Freetype QUIET)
  find_package(Fontconfig QUIET)
  if(TARGET Freetype::Freetype AND TARGET Fontconfig::Fontconfig)
    set(WAYFARER_HAVE_FREETYPE ON)
  endif()
endif()

# The X11 window layer talks to the server through XCB: errors come back on its own connection,
# so it never needs Xlib's process-wide error handler, which belongs to the host.
set(WAYFARER_HAVE_X11 OFF)
set(WAYFARER_HAVE_X11_TESTS OFF)
if(NOT CMAKE_CROSSCOMPILING)
  find_package(X11 QUIET)
  if(TARGET X11::xcb AND WAYFARER_HAVE_FREETYPE)
    set(WAYFARER_HAVE_X11 ON)
  endif()
  if(WAYFARER_HAVE_X11 AND TARGET X11::X11 AND TARGET X11::Xtst AND TARGET X11::XRes)
    set(WAYFARER_HAVE_X11_TESTS ON)
  endif()
endif()

set(WAYFARER_FUZZ OFF)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND NOT CMAKE_CROSSCOMPILING
   AND NOT WAYFARER_SANITIZE MATCHES "thread")
  # libFuzzer pairs with ASan/UBSan, not with TSan; and the runtime comes from a separate
  # package (libclang-rt-dev), so make sure it links before promising fuzz targets.
  set(CMAKE_REQUIRED_LINK_OPTIONS -fsanitize=fuzzer)
  set(CMAKE_REQUIRED_FLAGS -fsanitize=fuzzer)
  check_cxx_source_compiles([[
    #include <cstddef>
    #include <cstdint>
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }
  ]] WAYFARER_LIBFUZZER_LINKS)
  unset(CMAKE_REQUIRED_LINK_OPTIONS)
  unset(CMAKE_REQUIRED_FLAGS)
  if(WAYFARER_LIBFUZZER_LINKS)
    set(WAYFARER_FUZZ ON)
  endif()
endif()

message(STATUS "Wayfarer: benchmarks ${WAYFARER_HAVE_BENCHMARK}, libsndfile ${WAYFARER_HAVE_SNDFILE}, "
               "FreeType ${WAYFARER_HAVE_FREETYPE}, X11 ${WAYFARER_HAVE_X11} (tests ${WAYFARER_HAVE_X11_TESTS}), "
               "fuzzers ${WAYFARER_FUZZ}")
