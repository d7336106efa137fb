#!/usr/bin/env bash
# Compaction benchmark, run by hand: on N SQLite databases of a few MB with free pages,
# (a) one Quillet pass with the stand-in engine against a plain loop of
#     `sqlite3 <db> 'VACUUM'` over the same files, and
# (b) the stand-in engine alone against `cp` of each file, the floor for a rewrite.
# For scale it also times `cp` followed by `sync` of the copy: the engine's rollback
# journal makes it wait for the disk four times per file, which `cp` never does.
# Every method gets fresh copies of the same databases; the rounds alternate the order.
# (c) a guarded pass and (d) an OnlyChanged second pass, at the end, against the same loop.
# Usage: compaction_bench.sh <bin folder> [databases=50] [rounds=3]
set -euo pipefail

bin=$(cd "${1:?usage: compaction_bench.sh <bin folder> [databases] [rounds]}" && pwd)
count=${2:-50}
rounds=${3:-3}
command -v sqlite3 >/dev/null || { echo "compaction_bench: needs the sqlite3 program (apt-get install sqlite3)" >&2; exit 1; }
[[ -x $bin/Quillet && -x $bin/QuilletEngine ]] || { echo "compaction_bench: no Quillet/QuilletEngine in $bin" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/quillet-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# About 4 MB each, of which about 1.5 MB are free pages in runs through the file.
mkdir templates
for i in $(seq -w 1 "$count"); do
  sqlite3 "templates/db$i.db" "
    CREATE TABLE orders(id INTEGER PRIMARY KEY, customer TEXT, amount REAL, note BLOB);
    CREATE INDEX orders_customer ON orders(customer);
    WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 6000)
      INSERT INTO orders(customer, amount, note) SELECT 'customer ' || (x % 97), x * 0.5, randomblob(400 + x % 400) FROM n;
    DELETE FROM orders WHERE (id / 250) % 5 < 2;"
done
total_bytes=$(du -cb templates/*.db | tail -1 | cut -f1)
free_pages=$(sqlite3 templates/db$(printf "%0${#count}d" 1).db 'PRAGMA freelist_count')

# The compactor reads 2047 characters of its list: relative paths keep it short.
list=""
for f in templates/*.db; do list+="run/${f#templates/}|"; done
printf '[Defaults]\r\nAccessPath=%s\r\nCompactFiles=%s\r\n' "$bin/QuilletEngine" "$list" > bench.cfg

fresh() { rm -rf run; cp -r templates run; sync; }
now() { date +%s.%N; }
declare -A total=([quillet]=0 [sqlite3]=0 [engine]=0 [cp]=0 [cpsync]=0)
add() { total[$1]=$(awk -v a="${total[$1]}" -v b="$2" -v c="$3" 'BEGIN { printf "%.6f", a + c - b }'); }

run_quillet() { fresh; local t0; t0=$(now); "$bin/Quillet" "$work/bench.cfg" >/dev/null; add quillet "$t0" "$(now)"; }
run_sqlite3() { fresh; local t0; t0=$(now); for f in run/*.db; do sqlite3 "$f" 'VACUUM'; done; add sqlite3 "$t0" "$(now)"; }
run_engine() { fresh; local t0; t0=$(now); for f in run/*.db; do "$bin/QuilletEngine" "$f" /compact >/dev/null; done; add engine "$t0" "$(now)"; }
run_cp() { rm -rf copy; mkdir copy; sync; local t0; t0=$(now); for f in templates/*.db; do cp "$f" copy/; done; add cp "$t0" "$(now)"; }
run_cpsync() {
  rm -rf copy; mkdir copy; sync; local t0; t0=$(now)
  for f in templates/*.db; do cp "$f" copy/; sync "copy/${f#templates/}"; done
  add cpsync "$t0" "$(now)"
}

for ((r = 1; r <= rounds; r++)); do
  if ((r % 2)); then run_quillet; run_sqlite3; run_engine; run_cp; run_cpsync
  else run_cpsync; run_cp; run_engine; run_sqlite3; run_quillet; fi
done

# The last compaction must really have shrunk the files and kept them sound.
if [[ -s $bin/error.log ]] && grep -q "$work" "$bin/error.log"; then
  echo "compaction_bench: the compactor logged problems:" >&2; grep "$work" "$bin/error.log" >&2; exit 1
fi
fresh; "$bin/Quillet" "$work/bench.cfg" >/dev/null
after_bytes=$(du -cb run/*.db | tail -1 | cut -f1)
[[ $(sqlite3 run/$(ls run | head -1) 'PRAGMA integrity_check') == ok ]] || { echo "compaction_bench: damaged result" >&2; exit 1; }

echo "databases:            $count, $((total_bytes / count / 1024)) KB each on average ($free_pages free pages in the first)"
echo "after compaction:     $((after_bytes / count / 1024)) KB each on average"
echo "rounds:               $rounds (seconds summed over all rounds)"
printf 'Quillet pass:         %8.3f s\n' "${total[quillet]}"
printf "sqlite3 VACUUM loop:  %8.3f s\n" "${total[sqlite3]}"
printf 'QuilletEngine loop:   %8.3f s\n' "${total[engine]}"
printf 'cp loop:              %8.3f s\n' "${total[cp]}"
printf 'cp + sync loop:       %8.3f s\n' "${total[cpsync]}"
awk -v q="${total[quillet]}" -v s="${total[sqlite3]}" -v e="${total[engine]}" -v c="${total[cp]}" \
    -v cs="${total[cpsync]}" 'BEGIN {
  printf "ratio (a) Quillet pass / sqlite3 VACUUM loop: %.3f  (target <= 1.05)\n", q / s
  printf "ratio (b) QuilletEngine / cp:                 %.3f  (target <= 4)\n", e / c
  printf "for scale: QuilletEngine / (cp + sync):       %.3f\n", e / cs
}'

# --- Guards: a pass with TimeLimit, SkipInUse and the run history on, and a second
# --- OnlyChanged pass over databases left as the first pass made them, each against
# --- the plain sqlite3 VACUUM loop timed in the same rounds. The compactor runs from a
# --- folder of its own, where it keeps its log, history and only-changed records.
guard_bin="$work/guarded"
mkdir -p "$guard_bin"
cp "$bin/Quillet" "$guard_bin/"
printf '[Defaults]\r\nAccessPath=%s\r\nCompactFiles=%s\r\nTimeLimit=60\r\nSkipInUse=1\r\n' \
  "$bin/QuilletEngine" "$list" > guards.cfg
printf '[Defaults]\r\nAccessPath=%s\r\nCompactFiles=%s\r\nOnlyChanged=1\r\n' "$bin/QuilletEngine" "$list" > only.cfg
declare -A guard_total=([guards]=0 [second]=0 [sqlite3]=0)
guard_add() { guard_total[$1]=$(awk -v a="${guard_total[$1]}" -v b="$2" -v c="$3" 'BEGIN { printf "%.6f", a + c - b }'); }

run_guards_pass() { fresh; local t0; t0=$(now); "$guard_bin/Quillet" "$work/guards.cfg" >/dev/null; guard_add guards "$t0" "$(now)"; }
run_guards_sqlite3() { fresh; local t0; t0=$(now); for f in run/*.db; do sqlite3 "$f" 'VACUUM'; done; guard_add sqlite3 "$t0" "$(now)"; }
run_second_pass() {
  fresh; rm -rf "$guard_bin/compact-state"
  "$guard_bin/Quillet" "$work/only.cfg" >/dev/null
  local t0; t0=$(now); "$guard_bin/Quillet" "$work/only.cfg" >/dev/null; guard_add second "$t0" "$(now)"
}

for ((r = 1; r <= rounds; r++)); do
  if ((r % 2)); then run_guards_pass; run_guards_sqlite3; run_second_pass
  else run_second_pass; run_guards_sqlite3; run_guards_pass; fi
done

if [[ -s $guard_bin/error.log ]]; then
  echo "compaction_bench: the guarded compactor logged problems:" >&2; cat "$guard_bin/error.log" >&2; exit 1
fi
# Every second pass left every database alone, and said so in the history.
unchanged=$(grep -c ',unchanged,' "$guard_bin/compact-history.csv" || true)
((unchanged == rounds * count)) || { echo "compaction_bench: $unchanged unchanged lines, expected $((rounds * count))" >&2; exit 1; }

printf 'guarded pass:         %8.3f s  (TimeLimit, SkipInUse, history)\n' "${guard_total[guards]}"
printf 'OnlyChanged 2nd pass: %8.3f s\n' "${guard_total[second]}"
printf 'sqlite3 VACUUM loop:  %8.3f s  (timed in the same rounds)\n' "${guard_total[sqlite3]}"
awk -v g="${guard_total[guards]}" -v o="${guard_total[second]}" -v s="${guard_total[sqlite3]}" 'BEGIN {
  printf "ratio (c) guarded pass / sqlite3 VACUUM loop:  %.3f  (target <= 1)\n", g / s
  printf "ratio (d) OnlyChanged 2nd pass / VACUUM loop:  %.3f  (target <= 0.05)\n", o / s
}'
