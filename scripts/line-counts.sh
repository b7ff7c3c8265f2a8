#!/bin/sh
# Non-blank lines of C++ in the tree: tests (tests/) against the rest
# (module, host, tools, benchmarks), per top folder. Usage: scripts/line-counts.sh
set -eu
cd "$(dirname "$0")/.."
count() { git ls-files "$@" | grep -E '\.(cpp|h)$' | xargs -r grep -cv '^[[:space:]]*$' | awk -F: '{s += $2} END {print s + 0}'; }
tests=$(count 'tests/*')
code=$(git ls-files | grep -E '\.(cpp|h)$' | grep -v '^tests/' | xargs -r grep -cv '^[[:space:]]*$' | awk -F: '{s += $2} END {print s + 0}')
for dir in $(git ls-files | grep -E '\.(cpp|h)$' | cut -d/ -f1-2 | sort -u); do
  printf '%6d  %s\n' "$(count "$dir/*")" "$dir"
done | awk '$1 > 0'
echo "tests $tests, code $code: tests are $(awk -v t="$tests" -v c="$code" 'BEGIN { printf "%.1f", 100 * t / c }')% of the code"
