#!/usr/bin/env bash
# Runs every benchmark program of the given bin folder (default: the dev build).
set -euo pipefail
bin=${1:-$(cd "$(dirname "$0")/.." && pwd)/build/dev/bin}
for b in "$bin"/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b"
done
