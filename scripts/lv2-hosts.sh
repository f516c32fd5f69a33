#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
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

# Stops what start() started, the newest first, each to its end (at most 10 s, then killed): a
# client whose JACK or X server goes first leaves its semaphores and temporary folder behind.
stop() { # pid
  local end=$((SECONDS + 10))
  kill "$1" 2>/dev/null
  while kill -0 "$1" 2>/dev/null && [ $SECONDS -lt $end ]; do sleep 0.1; done
  kill -0 "$1" 2>/dev/null && { pkill -KILL -P "$1"; kill -KILL "$1"; }
  wait "$1" 2>/dev/null
}
cleanup() {
  local i
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do stop "${started[i]}"; done
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

# Xvfb picks a free display itself and tells its number once it accepts connections
# (-displayfd): no number is raced for with servers that start beside it, nothing is waited for
# longer than it takes (at most 30 s). -noreset: by default the server resets when its last client
# leaves and cuts off one connecting meanwhile (jalv, as the snapshot tool leaves).
start_display() {
  local n=""
  coproc XVFB { exec timeout -k 5 300 Xvfb -displayfd 1 -noreset -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null; }
  started+=("$XVFB_PID")
  read -r -t 30 -u "${XVFB[0]}" n && [ -n "$n" ] || fail "Xvfb did not start"
  export DISPLAY=":$n"
}

# Polls a command until it succeeds, at most $1 seconds.
wait_for() { # seconds, command...
  local end=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.1
  done
}

panel_shown() { # jalv's window holds our panel inside suil's containers
  [ "$(xwininfo -root -tree | grep -c ' 680x120+')" -ge 3 ]
}

dialogue_accepts() { # presses Return; true once jalv's save dialogue is gone
  xdotool search --onlyvisible --name '^Save State$' >/dev/null || return 0
  xdotool key Return
  ! xdotool search --onlyvisible --name '^Save State$' >/dev/null
}

same_picture() { # reference, window id: the window shows exactly the reference's pixels
  import -window "$2" "$work/shown.png" 2>/dev/null || return 1
  [ "$(compare -metric AE "$1" "$work/shown.png" null: 2>&1)" = 0 ]
}

# The same but for the name plate's line of text, which shows the knob's value while it is
# dragged or pointed at (the reference, drawn with no pointer, shows the cabinet there).
same_picture_but_plate() { # reference, window id
  import -window "$2" "$work/shown.png" 2>/dev/null || return 1
  local mask=(-fill black -draw "rectangle 526,47 658,57")
  convert "$1" "${mask[@]}" "$work/reference-masked.png" &&
    convert "$work/shown.png" "${mask[@]}" "$work/shown-masked.png" || return 1
  [ "$(compare -metric AE "$work/reference-masked.png" "$work/shown-masked.png" null: 2>&1)" = 0 ]
}

# symbol=value per line, from a saved state's Turtle (read with serd).
state_values() {
  serdi -i turtle -o ntriples "$1" | awk '
    $2 == "<http://lv2plug.in/ns/lv2core#symbol>" { gsub(/"/, "", $3); symbol[$1] = $3 }
    $2 == "<http://lv2plug.in/ns/ext/presets#value>" { v = $3; sub(/\^\^.*/, "", v); gsub(/"/, "", v); value[$1] = v }
    END { for (node in symbol) print symbol[node] "=" value[node] }'
}

# Starts jalv.gtk3 (its arguments) and waits for our panel: sets window, x and y. Our window is
# the deepest 680x120 window in the tree (suil's containers around it have the same size).
start_jalv() { # log, jalv arguments...
  local log=$1; shift
  start 240 jalv.gtk3 "$@" >"$log" 2>&1
  wait_for 60 panel_shown || { cat "$log"; fail "jalv.gtk3 showed no 680x120 panel"; }
  local line
  line=$(xwininfo -root -tree | grep ' 680x120+' | tail -n 1)
  window=$(awk '{print $1}' <<<"$line")
  read -r x y < <(sed -E 's/.* \+(-?[0-9]+)\+(-?[0-9]+)$/\1 \2/' <<<"$line")
  echo "panel window $window at $x,$y"
}

# Stops the newest jalv, so that the next one's panel is the only one.
stop_jalv() {
  stop "${started[-1]}"
  unset 'started[-1]'
}

# Saves jalv's state (File > Save, Ctrl+S) as the folder $work/NAME; the pointer over jalv's
# window at x+600.
save_state() { # name
  xdotool mousemove $((x + 600)) 10 key ctrl+s
  local dialog
  dialog=$(timeout 30 xdotool search --sync --onlyvisible --name '^Save State$' | head -n 1)
  [ -n "$dialog" ] || fail "jalv's save dialogue did not open"
  # No window manager gives the dialogue the keyboard: it is given it here. Then the name of a
  # new folder in the stage's folder. GTK's chooser ignores a Return that follows the typing
  # within about a second: Return is pressed until the dialogue closes, at most 30 s.
  timeout 10 xdotool windowfocus --sync "$dialog" || fail "the save dialogue took no keyboard focus"
  xdotool type --delay 20 "$1"
  wait_for 30 dialogue_accepts || fail "jalv's save dialogue stayed open"
  wait_for 30 test -s "$work/$1/state.ttl" || fail "jalv saved no state"
}

# The plate's text (panel pixels 526..658 x 47..57) of two pictures differs. compare answers 1
# for pictures that differ, 0 for equal ones and 2 when it cannot read one.
plates_differ() { # picture, picture
  convert "$1" -crop 133x11+526+47 "$work/plate-1.png" && convert "$2" -crop 133x11+526+47 "$work/plate-2.png" ||
    return 1
  compare -metric AE "$work/plate-1.png" "$work/plate-2.png" null: 2>/dev/null
  [ $? = 1 ]
}

# The property's value in a saved state's Turtle, as a path (serd resolves it against the file).
state_path() {
  serdi -i turtle -o ntriples "$1" | python3 -c '
import sys, urllib.parse
for line in sys.stdin:
    parts = line.split(" ", 2)
    if len(parts) == 3 and parts[1] == "<urn:orn:quarvine#impulse_response>":
        value = parts[2].rstrip(" .\n")
        if value.startswith("<file://"):
            print(urllib.parse.unquote(urllib.parse.urlparse(value[1:-1]).path))'
}

stage_jalv() {
  local snapshot="$build/tools/editor_snapshot/quarvine-editor-snapshot"
  [ -x "$snapshot" ] || fail "missing $snapshot"
  start_display
  # A server name of this run's own (the folder's random part): a pid comes round again, and with
  # it a name another run may have left semaphores under.
  export JACK_DEFAULT_SERVER="quarvine-${work##*.}" JACK_NO_AUDIO_RESERVATION=1
  # GTK's file chooser notes the folders it saved in: here, not in the user's home.
  export XDG_DATA_HOME="$work/data"
  start 300 jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 44100 -p 256 >"$work/jackd.log" 2>&1
  timeout 40 jack_wait -w -t 30 -s "$JACK_DEFAULT_SERVER" >/dev/null || { cat "$work/jackd.log"; fail "jackd did not start"; }
  # The VST editor's own rendering of the same settings: Drive 9, 4x.
  "$snapshot" "$work/before.ppm" --param 1=0.9 --param 6=0.5 || fail "no reference picture of the VST editor"
  # In the stage's folder: jalv's save dialogue opens there.
  cd "$work" || fail "no stage folder"
  local window x y
  start_jalv "$work/jalv.log" -c drive=0.9 -c oversampling=1 urn:orn:quarvine
  # The host's values reach the knobs through port events.
  wait_for 30 same_picture "$work/before.ppm" "$window" ||
    fail "the panel in jalv differs from the VST editor's rendering ($(compare -metric AE "$work/before.ppm" "$work/shown.png" null: 2>&1) pixels)"
  import -window "$window" "$work/jalv-panel.png"
  [ -n "${QUARVINE_ARTEFACTS:-}" ] && cp "$work/jalv-panel.png" "$QUARVINE_ARTEFACTS/"

  # Treble dragged round to point right: in circular mode that is 5/6 of the knob's travel
  # (start at 225 degrees, 270 degrees clockwise).
  # The button goes up only once the knob shows the end of the drag: the drag loop has seen the
  # pointer there (the pauses between the moves are the drag's speed, not waits).
  "$snapshot" "$work/after.ppm" --param 1=0.9 --param 6=0.5 --param 2=0.8333333 || fail "no reference picture"
  xdotool mousemove $((x + 212)) $((y + 30)) mousedown 1 sleep 0.3 mousemove $((x + 224)) $((y + 40)) sleep 0.2 \
    mousemove $((x + 236)) $((y + 51))
  wait_for 30 same_picture_but_plate "$work/after.ppm" "$window" ||
    { xdotool mouseup 1; fail "the dragged knob does not show as the VST editor's"; }
  # Released and the pointer moved off the panel: the plate goes back to the cabinet's line.
  xdotool mouseup 1 mousemove $((x + 600)) 10
  wait_for 30 same_picture "$work/after.ppm" "$window" || fail "the released knob does not show as the VST editor's"

  # jalv tells its port values in the state it saves.
  save_state state
  state_values "$work/state/state.ttl" | sort | tee "$work/values"
  awk -F= '
    $1 == "treble" { t = ($2 - 5 / 6) ; ok += (t < 1e-6 && t > -1e-6) }
    $1 == "drive" { ok += ($2 + 0 == 0.9 || ($2 - 0.9 < 1e-7 && 0.9 - $2 < 1e-7)) }
    $1 == "oversampling" { ok += ($2 + 0 == 1) }
    END { exit ok == 3 ? 0 : 1 }' "$work/values" || fail "jalv's port values are not what the panel set"
  echo "jalv: the panel showed the host's values, and a drag set treble to 5/6"
  stop_jalv
  jalv_impulse_response
}

# The player's impulse response through jalv's state: a state folder written as jalv writes one
# (Cabinet at User IR, the property naming a WAV beside it, relative to the state's Turtle) is
# restored with -l. The plug-in must load it without complaint, the name plate must show the
# file's name as the VST editor shows it for the same response, and the state jalv then saves
# must still name a file of the same bytes.
jalv_impulse_response() {
  local given="$work/given" name="room mic.wav"
  mkdir -p "$given" || fail "no state folder"
  # 64 frames of a decaying click, mono 16-bit at 44.1 kHz.
  python3 - "$given/$name" <<'PY' || fail "cannot write the impulse response"
import struct, sys, wave
with wave.open(sys.argv[1], "wb") as out:
    out.setnchannels(1)
    out.setsampwidth(2)
    out.setframerate(44100)
    out.writeframes(b"".join(struct.pack("<h", round(20000 * 0.8 ** n * (-1) ** (n // 3))) for n in range(64)))
PY
  cat >"$given/state.ttl" <<'TTL'
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix pset: <http://lv2plug.in/ns/ext/presets#> .
@prefix state: <http://lv2plug.in/ns/ext/state#> .

<>
	a pset:Preset ;
	lv2:appliesTo <urn:orn:quarvine> ;
	lv2:port [
		lv2:symbol "cabinet" ;
		pset:value 5.0
	] ;
	state:state [
		<urn:orn:quarvine#impulse_response> <room%20mic.wav>
	] .
TTL
  [ "$(state_path "$given/state.ttl")" = "$given/$name" ] || fail "the written state names no file (serdi)"
  # The VST editor with the same response handed over in its state chunk, Cabinet at User IR; and
  # without one, whose plate must read otherwise (else the comparison proves nothing).
  local snapshot="$build/tools/editor_snapshot/quarvine-editor-snapshot"
  "$snapshot" "$work/user.ppm" --param 7=1 --ir "$given/$name" || fail "no reference picture with the response"
  "$snapshot" "$work/user-none.ppm" --param 7=1 || fail "no reference picture without a response"
  plates_differ "$work/user.ppm" "$work/user-none.ppm" || fail "the VST editor's plate shows no file's name"

  local window x y
  start_jalv "$work/jalv-ir.log" -l "$given" urn:orn:quarvine
  wait_for 30 same_picture "$work/user.ppm" "$window" || { grep 'Quarvine:' "$work/jalv-ir.log";
    fail "the panel after jalv restored the response differs from the VST editor's ($(compare -metric AE "$work/user.ppm" "$work/shown.png" null: 2>&1) pixels)"; }
  if grep 'Quarvine:' "$work/jalv-ir.log"; then fail "the plug-in complained in jalv"; fi
  echo "jalv: a restored state loaded the impulse response, and the name plate shows its file's name"

  save_state saved
  local path
  path=$(state_path "$work/saved/state.ttl")
  [ -n "$path" ] || { cat "$work/saved/state.ttl"; fail "jalv's saved state names no impulse response"; }
  echo "saved state names $path"
  # Mapped through state:mapPath, the file travels with the state: jalv links it into the folder.
  [ "$(dirname "$path")" = "$work/saved" ] || fail "the saved state names a file outside its folder (no abstract path)"
  cmp "$given/$name" "$path" || fail "the saved state's impulse response is not the file restored"
  state_values "$work/saved/state.ttl" | awk -F= '$1 == "cabinet" && $2 + 0 == 5 { found = 1 } END { exit !found }' ||
    fail "the saved Cabinet is not User IR"
  echo "jalv: the state saved again names the same response"
}

# Ardour renders the dry phrase through the plug-in (with the 4x12 cabinet) in a track; that must equal quarvine-render
# with the same settings. Everything runs headless on Ardour's dummy backend (no JACK). The
# session is built in ardour7-lua: a mono track into a mono master (so no panner), faders at 0 dB,
# region fades off. The Lua bindings cannot import a file, so the track bounces silence as long as
# the phrase, which gives a region on disk, and the phrase then takes that file's place. A second
# ardour7-lua bounces the track through the plug-in and its fader (Ardour's own offline render,
# its "bounce with processing"), written as 32-bit float. Not ardour7-export: Debian's 7.3 races
# with its own engine, with our plug-in or none in the session (it aborts freeing its export
# channels, 7 of 50 runs two at a time, or deadlocks against its butler).
stage_ardour() {
  local tool
  for tool in ardour7-lua ardour7-new_session; do
    command -v "$tool" >/dev/null || fail "$tool not installed (package ardour)"
  done
  local align="$root/scripts/wav-align.py"
  # Ardour's own settings and caches stay out of the user's.
  export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"
  "$render" "$work/dry.wav" "$work/expected.wav" --drive 0.7 --bass 0.3 --treble 0.8 --volume 0.6 \
    --oversampling 4 --cabinet 4x12 >/dev/null || fail "quarvine-render failed"
  local frames
  frames=$("$align" frames "$work/dry.wav") || fail "cannot read the dry phrase"
  timeout -k 5 60 ardour7-new_session -s 44100 -m 1 "$work/session" amp >"$work/new_session.log" 2>&1 ||
    { cat "$work/new_session.log"; fail "ardour7-new_session failed"; }
  cat >"$work/build.lua" <<LUA
-- Debian's build lists the dummy backend only when asked to.
ARDOUR.config():set_hide_dummy_backend(false)
AudioEngine:set_backend("None (Dummy)", "", "")
local s = load_session("$work/session", "amp")
if not s then print("no session") return end
-- The region's file is written as 32-bit float WAV, the dry phrase's own format.
s:cfg():set_native_file_header_format(ARDOUR.HeaderFormat.WAVE)
s:cfg():set_native_file_data_format(ARDOUR.SampleFormat.Float)
local track = s:new_audio_track(1, 1, nil, 1, "amp", ARDOUR.PresentationInfo.max_order,
                                ARDOUR.TrackMode.Normal, true):front()
local region = track:bounce_range(0, $frames, ARDOUR.InterThreadInfo(), ARDOUR.LuaAPI.nil_proc(), false, "dry")
if region:isnil() then print("no region") close_session() return end
local audio = region:to_audioregion()
audio:set_fade_in_active(false)
audio:set_fade_out_active(false)
track:playlist():add_region(region, Temporal.timepos_t(0), 1, false, 0, 0, false)
print("source " .. region:source(0):to_filesource():path())
-- Outputs are auto-connected in the background, too late for the saved state.
if track:output():audio(0):connect(s:master_out():input():audio(0):name()) ~= 0 then
  print("cannot connect the track to the master bus")
end
print(string.format("gain track=%g master=%g inputs=%d", track:gain_control():get_value(),
                    s:master_out():gain_control():get_value(), s:master_out():n_inputs():n_audio()))
local p = ARDOUR.LuaAPI.new_plugin(s, "urn:orn:quarvine", ARDOUR.PluginType.LV2, "")
if p:isnil() then print("no plugin") close_session() return end
track:add_processor_by_index(p, 0, nil, true)
local insert = p:to_insert()
local plugin = insert:plugin(0)
local settings = { Drive = 0.7, Treble = 0.8, Bass = 0.3, Volume = 0.6, Oversampling = 1, Cabinet = 3 }
-- Labels go by port index; values by the count of control inputs before (the Cabinet port, 9,
-- is the eighth control: the audio ports 7 and 8 come first).
local control = 0
for i = 0, plugin:parameter_count() - 1 do
  if plugin:parameter_is_input(i) and plugin:parameter_is_control(i) then
    local label = plugin:parameter_label(i)
    print(string.format("parameter %s=%g", label, ARDOUR.LuaAPI.get_plugin_insert_param(insert, control, false)))
    if settings[label] then ARDOUR.LuaAPI.set_plugin_insert_param(insert, control, settings[label]) end
    print(string.format("set %s=%.6g", label, ARDOUR.LuaAPI.get_plugin_insert_param(insert, control, false)))
    control = control + 1
  end
end
s:save_state("", false, false, false, false, false)
print("saved")
close_session()
LUA
  timeout -k 5 120 ardour7-lua "$work/build.lua" >"$work/ardour.log" 2>&1
  grep '^parameter ' "$work/ardour.log" | tee "$work/parameters"
  # The parameter table: names and defaults as the VST module has them.
  printf 'parameter %s\n' Master=0.5 Drive=0.5 Treble=0.5 Middle=0.5 Bass=0.5 Volume=1 Oversampling=0 Cabinet=0 >"$work/expected"
  diff "$work/expected" "$work/parameters" || { tail -20 "$work/ardour.log"; fail "Ardour shows other parameters"; }
  echo "ardour: the plug-in loads into a track with the module's eight parameters"
  grep -qx saved "$work/ardour.log" || { tail -20 "$work/ardour.log"; fail "ardour7-lua did not save the session"; }
  grep -qx 'gain track=1 master=1 inputs=1' "$work/ardour.log" ||
    { grep '^gain' "$work/ardour.log"; fail "the gain staging is not flat"; }
  printf 'set %s\n' Master=0.5 Drive=0.7 Treble=0.8 Middle=0.5 Bass=0.3 Volume=0.6 Oversampling=1 Cabinet=3 >"$work/expected-set"
  grep '^set ' "$work/ardour.log" | diff "$work/expected-set" - || fail "Ardour holds other parameter values"

  local source
  source=$(sed -n 's/^source //p' "$work/ardour.log")
  [ -f "$source" ] || fail "no region file in the session"
  cp "$work/dry.wav" "$source" || fail "cannot put the dry phrase into the session"
  # Up to the fader, not the outputs: the output ports' buffers belong to the engine's cycle, which
  # clears them meanwhile (a block of silence now and then).
  cat >"$work/bounce.lua" <<LUA
ARDOUR.config():set_hide_dummy_backend(false)
AudioEngine:set_backend("None (Dummy)", "", "")
local s = load_session("$work/session", "amp")
if not s then print("no session") return end
local track = s:route_by_name("amp"):to_track()
local region = track:bounce_range(0, $frames, ARDOUR.InterThreadInfo(), track:amp(), true, "wet")
if region:isnil() then print("no bounce") close_session() return end
print("wet " .. region:source(0):to_filesource():path())
close_session()
LUA
  timeout -k 5 120 ardour7-lua "$work/bounce.lua" >"$work/bounce.log" 2>&1 ||
    { tail -20 "$work/bounce.log"; fail "ardour7-lua could not bounce the track"; }
  local wet
  wet=$(sed -n 's/^wet //p' "$work/bounce.log")
  [ -s "$wet" ] || { tail -20 "$work/bounce.log"; fail "Ardour's bounce wrote nothing"; }
  local lag
  lag=$("$align" align "$work/expected.wav" "$wet" "$work/aligned.wav") || fail "cannot align Ardour's bounce"
  echo "ardour: the bounce runs $lag frames behind quarvine-render"
  "$compare" "$work/expected.wav" "$work/aligned.wav" 1e-6 || fail "Ardour's rendering differs from quarvine-render"
  echo "ardour: the dry phrase through the plug-in in an Ardour track equals quarvine-render"
}

case "$stage" in
  lv2apply) stage_lv2apply ;;
  jalv) stage_jalv ;;
  ardour) stage_ardour ;;
  *) fail "unknown stage (lv2apply, jalv or ardour)" ;;
esac
