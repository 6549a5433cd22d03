#!/usr/bin/env bash
# The calculator in its window under Xvfb, driven with xdotool like a person at the keyboard.
#
#   window_xvfb.sh CO2CALC            every scenario below
#   window_xvfb.sh CO2CALC --tsan     ThreadSanitizer build: a report session closed by the window
#                                     manager's close request, and a session on SDL's dummy video
#                                     driver ended by SIGTERM; no race may be reported
#
# Scenarios: one full report typed with xdotool, the screenshot read back cell by cell against the
# headless front end's final screen (same keys), the option-0 tone in the samples written by SDL's
# disk audio driver, the window closed (exit 0, file complete); Break and Ctrl+C end the same way;
# Pause holds the calculator and its next key is consumed; an error box (the output file cannot be
# opened) drawn in the window and answered Yes, then No. The scrollback (Shift+PgUp, the wheel, any
# other key back), --scale 2 and a resized window (whole-pixel squares centred on black), no audio
# noise without a chosen driver, a file-size limit that breaks the audio driver's writes, and an
# invalid --scale.
set -uo pipefail

bin=$(realpath "$1")
mode=${2:-full}
here=$(dirname "$(realpath "$0")")
font="$here/../../runtime/font_cp437.cpp"
screen_py=(/usr/bin/python3 "$here/window_screen.py")
work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

export TSAN_OPTIONS="halt_on_error=1 exitcode=66"
keys_report=(x 0 Return 2 5 Return 1 0 Return Return) # any key, option 0, 25 C, 10 MPa, keep molality

# ---- the X server ---------------------------------------------------------------------------------
# Large enough for a window at scale 2 (1280 x 800); the default scale stays 1 (half of it is less).
Xvfb -displayfd 9 -screen 0 1600x1000x24 -nolisten tcp -noreset 9>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=":$(head -1 "$work/display")"
for _ in $(seq 100); do # the server accepts clients
  xdotool getdisplaygeometry >/dev/null 2>&1 && break
  sleep 0.1
done
cc -o "$work/wm_delete" "$here/wm_delete.c" -lX11 || { echo "cannot build wm_delete"; exit 1; }

# ---- helpers --------------------------------------------------------------------------------------

# start DIR [ENV...] [--OPTION...]: runs the calculator's window in DIR, sets app_pid and wid; with
# file_limit set, under that ulimit -f.
file_limit=""
start() {
  local dir=$1 vars=() options=()
  shift
  for arg in "$@"; do
    case $arg in
    --*) options+=("$arg") ;;
    *) vars+=("$arg") ;;
    esac
  done
  mkdir -p "$dir"
  (cd "$dir" && { [ -z "$file_limit" ] || ulimit -f "$file_limit"; } &&
    exec env SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$dir/audio.raw" SDL_DISKAUDIODELAY=20 "${vars[@]}" \
      "$bin" --window "${options[@]}" >"$dir/stdout.txt" 2>"$dir/stderr.txt") &
  app_pid=$!
  wid=""
  for _ in $(seq 300); do
    wid=$(xdotool search --onlyvisible --name '^Untitled$' 2>/dev/null | head -1)
    [ -n "$wid" ] && break
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$wid" ]; then
    fail "no window appeared ($dir)"
    cat "$dir/stderr.txt"
    return 1
  fi
  xdotool windowfocus --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
  sleep 0.5
}

# finish NAME DIR [EXPECTED]: waits for the program, which must end with EXPECTED (default 0).
finish() {
  local name=$1 dir=$2 expected=${3:-0} code
  for _ in $(seq 600); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$app_pid" 2>/dev/null; then
    fail "$name: still running after 60 s"
    kill "$app_pid"
  fi
  wait "$app_pid"
  code=$?
  app_pid=""
  [ "$code" -eq "$expected" ] || fail "$name: exit code $code, not $expected (66: ThreadSanitizer report)"
  if grep -q ThreadSanitizer "$dir/stderr.txt"; then
    fail "$name: ThreadSanitizer reported"
    cat "$dir/stderr.txt"
  fi
}

# lines FILE: number of lines, 0 when absent.
lines() { [ -f "$1" ] && wc -l <"$1" || echo 0; }

# wait_lines FILE N: waits up to 60 s until FILE has N lines.
wait_lines() {
  for _ in $(seq 600); do
    [ "$(lines "$1")" -ge "$2" ] && return 0
    sleep 0.1
  done
  return 1
}

shot() { import -window "$wid" -depth 8 "ppm:$1"; }

# report_file DIR: the date line and one 45-line report, every line ending in CR LF.
check_report_file() {
  local name=$1 file="$2/CO2out.txt"
  [ "$(lines "$file")" -eq 46 ] || fail "$name: CO2out.txt has $(lines "$file") lines, expected 46"
  if [ -f "$file" ] && [ "$(grep -c $'\r$' "$file")" -ne "$(lines "$file")" ]; then
    fail "$name: a line of CO2out.txt does not end in CR LF"
  fi
}

report_session() { # NAME DIR: one full report typed in the window
  start "$2" || return 1
  xdotool key --delay 80 "${keys_report[@]}"
  wait_lines "$2/CO2out.txt" 46 || fail "$1: the report did not reach CO2out.txt"
  sleep 0.5 # the next refreshes show the finished screen
}

# ---- ThreadSanitizer sessions -----------------------------------------------------------------------
if [ "$mode" = "--tsan" ]; then
  report_session tsan-window "$work/tsan" && {
    "$work/wm_delete" "$wid"
    finish tsan-window "$work/tsan"
    check_report_file tsan-window "$work/tsan"
  }

  # The dummy video driver: no display at all; the session runs its start screen and ends on SIGTERM.
  mkdir -p "$work/dummy"
  (cd "$work/dummy" && exec env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy "$bin" --window \
    >"$work/dummy/stdout.txt" 2>"$work/dummy/stderr.txt") &
  app_pid=$!
  sleep 3
  kill -TERM "$app_pid"
  finish tsan-dummy "$work/dummy" 143 # 128 + SIGTERM

  echo "window TSan sessions: $failures failures"
  [ "$failures" -eq 0 ]
  exit
fi

# ---- one report, the picture, the tone, the close request -------------------------------------------
mkdir -p "$work/ref"
(cd "$work/ref" && printf 'x0\n25\n10\n\n' | timeout 120 "$bin" --headless --transcript transcript.txt \
  >/dev/null 2>&1) || fail "headless reference run failed"

if report_session report "$work/report"; then
  shot "$work/report.ppm"
  "${screen_py[@]}" compare "$work/report.ppm" "$work/ref/transcript.txt" "$font" ||
    fail "the window does not show the text screen"
  # Two half pages back show the head of the report; any other key brings the live screen back.
  xdotool key --delay 80 shift+Prior shift+Prior
  sleep 0.3
  shot "$work/back.ppm"
  "${screen_py[@]}" find "$work/back.ppm" "$font" "Properties of pure H2O" || fail "Shift+PgUp: no head of the report"
  "${screen_py[@]}" find "$work/back.ppm" "$font" " Scrollback 24/" || fail "Shift+PgUp: no scrollback status"
  xdotool key Left
  sleep 0.3
  shot "$work/live.ppm"
  "${screen_py[@]}" compare "$work/live.ppm" "$work/ref/transcript.txt" "$font" >/dev/null ||
    fail "another key did not bring the live screen back"
  xdotool mousemove --window "$wid" 100 100 click 4
  sleep 0.3
  shot "$work/wheel.ppm"
  "${screen_py[@]}" find "$work/wheel.ppm" "$font" " Scrollback 3/" || fail "the wheel does not scroll back"
  "$work/wm_delete" "$wid"
  finish report "$work/report"
  check_report_file report "$work/report"
  "${screen_py[@]}" tone "$work/report/audio.raw" || fail "option-0 tone not in the recorded samples"
fi

# ---- Break and Ctrl+C ------------------------------------------------------------------------------
for combo in Break ctrl+c; do
  if report_session "$combo" "$work/$combo"; then
    xdotool key "$combo"
    finish "$combo" "$work/$combo"
    check_report_file "$combo" "$work/$combo"
  fi
done

# ---- Pause -----------------------------------------------------------------------------------------
# Pause at the menu, then "7": the 7 only resumes the calculator. The option typed next is 0 alone,
# so a report follows.
if start "$work/pause"; then
  xdotool key --delay 80 x
  sleep 0.5
  xdotool key --delay 80 Pause 7
  sleep 0.5
  shot "$work/pause.ppm"
  "${screen_py[@]}" find "$work/pause.ppm" "$font" "Specify number of desired option" || fail "pause: no menu"
  "${screen_py[@]}" absent "$work/pause.ppm" "$font" "desired option 7" || fail "pause: the resuming key was typed"
  xdotool key --delay 80 0 Return 2 5 Return 1 0 Return Return
  wait_lines "$work/pause/CO2out.txt" 46 || fail "pause: no report after Pause and its consumed key"
  "$work/wm_delete" "$wid"
  finish pause "$work/pause"
  check_report_file pause "$work/pause"
fi

# ---- an error box answered Yes, then No ------------------------------------------------------------------
mkdir -p "$work/box/CO2out.txt" # a directory: the output file cannot be opened
if start "$work/box"; then
  xdotool key x
  sleep 1
  shot "$work/box1.ppm"
  "${screen_py[@]}" find "$work/box1.ppm" "$font" "Unhandled Error #" || fail "no error box in the window"
  "${screen_py[@]}" find "$work/box1.ppm" "$font" "Continue?" || fail "error box without Continue?"
  "${screen_py[@]}" find "$work/box1.ppm" "$font" "[ Yes ]  [ No ]" || fail "error box without Yes and No"
  xdotool key y # Yes: the calculator goes on, and meets the missing file again
  sleep 1
  kill -0 "$app_pid" 2>/dev/null || fail "Yes ended the program"
  shot "$work/box2.ppm"
  "${screen_py[@]}" find "$work/box2.ppm" "$font" "Unhandled Error #" || fail "no second box after Yes"
  xdotool key n # No: the program ends in order
  finish box-no "$work/box"
fi

# ---- closing the window while a box waits ---------------------------------------------------------------
mkdir -p "$work/boxclose/CO2out.txt"
if start "$work/boxclose"; then
  xdotool key x
  sleep 1
  shot "$work/boxclose.ppm"
  "${screen_py[@]}" find "$work/boxclose.ppm" "$font" "Unhandled Error #" || fail "boxclose: no error box"
  "$work/wm_delete" "$wid"
  finish boxclose "$work/boxclose"
fi

# ---- --scale 2, then a larger window; no driver chosen: at most one line about the audio ----------------
if start "$work/scale" SDL_AUDIODRIVER= --scale=2; then
  xdotool getwindowgeometry "$wid" | grep -q "Geometry: 1280x800" || fail "--scale 2: $(xdotool getwindowgeometry "$wid")"
  xdotool key x
  sleep 0.5
  shot "$work/scale2.ppm"
  "${screen_py[@]}" find "$work/scale2.ppm" "$font" "Specify number of desired option" || fail "--scale 2: no menu"
  xdotool windowsize "$wid" 1500 900
  sleep 0.5
  shot "$work/resized.ppm"
  "${screen_py[@]}" find "$work/resized.ppm" "$font" "Specify number of desired option" || fail "resized: no menu"
  xdotool key --delay 80 0 Return 2 5 Return 1 0 Return Return
  wait_lines "$work/scale/CO2out.txt" 46 || fail "scale: no report"
  "$work/wm_delete" "$wid"
  finish scale "$work/scale"
  [ "$(lines "$work/scale/stderr.txt")" -le 1 ] || fail "audio noise: $(cat "$work/scale/stderr.txt")"
fi

# ---- --scale 3 would be 1920 x 1200 on the 1600 x 1000 display: scale 2 and one line saying so ----------
if start "$work/toolarge" --scale=3; then
  xdotool getwindowgeometry "$wid" | grep -q "Geometry: 1280x800" || fail "--scale 3: $(xdotool getwindowgeometry "$wid")"
  "$work/wm_delete" "$wid"
  finish toolarge "$work/toolarge"
  [ "$(grep -c "larger than the 1600 x 1000 display; using 2" "$work/toolarge/stderr.txt")" -eq 1 ] ||
    fail "--scale 3: $(cat "$work/toolarge/stderr.txt")"
fi

# ---- a file-size limit: the disk audio driver's writes fail; no SIGXFSZ, the tones go on silently ------
file_limit=16
if start "$work/limit"; then
  xdotool key --delay 80 "${keys_report[@]}"
  wait_lines "$work/limit/CO2out.txt" 46 || fail "file-size limit: the report did not reach CO2out.txt"
  "$work/wm_delete" "$wid"
  finish limit "$work/limit"
  grep -q "tones will be silent" "$work/limit/stderr.txt" || fail "file-size limit: the audio failure went unnoticed"
fi
file_limit=""

"$bin" --scale abc 2>"$work/usage.txt"
code=$?
[ "$code" -eq 2 ] && grep -q "'abc'" "$work/usage.txt" || fail "--scale abc: exit $code, $(cat "$work/usage.txt")"

echo "window scenarios: $failures failures"
[ "$failures" -eq 0 ]
