#!/usr/bin/env bash
# `make bench`: the benchmark table, then every benchmark on it.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
bin="$root/$build/bench"
data="$root/$build/bench/data"
mkdir -p "$data"
table="$data/bench.dbf"
[ -f "$table" ] || "$bin/make_bench_table" "$table"

run() { echo; echo "== $*"; "$@"; }
run "$bin/bench_table_walk" "$table"
run "$bin/bench_field_text" 1000000
run "$bin/bench_dataset_text" "$table"
run "$bin/bench_csv_export" "$table" "$data/bench.csv" 3
run "$bin/bench_workbook_export" "$table" "$data"
run "$bin/bench_xlsx_writer" "$table" "$data"
run "$bin/bench_xlsx_writer" 1000000 "$data" unique
run "$bin/bench_mdx" "$table" "$data/mdx" 100000
[ -x "$bin/bench_append" ] && run "$bin/bench_append" "$table" "$data/append" 100000
[ -x "$bin/bench_grid_open" ] && QT_QPA_PLATFORM=offscreen run "$bin/bench_grid_open" "$table"
[ -x "$bin/bench_commands" ] && QT_QPA_PLATFORM=offscreen run "$bin/bench_commands" "$table"
[ -x "$bin/bench_edit_mode" ] && QT_QPA_PLATFORM=offscreen run "$bin/bench_edit_mode" "$table" "$data/edit"
[ -x "$bin/bench_export_memory" ] && QT_QPA_PLATFORM=offscreen run "$bin/bench_export_memory" 1000000
exit 0
