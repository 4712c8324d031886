// Mirsa's history page in Chromium: the template with day blocks written the
// way the saver writes them; the seven-day rule, "Show all", "Quick find"
// and the Russian texts.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.resolve(here, '..', '..');
const templatePath = path.join(root, 'mirsa', 'resources', 'MirsaHistory.html');
const DAY_MS = 86400000;
const dayNames = ['Sunday', 'Monday', 'Tuesday', 'Wednesday', 'Thursday', 'Friday', 'Saturday'];

const two = (n) => String(n).padStart(2, '0');
function heading(date) {
  return `<h2>${dayNames[date.getDay()]} ${two(date.getDate())}.${two(date.getMonth() + 1)}.${date.getFullYear()}</h2>`;
}
function entry(time, link, title, address) {
  return [`<tr><td>${time}</td>`,
    `<td><a href="${link}" target="_blank"><b>${title}</b><br>${address}</a>`,
    '</td></tr>'];
}

// Days before today, each with its items: [time, file, title, address].
const days = [
  [20, [['09:15:02', 'old/Archive notes.html', 'Archive notes', 'http://archive.example/notes']]],
  [10, [['11:40:10', 'Gamma release.mht', 'Gamma release', 'http://gamma.example/'],
        ['12:01:59', 'Weekly digest.html', 'Weekly digest', '']]],
  [3, [['08:00:00', 'Alpha news.html', 'Alpha news', 'http://alpha.example/news']]],
  [1, [['17:10:30', 'Beta page.html', 'Beta page &lt;b&gt; test', 'http://beta.example/'],
       ['18:22:05', '_Images/photo.jpg', 'photo.jpg (Holiday pictures)', 'http://img.example/photo.jpg']]],
  [0, [['10:05:44', 'example.com/Today%20report.html', 'Today report', 'http://www.example.com/today']]],
];

function historyPage() {
  const lines = fs.readFileSync(templatePath, 'utf8').split('\r\n');
  if (lines[lines.length - 1] === '') lines.pop();
  const last = lines.pop();
  const now = new Date();
  for (const [ago, items] of days) {
    const date = new Date(now.getTime() - ago * DAY_MS);
    lines.push(heading(date), '<table>');
    for (const item of items) lines.push(...entry(...item));
    lines.push('</table>');
  }
  lines.push(last);
  return lines.join('\r\n') + '\r\n';
}

let browser;
let pageUrl;
let shotDir;

before(async () => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'mirsa-history-'));
  const file = path.join(dir, 'MirsaHistory.html');
  fs.writeFileSync(file, historyPage(), 'utf8');
  pageUrl = pathToFileURL(file).href;
  shotDir = path.join(root, 'build', 'browser');
  browser = await chromium.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox'],
  });
});

after(async () => {
  await browser?.close();
});

async function open(options = {}) {
  const context = await browser.newContext({ viewport: { width: 1024, height: 700 }, ...options });
  const page = await context.newPage();
  await page.goto(pageUrl);
  await page.waitForFunction(() => document.getElementById('content').className === '');
  return { context, page };
}

// Shown headings and rows, by their text.
async function shown(page) {
  return page.evaluate(() => {
    const visible = (e) => e.getClientRects().length > 0;
    return {
      headings: [...document.querySelectorAll('h2')].filter(visible).map((h) => h.textContent),
      rows: [...document.querySelectorAll('#content tr')].filter(visible)
        .map((r) => r.querySelector('b').textContent),
    };
  });
}

test('only the last seven days are shown at first', async () => {
  const { context, page } = await open();
  const s = await shown(page);
  assert.equal(s.headings.length, 3);
  assert.deepEqual(s.rows, ['Alpha news', 'Beta page <b> test', 'photo.jpg (Holiday pictures)',
    'Today report']);
  assert.equal(await page.inputValue('#searchbox'), 'Quick find');
  assert.equal(await page.textContent('#title'), 'History');
  await fs.promises.mkdir(shotDir, { recursive: true }).catch(() => {});
  await page.screenshot({ path: path.join(shotDir, 'history.png'), fullPage: true }).catch(() => {});
  await context.close();
});

test('"Show all" shows the older days and hides them again', async () => {
  const { context, page } = await open();
  await page.click('#showall');
  let s = await shown(page);
  assert.equal(s.headings.length, 5);
  assert.equal(s.rows.length, 7);
  await page.click('#showall');
  s = await shown(page);
  assert.equal(s.headings.length, 3);
  await context.close();
});

test('"Quick find" filters rows by title and address, whatever the day', async () => {
  const { context, page } = await open();
  await page.click('#searchbox');
  assert.equal(await page.inputValue('#searchbox'), '');
  await page.keyboard.type('GAMMA');
  await page.waitForFunction(() => document.querySelectorAll('h2:not(.hidden)').length === 1);
  let s = await shown(page);
  assert.deepEqual(s.rows, ['Gamma release']);
  assert.equal(s.headings.length, 1);
  assert.equal(await page.isChecked('#showall'), true);

  // The address counts too.
  await page.fill('#searchbox', '');
  await page.keyboard.type('img.example');
  await page.waitForFunction(() => {
    const rows = document.querySelectorAll('#content tr:not(.hidden)');
    return rows.length === 1 && rows[0].textContent.includes('photo.jpg');
  });
  s = await shown(page);
  assert.deepEqual(s.rows, ['photo.jpg (Holiday pictures)']);

  // Nothing found: every day is hidden.
  await page.fill('#searchbox', '');
  await page.keyboard.type('no such words');
  await page.waitForFunction(() => document.querySelectorAll('h2:not(.hidden)').length === 0);

  // An empty box gets its default value back when it loses the focus.
  await page.fill('#searchbox', '');
  await page.click('#title');
  assert.equal(await page.inputValue('#searchbox'), 'Quick find');
  await context.close();
});

test('a Russian browser shows the Russian texts', async () => {
  const { context, page } = await open({ locale: 'ru-RU' });
  assert.equal(await page.evaluate(() => navigator.language), 'ru-RU');
  assert.equal(await page.textContent('#title'), 'История');
  assert.equal(await page.textContent('#showlabel'), ' Показать всё');
  assert.equal(await page.inputValue('#searchbox'), 'Быстрый поиск');
  await page.click('#searchbox');
  assert.equal(await page.inputValue('#searchbox'), '');
  await page.click('#title');
  assert.equal(await page.inputValue('#searchbox'), 'Быстрый поиск');
  await page.screenshot({ path: path.join(shotDir, 'history_ru.png') }).catch(() => {});
  await context.close();
});

test('narrow windows hide the heading; print hides the header', async () => {
  const { context, page } = await open({ viewport: { width: 380, height: 600 } });
  assert.equal(await page.isVisible('#title'), false);
  assert.equal(await page.isVisible('#searchbox'), true);
  await page.emulateMedia({ media: 'print' });
  assert.equal(await page.isVisible('#header'), false);
  assert.equal((await shown(page)).rows.length, 4);
  await context.close();
});
