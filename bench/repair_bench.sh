#!/usr/bin/env bash
# Repair benchmark, run by hand: one SQLite database of about N MB (rowid tables with
# and without an INTEGER PRIMARY KEY, a WITHOUT ROWID table, two indexes, rows with
# overflow pages, free pages), a copy of it with one leaf page of its largest table
# zeroed, and side by side in each round:
#   `QuilletEngine <damaged copy> /repair /compact` (a salvage),
#   `QuilletEngine <undamaged copy> /repair /compact` (the check, then a compaction) and
#   `sqlite3 <undamaged copy> VACUUM`, the baseline,
# each on a fresh copy, with peak memory (GNU time) when /usr/bin/time is there.
# Usage: repair_bench.sh <bin folder> [megabytes=30] [rounds=3]
set -euo pipefail

bin=$(cd "${1:?usage: repair_bench.sh <bin folder> [megabytes] [rounds]}" && pwd)
megabytes=${2:-30}
rounds=${3:-3}
command -v sqlite3 >/dev/null || { echo "repair_bench: needs the sqlite3 program (apt-get install sqlite3)" >&2; exit 1; }
[[ -x $bin/QuilletEngine ]] || { echo "repair_bench: no QuilletEngine in $bin" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/var/tmp}/quillet-repair-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# About 1 KB a row over the three tables.
rows=$((megabytes * 1024 * 1024 / 760))
sqlite3 template.db "
  PRAGMA page_size = 4096;
  CREATE TABLE orders(id INTEGER PRIMARY KEY, customer TEXT, amount REAL, note BLOB);
  CREATE INDEX orders_customer ON orders(customer);
  CREATE TABLE notes(line TEXT, n INT);
  CREATE TABLE kv(k TEXT PRIMARY KEY, v) WITHOUT ROWID;
  CREATE INDEX notes_n ON notes(n);
  BEGIN;
  WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < $rows)
    INSERT INTO orders(customer, amount, note) SELECT 'customer ' || (x % 97), x * 0.5,
      CASE WHEN x % 50 = 0 THEN randomblob(6000) ELSE randomblob(300 + x % 400) END FROM n;
  WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < $rows / 2)
    INSERT INTO notes SELECT 'note ' || x || ' ' || hex(randomblob(40)), x FROM n;
  WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < $rows / 4)
    INSERT INTO kv SELECT printf('key %09d', x * 7919 % ($rows / 4 + 1)), x FROM n;
  DELETE FROM orders WHERE id % 13 = 0;
  COMMIT;"
page=$(sqlite3 template.db "SELECT pageno FROM dbstat WHERE name = 'orders' AND pagetype = 'leaf'
                            LIMIT 1 OFFSET (SELECT count(*) / 2 FROM dbstat WHERE name = 'orders' AND pagetype = 'leaf')")
cp template.db damaged.db
dd if=/dev/zero of=damaged.db bs=4096 seek=$((page - 1)) count=1 conv=notrunc status=none
size=$(stat -c %s template.db)

timed() { # <label> <command...>: seconds to stdout, peak KB to peak.<label>
  local label=$1; shift
  local t0 t1
  sync; t0=$(date +%s.%N)
  if [[ -x /usr/bin/time ]]; then /usr/bin/time -f %M -o "peak.$label" "$@" >/dev/null 2>&1 || true
  else "$@" >/dev/null 2>&1 || true; echo 0 >"peak.$label"; fi
  t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f", b - a }'
}

repair=0 check=0 vacuum=0
for ((r = 1; r <= rounds; r++)); do
  rm -f run*.db*; cp damaged.db run-repair.db; cp template.db run-check.db; cp template.db run-vacuum.db
  if ((r % 2)); then
    t=$(timed repair "$bin/QuilletEngine" run-repair.db /repair /compact); repair=$(awk -v a=$repair -v b=$t 'BEGIN{print a+b}')
    t=$(timed check "$bin/QuilletEngine" run-check.db /repair /compact); check=$(awk -v a=$check -v b=$t 'BEGIN{print a+b}')
    t=$(timed vacuum sqlite3 run-vacuum.db VACUUM); vacuum=$(awk -v a=$vacuum -v b=$t 'BEGIN{print a+b}')
  else
    t=$(timed vacuum sqlite3 run-vacuum.db VACUUM); vacuum=$(awk -v a=$vacuum -v b=$t 'BEGIN{print a+b}')
    t=$(timed check "$bin/QuilletEngine" run-check.db /repair /compact); check=$(awk -v a=$check -v b=$t 'BEGIN{print a+b}')
    t=$(timed repair "$bin/QuilletEngine" run-repair.db /repair /compact); repair=$(awk -v a=$repair -v b=$t 'BEGIN{print a+b}')
  fi
done

[[ $(sqlite3 run-repair.db 'PRAGMA integrity_check') == ok ]] || { echo "repair_bench: the repaired database fails integrity_check" >&2; exit 1; }
lost=$(( $(sqlite3 template.db 'SELECT count(*) FROM orders') - $(sqlite3 run-repair.db 'SELECT count(*) FROM orders') ))

echo "database:             $((size / 1024 / 1024)) MB, page $page of orders zeroed ($lost rows on it lost)"
echo "rounds:               $rounds (seconds summed over all rounds)"
printf 'QuilletEngine /repair /compact (damaged): %8.3f s, peak %s MB\n' "$repair" "$(( $(tail -1 peak.repair) / 1024 ))"
printf 'QuilletEngine /repair /compact (sound):   %8.3f s, peak %s MB\n' "$check" "$(( $(tail -1 peak.check) / 1024 ))"
printf 'sqlite3 VACUUM (undamaged):               %8.3f s, peak %s MB\n' "$vacuum" "$(( $(tail -1 peak.vacuum) / 1024 ))"
awk -v a="$repair" -v b="$vacuum" 'BEGIN { printf "salvage / VACUUM:                         %8.2f (target <= 3)\n", a / b }'
awk -v a="$check" -v b="$vacuum" 'BEGIN { printf "check / VACUUM:                           %8.2f (target <= 3)\n", a / b }'
