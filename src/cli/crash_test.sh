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

# --- qts book create: a book is made in a temporary beside its place and moved there whole ---
# The writes of a creation of the small sample company: the first kill point at which it
# finishes, found by doubling and then halving. Every kill point tried on the way must leave
# no file at the target.
target=$work/created.db
temporaries() { find "$work" -maxdepth 1 -name '.created.db.*.new' | wc -l; }
create_killed_at() {
  checks=$((checks + 1))
  rm -f "$target"
  if killed_at "$1" "$qts" book create "$target" --code UAB --sample small; then
    if [ -e "$target" ]; then
      fail "book create killed after write $1 left a file at the target"
    elif [ "$(temporaries)" -gt 1 ]; then
      fail "book create killed after write $1: $(temporaries) temporaries (the dead ones stay)"
    fi
    return 0
  fi
  return 1
}
low=0     # killed here
high=1    # finishes here
kills=0
while create_killed_at "$high"; do
  low=$high
  high=$((high * 2))
  kills=$((kills + 1))
done
while [ $((high - low)) -gt 1 ]; do
  mid=$(((low + high) / 2))
  if create_killed_at "$mid"; then low=$mid; kills=$((kills + 1)); else high=$mid; fi
done
# `low` is the creation's last write, its final commit: killed right after it, before the
# move, there is still no book.
if [ "$kills" -lt 10 ] || [ "$low" -lt 1000 ]; then
  fail "book create: the kill hook stopped it only $kills times (last write $low)"
else
  ok "book create killed at $kills points up to its last write (write $low): no book left at the target"
fi
checks=$((checks + 1))
rm -f "$target"
if "$qts" book create "$target" --code UAB --sample small >"$work/out" 2>&1 &&
  [ "$(sqlite3 "$target" 'PRAGMA integrity_check')" = ok ] && [ "$(temporaries)" -eq 0 ]; then
  ok "book create after the kills: a whole book, the dead makers' temporaries removed"
else
  fail "book create after the kills: $(head -c 300 "$work/out"); $(temporaries) temporaries left"
fi
checks=$((checks + 1))
if "$qts" doc list --book "$target" --limit 1 >/dev/null 2>&1; then
  ok "the created book opens"
else
  fail "the created book does not open"
fi

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
