// Measures the page as a person uses it, in Chromium, Firefox and WebKit,
// each against floors measured in the same run, since this 2-core machine's
// figures swing by tens of milliseconds from one run to the next:
// - opening the address #1000, from the navigation's start to the first
//   screenful, against the page itself opened at #1, whose run of one row
//   has all of an opening's fixed costs (the page, the worker, the module's
//   compiling and a run) and next to no output: the two alternate, ROUNDS
//   times each after one of each that warms the browser; graded by
//   medians, #1000 at most 1.25 times #1's;
// - after a run of 1000, a jump to the middle of the output, to the far
//   right of row 999 and to the end, each from the top, ROUNDS times, from
//   the scroll to the end of the frame that draws it, against a static
//   page whose box holds just that screenful of text, changed and drawn;
//   graded by the slowest, at most 2 times the floor's;
// - runs of no argument and of 1000, typed and started with Enter, from
//   Enter to the first screenful and to the end: the first screenful of
//   1000 at most 100 ms, an answer that feels immediate, in every engine;
//   and where the engine reports long tasks (Chromium), none of 50 ms or
//   more;
// - printed, not graded: the first Find of a number of row 999, and the
//   page's memory after #1000 where the engine reports it (Chromium).
// The page marks the steps of its opening on its timeline, and the medians
// of those are printed too.  WebKit needs an X display: run it under
// xvfb-run.  Ends with status 1 when a target is missed.
// Usage: node page.mjs PAGE [ROUNDS]
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

import { ended, engineNames, launch, timings, typeAndRun } from '../tests/page/engines.mjs';

const [pagePath, roundsArgument = '5'] = process.argv.slice(2);
const rounds = Number(roundsArgument);
const pageUrl = pathToFileURL(resolve(pagePath)).href;
const work = mkdtempSync(join(tmpdir(), 'page-bench-'));
process.on('exit', () => rmSync(work, { recursive: true, force: true }));
const ms = (value) => `${value.toFixed(1)} ms`;
const sorted = (values) => [...values].sort((a, b) => a - b);
const medianOf = (values) => sorted(values)[values.length >> 1];
const slowest = (values) => Math.max(...values);
let missed = 0;
const verdict = (ok) => {
	missed += ok ? 0 : 1;
	return ok ? 'met' : 'MISSED';
};

// The steps of an opening, which the page marks on its timeline: the
// worker's code begins; the page has the module compiled; the worker begins
// the run; the page has the run's first output; its first screenful shows.
const stageNames = ['worker started', 'module compiled', 'worker ran 1', 'first output 1'];
const stageLabels = ['worker started', 'module compiled', 'run began in the worker',
	'first output', 'first screenful'];
const median = (values) => {
	const known = values.filter((value) => value !== undefined);
	return known.length ? ms(medianOf(known)) : 'not marked';
};

const page = readFileSync(pagePath, 'utf8');
const head = page.slice(0, page.indexOf('</head>'));

// Opens each of urls in turn, ROUNDS times after one round; returns for
// each the first screenfuls' times from the navigation's start, and the
// page's marks of its steps.
async function openings(tab, urls) {
	const results = urls.map(() => ({ times: [], stages: [] }));
	for (let round = 0; round <= rounds; round++) {
		for (const [i, url] of urls.entries()) {
			await tab.goto('about:blank');
			await tab.goto(url);
			const [opened, marks] = await waitForFirstScreen(tab);
			if (round > 0) {
				results[i].times.push(opened);
				results[i].stages.push([...marks, opened]);
			}
		}
	}
	return results;
}
async function waitForFirstScreen(tab) {
	for (const until = Date.now() + 10000; Date.now() < until;) {
		const answer = await tab.evaluate((names) => {
			const first = performance.getEntriesByName('first screen 1')[0];
			return first && [first.startTime + first.duration,
				names.map((name) => performance.getEntriesByName(name)[0]?.startTime)];
		}, stageNames);
		if (answer)
			return answer;
		await new Promise((done) => setTimeout(done, 20));
	}
	throw new Error('timed out waiting for the first screenful');
}

// Scrolls the output back to its top, drawn, then to where, and returns the
// milliseconds to the end of the frame that draws it, and the screenful of
// text that the box then shows: its lines in view, each cut to the columns
// in view.
function jump(tab, where) {
	return tab.evaluate(async (to) => {
		const drawn = () => new Promise((done) => requestAnimationFrame(() => {
			const channel = new MessageChannel();
			channel.port1.onmessage = done;
			channel.port2.postMessage(0);
		}));
		const viewer = document.getElementById('stdout'), text = viewer.querySelector('pre');
		viewer.scrollTo(0, 0);
		await drawn();
		await drawn();
		const bottom = viewer.scrollHeight - viewer.clientHeight;
		const start = performance.now();
		viewer.scrollTo(to === 'right of row 999' ? viewer.scrollWidth : 0,
			to === 'middle' ? bottom / 2 : bottom);
		await drawn();
		const took = performance.now() - start;
		const lines = text.querySelectorAll('.line');
		const range = document.createRange();
		range.setStart(lines[0].firstChild, 0);
		range.setEnd(lines[0].firstChild, 1);
		const { width } = range.getBoundingClientRect();
		const lineHeight = text.offsetHeight / lines.length;
		const padding = parseFloat(getComputedStyle(text).paddingLeft);
		const column = Math.max(0, Math.floor((viewer.scrollLeft - padding) / width));
		const columns = Math.ceil(viewer.clientWidth / width) + 1;
		const first = Math.floor(viewer.scrollTop / lineHeight);
		const shown = [];
		for (let line = first; line < Math.min(lines.length,
			first + Math.ceil(viewer.clientHeight / lineHeight) + 1); line++)
			shown.push(lines[line].textContent.replace('\n', '').slice(column, column + columns));
		return [took, shown.join('\n')];
	}, where);
}

// The floor of a jump: the page's head and box holding a screenful of text,
// changed to the screenful of the jump and drawn, ROUNDS times each.
async function jumpFloors(tab, screens) {
	writeFileSync(join(work, 'jump-floor.html'), `${head}</head><body>
<section id="stdout" class="viewer"><pre></pre></section></body></html>`);
	await tab.goto(pathToFileURL(join(work, 'jump-floor.html')).href);
	return tab.evaluate(async ([texts, times]) => {
		const drawn = () => new Promise((done) => requestAnimationFrame(() => {
			const channel = new MessageChannel();
			channel.port1.onmessage = done;
			channel.port2.postMessage(0);
		}));
		const text = document.querySelector('#stdout pre'), floors = {};
		for (const [where, screen] of Object.entries(texts)) {
			floors[where] = [];
			for (let round = 0; round < times; round++) {
				text.textContent = texts.top;
				await drawn();
				await drawn();
				const start = performance.now();
				text.textContent = screen;
				await drawn();
				floors[where].push(performance.now() - start);
			}
		}
		return floors;
	}, [screens, rounds]);
}

for (const name of engineNames) {
	const engine = await launch(name);
	const tab = await engine.newTab({ width: 1280, height: 900 });
	const [floor, opened] = await openings(tab, [`${pageUrl}#1`, `${pageUrl}#1000`]);
	const floorMedian = medianOf(floor.times), openedMedian = medianOf(opened.times);
	console.log(`The page in ${engine.name} ${engine.version}, opened at #1000 and at #1 in turn, ` +
		`${rounds} times each after one: first screenful of #1000 ` +
		`${ms(Math.min(...opened.times))} to ${ms(slowest(opened.times))} from the navigation's ` +
		`start, median ${ms(openedMedian)}; of #1 ${ms(Math.min(...floor.times))} to ` +
		`${ms(slowest(floor.times))}, median ${ms(floorMedian)}: ` +
		`${(openedMedian / floorMedian).toFixed(2)}x (target at most 1.25x: ` +
		`${verdict(openedMedian <= 1.25 * floorMedian)})`);
	console.log(`  its steps, medians from the navigation's start: ${stageLabels.map((label, i) =>
		`${label} ${median(opened.stages.map((marks) => marks[i]))}`).join(', ')}`);

	// The page opened at #1000 once more: its memory, its first Find.
	await tab.goto('about:blank');
	await tab.goto(`${pageUrl}#1000`);
	await ended(tab, 1);
	const [memory, found] = await tab.evaluate(() => {
		const start = performance.now();
		const hit = window.find('1.98610895450169e+290', true, false, true);
		return [performance.memory?.usedJSHeapSize, hit && performance.now() - start];
	});
	console.log(`  first Find of row 999's 1.98610895450169e+290: ${found ? ms(found) : 'NOT FOUND'}; ` +
		`memory of the page's script: ${memory ? `${(memory / 1048576).toFixed(1)} MiB` :
			'not reported'}`);

	const where = ['middle', 'right of row 999', 'end'];
	const jumps = Object.fromEntries(where.map((to) => [to, []]));
	const screens = {};
	for (let round = 0; round < rounds; round++)
		for (const to of where) {
			const [took, screen] = await jump(tab, to);
			jumps[to].push(took);
			screens[to] = screen;
		}
	screens.top = (await tab.evaluate(() => [...document.querySelectorAll('#stdout .line')]
		.slice(0, 40).map((line) => line.textContent.slice(0, 200)).join(''))).replace(/\n$/, '');
	const floors = await jumpFloors(tab, screens);
	for (const to of where) {
		const took = slowest(jumps[to]), floorTook = slowest(floors[to]);
		console.log(`  a jump to the ${to === 'end' ? 'end' : to}, ${rounds} times: slowest ` +
			`${ms(took)}, its floor's ${ms(floorTook)}: ${(took / floorTook).toFixed(2)}x (target at ` +
			`most 2x: ${verdict(took <= 2 * floorTook)})`);
	}

	await tab.goto('about:blank');
	await tab.goto(pageUrl);
	await ended(tab, 1);
	await tab.evaluate(() => {
		window.longTasks = [];
		if (PerformanceObserver.supportedEntryTypes.includes('longtask'))
			new PerformanceObserver((list) =>
				window.longTasks.push(...list.getEntries().map((t) => t.duration)))
				.observe({ type: 'longtask' });
		else
			window.longTasks = null;
	});
	const figures = { '': [], 1000: [] };
	let id = 1;
	for (let round = 0; round < rounds; round++) {
		for (const typed of Object.keys(figures)) {
			await typeAndRun(tab, typed);
			figures[typed].push(await timings(tab, ++id));
		}
	}
	const longTasks = await tab.evaluate(() => window.longTasks);
	for (const [typed, runs] of Object.entries(figures)) {
		const first = runs.map((run) => run.first), shown = runs.map((run) => run.shown);
		let graded = '';
		if (typed)
			graded = ` (target at most 100 ms: ${verdict(slowest(first) <= 100)})`;
		console.log(`  typed ${typed || 'no argument'}, ${rounds} times: first screenful ` +
			`${ms(Math.min(...first))} to ${ms(slowest(first))}${graded}, the whole run ` +
			`${ms(Math.min(...shown))} to ${ms(slowest(shown))}`);
	}
	if (longTasks) {
		const longest = Math.max(0, ...longTasks);
		console.log(`  longest task of the page: ${longest ? ms(longest) : 'none of 50 ms or more'} ` +
			`(target none of 50 ms or more: ${verdict(longest < 50)})`);
	} else {
		console.log('  long tasks: not reported by this engine');
	}
	await tab.close();
	await engine.close();
}
process.exit(missed ? 1 : 0);
