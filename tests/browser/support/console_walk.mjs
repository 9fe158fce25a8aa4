// A walk of the whole console of a seeded site in a real browser: from the menu, every console
// page reached by a plain link is opened, each link that its script posts is clicked and each form
// is submitted once, as a browser sends it; no step may answer "参数错误" (which is also what a
// refused GET of a state change answers) or a server error. Bounded: a few pages of each kind,
// one click or submission of each on each kind of page, a fixed number of steps in all.
//
// Skipped, so that the walk keeps its site and its sign-in: deletions (actions holding "del",
// and the bulk lists that post to them), emptying and clearing, the sign-out, the sign-in page,
// the collection run page (it fetches the projects' sites), and links written as "javascript:"
// (pop-ups and pagers that call a script).
//
// The same walk runs on an SQLite site and on a site on the private PostgreSQL cluster (each from
// its own test file, so that the two run side by side).
import assert from 'node:assert/strict';

import { withSiteAndBrowser } from './browser.mjs';
import { signInAsAdmin } from './console.mjs';

export const WALK_TIMEOUT = 600000;
const PAGES_PER_KIND = 2;
const MAX_STEPS = 500;
const SETTLE_MS = 4000;

const SKIPPED_ACTION = /del|empty|clear|^out$/;
const SKIPPED_M = /^admin_(login|articlecollect)$/;

// "m|action" of a console address, or null when it is not one the walk may reach.
function kindOf(url, consoleUrl) {
  let u;
  try {
    u = new URL(url);
  } catch {
    return null;
  }
  const home = new URL(consoleUrl);
  if (u.origin !== home.origin || u.pathname !== home.pathname) return null;
  const m = (u.searchParams.get('m') || '').toLowerCase();
  const action = (u.searchParams.get('action') || '').toLowerCase();
  if (!m || SKIPPED_M.test(m) || SKIPPED_ACTION.test(action)) return null;
  return `${m}|${action}`;
}

function seed(site) {
  site.sql(
    "insert into Vantrel_ArticleSubject (d_channelid, d_name, d_order) values (1, '漫游专题', 1)",
  );
  site.sql("insert into Vantrel_Keyword (d_channelid, d_name, d_order) values (1, '漫游', 1)");
  site.sql(
    "insert into Vantrel_Admin (d_name, d_password, d_adduser) values " +
      "('editor1', 'e10adc3949ba59abbe56e057f20f883e', 'admin')",
  );
  site.sql(
    "insert into Vantrel_ManagerFunction (d_adminname, d_functioncode) values " +
      "('editor1', 'XT_Manage_Main')",
  );
}

// Walks the console of a site that `startSite` starts; fails the test `t` on what it finds.
export async function walkConsole(t, startSite) {
  await withSiteAndBrowser(t, startSite, async ({ site, browser, page }) => {
    seed(site);
    await signInAsAdmin(page, site);

    // A class through its own form, then an article in it: the pages that list them have rows.
    await page.goto(`${site.console}?m=admin_articleclass&channelid=1&action=add`);
    await page.fill('form[name=form1] input[name=d_name]', '漫游分类');
    await page.fill('form[name=form1] input[name=d_dir]', 'walk');
    await page.click('input[value="确\u3000定"]');
    await page.getByText('新增信息成功！').waitFor();
    const classId = site.sql("select d_id from Vantrel_ArticleClass where d_dir = 'walk'");
    site.sql(
      'insert into Vantrel_Article (d_channelid, d_classid, d_title, d_author, d_content, ' +
        `d_checked, d_deleted) values (1, ${classId}, '漫游文章', '记者', '<p>正文</p>', -1, 0)`,
    );

    const failures = [];
    const serverErrors = [];
    page.context().on('response', (response) => {
      if (response.status() >= 500) serverErrors.push(`${response.status()} ${response.url()}`);
    });

    // Runs one step and waits until the page shows the document it brings (or, when it brings
    // none, e.g. a check of the page's own script refused it, until it settles); records what
    // the step answered that it must not.
    let steps = 0;
    const step = async (what, action) => {
      steps += 1;
      const seen = browser.dialogs.length;
      await page.evaluate(() => { window.__walkMark = 1; }).catch(() => {});
      try {
        await action();
      } catch (error) {
        failures.push(`${what}: ${error.message.split('\n')[0]}`);
        return;
      }
      const end = Date.now() + SETTLE_MS;
      while (Date.now() < end) {
        const fresh = await page
          .evaluate(() => document.readyState === 'complete' && !window.__walkMark)
          .catch(() => false);
        if (fresh) break;
        await page.waitForTimeout(50);
      }
      await page.waitForLoadState('load').catch(() => {});
      const said = browser.dialogs.slice(seen).map((d) => d.message);
      const text = await page.locator('body').innerText().catch(() => '');
      for (const message of said.concat([text])) {
        if (message.includes('参数错误')) failures.push(`${what}: 参数错误 at ${page.url()}`);
      }
    };

    // What a page offers: its plain links, the links its script posts, and its forms.
    const offers = () =>
      page.evaluate(() => {
        const links = [...document.querySelectorAll('a[href]')].map((a, index) => ({
          index,
          href: a.href,
          scripted: a.hasAttribute('onclick'),
          text: a.textContent.trim(),
        }));
        const forms = [...document.forms].map((f, index) => ({
          index,
          action: f.action,
          name: f.getAttribute('name') || '',
          target: f.getAttribute('target') || '',
        }));
        return { links, forms };
      });

    const pagesOfKind = new Map();
    const done = new Set();
    const queue = [`${site.console}?m=admin_menu`, `${site.console}?m=admin_main`];
    const queued = new Set(queue);
    let pagesOpened = 0;
    let clicked = 0;
    let submitted = 0;
    while (queue.length > 0 && steps < MAX_STEPS) {
      const url = queue.shift();
      const kind = kindOf(url, site.console);
      if (!kind || (pagesOfKind.get(kind) || 0) >= PAGES_PER_KIND) continue;
      pagesOfKind.set(kind, (pagesOfKind.get(kind) || 0) + 1);
      await step(`open ${url}`, () => page.goto(url));
      pagesOpened += 1;
      const { links, forms } = await offers();
      for (const link of links) {
        const linkKind = kindOf(link.href, site.console);
        if (!linkKind) continue;
        if (!link.scripted) {
          if (!queued.has(link.href)) {
            queued.add(link.href);
            queue.push(link.href);
          }
          continue;
        }
        // Once on each kind of page: a link's script works only with what its page holds.
        const key = `click ${kind} ${linkKind}`;
        if (done.has(key) || steps >= MAX_STEPS) continue;
        done.add(key);
        await page.goto(url);
        await step(`click "${link.text}" (${link.href}) on ${url}`, () =>
          page.locator('a[href]').nth(link.index).click({ timeout: 5000 }),
        );
        clicked += 1;
      }
      for (const form of forms) {
        const formKind = kindOf(form.action, site.console);
        const key = `form ${kind} ${formKind} ${form.name}`;
        if (!formKind || done.has(key) || steps >= MAX_STEPS) continue;
        done.add(key);
        await page.goto(url);
        // Sent as the browser sends the form with the values the page gave it, where a list box
        // shows no choice its first entry chosen (as someone who sends it would choose one); a
        // form that opens in another window is sent in this one, so that its answer is read here.
        await step(`submit form "${form.name}" (${form.action}) on ${url}`, () =>
          page.evaluate((index) => {
            const f = document.forms[index];
            for (const select of f.querySelectorAll('select')) {
              if (select.selectedIndex < 0 && select.options.length > 0) select.selectedIndex = 0;
            }
            f.removeAttribute('target');
            HTMLFormElement.prototype.submit.call(f);
          }, form.index),
        );
        submitted += 1;
      }
    }

    console.log(
      `walked ${pagesOpened} pages of ${pagesOfKind.size} kinds, ${clicked} scripted links, ` +
        `${submitted} forms, ${steps} steps`,
    );
    assert.deepEqual(failures, []);
    assert.deepEqual(serverErrors, []);
    // The walk reached the console's modules, not only the menu.
    assert.ok(pagesOfKind.size >= 25, [...pagesOfKind.keys()].join(' '));
    assert.ok(submitted >= 20 && clicked >= 3, `${submitted} forms, ${clicked} links`);
  });
}
