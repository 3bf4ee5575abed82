// The page's own code.  It runs quobi-pascal's WebAssembly module in a
// worker, so that the page keeps answering during a run, with the command
// line typed into the field, and shows what the run wrote.  Standard output
// can be 10 MB in 1000 lines of up to 10,600 characters.  It is all text of
// the page, so that the browser's own Find, selection and copy, and screen
// readers, reach every character: a line an element, long lines in pieces,
// which the browser lays out only near the screen (content-visibility),
// added a block at a time as the run writes it, each block a task of its
// own.  The field's text is the address's fragment, so that a run can be
// linked and Back goes to the run before.

const $ = (id) => document.getElementById(id);
const form = $('command'), field = $('args'), status = $('status');
const viewer = $('stdout'), end = viewer.querySelector('.end');
let text = viewer.querySelector('pre');
const errorBox = $('error-box'), stderr = $('stderr');
const save = $('save'), copy = $('copy'), copied = $('copied');

// The arguments that a POSIX shell makes of text: blanks separate them;
// single quotes keep every character up to the next one; double quotes keep
// blanks, and in them a backslash keeps ", \, $ or ` ; a backslash elsewhere
// keeps the next character.  Quoted and unquoted pieces with no blank
// between them are one argument, and "" or '' alone is an empty one.
// Throws an Error that says what is wrong when a quote is not closed.
function splitArguments(text) {
	const args = [];
	let arg = null;  // null between arguments
	for (let i = 0; i < text.length; i++) {
		const c = text[i];
		if (c === ' ' || c === '\t' || c === '\n') {
			if (arg !== null)
				args.push(arg);
			arg = null;
			continue;
		}
		arg ??= '';
		if (c === "'") {
			const end = text.indexOf("'", i + 1);
			if (end < 0)
				throw new Error('a single quote is not closed');
			arg += text.slice(i + 1, end);
			i = end;
		} else if (c === '"') {
			for (i++; i < text.length && text[i] !== '"'; i++) {
				if (text[i] === '\\' && '"\\$`'.includes(text[i + 1]))
					i++;
				arg += text[i];
			}
			if (i >= text.length)
				throw new Error('a double quote is not closed');
		} else if (c === '\\' && i + 1 < text.length) {
			arg += text[++i];
		} else {
			arg += c;
		}
	}
	if (arg !== null)
		args.push(arg);
	return args;
}

// The worker, which the page's first script started, with the module.
const worker = toolWorker;

let runs = 0;       // runs asked for; only the last one's output is shown
let output;        // the last run's standard output so far

// Standard output as it arrives: its blocks as the worker sent them, for
// the save link and the copy button; the text after its last newline so
// far; its count of lines and its longest; and whether the run has ended.
function emptyOutput(id) {
	return { id, blocks: [], rest: '', lines: 0, columns: 0, ended: false,
		shown: false, opened: false };
}

function run(typed) {
	field.value = typed;
	runs++;
	output = emptyOutput(runs);
	decoder = new TextDecoder();
	waiting = [];
	draining = false;
	// A new element for the text: taking the last run's out of the page at
	// once is far quicker than taking out its lines one by one.
	const next = text.cloneNode(false);
	next.append(end);
	text.replaceWith(next);
	text = next;
	fit();
	viewer.scrollTo(0, 0);
	copy.disabled = true;
	save.setAttribute('aria-disabled', 'true');
	save.removeAttribute('href');
	copied.value = '';
	performance.mark(`run ${runs}`);
	let args;
	try {
		args = splitArguments(typed);
	} catch (error) {
		finish({ err: `The command line is incomplete: ${error.message}.`, status: 'not run' });
		return;
	}
	status.value = 'running';
	worker.postMessage({ id: runs, args });
}

worker.onmessage = ({ data }) => {
	if (data.id !== runs)
		return;
	if (data.times)
		markWorker(data.id, data.times);
	if (data.out)
		append(data.out);
	else
		finish(data);
};
worker.onerror = (event) => {
	finish({ err: `The tool could not run: ${event.message}`, status: 'not run' });
};

// Puts the worker's start and a run's start in the worker on the page's
// timeline, and marks the run's first output.
function markWorker(id, { started, ran }) {
	const at = (time) => ({ startTime: time - performance.timeOrigin });
	if (!performance.getEntriesByName('worker started').length)
		performance.mark('worker started', at(started));
	performance.mark(`worker ran ${id}`, at(ran));
	performance.mark(`first output ${id}`);
}

// Takes a block of standard output: the lines that it ends go into the
// queue of lines for the page, and what follows its last newline waits
// for the next block.
let decoder = new TextDecoder();
function append(block) {
	output.blocks.push(block);
	const lines = (output.rest + decoder.decode(block, { stream: true })).split('\n');
	output.rest = lines.pop();
	queue(lines.map((line) => `${line}\n`));
}

// Lines wait in a queue and go into the page a batch a task, each batch
// what a few milliseconds make, so that no task holds up the page, and the
// first batch small, so that the first screenful shows at the next frame.
let waiting = [], draining = false;
const budget = 8;
const firstBatch = 64;
function queue(lines) {
	waiting.push(...lines);
	if (!draining) {
		draining = true;
		drain(output);
	}
}
function drain(shown) {
	if (shown !== output)
		return;
	draining = false;
	const fragment = document.createDocumentFragment(), start = performance.now();
	const most = output.lines === 0 ? firstBatch : Infinity;
	let taken = 0;
	while (taken < waiting.length && taken < most &&
		(taken === 0 || performance.now() - start < budget)) {
		const line = waiting[taken++];
		fragment.append(lineElement(line));
		output.columns = Math.max(output.columns, line.length - (line.endsWith('\n') ? 1 : 0));
	}
	waiting = taken === waiting.length ? [] : waiting.slice(taken);
	output.lines += taken;
	text.insertBefore(fragment, end);
	fit();
	update();
	if (waiting.length) {
		// Until the first screenful is drawn, the next batch waits for a
		// frame: WebKit draws none while tasks are waiting.
		draining = true;
		if (output.shown)
			setTimeout(drain, 0, shown);
		else
			requestAnimationFrame(() => setTimeout(drain, 0, shown));
	} else if (output.ended) {
		showEnd();
	}
}

// A line of the output with its newline, if it has one; a line longer than a piece
// in pieces that end at a blank where one is near, so that Find meets no
// number cut in two.  A piece is as wide as its characters, which the
// browser needs to know before it lays the piece out.
const pieceLength = 1024;
function lineElement(withNewline) {
	const element = document.createElement('span');
	element.className = 'line';
	if (withNewline.length <= pieceLength) {
		element.textContent = withNewline;
		return element;
	}
	const newline = withNewline.endsWith('\n') ? '\n' : '';
	const line = newline ? withNewline.slice(0, -1) : withNewline;
	for (let at = 0; at < line.length;) {
		let stop = Math.min(at + pieceLength, line.length);
		const blank = line.lastIndexOf(' ', stop - 1);
		if (stop < line.length && blank >= at)
			stop = blank + 1;
		const piece = document.createElement('span');
		piece.className = 'piece';
		piece.textContent = line.slice(at, stop);
		piece.style.containIntrinsicWidth = `auto ${stop - at}ch`;
		element.append(piece);
		at = stop;
	}
	element.append(newline);
	return element;
}

// Makes the text as wide as its longest line, and on a screen too narrow
// for a centred layout's 80 columns, shrinks its font until they fit: the
// whole triangle shows at once, and the person zooms for detail.  Wider
// output scrolls sideways at the page's own size.
const fitColumns = 80;
function fit() {
	const { columns } = output;
	text.style.fontSize = '';
	text.style.minWidth = `calc(${columns}ch + 1rem)`;
	if (columns === 0 || columns > fitColumns)
		return;
	const style = getComputedStyle(text);
	const padding = parseFloat(style.paddingLeft) + parseFloat(style.paddingRight);
	const width = parseFloat(style.minWidth) - padding, room = viewer.clientWidth - padding;
	if (width > room)
		text.style.fontSize = `${Math.floor(parseFloat(style.fontSize) * room / width * 100) / 100}px`;
}

// Takes how the run ended: the last line if it had no newline, standard
// error, which shows at once, and the status, which shows once every line
// is in the page.
function finish({ err, status: exitStatus }) {
	const last = output.rest + decoder.decode();
	output.rest = '';
	output.ended = true;
	output.status = exitStatus;
	stderr.value = err;
	errorBox.hidden = err === '';
	if (last)
		queue([last]);
	else if (!draining)
		showEnd();
}

// Once every line is in the page: the status shows, and the output becomes
// the target of the save link and the copy button.
let saved = null;  // the address of the saved output's Blob
function showEnd() {
	update();
	status.value = String(output.status);
	if (output.status !== 'not run')
		setTimeout(keep, 0, output, 0, []);
	const { id } = output;
	requestAnimationFrame(() => performance.measure(`shown ${id}`, `run ${id}`));
}

// Puts the output of a run that has ended in a Blob for the save link and
// the copy button, a few blocks at a time, each batch a task of its own:
// one Blob of 10 MB made at once holds up the page for a tenth of a second.
// A Blob of Blobs copies nothing.
const blocksPerTask = 8;
function keep(ended, from, blobs) {
	if (ended !== output)
		return;
	if (from < ended.blocks.length) {
		blobs.push(new Blob(ended.blocks.slice(from, from + blocksPerTask)));
		setTimeout(keep, 0, ended, from + blocksPerTask, blobs);
		return;
	}
	if (saved)
		URL.revokeObjectURL(saved);
	ended.blob = new Blob(blobs, { type: 'text/plain' });
	saved = URL.createObjectURL(ended.blob);
	save.href = saved;
	save.removeAttribute('aria-disabled');
	copy.disabled = false;
	save.dataset.run = ended.id;
}

// fn, to be called at the next frame, once however often it is asked for
// before then.
function atNextFrame(fn) {
	let asked = false;
	return () => {
		if (asked)
			return;
		asked = true;
		requestAnimationFrame(() => {
			asked = false;
			fn();
		});
	};
}

// Marks the moment when the first screenful appears: once the output fills
// the viewer, or is all there; and opens a first line wider than the
// viewer at its middle.
const update = atNextFrame(() => {
	if (!output.opened && output.lines > 0)
		openAtFirstLine();
	const lineHeight = parseFloat(getComputedStyle(text).lineHeight);
	const allIn = output.ended && waiting.length === 0;
	if (!output.shown && (allIn || output.lines * lineHeight >= viewer.clientHeight)) {
		output.shown = true;
		performance.measure(`first screen ${output.id}`, `run ${output.id}`);
	}
});

// Where the output is wider than the viewer, as a long plain line is on a
// phone's screen, opens it at the middle of what its first line shows: the
// apex of the triangle, or the start of a plain line.
function openAtFirstLine() {
	output.opened = true;
	const first = text.firstChild;
	const line = first.textContent;
	const from = line.search(/\S/), to = line.search(/\s*$/);
	if (from < 0 || first.firstChild.nodeType !== Node.TEXT_NODE)
		return;
	const range = document.createRange();
	range.setStart(first.firstChild, from);
	range.setEnd(first.firstChild, to);
	const shown = range.getBoundingClientRect(), box = viewer.getBoundingClientRect();
	const middle = (shown.left + shown.right) / 2 - box.left + viewer.scrollLeft;
	viewer.scrollLeft = Math.max(0, middle - viewer.clientWidth / 2);
}

// Ctrl+A (Command+A) in the output selects the output alone.
viewer.addEventListener('keydown', (event) => {
	if ((event.ctrlKey || event.metaKey) && !event.altKey && event.key.toLowerCase() === 'a') {
		event.preventDefault();
		getSelection().selectAllChildren(text);
	}
});
// A new size of the viewer may need another size of font.
new ResizeObserver(fit).observe(viewer);

// The output goes to the clipboard from the click's own task: WebKit, as in
// Safari, lets a page write there only while it handles the click, and
// awaiting the text first would leave that task.  The Blob goes as it is.
copy.addEventListener('click', () => {
	const { blob } = output;
	const written = typeof ClipboardItem === 'function'
		? navigator.clipboard.write([new ClipboardItem({ 'text/plain': blob })])
		: blob.text().then((text) => navigator.clipboard.writeText(text));
	written.then(() => {
		copied.value = 'Copied.';
	}, (error) => {
		copied.value = `Not copied: ${error.message}`;
	});
});

output = emptyOutput(0);
output.ended = true;

// The address's fragment holds the field's text, percent-encoded.  Running
// puts the text there, which makes a new history entry and runs it; opening
// the page, and Back and Forward, run what the fragment holds.
function fragmentText() {
	const text = location.hash.slice(1);
	try {
		return decodeURIComponent(text);
	} catch {
		return text;
	}
}
form.addEventListener('submit', (event) => {
	event.preventDefault();
	const fragment = encodeURIComponent(field.value);
	if (fragment === location.hash.slice(1))
		run(field.value);
	else
		location.hash = fragment;
});
addEventListener('hashchange', () => run(fragmentText()));
run(fragmentText());
