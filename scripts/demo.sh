#!/usr/bin/env bash
# The main job from a fresh clone on Debian 12: install what the build needs, build,
# make a few SQLite databases with plenty of free pages, list them in a configuration
# file (one path with a space, one file that does not exist), run one Quillet pass
# with the stand-in engine, and show each database's size before and after and the
# lines the pass wrote to error.log.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh
cmake --preset default
cmake --build --preset default

bin=$root/build/default/bin
demo=$root/build/demo
rm -rf "$demo"
mkdir -p "$demo/sample data"

# Rows of every kind, then whole runs of them deleted: their pages become free pages.
make_db() { # path rows
  sqlite3 "$1" "
    CREATE TABLE orders(id INTEGER PRIMARY KEY, customer TEXT, amount REAL, note BLOB);
    CREATE INDEX orders_customer ON orders(customer);
    WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < $2)
      INSERT INTO orders(customer, amount, note)
      SELECT 'customer ' || (x % 97), x * 0.25, randomblob(300 + x % 500) FROM n;
    DELETE FROM orders WHERE (id / 200) % 3 < 2;"
}
databases=("$demo/sample data/customer orders.db" "$demo/inventory.db" "$demo/archive-2025.db")
make_db "${databases[0]}" 12000
make_db "${databases[1]}" 6000
make_db "${databases[2]}" 3000
missing="$demo/missing.db"

list=""
for db in "${databases[@]}" "$missing"; do list+="$db|"; done
cfg="$demo/nightly.cfg"
printf '[Defaults]\r\nCompactFiles=%s\r\nAccessPath=%s\r\nDescription=%s\r\nRepair=1\r\nWorkgroup=\r\nLogin=admin\r\nEncrypt=0\r\nPassword=%s\r\nLaunchFile=\r\n' \
  "$list" "$bin/QuilletEngine" "Demo pass over the sample databases" "demo-secret" >"$cfg"

size() { if [[ -f $1 ]]; then stat -c %s "$1"; else echo "-"; fi; }
declare -A before
for db in "${databases[@]}" "$missing"; do before[$db]=$(size "$db"); done

# Only this pass's lines are shown; earlier ones stay in the log.
log=$bin/error.log
old_lines=0
[[ -f $log ]] && old_lines=$(wc -l <"$log")
history=$bin/compact-history.csv
old_history=0
[[ -f $history ]] && old_history=$(wc -l <"$history")

echo
echo "== Quillet $cfg"
"$bin/Quillet" "$cfg"
echo "(exit code $?)"

echo
echo "== Sizes in bytes"
printf '%12s %12s  %s\n' before after database
for db in "${databases[@]}" "$missing"; do
  printf '%12s %12s  %s\n' "${before[$db]}" "$(size "$db")" "${db#"$root"/}"
done

echo
echo "== New lines of $log"
if [[ -f $log ]]; then tail -n +"$((old_lines + 1))" "$log" | tr -d '\r'; fi

echo
echo "== New lines of $history (one per database of every pass)"
if [[ -f $history ]]; then tail -n +"$((old_history + 1))" "$history" | tr -d '\r'; fi
