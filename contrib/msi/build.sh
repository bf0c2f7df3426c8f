#!/usr/bin/env bash
# Builds the MSI of one Windows build: build.sh VERSION x86|x64 BUILD_DIR OUT.msi
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
version="$1" arch="$2" out="$(realpath -m "$4")"
# wixl takes source files by paths relative to where it runs.
bin="$(realpath --relative-to="$ROOT" "$3")"
cd "$ROOT"
wixl -D Version="$version" -D Arch="$arch" -D Bin="$bin" -D Icon=app/res/quorvin.ico \
    -a "$arch" -o "$out" contrib/msi/quorvin.wxs
