#!/usr/bin/env bash
# `make run`: opens the sample table in the window, or, without a display,
# exports it from the command line and says where the files are.
set -uo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
karto="$root/$build/karto"
sample="$root/samples/CENIK.DBF"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$karto" "$sample"
fi

out="$root/$build/out"
mkdir -p "$out"
echo "No display: exporting $sample from the command line."
status=0
for ext in csv txt xlsx xls; do
  if "$karto" "$sample" "$out/cenik.$ext"; then
    echo "  written: $out/cenik.$ext"
  else
    rc=$?
    echo "  cenik.$ext: karto exited with status $rc"
    [ $rc -eq 2 ] || status=1
  fi
done
exit $status
