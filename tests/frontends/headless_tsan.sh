#!/usr/bin/env bash
# A scripted calculator session through the headless front end of the ThreadSanitizer build:
# two reports (the second keeps every old value), then end of input. The run must be free of
# data races, end with exit code 0 and leave the date line and two 45-line reports.
set -uo pipefail
bin=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

printf 'x0\n25\n10\n\n\n\n\n\n' |
  TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1" timeout 300 "$bin" --headless 2>stderr.txt
code=$?
fail=0
if [ "$code" -ne 0 ]; then
  echo "exit code $code (66: ThreadSanitizer report)"
  fail=1
fi
if grep -q 'ThreadSanitizer' stderr.txt; then
  echo "ThreadSanitizer reported:"
  fail=1
fi
lines=$(wc -l <CO2out.txt 2>/dev/null || echo 0)
if [ "$lines" -ne 91 ]; then
  echo "CO2out.txt has $lines lines, expected 1 date line + 2 x 45"
  fail=1
fi
[ "$fail" -eq 0 ] || cat stderr.txt
exit "$fail"
