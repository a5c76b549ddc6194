#!/usr/bin/env bash
# Configures and builds ZarevoPlus into build/ (or the folder given as $1,
# with any further arguments passed to cmake's configure step).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${1:-build}"
shift || true
cmake -S . -B "$build_dir" "$@"
cmake --build "$build_dir" -j2
