#!/usr/bin/env bash
# Runs every fuzz target in $1 for $2 seconds from its seed corpus (fuzz/corpus/<name>).
set -euo pipefail
dir=$1; seconds=${2:-5}
root=$(cd "$(dirname "$0")/.." && pwd)
shopt -s nullglob
for bin in "$dir"/*; do
  [ -x "$bin" ] && [ -f "$bin" ] || continue
  name=$(basename "$bin")
  seeds="$root/fuzz/corpus/$name"
  work=$(mktemp -d)
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
  echo "fuzz: $name for ${seconds}s"
  "$bin" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=0 "$work" 2>&1 | tail -n 3
  rm -rf "$work"
done
