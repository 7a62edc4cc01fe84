#!/usr/bin/env bash
# End-to-end checks of the qts command: exit codes, what it prints, and that refused input
# writes nothing. Run by CTest with the built qts as $1, and the backend of the books as $2:
# sqlite (files, the default) or postgres (each book in a schema of its own on the test
# server named by QTS_TEST_PG).
set -u
qts=$1
backend=${2:-sqlite}
work=$(mktemp -d)
cleanup() {
  if [ -n "${QTS_TEST_PG:-}" ]; then
    for s in $(psql "$QTS_TEST_PG" -Atc "SELECT nspname FROM pg_namespace WHERE nspname LIKE 'cli\_$$\_%'" 2>/dev/null); do
      psql "$QTS_TEST_PG" -qc "DROP SCHEMA IF EXISTS $s CASCADE" >/dev/null 2>&1
    done
  fi
  rm -rf "$work"
}
trap cleanup EXIT
if [ "$backend" = postgres ] && [ -z "${QTS_TEST_PG:-}" ]; then
  echo "cli_test: postgres books need QTS_TEST_PG (the test server)"
  exit 1
fi
# new_book_server NAME: an empty schema on the server when there is one (SQLite runs copy to
# it), empty otherwise.
new_book_server() {
  if [ -n "${QTS_TEST_PG:-}" ]; then
    local saved=$backend
    backend=postgres
    new_book "$1"
    backend=$saved
  fi
}
# new_book NAME: the address of a new book: a file, or an empty schema on the server.
new_book() {
  if [ "$backend" = postgres ]; then
    local schema="cli_$$_$1"
    psql "$QTS_TEST_PG" -qc "DROP SCHEMA IF EXISTS $schema CASCADE; CREATE SCHEMA $schema" >/dev/null 2>&1
    echo "$QTS_TEST_PG options=-csearch_path=$schema"
  else
    echo "$work/$1.db"
  fi
}
export QTS_REGISTRY="$work/registry.json" QTS_SETTINGS="$work/settings.json"
failures=0
checks=0
check() {  # check NAME EXPECTED_RC PATTERN -- command...
  local name=$1 want=$2 pattern=$3
  checks=$((checks + 1))
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
check help-exit-statuses 0 '^  2 +refused by a check' -- "$qts" --help
check no-subcommand 64 'subcommand' -- "$qts"
check usage-unknown-option 64 '--nope' -- "$qts" doc list --book x.db --nope
check usage-missing-argument 64 'IDC is required' -- "$qts" doc show --book x.db
check unregistered 1 'not registered' -- "$qts" create QTS_Inventory.IMOpDocSupport
check register 0 '^registered ' -- "$qts" register
check create 0 'MDocSup -> Nothing' -- "$qts" create QTS_Inventory.IMOpDocSupport --call MDocSup
check create-json 0 '"MDocSup": null' -- "$qts" create QTS_Inventory.IMOpDocSupport --call MDocSup --json
check create-json-error 1 '"number": 438' -- "$qts" create QTS_Inventory.IMOpDocSupport --call Nope --json
check unknown-member 1 'error 438' -- "$qts" create QTS_Inventory.IMOpDocSupport --call Nope
check private-class 1 'not registered' -- "$qts" create QTS_Inventory.CMDocSupport
check catalogue-json 0 '"progid": "QTS_Inventory.CFuelWriteOff"' -- "$qts" catalogue --json
check settings-missing 1 'no setting' -- "$qts" settings get "Halden Enterprise" General AppFormDebug
check settings-missing-json 1 '"source": "settings"' -- "$qts" settings get "Halden Enterprise" General AppFormDebug --json
check settings-set-json 0 '"value": "0"' -- "$qts" settings set "Halden Enterprise" General AppFormDebug 0 --json
check settings-get-json 0 '"key": "AppFormDebug"' -- "$qts" settings get "Halden Enterprise" General AppFormDebug --json
"$qts" settings set "Halden Enterprise" General AppFormDebug "yes" >/dev/null
check bad-startup 1 'Type mismatch.*AppFormDebug' -- "$qts" create QTS_Inventory.IMOpDocSupport
"$qts" settings set "Halden Enterprise" General AppFormDebug 1 >/dev/null
check good-startup 0 'created' -- "$qts" create QTS_Inventory.IMOpDocSupport
check unregister 0 '^unregistered ' -- "$qts" unregister
check unregistered-again 1 'not registered' -- "$qts" create QTS_Inventory.IMOpDocSupport

book=$(new_book book)
check book-create 0 'created book UAB1' -- "$qts" book create "$book" --code UAB1
if [ "$backend" = postgres ]; then
  check book-no-overwrite 1 'holds a book "UAB1" already' -- "$qts" book create "$book" --code UAB1
else
  check book-no-overwrite 1 'exists already' -- "$qts" book create "$book"
fi
check translate 0 'LIMIT 2' -- bash -c "echo 'SELECT TOP 2 Code FROM REFGood' | '$qts' sql translate"
check translate-json 0 '"sql": "SELECT .* LIMIT 2"' -- bash -c "echo 'SELECT TOP 2 Code FROM REFGood' | '$qts' sql translate --json"
check translate-refused 1 "line 1, column 1" -- bash -c "echo 'WITH x AS (SELECT 1) SELECT 1' | '$qts' sql translate"
check run-csv 0 '^Name,Value$' -- bash -c "echo 'SELECT Name, Value FROM Settings ORDER BY Name' | '$qts' sql run --book '$book' --format csv"
check run-json 0 '"Value": "UAB1"' -- bash -c "echo \"SELECT Name, Value FROM Settings WHERE Name = 'Code'\" | '$qts' sql run --book '$book' --format json"
check run-second-statement 1 'only one statement' -- bash -c "printf 'SELECT 1;\nDELETE FROM Settings' | '$qts' sql run --book '$book'"
check run-hostile 0 '^Name,Value$' -- bash -c "echo \"SELECT Name, Value FROM Settings WHERE Name = 'x''; DROP TABLE Settings; --'\" | '$qts' sql run --book '$book' --format csv"
check settings-survive 0 'UAB1' -- bash -c "echo \"SELECT Value FROM Settings WHERE Name = 'Code'\" | '$qts' sql run --book '$book' --format csv"

sb=$(new_book s)
check book-sample 0 'THGoodSpecFixLog' -- "$qts" book create "$sb" --sample small --seed 3
j=$(new_book j)
check book-create-json 0 '"Code": "JS1"' -- "$qts" book create "$j" --code JS1 --json
check book-create-json-error 1 '"description": ".*already' -- "$qts" book create "$j" --code JS1 --json
if [ "$backend" = postgres ]; then
  t=$(new_book t)
  check book-sample-bad 1 'unknown sample size' -- "$qts" book create "$t" --sample medium
  check book-sample-bad-no-book 1 'holds no book' -- "$qts" doc list --book "$t"
else
  check book-sample-bad 1 'unknown sample size' -- "$qts" book create "$work/t.db" --sample medium
  check book-sample-bad-no-file 1 '^absent$' -- bash -c "test -e '$work/t.db' && echo present || { echo absent; exit 1; }"
  # A scale the sample cannot write is refused before anything is made.
  check book-scale-bad 1 'sample scale 0.5 does not fit the small sample' -- "$qts" book create "$work/t.db" --sample small --scale 0.5
  check book-scale-bad-no-file 1 '^absent$' -- bash -c "test -e '$work/t.db' && echo present || { echo absent; exit 1; }"
  check book-scale-needs-sample 64 'requires --sample' -- "$qts" book create "$work/t.db" --scale 2
  check book-scale-json 0 '"scale": 2' -- "$qts" book create "$work/scaled.db" --sample small --scale 2 --json
fi

# Copies between the backends: the sample book to the other backend and back, every table
# compared after each copy.
if [ "$backend" = postgres ]; then other=$work/copy.db; else other=$(new_book_server copy); fi
if [ -n "$other" ]; then
  check book-copy-there 0 'every table of the copy equals the source' -- "$qts" book copy "$sb" "$other"
  back=$(if [ "$backend" = postgres ]; then new_book back; else echo "$work/back.db"; fi)
  check book-copy-back 0 'every table of the copy equals the source' -- "$qts" book copy "$other" "$back"
  check book-copy-refused 1 'already' -- "$qts" book copy "$sb" "$back"
fi
# The kept stock facts: clean on a sample book and its copies; a tampered one is found (exit 1)
# and repaired.
check book-check 0 ': 0 difference\(s\)$' -- "$qts" book check --book "$sb"
if [ -n "$other" ]; then
  check book-check-copy 0 ': 0 difference\(s\)$' -- "$qts" book check --book "$other"
fi
tamper='UPDATE "QTS$THGoodSpecFixed" SET "Amount" = "Amount" + 1 WHERE "SpecID" = (SELECT MIN("SpecID") FROM "QTS$THGoodSpecFixed")'
if [ "$backend" = postgres ]; then
  check book-check-tamper 0 '' -- psql "$sb" -qc "$tamper"
else
  check book-check-tamper 0 '' -- python3 -c "import sqlite3, sys; c = sqlite3.connect(sys.argv[1]); c.execute(sys.argv[2]); c.commit()" "$sb" "$tamper"
fi
check book-check-finds 1 'kept consumption differs: row [0-9]+: kept' -- "$qts" book check --book "$sb"
check book-check-finds-json 1 '"kind": "kept consumption differs"' -- "$qts" book check --book "$sb" --json
check book-check-repair 0 'repaired the kept facts from the rows; 0 difference\(s\) remain' -- "$qts" book check --book "$sb" --repair
check book-check-repaired 0 ': 0 difference\(s\)$' -- "$qts" book check --book "$sb"

check server-down 1 'Cannot connect to the PostgreSQL server postgresql://ona@/nonexistent/qts:5999/b' -- "$qts" doc list --book "host=/nonexistent/qts port=5999 dbname=b user=ona password=s3cret"
check server-down-no-password 0 '^hidden$' -- bash -c "'$qts' doc list --book 'host=/nonexistent/qts port=5999 dbname=b user=ona password=s3cret' 2>&1 | grep -q s3cret && echo shown || echo hidden"

# Reports on the small sample book, through the component library (no registration needed).
check report-list 0 '^CRepStoreRestByTerm ' -- "$qts" report --list
check report-html 0 '<h1>PREKIŲ LIKUČIAI PAGAL SANDĖLIAVIMO TERMINĄ</h1>' -- "$qts" report CRepStoreRestByTerm --book "$sb"
check report-html-company 0 '<div class="company">UAB &quot;Pavyzdys&quot;</div>' -- "$qts" report CRepStoreRestByTerm --book "$sb" --set selStore=
check report-html-stores 0 '<th>Sandėliai:</th><td>Centrinis sandėlis \(CS\)</td>' -- "$qts" report CRepStoreRestByTerm --book "$sb" --set selStore=CS
check report-csv 0 '^GoodCode,Name,UnitCode,AmountAccount,CostSumma,StoreCode,Rest,RestSumma' -- "$qts" report CRepStoreRestByTerm --book "$sb" --format csv --set selStore= --set selGood= --set edDayAmount=0
check report-csv-plain 0 '^AKC[0-9]+,[^,]+,vnt,[0-9]+(\.[0-9]+)?,[0-9]+(\.[0-9]+)?,CS,' -- "$qts" report CRepStoreRestByTerm --book "$sb" --format csv --set selStore=CS --set selGood= --set edDayAmount=0
check report-csv-lt 0 '^AKC[0-9]+;[^;]+;vnt;[0-9]+,[0-9]{3};[0-9]+,[0-9]{2};CS;' -- "$qts" report CRepStoreRestByTerm --book "$sb" --format csv --locale lt
check report-locale-not-csv 1 'locale is for the csv format' -- "$qts" report CRepStoreRestByTerm --book "$sb" --locale lt
check report-pdf 0 '^wrote .*r\.pdf' -- "$qts" report CRepStoreRestByTerm --book "$sb" --format pdf -o "$work/r.pdf"
check report-pdf-magic 0 '^%PDF' -- head -c 4 "$work/r.pdf"
check report-pdf-needs-path 1 'pdf format needs -o' -- "$qts" report CRepStoreRestByTerm --book "$sb" --format pdf
check report-list-titles 0 '^CRepWriteOffBDK +NURAŠYMAS PAGAL BDK$' -- "$qts" report --list
check report-json 0 '"ToDate": "[0-9]{4}-[0-9]{2}-[0-9]{2}"' -- "$qts" report CRepStoreRestByTerm --book "$sb" --format json --set edDayAmount=30
check report-no-rows 0 '"rows": \[\]' -- "$qts" report CRepStoreRestByTerm --book "$sb" --format json --set selGood=NO-SUCH-GOOD
# A remembered choice the book no longer holds is dropped with a word, and the form's default used.
check report-saved-choice-dropped 0 'last choice of selGood \("NO-SUCH-GOOD"\) is dropped: the book has no good NO-SUCH-GOOD' -- "$qts" report CRepStoreRestByTerm --book "$sb" --format json
check report-saved-choice-default 0 '"GoodCode": null' -- "$qts" report CRepStoreRestByTerm --book "$sb" --format json
check report-saved-choice 0 '"StoreCode": "'"'"'CS'"'"'"' -- "$qts" report CRepStoreRestByTerm --book "$sb" --format json --set selStore=CS
check report-saved-choice-used 0 '"StoreCode": "'"'"'CS'"'"'"' -- "$qts" report CRepStoreRestByTerm --book "$sb" --format json
check report-xlsx 0 '^wrote .*r\.xlsx' -- "$qts" report CRepStoreRestByTerm --book "$sb" --set selGood= --format xlsx -o "$work/r.xlsx"
check report-xlsx-zip 0 '^PK' -- head -c 2 "$work/r.xlsx"
check report-xlsx-needs-path 1 'needs -o' -- "$qts" report CRepStoreRestByTerm --book "$sb" --format xlsx
check report-cancel 2 'was cancelled' -- "$qts" report CRepStoreRestByTerm --book "$sb" --cancel
check report-cancel-json 2 '"status": 2' -- "$qts" report CRepStoreRestByTerm --book "$sb" --cancel --json
check report-list-json 0 '"class": "CRepStoreRestByTerm"' -- "$qts" report --list --json
check report-json-flag 0 '"ToDate": "[0-9]{4}-[0-9]{2}-[0-9]{2}"' -- "$qts" report CRepStoreRestByTerm --book "$sb" --json --set edDayAmount=30
check report-bad-control 1 'no control "edNope"' -- "$qts" report CRepStoreRestByTerm --book "$sb" --set edNope=1
check report-bad-number 1 'expects a number' -- "$qts" report CRepStoreRestByTerm --book "$sb" --set edDayAmount=many
check report-hostile-store 1 'Klaida|error 0x80040001' -- "$qts" report CRepStoreRestByTerm --book "$sb" --set "selStore='S1') OR (1=1" --set selStore.SelType=1
check report-hostile-store-quote 1 'is not a list of quoted codes' -- "$qts" report CRepStoreRestByTerm --book "$sb" --set "selStore='GS'' OR 1=1 --"
# A refused value is never remembered: the next run uses the choice before it.
check report-hostile-not-remembered 0 '"StoreCode": "'"'"'CS'"'"'"' -- "$qts" report CRepStoreRestByTerm --book "$sb" --format json
check report-unknown-class 1 'no report "QTS_Inventory.CRepNope"' -- "$qts" report CRepNope --book "$sb"
check report-bad-format 1 'unknown report format' -- "$qts" report CRepStoreRestByTerm --book "$sb" --format docx
check report-no-partial-file 0 '^absent$' -- bash -c "'$qts' report CRepStoreRestByTerm --book '$sb' --cancel -o '$work/c.html' 2>/dev/null; test -e '$work/c.html' && echo present || echo absent"
# Written into a link, a pipe or a device (-o /dev/null), never over it: the link stays a link
# to the file it names, and the pipe's reader gets the workbook.
ln -s "$work/target.csv" "$work/link.csv"
check report-into-a-link 0 '^link to [1-9][0-9]* bytes$' -- bash -c "'$qts' report CRepStoreRestByTerm --book '$sb' --format csv -o '$work/link.csv' >/dev/null 2>&1; test -L '$work/link.csv' && echo \"link to \$(wc -c < '$work/target.csv') bytes\" || echo replaced"
mkfifo "$work/pipe"
check report-into-a-pipe 0 '^pipe gave [1-9][0-9]* bytes$' -- bash -c "(timeout 60 cat '$work/pipe' | wc -c > '$work/pipe.count') & '$qts' report CRepStoreRestByTerm --book '$sb' --format xlsx -o '$work/pipe' >/dev/null 2>&1; wait; test -p '$work/pipe' && echo \"pipe gave \$(cat '$work/pipe.count') bytes\" || echo replaced"

# JSON cells as every JSON the host writes: columns in their order, a whole quantity as an integer.
check run-json-cells 0 '^\[\{"GoodCode":"[^"]+","Amount":[0-9]+\}\]$' -- bash -c "echo 'SELECT TOP 1 GoodCode, Amount FROM THGoodSpec WHERE Amount = ROUND(Amount, 0) AND Amount > 0 ORDER BY IDC' | '$qts' sql run --book '$sb' --format json | tr -d ' \n'"

# The statement trace and the host kit's messages, off unless asked for.
check trace-off 0 '^absent$' -- bash -c "'$qts' doc list --book '$sb' --limit 1 2>&1 >/dev/null | grep -q -- '-- run:' && echo present || echo absent"
check trace-sql 0 '^-- T-SQL: SELECT TOP 1 ' -- bash -c "'$qts' doc list --book '$sb' --limit 1 --trace-sql 2>&1 >/dev/null"
check trace-sql-run 0 '^-- run:   SELECT .* LIMIT 1$' -- bash -c "'$qts' --trace-sql doc list --book '$sb' --limit 1 2>&1 >/dev/null"
check trace-sql-env 0 '^-- params: [?$]1=5$' -- bash -c "QTS_TRACE_SQL=1 '$qts' doc show 5 --book '$sb' 2>&1 >/dev/null"
check trace-sql-time 0 '^-- [0-9]+\.[0-9]{3} ms, [0-9]+ row\(s\)' -- bash -c "QTS_TRACE_SQL=1 '$qts' doc show 5 --book '$sb' 2>&1 >/dev/null"
check log-level 0 '^qts: \[info\] loaded component library .*libqts_inventory\.so$' -- "$qts" report --list --log-level info
check log-level-env 0 '^qts: \[info\] opened book ' -- env QTS_LOG_LEVEL=info "$qts" doc list --book "$sb" --limit 1
if [ "$backend" = postgres ]; then
  # On the server the trace shows the statement as the server was sent it, numbered by $n.
  check trace-sql-server 0 '^-- run:   SELECT .* = \$1' -- bash -c "QTS_TRACE_SQL=1 '$qts' doc show 5 --book '$sb' 2>&1 >/dev/null"
  check log-level-server 0 '^qts: \[info\] connected to the PostgreSQL server postgresql://' -- env QTS_LOG_LEVEL=info "$qts" doc list --book "$sb" --limit 1
fi
check log-level-bad 64 'loud not in' -- "$qts" --log-level loud doc list --book "$sb"

# Documents: an item write-off on the sample book, and the bad input that must write nothing.
wo=$("$qts" doc new --book "$sb" --type MMO --store GS --date 2026-12-31 | sed -n 's/.*(IDC \([0-9]*\)).*/\1/p')
good=$(echo "SELECT TOP 1 n.GoodCode FROM THGoodSpecNotFixed n INNER JOIN THGoodSpec s ON s.IDC = n.IDC INNER JOIN THDocument d ON d.IDC = s.DocID INNER JOIN REFGood g ON g.Code = n.GoodCode WHERE d.StoreCode = 'GS' AND COALESCE(g.TrackingKind, 0) = 0 AND n.AmountAccount >= 3 ORDER BY n.GoodCode" \
  | "$qts" sql run --book "$sb" --format csv | sed -n 2p | tr -d '\r')
check doc-new 0 '^[0-9]+ row\(s\)|^ *IDC' -- "$qts" doc show "${wo:-0}" --book "$sb"
check doc-new-bad-store 1 'no store "NOPE"' -- "$qts" doc new --book "$sb" --store NOPE
check doc-new-bad-type 1 'XYZ' -- "$qts" doc new --book "$sb" --type XYZ
check doc-add-row 0 '^1 row\(s\)' -- "$qts" doc add-row "${wo:-0}" --book "$sb" --good "$good" --amount 1
check doc-add-row-json 0 '^    "Amount": 1\.25,' -- "$qts" doc add-row "${wo:-0}" --book "$sb" --good "$good" --amount 0.25 --json
check doc-set-amount-json 0 '^        "Amount": 1,' -- "$qts" doc set-amount "${wo:-0}" --book "$sb" --pos 1 --amount 1 --json
check doc-add-row-merges 0 '^1 row\(s\)' -- "$qts" doc add-row "${wo:-0}" --book "$sb" --good "$good" --amount 0,5
check doc-add-row-not-a-number 1 'is not a number' -- "$qts" doc add-row "${wo:-0}" --book "$sb" --good "$good" --amount lots
check doc-add-row-negative 1 'greater than 0' -- "$qts" doc add-row "${wo:-0}" --book "$sb" --good "$good" --amount -2
check doc-add-row-unknown-good 1 'no item "NO-SUCH"' -- "$qts" doc add-row "${wo:-0}" --book "$sb" --good NO-SUCH --amount 1
check doc-add-row-unknown-unit 1 'has no unit "parsek"' -- "$qts" doc add-row "${wo:-0}" --book "$sb" --good "$good" --unit parsek --amount 1
check doc-add-row-unknown-doc 1 'no document 999999' -- "$qts" doc add-row 999999 --book "$sb" --good "$good" --amount 1
check doc-error-json 1 '"description": "the book has no document 999999"' -- "$qts" doc add-row 999999 --book "$sb" --good "$good" --amount 1 --json
check doc-fill-unknown-product 1 'no item "NO-SUCH"' -- "$qts" doc fill "${wo:-0}" --book "$sb" --product NO-SUCH --amount 1
check doc-fill-unknown-unit 1 'has no unit "parsek"' -- "$qts" doc fill "${wo:-0}" --book "$sb" --product "$good" --unit parsek --amount 1
check doc-refusals-wrote-nothing 0 '1\.5' -- "$qts" doc show "${wo:-0}" --book "$sb"
check doc-set-amount-no-row 1 'no row at position 9' -- "$qts" doc set-amount "${wo:-0}" --book "$sb" --pos 9 --amount 1
check doc-post 0 'posted document' -- "$qts" doc post "${wo:-0}" --book "$sb"
check doc-unpost-json 0 '"links": \[\]' -- "$qts" doc unpost "${wo:-0}" --book "$sb" --json
check doc-post-json 0 '"OutcomeSpecID": [0-9]+' -- "$qts" doc post "${wo:-0}" --book "$sb" --json
check doc-list-json 0 '"DocTypeCode": "MMO"' -- "$qts" doc list --book "$sb" --type MMO --limit 1 --json
check doc-posted-rows-stay 1 'is posted' -- "$qts" doc add-row "${wo:-0}" --book "$sb" --good "$good" --amount 1
check doc-price 0 'priced document .* from cost' -- "$qts" doc price "${wo:-0}" --book "$sb" --from cost
check doc-json 0 '"CostSumm": [1-9]' -- "$qts" doc show "${wo:-0}" --book "$sb" --json
check doc-delete 0 'deleted document' -- "$qts" doc delete "${wo:-0}" --book "$sb"
check doc-deleted 1 'no document' -- "$qts" doc show "${wo:-0}" --book "$sb"

# The write-off dialog through the dispatcher: a whole road, and refusals that write nothing.
docs() { echo "SELECT COUNT(*) AS N FROM THDocument" | "$qts" sql run --book "$sb" --format csv | tail -1 | tr -d '\r'; }
before=$(docs)
check dialog-unknown-control 1 'no control "edNope"' -- "$qts" dialog MMO --book "$sb" --new --set edNope=1 --save
check dialog-bad-date 1 'edDate.*expects a date' -- "$qts" dialog MMO --book "$sb" --new --set edDate=31.12.2026 --save
check dialog-unknown-store 1 'cbStore: "NOPE" is not among' -- "$qts" dialog MMO --book "$sb" --new --set cbStore=NOPE
check dialog-unknown-column 1 'no column "Nope"' -- "$qts" dialog MMO --book "$sb" --new --set cbDepartment=GAM --cell new:Nope=1 --save
check dialog-check 2 'Nepasirinktas padalinys' -- "$qts" dialog MMO --book "$sb" --new --cell "new:GoodCode=$good" --cell new:Amount=1 --save
check dialog-post-needs-save 1 '--post posts on saving' -- "$qts" dialog MMO --book "$sb" --new --post
check dialog-wrong-type 1 'is a PISF, not a MFC' -- "$qts" dialog MFC --book "$sb" --doc 1
check dialog-refusals-wrote-nothing 0 "^$before\$" -- docs
check dialog-road 0 'saved MMO .* posted' -- "$qts" dialog MMO --book "$sb" --new --set edDate=2026-12-31 --set cbDepartment=GAM --set cbStore=GS --cell "new:GoodCode=$good" --cell new:Amount=1 --cell "new:GoodCode=$good" --cell new:Amount=0.5 --save --post
dwo=$("$qts" doc list --book "$sb" --type MMO --limit 1 | awk '{print $1}')
check dialog-merged 0 '^1 row\(s\)' -- "$qts" doc show "$dwo" --book "$sb"
check dialog-posted-locked 1 'edNumb is read-only while the document.s IsPosted is set' -- "$qts" dialog MMO --book "$sb" --doc "$dwo" --set edNumb=X1 --save
check dialog-posted-rows 1 'rows cannot be changed' -- "$qts" dialog MMO --book "$sb" --doc "$dwo" --cell 1:Amount=5
check dialog-price 0 'Kainos apskai' -- "$qts" dialog MMO --book "$sb" --doc "$dwo" --press btSetPriceOff --save --show
check dialog-show 0 'SpecGrid: 1 eil' -- "$qts" dialog MMO --book "$sb" --doc "$dwo" --show
check dialog-json 0 '"inserted": false' -- "$qts" dialog MMO --book "$sb" --doc "$dwo" --press btSetPriceOff --save --json
check dialog-check-json 2 '"status": 2' -- "$qts" dialog MMO --book "$sb" --new --cell "new:GoodCode=$good" --cell new:Amount=1 --save --json
check dialog-interactive-input 0 'EXIT' -- bash -c "printf 'set edName Iš terminalo\nsave\nclose\n' | '$qts' dialog MMO --book '$sb' --doc '$dwo' --interactive >/dev/null; echo EXIT"
check dialog-interactive-saved 0 'Iš terminalo' -- bash -c "echo \"SELECT Name FROM THDocument WHERE IDC = $dwo\" | '$qts' sql run --book '$sb' --format csv"

# The acts: printed from the document's dialog, by qts dialog --print and by qts report --doc.
check act-needs-doc 1 'give --doc IDC' -- "$qts" report CRepWriteOff --book "$sb"
check act-listed 0 'CRepMFC .*--doc IDC' -- "$qts" report --list
check act-print 0 'printed CRepWriteOff to .*act\.html' -- "$qts" dialog MMO --book "$sb" --doc "$dwo" --print CRepWriteOff -o "$work/act.html"
check act-html 0 'PREKIŲ NURAŠYMO AKTAS' -- cat "$work/act.html"
check act-bar-code 0 '"BarCode": "402MMO ' -- "$qts" report CRepWriteOff --book "$sb" --doc "$dwo" --bar-code --format json
check act-wrong-type 1 'CRepMFC' -- "$qts" report CRepMFC --book "$sb" --doc "$dwo" --format json
mfc=$("$qts" doc list --book "$sb" --type MFC --limit 1 | awk '{print $1}')
check act-receipt 0 '"psPridave": "[^"]+"' -- "$qts" report CRepMFC --book "$sb" --doc "$mfc" --format json

# Fuel write-off of the latest December waybill of the small sample book.
wb=$("$qts" doc list --book "$sb" --type TKL --limit 1 | awk '{print $1}')
check fuel-bad-number 1 '--fuel "lots" is not a number' -- "$qts" fuel write-off --book "$sb" --parent "$wb" --fuel lots
check fuel-negative 1 '--gas -1 is negative' -- "$qts" fuel write-off --book "$sb" --parent "$wb" --fuel 5 --gas -1
check fuel-unknown-parent 1 'has no document 99999999' -- "$qts" fuel write-off --book "$sb" --parent 99999999 --fuel 5
check fuel-bad-input-wrote-nothing 1 'has no fuel write-off' -- "$qts" fuel delete --book "$sb" --parent "$wb"
check fuel-write-off 0 '^ +1 KUR[0-9]+ +l +50\.5 +50\.5 ' -- "$qts" fuel write-off --book "$sb" --parent "$wb" --fuel 50.5
check fuel-redo-unanswered 1 'no answer for the question \[20213\]' -- "$qts" fuel write-off --book "$sb" --parent "$wb" --fuel 20
check fuel-redo 0 '^ +1 KUR[0-9]+ +l +20 +20 ' -- "$qts" fuel write-off --book "$sb" --parent "$wb" --fuel 20 --answer 20213=ok
check fuel-redo-cancelled 2 'cancelled: waybill [0-9]+ keeps its write-off' -- "$qts" fuel write-off --book "$sb" --parent "$wb" --fuel 7 --answer 20213=cancel
check fuel-redo-cancelled-json 2 '"number": 20213' -- "$qts" fuel write-off --book "$sb" --parent "$wb" --fuel 7 --answer 20213=cancel --json
check fuel-too-much 2 'rests are too small' -- "$qts" fuel write-off --book "$sb" --parent "$wb" --fuel 999999 --answer 20213=ok
check fuel-too-much-json 2 '"number": 8381' -- "$qts" fuel write-off --book "$sb" --parent "$wb" --fuel 999999 --answer 20213=ok --json
fwo=$(echo "SELECT IDC FROM THDocument WHERE ParentID = $wb AND DocTypeCode = 'MMO'" | "$qts" sql run --book "$sb" --format csv | tail -1)
check fuel-refusal-kept-rows 0 '^ +[0-9]+ +1 +KUR[0-9]+ +l +20 +0 +20 ' -- "$qts" doc show "$fwo" --book "$sb"
check fuel-write-off-json 0 '"IncomeSpecID": [0-9]+' -- "$qts" fuel write-off --book "$sb" --parent "$wb" --fuel 20 --answer 20213=ok --json
check fuel-delete 0 '^deleted write-off [0-9]+ of waybill' -- "$qts" fuel delete --book "$sb" --parent "$wb"
check fuel-delete-again 1 'has no fuel write-off' -- "$qts" fuel delete --book "$sb" --parent "$wb"

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
