// Runs a WebAssembly module for WASI under Node.js, as the emulator of the
// wasm32-wasi build: node wasi_run.mjs MODULE [ARGUMENT...].  The module
// sees the arguments, the environment and the whole file system, as a
// program of this machine would, and its exit status is the process's.
import { readFileSync } from 'node:fs';
import { WASI } from 'node:wasi';

const [path, ...args] = process.argv.slice(2);
const wasi = new WASI({
	version: 'preview1',
	args: [path, ...args],
	env: process.env,
	preopens: { '/': '/' },
	returnOnExit: true,
});
const module = new WebAssembly.Module(readFileSync(path));
const instance = new WebAssembly.Instance(module, wasi.getImportObject());
process.exitCode = wasi.start(instance);
