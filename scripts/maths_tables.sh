#!/usr/bin/env bash
# Regenerates maths/maths_tables.inc (constants and tables) and
# maths/maths_cases.inc (hard cases with their correctly rounded values)
# from GNU MPFR (Debian libmpfr-dev). Output is deterministic.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
g++ -std=c++17 -O2 -ffp-contract=off -o "$tmp/maths_tables" "$root/scripts/maths_tables.cpp" -lmpfr -lgmp
"$tmp/maths_tables" "$root/maths/maths_tables.inc" "$root/maths/maths_cases.inc"
