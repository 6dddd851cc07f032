#!/usr/bin/env bash
# Redraws the README's pictures in docs/ on Qt's offscreen platform.
set -euo pipefail
cd "$(dirname "$0")/.."
make build >/dev/null
LANG=en_US.UTF-8 QT_QPA_PLATFORM=offscreen build/tools/quorvel-screenshots docs
ls -l docs/*.png
