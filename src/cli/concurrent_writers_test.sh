#!/usr/bin/env bash
# Several processes create, post and price item write-offs in one book at once: on the test
# server (postgres, QTS_TEST_PG) or in an SQLite file (sqlite). After them: every document is
# there, numbers are unique, each posted row is linked in full to the receipts it consumed, no
# receipt row gave more than it had, and every write-off is priced from its links. On SQLite a
# writer kept waiting longer than QTS_BUSY_TIMEOUT by another process's lock gives up with a
# clear message and writes nothing; within the timeout it waits its turn. Run by CTest with the
# built qts as $1, the backend as $2 (default postgres) and the number of writers as $3
# (default 8).
set -u
qts=$1
backend=${2:-postgres}
writers=${3:-8}
per_writer=3
work=$(mktemp -d)
schema="cw_$$"
cleanup() {
  if [ "$backend" = postgres ]; then
    psql "$QTS_TEST_PG" -qc "DROP SCHEMA IF EXISTS $schema CASCADE" >/dev/null 2>&1
  fi
  rm -rf "$work"
}
trap cleanup EXIT
if [ "$backend" = postgres ]; then
  if [ -z "${QTS_TEST_PG:-}" ]; then
    echo "concurrent_writers_test: needs QTS_TEST_PG (the test server)"
    exit 1
  fi
  psql "$QTS_TEST_PG" -qc "CREATE SCHEMA $schema" >/dev/null || exit 1
  book="$QTS_TEST_PG options=-csearch_path=$schema"
else
  book=$work/book.db
fi
export QTS_REGISTRY="$work/registry.json" QTS_SETTINGS="$work/settings.json"
"$qts" book create "$book" --code UAB --sample small --seed 5 >/dev/null || exit 1

sql() { echo "$1" | "$qts" sql run --book "$book" --format csv | sed -n 2p | tr -d '\r'; }

# An item of store GS with enough free quantity for every write-off.
need=$((writers * per_writer))
good=$(sql "SELECT TOP 1 n.GoodCode FROM THGoodSpecNotFixed n INNER JOIN THGoodSpec s ON s.IDC = n.IDC INNER JOIN THDocument d ON d.IDC = s.DocID INNER JOIN REFGood g ON g.Code = n.GoodCode WHERE d.StoreCode = 'GS' AND COALESCE(g.TrackingKind, 0) = 0 GROUP BY n.GoodCode HAVING SUM(n.AmountAccount) >= $need ORDER BY n.GoodCode")
if [ -z "$good" ]; then
  echo "FAIL: the sample book has no item with $need free in store GS"
  exit 1
fi
before=$(sql "SELECT COUNT(*) FROM THDocument WHERE DocTypeCode = 'MMO'")

writer() {
  local i
  for i in $(seq "$per_writer"); do
    local idc
    idc=$("$qts" doc new --book "$book" --type MMO --store GS --date 2026-12-31 |
      sed -n 's/.*(IDC \([0-9]*\)).*/\1/p')
    [ -n "$idc" ] || return 1
    "$qts" doc add-row "$idc" --book "$book" --good "$good" --amount 1 >/dev/null || return 1
    "$qts" doc post "$idc" --book "$book" >/dev/null || return 1
    "$qts" doc price "$idc" --book "$book" --from cost >/dev/null || return 1
    echo "$idc"
  done
}

pids=()
for w in $(seq "$writers"); do
  writer >"$work/writer$w.out" 2>"$work/writer$w.err" &
  pids+=($!)
done
failures=0
checks=0
for w in $(seq "$writers"); do
  checks=$((checks + 1))
  if wait "${pids[$((w - 1))]}"; then
    echo "ok   writer-$w"
  else
    echo "FAIL writer-$w:"
    head -5 "$work/writer$w.err"
    failures=$((failures + 1))
  fi
done

expect() {  # expect NAME WANT ACTUAL
  checks=$((checks + 1))
  if [ "$2" = "$3" ]; then
    echo "ok   $1"
  else
    echo "FAIL $1: $3 (want $2)"
    failures=$((failures + 1))
  fi
}
ids=$(cat "$work"/writer*.out | paste -sd, -)
expect documents-written "$need" "$(cat "$work"/writer*.out | sort -u | wc -l)"
expect documents-in-book "$((before + need))" "$(sql "SELECT COUNT(*) FROM THDocument WHERE DocTypeCode = 'MMO'")"
expect numbers-unique 0 "$(sql "SELECT COUNT(*) FROM (SELECT Number FROM THDocument WHERE DocTypeCode = 'MMO' GROUP BY Number HAVING COUNT(*) > 1) x")"
expect rows-each-once "$need" "$(sql "SELECT COUNT(*) FROM THGoodSpec WHERE DocID IN (${ids:-0})")"
expect all-posted "$need" "$(sql "SELECT COUNT(*) FROM THDocument WHERE IDC IN (${ids:-0}) AND IsPosted = 1")"
expect rows-linked-in-full 0 "$(sql "SELECT COUNT(*) FROM THGoodSpec s WHERE s.DocID IN (${ids:-0}) AND s.AmountAccount <> (SELECT COALESCE(SUM(l.Amount), 0) FROM THGoodSpecFixLog l WHERE l.OutcomeSpecID = s.IDC)")"
expect no-receipt-overdrawn 0 "$(sql "SELECT COUNT(*) FROM THGoodSpec i WHERE (SELECT SUM(l.Amount) FROM THGoodSpecFixLog l WHERE l.IncomeSpecID = i.IDC) > i.AmountAccount")"
expect all-priced-from-cost 0 "$(sql "SELECT COUNT(*) FROM THGoodSpec s WHERE s.DocID IN (${ids:-0}) AND (COALESCE(s.Summa, 0) <= 0 OR s.Summa <> s.CostSumm)")"

if [ "$backend" = sqlite ]; then
  # Another process holds the book's write lock for three seconds.
  hold() { (echo "BEGIN IMMEDIATE; UPDATE \"UAB\$Settings\" SET Value = Value WHERE 0;"; sleep 3; echo "COMMIT;") | sqlite3 "$book" & }
  count() { sql "SELECT COUNT(*) FROM THDocument"; }
  documents=$(count)
  hold
  sleep 0.5
  checks=$((checks + 1))
  said=$(QTS_BUSY_TIMEOUT=1 "$qts" doc new --book "$book" --type MMO --store GS 2>&1)
  rc=$?
  if [ "$rc" -eq 1 ] && grep -q "another process is writing the book.*try again" <<<"$said"; then
    echo "ok   busy-past-the-timeout"
  else
    echo "FAIL busy-past-the-timeout: exit $rc: $said"
    failures=$((failures + 1))
  fi
  wait
  expect busy-wrote-nothing "$documents" "$(count)"
  hold
  sleep 0.5
  checks=$((checks + 1))
  if QTS_BUSY_TIMEOUT=10 "$qts" doc new --book "$book" --type MMO --store GS >/dev/null 2>"$work/wait.err"; then
    echo "ok   busy-within-the-timeout-waits"
  else
    echo "FAIL busy-within-the-timeout-waits: $(head -3 "$work/wait.err")"
    failures=$((failures + 1))
  fi
  wait
  expect busy-then-written "$((documents + 1))" "$(count)"
fi

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
