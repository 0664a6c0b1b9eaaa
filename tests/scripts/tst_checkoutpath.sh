#!/usr/bin/env bash
# tests/scripts/tst_checkoutpath.sh <source tree> <entry> [cmake options...]
# Copies the source tree (without its build trees and its history) to "My Projects/Lümesk app" in TMPDIR,
# configures it there with the options given, builds the entry's program (a target of the same name) and
# runs the entry with ctest. Fails when any step fails or the entry did not run.
set -u
source=$1
entry=$2
shift 2
tree=$(mktemp -d "${TMPDIR:-/tmp}/checkoutpath-XXXXXX") || exit 1
trap 'rm -rf "$tree"' EXIT
copy="$tree/My Projects/Lümesk app"
mkdir -p "$copy" || exit 1
step() {
  local name=$1
  shift
  if ! "$@" >"$tree/out" 2>&1; then
    echo "FAIL: $name in \"$copy\""
    tail -n 60 "$tree/out"
    exit 1
  fi
}
step "copying the tree" tar -C "$source" --exclude=./build --exclude=./.git -cf "$tree/tree.tar" .
step "unpacking the tree" tar -C "$copy" -xf "$tree/tree.tar"
rm -f "$tree/tree.tar"
# The compiler cache takes paths below the copy as relative ones, so a second run finds the first's objects.
export CCACHE_BASEDIR=$tree
step "configuring" cmake -S "$copy" -B "$copy/build/test" -G Ninja "$@"
step "building $entry" cmake --build "$copy/build/test" -j 2 --target "$entry"
step "running $entry" ctest --test-dir "$copy/build/test" --output-on-failure --no-tests=error -R "^${entry}\$"
echo "PASS: $entry in \"$copy\""
