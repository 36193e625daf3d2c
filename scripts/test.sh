#!/usr/bin/env bash
# Sets up the machine, then configures, builds and tests every preset: the native build, the
# sanitizer builds, and the Windows builds under Wine.
#
#   bash scripts/test.sh                 all presets
#   bash scripts/test.sh native win32    only these
#
# A failing preset does not stop the others, so one run reports everything. The last line is
# "N passed, N failed, N skipped" over the ctest tests of all presets; a preset that fails to
# configure or build counts as one failure. A test is skipped only when it must execute 32-bit
# Windows code on a machine whose kernel runs none (scripts/machine.sh), or needs an X display on a
# machine without Xvfb (scripts/xvfb-run); the summary says why.
# Exits non-zero if anything failed or no test ran at all.
# Configure and build output goes to build/test-logs/<preset>.log and is shown only on failure.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 2

all_presets=(native asan tsan win32 win64)
if [ $# -gt 0 ]; then
    presets=("$@")
else
    presets=("${all_presets[@]}")
fi
for p in "${presets[@]}"; do
    case " ${all_presets[*]} " in
        *" $p "*) ;;
        *)
            echo "test.sh: unknown preset '$p' (known: ${all_presets[*]})" >&2
            exit 2
            ;;
    esac
done

jobs=$(nproc 2>/dev/null || echo 2)
logs="$root/build/test-logs"
total_passed=0
total_failed=0
total_skipped=0
summary=()
skip_reasons=()

elapsed() {
    local s=$(($(date +%s) - $1))
    printf '%dm%02ds' $((s / 60)) $((s % 60))
}

if ! bash "$root/scripts/setup.sh"; then
    echo "test.sh: setup failed"
    echo "0 passed, 1 failed"
    exit 1
fi
# shellcheck source=machine.sh
. "$root/scripts/machine.sh"
wayfarer_machine_line
mkdir -p "$logs"

for p in "${presets[@]}"; do
    start=$(date +%s)
    log="$logs/$p.log"
    echo
    echo "=== $p"

    # clang 14's TSan aborts on kernels that randomise mmap with more bits than it expects; with
    # address randomisation off for the preset's processes it runs everywhere.
    runner=()
    if [ "$p" = tsan ] && setarch "$(uname -m)" -R true 2>/dev/null; then
        runner=(setarch "$(uname -m)" -R)
    fi

    if ! cmake --preset "$p" >"$log" 2>&1; then
        tail -n 60 "$log"
        summary+=("$(printf '%-7s configure failed, see %s (%s)' "$p" "${log#"$root"/}" "$(elapsed "$start")")")
        total_failed=$((total_failed + 1))
        continue
    fi
    echo "--- $p: building"
    if ! "${runner[@]}" cmake --build --preset "$p" --parallel "$jobs" >>"$log" 2>&1; then
        # Ninja prints the failing command and its errors last.
        tail -n 80 "$log"
        summary+=("$(printf '%-7s build failed, see %s (%s)' "$p" "${log#"$root"/}" "$(elapsed "$start")")")
        total_failed=$((total_failed + 1))
        continue
    fi

    echo "--- $p: testing"
    ctest_log="$logs/$p.ctest.log"
    "${runner[@]}" ctest --preset "$p" --parallel "$jobs" 2>&1 | tee "$ctest_log"
    rc=${PIPESTATUS[0]}

    line=$(grep -E '[0-9]+ tests failed out of [0-9]+' "$ctest_log" | tail -n1)
    if [ -n "$line" ]; then
        failed=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
        ran=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")
    else
        failed=0
        ran=0
    fi
    # Skipped tests count among those "out of N" but neither pass nor fail.
    skipped=$(sed -n '/^The following tests did not run:/,/^$/p' "$ctest_log" | grep -c '(Skipped)$')
    passed=$((ran - failed - skipped))
    note=""
    if [ "$rc" -ne 0 ] && [ "$failed" -eq 0 ]; then
        # ctest itself failed (bad preset, no tests where some were required, ...).
        failed=1
        note=", ctest exited with $rc"
    elif [ "$ran" -eq 0 ]; then
        note=", no tests"
    fi
    if [ "$skipped" -gt 0 ]; then
        note="$note, $skipped skipped"
        # The runners say why on the skipped test's output, which ctest keeps in its log.
        reasons=$(grep -hoE '^(xvfb-wine-run|wine-run|xvfb-run): cannot run [^:]+: .*' \
            "$root/build/$p/Testing/Temporary/LastTest.log" 2>/dev/null |
            sed -E 's/^[^:]+: cannot run [^:]+: //' | sort -u)
        skip_reasons+=("$(printf '%-7s %d skipped, as their runner said: %s' "$p" "$skipped" "${reasons:-(no reason recorded)}")")
    fi
    total_passed=$((total_passed + passed))
    total_failed=$((total_failed + failed))
    total_skipped=$((total_skipped + skipped))
    if [ "$failed" -eq 0 ]; then
        verdict="ok"
    else
        verdict="FAILED"
    fi
    summary+=("$(printf '%-7s %-6s %d of %d tests passed%s (%s)' "$p" "$verdict" "$passed" "$ran" "$note" "$(elapsed "$start")")")
done

# Let the Wine session of the Windows tests end before we report, so nothing outlives the run.
if [ -d "$root/build/wineprefix" ]; then
    WINEPREFIX="$root/build/wineprefix" timeout 60 "$(wayfarer_wineserver_path)" -w 2>/dev/null ||
        WINEPREFIX="$root/build/wineprefix" "$(wayfarer_wineserver_path)" -k 2>/dev/null || true
fi

echo
echo "=== summary"
printf '%s\n' "${summary[@]}"
[ ${#skip_reasons[@]} -eq 0 ] || printf '%s\n' "${skip_reasons[@]}"
status=0
if [ "$total_failed" -ne 0 ]; then
    status=1
elif [ "$total_passed" -eq 0 ]; then
    echo "no test ran"
    status=1
fi
echo "$total_passed passed, $total_failed failed, $total_skipped skipped"
exit "$status"
