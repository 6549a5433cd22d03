#!/bin/sh
# skip_unless.sh EMCMAKE NODE SITE_WASM -- COMMAND...: runs COMMAND, or exits 77 saying what is missing.
emcmake=$1 node=$2 wasm=$3
shift 4
case "$emcmake" in ""|*NOTFOUND) echo "SKIPPED: emscripten is not installed (apt-get install emscripten)"; exit 77 ;; esac
case "$node" in ""|*NOTFOUND) echo "SKIPPED: node is not installed (apt-get install nodejs)"; exit 77 ;; esac
[ -f "$wasm" ] || { echo "SKIPPED: the site is not built ($wasm is missing): build the co2web target"; exit 77; }
exec "$@"
