// Zelko's page script in Chromium: pages served on loopback through a small
// proxy (so that any host name and port reach it), the script injected as a
// user script, and each job caught from the data URL that the browser starts
// to load in the script's frame (reported over the DevTools protocol, though
// the frame is removed at once).
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { spawnSync } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { catchLoadedZelkoJobs } from './zelko_jobs.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.resolve(here, '..', '..');
const scriptPath = path.join(root, 'zelko', 'resources', 'Zelko.js');
const script = fs.readFileSync(scriptPath, 'latin1');
const PREFIX = 'data:text/zlk;charset=UTF-8;base64,';

// --- the served pages ---

const pages = {
  'www.shop.test/links.html': `<!doctype html><meta charset="utf-8"><title>Links</title>
<p id="sel">Chosen words</p>
<a id="plain" href="http://files.shop.test/get/setup.exe">Setup file</a>
<a id="img" href="/pics/big.jpg"><img id="pic" src="/pics/small.gif" width="30" height="30"></a>
<a id="other" href="http://other.test/x.zip">Other site</a>
<a id="port" href="http://files.shop.test:8080/a.zip">Port</a>
<a id="blankexe" href="/dl/tool.exe" target="_blank">Tool</a>
<a id="blankpage" href="/page2.html" target="_blank">Page two</a>
<a id="desc" href="/f.zip" style="white-space:pre">Tab\there "quoted" ünï 😀 line
break  </a>
<a id="lone" href="/g.zip">x</a>`,
  'www.shop.test/sandbox.html': `<!doctype html><title>Sandbox</title>
<iframe sandbox="allow-scripts" src="/inner.html"></iframe>`,
  'www.shop.test/inner.html': `<!doctype html><title>Inner</title><a id="in" href="/s.zip">Inside</a>`,
  'www.shop.test/quote1.html': `<!doctype html><html><head>
<meta http-equiv="refresh" content="0; url='/files/single.zip'"></head><body>1</body></html>`,
  'www.shop.test/quote2.html': `<!doctype html><html><head>
<meta http-equiv="refresh" content='0;URL= "/files/double.zip"'></head><body>2</body></html>`,
  'www.bank.co.uk/index.html': `<!doctype html><meta charset="utf-8"><title>Bank</title>
<a id="same" href="http://files.bank.co.uk/statement.pdf">Statement</a>
<a id="sibling" href="http://other.co.uk/b.zip">Other</a>`,
  'www.shop.test/forms.html': `<!doctype html><meta charset="utf-8"><title>Forms</title>
<form id="get" action="/search?lang=en" method="get">
  <input name="q" value="cats &amp; dogs"><input type="checkbox" name="safe" checked>
  <input type="checkbox" name="adult"><input type="radio" name="size" value="s">
  <input type="radio" name="size" value="m l" checked><input type="hidden" name="empty" value="">
  <input type="image" name="go" src="/pics/small.gif" alt="go"><button id="getsubmit">Find</button>
</form>
<form id="plainget" action="/find"><input name="w" value="x"><button id="plainsubmit">Find</button></form>
<form id="frag" action="/search?lang=en#results"><input name="q" value="x"><button id="fragsubmit">Find</button></form>
<form id="post" action="/login" method="POST"><input name="user" value="ann"><input name="x&#13;&#10;y" value="2">
  <select name="lang"><option value="ru" selected>ru</option></select><button id="postsubmit">Go</button></form>
<form id="reply" action="/reply" method="post"><textarea name="msg">Hi</textarea>
  <button id="replysubmit">Send</button></form>
<form id="nobutton" action="/nb"><input id="nbfield" name="n" value="1"></form>
<form id="again" action="/again"><input name="a" value="1"><button id="againsubmit"><b id="againlabel">Go</b></button></form>
<a id="dl" href="/files/f.zip">File</a>
<script>
  // The page's own submits: with a click on a link, and once more while its form goes.
  document.getElementById('dl').addEventListener('click', () => document.getElementById('plainget').requestSubmit());
  document.getElementById('againsubmit').addEventListener('click', () => document.getElementById('again').requestSubmit());
</script>`,
  'www.shop.test/refresh.html': `<!doctype html><html><head><meta charset="utf-8">
<meta http-equiv="Refresh" content="0; URL=/files/pack.zip">
<meta http-equiv="refresh" content="0;url=http://www.shop.test/files/other.zip">
<title>Refresh</title></head><body><p>Your download starts.</p></body></html>`,
};

const seen = [];
let server;
let browser;

function serve(req, res) {
  const url = new URL(req.url, `http://${req.headers.host}`);
  seen.push(`${req.method} ${url.host}${url.pathname}`);
  const body = pages[url.host + url.pathname];
  if (body !== undefined) {
    const headers = { 'Content-Type': 'text/html; charset=utf-8' };
    if (url.host === 'www.shop.test') headers['Set-Cookie'] = 'sid=shop1; Path=/';
    if (url.host === 'www.bank.co.uk') headers['Set-Cookie'] = 'session=bank9; Path=/';
    res.writeHead(200, headers);
    res.end(body);
  } else if (url.pathname.endsWith('.gif')) {
    res.writeHead(200, { 'Content-Type': 'image/gif' });
    res.end(Buffer.from('R0lGODlhAQABAAAAACw=', 'base64'));
  } else if (url.pathname.endsWith('.html')) {
    res.writeHead(200, { 'Content-Type': 'text/html' });
    res.end('<title>other</title>');
  } else {
    res.writeHead(200, { 'Content-Type': 'application/octet-stream' });
    res.end('binary');
  }
}

before(async () => {
  server = http.createServer(serve);
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  browser = await chromium.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    // A sandboxed frame stays in its page's process, where the page's
    // DevTools session sees the loads it starts.
    args: ['--no-sandbox', '--disable-features=IsolateSandboxedIframes'],
    proxy: { server: `http://127.0.0.1:${server.address().port}` },
  });
});

after(async () => {
  await browser?.close();
  await new Promise((resolve) => server?.close(resolve));
});

// A page with the script as a user script; jobs collects the decoded jobs.
async function open(address, { oldEngine = false } = {}) {
  const context = await browser.newContext({ acceptDownloads: true });
  if (oldEngine) await context.addInitScript('window.opera = { version: function () { return "8.54"; } };');
  await context.addInitScript(script);
  const page = await context.newPage();
  const jobs = [];
  await catchLoadedZelkoJobs(page, (url) => jobs.push(decodeJob(url)));
  await page.goto(address);
  return { context, page, jobs };
}

function decodeJob(url) {
  assert.ok(url.startsWith(PREFIX), url);
  const bytes = Buffer.from(url.slice(PREFIX.length), 'base64');
  const text = new TextDecoder('utf-8', { fatal: true }).decode(bytes);
  assert.ok(text.endsWith('\r\n'), 'the last line ends with CR LF');
  const lines = text.slice(0, -2).split('\r\n');
  assert.equal(lines.length, 6, JSON.stringify(text));
  assert.ok(!/[\r\n]/.test(lines.join('')), 'no lone line breaks');
  const [header, referrer, link, description, cookies, post] = lines;
  return { header, referrer, link, description, cookies, post };
}

async function settle(page, ms = 300) {
  await page.waitForTimeout(ms);
}

test('the file starts with the four header lines and runs in an ES5 engine', () => {
  assert.ok(script.startsWith('// ==UserScript==\r\n// @name Zelko\r\n// @version 1.4.6\r\n// ==/UserScript==\r\n'));
  const code = script.replace(/\/\/[^\r\n]*/g, '');
  const forbidden = [/=>/, /\blet\b/, /\bconst\b/, /`/, /\.trim\s*\(/, /\.forEach\s*\(/, /\.indexOf\s*\(/,
    /\.map\s*\(/, /\bJSON\b/, /\.bind\s*\(/, /Object\.keys/, /\bbtoa\b/, /TextEncoder/, /classList/,
    /querySelector/];
  for (const pattern of forbidden) assert.ok(!pattern.test(code), `uses ${pattern}`);

  // In duktape, with a tiny document: a Ctrl+click on a link whose text
  // holds an emoji and a lone surrogate goes through the script's own
  // UTF-8 and base64 code. An engine without isTrusted takes every click.
  const harness = `
var listeners = {}, loaded = [], cookieThrows = false;
function Anchor() {}
Anchor.prototype = { setAttribute: function () {}, getAttribute: function () { return null; } };
Object.defineProperty(Anchor.prototype, 'href', {
  set: function (v) {
    var m = /^(\\w+:)\\/\\/(([^\\/:]*)(:\\d+)?)/.exec(v);
    this._href = v; this.protocol = m[1]; this.host = m[2]; this.hostname = m[3];
  },
  get: function () { return this._href; } });
var location = { href: 'http://www.shop.test/p.html', hostname: 'www.shop.test', protocol: 'http:' };
var window = this;
window.addEventListener = function () {};
var document = {
  addEventListener: function (type, fn, capture) { if (!capture) listeners[type] = fn; },
  createElement: function (tag) {
    if (tag == 'a') return new Anchor();
    var frame = { setAttribute: function () {} };
    Object.defineProperty(frame, 'src', { set: function (v) { loaded.push(v); } });
    return frame;
  },
  documentElement: { appendChild: function () {}, removeChild: function () {} }
};
Object.defineProperty(document, 'cookie', { get: function () {
  if (cookieThrows) throw new Error('SecurityError');
  return 'sid=1';
} });
`;
  const run = `
var link = new Anchor(); link.nodeName = 'A'; link.href = 'http://files.shop.test:8080/a.zip';
link.innerText = 'Smile \\uD83D\\uDE00 half \\uD83D end';
function click(trusted) {
  var e = { button: 0, ctrlKey: true, target: link, stopPropagation: function () {}, preventDefault: function () {} };
  if (trusted !== undefined) e.isTrusted = trusted;
  listeners.click(e);
}
click();
click(false);
click(true);
cookieThrows = true; click();
cookieThrows = false; location.protocol = 'https:'; link.href = 'http://files.shop.test/b.zip'; click();
link.href = 'https://files.shop.test/c.zip'; click();
print(loaded.join(' '));
`;
  const file = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'zelko-duk-')), 'run.js');
  fs.writeFileSync(file, harness + script + run, 'latin1');
  const duk = spawnSync('duk', [file], { encoding: 'utf8' });
  assert.equal(duk.status, 0, duk.stderr + duk.stdout);
  const jobs = duk.stdout.trim().split(' ').map(decodeJob);
  assert.equal(jobs[0].header, '1;My_Download_Manager;2;;');
  assert.equal(jobs[0].description, 'Smile \u{1F600} half \uFFFD end');
  assert.deepEqual(jobs.map((j) => [j.link, j.cookies]), [
    ['http://files.shop.test:8080/a.zip', 'sid=1; '],  // no isTrusted
    ['http://files.shop.test:8080/a.zip', 'sid=1; '],  // isTrusted true
    ['http://files.shop.test:8080/a.zip', ''],         // reading cookies throws
    ['http://files.shop.test/b.zip', ''],              // https page, http link
    ['https://files.shop.test/c.zip', 'sid=1; '],
  ]);
});

test('Ctrl+click hands over links; other modifiers are left to the browser', async () => {
  const { context, page, jobs } = await open('http://www.shop.test/links.html');
  await page.click('#plain', { modifiers: ['Control'] });
  await page.click('#pic', { modifiers: ['Control'] });
  await page.click('#plain', { modifiers: ['Control', 'Shift'] });
  await page.click('#plain', { modifiers: ['Control', 'Alt'] });
  await settle(page);
  assert.deepEqual(jobs.map((j) => [j.link, j.description, j.cookies, j.post]), [
    ['http://files.shop.test/get/setup.exe', 'Setup file', 'sid=shop1; ', ''],
    ['http://www.shop.test/pics/big.jpg', '', 'sid=shop1; ', ''],
  ]);
  for (const job of jobs) {
    assert.equal(job.header, '1;My_Download_Manager;2;;');
    assert.equal(job.referrer, 'http://www.shop.test/links.html');
  }
  assert.equal(page.url(), 'http://www.shop.test/links.html');
  await context.close();
});

test('descriptions: the selection wins; blanks and quotes are made safe', async () => {
  const { context, page, jobs } = await open('http://www.shop.test/links.html');
  await page.click('#desc', { modifiers: ['Control'] });
  await page.evaluate(() => { document.getElementById('lone').textContent = 'a\uD83Dz'; });
  await page.click('#lone', { modifiers: ['Control'] });
  await page.evaluate(() => {
    const range = document.createRange();
    range.selectNodeContents(document.getElementById('sel'));
    getSelection().removeAllRanges();
    getSelection().addRange(range);
  });
  await page.click('#plain', { modifiers: ['Control'] });
  await settle(page);
  assert.deepEqual(jobs.map((j) => j.description), [
    "Tab here 'quoted' ünï 😀 line break",
    'a\uFFFDz',
    'Chosen words',
  ]);
  await context.close();
});

test('cookies go along only within one site', async () => {
  const shop = await open('http://www.shop.test/links.html');
  await shop.page.click('#other', { modifiers: ['Control'] });
  await shop.page.click('#port', { modifiers: ['Control'] });
  const bank = await open('http://www.bank.co.uk/index.html');
  await bank.page.click('#same', { modifiers: ['Control'] });
  await bank.page.click('#sibling', { modifiers: ['Control'] });
  await settle(bank.page);
  assert.deepEqual(shop.jobs.map((j) => [j.link, j.cookies]), [
    ['http://other.test/x.zip', ''],
    // Cookies are not kept apart by port.
    ['http://files.shop.test:8080/a.zip', 'sid=shop1; '],
  ]);
  assert.deepEqual(bank.jobs.map((j) => [j.link, j.cookies]), [
    ['http://files.bank.co.uk/statement.pdf', 'session=bank9; '],
    ['http://other.co.uk/b.zip', ''],
  ]);
  assert.ok(!seen.some((s) => s.includes('other.co.uk') || s.includes('other.test')));
  await shop.context.close();
  await bank.context.close();
});

test('Ctrl+submit hands over GET and POST forms; a reply form is sent', async () => {
  const { context, page, jobs } = await open('http://www.shop.test/forms.html');
  await page.click('#getsubmit', { modifiers: ['Control'] });
  await page.click('#plainsubmit', { modifiers: ['Control'] });
  await page.click('#fragsubmit', { modifiers: ['Control'] });
  await page.click('#postsubmit', { modifiers: ['Control'] });
  await settle(page);
  assert.deepEqual(jobs.map((j) => [j.link, j.post, j.description]), [
    ['http://www.shop.test/search?lang=en&q=cats%20%26%20dogs&safe=on&size=m%20l&empty=&go.x=0&go.y=0', '', ''],
    ['http://www.shop.test/find?w=x', '', ''],
    // The parameters go before the fragment.
    ['http://www.shop.test/search?lang=en&q=x#results', '', ''],
    // A field name with a line break cannot add a line to the job.
    ['http://www.shop.test/login?user=ann&x%0D%0Ay=2&lang=ru', 'user=ann&x%0D%0Ay=2&lang=ru', ''],
  ]);
  assert.ok(!seen.some((s) => s.includes('/search') || s.includes('/find') || s.includes('/login')));
  // Chromium sends a Ctrl+submitted form from a new tab.
  await page.click('#replysubmit', { modifiers: ['Control'] });
  for (let i = 0; i < 50 && !seen.includes('POST www.shop.test/reply'); i++) await settle(page, 100);
  assert.ok(seen.includes('POST www.shop.test/reply'), seen.join('\n'));
  assert.equal(jobs.length, 4);
  await context.close();
});

test('a meta refresh to an archive is handed over once and not followed', async () => {
  const { context, page, jobs } = await open('http://www.shop.test/refresh.html');
  await page.waitForTimeout(1500);
  assert.deepEqual(jobs.map((j) => [j.referrer, j.link, j.description]), [
    ['http://www.shop.test/refresh.html', 'http://www.shop.test/files/pack.zip', ''],
  ]);
  assert.ok(!seen.some((s) => s.includes('/files/')), seen.join('\n'));
  assert.equal(page.url(), 'http://www.shop.test/refresh.html');
  assert.match(await page.textContent('body'), /Your download starts/);
  await context.close();
});

test('a _blank link to a program opens in place, one to a page in a new window', async () => {
  const { context, page, jobs } = await open('http://www.shop.test/links.html');
  const popups = [];
  context.on('page', (p) => popups.push(p));
  const download = page.waitForEvent('download');
  await page.click('#blankexe');
  await download;
  assert.equal(await page.getAttribute('#blankexe', 'target'), null);
  assert.equal(popups.length, 0);
  const popup = page.waitForEvent('popup');
  await page.click('#blankpage');
  await popup;
  assert.equal(await page.getAttribute('#blankpage', 'target'), '_blank');
  assert.equal(jobs.length, 0);
  await context.close();
});

test('an engine older than version 9 catches nothing', async () => {
  const { context, page, jobs } = await open('http://www.shop.test/links.html', { oldEngine: true });
  await page.click('#plain', { modifiers: ['Control'] });
  await page.goto('http://www.shop.test/forms.html');
  await page.click('#plainsubmit', { modifiers: ['Control'] }).catch(() => {});
  await settle(page, 800);
  assert.equal(jobs.length, 0);
  await context.close();
});

test('a meta refresh address in quotes is caught without its quotes', async () => {
  for (const [name, file] of [['quote1.html', 'single.zip'], ['quote2.html', 'double.zip']]) {
    const { context, page, jobs } = await open(`http://www.shop.test/${name}`);
    await page.waitForTimeout(1000);
    assert.deepEqual(jobs.map((j) => j.link), [`http://www.shop.test/files/${file}`], name);
    assert.equal(page.url(), `http://www.shop.test/${name}`);
    await context.close();
  }
  assert.ok(!seen.some((s) => s.includes('/files/')), seen.join('\n'));
});

test('clicks, keys and submits that the page makes itself hand over nothing', async () => {
  const { context, page, jobs } = await open('http://www.shop.test/links.html');
  await page.evaluate(() => {
    const link = document.getElementById('plain');
    for (let i = 0; i < 5; i++)
      link.dispatchEvent(new MouseEvent('click', { ctrlKey: true, bubbles: true, cancelable: true }));
  });
  await settle(page);
  assert.equal(jobs.length, 0);
  await page.click('#plain', { modifiers: ['Control'] });
  await settle(page);
  assert.equal(jobs.length, 1, 'a real Ctrl+click still goes');

  const forms = await open('http://www.shop.test/forms.html');
  // A Ctrl key the page fakes, then a real submit of the browser's own.
  await forms.page.evaluate(() => {
    document.dispatchEvent(new KeyboardEvent('keydown', { ctrlKey: true, key: 'Control', bubbles: true }));
    document.getElementById('post').requestSubmit();
  });
  for (let i = 0; i < 50 && !seen.includes('POST www.shop.test/login'); i++) await settle(forms.page, 100);
  assert.ok(seen.includes('POST www.shop.test/login'), 'the form was sent as usual');
  // A submit event the page makes while the user holds Ctrl.
  await forms.page.goto('http://www.shop.test/forms.html');
  await forms.page.keyboard.down('Control');
  await forms.page.evaluate(() => {
    document.getElementById('plainget').dispatchEvent(new Event('submit', { bubbles: true, cancelable: true }));
  });
  await forms.page.keyboard.up('Control');
  await settle(forms.page);
  assert.equal(forms.jobs.length, 0);
  await context.close();
  await forms.context.close();
});

// A Ctrl+Enter as the platform delivers it (Playwright's own sends no
// character with Ctrl, so the browser would not submit).
async function ctrlEnter(page, selector) {
  await page.focus(selector);
  const input = await page.context().newCDPSession(page);
  const key = { modifiers: 2, key: 'Enter', code: 'Enter', windowsVirtualKeyCode: 13 };
  await input.send('Input.dispatchKeyEvent', { type: 'rawKeyDown', modifiers: 2, key: 'Control', windowsVirtualKeyCode: 17 });
  await input.send('Input.dispatchKeyEvent', { type: 'rawKeyDown', ...key });
  await input.send('Input.dispatchKeyEvent', { type: 'char', text: '\r', unmodifiedText: '\r', ...key });
  await input.send('Input.dispatchKeyEvent', { type: 'keyUp', ...key });
  await input.send('Input.dispatchKeyEvent', { type: 'keyUp', key: 'Control', windowsVirtualKeyCode: 17 });
  await input.detach();
}

// Waits for a request the server gets from now on.
async function waitSeen(page, request, action) {
  const from = seen.length;
  await action();
  for (let i = 0; i < 50 && !seen.slice(from).includes(request); i++) await settle(page, 100);
  assert.ok(seen.slice(from).includes(request), `${request} was sent as usual`);
}

test('a form the page submits itself is sent as usual, whatever the user pressed', async () => {
  const { context, page, jobs } = await open('http://www.shop.test/forms.html');
  // In the very turn of the user's real Ctrl+click on a link.
  await waitSeen(page, 'GET www.shop.test/find', () => page.click('#dl', { modifiers: ['Control'] }));
  // While the user holds Ctrl, after a real Ctrl+click a moment before.
  await page.goto('http://www.shop.test/forms.html');
  await page.keyboard.down('Control');
  await waitSeen(page, 'POST www.shop.test/login',
    () => page.evaluate(() => document.getElementById('post').requestSubmit()));
  await page.keyboard.up('Control');
  await settle(page);
  assert.deepEqual(jobs.map((j) => j.link), ['http://www.shop.test/files/f.zip']);
  await context.close();
});

test("the user's own Ctrl+Enter and Ctrl+click on a submit control hand the form over once", async () => {
  const { context, page, jobs } = await open('http://www.shop.test/forms.html');
  await ctrlEnter(page, '#nbfield');
  await ctrlEnter(page, '#plainget input');
  // The page submits this form once more while the click sends it.
  await page.click('#againlabel', { modifiers: ['Control'] });
  await settle(page);
  assert.deepEqual(jobs.map((j) => j.link), [
    'http://www.shop.test/nb?n=1',
    'http://www.shop.test/find?w=x',
    'http://www.shop.test/again?a=1',
  ]);
  assert.ok(!seen.some((s) => /\/(nb|again)$/.test(s)), seen.join('\n'));
  await context.close();
});

test('a link in a sandboxed frame, where reading cookies throws, goes without cookies', async () => {
  const { context, page, jobs } = await open('http://www.shop.test/sandbox.html');
  await page.frameLocator('iframe').locator('#in').click({ modifiers: ['Control'] });
  await settle(page);
  assert.deepEqual(jobs.map((j) => [j.referrer, j.link, j.cookies]), [
    ['http://www.shop.test/inner.html', 'http://www.shop.test/s.zip', ''],
  ]);
  assert.ok(!seen.some((s) => s.includes('/s.zip')), seen.join('\n'));
  await context.close();
});
