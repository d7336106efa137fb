#!/usr/bin/env bash
# Compaction benchmark, run by hand: on N SQLite databases of a few MB with free pages,
# (a) one Quillet pass with the stand-in engine against a plain loop of
#     `sqlite3 <db> 'VACUUM'` over the same files, and
# (b) the stand-in engine alone against `cp` of each file, the floor for a rewrite.
# For scale it also times `cp` followed by `sync` of the copy: the engine's rollback
# journal makes it wait for the disk four times per file, which `cp` never does.
# Every method gets fresh copies of the same databases; the rounds alternate the order.
# (c) a guarded pass and (d) an OnlyChanged second pass, at the end, against the same loop;
# (e, f) passes with Parallel=1 and 2 against that loop and a durable copy; then a size
# sweep of the engine alone against sqlite3 VACUUM, seconds and peak memory.
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
declare -A guard_total=([guards]=0 [plain]=0 [second]=0 [sqlite3]=0)
guard_add() { guard_total[$1]=$(awk -v a="${guard_total[$1]}" -v b="$2" -v c="$3" 'BEGIN { printf "%.6f", a + c - b }'); }

run_guards_pass() { fresh; local t0; t0=$(now); "$guard_bin/Quillet" "$work/guards.cfg" >/dev/null; guard_add guards "$t0" "$(now)"; }
run_plain_pass() { fresh; local t0; t0=$(now); "$guard_bin/Quillet" "$work/bench.cfg" >/dev/null; guard_add plain "$t0" "$(now)"; }
run_guards_sqlite3() { fresh; local t0; t0=$(now); for f in run/*.db; do sqlite3 "$f" 'VACUUM'; done; guard_add sqlite3 "$t0" "$(now)"; }
run_second_pass() {
  fresh; rm -rf "$guard_bin/compact-state"
  "$guard_bin/Quillet" "$work/only.cfg" >/dev/null
  local t0; t0=$(now); "$guard_bin/Quillet" "$work/only.cfg" >/dev/null; guard_add second "$t0" "$(now)"
}

for ((r = 1; r <= rounds; r++)); do
  if ((r % 2)); then run_guards_pass; run_guards_sqlite3; run_plain_pass; run_second_pass
  else run_second_pass; run_plain_pass; run_guards_sqlite3; run_guards_pass; fi
done

if [[ -s $guard_bin/error.log ]]; then
  echo "compaction_bench: the guarded compactor logged problems:" >&2; cat "$guard_bin/error.log" >&2; exit 1
fi
# Every second pass left every database alone, and said so in the history.
unchanged=$(grep -c ',unchanged,' "$guard_bin/compact-history.csv" || true)
((unchanged == rounds * count)) || { echo "compaction_bench: $unchanged unchanged lines, expected $((rounds * count))" >&2; exit 1; }

printf 'guarded pass:         %8.3f s  (TimeLimit, SkipInUse, history)\n' "${guard_total[guards]}"
printf 'pass, no TimeLimit:   %8.3f s\n' "${guard_total[plain]}"
printf 'OnlyChanged 2nd pass: %8.3f s\n' "${guard_total[second]}"
printf 'sqlite3 VACUUM loop:  %8.3f s  (timed in the same rounds)\n' "${guard_total[sqlite3]}"
awk -v g="${guard_total[guards]}" -v o="${guard_total[second]}" -v s="${guard_total[sqlite3]}" \
    -v p="${guard_total[plain]}" 'BEGIN {
  printf "ratio (c) guarded pass / sqlite3 VACUUM loop:  %.3f  (target <= 1)\n", g / s
  printf "for scale: guarded pass / pass, no TimeLimit:  %.3f\n", g / p
  printf "ratio (d) OnlyChanged 2nd pass / VACUUM loop:  %.3f  (target <= 0.05)\n", o / s
}'

# --- Parallel: one pass with Parallel=1 and one with Parallel=2 over the same databases,
# --- against the plain sqlite3 VACUUM loop and a durable copy (cp, then fsync of each
# --- copy) of the same files, timed in the same rounds.
printf '[Defaults]\r\nAccessPath=%s\r\nCompactFiles=%s\r\nParallel=1\r\n' "$bin/QuilletEngine" "$list" > p1.cfg
printf '[Defaults]\r\nAccessPath=%s\r\nCompactFiles=%s\r\nParallel=2\r\n' "$bin/QuilletEngine" "$list" > p2.cfg
declare -A par=([p1]=0 [p2]=0 [sqlite3]=0 [copy]=0)
par_add() { par[$1]=$(awk -v a="${par[$1]}" -v b="$2" -v c="$3" 'BEGIN { printf "%.6f", a + c - b }'); }
run_par() { fresh; local t0; t0=$(now); "$guard_bin/Quillet" "$work/$1.cfg" >/dev/null; par_add "$1" "$t0" "$(now)"; }
run_par_sqlite3() { fresh; local t0; t0=$(now); for f in run/*.db; do sqlite3 "$f" 'VACUUM'; done; par_add sqlite3 "$t0" "$(now)"; }
run_par_copy() {
  rm -rf copy; mkdir copy; sync; local t0; t0=$(now)
  for f in templates/*.db; do cp "$f" copy/; sync "copy/${f#templates/}"; done
  par_add copy "$t0" "$(now)"
}
rm -f "$guard_bin/error.log"
for ((r = 1; r <= rounds; r++)); do
  if ((r % 2)); then run_par p1; run_par p2; run_par_sqlite3; run_par_copy
  else run_par_copy; run_par_sqlite3; run_par p2; run_par p1; fi
done
if [[ -s $guard_bin/error.log ]]; then
  echo "compaction_bench: a parallel pass logged problems:" >&2; cat "$guard_bin/error.log" >&2; exit 1
fi
fresh; "$guard_bin/Quillet" "$work/p2.cfg" >/dev/null
[[ $(du -cb run/*.db | tail -1 | cut -f1) == "$after_bytes" ]] || { echo "compaction_bench: Parallel=2 left other sizes" >&2; exit 1; }

echo
printf 'Parallel=1 pass:      %8.3f s\n' "${par[p1]}"
printf 'Parallel=2 pass:      %8.3f s\n' "${par[p2]}"
printf 'sqlite3 VACUUM loop:  %8.3f s  (timed in the same rounds)\n' "${par[sqlite3]}"
printf 'durable copy loop:    %8.3f s  (cp, then fsync of the copy)\n' "${par[copy]}"
awk -v p1="${par[p1]}" -v p2="${par[p2]}" -v s="${par[sqlite3]}" -v c="${par[copy]}" 'BEGIN {
  printf "ratio (e) Parallel=2 / Parallel=1:            %.3f  (target <= 0.6)\n", p2 / p1
  printf "ratio (f) Parallel=2 / durable copy:          %.3f  (target <= 2.0)\n", p2 / c
  printf "for scale: Parallel=2 / VACUUM loop:          %.3f\n", p2 / s
  printf "for scale: Parallel=1 / VACUUM loop:          %.3f\n", p1 / s
}'

# --- Size sweep: QuilletEngine /compact and sqlite3 VACUUM on one database of each size
# --- (the benchmark's layout: an index, a third of the pages free in runs), seconds
# --- summed over the rounds and the peak resident memory of the process. SWEEP_MB sets
# --- the sizes; the largest needs about four times its size on the disk of TMPDIR.
rm -rf templates run copy
sizes=${SWEEP_MB:-1 30 300 1000}
echo
echo "size sweep ($rounds rounds each; seconds summed, peak memory the largest of the rounds)"
printf '%8s  %10s  %10s  %6s  %12s  %12s\n' "MB" "engine s" "sqlite3 s" "ratio" "engine peak" "sqlite3 peak"
timed() { # timed <label> <command...>: adds the seconds, keeps the peak memory in KB
  local t0 t1; t0=$(now); /usr/bin/time -f '%M' -o peak.txt "${@:2}" >/dev/null; t1=$(now)
  sweep[$1]=$(awk -v a="${sweep[$1]}" -v b="$t0" -v c="$t1" 'BEGIN { printf "%.6f", a + c - b }')
  local kb; kb=$(tail -1 peak.txt); ((kb > peak[$1])) && peak[$1]=$kb; return 0
}
for mb in $sizes; do
  rows=$((mb * 1500))
  sqlite3 sweep.db "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;
    CREATE TABLE orders(id INTEGER PRIMARY KEY, customer TEXT, amount REAL, note BLOB);
    CREATE INDEX orders_customer ON orders(customer);
    WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < $rows)
      INSERT INTO orders(customer, amount, note) SELECT 'customer ' || (x % 97), x * 0.5, randomblob(400 + x % 400) FROM n;
    DELETE FROM orders WHERE (id / 250) % 5 < 2;" >/dev/null
  declare -A sweep=([engine]=0 [sqlite3]=0) peak=([engine]=0 [sqlite3]=0)
  sweep_fresh() { cp sweep.db work.db; rm -f work.db-journal; sync; }
  for ((r = 1; r <= rounds; r++)); do
    if ((r % 2)); then
      sweep_fresh; timed engine "$bin/QuilletEngine" work.db /compact
      sweep_fresh; timed sqlite3 sqlite3 work.db VACUUM
    else
      sweep_fresh; timed sqlite3 sqlite3 work.db VACUUM
      sweep_fresh; timed engine "$bin/QuilletEngine" work.db /compact
    fi
  done
  # The engine's last result was checked: sound, without free pages.
  sweep_fresh; "$bin/QuilletEngine" work.db /compact >/dev/null
  [[ $(sqlite3 work.db 'PRAGMA integrity_check; PRAGMA freelist_count' | tr '\n' ' ') == "ok 0 " ]] ||
    { echo "compaction_bench: the engine left $mb MB unsound or with free pages" >&2; exit 1; }
  awk -v mb="$mb" -v e="${sweep[engine]}" -v s="${sweep[sqlite3]}" \
      -v pe="${peak[engine]}" -v ps="${peak[sqlite3]}" 'BEGIN {
    printf "%8d  %10.3f  %10.3f  %6.3f  %9.1f MB  %9.1f MB\n", mb, e, s, e / s, pe / 1024, ps / 1024
  }'
  rm -f sweep.db work.db work.db-journal
done
echo "targets: engine / sqlite3 <= 1.0 at every size; engine peak memory flat in the size"
