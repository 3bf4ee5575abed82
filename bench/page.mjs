// Measures the page in headless Chromium as a person uses it: ROUNDS runs
// each of no argument and of 1000, typed and started with Enter, after the
// page has loaded; for each, the milliseconds from Run to the first
// screenful shown and to the end of the run, and the page's longest task
// (Chromium reports every task of 50 ms or more) over all of them.
// Usage: node page.mjs PAGE [ROUNDS] [LIMIT]; with LIMIT, it ends with
// status 1 when a first screenful or a task took longer than LIMIT ms.
import { resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

import { ended, launch, timings, typeAndRun } from '../tests/page/browser.mjs';

const [pagePath, rounds = '5', limit] = process.argv.slice(2);
const browser = await launch();
const page = await browser.newPage({ viewport: { width: 1280, height: 900 } });
await page.goto(pathToFileURL(resolve(pagePath)).href);
await ended(page, 1);
await page.evaluate(() => {
	window.longTasks = [];
	new PerformanceObserver((list) => window.longTasks.push(...list.getEntries().map((t) => t.duration)))
		.observe({ type: 'longtask' });
});

const figures = { '': [], 1000: [] };
let id = 1;
for (let round = 0; round < Number(rounds); round++) {
	for (const typed of Object.keys(figures)) {
		await typeAndRun(page, typed);
		figures[typed].push(await timings(page, ++id));
	}
}
const longest = Math.max(0, ...await page.evaluate(() => window.longTasks));
const ms = (value) => `${value.toFixed(1)} ms`;
console.log(`The page in ${browser.version()}, ${rounds} runs each, after it loaded:`);
let slowest = 0;
for (const [typed, runs] of Object.entries(figures)) {
	const first = runs.map((run) => run.first), shown = runs.map((run) => run.shown);
	slowest = Math.max(slowest, ...first);
	console.log(`  ${typed || 'no argument'}: first screenful ${ms(Math.min(...first))} to ` +
		`${ms(Math.max(...first))}, the whole run ${ms(Math.min(...shown))} to ${ms(Math.max(...shown))}`);
}
console.log(`  longest task of the page: ${longest ? ms(longest) : 'none of 50 ms or more'}`);
await browser.close();
if (limit !== undefined) {
	const met = slowest <= Number(limit) && longest <= Number(limit);
	console.log(`  slowest first screenful and longest task at most ${limit} ms: ${met ? 'met' : 'MISSED'}`);
	process.exit(met ? 0 : 1);
}
