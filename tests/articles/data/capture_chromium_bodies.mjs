// Captures the multipart bodies that headless Chromium posts from a GB2312 page, for the parser's
// tests: node capture_chromium_bodies.mjs (from tests/browser's node_modules). Serves the forms
// on 127.0.0.1, fills and submits them, and writes each raw body to <name>.body here.
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { createRequire } from 'node:module';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const require = createRequire(path.join(here, '../../browser/package.json'));
const { chromium } = require('playwright-core');

// "中文标题" and "图片" in code page 936.
const TITLE_GBK = '&#20013;&#25991;&#26631;&#39064;';
const pages = {
  // Two values under one name in two letter cases, a binary file, and a file input left empty.
  '/full': `<form method=post enctype="multipart/form-data" action="/post/full">
    <input name=title value="${TITLE_GBK} A"><input name=Title value="B">
    <input type=file name=uploadfile><input type=file name=other>
    <input type=submit id=go></form>`,
  // A file field with a one-letter name and a file name in Chinese.
  '/short': `<form method=post enctype="multipart/form-data" action="/post/short">
    <input type=file name=f><input type=submit id=go></form>`,
};

const bodies = {};
const server = http.createServer((req, res) => {
  if (req.method === 'POST') {
    const chunks = [];
    req.on('data', (c) => chunks.push(c));
    req.on('end', () => {
      bodies[req.url.substring('/post/'.length)] = Buffer.concat(chunks);
      res.end('ok');
    });
    return;
  }
  res.setHeader('Content-Type', 'text/html; charset=gb2312');
  res.end(`<html><head><meta charset=gb2312></head><body>${pages[req.url] || ''}</body></html>`);
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const base = `http://127.0.0.1:${server.address().port}`;

// Bytes that look like the multipart layout inside the file: CR LF, "--" and a blank line.
const binary = Buffer.concat([
  Buffer.from([0xff, 0xd8, 0xff, 0xe0, 0x00, 0x10, 0x0d, 0x0a, 0x2d, 0x2d]),
  Buffer.from('\r\n\r\n--not-the-boundary\r\nContent-Disposition: x\r\n'),
  Buffer.from(Array.from({ length: 256 }, (_, i) => i)),
]);

const browser = await chromium.launch({
  executablePath: process.env.FOLIREX_CHROMIUM || '/usr/bin/chromium',
  args: ['--no-sandbox', '--headless'],
});
const page = await browser.newPage();
await page.goto(`${base}/full`);
await page.setInputFiles('input[name=uploadfile]', {
  name: 'PHOTO.JPG', mimeType: 'image/jpeg', buffer: binary });
await Promise.all([page.waitForURL(`${base}/post/full`), page.click('#go')]);
await page.goto(`${base}/short`);
await page.setInputFiles('input[name=f]', {
  name: '\u56fe\u7247.png', mimeType: 'image/png', buffer: Buffer.from('PNG\r\n') });
await Promise.all([page.waitForURL(`${base}/post/short`), page.click('#go')]);
await browser.close();
server.close();

fs.writeFileSync(path.join(here, 'photo.bin'), binary);
for (const [name, body] of Object.entries(bodies)) {
  fs.writeFileSync(path.join(here, `chromium_${name}.body`), body);
}
console.log(Object.keys(bodies));
