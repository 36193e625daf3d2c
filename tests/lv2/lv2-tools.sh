#!/usr/bin/env bash
# The LV2 bundle through the LV2 community's own tools, as a user's host would see it.
#
#   lv2-tools.sh validate LV2_DIR WORK
#   lv2-tools.sh info     LV2_DIR WORK
#   lv2-tools.sh apply    LV2_DIR WORK WAYFARER_HOST VST_PLUGIN WAV_COMPARE
#   lv2-tools.sh install  LV2_DIR WORK BUILD_DIR
#
# LV2_DIR holds FreeWayfarer.lv2/. Exits 77 (skipped) when a tool is missing; scripts/setup.sh
# installs them all.
set -uo pipefail

mode=$1 lv2dir=$2 work=$3
bundle=$lv2dir/FreeWayfarer.lv2
uri=urn:tarnbek:free-wayfarer
mkdir -p "$work"
export LV2_PATH=$lv2dir

need() {
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            echo "SKIP: $tool is not installed (Debian: lilv-utils, sordi, lv2-dev; scripts/setup.sh installs them)"
            exit 77
        fi
    done
}

fail=0
check() { # what, then a command that must succeed
    local what=$1
    shift
    if "$@"; then
        echo "ok    $what"
    else
        echo "FAIL  $what"
        fail=1
    fi
}
has() { grep -qE -- "$2" "$1"; }

case $mode in
validate)
    need lv2_validate sord_validate
    lv2_validate "$bundle"/*.ttl >"$work/validate.txt" 2>&1
    status=$?
    cat "$work/validate.txt"
    check "lv2_validate exits 0" test $status -eq 0
    check "lv2_validate finds no error" bash -c "! grep -q '^error' '$work/validate.txt'"
    check "lv2_validate counts no error" has "$work/validate.txt" "^Found 0 errors"
    check "lv2_validate gives no warning" bash -c "! grep -qi '^warn' '$work/validate.txt'"
    ;;

info)
    need lv2info
    lv2info "$uri" >"$work/info.txt" 2>&1
    cat "$work/info.txt"
    out=$work/info.txt
    check "name" has "$out" "Name: +Free Wayfarer-Phase Modifier"
    check "maker" has "$out" "Author: +Tarnbek$"
    check "the state interface" has "$out" "http://lv2plug.in/ns/ext/state#interface"
    check "four audio ports" test "$(grep -c 'http://lv2plug.in/ns/lv2core#AudioPort' "$out")" -eq 4
    for symbol in in_l in_r out_l out_r pan wet_mix; do
        check "port $symbol" has "$out" "Symbol: +$symbol\$"
    done
    # Each control port's block, from its "Port N:" line to the next: its range and, for Pan, its
    # scale points.
    port_block() { awk -v symbol="$1" '/^\tPort [0-9]+:/ { if (found) exit; block = "" }
                                       { block = block $0 "\n" }
                                       $1 == "Symbol:" && $2 == symbol { found = 1 }
                                       END { if (found) printf "%s", block }' "$out"; }
    port_block pan >"$work/pan.txt"
    port_block wet_mix >"$work/wet_mix.txt"
    check "Pan's name" has "$work/pan.txt" "Name: +Pan$"
    check "Pan's range 0 to 1, default 0" has "$work/pan.txt" "Minimum: +0.0+$"
    check "Pan's maximum" has "$work/pan.txt" "Maximum: +1.0+$"
    check "Pan's default" has "$work/pan.txt" "Default: +0.0+$"
    check "Pan is an integer enumeration" has "$work/pan.txt" "lv2core#enumeration"
    check "Pan's integer property" has "$work/pan.txt" "lv2core#integer"
    check "Pan's scale point Left" has "$work/pan.txt" "0(\.0+)? = \"Left\""
    check "Pan's scale point Right" has "$work/pan.txt" "1(\.0+)? = \"Right\""
    check "Wet Mix's name" has "$work/wet_mix.txt" "Name: +Wet Mix$"
    check "Wet Mix's minimum" has "$work/wet_mix.txt" "Minimum: +-0.748811$"
    check "Wet Mix's maximum" has "$work/wet_mix.txt" "Maximum: +0.748811$"
    check "Wet Mix's default" has "$work/wet_mix.txt" "Default: +0.0+$"
    presets=$(sed -n '/Presets:/,/^$/p' "$out" | grep -cE '^[[:space:]]+(RESET|Pan|User)')
    check "12 presets listed" test "$presets" -eq 12
    # The user interface, where the build has the X11 window layer to make one.
    if [ -f "$bundle/FreeWayfarer_ui.so" ]; then
        check "the X11 user interface" has "$out" "Class: +http://lv2plug.in/ns/extensions/ui#X11UI"
        check "the user interface's binary" has "$out" "Binary: +file://.*/FreeWayfarer_ui.so$"
    fi
    for name in "RESET to defaults" "Pan hard left" "Pan left" "Pan slight left" "Pan center" \
        "Pan slight right" "Pan right" "Pan hard right" "User 1" "User 2" "User 3" "User 4"; do
        check "preset \"$name\"" has "$out" "^[[:space:]]+$name\$"
    done
    ;;

apply)
    need lv2apply sordi
    host=$4 vst=$5 compare=$6
    # Any stereo signal will do; this one is the tool's test signal through the VST's defaults.
    if ! "$host" process "$vst" -o "$work/signal.wav" --seconds 1 >/dev/null; then
        echo "FAIL  could not make the input signal"
        exit 1
    fi
    sordi "$bundle/presets.ttl" >"$work/presets.nt"

    # The value of port SYMBOL in the preset labelled LABEL, as written in the Turtle.
    preset_value() {
        awk -v label="\"$1\"" -v symbol="\"$2\"" '
            $2 == "<http://www.w3.org/2000/01/rdf-schema#label>" { l = $0; sub(/^[^ ]+ [^ ]+ /, "", l); sub(/ \.$/, "", l)
                                                                   if (l == label) preset = $1 }
            $2 == "<http://lv2plug.in/ns/lv2core#port>" { port[$1] = port[$1] " " $3 }
            $2 == "<http://lv2plug.in/ns/lv2core#symbol>" { sym[$1] = $3 }
            $2 == "<http://lv2plug.in/ns/ext/presets#value>" { v = $3; sub(/^"/, "", v); sub(/".*$/, "", v); val[$1] = v }
            END { n = split(port[preset], nodes, " ")
                  for (i = 1; i <= n; i++) if (sym[nodes[i]] == symbol) print val[nodes[i]] }' "$work/presets.nt"
    }

    # One case: the LV2 through lv2apply with control values, against the VST through
    # wayfarer-host with the settings they stand for.
    run_case() { # name, lv2apply control args (as one string), then wayfarer-host's settings
        local name=$1 controls=$2
        shift 2
        local lv2out=$work/lv2-$name.wav vstout=$work/vst-$name.wav
        rm -f "$lv2out" "$vstout"
        # shellcheck disable=SC2086
        if ! lv2apply -i "$work/signal.wav" -o "$lv2out" $controls "$uri" >"$work/lv2apply-$name.txt" 2>&1; then
            cat "$work/lv2apply-$name.txt"
            echo "FAIL  $name: lv2apply failed"
            fail=1
            return
        fi
        if ! "$host" process "$vst" "$work/signal.wav" -o "$vstout" "$@" >"$work/host-$name.txt" 2>&1; then
            cat "$work/host-$name.txt"
            echo "FAIL  $name: wayfarer-host failed"
            fail=1
            return
        fi
        check "$name: lv2apply ($controls) = wayfarer-host ($*)" "$compare" "$lv2out" "$vstout"
    }

    run_case defaults ""
    for label in "Pan hard left" "Pan slight left" "Pan right"; do
        pan=$(preset_value "$label" pan)
        wet=$(preset_value "$label" wet_mix)
        if [ -z "$pan" ] || [ -z "$wet" ]; then
            echo "FAIL  no control values for \"$label\" in presets.ttl"
            fail=1
            continue
        fi
        run_case "preset-${label// /-}" "-c pan $pan -c wet_mix $wet" --program "$label"
    done
    # Explicit values, each one that both formats can hold exactly: VST hosts set normalized
    # floats, LV2 hosts plain floats, and these are where the two meet.
    run_case right-center "-c pan 1 -c wet_mix 0" --param Pan=Right --param "Wet Mix=0"
    run_case left-full "-c pan 0 -c wet_mix 0.748811356849042" --normalized --param Pan=0 --param "Wet Mix=1"
    run_case out-of-range "-c pan 5 -c wet_mix -9" --normalized --param Pan=1 --param "Wet Mix=0"
    run_case nan "-c pan nan -c wet_mix nan"
    ;;

install)
    need lv2info
    prefix=$work/prefix
    rm -rf "$prefix"
    if ! cmake --install "$4" --prefix "$prefix" >"$work/install.txt" 2>&1; then
        cat "$work/install.txt"
        echo "FAIL  cmake --install"
        exit 1
    fi
    files=(manifest.ttl FreeWayfarer.ttl presets.ttl FreeWayfarer.so)
    [ -f "$bundle/FreeWayfarer_ui.so" ] && files+=(FreeWayfarer_ui.so)
    for file in "${files[@]}"; do
        check "installed lib/lv2/FreeWayfarer.lv2/$file" test -f "$prefix/lib/lv2/FreeWayfarer.lv2/$file"
    done
    LV2_PATH=$prefix/lib/lv2 lv2info "$uri" >"$work/installed-info.txt" 2>&1
    check "a host finds the installed plug-in" has "$work/installed-info.txt" "Bundle: +file://$prefix/lib/lv2/FreeWayfarer.lv2/"
    ;;

*)
    echo "usage: lv2-tools.sh validate|info|apply|install LV2_DIR WORK [WAYFARER_HOST VST_PLUGIN WAV_COMPARE]"
    exit 2
    ;;
esac
exit $fail
