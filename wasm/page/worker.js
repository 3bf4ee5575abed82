// The page's worker: it compiles quobi-pascal's module once, then runs it
// for each command line that the page sends.  It sends each block of
// standard output as the module writes it, so that the page can show the
// first lines of a long run at once, then standard error and the exit
// status.  The page puts this file, without its import, after the WASI
// layer in one classic script.
import { run } from '../wasi.js';

let module;

onmessage = ({ data }) => {
	if (data.module) {
		const bytes = Uint8Array.from(atob(data.module), (c) => c.charCodeAt(0));
		module = new WebAssembly.Module(bytes);
		// The browser compiles a function when it is first called, and
		// faster code for it once it has run a while: a short run now
		// spares the first long one both.
		run(module, ['200'], { write: () => 0, isTerminal: () => false });
		return;
	}
	const { id } = data;
	let err = '';
	const decoder = new TextDecoder();
	const host = {
		write(fd, bytes) {
			if (fd === 1) {
				const block = bytes.slice();
				postMessage({ id, out: block }, [block.buffer]);
			} else {
				err += decoder.decode(bytes, { stream: true });
			}
			return 0;
		},
		isTerminal: () => false,
	};
	const status = run(module, data.args, host);
	postMessage({ id, err: err + decoder.decode(), status });
};
