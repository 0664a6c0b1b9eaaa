#!/usr/bin/env bash
# Fails when a C++ file of the repository (tracked, or new and not ignored) is not formatted by .clang-format.
# The version is pinned: another clang-format formats differently. ./scripts/check-format.sh --fix formats
# them instead.
set -euo pipefail
cd "$(dirname "$0")/.."

formatter=clang-format-14
if ! command -v "$formatter" >/dev/null 2>&1; then
  echo "check-format: $formatter is missing (./scripts/install-deps.sh installs it)" >&2
  exit 1
fi

# Tracked files still in the work tree and new files git does not ignore: a file is checked before it is added.
mapfile -t files < <(git ls-files --cached --others --exclude-standard '*.cpp' '*.h' | sort -u |
  while IFS= read -r f; do [[ -f "$f" ]] && printf '%s\n' "$f"; done)
if ((${#files[@]} == 0)); then
  exit 0
fi
if [[ "${1:-}" == "--fix" ]]; then
  "$formatter" -i "${files[@]}"
  exit 0
fi
if ! "$formatter" --dry-run --Werror "${files[@]}" 2>/tmp/check-format.$$; then
  grep -o '^[^:]*\.\(cpp\|h\):' /tmp/check-format.$$ | sort -u | sed 's/:$//; s/^/check-format: not formatted: /' >&2
  rm -f /tmp/check-format.$$
  echo "check-format: run ./scripts/check-format.sh --fix" >&2
  exit 1
fi
rm -f /tmp/check-format.$$
