#!/usr/bin/env bash
# Brings a fresh Debian 12 machine up to what the builds and tests need, then builds the
# cross-compiled dependencies into build/deps. Safe to run again: it only does what is missing.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
deps="$root/build/deps"

log() { printf 'setup: %s\n' "$*" >&2; }

# Two README commands started together would otherwise build the same cache at once.
mkdir -p "$root/build"
exec 8>"$root/build/.setup.lock"
flock 8

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# --- Debian packages -------------------------------------------------------------------------
packages=(
  build-essential cmake ninja-build pkg-config git ca-certificates dpkg-dev file
  clang libclang-rt-14-dev clang-format clang-tidy
  libgtest-dev googletest libbenchmark-dev
  libpng-dev zlib1g-dev libsndfile1-dev libpixman-1-dev
  libfreetype-dev libfontconfig-dev fontconfig fonts-dejavu-core
  libxcb1-dev libx11-dev libx11-xcb-dev libxtst-dev libxres-dev x11-utils
  lv2-dev sordi lilv-utils liblilv-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev binutils-mingw-w64
  wine wine64 wine32:i386 xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  log "installing: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  # apt's progress goes to a log, shown if the install fails.
  apt_log="$root/build/setup-apt.log"
  # Other vendors' lists may be unreachable here; Debian's own are what we need.
  as_root apt-get update -q >"$apt_log" 2>&1 || true
  if ! as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
         "${missing[@]}" >>"$apt_log" 2>&1; then
    tail -n 40 "$apt_log" >&2
    log "apt-get install failed; full log in $apt_log"
    exit 1
  fi
fi

log "packages ready"
# shellcheck source=machine.sh
. "$root/scripts/machine.sh"
log "$(wayfarer_machine_line)"

# --- Wine prefix -------------------------------------------------------------------------------
# Made only now that wine64 and wine32 are both installed, so it runs 32- and 64-bit programs
# where the kernel runs 32-bit code, and 64-bit programs through the 64-bit loader where not.
# Creating it is mostly waiting on Wine, so it runs while the dependencies below build.
"$root/scripts/wine-run" --init 8>&- &
wine_init=$!

# --- Windows dependencies ----------------------------------------------------------------------
# libpng, GoogleTest, Google Benchmark and libsndfile, built static for each mingw triple into
# build/deps/<triple>, which the toolchain files search. A stamp records what each build was made
# from, so a second run skips it.
jobs=$(nproc)
src="$deps/src"
triples=(i686-w64-mingw32 x86_64-w64-mingw32)
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
mkdir -p "$src"

# The deb-src entry reuses the URIs and keyring of the machine's own Debian entries. Only the
# release pocket is listed: the security pocket's source files were missing when we tried them.
write_deb_src() {
  local out=/etc/apt/sources.list.d/wayfarer-deb-src.sources entries=""
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    entries=$(awk -v suite="$codename" '
      function flush() {
        if ((" " types " ") ~ / deb / && (" " suites " ") ~ (" " suite " ") && uris != "") {
          printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\n", uris, suite, comps
          if (signed != "") printf "Signed-By: %s\n", signed
          printf "\n"
        }
        types = suites = uris = comps = signed = key = ""
      }
      /^#/ { next }
      /^[ \t]*$/ { flush(); next }
      /^[ \t]/ { if (key == "Signed-By") signed = signed "\n" $0; next }  # an inline key block
      { key = $1; sub(/:$/, "", key); value = $0; sub(/^[^:]*:[ \t]*/, "", value)
        if (key == "Types") types = value; else if (key == "Suites") suites = value
        else if (key == "URIs") uris = value; else if (key == "Components") comps = value
        else if (key == "Signed-By") signed = value }
      END { flush() }' /etc/apt/sources.list.d/debian.sources)
  fi
  if [ -z "$entries" ] && [ -f /etc/apt/sources.list ]; then
    # One-line format: "deb [options] URI SUITE COMPONENTS..."; the options are dropped.
    entries=$(awk -v suite="$codename" '
      $1 == "deb" {
        i = 2
        if ($i ~ /^\[/) { while (i < NF && $i !~ /\]$/) i++; i++ }
        if ($(i + 1) != suite) next
        comps = $(i + 2); for (j = i + 3; j <= NF; j++) comps = comps " " $j
        printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\n\n", $i, suite, comps
      }' /etc/apt/sources.list)
  fi
  [ -n "$entries" ] || { log "no Debian '$codename' entry in the apt sources to derive deb-src from"; exit 1; }
  if [ ! -f "$out" ] || [ "$(cat "$out")" != "$entries" ]; then
    log "adding $out"
    printf '%s\n' "$entries" | as_root tee "$out" >/dev/null
  fi
}

# Fetches a Debian source package into the cache once and unpacks it. Sets pkg_version (the
# .dsc's name, e.g. libpng1.6_1.6.39-2) and pkg_src (the unpacked tree).
source_lists_ready=0
debian_source() {
  local pkg=$1 dsc fetch_log="$src/$1.apt-source.log"
  if ! compgen -G "$src/${pkg}_*.dsc" >/dev/null; then
    if [ "$source_lists_ready" -eq 0 ]; then
      write_deb_src
      if ! compgen -G "/var/lib/apt/lists/*_dists_${codename}_*_source_Sources*" >/dev/null; then
        log "apt-get update (source lists)"
        as_root apt-get update -q >/dev/null || true
      fi
      source_lists_ready=1
    fi
    log "fetching the $pkg source package"
    # apt drops to its _apt user to download, which may not write here; root downloading instead
    # is what we want, so its warning about that is noise. A stale index names files the mirror
    # no longer has, so a failure gets one retry after refreshing it.
    if ! (cd "$src" && apt-get source -q --download-only "$pkg/$codename") >"$fetch_log" 2>&1; then
      as_root apt-get update -q >/dev/null 2>&1 || true
      (cd "$src" && apt-get source -q --download-only "$pkg/$codename") >"$fetch_log" 2>&1 || {
        cat "$fetch_log" >&2
        log "apt-get source $pkg/$codename failed"
        exit 1
      }
    fi
  fi
  dsc=$(compgen -G "$src/${pkg}_*.dsc" | sort -V | tail -n1)
  pkg_version=$(basename "$dsc" .dsc)
  pkg_src="$src/${pkg_version/_/-}"
  if [ ! -f "$pkg_src/CMakeLists.txt" ]; then
    log "unpacking $(basename "$dsc")"
    rm -rf "$pkg_src"
    dpkg-source --no-check -x "$dsc" "$pkg_src" >"$src/$pkg.dpkg-source.log" 2>&1 || {
      cat "$src/$pkg.dpkg-source.log" >&2
      exit 1
    }
  fi
}

debian_source libpng1.6
png_version=$pkg_version png_src=$pkg_src
debian_source benchmark
benchmark_version=$pkg_version benchmark_src=$pkg_src
debian_source libsndfile
sndfile_version=$pkg_version sndfile_src=$pkg_src

gtest_src=/usr/src/googletest
gtest_version=$(dpkg-query -W -f='${Version}' googletest)

# Builds one CMake project into the cache unless its stamp says it is already there. The stamp
# holds the source version and hashes of the toolchain file and of the options, so changing
# either rebuilds.
build_dep() {
  local name=$1 triple=$2 source=$3 version=$4; shift 4
  local toolchain="$root/cmake/toolchain-$triple.cmake"
  local prefix="$deps/$triple" work="$deps/build/$name-$triple"
  local stamp="$prefix/.$name.stamp"
  local want
  want="$version $(cat "$toolchain" "$root/cmake/MingwToolchain.cmake" | sha256sum | cut -d' ' -f1) $(printf '%s\n' "$@" | sha256sum | cut -d' ' -f1)"
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ]; then
    return 0
  fi
  log "building $name for $triple"
  rm -rf "$work"
  local logf="$deps/build/$name-$triple.log"
  mkdir -p "$deps/build"
  if ! { cmake -S "$source" -B "$work" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
           -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "$@" &&
         cmake --build "$work" --parallel "$jobs" &&
         cmake --install "$work"; } >"$logf" 2>&1; then
    tail -n 40 "$logf" >&2
    log "building $name for $triple failed; full log in $logf"
    exit 1
  fi
  printf '%s\n' "$want" >"$stamp"
}

for triple in "${triples[@]}"; do
  # zlib's import library sits beside libz.a; naming the archive keeps zlib1.dll out of the DLL.
  build_dep libpng "$triple" "$png_src" "$png_version" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_LIBRARY="/usr/$triple/lib/libz.a" -DZLIB_INCLUDE_DIR="/usr/$triple/include"
  # gtest's pthread mode would compile its Mutex differently from the tests that include it
  # without the same define; the Win32 primitives need no define.
  build_dep googletest "$triple" "$gtest_src" "$gtest_version" \
    -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=ON
  # Debian's patches stop the version being read from git tags and leave it empty; 0.0.0 makes it
  # fall back to the one in project(). Warnings are not errors: the mingw compilers warn where
  # upstream's compilers do not.
  build_dep benchmark "$triple" "$benchmark_src" "$benchmark_version" \
    -DBUILD_SHARED_LIBS=OFF -DGIT_VERSION=0.0.0 \
    -DBENCHMARK_ENABLE_TESTING=OFF -DBENCHMARK_ENABLE_GTEST_TESTS=OFF \
    -DBENCHMARK_ENABLE_WERROR=OFF -DBENCHMARK_ENABLE_LTO=OFF -DBENCHMARK_INSTALL_DOCS=OFF
  # Only the formats libsndfile implements itself (WAV, AIFF, AU, raw, ...): the codec libraries
  # would each need a mingw build of their own, and the tools read and write plain PCM and float.
  build_dep libsndfile "$triple" "$sndfile_src" "$sndfile_version" \
    -DBUILD_SHARED_LIBS=OFF -DENABLE_EXTERNAL_LIBS=OFF -DENABLE_MPEG=OFF -DENABLE_EXPERIMENTAL=OFF \
    -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF -DBUILD_REGTEST=OFF \
    -DENABLE_CPACK=OFF -DINSTALL_MANPAGES=OFF -DENABLE_PACKAGE_CONFIG=ON
done
log "windows dependencies ready in $deps"

if ! wait "$wine_init"; then
  log "creating the Wine prefix failed"
  exit 1
fi
log "wine prefix ready"
