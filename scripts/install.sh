#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds the release, installs Quarvine where hosts look for it and
# renders the demo phrase through the installed plug-in as the proof (quarvine-demo.wav and the
# dry quarvine-demo-dry.wav in the repository folder).
#   for the current user (default): ~/.vst/libquarvine.so, ~/.lv2/quarvine.lv2/,
#     ~/.local/bin/quarvine-render and quarvine-validate, their manual pages under
#     ~/.local/share/man, the README and licence under ~/.local/share/doc/quarvine
#   --system: the same under /usr/local (lib/vst, lib/lv2, bin, share), with sudo when not root
# Every file and folder it makes is listed in a manifest beside the documents; --uninstall removes
# exactly those (folders only when empty), and nothing else. Installing again first removes what
# the last install listed.
# Usage: scripts/install.sh [--system] [--uninstall]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

system=0 uninstall=0
for arg in "$@"; do
  case "$arg" in
    --system) system=1 ;;
    --uninstall) uninstall=1 ;;
    -h|--help) sed -n '3,13p' "$0" | cut -c3-; exit 0 ;;
    *) echo "install: unknown option $arg (see --help)" >&2; exit 2 ;;
  esac
done

as_owner=()
if [ $system -eq 1 ]; then
  prefix=/usr/local
  vst_dir=$prefix/lib/vst lv2_dir=$prefix/lib/lv2 bin_dir=$prefix/bin share_dir=$prefix/share
  [ "$(id -u)" -eq 0 ] || as_owner=(sudo)
else
  home=${HOME:?install: HOME is not set}
  vst_dir=$home/.vst lv2_dir=$home/.lv2 bin_dir=$home/.local/bin share_dir=$home/.local/share
fi
manifest=$share_dir/doc/quarvine/install-manifest.txt

# remove_listed MANIFEST: its files, itself, then its folders, deepest first, where empty by then.
remove_listed() {
  local kind path dirs
  dirs=$(sed -n 's/^dir //p' "$1" | sort -r)
  while read -r kind path; do
    [ "$kind" = file ] && "${as_owner[@]}" rm -f -- "$path"
  done <"$1"
  "${as_owner[@]}" rm -f -- "$1"
  while IFS= read -r path; do
    [ -n "$path" ] && "${as_owner[@]}" rmdir -- "$path" 2>/dev/null || true
  done <<<"$dirs"
}

if [ $uninstall -eq 1 ]; then
  [ -f "$manifest" ] || { echo "install: nothing to remove: no manifest at $manifest" >&2; exit 1; }
  count=$(grep -c '^file ' "$manifest" || true)
  remove_listed "$manifest"
  echo "install: removed the $count files listed in $manifest"
  exit 0
fi

scripts/install-deps.sh demo
build=$root/build/release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUARVINE_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
stage=$(mktemp -d "${TMPDIR:-/tmp}/quarvine-install.XXXXXX")
trap 'rm -rf "$stage"' EXIT
cmake --install "$build" --prefix "$stage" >/dev/null

if [ -f "$manifest" ]; then
  echo "install: removing the last install first (listed in $manifest)"
  remove_listed "$manifest"
fi

# The staged tree's folders map onto the places hosts and shells look in.
declare -A place=([lib/vst]=$vst_dir [lib/lv2]=$lv2_dir [bin]=$bin_dir [share]=$share_dir)
listed=()
# make_dir PATH: the folder and every missing one above it, each listed.
make_dir() {
  local missing=() path=$1
  while [ ! -d "$path" ]; do missing+=("$path"); path=$(dirname "$path"); done
  [ ${#missing[@]} -eq 0 ] && return 0
  "${as_owner[@]}" mkdir -p -- "$1"
  for path in "${missing[@]}"; do listed+=("dir $path"); done
}
for from in lib/vst lib/lv2 bin share; do
  [ -d "$stage/$from" ] || continue
  while IFS= read -r -d '' item; do
    target=${place[$from]}${item#"$stage/$from"}
    if [ -d "$item" ]; then
      make_dir "$target"
    else
      "${as_owner[@]}" install -m "$(stat -c %a "$item")" -- "$item" "$target"
      listed+=("file $target")
    fi
  done < <(find "$stage/$from" -print0 | sort -z)
done
make_dir "$(dirname "$manifest")"
printf '%s\n' "${listed[@]}" | "${as_owner[@]}" tee "$manifest" >/dev/null

echo "install: rendering the demo phrase through the installed plug-in"
"$bin_dir/quarvine-render" --plugin "$vst_dir/libquarvine.so" -o quarvine-demo.wav --dry quarvine-demo-dry.wav

cat <<EOF

Quarvine $("$bin_dir/quarvine-render" --version | cut -d' ' -f2) is installed:
  VST 2.4 plug-in   $vst_dir/libquarvine.so
  LV2 plug-in       $lv2_dir/quarvine.lv2/
  tools             $bin_dir/quarvine-render, $bin_dir/quarvine-validate
  manual pages      $share_dir/man/man1/ (man quarvine-render)
  documents         $share_dir/doc/quarvine/
  list of files     $manifest
The demo phrase through it: $root/quarvine-demo.wav (dry: quarvine-demo-dry.wav).
Rescan plug-ins in your host. To remove it: scripts/install.sh$([ $system -eq 1 ] && echo " --system") --uninstall
EOF
case ":$PATH:" in
  *":$bin_dir:"*) ;;
  *) echo "Note: $bin_dir is not in your PATH; add it to run the tools by name." ;;
esac
