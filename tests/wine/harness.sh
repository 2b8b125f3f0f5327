# Wine test harness. Sourced by the runner scripts and available to every Wine test script.
#
# One pristine WoW64 prefix per build folder (build/<preset>/wine/pristine), created once under a
# lock; each test group works in its own copy, optionally on its own Xvfb display. Whatever the
# harness starts (wineserver, Xvfb) is ended when the shell exits, and the copy is removed
# (ZEV_WINE_KEEP=1 keeps it for a look afterwards). A failing group with a display leaves a
# screenshot of its last state (ARTIFACTS/at-exit.png).
#
#   zev_wine_begin BUILD_DIR NAME [--display]   prefix copy (+ display), cleanup on exit
#   zev_wine_run PROGRAM [ARGS...]              runs it, answers its exit code
#   zev_wine_start PROGRAM [ARGS...]            starts it in the background (ZEV_WINE_PID)
#   zev_wine_wait_window TITLE [SECONDS]        waits for a window with that title
#   zev_wine_screenshot NAME                    ARTIFACTS/NAME.png of the whole display
#   zev_wine_set_version PROGRAM.exe VERSION    per-program Windows version (winxp, win7, ...)
#   zev_wine_path LINUX_PATH                    the same file as a Windows path (Z:\...)

# Upper bound for one program run; below the ctest timeout so cleanup always gets to run.
: "${ZEV_WINE_TIMEOUT:=240}"

_zev_wine_log() { echo "wine harness: $*" >&2; }

# Settings every test prefix starts with. Changing them rebuilds the pristine prefix.
_zev_wine_configure_prefix() {
  # A crash ends the program instead of waiting for someone to close a dialog.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f &&
    # Xvfb has no window manager: Wine draws the frames itself and does not wait (2 s per
    # hidden window) for a window manager to confirm that a window was withdrawn.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
}
ZEV_WINE_PRISTINE_RECIPE="wow64 no-mono-gecko no-crash-dialog unmanaged 1"

# Creates the pristine prefix once per build folder (again when the recipe changed); parallel
# callers wait on the lock.
zev_wine_pristine() {
  local pristine=$ZEV_WINE_DIR/pristine
  mkdir -p "$ZEV_WINE_DIR"
  (
    flock -w 600 9 || { _zev_wine_log "gave up waiting for $ZEV_WINE_DIR/pristine.lock"; exit 1; }
    [[ $(cat "$pristine/.zev-pristine" 2>/dev/null) == "$ZEV_WINE_PRISTINE_RECIPE" ]] && exit 0
    rm -rf "$pristine"
    _zev_wine_log "creating the pristine prefix $pristine"
    export WINEPREFIX=$pristine WINEARCH=win64 WINEDEBUG=-all
    unset DISPLAY WAYLAND_DISPLAY
    # No Mono or Gecko: nothing here needs them and their installers would ask.
    {
      WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i && _zev_wine_configure_prefix &&
        wineserver -w
    } >"$ZEV_WINE_DIR/pristine.log" 2>&1 ||
      { _zev_wine_log "prefix creation failed, see $ZEV_WINE_DIR/pristine.log"; exit 1; }
    # Keeps Wine from refreshing the prefix when its own files change.
    echo disable >"$pristine/.update-timestamp"
    echo "$ZEV_WINE_PRISTINE_RECIPE" >"$pristine/.zev-pristine"
  ) 9>"$ZEV_WINE_DIR/pristine.lock"
}

# Copies the pristine prefix; a shared lock keeps a rebuild from happening underneath.
_zev_wine_copy_pristine() {
  (
    flock -s -w 600 9 || exit 1
    cp -a "$ZEV_WINE_DIR/pristine" "$1"
  ) 9>"$ZEV_WINE_DIR/pristine.lock"
}

# zev_wine_begin BUILD_DIR NAME [--display]
zev_wine_begin() {
  local build_dir=$1 name=$2 display=${3:-}
  ZEV_BUILD_DIR=$(cd "$build_dir" && pwd)
  ZEV_WINE_DIR=$ZEV_BUILD_DIR/wine
  ZEV_ARTIFACTS_DIR=$ZEV_BUILD_DIR/artifacts/$name
  export ZEV_BUILD_DIR ZEV_ARTIFACTS_DIR
  mkdir -p "$ZEV_ARTIFACTS_DIR" "$ZEV_WINE_DIR/runs"
  trap _zev_wine_cleanup EXIT
  trap 'exit 143' TERM
  trap 'exit 130' INT
  zev_wine_pristine || return 1
  ZEV_RUN_DIR=$(mktemp -d "$ZEV_WINE_DIR/runs/$name.XXXXXX")
  _zev_wine_copy_pristine "$ZEV_RUN_DIR/prefix" || return 1
  export WINEPREFIX=$ZEV_RUN_DIR/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unset DISPLAY WAYLAND_DISPLAY
  # Keeps one server for the whole group (a few tenths of a second per run); it still goes
  # away on its own if this shell is killed before the cleanup runs.
  wineserver -p30
  ZEV_WINESERVER_STARTED=1
  if [[ $display == --display ]]; then zev_wine_start_display || return 1; fi
}

# A private Xvfb; the X server itself picks a free display number (-displayfd), so parallel
# tests never race for one.
zev_wine_start_display() {
  local number_file=$ZEV_RUN_DIR/display
  : >"$number_file"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" \
    </dev/null >"$ZEV_RUN_DIR/xvfb.log" 2>&1 &
  ZEV_XVFB_PID=$!
  # Ends Xvfb even when this shell is killed without running its traps.
  local shell_pid=$$
  (
    while kill -0 "$shell_pid" 2>/dev/null && kill -0 "$ZEV_XVFB_PID" 2>/dev/null; do sleep 1; done
    kill "$ZEV_XVFB_PID" 2>/dev/null
  ) </dev/null >/dev/null 2>&1 &
  ZEV_WATCHDOG_PID=$!
  local tries
  for ((tries = 0; tries < 100; tries++)); do
    if [[ -s $number_file ]]; then
      export DISPLAY=:$(head -n1 "$number_file")
      return 0
    fi
    kill -0 "$ZEV_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  _zev_wine_log "Xvfb did not start: $(cat "$ZEV_RUN_DIR/xvfb.log")"
  return 1
}

zev_wine_run() {
  local status=0
  timeout --kill-after=10 "$ZEV_WINE_TIMEOUT" wine "$@" || status=$?
  if ((status == 124 || status == 137)); then
    _zev_wine_log "$1 did not finish within $ZEV_WINE_TIMEOUT s"
  fi
  return "$status"
}

zev_wine_start() {
  timeout --kill-after=10 "$ZEV_WINE_TIMEOUT" wine "$@" &
  ZEV_WINE_PID=$!
}

# Wine names each X window after its Windows caption.
zev_wine_wait_window() {
  local title=$1 seconds=${2:-30} tries
  for ((tries = 0; tries < seconds * 5; tries++)); do
    if xwininfo -root -tree -display "$DISPLAY" 2>/dev/null | grep -qF "\"$title\""; then
      return 0
    fi
    sleep 0.2
  done
  _zev_wine_log "no window \"$title\" within $seconds s"
  return 1
}

zev_wine_screenshot() {
  local file=$ZEV_ARTIFACTS_DIR/$1.png
  xwd -root -silent -display "$DISPLAY" | /usr/bin/convert xwd:- "$file" || return 1
  echo "$file"
}

zev_wine_set_version() {
  wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$1" /v Version /d "$2" /f >/dev/null 2>&1
}

zev_wine_path() {
  local path
  path=$(realpath -m "$1")
  echo "Z:${path//\//\\}"
}

_zev_wine_cleanup() {
  local status=$?
  if ((status != 0)) && [[ -n ${ZEV_XVFB_PID:-} && -n ${DISPLAY:-} ]]; then
    zev_wine_screenshot at-exit >/dev/null 2>&1
  fi
  if [[ -n ${ZEV_WINESERVER_STARTED:-} ]]; then
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
  fi
  if [[ -n ${ZEV_XVFB_PID:-} ]]; then
    kill "$ZEV_XVFB_PID" "${ZEV_WATCHDOG_PID:-}" 2>/dev/null
    wait "$ZEV_XVFB_PID" 2>/dev/null
  fi
  if [[ -n ${ZEV_RUN_DIR:-} && ${ZEV_WINE_KEEP:-0} != 1 ]]; then
    rm -rf "$ZEV_RUN_DIR"
  elif [[ -n ${ZEV_RUN_DIR:-} ]]; then
    _zev_wine_log "kept $ZEV_RUN_DIR"
  fi
}
