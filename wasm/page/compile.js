// Compiles the tool's module as soon as the browser has read it, while the
// worker starts and the browser reads the rest of the page, and hands it to
// the worker ready to run.  The module is in the page as base64 of its gzip.
(async () => {
	const text = document.getElementById('module').textContent.trim();
	const gzip = typeof Uint8Array.fromBase64 === 'function' ? Uint8Array.fromBase64(text)
		: Uint8Array.from(atob(text), (c) => c.charCodeAt(0));
	const bytes = new Blob([gzip]).stream().pipeThrough(new DecompressionStream('gzip'));
	return WebAssembly.compile(await new Response(bytes).arrayBuffer());
})().then((module) => {
	performance.mark('module compiled');
	toolWorker.postMessage({ module });
},
	(error) => toolWorker.postMessage({ error: error.message }));
