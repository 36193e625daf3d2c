#!/usr/bin/env bash
# Runs the plug-in inside Ardour 7 on a private X display, with tools/vst-spy between the two, to
# see what a real Linux host calls, from which threads and in what order, when it opens the
# plug-in's window. Prints a summary of the spy's log at the end.
#
#   scripts/try-ardour.sh [--install-only] [PLUGIN.so]
#   scripts/try-ardour.sh --summary SPY.LOG [XWININFO.TXT]
#
# PLUGIN.so defaults to build/native/vst/FreeWayfarer.so; it and the spy are built (native
# preset) if missing. Ardour and the tools that drive its windows are installed here rather than
# by setup.sh: Ardour is far too large for every machine that builds the project.
#
# Environment: TRY_ARDOUR_OUT (default /tmp/ardour-try) receives the screenshots, the spy log and
# Ardour's output; TRY_ARDOUR_SECONDS (default 8) is how long the plug-in window stays open;
# TRY_ARDOUR_KEEP=1 keeps the work folder (home, session) for a look afterwards.
set -uo pipefail

root=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
log() { printf 'try-ardour: %s\n' "$*" >&2; }
die() { log "$*"; exit 1; }

install_packages() {
    local packages=(ardour xvfb xauth xdotool x11-utils imagemagick)
    local missing=() p
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing: ${missing[*]}"
    mkdir -p "$root/build"
    local apt_log="$root/build/try-ardour-apt.log"
    apt-get update -q >"$apt_log" 2>&1 || true
    # Recommends would pull in JACK and PulseAudio servers; the dummy backend needs neither.
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" \
        >>"$apt_log" 2>&1 || { tail -n 30 "$apt_log" >&2; die "apt-get install failed (log: $apt_log)"; }
}

# The summary reads the log of the process that ran last (Ardour's GUI; its VST scanner and the
# headless session maker run before it and log to the same file).
summary() {
    local spylog=$1 parent=${2:-}
    [ -s "$spylog" ] || { echo "spy log $spylog is empty: Ardour never loaded the spy"; return 1; }
    local pid
    pid=$(awk '{ sub(/^pid=/, "", $2); p = $2 } END { print p }' "$spylog")
    echo "== Ardour's GUI process: pid $pid (earlier pids: scanner, session maker)"
    awk -v pid="pid=$pid" '
        $2 != pid { next }
        { t = $1 + 0; tid = $3; role = $4; sub(/^tid=/, "", tid) }
        $4 == "first" && !mainTid { mainTid = tid }
        $5 == "eff" || $5 == "audio" {
            name = ($5 == "eff") ? $7 : $6
            if (!(name in n)) { firstT[name] = t; order[++k] = name }
            n[name]++; lastT[name] = t
            threads[name] = (index(threads[name], tid "(" role ")") ? threads[name] : threads[name] " " tid "(" role ")")
        }
        $5 == "host" { hn[$7]++; if (!index(ht[$7], tid "(" role ")")) ht[$7] = ht[$7] " " tid "(" role ")" }
        $7 == "effEditOpen" || $7 == "effEditClose" { for (i = 1; i <= NF; i++) if ($i ~ /^took=/) took[$7] = $i }
        $7 == "effEditOpen" { for (i = 1; i <= NF; i++) if ($i ~ /^window=/) win = $i }
        $7 == "effEditGetRect" { for (i = 1; i <= NF; i++) if ($i ~ /^rect=/) rect = $i }
        $7 == "effEditKeyDown" || $7 == "effEditKeyUp" { keys = keys "\n   " $0 }
        # Consecutive repeats collapse, so the order reads at a glance.
        $5 == "eff" {
            if ($7 == prev) rep++
            else { if (prev != "") seq = seq sprintf("%s%s", prev, rep > 1 ? " x" rep : "") " > "; prev = $7; rep = 1 }
        }
        END {
            if (prev != "") seq = seq sprintf("%s%s", prev, rep > 1 ? " x" rep : "")
            printf "first (GUI) thread: tid %s\n", mainTid
            print "== dispatcher opcodes and audio calls: count, threads, first and last time (ms since load)"
            for (i = 1; i <= k; i++)
                printf "  %-28s %6d  threads:%s  %.0f .. %.0f\n", order[i], n[order[i]], threads[order[i]], firstT[order[i]], lastT[order[i]]
            print "== host callbacks the plug-in made: count, threads"
            for (h in hn) printf "  %-36s %6d  %s\n", h, hn[h], ht[h]
            print "== editor"
            if (!("effEditOpen" in n)) print "  effEditOpen never called (Ardour used its generic controls: no effFlagsHasEditor?)"
            else {
                printf "  effEditOpen %s, %s, %s; editor %s; effEditClose %s\n", win, (firstT["effEditOpen"] > firstT["effOpen"]) ? "after effOpen" : "BEFORE effOpen", took["effEditOpen"], rect, took["effEditClose"]
                if ("effEditIdle" in n && n["effEditIdle"] > 1 && lastT["effEditIdle"] > firstT["effEditIdle"])
                    printf "  effEditIdle: %d calls, %.1f per second\n", n["effEditIdle"], (n["effEditIdle"] - 1) * 1000 / (lastT["effEditIdle"] - firstT["effEditIdle"])
                else print "  effEditIdle: " (n["effEditIdle"] + 0) " calls"
                if (!("effEditClose" in n)) print "  effEditClose never called"
            }
            if (keys == "") print "  no effEditKeyDown/effEditKeyUp"
            else print "  key events:" keys
            print "== call order (dispatcher, repeats collapsed)"
            print "  " seq
        }' "$spylog"
    if [ -n "$parent" ] && [ -s "$parent" ]; then
        echo "== the effEditOpen window while the editor was open"
        grep -E 'xwininfo: Window id|Absolute|Width|Height|Map State|Parent window|children|^ +0x' "$parent" | sed 's/^/  /'
    fi
}

if [ "${1:-}" = "--summary" ]; then
    summary "${2:?spy log}" "${3:-}"
    exit $?
fi

install_packages
[ "${1:-}" = "--install-only" ] && exit 0

build="$root/build/native"
plugin=$(readlink -f "${1:-$build/vst/FreeWayfarer.so}")
spy="$build/tools/vst-spy/vst-spy.so"
out="${TRY_ARDOUR_OUT:-/tmp/ardour-try}"
seconds="${TRY_ARDOUR_SECONDS:-8}"
ardour_lib=/usr/lib/ardour7

targets=()
[ -n "${1:-}" ] || [ -f "$plugin" ] || targets+=(wayfarer_plugin)
[ -f "$spy" ] || targets+=(wayfarer_vst_spy)
if [ ${#targets[@]} -gt 0 ]; then
    log "building ${targets[*]}"
    [ -f "$build/CMakeCache.txt" ] || cmake --preset native -S "$root" >/dev/null || die "configure failed"
    cmake --build --preset native --parallel 1 --target "${targets[@]}" >/dev/null || die "build failed"
fi
[ -f "$plugin" ] || die "no plug-in at $plugin"

mkdir -p "$out" || die "cannot make $out"
rm -f "$out"/*.png "$out/spy.log" "$out/ardour.log" "$out/summary.txt"
work=$(mktemp -d "${TMPDIR:-/tmp}/try-ardour.XXXXXX") || die "cannot make a work folder"
xvfb_pid=""
ardour_pid=""

cleanup() {
    if [ -n "$ardour_pid" ] && kill -0 "$ardour_pid" 2>/dev/null; then
        # Ardour runs in a process group of its own (setsid); its helpers go with it.
        kill -TERM -- "-$ardour_pid" 2>/dev/null
        sleep 2
        kill -KILL -- "-$ardour_pid" 2>/dev/null
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    if [ "${TRY_ARDOUR_KEEP:-0}" = 1 ]; then log "work folder kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

# ---- A home of Ardour's own --------------------------------------------------------------------
# Without these Ardour asks on first start: the welcome wizard (.a7 says it ran), the audio set-up
# (the saved engine state picks the dummy backend, which is hidden by default), and plug-in paths.
export HOME="$work/home"
conf="$HOME/.config/ardour7"
mkdir -p "$conf" "$HOME/.local/share" "$work/vst" || die "cannot make $HOME"
touch "$conf/.a7"
cat >"$conf/config" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="hide-dummy-backend" value="0"/>
    <Option name="try-autostart-engine" value="1"/>
    <Option name="use-lxvst" value="1"/>
    <Option name="plugin-path-lxvst" value="$work/vst"/>
    <Option name="discover-plugins-on-start" value="1"/>
    <Option name="use-plugin-own-gui" value="1"/>
    <Option name="periodic-safety-backups" value="0"/>
  </Config>
  <Extra>
    <AudioMIDISetup>
      <EngineStates>
        <State backend="None (Dummy)" driver="Normal Speed" device="Silence" input-device="" output-device=""
               sample-rate="48000" buffer-size="1024" n-periods="0" input-latency="0" output-latency="0"
               lm-input="" lm-output="" active="1" use-buffered-io="0" midi-option="1 in, 1 out, Silence" lru="1">
          <MIDIDevices/>
        </State>
      </EngineStates>
    </AudioMIDISetup>
  </Extra>
</Ardour>
XML

# The spy stands where Ardour looks for Linux VSTs and loads the real binary from the build.
cp "$spy" "$work/vst/FreeWayfarer.so" || die "cannot copy the spy"
# Ardour takes a cache entry made in the binary's own second for stale (whole seconds against
# nanoseconds), and would then skip the plug-in as not yet scanned.
touch -d '1 hour ago' "$work/vst/FreeWayfarer.so"
export LXVST_PATH="$work/vst"
export WAYFARER_SPY_TARGET="$plugin"
export WAYFARER_SPY_LOG="$out/spy.log"
: >"$WAYFARER_SPY_LOG"

# ---- The plug-in in a session, made without the GUI ------------------------------------------
# Ardour's headless Lua session does not scan new VSTs; its scanner, run first, fills the cache
# that both it and the GUI read.
LD_LIBRARY_PATH="$ardour_lib" "$ardour_lib/ardour-vst-scanner" -f "$work/vst/FreeWayfarer.so" \
    >"$out/scan.log" 2>&1 || { cat "$out/scan.log" >&2; die "Ardour's VST scanner failed on the plug-in"; }
grep -q 'Found Plugin' "$out/scan.log" || { cat "$out/scan.log" >&2; die "Ardour's VST scanner found no plug-in"; }

cat >"$work/make-session.lua" <<LUA
local ok, err = pcall(function()
  assert(AudioEngine:set_backend("None (Dummy)", "", ""), "no dummy backend")
  assert(create_session("$work/session", "try", 48000), "cannot create the session")
  local tracks = Session:new_audio_track(2, 2, nil, 1, "Track", ARDOUR.PresentationInfo.max_order,
                                         ARDOUR.TrackMode.Normal, true)
  local plugin = ARDOUR.LuaAPI.new_plugin(Session, "Free Wayfarer-Phase Modifier", ARDOUR.PluginType.LXVST, "")
  assert(not plugin:isnil(), "Ardour does not know the plug-in")
  assert(tracks:front():add_processor_by_index(plugin, 0, nil, true) == 0, "cannot insert the plug-in")
  Session:save_state("", false, false, false, false, false)
  print("session made")
end)
if not ok then print("FAILED: " .. tostring(err)) end
close_session()
LUA
timeout 120 ardour7-lua "$work/make-session.lua" >"$out/make-session.log" 2>&1
grep -q '^session made' "$out/make-session.log" || { cat "$out/make-session.log" >&2; die "no session"; }
session="$work/session/try.ardour"

# ---- The display (as in scripts/xvfb-wine-run) -----------------------------------------------
: >"$work/server.auth"
: >"$work/client.auth"
cookie=$(mcookie 2>/dev/null || od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
xauth -q -f "$work/server.auth" add :0 . "$cookie" </dev/null || die "xauth failed"
Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp -auth "$work/server.auth" \
    3>"$work/display" </dev/null >/dev/null 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
done
display=$(tr -d ' \n' <"$work/display" 2>/dev/null)
[ -n "$display" ] || { cat "$work/xvfb.log" >&2; die "Xvfb did not start"; }
export DISPLAY=":$display"
export XAUTHORITY="$work/client.auth"
xauth -q -f "$XAUTHORITY" add "$DISPLAY" . "$cookie" </dev/null || die "xauth failed"

shot() { import -window root "$out/$1.png" 2>/dev/null && log "screenshot: $out/$1.png"; }
# Waits up to $2 seconds for a visible window whose name matches $1; prints its id.
wait_window() {
    local i id
    for i in $(seq $(($2 * 4))); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.25
    done
    return 1
}

# ---- Ardour --------------------------------------------------------------------------------------
log "starting Ardour on $session (display $DISPLAY)"
setsid ardour -n -a "$session" </dev/null >"$out/ardour.log" 2>&1 &
ardour_pid=$!
main=$(wait_window '^try - Ardour' 90) || { shot failed-start; die "Ardour's main window did not appear (log: $out/ardour.log)"; }
sleep 3

# The mixer shows the track's processors; the plug-in's entry is the only one in its colour.
xdotool windowfocus --sync "$main" key alt+m
sleep 2
shot mixer
pos=$(convert "$out/mixer.png" -crop 900x500+0+0 txt:- 2>/dev/null | awk -F'[ ,:()]+' '
    $3 >= 95 && $3 <= 112 && $4 >= 42 && $4 <= 56 && $5 >= 42 && $5 <= 56 { xs += $1; ys += $2; n++ }
    END { if (n > 50) printf "%d %d\n", xs / n, ys / n }')
# Where the entry sits in a 1600x1000 screen with Ardour 7.3 defaults, should the colour change.
[ -n "$pos" ] || pos="340 207"
log "double-click on the plug-in at $pos"
# shellcheck disable=SC2086
xdotool mousemove $pos click --repeat 2 --delay 80 1
pluginwin=$(wait_window 'Free Wayfarer' 20) || { shot failed-open; die "the plug-in window did not open"; }
sleep 2
log "plug-in window $pluginwin: $(xwininfo -id "$pluginwin" | awk '/geometry/ { print $2 }')"

# The window that Ardour handed to effEditOpen, while it still exists.
parent=$(sed -n 's/.* effEditOpen .* window=\(0x[0-9a-f]*\) .*/\1/p' "$WAYFARER_SPY_LOG" | tail -n1)
if [ -n "$parent" ]; then
    { echo "== xwininfo of the effEditOpen window $parent"; xwininfo -id "$parent"; xwininfo -tree -id "$parent"; } \
        >"$out/parent.txt" 2>&1
fi
xwininfo -tree -id "$pluginwin" >"$out/plugin-window-tree.txt" 2>&1
shot editor-open

# A click closes the plug-in's splash; a drag on the wet-mix knob then shows from which thread the
# editor reports a user's edit to the host (audioMasterBeginEdit, Automate, EndEdit).
if [ -n "$parent" ]; then
    px=$(awk '/Absolute upper-left X/ { print $4; exit }' "$out/parent.txt")
    py=$(awk '/Absolute upper-left Y/ { print $4; exit }' "$out/parent.txt")
    ew=$(sed -n 's/.* effEditGetRect .* rect=\([0-9]*\)x\([0-9]*\).*/\1/p' "$WAYFARER_SPY_LOG" | tail -n1)
    if [ -n "$px" ] && [ -n "$py" ] && [ -n "$ew" ]; then
        kx=$((px + ew / 2))
        ky=$((py + 100))
        xdotool mousemove "$kx" "$ky" click 1
        sleep 1
        shot editor-splash-closed
        xdotool mousemove "$kx" "$ky" mousedown 1
        for step in 1 2 3 4 5 6 7 8; do xdotool mousemove "$kx" $((ky - step * 5)); sleep 0.05; done
        xdotool mouseup 1
        sleep 1
        shot editor-knob-dragged
    fi
fi

# Keys typed with the pointer over the plug-in window: does Ardour pass them on (effEditKeyDown)?
eval "$(xdotool getwindowgeometry --shell "$pluginwin")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
xdotool windowfocus "$pluginwin" 2>/dev/null
echo "$(date +%s%N) keys sent" >"$work/keys"
xdotool key --delay 100 a Left Up
sleep "$seconds"
shot editor-later

# Closing the plug-in window: does Ardour close the editor (effEditClose) or only hide it?
xdotool windowfocus "$pluginwin" 2>/dev/null
xdotool key --window "$pluginwin" ctrl+w 2>/dev/null
sleep 2
echo "after ctrl+w on the plug-in window: $(xwininfo -id "$pluginwin" 2>&1 | awk '/Map State/ { print $3 }'), \
effEditClose calls so far: $(grep -c ' effEditClose ' "$WAYFARER_SPY_LOG")" >"$out/after-close.txt"
# Saved first, so that quitting asks nothing (the knob drag made the session dirty).
xdotool windowfocus --sync "$main" key ctrl+s
sleep 2
xdotool windowfocus --sync "$main" key ctrl+q
for _ in $(seq 60); do kill -0 "$ardour_pid" 2>/dev/null || break; sleep 0.5; done
if kill -0 "$ardour_pid" 2>/dev/null; then
    shot failed-quit
    log "Ardour did not quit; killing it"
else
    wait "$ardour_pid"
    log "Ardour exited with status $?"
    ardour_pid=""
fi
grep -iE 'crash|segmentation|abort|X Window System Error|VSTFX' "$out/ardour.log" | head -n 20

# ---- Summary -------------------------------------------------------------------------------------
{ summary "$WAYFARER_SPY_LOG" "$out/parent.txt"; cat "$out/after-close.txt" 2>/dev/null; } | tee "$out/summary.txt"
