#!/usr/bin/env bash
# Runs one case of cases.txt in a scratch folder and compares its standard
# output, standard error and exit status with what is expected:
# expected/NAME.out, and expected/NAME.err (no such file: nothing at all on
# standard error). In the command, T is the installed tool and D this folder.
# Usage: run_case.sh TOOL NAME
set -uo pipefail
T=$1 name=$2
D=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
line=$(grep -E "^$name *\|" "$D/cases.txt")
if [ -z "$line" ]; then
  echo "no case $name in cases.txt"
  exit 1
fi
IFS='|' read -r _ want_status cmd <<<"$line"
want_status=${want_status// /}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export T D
cd "$work"
bash -o pipefail -c "$cmd" >"$work/stdout" 2>"$work/stderr"
status=$?
fail=0
if [ "$status" != "$want_status" ]; then
  echo "exit status $status, expected $want_status"
  fail=1
fi
diff -u "$D/expected/$name.out" "$work/stdout" || fail=1
if [ -f "$D/expected/$name.err" ]; then
  diff -u "$D/expected/$name.err" "$work/stderr" || fail=1
elif [ -s "$work/stderr" ]; then
  echo "unexpected standard error:"
  cat "$work/stderr"
  fail=1
fi
exit $fail
