#!/usr/bin/env bash
# The README's first command: sets the machine up, builds the plug-in and wayfarer-host for Linux
# and both Windows targets, then runs the main job. wayfarer-host prints what the 32-bit DLL is
# (under Wine), and processes its built-in stereo test signal with a factory program, once
# through the 32-bit DLL under Wine and once through the Linux .so. Then it pictures the editor
# with that program: the 32-bit DLL's editor in a real window under Wine and Xvfb, and the one
# built into the Linux wayfarer-host. Where the kernel runs no 32-bit code (scripts/machine.sh),
# the 64-bit DLL and wayfarer-host.exe take the 32-bit ones' place. Everything it writes goes to
# out/ at the top of the repository, which keeps itself out of git.
#
#   bash scripts/demo.sh                      program "Pan hard left"
#   bash scripts/demo.sh "Pan slight right"   another factory program, by name or index
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)
program=${1:-Pan hard left}
out="$root/out"

bash scripts/setup.sh
# shellcheck source=machine.sh
. scripts/machine.sh
for p in native win32 win64; do
  echo "=== building $p" >&2
  cmake --preset "$p" >/dev/null
  cmake --build --preset "$p" --parallel "$jobs"
done

mkdir -p "$out"
# Ignores everything in out/, itself included, without touching the repository's own files.
printf '*\n' >"$out/.gitignore"

native_host=build/native/tools/wayfarer-host/wayfarer-host
native_plugin="$root/build/native/vst/FreeWayfarer.so"
if wayfarer_runs_i386; then
  win=win32 bits=32
else
  win=win64 bits=64
  echo "demo: $(wayfarer_no_i386_reason), so the Windows half runs the 64-bit DLL instead of the 32-bit one"
fi
win_host=build/$win/tools/wayfarer-host/wayfarer-host.exe
win_plugin="$root/build/$win/vst/FreeWayfarer.dll"
slug=$(printf '%s' "$program" | tr 'A-Z ' 'a-z-' | tr -cd 'a-z0-9-')

# Runs one step, keeps its report beside the results and shows it.
step() {
  local title=$1 report=$2
  shift 2
  echo
  echo "=== $title"
  "$@" | tee "$report"
}

step "wayfarer-host info, the $bits-bit DLL under Wine" "$out/info-$win.txt" \
  scripts/wine-run "$win_host" info "$win_plugin"
step "wayfarer-host process, program \"$program\", the $bits-bit DLL under Wine" "$out/$win-$slug.txt" \
  scripts/wine-run "$win_host" process "$win_plugin" -o "$out/$win-$slug.wav" --program "$program"
step "wayfarer-host process, program \"$program\", the Linux .so" "$out/native-$slug.txt" \
  "$native_host" process "$native_plugin" -o "$out/native-$slug.wav" --program "$program"
# The splash panel is clicked away first, as a user would.
step "wayfarer-host render-editor, program \"$program\", the $bits-bit DLL's window under Wine" \
  "$out/editor-$win-$slug.txt" scripts/xvfb-wine-run "$win_host" render-editor "$win_plugin" \
  -o "$out/editor-$win-$slug.png" --program "$program" --click 5,100
step "wayfarer-host render-editor, program \"$program\", the editor built into wayfarer-host" \
  "$out/editor-native-$slug.txt" "$native_host" render-editor -o "$out/editor-native-$slug.png" \
  --program "$program" --click 5,100

# Let the Wine session end with the demo rather than linger.
WINEPREFIX="$root/build/wineprefix" timeout 30 "$(wayfarer_wineserver_path)" -w 2>/dev/null || true

echo
if cmp -s "$out/$win-$slug.wav" "$out/native-$slug.wav"; then
  echo "The $bits-bit Windows and the Linux plug-in wrote identical files."
else
  echo "The $bits-bit Windows and the Linux plug-in wrote different files."
fi
echo
echo "Results are in ${out#"$root"/}/ ($out):"
(cd "$out" && ls -1 -- *.wav *.txt *.png | sed 's/^/  /')
echo
echo "Process a file of your own with:"
echo "  $native_host process $native_plugin INPUT.wav -o OUTPUT.wav --program \"$program\""
echo "and look at the editors in out/editor-*.png."
