#!/usr/bin/env bash
# Sets up the machine, builds the native tool and shows the bundled example file.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)" --target tagscope
verb=dump
if build/linux/cli/tagscope show --help >/dev/null 2>&1; then verb=show; fi
build/linux/cli/tagscope "$verb" examples/example.mp3
