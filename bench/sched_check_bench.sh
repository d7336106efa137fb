#!/usr/bin/env bash
# The hourly background check with nothing due, run by hand: `QuilletSched --due` on a
# schedule of N entries that all ran today, in the start hour (the slowest case with
# nothing to do: every entry's due date is computed), against starting `true`, the
# floor for any program the system's scheduler starts. Target: under 50 ms per check.
# Usage: sched_check_bench.sh <bin folder> [entries=200] [checks=100]
set -euo pipefail

bin=$(cd "${1:?usage: sched_check_bench.sh <bin folder> [entries] [checks]}" && pwd)
entries=${2:-200}
checks=${3:-100}
[[ -x $bin/QuilletSched ]] || { echo "sched_check_bench: no QuilletSched in $bin" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/quillet-sched-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp "$bin/QuilletSched" "$work/"
today=$(date +%Y-%m-%d)
printf '[Defaults]\r\nStartTime=%s\r\n' "$(date +%H)" > "$work/Quillet.ini"
for ((i = 1; i <= entries; i++)); do
  printf '"Entry %d"\t"/srv/data/config %d.cfg"\t"d|1|%s"\r\n' "$i" "$i" "$today"
done > "$work/schedfile.dat"
cp "$work/schedfile.dat" "$work/expected.dat"

now() { date +%s.%N; }
t0=$(now); for ((i = 0; i < checks; i++)); do "$work/QuilletSched" --due >/dev/null; done; t1=$(now)
true_cmd=$(type -P true)
for ((i = 0; i < checks; i++)); do "$true_cmd"; done; t2=$(now)

cmp -s "$work/schedfile.dat" "$work/expected.dat" || { echo "sched_check_bench: the schedule changed" >&2; exit 1; }
grep -q 'nothing due' "$work/schedcheck.ini" || { echo "sched_check_bench: the check did not find nothing due" >&2; exit 1; }

awk -v s="$t0" -v m="$t1" -v e="$t2" -v n="$checks" -v k="$entries" 'BEGIN {
  check = (m - s) / n * 1000; base = (e - m) / n * 1000
  printf "entries:                      %d, all ran today, start hour now\n", k
  printf "QuilletSched --due, nothing due: %7.2f ms per check (target < 50)\n", check
  printf "starting /bin/true:           %7.2f ms per start\n", base
  printf "ratio check / program start:  %7.2f\n", check / base
}'
