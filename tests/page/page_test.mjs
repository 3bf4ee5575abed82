// The page in one browser engine, used as a person uses it: the end-to-end
// table's command lines typed into the field, and opened by address, each
// compared with the native build (the saved output byte for byte, standard
// error, the status, the first screenful as shown); Back and Forward; the
// copy button, read back from the clipboard; the keyboard alone; axe-core in
// light and dark; a phone's screen; screenshots; and no request made.  The
// same list for every engine, through tests/page/engines.mjs.
// Usage: node page_test.mjs ENGINE PAGE NATIVE SCREENSHOTS, where ENGINE is
// chromium, firefox or webkit, PAGE the page's file, NATIVE the native
// build's executable and SCREENSHOTS a folder for the screenshots.
import { spawnSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { readFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { createRequire } from 'node:module';
import { resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

import { ended, launch, linesInView, runsSoFar, typeAndRun, waitFor } from './engines.mjs';

const [engineName, pagePath, native, screenshots] = process.argv.slice(2);
const pageUrl = pathToFileURL(resolve(pagePath)).href;
const axeSource = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');

// The end-to-end table's command lines, as typed after quobi-pascal in a
// shell, with the arguments that a shell makes of them.  fill: set at once,
// since a tab typed would move the focus.
const cases = [
	['', []], ['1', ['1']], ['3', ['3']], ['4', ['4']], ['20', ['20']], ['1000', ['1000']],
	['5x', ['5x']], ['12abc', ['12abc']], ['007', ['007']], ['0001000', ['0001000']],
	["'2 lines'", ['2 lines']], ['0', ['0']], ['0000', ['0000']], ['1001', ['1001']],
	['2147483648', ['2147483648']], ['4294967297', ['4294967297']],
	['18446744073709551617', ['18446744073709551617']],
	['9'.repeat(5000), ['9'.repeat(5000)], { fill: true }],
	['x5', ['x5']], ['-5', ['-5']], ['+5', ['+5']], ["' 5'", [' 5']], ['" 5"', [' 5']],
	["'\t5'", ['\t5'], { fill: true }], ['""', ['']], ["''", ['']], ['1 2', ['1', '2']],
	['5 ""', ['5', '']], ['x y z', ['x', 'y', 'z']], ['  7  ', ['7']], ['"1"2', ['12']],
	['\\ 5', [' 5']], ['"a\\"b"', ['a"b']],
	['５', ['５']], ['１２', ['１２']], ['３x', ['３x']], ['５3', ['５3']], ['⁵', ['⁵']], ['₅', ['₅']],
];

let failures = 0, checks = 0;
function check(ok, what) {
	checks++;
	if (!ok) {
		failures++;
		console.log(`FAILED: ${what}`);
	}
}

// What the native build does with args.
function expected(args) {
	const run = spawnSync(native, args, { maxBuffer: 1 << 26 });
	return { out: run.stdout, err: run.stderr.toString(), status: String(run.status) };
}

const sha256 = (bytes) => createHash('sha256').update(bytes).digest('hex');

// The bytes behind the save link of run number id, as a download saves them:
// their length and SHA-256, read in the page.
async function saved(tab, id) {
	await waitFor(tab, (n) => document.getElementById('save').dataset.run === String(n), id,
		10000, 'the save link');
	return tab.evaluate(async () => {
		const link = document.getElementById('save');
		const bytes = new Uint8Array(await (await fetch(link.href)).arrayBuffer());
		const digest = new Uint8Array(await crypto.subtle.digest('SHA-256', bytes));
		return { length: bytes.length, download: link.download,
			sha256: Array.from(digest, (b) => b.toString(16).padStart(2, '0')).join('') };
	});
}

// Compares the run that the page just ended with the native build's.
async function compare(tab, result, args, what) {
	const want = expected(args);
	check(result.status === want.status, `${what}: status ${result.status}, not ${want.status}`);
	check(result.err === want.err, `${what}: standard error ${JSON.stringify(result.err)}`);
	if (want.status !== 'not run') {
		const out = await saved(tab, await runsSoFar(tab));
		check(out.sha256 === sha256(want.out) && out.download === 'quobi-pascal-output.txt',
			`${what}: saved output of ${out.length} bytes differs from the native build's ` +
			`${want.out.length}`);
	}
	// The viewer shows the first lines, each as far as the box is wide: the
	// widest line shown is as wide as the box, or as the widest line.
	const lines = want.out.toString('latin1').split('\n');
	const shown = result.shown.split('\n').slice(0, -1);
	const width = Math.max(0, ...shown.map((line) => line.length));
	check(shown.length <= lines.length - 1 && (want.out.length === 0) === (shown.length === 0) &&
		shown.every((line, i) => line === lines[i].slice(0, width)),
	`${what}: the viewer shows ${JSON.stringify(result.shown.slice(0, 200))}`);
}

// The addresses of what the page fetched: none but its own blob: ones.
const requestsMade = (tab) => tab.evaluate(() => performance.getEntriesByType('resource')
	.map((entry) => entry.name).filter((name) => !name.startsWith('blob:')));

// The phone's screen, with the default run shown: every row of the
// triangle, from its first number to its last, is on the first screen, in
// the viewer's box; the page does not scroll sideways; every control is at
// least 24 by 24.
async function phoneChecks(tab, what) {
	const layout = await tab.evaluate(() => {
		const box = document.getElementById('stdout').getBoundingClientRect();
		// Whether the character at of the line's text lies wholly in the
		// viewer's box and in the window.
		const inside = (line, at) => {
			const range = document.createRange();
			range.setStart(line.firstChild, at);
			range.setEnd(line.firstChild, at + 1);
			const r = range.getBoundingClientRect();
			return r.left >= Math.max(box.left, 0) && r.right <= Math.min(box.right, innerWidth) &&
				r.top >= Math.max(box.top, 0) && r.bottom <= Math.min(box.bottom, innerHeight);
		};
		const rows = [...document.querySelectorAll('#stdout .line')].map((line) => {
			const text = line.textContent;
			return inside(line, text.search(/\S/)) && inside(line, text.search(/\S\s*$/));
		});
		const small = [...document.querySelectorAll('input, button, a, #stdout')]
			.map((control) => [control.id || control.tagName, control.getBoundingClientRect()])
			.filter(([, r]) => r.width < 24 || r.height < 24).map(([id]) => id);
		return { rows, small, wide: document.documentElement.scrollWidth > innerWidth,
			scrolled: scrollY };
	});
	const whole = layout.rows.filter(Boolean).length;
	check(layout.rows.length === 13 && whole === 13 && layout.scrolled === 0,
		`${what}: ${whole} of the ${layout.rows.length} rows on the first screen from their ` +
		'first number to their last');
	check(!layout.wide, `${what}: the page scrolls sideways`);
	check(layout.small.length === 0, `${what}: controls smaller than 24 by 24: ${layout.small}`);
}

// Serves the page, so that the copy button's clipboard is an origin's.
const server = createServer((request, response) => {
	response.writeHead(200, { 'content-type': 'text/html; charset=utf-8' });
	response.end(readFileSync(pagePath));
});
await new Promise((ready) => server.listen(0, '127.0.0.1', ready));
const origin = `http://127.0.0.1:${server.address().port}`;

const engine = await launch(engineName);
const tab = await engine.newTab({ width: 1280, height: 900 });

// Typed into the field.
await tab.goto(pageUrl);
await ended(tab, 1);
for (const [typed, args, options] of cases) {
	const result = await typeAndRun(tab, typed, options);
	await compare(tab, result, args, `typed ${JSON.stringify(typed.slice(0, 40))}`);
	const fragment = await tab.evaluate(() => location.hash.slice(1));
	check(decodeURIComponent(fragment) === typed, `typed ${typed}: the address holds #${fragment}`);
}

// Opened at the address that a run gave.
for (const [typed, args] of cases) {
	await tab.goto('about:blank');
	await tab.goto(`${pageUrl}#${encodeURIComponent(typed)}`);
	const result = await ended(tab, 1);
	check(result.field === typed, `opened at #${encodeURIComponent(typed)}: the field holds ${result.field}`);
	await compare(tab, result, args, `opened at ${JSON.stringify(typed.slice(0, 40))}`);
	check((await requestsMade(tab)).length === 0, `opened at #${typed}: requests made`);
}

// Back and Forward run what the address held.
await tab.goto('about:blank');
await tab.goto(`${pageUrl}#3`);
await ended(tab, 1);
await typeAndRun(tab, '5');
let id = (await runsSoFar(tab)) + 1;
await tab.evaluate(() => history.back());
let result = await ended(tab, id);
check(result.field === '3' && result.shown === '1 \n1 1 \n1 2 1 \n',
	`Back: the field holds ${result.field} and the viewer ${JSON.stringify(result.shown)}`);
id++;
await tab.evaluate(() => history.forward());
result = await ended(tab, id);
check(result.field === '5', `Forward: the field holds ${result.field}`);

// An unclosed quote runs nothing and says why.
result = await typeAndRun(tab, "'5");
check(result.status === 'not run' && /single quote is not closed/.test(result.err),
	`an unclosed quote: status ${result.status}, ${result.err}`);

// The keyboard alone: Tab reaches the field, Run, save, copy and the
// output; Enter runs; the page keys scroll the output, to its end.
await tab.goto('about:blank');
await tab.goto(pageUrl);
await ended(tab, 1);
await tab.evaluate(() => document.activeElement?.blur());
const order = [];
for (let i = 0; i < 5; i++) {
	await tab.press('Tab');
	order.push(await tab.evaluate(() => document.activeElement.id || document.activeElement.tagName));
}
check(order[0] === 'args' && order.includes('stdout') && order.includes('copy') &&
	order.includes('save'), `Tab goes through ${order.join(', ')}`);
await tab.focus('#args');
await tab.type('#args', '1000');
await tab.press('Enter');
await ended(tab, 2);
await tab.focus('#stdout');
await tab.press('PageDown');
await tab.press('End');
// Scrolling may be smooth: it has ended when the position holds still
// over several frames, and then the last frame drew it.
await waitFor(tab, () => new Promise((answer) => {
	const viewer = document.getElementById('stdout'), at = viewer.scrollTop;
	let frames = 0;
	const look = () => {
		if (viewer.scrollTop !== at)
			answer(false);
		else if (++frames < 6)
			requestAnimationFrame(look);
		else
			answer(at > 0 && at + viewer.clientHeight >= viewer.scrollHeight - 1);
	};
	requestAnimationFrame(look);
}), null, 10000, 'the output to scroll to its end');
const bottom = await tab.evaluate(linesInView);
check(bottom.includes('1 999 498501'), 'the output scrolled to its end shows row 999');

// Standard output is text of the page, from a web server, so that the
// clipboard is an origin's: the browser's Find reaches any number of it
// and scrolls to it; a selection of any lines is those bytes of standard
// output exactly, and so is what Ctrl+C copies; Ctrl+A in the output
// selects the output alone.
await tab.goto(`${origin}/quobi-pascal.html#40`);
await ended(tab, 1);
// Whether Find finds word, and whether the viewer then shows it.
// Chromium's window.find selects what it finds but scrolls no box to it
// (its find bar does), so there a word found is enough.
const findShows = engine.name !== 'Chromium';
const find = (word) => tab.evaluate(async (w) => {
	getSelection().removeAllRanges();
	if (!window.find(w, true, false, true))
		return 'not found';
	// The browser may scroll to it over a few frames, smoothly.
	for (let frame = 0; frame < 60; frame++) {
		await new Promise((done) => requestAnimationFrame(done));
		const found = getSelection().getRangeAt(0).getBoundingClientRect();
		const box = document.getElementById('stdout').getBoundingClientRect();
		if (found.left >= box.left && found.right <= box.right && found.top >= box.top &&
			found.bottom <= box.bottom)
			return 'shown';
	}
	return 'not shown';
}, word);
// C(39, 19), past the right edge of the box at first.
const foundAndShown = (answer) => answer === 'shown' || (!findShows && answer === 'not shown');
result = await find('68923264410');
check(foundAndShown(result), `#40: Find of row 39's 68923264410: ${result}`);
await typeAndRun(tab, '1000');
const thousand = expected(['1000']).out.toString('latin1'), rows = thousand.split('\n');
for (const [row, word] of [[60, '1.18264581564861e+17'], [999, '1.98610895450169e+290']]) {
	result = await find(word);
	check(foundAndShown(result), `1000: Find of row ${row}'s ${word}: ${result}`);
}
// Selects lines first to last of the output, or all of it by Ctrl+A in the
// output; returns the selection's text and what Ctrl+C then copied.
async function select(first, last) {
	if (first === undefined) {
		await tab.focus('#stdout');
		await tab.pressWithControl('a');
	} else {
		await tab.evaluate(([from, to]) => {
			const lines = document.querySelectorAll('#stdout .line'), range = document.createRange();
			range.setStartBefore(lines[from]);
			range.setEndAfter(lines[to]);
			getSelection().removeAllRanges();
			getSelection().addRange(range);
		}, [first, last]);
	}
	const selected = await tab.evaluate(async () => {
		// A browser lays out what a selection newly holds at its next frames.
		await new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done)));
		const pre = document.querySelector('#stdout pre'), selection = getSelection();
		return pre.contains(selection.anchorNode) && pre.contains(selection.focusNode) &&
			selection.toString();
	});
	await tab.pressWithControl('c');
	return [selected, await tab.clipboard()];
}
for (const [what, first, last, want] of [
	['row 999', 999, 999, `${rows[999]}\n`],
	['rows 500 to 600', 500, 600, `${rows.slice(500, 601).join('\n')}\n`],
	['Ctrl+A in the output', undefined, undefined, thousand]]) {
	const [selected, copiedText] = await select(first, last);
	check(selected === want, `1000, ${what}: the selection's text has ${selected.length} ` +
		`characters, not the output's ${want.length}`);
	check(copiedText === want, `1000, ${what}: Ctrl+C copied ${copiedText.length} characters, ` +
		`not ${want.length}`);
}
await tab.evaluate(() => getSelection().removeAllRanges());

// Read once: standard output is a region named by its heading, with no
// live setting; the exit status is the live one, as an output element.
await typeAndRun(tab, '5');
const semantics = await tab.evaluate(() => {
	const out = document.getElementById('stdout');
	return { tag: out.tagName, name: document.getElementById(out.getAttribute('aria-labelledby'))
		?.textContent, live: out.closest('[aria-live]') !== null,
	status: document.getElementById('status').tagName };
});
check(semantics.tag === 'SECTION' && semantics.name === 'Standard output' && !semantics.live &&
	semantics.status === 'OUTPUT', `standard output and status: ${JSON.stringify(semantics)}`);
const tree = await tab.accessibilityTree();
if (tree) {
	const property = (node, name) => node.properties?.find((p) => p.name === name)?.value.value;
	const region = tree.find((node) => node.role?.value === 'region' &&
		node.name?.value === 'Standard output');
	const statusNode = tree.find((node) => node.role?.value === 'status' &&
		property(node, 'live') === 'polite');
	const rowText = tree.some((node) => node.name?.value?.includes('1 4 6 4 1'));
	check(region && property(region, 'live') === undefined && statusNode && rowText,
		`the accessibility tree: a region of standard output ${region ? 'without' : 'is not there'}` +
		`${region && property(region, 'live') ? ` with live ${property(region, 'live')}` : ''}, ` +
		`a live status ${statusNode ? 'there' : 'missing'}, row 4's text ${rowText ? 'there' : 'missing'}`);
}

// The copy button, from a web server, with the clipboard read back.
await tab.goto(`${origin}/quobi-pascal.html#4`);
result = await ended(tab, 1);
check(result.status === '0', `served: status ${result.status}`);
for (const typed of ['', '60']) {
	await typeAndRun(tab, typed);
	await waitFor(tab, () => !document.getElementById('copy').disabled, null, 10000, 'the copy button');
	await tab.click('#copy');
	const said = await waitFor(tab, () => document.getElementById('copied').value, null, 10000,
		'the copy to end');
	const copied = said === 'Copied.' ? await tab.clipboard() : '';
	check(copied === expected(typed ? [typed] : []).out.toString(),
		`served: the copy button for ${JSON.stringify(typed)} said ${JSON.stringify(said)} and ` +
		`copied ${copied.length} characters`);
}

// A phone's screen, 360 by 740 CSS pixels with touch: the default run on
// the first screen, and the output of 1000 scrolled both ways by touch
// where the driver can touch.
check(tab.errors().length === 0, `errors thrown: ${tab.errors().join('; ')}`);
await tab.close();
const phone = await engine.newTab({ width: 360, height: 740, phone: true });
await phone.goto(pageUrl);
await ended(phone, 1);
await phoneChecks(phone, 'phone');
await typeAndRun(phone, '1000');
check(!(await phone.evaluate(() => document.documentElement.scrollWidth > innerWidth)),
	'phone, 1000: the page scrolls sideways');
if (phone.swipe) {
	// A swipe that is mostly one way scrolls only that way.
	await phone.swipe('#stdout', 150, 0);
	await phone.swipe('#stdout', 0, 200);
	const moved = await waitFor(phone, () => {
		const viewer = document.getElementById('stdout');
		return viewer.scrollLeft > 0 && viewer.scrollTop > 0 && [viewer.scrollLeft, viewer.scrollTop];
	}, null, 5000, 'the swipe to scroll').catch(() => [0, 0]);
	check(moved[0] > 0 && moved[1] > 0, `phone, 1000: a swipe scrolls the output to ${moved}`);
} else {
	const scrollable = await phone.evaluate(() => {
		const viewer = document.getElementById('stdout');
		return viewer.scrollWidth > viewer.clientWidth && viewer.scrollHeight > viewer.clientHeight &&
			getComputedStyle(viewer).overflow === 'auto';
	});
	check(scrollable, 'phone, 1000: the output cannot scroll both ways');
}
check(phone.errors().length === 0, `errors thrown: ${phone.errors().join('; ')}`);
await phone.close();
await engine.close();

// In light and dark: axe-core after runs with standard output and with
// standard error, and screenshots of the wide and the phone's screens.
for (const dark of [false, true]) {
	const scheme = dark ? 'dark' : 'light';
	const themed = await launch(engineName, { dark });
	const wide = await themed.newTab({ width: 1280, height: 900 });
	await wide.goto(pageUrl);
	await ended(wide, 1);
	check(await wide.evaluate((want) => matchMedia(`(prefers-color-scheme: ${want})`).matches, scheme),
		`${scheme}: the browser does not prefer ${scheme}`);
	for (const typed of ['5', 'x', '0']) {
		await typeAndRun(wide, typed);
		await wide.evaluate(axeSource);
		const violations = await wide.evaluate(async () =>
			(await window.axe.run(document)).violations.map((v) => `${v.id}: ${v.help}`));
		check(violations.length === 0, `axe-core, ${scheme}, after ${typed}: ${violations.join('; ')}`);
	}
	await typeAndRun(wide, '');
	await wide.screenshot(`${screenshots}/${engineName}-wide-${scheme}.png`);
	await typeAndRun(wide, '1000');
	await wide.screenshot(`${screenshots}/${engineName}-wide-1000-${scheme}.png`);
	check(wide.errors().length === 0, `errors thrown: ${wide.errors().join('; ')}`);
	await wide.close();
	const small = await themed.newTab({ width: 360, height: 740, phone: true });
	await small.goto(pageUrl);
	await ended(small, 1);
	await phoneChecks(small, `phone, ${scheme}`);
	await small.screenshot(`${screenshots}/${engineName}-phone-${scheme}.png`);
	await small.close();
	await themed.close();
}
server.close();

console.log(`${engine.name} ${engine.version}: ${checks - failures} passed, ${failures} failed`);
process.exit(failures ? 1 : 0);
