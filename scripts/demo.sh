#!/usr/bin/env bash
# The README's first command: sets the machine up and builds the plug-in for Linux and both
# Windows targets. For now it lists what it built; running the command-line host on the built
# plug-in comes here once the host exists.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)

bash scripts/setup.sh
for p in native win32 win64; do
  echo "=== $p" >&2
  cmake --preset "$p" >/dev/null
  cmake --build --preset "$p" --parallel "$jobs"
done

echo
echo "Built:"
find build/native build/win32 build/win64 -type f \( -name '*.dll' -o -name '*.so' -o -name '*.exe' \) \
  -not -path '*/CMakeFiles/*' | sort
