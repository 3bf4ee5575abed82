// Starts the tool's worker as soon as the browser has read its code, at the
// head of the page: a worker takes a browser the longest to start.  A
// classic script, so that it runs where it stands.
const toolWorker = new Worker(URL.createObjectURL(
	new Blob([document.getElementById('worker').textContent], { type: 'text/javascript' })));
