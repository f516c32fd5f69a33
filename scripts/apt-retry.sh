# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the scripts that fetch Debian packages: apt calls that survive a mirror caught in
# the middle of a sync. A mirror that is syncing answers some index or package with the wrong
# size or hash for a minute or two ("File has unexpected size ... Mirror sync in progress?");
# apt then fails the whole update although every other index arrived. These helpers try again
# after a back-off, and leave it to the caller to decide whether an index that still fails
# matters: it does only when a package that is needed cannot be resolved or fetched without it.
#
# QUARVINE_APT_BACKOFF: the waits in seconds before each further attempt (default "10 30 90").

apt_backoff=(${QUARVINE_APT_BACKOFF-10 30 90})

# apt_failed_fetches LOG: the addresses apt could not fetch, one per line.
apt_failed_fetches() {
  sed -n -E 's/^[EW]: Failed to fetch ([^ ]+).*/\1/p' "$1" | sort -u
}

# apt_first_error LOG: apt's first error, on one line.
apt_first_error() {
  { grep -m1 -E '^E: ' "$1" || tail -n1 "$1"; } | tr -s ' \t' ' '
}

# apt_retrying WHO LOG COMMAND...: runs COMMAND (its output into LOG), again after each back-off
# while it fails. Answers 0 when an attempt succeeded, else 1.
apt_retrying() {
  local who=$1 log=$2; shift 2
  local wait
  for wait in "${apt_backoff[@]}" last; do
    "$@" >"$log" 2>&1 && return 0
    [ "$wait" = last ] && return 1
    echo "$who: $(apt_first_error "$log"); trying again in $wait s" >&2
    sleep "$wait"
  done
}

# apt_update_retrying WHO LOG COMMAND...: an apt-get update COMMAND, retried. When every attempt
# failed, says on one line which indexes are left out and answers 1; the lists that did arrive
# are in place.
apt_update_retrying() {
  apt_retrying "$@" && return 0
  echo "$1: left out after $(( ${#apt_backoff[@]} + 1 )) attempts, the indexes that failed:" \
       "$(apt_failed_fetches "$2" | tr '\n' ' ')" >&2
  return 1
}
