#!/usr/bin/env bash
# Sets up, builds and starts Tessivar; arguments are passed on to it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tessivar tessivar-jet
exec build/bin/tessivar "$@"
