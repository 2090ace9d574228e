# Shell functions the scripts share; sourced, never run:
#   . "$(dirname "$0")/lib.sh"
# Nothing here changes the caller's options (set -e/-u/-o pipefail stay as the script set them).

# Debian's interpreter, not whichever python3 comes first on PATH: scripts/setup installs the
# modules the tools need (python3-pil) for that one.
python3_bin=/usr/bin/python3
[ -x "$python3_bin" ] || python3_bin=python3

# reexec_without_aslr ARGS...: runs this script again under `setarch -R` (no address-space
# randomisation), unless it already runs so or setarch refuses; the personality is inherited by all
# that the script starts. Wine's loader here maps the shared user data page only after the C
# library has set up its heap, which with randomisation can sit over that page (scripts/wine-run
# tells the whole story). Call it first thing, with the script's own arguments: "$@".
reexec_without_aslr() {
  if ! (( 0x$(cat /proc/self/personality 2>/dev/null || echo 0) & 0x0040000 )) &&
    setarch "$(uname -m)" -R true 2>/dev/null; then
    exec setarch "$(uname -m)" -R "$0" "$@"
  fi
}

# job_count [DEFAULT]: the build and test parallelism, JOBS if set, else DEFAULT, else nproc.
job_count() {
  echo "${JOBS:-${1:-$(nproc)}}"
}

# free_display FIRST LAST: the first X display number in FIRST..LAST with neither a socket nor a
# lock file; fails (printing nothing) when every number is taken.
free_display() {
  local n
  for n in $(seq "$1" "$2"); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { echo "$n"; return 0; }
  done
  return 1
}

# start_xvfb FIRST LAST [XVFB_OPTION...]: starts Xvfb on the first free display number in
# FIRST..LAST, or in the range QUORVEL_DISPLAYS=FIRST-LAST names (for a machine whose display
# numbers are shared out among several runs), with -nolisten tcp and the given options (e.g.
# -screen 0 1024x768x24), and waits until it serves that number: the lock file names our Xvfb and
# the socket is there. Sets display and xvfb_pid and exports DISPLAY. Should another program take
# the number first (our Xvfb ends at once), the next free number is tried. Fails, with display and
# xvfb_pid empty, when no number is free or Xvfb does not come up within 10 s; the caller says so
# in its own words.
start_xvfb() {
  local first=$1 last=$2 n lock
  shift 2
  if [[ ${QUORVEL_DISPLAYS:-} =~ ^([0-9]+)-([0-9]+)$ ]]; then
    first=${BASH_REMATCH[1]}
    last=${BASH_REMATCH[2]}
  fi
  display=
  xvfb_pid=
  while n=$(free_display "$first" "$last"); do
    Xvfb ":$n" "$@" -nolisten tcp </dev/null >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
      kill -0 "$xvfb_pid" 2>/dev/null || break
      lock=$(tr -d ' \n' 2>/dev/null <"/tmp/.X$n-lock" || true)
      if [ "$lock" = "$xvfb_pid" ] && [ -e "/tmp/.X11-unix/X$n" ]; then
        display=$n
        export DISPLAY=":$n"
        return 0
      fi
      sleep 0.1
    done
    if kill -0 "$xvfb_pid" 2>/dev/null; then  # running, yet not serving after 10 s
      stop_xvfb
      return 1
    fi
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=
    first=$((n + 1))
  done
  return 1
}

# stop_xvfb: ends the Xvfb that start_xvfb started (by its pid), if any, and gives it 5 s to go
# (it removes its socket and lock file as it ends).
stop_xvfb() {
  [ -n "${xvfb_pid:-}" ] || return 0
  kill "$xvfb_pid" 2>/dev/null || true
  for _ in $(seq 50); do
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  xvfb_pid=
}

# stop_wineserver PREFIX: ends the prefix's wine server (and so every Wine process in it) and waits
# for it to go, as wineserver -k does, bounded at 60 s; quiet, and never fails.
stop_wineserver() {
  WINEPREFIX=$1 timeout 60 wineserver -k >/dev/null 2>&1 || true
}
