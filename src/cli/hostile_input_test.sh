#!/usr/bin/env bash
# Hostile input at every door of the qts command: books that are missing, empty, not a
# database, a folder, read-only, of a newer or older stored form, or locked by another writer;
# texts with quotes, comment
# markers, semicolons, NUL bytes, invalid UTF-8 and the longest values a command line or a
# file carries; numbers out of range, negative, NaN or with both decimal separators; dates that
# do not exist; broken settings and registry files. Each must end with a clear message and a
# documented non-zero exit status (1 an error, 64 a wrong command line; qts --help), and leave
# every file of the book's folder byte for byte as it was. Run by CTest with the built qts as $1.
set -u
qts=$1
work=$(mktemp -d)
out=$(mktemp -d)
trap 'rm -rf "$work" "$out"' EXIT
chmod 755 "$work"
export QTS_REGISTRY="$work/registry.json" QTS_SETTINGS="$work/settings.json"
# A locked book is given up after a second, not the default ten.
export QTS_BUSY_TIMEOUT=1
failures=0
checks=0

book=$work/book.db
"$qts" book create "$book" --code UAB --sample small --seed 1 >/dev/null || exit 1
# The settings file as a report run leaves it, so that runs below find it made.
"$qts" report CRepStoreRestByTerm --book "$book" --format csv --set edDayAmount=0 >/dev/null || exit 1
q() { echo "$1" | "$qts" sql run --book "$book" --format csv | sed -n 2p | tr -d '\r'; }
wo=$(q "SELECT TOP 1 IDC FROM THDocument WHERE DocTypeCode = 'MMO' AND IsPosted = 0 ORDER BY IDC")
[ -n "$wo" ] || wo=$("$qts" doc new --book "$book" --type MMO --store GS --date 2026-12-31 | sed -n 's/.*(IDC \([0-9]*\)).*/\1/p')
waybill=$(q "SELECT TOP 1 IDC FROM THDocument WHERE DocTypeCode = 'TKL' ORDER BY IDC DESC")
cp "$book" "$work/locked.db"
# Books of another stored form: one newer than this qts knows, one older that it upgrades only
# when asked (qts book upgrade).
for v in newer:8 older:4; do
  cp "$book" "$work/${v%%:*}.db"
  sqlite3 "$work/${v%%:*}.db" "UPDATE \"UAB\$Settings\" SET Value = '${v##*:}' WHERE Name = 'SchemaVersion'"
done
: >"$work/empty.db"
echo "no database here" >"$work/text.db"
mkdir "$work/folder.db"

# Every file of the folder with its checksum: the book, its copies, the settings and registry
# (their lock files, empty and kept, aside).
state() { (cd "$work" && find . -type f ! -name '*.lock' -print0 | sort -z | xargs -0 sha256sum); }

# door NAME STATUS PATTERN -- COMMAND...: the command ends with STATUS, says something matching
# PATTERN (standard output and error together) and changes no file of the folder.
door() {
  local name=$1 want=$2 pattern=$3
  shift 4
  checks=$((checks + 1))
  local before after rc
  before=$(state)
  "$@" >"$out/said" 2>&1 </dev/null
  rc=$?
  after=$(state)
  if [ "$rc" -ne "$want" ]; then
    echo "FAIL $name: exit $rc (want $want): $(head -c 400 "$out/said")"
  elif ! grep -qaE -- "$pattern" "$out/said"; then
    echo "FAIL $name: the message does not match '$pattern': $(head -c 400 "$out/said")"
  elif [ "$before" != "$after" ]; then
    echo "FAIL $name: files changed: $(diff <(echo "$before") <(echo "$after") | head -5)"
  else
    echo "ok   $name"
    return
  fi
  failures=$((failures + 1))
}
# door_in NAME STATUS PATTERN INPUT -- COMMAND...: the same with INPUT (a file) on standard input.
door_in() {
  local input=$4
  local args=("$1" "$2" "$3" --)
  shift 5
  door "${args[@]}" bash -c '"$@" <"$0"' "$input" "$@"
}

# --- The books a command may be pointed at ---
# As root the file modes stop nobody: the read-only book is read by the unprivileged user.
# A tree checked out in a folder closed to others (a private temporary folder) keeps nobody
# from the built qts; then the read-only doors are not tried, and the run says so.
readonly_doors=1
if [ "$(id -u)" -eq 0 ] &&
  ! setpriv --reuid=nobody --regid=nogroup --clear-groups env "$qts" --version >/dev/null 2>&1; then
  readonly_doors=0
  echo "skip read-only book: the unprivileged user cannot run $qts (a folder on its path is closed to others)"
  cp "$book" "$work/readonly.db"
  as_reader=(env)
elif [ "$(id -u)" -eq 0 ]; then
  cp "$book" "$work/readonly.db"
  chmod 644 "$work/readonly.db"
  as_reader=(setpriv --reuid=nobody --regid=nogroup --clear-groups
             env QTS_REGISTRY="$out/r.json" QTS_SETTINGS="$out/s.json" QTS_BUSY_TIMEOUT=1)
  chmod 777 "$out"
else
  cp "$book" "$work/readonly.db"
  chmod 444 "$work/readonly.db"
  as_reader=(env)
fi
# The locked book: another process holds its write lock while the doors below are tried.
coproc LOCKER { sqlite3 "$work/locked.db"; }
# Kept apart: bash forgets the coprocess's variables as soon as it ends.
locker_pid=$LOCKER_PID
locker_in=${LOCKER[1]}
locker_out=${LOCKER[0]}
echo "BEGIN IMMEDIATE; UPDATE \"UAB\$Settings\" SET Value = Value WHERE 0; SELECT 'locked';" >&"$locker_in"
read -r -t 10 answer <&"$locker_out"
[ "${answer:-}" = locked ] || { echo "FAIL the locker did not take the lock"; failures=$((failures + 1)); }

states=(missing "no book( file)? " empty "is empty: it holds no book" text "is not an SQLite database"
        folder "no book( file)? " readonly "cannot be written .*read-only"
        newer "version 8, newer than this qts knows .*: update qts"
        older "version 4; this qts reads version 7. Upgrade it with: qts book upgrade --book")
for ((i = 0; i < ${#states[@]}; i += 2)); do
  s=${states[i]}
  says=${states[i + 1]}
  b=$work/$s.db
  run=()
  [ "$s" = readonly ] && [ "$readonly_doors" = 0 ] && continue
  [ "$s" = readonly ] && run=("${as_reader[@]}")
  door "$s book: doc list" 1 "$says" -- "${run[@]}" "$qts" doc list --book "$b"
  door "$s book: doc show" 1 "$says" -- "${run[@]}" "$qts" doc show 1 --book "$b"
  door "$s book: doc new" 1 "$says" -- "${run[@]}" "$qts" doc new --book "$b" --type MMO --store GS
  door "$s book: doc post" 1 "$says" -- "${run[@]}" "$qts" doc post "$wo" --book "$b"
  door "$s book: fuel write-off" 1 "$says" -- "${run[@]}" "$qts" fuel write-off --book "$b" --parent "$waybill" --fuel 1
  door "$s book: dialog" 1 "$says" -- "${run[@]}" "$qts" dialog MMO --book "$b" --new --save
  door "$s book: report" 1 "$says" -- "${run[@]}" "$qts" report CRepStoreRestByTerm --book "$b" --format csv
  door "$s book: sql run" 1 "$says" -- "${run[@]}" bash -c 'echo "SELECT 1" | "$0" sql run --book "$1"' "$qts" "$b"
  door "$s book: book copy" 1 "$says" -- "${run[@]}" "$qts" book copy "$b" "$out/copy-$s.db"
  door "$s book: serve" 1 "$says" -- "${run[@]}" "$qts" serve --book "$b" --listen 127.0.0.1:0
done
door "newer book: book upgrade" 1 "version 8, newer than this qts knows .*: update qts" -- \
  "$qts" book upgrade --book "$work/newer.db"
door "newer book: book check" 1 "update qts" -- "$qts" book check --book "$work/newer.db" --repair
door "newer book: book upgrade --json" 1 '"number"' -- "$qts" book upgrade --book "$work/newer.db" --json
busy="another process is writing the book .*try again"
lb=$work/locked.db
door "locked book: doc new" 1 "$busy" -- "$qts" doc new --book "$lb" --type MMO --store GS
door "locked book: doc post" 1 "$busy" -- "$qts" doc post "$wo" --book "$lb"
door "locked book: doc delete" 1 "$busy" -- "$qts" doc delete "$wo" --book "$lb"
door "locked book: fuel write-off" 1 "$busy" -- "$qts" fuel write-off --book "$lb" --parent "$waybill" --fuel 1
door "locked book: dialog save" 1 "$busy" -- "$qts" dialog MMO --book "$lb" --new --set edDate=2026-12-31 \
  --set cbDepartment=GAM --set cbStore=GS --save
door "locked book: read while written" 0 "MMO" -- "$qts" doc list --book "$lb" --type MMO --limit 1
door "a book file as a new book" 1 "exists already" -- "$qts" book create "$book" --code UAB
door "a folder as a new book" 1 "exists|folder|directory" -- "$qts" book create "$work/folder.db" --code UAB
door "a new book in a missing folder" 1 "cannot make the new book" -- "$qts" book create "$work/nowhere/x.db"
door "a new book's code" 1 "code" -- "$qts" book create "$out/x.db" --code "x'; DROP TABLE y; --"
# A seed with a sign or past the largest would wrap into another seed: refused, no file made.
door "a negative seed" 64 'whole number from 0' -- "$qts" book create "$work/seed.db" --sample small --seed -1
door "a seed past the largest" 64 'whole number from 0' -- "$qts" book create "$work/seed.db" --sample small --seed 18446744073709551616
echo "ROLLBACK;" >&"$locker_in"
exec {locker_in}>&-
wait "$locker_pid" 2>/dev/null

# --- Texts: quotes, comments, semicolons, invalid UTF-8, the longest argument ---
bad=$'\xff\xfe'
big=$(head -c 131000 /dev/zero | tr '\0' x)   # about the longest one argument may be
door "store with a quote and a comment" 1 'no store "GS.; DROP TABLE x; --"' -- "$qts" doc new --book "$book" --type MMO --store "GS'; DROP TABLE x; --"
door "type with a comment" 1 "MMO' --" -- "$qts" doc new --book "$book" --type "MMO' --" --store GS
door "good with OR 1=1" 1 'no item' -- "$qts" doc add-row "$wo" --book "$book" --good "x' OR '1'='1" --amount 1
door "store not UTF-8" 1 'no store' -- "$qts" doc new --book "$book" --type MMO --store "$bad"
door "store not UTF-8, as JSON" 1 '"number": 5' -- "$qts" doc new --book "$book" --type MMO --store "$bad" --json
door "longest store" 1 'no store' -- "$qts" doc new --book "$book" --type MMO --store "$big"
door "doc list of a type with a quote" 1 "no document type \"MMO'; --\"" -- "$qts" doc list --book "$book" --type "MMO'; --"
door "dialog name not UTF-8" 1 'Name.*UTF-8' -- "$qts" dialog MMO --book "$book" --new --set edDate=2026-12-31 \
  --set cbDepartment=GAM --set cbStore=GS --set "edName=ab${bad}" --save
door "dialog name too long" 1 'at most 100 characters' -- "$qts" dialog MMO --book "$book" --new --set edDate=2026-12-31 \
  --set cbDepartment=GAM --set cbStore=GS --set "edName=$big" --save
door "dialog store with a comment" 1 'not among the choices' -- "$qts" dialog MMO --book "$book" --new --set "cbStore=GS'--" --save
door "dialog cell with a semicolon" 1 'no item|not among|GoodCode' -- "$qts" dialog MMO --book "$book" --new \
  --set cbDepartment=GAM --set cbStore=GS --cell "new:GoodCode=X; DELETE FROM THDocument" --cell new:Amount=1 --save
door "report store selection injected" 1 'not a list of quoted codes' -- "$qts" report CRepStoreRestByTerm --book "$book" --format csv --set "selStore='GS'' OR 1=1 --"
door "report goods selection with a comment" 1 'not a list of quoted codes' -- "$qts" report CRepStoreRestByTerm --book "$book" --format csv --set "selGood='G1' -- x" --set selGood.SelType=1
door "report longest selection" 1 'not a list of quoted codes' -- "$qts" report CRepStoreRestByTerm --book "$book" --format csv --set "selStore='$big"
door "settings value not UTF-8" 1 'UTF-8' -- "$qts" settings set "Halden Enterprise" General AppFormDebug "$bad"
door "book copy code with a quote" 1 "holds no book \"x'; --\"" -- "$qts" book copy "$book" "$out/c.db" --code "x'; --"

# --- Numbers ---
for amount in NaN inf -inf "" " " "1,000.5" "1.000,5" "2,5,0" 0x10 "1 000" "five"; do
  door "amount '$amount'" 1 'is not a number' -- "$qts" doc add-row "$wo" --book "$book" --good MED00001 --amount "$amount"
done
for amount in 1e400 922337203685478 -922337203685478 99999999999999999999; do
  door "amount $amount" 1 'out of range' -- "$qts" doc add-row "$wo" --book "$book" --good MED00001 --amount "$amount"
done
door "amount negative" 1 'greater than 0' -- "$qts" doc add-row "$wo" --book "$book" --good MED00001 --amount -2
door "amount zero" 1 'greater than 0' -- "$qts" doc set-amount "$wo" --book "$book" --pos 1 --amount 0,0
door "fuel negative" 1 'is negative' -- "$qts" fuel write-off --book "$book" --parent "$waybill" --fuel -1
door "fuel NaN" 1 'is not a number' -- "$qts" fuel write-off --book "$book" --parent "$waybill" --fuel NaN
door "fuel out of range" 1 'out of range' -- "$qts" fuel write-off --book "$book" --parent "$waybill" --fuel 1e400
door "fuel both separators" 1 'is not a number' -- "$qts" fuel write-off --book "$book" --parent "$waybill" --fuel 1.000,5
door "fill amount NaN" 1 'is not a number' -- "$qts" doc fill "$wo" --book "$book" --product GAM00001 --amount NaN
door "fill variant out of range" 64 'not in range' -- "$qts" doc fill "$wo" --book "$book" --product GAM00001 --amount 1 --variant 99
door "document number too large" 64 'IDC' -- "$qts" doc show 99999999999 --book "$book"
door "document number not a number" 64 'IDC' -- "$qts" doc show 5x --book "$book"
door "document number negative" 1 'no document -5' -- "$qts" doc show -5 --book "$book"
door "document number zero" 1 'no document 0' -- "$qts" doc post 0 --book "$book"
door "row position negative" 1 'no row at position -1|not an item write-off' -- "$qts" doc set-amount "$wo" --book "$book" --pos -1 --amount 1
door "list limit zero" 64 'not in range' -- "$qts" doc list --book "$book" --limit 0
door "list limit too large" 64 'not in range' -- "$qts" doc list --book "$book" --limit 99999999999999
door "grid amount NaN" 1 'expects a quantity' -- "$qts" dialog MMO --book "$book" --new --cell new:GoodCode=MED00001 --cell new:Amount=NaN --save
door "grid amount out of range" 1 'expects at most' -- "$qts" dialog MMO --book "$book" --new --cell new:GoodCode=MED00001 --cell new:Amount=1e400 --save
door "grid amount negative" 1 'greater than 0' -- "$qts" dialog MMO --book "$book" --new --cell new:GoodCode=MED00001 --cell new:Amount=-1 --save
door "report days NaN" 1 'expects a number' -- "$qts" report CRepStoreRestByTerm --book "$book" --format csv --set edDayAmount=NaN
door "report days out of range" 1 'within 922337203685477' -- "$qts" report CRepStoreRestByTerm --book "$book" --format csv --set edDayAmount=1e400
door "report selection type 7" 1 'must be 0 to 3' -- "$qts" report CRepStoreRestByTerm --book "$book" --format csv --set selStore.SelType=7

# --- Dates that do not exist ---
for date in 2026-02-30 2025-02-29 2026-04-31 2026-13-01 2026-00-10 0000-01-01 10000-01-01 31.12.2026 "$bad"; do
  door "date '$date'" 1 'is not a date' -- "$qts" doc new --book "$book" --type MMO --store GS --date "$date"
done
door "dialog date 2026-02-30" 1 'expects a date' -- "$qts" dialog MMO --book "$book" --new --set edDate=2026-02-30 --save
door "report date 2026-02-30" 1 'expects a date' -- "$qts" report CRepGoodRestBDK --book "$book" --format csv --set edRepDate=2026-02-30

# --- What comes on standard input: statements with NUL bytes, comments, a megabyte ---
printf 'SELECT 1\0; DELETE FROM Settings' >"$out/nul.sql"
printf 'SELECT 1 -- x\n; DELETE FROM Settings' >"$out/comment.sql"
printf '/* SELECT */ DELETE FROM Settings' >"$out/delete.sql"
printf 'SELECT Code FROM REFGood WHERE Name = \x27\xff\xfe\x27; DROP TABLE Settings' >"$out/utf8.sql"
{ printf "SELECT Code FROM REFGood WHERE Name = '"; head -c 1048576 /dev/zero | tr '\0' "'"; printf "'"; } >"$out/mega.sql"
{ printf "SELECT 1 FROM Settings WHERE "; for _ in $(seq 1 40000); do printf "(Name = 'a') OR "; done; printf "1 = 1"; } >"$out/deep.sql"
door_in "sql run with a NUL byte" 1 'only one statement' "$out/nul.sql" -- "$qts" sql run --book "$book"
door_in "sql run with a comment before ;" 1 'only one statement' "$out/comment.sql" -- "$qts" sql run --book "$book"
door_in "sql run of a DELETE" 1 "unsupported construct 'DELETE'" "$out/delete.sql" -- "$qts" sql run --book "$book"
door_in "sql run not UTF-8" 1 'only one statement' "$out/utf8.sql" -- "$qts" sql run --book "$book"
door_in "sql run of a megabyte of quotes" 0 '^Code' "$out/mega.sql" -- "$qts" sql run --book "$book" --format csv
door_in "sql translate of 40,000 conditions" 1 'more than 500 AND, OR' "$out/deep.sql" -- "$qts" sql translate

# --- The settings and registry files ---
settings_door() {  # settings_door NAME CONTENT-FILE PATTERN
  cp "$2" "$work/settings.json"
  door "settings file: $1" 1 "$3" -- "$qts" report CRepStoreRestByTerm --book "$book" --format csv --set edDayAmount=0
  door "settings file: $1 (settings get)" 1 "$3" -- "$qts" settings get "Halden Enterprise" General AppFormDebug
}
cp "$work/settings.json" "$out/settings.good"
printf '{"format": "qts-registry/1", "keys": ' >"$out/truncated.json"
printf '{"format": "qts-registry/1", "keys": {"Software\\\\Halden Enterprise": {"A": "\xff"}}}' >"$out/notutf8.json"
printf '{"format": "qts-registry/1",\0 "keys": {}}' >"$out/nul.json"
printf '{"format": "qts-registry/1", "keys": {"Software": 5}}' >"$out/wrongtype.json"
{ printf '{"format": "qts-registry/1", "keys": {"Software": {"A": "'; head -c 1048576 /dev/zero | tr '\0' '['; printf '"}}}'; } >"$out/megavalue.json"
{ head -c 1048576 /dev/zero | tr '\0' '['; } >"$out/deep.json"
settings_door "cut short" "$out/truncated.json" 'is not a registry file'
settings_door "not UTF-8" "$out/notutf8.json" 'is not a registry file'
settings_door "a NUL byte" "$out/nul.json" 'is not a registry file'
settings_door "a number for a key" "$out/wrongtype.json" 'malformed'
settings_door "a megabyte deep" "$out/deep.json" 'is not a registry file'
cp "$out/megavalue.json" "$work/settings.json"
door "settings file: a megabyte value" 1 'AppFormDebug' -- "$qts" settings get "Halden Enterprise" General AppFormDebug
cp "$out/settings.good" "$work/settings.json"
cp "$out/truncated.json" "$work/registry.json"
door "registry file cut short" 1 'is not a registry file' -- "$qts" create QTS_Inventory.IMOpDocSupport
door "registry file cut short (register)" 1 'is not a registry file' -- "$qts" register
rm -f "$work/registry.json"

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
