#!/usr/bin/env bash
# Runs the LV2 bundle of a build in real LV2 hosts. Every stage installs the bundle by copying it
# into a fresh LV2 folder, starts what it needs, stops it again (on failure too) and runs under a
# time limit.
# Usage: scripts/lv2-hosts.sh BUILD-DIR lv2apply|jalv|ardour
#   BUILD-DIR holds quarvine.lv2/, tools/render/quarvine-render and tools/compare/quarvine-compare.
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

case "$stage" in
  lv2apply) stage_lv2apply ;;
  *) fail "unknown stage (lv2apply, jalv or ardour)" ;;
esac
