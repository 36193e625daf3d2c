#!/usr/bin/env bash
# Checks the layout (clang-format) of every C++ file we track and runs clang-tidy over the product
# sources, using the compile commands of a configured build.
#
#   bash scripts/lint.sh [build-dir]      default build/native
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 2
build=${1:-build/native}
jobs=$(nproc 2>/dev/null || echo 2)

mapfile -t sources < <(git ls-files '*.cpp' '*.h' | grep -v '^build/')
status=0

if ! clang-format --dry-run --Werror "${sources[@]}" 2>/tmp/wayfarer-format.$$; then
    head -n 40 /tmp/wayfarer-format.$$
    echo "lint: files not laid out as .clang-format says; run clang-format -i on them"
    status=1
fi
rm -f /tmp/wayfarer-format.$$

if [ ! -f "$build/compile_commands.json" ]; then
    echo "lint: no $build/compile_commands.json; configure that build first"
    exit 1
fi
# Product code only: tests and benchmarks are held to the compiler's warnings.
# Only files this build compiles: the other platform's sources need headers this machine lacks.
mapfile -t tidy < <(printf '%s\n' "${sources[@]}" | grep -E '^(plugcore|vst|lv2|effect|editor|raster|host|tools)/.*\.cpp$' |
    while read -r f; do grep -q "\"file\": \"$root/$f\"" "$build/compile_commands.json" && echo "$f"; done)
if [ ${#tidy[@]} -gt 0 ]; then
    found=$(printf '%s\n' "${tidy[@]}" |
        xargs -P "$jobs" -n 4 clang-tidy -p "$build" --quiet --warnings-as-errors='*' 2>/dev/null |
        grep -E -A3 'warning:|error:')
    if [ -n "$found" ]; then
        echo "$found"
        echo "lint: clang-tidy found problems"
        status=1
    fi
fi
[ $status -eq 0 ] && echo "lint: clean"
exit $status
