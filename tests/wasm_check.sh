#!/usr/bin/env bash
# The WebAssembly module and its npm package.  The suite built for
# wasm32-wasi runs under Node.js, the tests that need a process skipped; the
# npm package is installed from its file into an empty prefix, as a user
# installs it, and its command prints the release build's bytes; then the
# end-to-end table and a sample of the command-line sweep, built natively,
# run that command, reading its output through a pipe.
# Run by tests/run wasm.
set -euo pipefail
cd "$(dirname "$0")/.."
. tests/lib.sh

cmake --workflow --preset wasm
package=build/wasm/quobi-pascal-$(project_version)-node.tgz
prefix=build/wasm/npm-prefix
rm -rf "$prefix"
npm install --global --prefix "$prefix" --offline --no-audit --no-fund --loglevel=error "$package"
echo "installed $package into $prefix with node $(node --version)"
release_build
same_bytes_as_release build/release/quobi-pascal "$prefix/bin/quobi-pascal"
cmake --workflow --preset wasm-npm
