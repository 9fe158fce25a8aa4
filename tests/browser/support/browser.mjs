// Headless Debian Chromium driven through playwright-core, with a fresh profile per test. Every
// alert and confirm is recorded and answered (confirm with yes unless a test says otherwise);
// pop-ups are pages of the same context; on failure every open page is photographed into the
// screenshot folder.
// FOLIREX_BROWSER_SLOW=N runs every page's CPU N times slower, to shake out tests that read a
// page before the browser has finished loading it.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';

export const CHROMIUM = process.env.FOLIREX_CHROMIUM || '/usr/bin/chromium';

const ARGS = [
  '--headless',
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
];

function screenshotFolder() {
  const dir = process.env.FOLIREX_SCREENSHOTS || path.join(os.tmpdir(), 'folirex-screenshots');
  fs.mkdirSync(dir, { recursive: true });
  return dir;
}

export async function openBrowser() {
  const slow = Number(process.env.FOLIREX_BROWSER_SLOW || 1);
  if (!(slow >= 1)) {
    throw new Error(`FOLIREX_BROWSER_SLOW must be 1 or more, not ${process.env.FOLIREX_BROWSER_SLOW}`);
  }
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'folirex-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    // The profile folder is the fresh --user-data-dir; Playwright passes it on to Chromium.
    args: ARGS,
    viewport: { width: 1100, height: 760 },
    locale: 'zh-CN',
  });
  const browser = {
    context,
    dialogs: [],
    // The answer to the next confirm boxes; alerts are always accepted.
    confirmAnswer: true,
    page: null,
  };
  const watch = async (page) => {
    page.on('dialog', async (dialog) => {
      browser.dialogs.push({ type: dialog.type(), message: dialog.message() });
      if (dialog.type() === 'confirm' && !browser.confirmAnswer) {
        await dialog.dismiss();
      } else {
        await dialog.accept();
      }
    });
    if (slow > 1) {
      const cdp = await context.newCDPSession(page);
      await cdp.send('Emulation.setCPUThrottlingRate', { rate: slow });
    }
  };
  await Promise.all(context.pages().map(watch));
  // A pop-up may close before its slowing is set; that page then needs none.
  context.on('page', (page) => watch(page).catch(() => {}));
  browser.page = context.pages()[0] || (await context.newPage());
  browser.close = async () => {
    await context.close();
    fs.rmSync(profile, { recursive: true, force: true });
  };
  browser.screenshots = async (name) => {
    const dir = screenshotFolder();
    const safe = name.replace(/[^A-Za-z0-9_-]+/g, '_');
    const files = [];
    let i = 0;
    for (const page of context.pages()) {
      const file = path.join(dir, `${safe}-${i++}.png`);
      try {
        await page.screenshot({ path: file, fullPage: true });
        files.push(file);
      } catch {
        // A page that is closing cannot be photographed; the others still are.
      }
    }
    return files;
  };
  return browser;
}

// Waits until a dialog whose text contains the words has been answered.
export async function waitForDialog(browser, words, timeout = 10000) {
  const end = Date.now() + timeout;
  while (Date.now() < end) {
    const found = browser.dialogs.find((d) => d.message.includes(words));
    if (found) return found;
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  throw new Error(`no dialog saying "${words}"; seen: ${JSON.stringify(browser.dialogs)}`);
}

// A page or frame that has finished loading answers waitForLoadState at once, also when a click
// has just started loading the next document, and waitForURL answers at once for an address it
// already shows. The two helpers below wait for the document that a click brings.

// Clicks the link and waits until the page or frame has loaded the document at its address.
export async function followLink(frame, link) {
  const target = await link.evaluate((a) => a.href);
  if (target === frame.url()) throw new Error(`the link leads to the page shown: ${target}`);
  await Promise.all([frame.waitForURL(target), link.click()]);
}

// Runs the action and waits until the page or frame has loaded the document that replaces the
// one shown, also where it has the same address (a form posted back to its own page, a redirect
// back to the list). The document shown is marked first; the wait is for one without the mark.
// Not for history.back(): a page restored from the back-forward cache keeps its mark.
export async function loadsNewDocument(frame, action) {
  await frame.evaluate(() => {
    window.folirexShownBefore = true;
  });
  await action();
  await frame.waitForFunction(() => !window.folirexShownBefore, null, { polling: 50 });
  await frame.waitForLoadState('load');
}

// Runs one browser test against its own site; photographs every page when it fails.
export async function withSiteAndBrowser(t, startSite, body) {
  const site = await startSite();
  let browser;
  try {
    browser = await openBrowser();
    await body({ site, browser, page: browser.page });
  } catch (error) {
    if (browser) {
      const files = await browser.screenshots(t.name);
      if (files.length) error.message += `\nscreenshots: ${files.join(', ')}`;
    }
    throw error;
  } finally {
    if (browser) await browser.close();
    await site.stop();
  }
}
