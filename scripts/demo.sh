#!/usr/bin/env bash
# The README's first command: sets the machine up, builds the plug-in and wayfarer-host for Linux
# and both Windows targets, then runs the main job. wayfarer-host prints what the 32-bit DLL is
# (under Wine), and processes its built-in stereo test signal with a factory program, once
# through the 32-bit DLL under Wine and once through the Linux .so. Then it pictures the editor
# with that program: the 32-bit DLL's editor in a real window under Wine and Xvfb, and the one
# built into the Linux wayfarer-host. Everything it writes goes to out/ at the top of the
# repository, which keeps itself out of git.
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
for p in native win32 win64; do
  echo "=== building $p" >&2
  cmake --preset "$p" >/dev/null
  cmake --build --preset "$p" --parallel "$jobs"
done

mkdir -p "$out"
# Ignores everything in out/, itself included, without touching the repository's own files.
printf '*\n' >"$out/.gitignore"

native_host=build/native/tools/wayfarer-host/wayfarer-host
win32_host=build/win32/tools/wayfarer-host/wayfarer-host.exe
native_plugin="$root/build/native/vst/FreeWayfarer.so"
win32_plugin="$root/build/win32/vst/FreeWayfarer.dll"
slug=$(printf '%s' "$program" | tr 'A-Z ' 'a-z-' | tr -cd 'a-z0-9-')

# Runs one step, keeps its report beside the results and shows it.
step() {
  local title=$1 report=$2
  shift 2
  echo
  echo "=== $title"
  "$@" | tee "$report"
}

step "wayfarer-host info, the 32-bit DLL under Wine" "$out/info-win32.txt" \
  scripts/wine-run "$win32_host" info "$win32_plugin"
step "wayfarer-host process, program \"$program\", the 32-bit DLL under Wine" "$out/win32-$slug.txt" \
  scripts/wine-run "$win32_host" process "$win32_plugin" -o "$out/win32-$slug.wav" --program "$program"
step "wayfarer-host process, program \"$program\", the Linux .so" "$out/native-$slug.txt" \
  "$native_host" process "$native_plugin" -o "$out/native-$slug.wav" --program "$program"
# The splash panel is clicked away first, as a user would.
step "wayfarer-host render-editor, program \"$program\", the 32-bit DLL's window under Wine" \
  "$out/editor-win32-$slug.txt" scripts/xvfb-wine-run "$win32_host" render-editor "$win32_plugin" \
  -o "$out/editor-win32-$slug.png" --program "$program" --click 5,100
step "wayfarer-host render-editor, program \"$program\", the editor built into wayfarer-host" \
  "$out/editor-native-$slug.txt" "$native_host" render-editor -o "$out/editor-native-$slug.png" \
  --program "$program" --click 5,100

# Let the Wine session end with the demo rather than linger.
WINEPREFIX="$root/build/wineprefix" timeout 30 wineserver -w 2>/dev/null || true

echo
if cmp -s "$out/win32-$slug.wav" "$out/native-$slug.wav"; then
  echo "The 32-bit Windows and the Linux plug-in wrote identical files."
else
  echo "The 32-bit Windows and the Linux plug-in wrote different files."
fi
echo
echo "Results are in ${out#"$root"/}/ ($out):"
(cd "$out" && ls -1 -- *.wav *.txt *.png | sed 's/^/  /')
echo
echo "Process a file of your own with:"
echo "  $native_host process $native_plugin INPUT.wav -o OUTPUT.wav --program \"$program\""
echo "and look at the editors in out/editor-*.png."
