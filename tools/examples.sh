#!/usr/bin/env bash
# Sets up, builds and runs the main job: every bundled example through the command-line host.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target kestrol >/dev/null
for script in examples/scripts/*.json; do
  echo "== $script"
  build/default/host/kestrol run "$script"
done
