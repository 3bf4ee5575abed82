// The page in headless Chromium, used as a person uses it: the end-to-end
// table's command lines typed into the field, and opened by address, each
// compared with the native build (the saved output byte for byte, standard
// error, the status, the first screenful as shown); Back; the copy button;
// the keyboard alone; axe-core in light and dark; and no request made.
// Usage: node page_test.mjs PAGE NATIVE SCREENSHOTS, where PAGE is the
// page's file, NATIVE the native build's executable and SCREENSHOTS a
// folder for the screenshots of the default run and of 1000.
import { spawnSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { createRequire } from 'node:module';
import { resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

import { ended, launch, runsSoFar, typeAndRun } from './browser.mjs';

const [pagePath, native, screenshots] = process.argv.slice(2);
const pageUrl = pathToFileURL(resolve(pagePath)).href;
const axeSource = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');

// The end-to-end table's command lines, as typed after quobi-pascal in a
// shell, with the arguments that a shell makes of them.  fill: typed all at
// once, since a tab typed would move the focus.
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

// The page's saved standard output, through its save link.
async function saved(page) {
	const [download] = await Promise.all([page.waitForEvent('download'), page.click('#save')]);
	return readFileSync(await download.path());
}

// Compares the run that the page just ended with the native build's.
async function compare(page, result, args, what) {
	const want = expected(args);
	check(result.status === want.status, `${what}: status ${result.status}, not ${want.status}`);
	check(result.err === want.err, `${what}: standard error ${JSON.stringify(result.err)}`);
	const out = await saved(page);
	check(out.equals(want.out), `${what}: saved output of ${out.length} bytes differs from ` +
		`the native build's ${want.out.length}`);
	// The viewer shows the first lines, each as far as the box is wide: the
	// widest line shown is as wide as the box, or as the widest line.
	const lines = want.out.toString('latin1').split('\n');
	const shown = result.shown.split('\n').slice(0, -1);
	const width = Math.max(0, ...shown.map((line) => line.length));
	check(shown.length <= lines.length - 1 && (want.out.length === 0) === (shown.length === 0) &&
		shown.every((line, i) => line === lines[i].slice(0, width)),
	`${what}: the viewer shows ${JSON.stringify(result.shown.slice(0, 200))}`);
}

const browser = await launch();
const context = await browser.newContext({ viewport: { width: 1280, height: 900 } });
const requests = [];
// Every request but the test's own loads of the page, and the page's blob:
// addresses, which name memory of its own.
context.on('request', (request) => {
	const url = request.url();
	if (!request.isNavigationRequest() && !url.startsWith('blob:'))
		requests.push(url);
});
const page = await context.newPage();
page.on('pageerror', (error) => check(false, `the page threw ${error.message}`));

// Typed into the field.
await page.goto(pageUrl);
await ended(page, 1);
for (const [typed, args, options] of cases) {
	const result = await typeAndRun(page, typed, options);
	await compare(page, result, args, `typed ${JSON.stringify(typed.slice(0, 40))}`);
	const fragment = await page.evaluate(() => location.hash.slice(1));
	check(decodeURIComponent(fragment) === typed, `typed ${typed}: the address holds #${fragment}`);
}

// Opened at the address that a run gave.
for (const [typed, args] of cases) {
	const address = `${pageUrl}#${encodeURIComponent(typed)}`;
	await page.goto('about:blank');
	await page.goto(address);
	const result = await ended(page, 1);
	check(result.field === typed, `opened at #${encodeURIComponent(typed)}: the field holds ${result.field}`);
	await compare(page, result, args, `opened at ${JSON.stringify(typed.slice(0, 40))}`);
}

// Back and Forward run what the address held.
await page.goto(`${pageUrl}#3`);
await ended(page, 1);
await typeAndRun(page, '5');
let id = (await runsSoFar(page)) + 1;
await page.goBack();
let result = await ended(page, id);
check(result.field === '3' && result.shown === '1\n1 1\n1 2 1\n'.replace(/\n/g, ' \n'),
	`Back: the field holds ${result.field} and the viewer ${JSON.stringify(result.shown)}`);
id++;
await page.goForward();
result = await ended(page, id);
check(result.field === '5', `Forward: the field holds ${result.field}`);

// An unclosed quote runs nothing and says why.
result = await typeAndRun(page, "'5");
check(result.status === 'not run' && /single quote is not closed/.test(result.err),
	`an unclosed quote: status ${result.status}, ${result.err}`);

// The keyboard alone: Tab reaches the field, Run, save, copy and the
// output, in that order; Enter runs; the arrow and page keys scroll the
// output.
await page.goto('about:blank');
await page.goto(pageUrl);
await ended(page, 1);
await page.evaluate(() => document.activeElement?.blur());
const order = [];
for (let i = 0; i < 5; i++) {
	await page.keyboard.press('Tab');
	order.push(await page.evaluate(() => document.activeElement.id || document.activeElement.tagName));
}
check(order[0] === 'args' && order.includes('stdout') && order.includes('copy') &&
	order.includes('save'), `Tab goes through ${order.join(', ')}`);
await page.focus('#args');
await page.keyboard.type('1000');
await page.keyboard.press('Enter');
await ended(page, 2);
await page.focus('#stdout');
await page.keyboard.press('PageDown');
await page.keyboard.press('End');
await page.waitForTimeout(200);
const scrolled = await page.evaluate(() => document.getElementById('stdout').scrollTop);
check(scrolled > 0, `PageDown and End in the output scroll it to ${scrolled}`);
const bottom = await page.evaluate(() => document.querySelector('#stdout .window').textContent);
check(bottom.includes('1 999 498501'), 'the output scrolled to its end shows row 999');

// Screenshots for a person to look at.
await page.goto('about:blank');
await page.goto(pageUrl);
await ended(page, 1);
await page.screenshot({ path: `${screenshots}/page-default.png` });
await typeAndRun(page, '1000');
await page.screenshot({ path: `${screenshots}/page-1000.png` });

// axe-core, in light and in dark, after a run with standard error too.
for (const colorScheme of ['light', 'dark']) {
	await page.emulateMedia({ colorScheme });
	for (const typed of ['5', 'x', '0']) {
		await typeAndRun(page, typed);
		await page.evaluate(axeSource);
		const violations = await page.evaluate(async () =>
			(await axe.run(document)).violations.map((v) => `${v.id}: ${v.help}`));
		check(violations.length === 0, `axe-core, ${colorScheme}, after ${typed}: ${violations.join('; ')}`);
	}
}
await typeAndRun(page, '1000');
await page.screenshot({ path: `${screenshots}/page-1000-dark.png` });

// From a static web server too, where the copy button's clipboard can be
// read back.
const server = createServer((request, response) => {
	response.writeHead(200, { 'content-type': 'text/html; charset=utf-8' });
	response.end(readFileSync(pagePath));
});
await new Promise((ready) => server.listen(0, '127.0.0.1', ready));
const origin = `http://127.0.0.1:${server.address().port}`;
await context.grantPermissions(['clipboard-read', 'clipboard-write'], { origin });
const served = await context.newPage();
await served.goto(`${origin}/quobi-pascal.html#4`);
result = await ended(served, 1);
check(result.status === '0', `served: status ${result.status}`);
for (const typed of ['', '60']) {
	await typeAndRun(served, typed);
	await served.click('#copy');
	await served.waitForFunction(() => document.getElementById('copied').value !== '');
	const copied = await served.evaluate(() => navigator.clipboard.readText());
	check(copied === expected(typed ? [typed] : []).out.toString(),
		`served: the copy button for ${JSON.stringify(typed)} copied ${copied.length} characters`);
}
server.close();

check(requests.length === 0, `the page made ${requests.length} requests: ${requests.join(' ')}`);
console.log(`page: ${requests.length} requests made by the page`);
await browser.close();
console.log(`${checks - failures} passed, ${failures} failed`);
process.exit(failures ? 1 : 0);
