// The public lists in a real browser: a visitor searches from the channel page, gets highlighted
// results and pages through them, and pages through a class list; a new site's pages ask for no
// file it lacks.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { followLink, withSiteAndBrowser } from './support/browser.mjs';
import { startSite } from './support/site.mjs';

const TIMEOUT = 90000;

// 45 articles with the keyword in their title (one a minute, so the newest-first order is
// fixed) and 5 without, all in class 60.
function seed(site) {
  const rows = [];
  for (let n = 1; n <= 50; n += 1) {
    const title = n <= 45 ? `经济新闻第${n}篇` : `体育快讯第${n}篇`;
    const minute = String(n).padStart(2, '0');
    rows.push(`(1, 60, '${title}', '<p>正文</p>', -1, 0, '2024-05-01 08:${minute}:00')`);
  }
  site.sql(
    `insert into Vantrel_ArticleClass (d_id, d_channelid, d_name, d_dir, d_pagenum, d_order,
       d_path) values (60, 1, '财经', 'money', 20, 1, '60,');
     insert into Vantrel_Article (d_channelid, d_classid, d_title, d_content, d_checked,
       d_deleted, d_addtime) values ${rows.join(',\n')};`,
  );
}

test('a visitor searches from the channel page and pages through the results', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, page }) => {
    seed(site);
    await page.goto(`${site.base}asp.asp?channelid=1`);
    await page.locator('input[name="searchkeyword"]').first().fill('经济');
    await Promise.all([
      page.waitForURL(/m=search/),
      page.locator('input[name="searchkeyword"]').first().press('Enter'),
    ]);

    const marks = page.locator('font[color="red"]', { hasText: '经济' });
    assert.ok((await marks.count()) >= 20, 'the keyword is highlighted in every result');
    const first = await page.locator('body').innerText();
    assert.ok(first.includes('经济新闻第45篇'), 'newest first');
    assert.ok(!first.includes('体育快讯'), 'only matching titles');

    // The page links carry the keyword as a GB2312 browser sends it.
    const next = page.locator('a[href*="age=2"]').first();
    assert.match(await next.getAttribute('href'), /searchkeyword=%BE%AD%BC%C3/);
    await followLink(page, next);
    const second = await page.locator('body').innerText();
    assert.ok(second.includes('经济新闻第25篇'), 'page 2 goes on where page 1 stopped');
    assert.ok(!second.includes('经济新闻第45篇'));
  });
});

test('a visitor pages through a class list', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, page }) => {
    seed(site);
    await page.goto(`${site.base}asp.asp?m=classlist&classid=60&channelid=1`);
    const first = await page.locator('body').innerText();
    assert.ok(first.includes('体育快讯第50篇'), 'the newest article heads the list');
    assert.ok(!first.includes('经济新闻第30篇'));
    const next = page.locator('a[href*="age=2"]').first();
    await followLink(page, next);
    const second = await page.locator('body').innerText();
    assert.ok(second.includes('经济新闻第30篇'), second.slice(0, 400));
    assert.ok(!second.includes('体育快讯第50篇'));
  });
});

test("a new site's pages ask for no file the site lacks", { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, page }) => {
    seed(site);
    const article = site.sql('select max(d_id) from Vantrel_Article');
    const missing = [];
    page.on('response', (r) => {
      if (r.status() >= 400) missing.push(`${r.status()} ${r.url()} (on ${page.url()})`);
    });
    const loaded = [];
    page.on('requestfinished', (r) => loaded.push(r.url()));
    for (const address of [
      '',
      'asp.asp?channelid=1',
      'asp.asp?m=classlist&classid=60&channelid=1',
      `asp.asp?m=content&articleid=${article}&channelid=1`,
      'asp.asp?m=search&channelid=1&searchtype=d_content&searchclass=0&searchorder=4&searchkeyword=x',
    ]) {
      await page.goto(site.base + address);
      await page.waitForLoadState('load');
    }
    assert.deepEqual(missing, []);
    // The channel's menu files were among what the pages asked for.
    assert.ok(loaded.some((u) => /\/Article\/skin\/default\.css$/i.test(u)), loaded.join('\n'));
    assert.ok(loaded.some((u) => /\/Article\/Js\/default\.js$/i.test(u)), loaded.join('\n'));
  });
});
