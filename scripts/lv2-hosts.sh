#!/usr/bin/env bash
# Runs the LV2 bundle of a build in real LV2 hosts. Every stage installs the bundle by copying it
# into a fresh LV2 folder, starts what it needs, stops it again (on failure too) and runs under a
# time limit.
# Usage: scripts/lv2-hosts.sh BUILD-DIR lv2apply|jalv|ardour
#   BUILD-DIR holds quarvine.lv2/ and the tools quarvine-render, quarvine-compare and
#   quarvine-editor-snapshot.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: $0 BUILD-DIR STAGE}" && pwd)
stage=${2:?usage: $0 BUILD-DIR STAGE}
render="$build/tools/render/quarvine-render"
compare="$build/tools/compare/quarvine-compare"
work=$(mktemp -d "${TMPDIR:-/tmp}/quarvine-lv2-$stage.XXXXXX")
declare -a started=()

cleanup() {
  local pid
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${started[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "lv2-hosts $stage: $*" >&2; exit 1; }

for needed in "$build/quarvine.lv2/manifest.ttl" "$render" "$compare"; do
  [ -e "$needed" ] || fail "missing $needed"
done
# Installed as a user would: the folder copied into an LV2 path of its own.
mkdir -p "$work/lv2" && cp -r "$build/quarvine.lv2" "$work/lv2/" || fail "cannot copy the bundle"
export LV2_PATH="$work/lv2"

# The dry demo phrase, the input of every stage.
"$render" -o "$work/demo.wav" --dry "$work/dry.wav" >/dev/null || fail "quarvine-render could not write the demo phrase"

stage_lv2apply() {
  # lv2apply runs the plug-in one frame at a time: the renderer does the same with --block 1.
  "$render" "$work/dry.wav" "$work/expected.wav" --drive 0.7 --bass 0.3 --treble 0.8 --volume 0.6 \
    --oversampling 4 --block 1 >/dev/null || fail "quarvine-render failed"
  timeout 120 lv2apply -i "$work/dry.wav" -o "$work/lv2apply.wav" -c drive 0.7 -c bass 0.3 -c treble 0.8 \
    -c volume 0.6 -c oversampling 1 urn:orn:quarvine || fail "lv2apply failed"
  "$compare" "$work/expected.wav" "$work/lv2apply.wav" 0
}

# Starts a program in the background, to be stopped on exit; at most $1 seconds even if that fails.
start() { # seconds, command...
  local seconds=$1; shift
  timeout -k 5 "$seconds" "$@" &
  started+=($!)
}

start_display() {
  local n
  for n in $(seq 140 199); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then break; fi
  done
  export DISPLAY=":$n"
  start 300 Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
  fail "Xvfb did not start on $DISPLAY"
}

# waits up to $1 tenths of a second for a command to succeed
wait_for() { # tenths, command...
  local tenths=$1; shift
  for _ in $(seq "$tenths"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

same_picture() { # reference, window id: the window shows exactly the reference's pixels
  import -window "$2" "$work/shown.png" 2>/dev/null || return 1
  [ "$(compare -metric AE "$1" "$work/shown.png" null: 2>&1)" = 0 ]
}

# symbol=value per line, from a saved state's Turtle (read with serd).
state_values() {
  serdi -i turtle -o ntriples "$1" | awk '
    $2 == "<http://lv2plug.in/ns/lv2core#symbol>" { gsub(/"/, "", $3); symbol[$1] = $3 }
    $2 == "<http://lv2plug.in/ns/ext/presets#value>" { v = $3; sub(/\^\^.*/, "", v); gsub(/"/, "", v); value[$1] = v }
    END { for (node in symbol) print symbol[node] "=" value[node] }'
}

stage_jalv() {
  local snapshot="$build/tools/editor_snapshot/quarvine-editor-snapshot"
  [ -x "$snapshot" ] || fail "missing $snapshot"
  start_display
  export JACK_DEFAULT_SERVER="quarvine-$$" JACK_NO_AUDIO_RESERVATION=1
  start 300 jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 44100 -p 256 >"$work/jackd.log" 2>&1
  timeout 20 jack_wait -w -t 15 -s "$JACK_DEFAULT_SERVER" >/dev/null || fail "jackd did not start"
  # The VST editor's own rendering of the same settings: Drive 9, 4x.
  "$snapshot" "$work/before.ppm" --param 1=0.9 --param 6=0.5 || fail "no reference picture of the VST editor"
  start 240 jalv.gtk3 -c drive=0.9 -c oversampling=1 urn:orn:quarvine >"$work/jalv.log" 2>&1
  # Our window: the deepest 680x120 window in the tree (suil's containers around it have the same size).
  local line=""
  for _ in $(seq 200); do
    line=$(xwininfo -root -tree 2>/dev/null | grep ' 680x120+' | tail -n 1)
    [ -n "$line" ] && [ "$(xwininfo -root -tree | grep -c ' 680x120+')" -ge 3 ] && break
    sleep 0.1
  done
  [ -n "$line" ] || { cat "$work/jalv.log"; fail "jalv.gtk3 showed no 680x120 panel"; }
  local window x y
  window=$(awk '{print $1}' <<<"$line")
  read -r x y < <(sed -E 's/.* \+(-?[0-9]+)\+(-?[0-9]+)$/\1 \2/' <<<"$line")
  echo "panel window $window at $x,$y"
  # The host's values reach the knobs through port events.
  wait_for 100 same_picture "$work/before.ppm" "$window" ||
    fail "the panel in jalv differs from the VST editor's rendering ($(compare -metric AE "$work/before.ppm" "$work/shown.png" null: 2>&1) pixels)"
  import -window "$window" "$work/jalv-panel.png"
  [ -n "${QUARVINE_ARTEFACTS:-}" ] && cp "$work/jalv-panel.png" "$QUARVINE_ARTEFACTS/"

  # Treble dragged round to point right: in circular mode that is 5/6 of the knob's travel
  # (start at 225 degrees, 270 degrees clockwise).
  xdotool mousemove $((x + 212)) $((y + 30)) mousedown 1 sleep 0.3 mousemove $((x + 224)) $((y + 40)) sleep 0.2 \
    mousemove $((x + 236)) $((y + 51)) sleep 0.3 mouseup 1
  "$snapshot" "$work/after.ppm" --param 1=0.9 --param 6=0.5 --param 2=0.8333333 || fail "no reference picture"
  wait_for 100 same_picture "$work/after.ppm" "$window" || fail "the dragged knob does not show as the VST editor's"

  # jalv tells its port values in the state it saves (File > Save, Ctrl+S).
  xdotool mousemove $((x + 600)) 10 key ctrl+s
  wait_for 100 xdotool search --name "Save State" || fail "jalv's save dialogue did not open"
  # The dialogue takes the keys once it is mapped and under the pointer.
  sleep 1
  xdotool mousemove 400 300 sleep 0.5 type --delay 20 "$work/state"
  sleep 0.3
  xdotool key Return
  wait_for 100 test -s "$work/state/state.ttl" || fail "jalv saved no state"
  state_values "$work/state/state.ttl" | sort | tee "$work/values"
  awk -F= '
    $1 == "treble" { t = ($2 - 5 / 6) ; ok += (t < 1e-6 && t > -1e-6) }
    $1 == "drive" { ok += ($2 + 0 == 0.9 || ($2 - 0.9 < 1e-7 && 0.9 - $2 < 1e-7)) }
    $1 == "oversampling" { ok += ($2 + 0 == 1) }
    END { exit ok == 3 ? 0 : 1 }' "$work/values" || fail "jalv's port values are not what the panel set"
  echo "jalv: the panel showed the host's values, and a drag set treble to 5/6"
}

start_jack() {
  export JACK_DEFAULT_SERVER="quarvine-$$" JACK_NO_AUDIO_RESERVATION=1
  start 300 jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 44100 -p 1024 >"$work/jackd.log" 2>&1
  timeout 20 jack_wait -w -t 15 -s "$JACK_DEFAULT_SERVER" >/dev/null || fail "jackd did not start"
}

# Ardour's headless Lua session loads the plug-in into a track and lists its parameters. Debian's
# Ardour has no dummy backend and its headless interpreter cannot import or export audio, so the
# sound itself is checked in lv2apply and through lilv, not here.
stage_ardour() {
  command -v ardour7-lua >/dev/null || fail "ardour7-lua not installed (package ardour)"
  start_jack
  cat >"$work/load.lua" <<LUA
AudioEngine:set_backend("JACK", "", "")
local s = create_session("$work/session", "session", 44100)
if not s then print("no session") return end
local track = s:new_audio_track(1, 1, nil, 1, "amp", ARDOUR.PresentationInfo.max_order,
                                ARDOUR.TrackMode.Normal, true):front()
local p = ARDOUR.LuaAPI.new_plugin(s, "urn:orn:quarvine", ARDOUR.PluginType.LV2, "")
if p:isnil() then print("no plugin") close_session() return end
track:add_processor_by_index(p, 0, nil, true)
local insert = p:to_insert()
local plugin = insert:plugin(0)
for i = 0, plugin:parameter_count() - 1 do
  if plugin:parameter_is_input(i) and plugin:parameter_is_control(i) then
    local value = ARDOUR.LuaAPI.get_plugin_insert_param(insert, i, false)
    print(string.format("parameter %s=%g", plugin:parameter_label(i), value))
  end
end
close_session()
LUA
  timeout -k 5 120 ardour7-lua "$work/load.lua" >"$work/ardour.log" 2>&1
  grep '^parameter ' "$work/ardour.log" | tee "$work/parameters"
  # The parameter table: names and defaults as the VST module has them.
  printf 'parameter %s\n' Master=0.5 Drive=0.5 Treble=0.5 Middle=0.5 Bass=0.5 Volume=1 Oversampling=0 >"$work/expected"
  diff "$work/expected" "$work/parameters" || { tail -20 "$work/ardour.log"; fail "Ardour shows other parameters"; }
  echo "ardour: the plug-in loads into a track with the module's seven parameters"
}

case "$stage" in
  lv2apply) stage_lv2apply ;;
  jalv) stage_jalv ;;
  ardour) stage_ardour ;;
  *) fail "unknown stage (lv2apply, jalv or ardour)" ;;
esac
