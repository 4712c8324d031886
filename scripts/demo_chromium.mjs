// The demo's two uses of Debian's Chromium (through tests/browser's playwright-core):
//   render PAGE PNG [WIDTH HEIGHT]     a page (file path or address) as a PNG
//   ctrlclick ADDRESS SELECTOR SCRIPT JOB PNG
//       the page with the page script SCRIPT (Zelko.js) as a user script; a
//       Ctrl+click on SELECTOR; the job the script hands over as
//       data:text/zlk is decoded into JOB (the bytes Zelko gets from the
//       browser), and the page is photographed into PNG.
import fs from 'node:fs';
import path from 'node:path';
import { createRequire } from 'node:module';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { catchLoadedZelkoJobs } from '../tests/browser/zelko_jobs.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const require = createRequire(path.join(here, '..', 'tests', 'browser', 'package.json'));
const { chromium } = require('playwright-core');

const PREFIX = 'data:text/zlk;charset=UTF-8;base64,';

async function withBrowser(work) {
  const browser = await chromium.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--no-proxy-server'],
  });
  try {
    return await work(browser);
  } finally {
    await browser.close();
  }
}

async function render(page, png, width = 900, height = 700) {
  const address = /^[a-z]+:\/\//.test(page) ? page : pathToFileURL(path.resolve(page)).href;
  await withBrowser(async (browser) => {
    const tab = await browser.newPage({ viewport: { width: Number(width), height: Number(height) } });
    await tab.goto(address);
    await tab.waitForLoadState('load');
    await tab.waitForTimeout(300);
    await tab.screenshot({ path: png, fullPage: true });
  });
}

async function ctrlClick(address, selector, scriptPath, jobPath, png) {
  const script = fs.readFileSync(scriptPath, 'latin1');
  const urls = await withBrowser(async (browser) => {
    const context = await browser.newContext({ viewport: { width: 700, height: 360 } });
    const caught = [];
    await context.addInitScript(script);
    const page = await context.newPage();
    await catchLoadedZelkoJobs(page, (url) => caught.push(url));
    await page.goto(address);
    await page.hover(selector);
    await page.screenshot({ path: png });
    await page.click(selector, { modifiers: ['Control'] });
    for (let i = 0; i < 50 && caught.length === 0; i++) await page.waitForTimeout(100);
    return caught;
  });
  if (urls.length !== 1 || !urls[0].startsWith(PREFIX)) {
    console.error(`expected one ${PREFIX}... address, got ${JSON.stringify(urls)}`);
    process.exit(1);
  }
  fs.writeFileSync(jobPath, Buffer.from(urls[0].slice(PREFIX.length), 'base64'));
  console.log(urls[0]);
}

const [verb, ...args] = process.argv.slice(2);
if (verb === 'render' && args.length >= 2) await render(...args);
else if (verb === 'ctrlclick' && args.length === 5) await ctrlClick(...args);
else {
  console.error('usage: demo_chromium.mjs render PAGE PNG [WIDTH HEIGHT] | ctrlclick ADDRESS SELECTOR SCRIPT JOB PNG');
  process.exit(2);
}
