// Measures the page as a person uses it.  In each engine, Chromium, Firefox
// and WebKit: opening the address #1000, from the navigation's start to the
// first screenful shown, ROUNDS times after one opening that warms the
// browser.  In Chromium: ROUNDS runs each of no argument and of 1000, typed
// and started with Enter, after the page has loaded, each from Run to the
// first screenful and to the end of the run, and the page's longest task
// (Chromium reports every task of 50 ms or more) over all of them.  WebKit
// needs an X display: run it under xvfb-run.
// Usage: node page.mjs PAGE [ROUNDS [RUN_LIMIT [OPEN_LIMIT]]]; with a limit,
// it ends with status 1 when a first screenful after Run or a task took
// longer than RUN_LIMIT ms, or an opening longer than OPEN_LIMIT ms.
import { resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

import { ended, engineNames, launch, timings, typeAndRun } from '../tests/page/engines.mjs';

const [pagePath, rounds = '5', runLimit, openLimit] = process.argv.slice(2);
const pageUrl = pathToFileURL(resolve(pagePath)).href;
const ms = (value) => `${value.toFixed(1)} ms`;
// The steps of an opening, which the page marks on its timeline: the
// worker's code begins; the page has the module compiled; the worker begins
// the run; the page has the run's first output; its first screenful shows.
const stageNames = ['worker started', 'module compiled', 'worker ran 1', 'first output 1'];
const stageLabels = ['worker started', 'module compiled', 'run began in the worker',
	'first output', 'first screenful'];
const median = (values) => {
	const known = values.filter((value) => value !== undefined).sort((a, b) => a - b);
	return known.length ? ms(known[known.length >> 1]) : 'not marked';
};
let met = true;

for (const name of engineNames) {
	const engine = await launch(name);
	const tab = await engine.newTab({ width: 1280, height: 900 });
	const openings = [], stages = [];
	for (let round = 0; round <= Number(rounds); round++) {
		await tab.goto('about:blank');
		await tab.goto(`${pageUrl}#1000`);
		await ended(tab, 1);
		const [opened, marks] = await tab.evaluate((names) => {
			const first = performance.getEntriesByName('first screen 1')[0];
			return [first.startTime + first.duration,
				names.map((name) => performance.getEntriesByName(name)[0]?.startTime)];
		}, stageNames);
		if (round > 0) {
			openings.push(opened);
			stages.push([...marks, opened]);
		}
	}
	const slowest = Math.max(...openings);
	const verdict = openLimit === undefined ? '' : slowest <= Number(openLimit) ? ': met' : ': MISSED';
	met &&= !verdict.endsWith('MISSED');
	console.log(`The page in ${engine.name} ${engine.version}, opened at #1000, ${rounds} times ` +
		`after one: first screenful ${ms(Math.min(...openings))} to ${ms(slowest)} from the ` +
		`navigation's start${openLimit === undefined ? '' : ` (target at most ${openLimit} ms${verdict})`}`);
	console.log(`  its steps, medians from the navigation's start: ${stageLabels.map((label, i) =>
		`${label} ${median(stages.map((marks) => marks[i]))}`).join(', ')}`);

	if (name === 'chromium') {
		await tab.goto('about:blank');
		await tab.goto(pageUrl);
		await ended(tab, 1);
		await tab.evaluate(() => {
			window.longTasks = [];
			new PerformanceObserver((list) =>
				window.longTasks.push(...list.getEntries().map((t) => t.duration)))
				.observe({ type: 'longtask' });
		});
		const figures = { '': [], 1000: [] };
		let id = 1;
		for (let round = 0; round < Number(rounds); round++) {
			for (const typed of Object.keys(figures)) {
				await typeAndRun(tab, typed);
				figures[typed].push(await timings(tab, ++id));
			}
		}
		const longest = Math.max(0, ...await tab.evaluate(() => window.longTasks));
		console.log(`The page in ${engine.name}, ${rounds} runs each, after it loaded:`);
		let slowestRun = 0;
		for (const [typed, runs] of Object.entries(figures)) {
			const first = runs.map((run) => run.first), shown = runs.map((run) => run.shown);
			slowestRun = Math.max(slowestRun, ...first);
			console.log(`  ${typed || 'no argument'}: first screenful ${ms(Math.min(...first))} to ` +
				`${ms(Math.max(...first))}, the whole run ${ms(Math.min(...shown))} to ` +
				`${ms(Math.max(...shown))}`);
		}
		console.log(`  longest task of the page: ${longest ? ms(longest) : 'none of 50 ms or more'}`);
		if (runLimit !== undefined) {
			const runMet = slowestRun <= Number(runLimit) && longest <= Number(runLimit);
			met &&= runMet;
			console.log(`  slowest first screenful and longest task at most ${runLimit} ms: ` +
				`${runMet ? 'met' : 'MISSED'}`);
		}
	}
	await tab.close();
	await engine.close();
}
process.exit(met ? 0 : 1);
