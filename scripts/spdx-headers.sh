#!/usr/bin/env bash
# The licence line of every source file: "SPDX-License-Identifier: Apache-2.0" in the file's
# own comment syntax, on the first line (after a "#!" line, which must stay first).
#
#   scripts/spdx-headers.sh          add the line to every source file that lacks it
#   scripts/spdx-headers.sh --check  list the files that lack it; exit 1 when there are any
#
# Source files: the tracked C, C++, shell, Python and CMake files, the configured templates
# (*.in), the manual pages and the bash completions.  Data (images, corpora, config.ini,
# listings, golden transcripts) and the plain-text documents are not source.
set -euo pipefail
cd "$(dirname "$0")/.."
readonly tag="SPDX-License-Identifier: Apache-2.0"

# The comment that carries the tag in this file, or nothing when the file is not source.
comment_for() {
  case $1 in
    .*/* | */.*) ;;  # hidden folders and files are not the project's sources
    *.c | *.cpp | *.h) echo "// $tag" ;;
    *.sh | *.py | *.cmake | */CMakeLists.txt | CMakeLists.txt | *.pc.in | *.cmake.in |\
      completion/*) echo "# $tag" ;;
    man/*.[1-9]) echo ".\\\" $tag" ;;
  esac
}

# Carries the tag within its first five lines.
tagged() { head -n 5 "$1" | grep -qF "$tag"; }

check=0
[ "${1:-}" = "--check" ] && check=1
missing=0
while IFS= read -r file; do
  [ -f "$file" ] || continue
  comment=$(comment_for "$file")
  [ -n "$comment" ] || continue
  tagged "$file" && continue
  if [ $check = 1 ]; then
    echo "no licence line: $file"
    missing=$((missing + 1))
    continue
  fi
  if head -n 1 "$file" | grep -q '^#!'; then
    { head -n 1 "$file"; echo "$comment"; tail -n +2 "$file"; } >"$file.spdx"
  else
    { echo "$comment"; cat "$file"; } >"$file.spdx"
  fi
  chmod --reference="$file" "$file.spdx"
  mv "$file.spdx" "$file"
done < <(git ls-files)
if [ $check = 1 ] && [ $missing -gt 0 ]; then
  echo "$missing source files lack \"$tag\" near their top"
  exit 1
fi
exit 0
