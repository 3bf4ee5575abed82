#!/usr/bin/env bash
# The page for web browsers, in Debian's Chromium: tests/page/page_test.mjs
# with playwright-core and axe-core as tests/page/package-lock.json pins
# them, installed by npm ci; it leaves screenshots in build/page/.  Then
# bench/page.mjs measures how soon the first screenful of a run appears and
# the page's longest task, and prints them, ungraded: bench/run grades them.
# Run by tests/run page.
set -euo pipefail
cd "$(dirname "$0")/.."
. tests/lib.sh

# The page of the wasm preset's build, which tests/run wasm makes too: the
# release files make theirs in build/wasm-release, perhaps at the same time.
cmake --preset wasm >/dev/null
cmake --build --preset wasm --target page >/dev/null
(cd tests/page && npm ci --no-audit --no-fund --loglevel=error)
release_build
page=build/wasm/quobi-pascal-$(project_version).html
mkdir -p build/page
node tests/page/page_test.mjs "$page" build/release/quobi-pascal build/page
node bench/page.mjs "$page"
echo "screenshots: $(ls build/page/*.png | tr '\n' ' ')"
