// The three browser engines that the page's test and its benchmark drive,
// Debian's builds of each, behind one small interface: Chromium by
// playwright-core, Firefox by puppeteer-core over WebDriver BiDi, and WebKit
// by selenium-webdriver through WebKitWebDriver and MiniBrowser, which need
// an X display (xvfb-run).  Each starts with a new profile of its own and
// nothing of its own on the network.
//
// launch(name, { dark }) returns { name, version, newTab(size), close() };
// newTab({ width, height, phone }) opens a page whose viewport is that size,
// with touch where phone is set, and returns a tab: goto(url),
// evaluate(fn, arg) (or evaluate(source)), type(selector, text), fill(selector, text),
// press(key), pressWithControl(key), click(selector), focus(selector),
// screenshot(path), accessibilityTree(), the nodes of the page's tree as
// Chromium's DevTools protocol gives them, null where the driver has none,
// swipe(selector, dx, dy), a finger moved across the element, null where the
// driver cannot touch, clipboard(), errors() and close().  Dark mode is
// set when the browser starts: Firefox and WebKit take it from a
// preference and a theme that only apply at their start.
import { spawn, execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';

import { chromium } from 'playwright-core';
import puppeteer from 'puppeteer-core';
import { Builder, By, Key } from 'selenium-webdriver';

export const engineNames = ['chromium', 'firefox', 'webkit'];

export function launch(name, options = {}) {
	return { chromium: launchChromium, firefox: launchFirefox, webkit: launchWebKit }[name](options);
}

// Evaluates fn with arg in the page again and again, until it returns a
// true value, which it returns; fails after timeout milliseconds.
async function poll(tab, fn, arg, timeout, what) {
	const until = Date.now() + timeout;
	for (;;) {
		const value = await tab.evaluate(fn, arg);
		if (value)
			return value;
		if (Date.now() > until)
			throw new Error(`timed out after ${timeout} ms waiting for ${what}`);
		await new Promise((done) => setTimeout(done, 20));
	}
}

// Sets the field's text at once, as pasting it would.
function setField([selector, text]) {
	const field = document.querySelector(selector);
	field.value = text;
	field.dispatchEvent(new Event('input', { bubbles: true }));
}

// The calls that a Playwright page and a Puppeteer page make alike, and
// the errors that the page throws.
function sharedCalls(page) {
	const errors = [];
	page.on('pageerror', (error) => errors.push(error.message));
	return {
		goto: (url) => page.goto(url),
		evaluate: (fn, arg) => page.evaluate(fn, arg),
		type: (selector, text) => page.type(selector, text),
		press: (key) => page.keyboard.press(key),
		async pressWithControl(key) {
			await page.keyboard.down('Control');
			await page.keyboard.press(key);
			await page.keyboard.up('Control');
		},
		click: (selector) => page.click(selector),
		focus: (selector) => page.focus(selector),
		screenshot: (path) => page.screenshot({ path }),
		clipboard: () => page.evaluate(() => navigator.clipboard.readText()),
		errors: () => errors,
	};
}

// Chromium, with no background requests, updates or sync, whose
// connections this machine would refuse.
async function launchChromium({ dark = false }) {
	const browser = await chromium.launch({
		executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
		args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
			'--disable-background-networking', '--disable-component-update', '--disable-sync'],
	});
	return {
		name: 'Chromium',
		version: browser.version(),
		async newTab({ width, height, phone = false }) {
			const context = await browser.newContext({
				viewport: { width, height }, colorScheme: dark ? 'dark' : 'light',
				permissions: ['clipboard-read', 'clipboard-write'],
				...phone && { isMobile: true, hasTouch: true, deviceScaleFactor: 2 },
			});
			const page = await context.newPage();
			return {
				...sharedCalls(page),
				fill: (selector, text) => page.fill(selector, text),
				async accessibilityTree() {
					const session = await context.newCDPSession(page);
					return (await session.send('Accessibility.getFullAXTree')).nodes;
				},
				async swipe(selector, dx, dy) {
					const box = await page.locator(selector).boundingBox();
					const x = box.x + box.width / 2, y = box.y + box.height / 2;
					const session = await context.newCDPSession(page);
					const touch = (type, touchPoints) =>
						session.send('Input.dispatchTouchEvent', { type, touchPoints });
					await touch('touchStart', [{ x, y }]);
					for (let step = 1; step <= 10; step++)
						await touch('touchMove', [{ x: x - dx * step / 10, y: y - dy * step / 10 }]);
					await touch('touchEnd', []);
				},
				close: () => context.close(),
			};
		},
		close: () => browser.close(),
	};
}

// Firefox ESR, whose WebDriver BiDi puppeteer speaks; a page may read the
// clipboard only with the testing preference.
async function launchFirefox({ dark = false }) {
	const browser = await puppeteer.launch({
		browser: 'firefox',
		executablePath: process.env.FIREFOX ?? '/usr/bin/firefox-esr',
		headless: true,
		extraPrefsFirefox: {
			'layout.css.prefers-color-scheme.content-override': dark ? 0 : 1,
			'dom.events.testing.asyncClipboard': true,
			'app.update.enabled': false,
			'browser.shell.checkDefaultBrowser': false,
			'datareporting.policy.dataSubmissionEnabled': false,
			'network.captive-portal-service.enabled': false,
			'network.connectivity-service.enabled': false,
		},
	});
	return {
		name: 'Firefox',
		version: (await browser.version()).replace(/^firefox\//, ''),
		async newTab({ width, height, phone = false }) {
			const page = await browser.newPage();
			await page.setViewport({ width, height, hasTouch: phone });
			return {
				...sharedCalls(page),
				fill: (selector, text) => page.evaluate(setField, [selector, text]),
				accessibilityTree: async () => null,
				// Headless Firefox takes touch input over BiDi as touch
				// events, but does not scroll by them.
				swipe: null,
				close: () => page.close(),
			};
		},
		close: () => browser.close(),
	};
}

// A port that nothing listens on now.
function freePort() {
	return new Promise((resolve) => {
		const server = createServer().listen(0, '127.0.0.1', () => {
			const { port } = server.address();
			server.close(() => resolve(port));
		});
	});
}

// WebKit: WebKitWebDriver starts MiniBrowser in automation mode, in the X
// display of xvfb-run, with a data folder of its own; dark mode is the GTK
// theme's.  The driver has no page errors to report, and no touch input.
async function launchWebKit({ dark = false }) {
	const port = await freePort();
	const home = mkdtempSync(join(tmpdir(), 'webkit-'));
	const driverProcess = spawn(process.env.WEBKIT_WEBDRIVER ?? 'WebKitWebDriver', [`--port=${port}`],
		{ stdio: 'ignore', env: { ...process.env, HOME: home, XDG_DATA_HOME: join(home, 'data'),
			XDG_CACHE_HOME: join(home, 'cache'), GTK_THEME: dark ? 'Adwaita:dark' : 'Adwaita' } });
	process.on('exit', () => driverProcess.kill());
	const driver = await startWebKitSession(port);
	const capabilities = await driver.getCapabilities();
	let open = false;
	return {
		name: 'WebKit',
		version: capabilities.get('browserVersion'),
		async newTab({ width, height, phone = false }) {
			if (open)
				throw new Error('MiniBrowser gives one tab at a time');
			open = true;
			await driver.get('about:blank');
			// The window's size is the page's and MiniBrowser's own bar,
			// which is at least 447 pixels wide: a phone's screen is a
			// frame of its size, which the tab works in.
			const window = driver.manage().window();
			const [frameWidth, frameHeight] = phone ? [width, height] : [0, 0];
			[width, height] = [Math.max(width, 1000), Math.max(height, 800)];
			await window.setRect({ width, height });
			const inner = await driver.executeScript('return [innerWidth, innerHeight]');
			await window.setRect({ width: 2 * width - inner[0], height: 2 * height - inner[1] });
			const evaluate = (fn, arg) => driver.executeScript(typeof fn === 'string' ? fn :
				`return (${fn})(arguments[0])`, arg ?? null);
			const element = (selector) => driver.findElement(By.css(selector));
			const frame = join(home, 'phone.html');
			let focused = null;
			return {
				async goto(url) {
					if (!phone)
						return driver.get(url);
					writeFileSync(frame, '<!DOCTYPE html><body style="margin: 0; background: gray">' +
						`<iframe style="border: 0; width: ${frameWidth}px; height: ` +
						`${frameHeight}px" src="${url}"></iframe>`);
					await driver.switchTo().defaultContent();
					await driver.get(pathToFileURL(frame).href);
					await driver.switchTo().frame(0);
				},
				evaluate,
				// The driver refuses to type nothing; in the frame it
				// cannot focus the field, so the text is set, and Enter
				// submits the field's form.
				type: async (selector, text) => phone
					? evaluate(setField, [selector, text])
					: text && (await element(selector)).sendKeys(text),
				fill: (selector, text) => evaluate(setField, [selector, text]),
				press: (key) => phone && key === 'Enter'
					? evaluate((s) => document.querySelector(s).form.requestSubmit(), focused)
					: driver.actions().sendKeys(Key[seleniumKeys[key] ?? key]).perform(),
				pressWithControl: (key) => driver.actions().keyDown(Key.CONTROL).sendKeys(key)
					.keyUp(Key.CONTROL).perform(),
				click: async (selector) => (await element(selector)).click(),
				focus: (selector) => {
					focused = selector;
					return evaluate((s) => document.querySelector(s).focus(), selector);
				},
				// The window's page, with the frame of a phone's screen at
				// its top left: the driver's pictures of the frame alone
				// lie off its place.
				screenshot: async (path) => writeFileSync(path,
					Buffer.from(await driver.takeScreenshot(), 'base64')),
				swipe: null,
				accessibilityTree: async () => null,
				// MiniBrowser's clipboard is the X display's.
				clipboard: async () => execFileSync('xclip', ['-o', '-selection', 'clipboard'],
					{ timeout: 5000, maxBuffer: 1 << 26 }).toString(),
				errors: () => [],
				close: async () => {
					open = false;
				},
			};
		},
		async close() {
			await driver.quit();
			driverProcess.kill();
			rmSync(home, { recursive: true, force: true });
		},
	};
}

// The driver's names of the keys that the test presses.
const seleniumKeys = { Enter: 'ENTER', Tab: 'TAB', PageDown: 'PAGE_DOWN', End: 'END' };

// A session with WebKitWebDriver, once it listens: at most ten seconds.
async function startWebKitSession(port) {
	const until = Date.now() + 10000;
	for (;;) {
		try {
			return await new Builder().usingServer(`http://127.0.0.1:${port}`).withCapabilities({
				browserName: 'MiniBrowser',
				'webkitgtk:browserOptions': {
					binary: process.env.MINIBROWSER ??
						'/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser',
					args: ['--automation'],
				},
			}).build();
		} catch (error) {
			if (Date.now() > until)
				throw error;
			await new Promise((done) => setTimeout(done, 100));
		}
	}
}

// Waits, at most ten seconds, for run number id of the page to end, and
// returns its status, standard error, the lines of the first screenful and
// the field's text.
export async function ended(tab, id) {
	await poll(tab, (n) => performance.getEntriesByName(`shown ${n}`).length > 0, id, 10000,
		`run ${id} to end`);
	const result = await tab.evaluate(() => ({
		status: document.getElementById('status').value,
		err: document.getElementById('stderr').value,
		field: document.getElementById('args').value,
	}));
	return { ...result, shown: await tab.evaluate(linesInView) };
}

// The lines of standard output that lie in the viewer's box, whole, each
// with its newline.
export function linesInView() {
	const box = document.getElementById('stdout').getBoundingClientRect();
	return [...document.querySelectorAll('#stdout .line')].filter((line) => {
		const r = line.getBoundingClientRect();
		return r.bottom > box.top && r.top < box.bottom;
	}).map((line) => line.textContent).join('');
}

// The number of runs that the page has asked for so far: it marks each
// run's start as "run N".
export function runsSoFar(tab) {
	return tab.evaluate(() => performance.getEntriesByType('mark')
		.filter((mark) => /^run \d+$/.test(mark.name)).length);
}

// Types text into the field, as a person would, or sets it at once where
// fill is set, and presses Enter; returns the run's result.
export async function typeAndRun(tab, text, { fill = false } = {}) {
	const id = (await runsSoFar(tab)) + 1;
	await tab.fill('#args', '');
	if (fill)
		await tab.fill('#args', text);
	else
		await tab.type('#args', text);
	await tab.focus('#args');
	await tab.press('Enter');
	return ended(tab, id);
}

// Waits until condition(arg) holds in the page, at most timeout ms.
export function waitFor(tab, condition, arg, timeout = 10000, what = 'the page') {
	return poll(tab, condition, arg, timeout, what);
}

// The milliseconds from a run's start to its first screenful, and to its end.
export function timings(tab, id) {
	return tab.evaluate((n) => ({
		first: performance.getEntriesByName(`first screen ${n}`)[0].duration,
		shown: performance.getEntriesByName(`shown ${n}`)[0].duration,
	}), id);
}
