#!/usr/bin/env bash
# The terminal front end in a real terminal (tmux): the start-up screen, one full report typed
# with send-keys, its head shown again by Shift+PgUp and the wheel, Ctrl+C ending the program with
# exit code 0 and the terminal given back as it was, with at most one line about the audio; a
# terminal smaller than 80 x 25 getting a clear message instead of a garbled screen; a box; a stop
# by signal and by Ctrl+Z, each resumed by fg.
set -uo pipefail
bin=$(realpath "$1")
work=$(mktemp -d)
socket="co2calc-terminal-test-$$"
cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export LANG=C.UTF-8 LC_ALL=C.UTF-8

fail() {
  echo "FAIL: $*"
  echo "---- screen:"
  tmux -L "$socket" capture-pane -p -t "$session" 2>/dev/null
  exit 1
}

screen_text() { tmux -L "$socket" capture-pane -p -t "$session"; }

# wait_for TEXT [SECONDS]
wait_for() {
  local limit=$((${2:-20} * 10))
  for ((i = 0; i < limit; i++)); do
    if screen_text | grep -qF -- "$1"; then return 0; fi
    sleep 0.1
  done
  fail "\"$1\" never appeared"
}

wait_for_file() {
  for ((i = 0; i < 200; i++)); do
    [ -s "$1" ] && return 0
    sleep 0.1
  done
  fail "$1 never appeared"
}

start() { # session, columns, rows [directory]
  session=$1
  local dir=${4:-$work}
  tmux -L "$socket" -f /dev/null -u new-session -d -s "$session" -x "$2" -y "$3" \
    "cd '$dir' && stty -g > '$work/$session.before'; sh -c 'echo \$\$ > \"$work/$session.pid\"; exec \"$bin\" --terminal'; echo \$? > '$work/$session.exit'; stty -g > '$work/$session.after'; exec sleep 120"
}

# ---- one full report, then Ctrl+C
start report 80 25
wait_for "Press any key to continue..."
wait_for "<CTRL-C>      Quit the Program"
tmux -L "$socket" send-keys -t report x
wait_for "Specify number of desired option"
screen_text | grep -qF "╔══" || fail "the title box is not drawn with the box characters"
tmux -L "$socket" send-keys -t report 0 Enter
wait_for "Temperature, C ="
tmux -L "$socket" send-keys -t report 25 Enter
wait_for "Total Pressure, MPa ="
tmux -L "$socket" send-keys -t report 10 Enter
wait_for "CO2 molality"
tmux -L "$socket" send-keys -t report Enter
wait_for "Density of solution"
wait_for "Specify number of desired option"
lines=$(wc -l <"$work/CO2out.txt")
[ "$lines" -eq 46 ] || fail "CO2out.txt has $lines lines, expected 46"
screen_text | grep -qF "CO2 solubility" || fail "no solubility row on the screen"

# Two half pages back show the head of the report; another key brings the live screen back.
screen_text | grep -qF "Properties of pure H2O" && fail "the head of the report is still on the screen"
tmux -L "$socket" send-keys -t report S-PPage S-PPage
wait_for "Properties of pure H2O" 5
wait_for " Scrollback 24/" 5
tmux -L "$socket" send-keys -t report Left
for ((n = 0; n < 50; n++)); do
  screen_text | grep -qF "Scrollback" || break
  sleep 0.1
done
screen_text | grep -qF "Scrollback" && fail "another key did not bring the live screen back"
tmux -L "$socket" send-keys -t report -l $'\e[<64;20;10M'
wait_for " Scrollback 3/" 5
tmux -L "$socket" send-keys -t report Left

tmux -L "$socket" send-keys -t report C-c
wait_for_file "$work/report.exit"
[ "$(cat "$work/report.exit")" = 0 ] || fail "exit code $(cat "$work/report.exit") after Ctrl+C"
wait_for_file "$work/report.after"
cmp -s "$work/report.before" "$work/report.after" || fail "terminal settings not restored"
if screen_text | grep -qF "Specify number of desired option"; then
  fail "the calculator's screen is still shown after the end"
fi
[ "$(screen_text | grep -c .)" -le 1 ] || fail "more than one line left on the terminal after the end"

# ---- a terminal too small, then large enough
start small 60 20
wait_for "of 80 columns and 25 rows;" 20
wait_for "this one has 60 x 20." 5
tmux -L "$socket" resize-window -t small -x 80 -y 25
wait_for "Press any key to continue..." 20
tmux -L "$socket" send-keys -t small C-c
wait_for_file "$work/small.exit"
[ "$(cat "$work/small.exit")" = 0 ] || fail "exit code $(cat "$work/small.exit") after Ctrl+C"
# The exit code is written before the shell runs stty: under load the settings come later.
wait_for_file "$work/small.after"
cmp -s "$work/small.before" "$work/small.after" || fail "terminal settings not restored"

# ---- an error box drawn in the terminal: the output file cannot be opened
mkdir -p "$work/blocked/CO2out.txt"
start box 80 25 "$work/blocked"
wait_for "Press any key to continue..."
tmux -L "$socket" send-keys -t box x
wait_for "Unhandled Error #"
wait_for "[Y]es    [N]o"
wait_for "Continue?"
# Opening fails, and so does every write after it: answer each box with y.
for ((n = 0; n < 10; n++)); do
  screen_text | grep -qF "Specify number of desired option" && break
  if screen_text | grep -qF "[Y]es    [N]o"; then
    tmux -L "$socket" send-keys -t box y
  fi
  sleep 0.3
done
wait_for "Specify number of desired option"
if screen_text | grep -qF "Continue?"; then fail "the box stays after its answer"; fi

# ---- SIGTERM takes the orderly path and gives the terminal back
kill -TERM "$(cat "$work/box.pid")"
wait_for_file "$work/box.exit"
[ "$(cat "$work/box.exit")" = 143 ] || fail "exit code $(cat "$work/box.exit") after SIGTERM, not 128 + 15"
wait_for_file "$work/box.after"
cmp -s "$work/box.before" "$work/box.after" || fail "terminal settings not restored after SIGTERM"
# ---- stopped as a job (kill -TSTP, then Ctrl+Z, each followed by fg): the shell gets the terminal
# back while the program sleeps, and fg gives it to the program again, which redraws its screen.
# The program runs as a job of a job-control shell: outside one its process group is orphaned, and
# the system discards a stop signal there (the program then simply goes on). The shell resumes the
# job each time a file job.resume.N appears (in a plain sequence: a stop inside a loop of the shell
# would break the loop).
session=job
tmux -L "$socket" -f /dev/null -u new-session -d -s job -x 80 -y 25 \
  "cd '$work' && exec bash -c 'set -m; \"$bin\" --terminal & echo \$! > \"$work/job.pid\"; fg >/dev/null; until [ -e \"$work/job.resume.1\" ]; do sleep 0.1; done; fg >/dev/null; until [ -e \"$work/job.resume.2\" ]; do sleep 0.1; done; fg >/dev/null; echo \$? > \"$work/job.exit\"; exec sleep 120'"
wait_for "Press any key to continue..."
tmux -L "$socket" send-keys -t job x
wait_for "Specify number of desired option"
for n in 1 2; do
  if [ "$n" = 1 ]; then kill -TSTP "$(cat "$work/job.pid")"; else tmux -L "$socket" send-keys -t job C-z; fi
  for ((i = 0; i < 50; i++)); do
    screen_text | grep -qF "Specify number of desired option" || break
    sleep 0.1
  done
  if screen_text | grep -qF "Specify number of desired option"; then fail "stop $n left the screen taken"; fi
  for ((i = 0; i < 50; i++)); do # the terminal is given back just before the process stops
    grep -q "^State:.*T" "/proc/$(cat "$work/job.pid")/status" && break
    sleep 0.1
  done
  grep -q "^State:.*T" "/proc/$(cat "$work/job.pid")/status" || fail "stop $n did not stop the program"
  touch "$work/job.resume.$n"
  wait_for "Specify number of desired option"
  wait_for "Input Options"
done
tmux -L "$socket" send-keys -t job C-c
wait_for_file "$work/job.exit"
[ "$(cat "$work/job.exit")" = 0 ] || fail "exit code $(cat "$work/job.exit") after Ctrl+C in the resumed job"

echo "terminal front end: OK"
