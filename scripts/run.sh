#!/usr/bin/env bash
# Installs what is missing, builds, and starts ZarevoPlusApp.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "ZarevoPlusApp needs a graphical desktop: neither DISPLAY nor WAYLAND_DISPLAY is set." >&2
  exit 1
fi
exec build/bin/ZarevoPlusApp
