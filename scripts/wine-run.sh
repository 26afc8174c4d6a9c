#!/usr/bin/env bash
# ctest's emulator for the Windows test programs. Wine starts its own service
# processes on first use, and they inherit the standard output; a test
# runner that waits for the end of its output pipe would then wait for them
# too. The program's output goes through a file instead, so only this
# script holds ctest's pipe.
set -u
out="$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")"
wine "$@" </dev/null >"$out" 2>&1
rc=$?
cat "$out"
rm -f "$out"
exit $rc
