#!/usr/bin/env bash
# The page for web browsers, in Debian's Chromium, Firefox and WebKit: the
# same tests/page/page_test.mjs in each, driven as tests/page/engines.mjs
# says, with the drivers and axe-core that tests/page/package-lock.json pins,
# installed by npm ci; WebKit under xvfb-run, in an X display of its own.
# Each engine's run prints its name, version and checks passed and failed,
# and leaves screenshots in build/page/.  How soon the page shows its first
# screenful is bench/run's to measure.
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
failed=()
for engine in chromium firefox webkit; do
	xvfb-run -a node tests/page/page_test.mjs "$engine" "$page" build/release/quobi-pascal build/page ||
		failed+=("$engine")
done
echo "screenshots: $(ls build/page/*.png | tr '\n' ' ')"
((${#failed[@]} == 0)) || fail "the page in ${failed[*]}"
