#!/usr/bin/env node
// quobi-pascal on Node.js: the tool's WebAssembly module, run with the
// command line's arguments, writing to this process's standard output and
// standard error, and ending it with the module's exit status.  Nothing of
// Node.js's own reaches standard error.
import { readFileSync, writeSync } from 'node:fs';
import { isatty } from 'node:tty';

import { errnoNumber, run } from '../lib/wasi.js';

// A pipe that another program left non-blocking refuses a write while it is
// full; the write waits for its reader, as a blocking one would.
const pause = new Int32Array(new SharedArrayBuffer(4));

// Deno's writeSync, node:fs's and its own streams' alike, writes what it
// can and then throws EAGAIN, which loses the count of what it wrote: a
// reader of a non-blocking pipe got the same bytes again and again (Deno
// 2.9, measured).  A write to a pipe of at most PIPE_BUF bytes, 4096 on
// Linux, is written whole or not at all, so there each write takes that
// much at most.
const most = globalThis.Deno ? 4096 : Infinity;

function write(fd, bytes) {
	for (let done = 0; done < bytes.length;) {
		try {
			done += writeSync(fd, bytes, done, Math.min(bytes.length - done, most));
		} catch (error) {
			if (error.code !== 'EAGAIN')
				return errnoNumber(error.code);
			Atomics.wait(pause, 0, 0, 1);
		}
	}
	return 0;
}

let status;
try {
	const bytes = readFileSync(new URL('../lib/quobi-pascal.wasm', import.meta.url));
	status = run(new WebAssembly.Module(bytes), process.argv.slice(2),
		{ write, isTerminal: isatty });
} catch (error) {
	write(2, new TextEncoder().encode(`quobi-pascal: ${error.message}\n`));
	status = 2;
}
process.exit(status);
