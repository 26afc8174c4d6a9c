# Sourced by test.sh and run.sh: a private Wine prefix and, when no display is
# set, a private X server; both are stopped by wine_session_stop.
# Usage: wine_session_start <prefix-dir> [screen WxHxD]
wine_session_start() {
  local prefix="$1" screen="${2:-1024x768x24}"
  export WINEPREFIX="$prefix"
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
  export LOCPATH="$ORVANE_ROOT/build/locale"
  export LANG=fr_FR.UTF-8
  ORVANE_XVFB_PID=""
  if [ -z "${DISPLAY:-}" ]; then
    local n
    for n in $(seq 90 140); do
      [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
    done
    Xvfb ":$n" -screen 0 "$screen" -nolisten tcp >/dev/null 2>&1 &
    ORVANE_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  fi
  wineserver -p >/dev/null 2>&1 || true
}

wine_session_stop() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
  if [ -n "${ORVANE_XVFB_PID:-}" ]; then
    kill "$ORVANE_XVFB_PID" 2>/dev/null || true
    wait "$ORVANE_XVFB_PID" 2>/dev/null || true
    ORVANE_XVFB_PID=""
    unset DISPLAY  # it named the server just stopped
  fi
}
