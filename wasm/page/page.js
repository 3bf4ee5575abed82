// The page's own code.  It runs quobi-pascal's WebAssembly module in a
// worker, so that the page keeps answering during a run, with the command
// line typed into the field, and shows what the run wrote.  Standard output
// can be 10 MB in 1000 lines of up to 21,000 characters; one element
// holding it all takes a second to lay out, so the viewer only ever holds
// the lines and columns that its box shows, and scrolling redraws them.
// The field's text is the address's fragment, so that a run can be linked
// and Back goes to the run before.

const $ = (id) => document.getElementById(id);
const form = $('command'), field = $('args'), status = $('status');
const viewer = $('stdout'), sizer = viewer.querySelector('.sizer');
const view = viewer.querySelector('.window');
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

// Standard output as it arrives: its blocks as the worker sent them, where
// each block starts in the output, where each line starts, the longest line,
// and whether the run has ended.  The blocks are never copied into one: 10 MB
// of new memory takes the page's thread too long on some machines.
function emptyOutput(id) {
	return { id, blocks: [], offsets: [], length: 0, starts: [0], columns: 0,
		ended: false, shown: false, opened: false };
}

// The text of the output from byte from up to byte to.
function slice(from, to) {
	const { blocks, offsets } = output;
	let low = 0, high = blocks.length - 1;
	while (low < high) {
		const middle = (low + high + 1) >> 1;
		if (offsets[middle] <= from)
			low = middle;
		else
			high = middle - 1;
	}
	let text = '';
	for (let b = low; b < blocks.length && offsets[b] < to; b++)
		text += decoder.decode(blocks[b].subarray(Math.max(from - offsets[b], 0),
			Math.min(to - offsets[b], blocks[b].length)));
	return text;
}

function run(text) {
	field.value = text;
	runs++;
	output = emptyOutput(runs);
	viewer.scrollTo(0, 0);
	resize();
	copy.disabled = true;
	save.setAttribute('aria-disabled', 'true');
	save.removeAttribute('href');
	copied.value = '';
	performance.mark(`run ${runs}`);
	let args;
	try {
		args = splitArguments(text);
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

// Adds a block of standard output, finds its lines, and shows the first
// screenful as soon as there is one.
function append(block) {
	const { starts } = output;
	for (let at = block.indexOf(10); at >= 0; at = block.indexOf(10, at + 1)) {
		const end = output.length + at;
		output.columns = Math.max(output.columns, end - starts[starts.length - 1]);
		starts.push(end + 1);
	}
	output.blocks.push(block);
	output.offsets.push(output.length);
	output.length += block.length;
	update();
}

// Shows how the run ended: the last line if it had no newline, standard
// error and the status; and makes the output the target of the save link
// and the copy button.
let saved = null;  // the address of the saved output's Blob
function finish({ err, status: exitStatus }) {
	const { starts } = output;
	if (starts[starts.length - 1] < output.length) {
		output.columns = Math.max(output.columns, output.length - starts[starts.length - 1]);
		starts.push(output.length);
		output.unfinished = true;
	}
	output.ended = true;
	update();
	stderr.value = err;
	errorBox.hidden = err === '';
	status.value = String(exitStatus);
	if (exitStatus !== 'not run')
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

// Redraws the output, and marks the moment when the first screenful
// appears: once the output fills the viewer, or is all there.
const update = atNextFrame(() => {
	resize();
	if (!output.opened && output.starts.length > 1)
		openAtFirstLine();
	const lines = output.starts.length - 1;
	if (!output.shown && (output.ended || lines * cell.height >= viewer.clientHeight)) {
		output.shown = true;
		performance.measure(`first screen ${output.id}`, `run ${output.id}`);
	}
});

// Where the output is wider than the viewer, as the centred triangle is on
// a phone's screen, opens it at the middle of what its first line shows:
// the apex of the triangle, or the start of a plain line.
function openAtFirstLine() {
	output.opened = true;
	const line = slice(0, output.starts[1] - 1);
	const first = line.search(/\S/), last = line.search(/\s*$/);
	if (first < 0)
		return;
	const middle = margin + (first + last) / 2 * cell.width;
	viewer.scrollLeft = Math.max(0, middle - viewer.clientWidth / 2);
	draw();
}

// The size of a character and of a line in the viewer's monospace font.
const cell = { width: 8, height: 16 };
function measure() {
	const probe = document.createElement('span');
	probe.style.cssText = 'position: absolute; visibility: hidden; white-space: pre';
	probe.textContent = `${'0'.repeat(100)}\n0`;
	view.append(probe);
	const box = probe.getBoundingClientRect();
	cell.width = box.width / 100;
	cell.height = box.height / 2;
	probe.remove();
}

// Gives the viewer the scrolling area of the whole output, then draws it.
const margin = 8;
function resize() {
	const lines = output.starts.length - 1;
	sizer.style.width = `${output.columns * cell.width + 2 * margin}px`;
	sizer.style.height = `${lines * cell.height}px`;
	draw();
}

// Draws the lines and columns of the output that the viewer's box shows,
// and one more of each, at their place in the scrolling area.
const decoder = new TextDecoder();
function draw() {
	const { starts } = output;
	const lines = starts.length - 1;
	const first = Math.min(Math.floor(viewer.scrollTop / cell.height), lines);
	const last = Math.min(first + Math.ceil(viewer.clientHeight / cell.height) + 1, lines);
	const column = Math.max(0, Math.floor((viewer.scrollLeft - margin) / cell.width));
	const width = Math.ceil(viewer.clientWidth / cell.width) + 1;
	let text = '';
	for (let line = first; line < last; line++) {
		// Every line but an unfinished last one ends with its newline.
		const end = starts[line + 1] - (line + 1 < lines || !output.unfinished ? 1 : 0);
		const from = Math.min(starts[line] + column, end);
		text += `${slice(from, Math.min(from + width, end))}\n`;
	}
	view.textContent = text;
	view.style.transform =
		`translate(${margin + column * cell.width}px, ${first * cell.height}px)`;
}

viewer.addEventListener('scroll', atNextFrame(draw), { passive: true });
// A new size of the viewer may come with a new size of its font.
new ResizeObserver(() => {
	measure();
	resize();
}).observe(viewer);

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
