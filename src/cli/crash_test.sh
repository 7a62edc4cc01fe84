#!/usr/bin/env bash
# Crash tests of the qts command on SQLite books: the process is killed with SIGKILL at chosen
# points inside an operation -- after its Nth write, through the backend's test hook
# QTS_TEST_KILL_AFTER_WRITES (db/sqlite/crash_point.h) -- and what it leaves is checked.
# Run by CTest with the built qts as $1.
set -u
qts=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QTS_REGISTRY="$work/registry.json" QTS_SETTINGS="$work/settings.json"
failures=0
checks=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}
ok() { echo "ok   $*"; }

# killed_at N COMMAND...: runs the command, killed after its Nth write. Status 0 when it was
# killed, 1 when it finished; any other end fails the test (and counts as finished).
killed_at() {
  local n=$1
  shift
  QTS_TEST_KILL_AFTER_WRITES=$n "$@" >"$work/out" 2>&1
  local rc=$?
  [ "$rc" -eq 137 ] && return 0
  [ "$rc" -eq 0 ] || fail "kill point $n of '$*': exit $rc: $(head -c 300 "$work/out")"
  return 1
}

# --- qts book create and copy: a book file is made beside its place and moved there whole ---
# staged_sweep NAME TARGET MIN_WRITES COMMAND...: the command, which makes the file TARGET, is
# killed after write 1, 2, 4, ... until it finishes, then at the points halving the gap down to
# its last write, the final commit. No kill may leave a file at TARGET or more than the one
# temporary of the last dead maker; the whole run afterwards makes a sound book and removes the
# dead makers' temporaries.
staged_sweep() {
  local name=$1 target=$2 min_writes=$3
  shift 3
  local temporaries="find $work -maxdepth 1 -name .$(basename "$target").*.new"
  staged_killed_at() {
    local n=$1
    shift
    checks=$((checks + 1))
    rm -f "$target"
    killed_at "$n" "$@" || return 1
    if [ -e "$target" ]; then
      fail "$name killed after write $n left a file at the target"
    elif [ "$($temporaries | wc -l)" -gt 1 ]; then
      fail "$name killed after write $n: $($temporaries | wc -l) temporaries (the dead ones stay)"
    fi
    return 0
  }
  local low=0 high=1 kills=0 mid
  while staged_killed_at "$high" "$@"; do
    low=$high
    high=$((high * 2))
    kills=$((kills + 1))
  done
  while [ $((high - low)) -gt 1 ]; do
    mid=$(((low + high) / 2))
    if staged_killed_at "$mid" "$@"; then low=$mid; kills=$((kills + 1)); else high=$mid; fi
  done
  # `low` is the last write, the final commit: killed right after it, before the move, there
  # is still no book.
  if [ "$kills" -lt 5 ] || [ "$low" -lt "$min_writes" ]; then
    fail "$name: the kill hook stopped it only $kills times (last write $low)"
  else
    ok "$name killed at $kills points up to its last write (write $low): no book left at the target"
  fi
  checks=$((checks + 1))
  rm -f "$target"
  if "$@" >"$work/out" 2>&1 && [ "$(sqlite3 "$target" 'PRAGMA integrity_check')" = ok ] &&
    [ "$($temporaries | wc -l)" -eq 0 ] && "$qts" doc list --book "$target" --limit 1 >/dev/null 2>&1; then
    ok "$name after the kills: a whole book that opens, the dead makers' temporaries removed"
  else
    fail "$name after the kills: $(head -c 300 "$work/out"); $($temporaries | wc -l) temporaries left"
  fi
}
staged_sweep "book create" "$work/created.db" 1000 \
  "$qts" book create "$work/created.db" --code UAB --sample small
staged_sweep "book copy" "$work/copied.db" 100 "$qts" book copy "$work/created.db" "$work/copied.db"

# --- Operations on a book: wholly there or wholly absent after a kill at any of their writes ---
base=$work/base.db
"$qts" book create "$base" --code UAB --sample small --seed 1 >/dev/null
q() { echo "$2" | "$qts" sql run --book "$1" --format csv | sed 1d | tr -d '\r'; }
new_write_off() {
  "$qts" doc new --book "$1" --type MMO --store GS --date 2026-12-31 | sed -n 's/.*(IDC \([0-9]*\)).*/\1/p'
}
# An item write-off of three goods the store GS holds, not posted; the same posted in another
# book; an empty write-off to fill; the latest waybill for fuel.
wo=$(new_write_off "$base")
goods=$(q "$base" "SELECT DISTINCT TOP 3 n.GoodCode FROM THGoodSpecNotFixed n INNER JOIN THGoodSpec s ON s.IDC = n.IDC INNER JOIN THDocument d ON d.IDC = s.DocID INNER JOIN REFGood g ON g.Code = n.GoodCode WHERE d.StoreCode = 'GS' AND COALESCE(g.TrackingKind, 0) = 0 AND n.AmountAccount >= 3 ORDER BY n.GoodCode")
for g in $goods; do "$qts" doc add-row "$wo" --book "$base" --good "$g" --amount 1 >/dev/null; done
empty=$(new_write_off "$base")
waybill=$("$qts" doc list --book "$base" --type TKL --limit 1 | awk '{print $1}')
posted=$work/posted.db
cp "$base" "$posted"
"$qts" doc post "$wo" --book "$posted" >/dev/null

# The book's content, row for row.
digest() { sqlite3 "$1" .dump | sha256sum | cut -c1-16; }
# The stock rules, as the rows must always satisfy them: links never take more of a receipt row
# than it holds, and every link joins two rows of the book.
stock_rules() {
  sqlite3 "$1" "
    SELECT 'receipt ' || i.IDC || ' gives ' || SUM(l.Amount) || ' of ' || i.AmountAccount
      FROM \"UAB\$THGoodSpecFixLog\" l JOIN \"UAB\$THGoodSpec\" i ON i.IDC = l.IncomeSpecID
      GROUP BY i.IDC HAVING SUM(l.Amount) > MAX(i.AmountAccount);
    SELECT 'link ' || l.IDC || ' joins a missing row' FROM \"UAB\$THGoodSpecFixLog\" l
      WHERE NOT EXISTS (SELECT 1 FROM \"UAB\$THGoodSpec\" s WHERE s.IDC = l.OutcomeSpecID)
         OR NOT EXISTS (SELECT 1 FROM \"UAB\$THGoodSpec\" s WHERE s.IDC = l.IncomeSpecID);"
}
stock_rules_ok=$(stock_rules "$base")
[ -z "$stock_rules_ok" ] || fail "the sample book breaks the test's stock rules: $(echo "$stock_rules_ok" | head -3)"

# crash_sweep NAME BOOK COMMAND...: runs the command (BOOK in its arguments stands for the book)
# whole on a copy of BOOK, then on fresh copies killed after write 1, 2, 3, ... (past 30 in
# growing steps, then halving towards its last write, the commit) until it finishes. After every
# kill the book passes the integrity check and the stock rules, and holds either what it held
# before or what the whole run leaves.
crash_sweep() {
  local name=$1 from=$2
  shift 2
  local book=$work/crash.db
  local args=() a
  for a in "$@"; do args+=("${a//BOOK/$book}"); done
  fresh() { rm -f "$book" "$book-wal" "$book-shm" "$book".v*.bak; cp "$from" "$book"; }
  local before after
  before=$(digest "$from")
  fresh
  if ! "${args[@]}" >"$work/out" 2>&1; then
    fail "$name: the whole run failed: $(head -c 300 "$work/out")"
    return
  fi
  after=$(digest "$book")
  if [ "$before" = "$after" ]; then
    fail "$name: the whole run changed nothing"
    return
  fi
  # The kept stock facts agree with the rows after the whole run; a kill leaves the book as it
  # was before or after (checked below), so every kill point's facts agree too.
  "$qts" book check --book "$book" >"$work/check" 2>&1 ||
    fail "$name: book check after the whole run: $(head -c 300 "$work/check")"
  local n=1 low=0 high=0 absent=0 whole=0 kills=0
  try() {  # try N: 0 killed (and checked), 1 finished
    fresh
    killed_at "$1" "${args[@]}" || return 1
    kills=$((kills + 1))
    local integrity rules now
    integrity=$(sqlite3 "$book" 'PRAGMA integrity_check' 2>&1)
    [ "$integrity" = ok ] || fail "$name killed after write $1: integrity check: $integrity"
    rules=$(stock_rules "$book")
    [ -z "$rules" ] || fail "$name killed after write $1: stock rules: $(echo "$rules" | head -3)"
    now=$(digest "$book")
    if [ "$now" = "$before" ]; then
      absent=$((absent + 1))
    elif [ "$now" = "$after" ]; then
      whole=$((whole + 1))
    else
      fail "$name killed after write $1: the book holds part of the operation"
    fi
    return 0
  }
  while try "$n"; do
    low=$n
    if [ "$n" -lt 30 ]; then n=$((n + 1)); else n=$((n + n / 4)); fi
  done
  high=$n
  while [ $((high - low)) -gt 1 ]; do
    local mid=$(((low + high) / 2))
    if try "$mid"; then low=$mid; else high=$mid; fi
  done
  checks=$((checks + 1))
  if [ "$kills" -lt 2 ] || [ "$whole" -lt 1 ] || [ "$absent" -lt 1 ]; then
    fail "$name: $kills kills ($absent absent, $whole whole): the kill points missed the operation"
  else
    ok "$name: killed at $kills points up to its last write ($low): $absent times absent, $whole whole, never in part"
  fi
}

crash_sweep "doc post" "$base" "$qts" doc post "$wo" --book BOOK
crash_sweep "doc unpost" "$posted" "$qts" doc unpost "$wo" --book BOOK
crash_sweep "doc price" "$posted" "$qts" doc price "$wo" --book BOOK --from cost
crash_sweep "fuel write-off" "$base" "$qts" fuel write-off --book BOOK --parent "$waybill" --fuel 20
crash_sweep "doc fill" "$base" "$qts" doc fill "$empty" --book BOOK --product GAM00001 --amount 10 --variant 1
crash_sweep "dialog save" "$base" "$qts" dialog MMO --book BOOK --new --set edDate=2026-12-31 \
  --set cbDepartment=GAM --set cbStore=GS --cell "new:GoodCode=${goods%%$'\n'*}" --cell new:Amount=1 --save

# --- qts book upgrade: books of version 6 (this build's book with the rows' lot index on the lot
# alone, version 6 recorded), of version 5 (without the index of the goods'
# accounting units either), of version 4 (without the kept receipt totals either), of
# version 3 (without the kept stock rests either) and of version 2 (without the kept stock facts
# and the documents' date index either) are upgraded to version 7 in one transaction: a kill at
# any write leaves the old version whole; the whole run leaves a book that passes the book
# check and the copy of the file made first, byte for byte the old book.
v6=$work/v6.db
cp "$base" "$v6"
sqlite3 "$v6" "DROP INDEX \"UAB\$THGoodSpec\$LotPropertyID_DocID\";
  CREATE INDEX \"UAB\$THGoodSpec\$LotPropertyID\" ON \"UAB\$THGoodSpec\" (\"LotPropertyID\");
  UPDATE \"UAB\$Settings\" SET Value = '6' WHERE Name = 'SchemaVersion';"
v5=$work/v5.db
cp "$v6" "$v5"
sqlite3 "$v5" "DROP INDEX \"UAB\$REFGoodUnit\$GoodCode_IsAccount_UnitCode\";
  UPDATE \"UAB\$Settings\" SET Value = '5' WHERE Name = 'SchemaVersion';"
v4=$work/v4.db
cp "$v5" "$v4"
sqlite3 "$v4" "DROP TABLE \"UAB\$THGoodFixTotal\";
  UPDATE \"UAB\$Settings\" SET Value = '4' WHERE Name = 'SchemaVersion';"
v3=$work/v3.db
cp "$v4" "$v3"
sqlite3 "$v3" "DROP TABLE \"UAB\$STStoreGoodRest\";
  UPDATE \"UAB\$Settings\" SET Value = '3' WHERE Name = 'SchemaVersion';"
v2=$work/v2.db
cp "$v3" "$v2"
sqlite3 "$v2" "DROP TABLE \"UAB\$THGoodSpecFixed\"; DROP INDEX \"UAB\$THDocument\$DocumentDate\";
  UPDATE \"UAB\$Settings\" SET Value = '2' WHERE Name = 'SchemaVersion';"
for v in 6 5 4 3 2; do
  old=$work/v$v.db
  crash_sweep "book upgrade from version $v" "$old" "$qts" book upgrade --book BOOK
  checks=$((checks + 1))
  rm -f "$work/crash.db" "$work"/crash.db.v*.bak
  cp "$old" "$work/crash.db"
  if "$qts" book upgrade --book "$work/crash.db" >"$work/out" 2>&1 &&
    cmp -s "$old" "$work/crash.db.v$v.bak" && grep -q "from version $v to 7" "$work/out" &&
    "$qts" book check --book "$work/crash.db" >>"$work/out" 2>&1; then
    ok "book upgrade from version $v: the copy made first is the old book byte for byte; the book check is clean"
  else
    fail "book upgrade from version $v: $(head -c 300 "$work/out"); copy: $(ls "$work" | grep bak)"
  fi
done

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
