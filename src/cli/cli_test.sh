#!/usr/bin/env bash
# End-to-end checks of the qts command: exit codes, what it prints, and that refused input
# writes nothing. Run by CTest with the built qts as $1.
set -u
qts=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QTS_REGISTRY="$work/registry.json" QTS_SETTINGS="$work/settings.json"
failures=0
check() {  # check NAME EXPECTED_RC PATTERN -- command...
  local name=$1 want=$2 pattern=$3
  shift 4
  local out rc
  out=$("$@" 2>&1)
  rc=$?
  if [ "$rc" -ne "$want" ] || ! grep -qE -- "$pattern" <<<"$out"; then
    echo "FAIL $name: exit $rc (want $want), output:"
    echo "$out" | head -20
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

check version 0 '^qts [0-9]+\.[0-9]+' -- "$qts" --version
check help 0 'catalogue' -- "$qts" --help
check no-subcommand 106 'subcommand' -- "$qts"
check unregistered 1 'not registered' -- "$qts" create QTS_Inventory.IMOpDocSupport
check register 0 '^registered ' -- "$qts" register
check create 0 'MDocSup -> Nothing' -- "$qts" create QTS_Inventory.IMOpDocSupport --call MDocSup
check unknown-member 1 'error 438' -- "$qts" create QTS_Inventory.IMOpDocSupport --call Nope
check private-class 1 'not registered' -- "$qts" create QTS_Inventory.CMDocSupport
check catalogue-json 0 '"progid": "QTS_Inventory.CFuelWriteOff"' -- "$qts" catalogue --json
check settings-missing 1 'no setting' -- "$qts" settings get "Halden Enterprise" General AppFormDebug
"$qts" settings set "Halden Enterprise" General AppFormDebug "yes" >/dev/null
check bad-startup 1 'Type mismatch.*AppFormDebug' -- "$qts" create QTS_Inventory.IMOpDocSupport
"$qts" settings set "Halden Enterprise" General AppFormDebug 1 >/dev/null
check good-startup 0 'created' -- "$qts" create QTS_Inventory.IMOpDocSupport
check unregister 0 '^unregistered ' -- "$qts" unregister
check unregistered-again 1 'not registered' -- "$qts" create QTS_Inventory.IMOpDocSupport

book="$work/book.db"
check book-create 0 'created book UAB1' -- "$qts" book create "$book" --code UAB1
check book-no-overwrite 1 'exists already' -- "$qts" book create "$book"
check translate 0 'LIMIT 2' -- bash -c "echo 'SELECT TOP 2 Code FROM REFGood' | '$qts' sql translate"
check translate-refused 1 "line 1, column 1" -- bash -c "echo 'WITH x AS (SELECT 1) SELECT 1' | '$qts' sql translate"
check run-csv 0 '^Name,Value$' -- bash -c "echo 'SELECT Name, Value FROM Settings ORDER BY Name' | '$qts' sql run --book '$book' --format csv"
check run-json 0 '"Value": "UAB1"' -- bash -c "echo \"SELECT Name, Value FROM Settings WHERE Name = 'Code'\" | '$qts' sql run --book '$book' --format json"
check run-second-statement 1 'only one statement' -- bash -c "printf 'SELECT 1;\nDELETE FROM Settings' | '$qts' sql run --book '$book'"
check run-hostile 0 '^Name,Value$' -- bash -c "echo \"SELECT Name, Value FROM Settings WHERE Name = 'x''; DROP TABLE Settings; --'\" | '$qts' sql run --book '$book' --format csv"
check settings-survive 0 'UAB1' -- bash -c "echo \"SELECT Value FROM Settings WHERE Name = 'Code'\" | '$qts' sql run --book '$book' --format csv"

check book-sample 0 'THGoodSpecFixLog' -- "$qts" book create "$work/s.db" --sample small --seed 3
check book-sample-bad 1 'unknown sample size' -- "$qts" book create "$work/t.db" --sample medium
check book-sample-bad-no-file 1 '^absent$' -- bash -c "test -e '$work/t.db' && echo present || { echo absent; exit 1; }"

echo "$((26 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
