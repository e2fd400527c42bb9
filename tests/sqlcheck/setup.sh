#!/usr/bin/env bash
# Installs the SQL parser package of the dialect tests into a folder of the build tree, from the
# pinned lock file; does nothing when it is there already.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
dest="$1"
mkdir -p "$dest"
cp "$here/package.json" "$here/package-lock.json" "$dest/"
if [ -f "$dest/node_modules/node-sql-parser/package.json" ] && \
   cmp -s "$here/package-lock.json" "$dest/node_modules/.package-lock-source.json" 2>/dev/null; then
  exit 0
fi
cd "$dest"
npm ci --no-audit --no-fund --loglevel=error
cp "$here/package-lock.json" "$dest/node_modules/.package-lock-source.json"
