#!/usr/bin/env bash
# Builds the converter and converts the bundled example.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target zevi-convert
mkdir -p build/out
build/bin/zevi-convert --force -o build/out/walk.gps build/bin/examples/walk.txt
echo "Output: build/out/walk.gps"
cat build/out/walk.gps
