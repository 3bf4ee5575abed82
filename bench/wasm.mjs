// Times quobi-pascal's WebAssembly module in Node.js: node wasm.mjs MODULE
// RUNS runs `quobi-pascal 1000` RUNS times, each from a new instance of the
// compiled module to its exit, with standard output written to a sink that
// only counts the bytes.  Prints the fastest run's seconds and the bytes
// that it wrote; fails when a run does not exit with status 0.
import { readFileSync } from 'node:fs';

import { run } from '../wasm/wasi.js';

const [path, runs] = process.argv.slice(2);
const module = new WebAssembly.Module(readFileSync(path));
let fastest = Infinity, bytes = 0;
for (let i = 0; i < Number(runs); i++) {
	let written = 0;
	const sink = {
		write(fd, text) {
			written += fd === 1 ? text.length : 0;
			return 0;
		},
		isTerminal: () => false,
	};
	const started = performance.now();
	const status = run(module, ['1000'], sink);
	fastest = Math.min(fastest, performance.now() - started);
	if (status !== 0)
		throw new Error(`quobi-pascal 1000 exited with status ${status}`);
	bytes = written;
}
console.log((fastest / 1000).toFixed(6), bytes);
