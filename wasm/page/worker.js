// The page's worker: it takes quobi-pascal's module, compiled, from the
// page, then runs it for each command line that the page sends.  It sends each block of
// standard output as the module writes it, so that the page can show the
// first lines of a long run at once, then standard error and the exit
// status.  The page puts this file, without its import, after the WASI
// layer in one classic script.
import { run } from '../wasi.js';

// The module, once the page has sent it, and whether it has run long
// enough to have its faster code.  Runs asked for before it came wait.
let ready;
const compiled = new Promise((resolve) => {
	ready = resolve;
});
let warm = false;
// When this worker's code began, and below when each run began, sent with
// the run's first output, so that the page can put them on its timeline:
// where the time goes when the page opens.
const startedAt = performance.timeOrigin + performance.now();

onmessage = ({ data }) => {
	if (data.module || data.error) {
		ready(data.module ? data.module : Promise.reject(new Error(data.error)));
		return;
	}
	compiled.then((module) => {
		const { id } = data;
		let times = { started: startedAt, ran: performance.timeOrigin + performance.now() };
		let err = '';
		const decoder = new TextDecoder();
		const host = {
			write(fd, bytes) {
				if (fd === 1) {
					const block = bytes.slice();
					postMessage({ id, out: block, times }, [block.buffer]);
					times = undefined;
				} else {
					err += decoder.decode(bytes, { stream: true });
				}
				return 0;
			},
			isTerminal: () => false,
		};
		const status = run(module, data.args, host);
		postMessage({ id, err: err + decoder.decode(), status });
		// The browser compiles a function when it is first called, and
		// faster code for it once it has run a while: a run of 200
		// lines now, after the first, spares the first long one both.
		if (!warm) {
			warm = true;
			run(module, ['200'], { write: () => 0, isTerminal: () => false });
		}
	}, (error) => postMessage({ id: data.id, err: `The tool could not start: ${error.message}`,
		status: 'not run' }));
};
