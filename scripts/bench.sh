#!/usr/bin/env bash
# Builds the process benchmark for the native and win32 presets, runs it natively and under Wine,
# and prints each run's ratio table; natively the editor's repaint and the LV2 run() benchmarks
# run too. It is not part of the tests: timings follow the machine's load, so a number here is
# something to read, not to pass or fail.
#
#   bash scripts/bench.sh                     native and win32
#   bash scripts/bench.sh --quick             short runs: shows it works, the ratios are rough
#   bash scripts/bench.sh win64               only these presets (native, win32, win64)
#   bash scripts/bench.sh -- ARGS...          hands ARGS to every run, e.g. --benchmark_filter=Float
#
# Each run's full output goes to build/bench-logs/<preset>[-<bench>].txt, configure and build
# output to build/bench-logs/<preset>.build.log (shown only on failure).
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 2

quick=0
presets=()
bench_args=()
while [ $# -gt 0 ]; do
    case $1 in
        --quick) quick=1 ;;
        --) shift; bench_args=("$@"); break ;;
        native | win32 | win64) presets+=("$1") ;;
        -h | --help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "bench.sh: unknown argument '$1' (try --help)" >&2; exit 2 ;;
    esac
    shift
done
[ ${#presets[@]} -gt 0 ] || presets=(native win32)
if [ "$quick" -eq 1 ]; then
    # Google Benchmark 1.7 takes plain seconds here, not "0.01s".
    bench_args=(--benchmark_min_time=0.01 "${bench_args[@]}")
fi

jobs=$(nproc 2>/dev/null || echo 2)
logs="$root/build/bench-logs"

bash "$root/scripts/setup.sh" || { echo "bench.sh: setup failed" >&2; exit 1; }
mkdir -p "$logs"

status=0
for p in "${presets[@]}"; do
    build_log="$logs/$p.build.log"
    case $p in
        native) where="natively"; suffix=""; runner=(); benches=(process_bench editor_bench lv2_bench) ;;
        *) where="under Wine"; suffix=".exe"; runner=("$root/scripts/wine-run"); benches=(process_bench) ;;
    esac
    if ! { cmake --preset "$p" && cmake --build --preset "$p" --parallel "$jobs" --target "${benches[@]}"; } \
        >"$build_log" 2>&1; then
        tail -n 40 "$build_log"
        echo "bench.sh: building $p's benchmarks failed, see ${build_log#"$root"/}"
        status=1
        continue
    fi
    for bench in "${benches[@]}"; do
        exe="build/$p/bench/$bench$suffix"
        out="$logs/$p.txt"
        [ "$bench" = process_bench ] || out="$logs/$p-$bench.txt"
        echo
        echo "=== $p, $bench, $where"
        if ! "${runner[@]}" "$exe" "${bench_args[@]}" >"$out" 2>&1; then
            tail -n 20 "$out"
            echo "bench.sh: $p's $bench failed, see ${out#"$root"/}"
            status=1
            continue
        fi
        # The table comes last, after the per-benchmark lines that only make sense beside each other.
        awk '/^measured[ \t]+reference[ \t]+ratio/ { table = 1 } table { print; n++ }
             END { if (!n) print "(no ratio table: no measured/reference pair ran)" }' "$out"
        echo "(full output: ${out#"$root"/})"
    done
done

# Let the Wine session end with the run rather than linger.
if [ -d "$root/build/wineprefix" ]; then
    WINEPREFIX="$root/build/wineprefix" timeout 30 wineserver -w 2>/dev/null || true
fi
exit "$status"
