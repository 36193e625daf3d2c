#!/usr/bin/env bash
# Checks how the source folders depend on each other, from their #include lines: no cycle between
# folders, and the plug-in core, the raster library and the effect's format-free core
# (effect/KorWayfarerDsp) stand on nothing else in the tree. The
# editor and the format bindings build on the core; the core must never reach back into them.
#
#   bash scripts/check-layers.sh [SOURCE_DIR]
set -uo pipefail

root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2
folders=(plugcore raster editor effect vst lv2 host)
problems=0
edges=$(mktemp)
trap 'rm -f "$edges"' EXIT

for from in "${folders[@]}"; do
    while IFS= read -r line; do
        file=${line%%:*}
        target=$(sed -E 's/^[^"]*"(\.\.\/)*([a-z0-9_-]+)\/.*/\2/' <<<"${line#*:}")
        # An include of a sibling header in the same folder names no folder.
        [ "$target" = "${line#*:}" ] && continue
        case " ${folders[*]} " in *" $target "*) ;; *) continue ;; esac
        [ "$target" = "$from" ] && continue
        echo "$from $target" >>"$edges"
        # The effect's format-free core is what every binding shares; it stands on nothing.
        case "$file" in
            effect/KorWayfarerDsp.*)
                echo "check-layers: $file includes from $target/, but the effect's core must know no format or framework"
                problems=$((problems + 1))
                ;;
        esac
        case "$from" in
            plugcore | raster)
                echo "check-layers: $file includes from $target/, but $from/ must stand on its own"
                problems=$((problems + 1))
                ;;
        esac
    done < <(grep -rHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$from" --include='*.h' --include='*.cpp' |
        sed -E 's/^([^:]*):[[:space:]]*#[[:space:]]*include[[:space:]]*/\1:/')
done

if ! sort -u "$edges" | tsort >/dev/null 2>"$edges.err"; then
    echo "check-layers: the folders include each other in a cycle:"
    sed 's/^/  /' "$edges.err"
    problems=$((problems + 1))
fi
rm -f "$edges.err"

if [ "$problems" -ne 0 ]; then
    echo "check-layers: $problems problem(s)"
    exit 1
fi
echo "check-layers: $(sort -u "$edges" | tr '\n' ',' | sed 's/ /->/g; s/,$//')"
