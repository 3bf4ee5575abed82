// Makes the page, one self-contained HTML file: node build.mjs TEMPLATE
// MODULE VERSION OUTPUT.  Into the template beside this file go the version,
// the WebAssembly module compressed with gzip, in base64, the worker's code
// after the WASI layer's, the scripts that start the worker and compile the
// module, and the page's code; the page then needs no other
// file and makes no request.  Compressed, the module is less than half its
// size, and the browser has the page read and shown that much sooner.
import { readFileSync, writeFileSync } from 'node:fs';
import { gzipSync } from 'node:zlib';

const [template, module, version, output] = process.argv.slice(2);
const source = (name) => readFileSync(new URL(name, import.meta.url), 'utf8');
// The worker's import of the layer is the layer itself, which comes first,
// as a classic script: a page opened from disk has no origin, and Chromium
// starts no module worker for it.
const worker = source('../wasi.js').replace(/^export /gm, '') +
	source('worker.js').replace(/^import .*\n/m, '');
const parts = {
	VERSION: version,
	MODULE: gzipSync(readFileSync(module), { level: 9 }).toString('base64'),
	WORKER: worker,
	START: source('start.js'),
	COMPILE: source('compile.js'),
	PAGE: source('page.js'),
};
for (const [name, text] of Object.entries(parts))
	if (/<\/script/i.test(text))
		throw new Error(`${name} holds </script, which would end its script element`);
const page = readFileSync(template, 'utf8').replace(/@(VERSION|MODULE|WORKER|START|COMPILE|PAGE)@/g,
	(_, name) => parts[name]);
writeFileSync(output, page);
