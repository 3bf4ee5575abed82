// What the page's test and its benchmark share: Debian's Chromium, started
// headless by playwright-core, and a run of the page as a person makes it.
import { chromium } from 'playwright-core';

// Chromium with nothing of its own on the network: no background requests,
// no updates, no sync, whose connections this machine would refuse.
export function launch() {
	return chromium.launch({
		executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
		args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
			'--disable-background-networking', '--disable-component-update', '--disable-sync'],
	});
}

// Waits, at most ten seconds, for run number id of the page to end, and
// returns its status, standard error and the first screenful as shown.
export async function ended(page, id) {
	await page.waitForFunction((n) => performance.getEntriesByName(`shown ${n}`).length > 0,
		id, { timeout: 10000 });
	return page.evaluate(() => ({
		status: document.getElementById('status').value,
		err: document.getElementById('stderr').value,
		shown: document.querySelector('#stdout .window').textContent,
		field: document.getElementById('args').value,
	}));
}

// The number of runs that the page has asked for so far.
export function runsSoFar(page) {
	return page.evaluate(() => performance.getEntriesByType('mark').length);
}

// Types text into the field, as a person would, and presses Enter; returns
// the run's result.
export async function typeAndRun(page, text, { fill = false } = {}) {
	const id = (await runsSoFar(page)) + 1;
	await page.fill('#args', '');
	if (fill)
		await page.fill('#args', text);
	else
		await page.type('#args', text);
	await page.press('#args', 'Enter');
	return ended(page, id);
}

// The milliseconds from a run's start to its first screenful, and to its end.
export function timings(page, id) {
	return page.evaluate((n) => ({
		first: performance.getEntriesByName(`first screen ${n}`)[0].duration,
		shown: performance.getEntriesByName(`shown ${n}`)[0].duration,
	}), id);
}
