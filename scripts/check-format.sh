#!/usr/bin/env bash
# Checks that the C and C++ sources follow .clang-format: lists every file
# that clang-format would change and fails if there is one. With file names
# as arguments, checks only those; otherwise every tracked source.
# Fix a file with: clang-format -i <file>
set -euo pipefail
cd "$(dirname "$0")/.."
clang_format="${CLANG_FORMAT:-clang-format}"
if [ "$#" -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(git ls-files '*.c' '*.h' '*.cpp')
fi
unformatted=0
for file in "${files[@]}"; do
  if ! "$clang_format" --dry-run --Werror "$file" >/dev/null 2>&1; then
    echo "needs formatting: $file"
    unformatted=$((unformatted + 1))
  fi
done
if [ "$unformatted" -gt 0 ]; then
  echo "$unformatted file(s) differ from .clang-format" >&2
  exit 1
fi
echo "all ${#files[@]} files follow .clang-format"
