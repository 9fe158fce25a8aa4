// Static publishing in a real browser: a second-level class added from the class form, channel 1
// and the site home published from the console's generation pages (opened from the menu), the
// batch page driven to its end in the hidden frame, a step that never answers re-driven by the
// watchdog, and the published files served with every link of theirs answering (the
// second-level class page among them). A timer shim shortens the page's 3000 ms start and its
// 600000 ms watchdog so that neither is waited out.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

import { followLink, loadsNewDocument, withSiteAndBrowser } from './support/browser.mjs';
import { clickMenuItem, signInAsAdmin } from './support/console.mjs';
import { startSite } from './support/site.mjs';

const TIMEOUT = 120000;
const START_MS = 30;
const WATCHDOG_MS = 2500;

function seed(site) {
  site.sql(
    "insert into Vantrel_ArticleClass (d_channelid, d_pid, d_name, d_dir, d_pagenum, d_level, " +
      "d_order, d_rootid, d_path) values (1, 0, '国内', 'china', 5, 0, 1, 0, '')",
  );
  const cls = site.sql("select max(d_id) from Vantrel_ArticleClass");
  site.sql(`update Vantrel_ArticleClass set d_rootid = ${cls}, d_path = '${cls},' where d_id = ${cls}`);
  const rows = [];
  for (let i = 1; i <= 23; i++) {
    const second = String(i).padStart(2, '0');
    rows.push(
      `('新闻${i}', '<p>正文${i}</p>', 1, ${cls}, -1, 0, '2024-05-01 10:00:${second}', 0)`,
    );
  }
  site.sql(
    'insert into Vantrel_Article (d_title, d_content, d_channelid, d_classid, d_checked, ' +
      `d_deleted, d_addtime, d_generatedflag) values ${rows.join(',')}`,
  );
  site.sql('update Vantrel_Channel set d_generatehtml = 1, d_groupnum = 10 where d_id = 1');
}

// Every same-site link of the static pages answers; static pages are followed in turn.
async function checkLinks(site, start) {
  const seen = new Set();
  const pending = [...start];
  let pages = 0;
  while (pending.length) {
    const url = pending.pop();
    if (seen.has(url)) continue;
    seen.add(url);
    const answer = await fetch(url, { redirect: 'manual' });
    assert.ok(answer.status === 200 || answer.status === 302, `${url} answered ${answer.status}`);
    if (!/\.html$/.test(new URL(url).pathname)) continue;
    pages++;
    const text = new TextDecoder('gbk').decode(await answer.arrayBuffer());
    for (const m of text.matchAll(/<a\s[^>]*href=['"]([^'"#]+)['"]/gi)) {
      const target = new URL(m[1].replaceAll('&amp;', '&'), url);
      if (target.origin === new URL(site.base).origin && !/^javascript:/i.test(m[1])) {
        pending.push(target.href);
      }
    }
  }
  return pages;
}

test('a channel and the site home are published from the console and served as files', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, browser, page }) => {
    seed(site);
    await browser.context.addInitScript(({ start, watchdog }) => {
      const setIntervalOf = window.setInterval.bind(window);
      window.setInterval = (fn, ms, ...rest) =>
        setIntervalOf(fn, ms === 3000 ? start : ms === 600000 ? watchdog : ms, ...rest);
    }, { start: START_MS, watchdog: WATCHDOG_MS });

    // The first load of the channel's first-page step never answers: the watchdog loads it again.
    let stalled = 0;
    await browser.context.route(/action=doingupdatehtml&option=first&/, async (route) => {
      if (stalled++ === 0) {
        await route.abort();
        return;
      }
      await route.continue();
    });

    const { menu, center } = await signInAsAdmin(page, site);

    // A second-level class added as the owner would: its form offers the parent's folder, and the
    // folder given lies inside it. Two of the articles move into it.
    await clickMenuItem(menu, '文章内容管理', '文章分类管理');
    await center.waitForURL(/m=admin_articleclass&channelid=1$/);
    const chinaRow = center.locator('tr', { has: center.getByRole('link', { name: '国内' }) });
    await followLink(center, chinaRow.getByRole('link', { name: '添加子类' }));
    assert.equal(await center.inputValue('form[name=form1] input[name=d_dir]'), 'china');
    await center.fill('form[name=form1] input[name=d_name]', '政治');
    await center.fill('form[name=form1] input[name=d_dir]', 'china/politics');
    await loadsNewDocument(center, () => center.click('input[value="确\u3000定"]'));
    await center.getByText('新增信息成功！').waitFor();
    const politics = site.sql("select d_id from Vantrel_ArticleClass where d_dir = 'china/politics'");
    site.sql(`update Vantrel_Article set d_classid = ${politics} where d_title in ('新闻1', '新闻2')`);

    await clickMenuItem(menu, '文章发布与模板', '文章生成管理');
    await center.waitForURL(/m=admin_articlehtml&channelid=1$/);
    await center.getByText('当前位置：文章管理>>生成管理').waitFor();
    await loadsNewDocument(center, () => center.click('input[type=submit][value=确定生成]'));
    const box = center.locator('#MSG');
    await box.getByText('指定数据生成完成！').waitFor({ timeout: 60000 });
    const progress = await box.innerText();
    assert.equal(stalled, 2, 'the stalled step was loaded again');
    assert.equal(progress.split('正在生成频道的首页...').length - 1, 2, progress);
    assert.match(progress, /正在生成分类\[国内\]分页文件,共5页,当前:1-5页\.\.\.完成/);
    assert.doesNotMatch(progress, /未能写入|参数错误/);
    assert.equal(site.sql('select count(*) from Vantrel_Article where d_generatedflag = 0'), '0');

    assert.ok(fs.existsSync(path.join(site.root, 'Article', 'china', 'List_1_5.html')));
    assert.match(progress, /正在生成分类\[政治\]分页文件.*完成/);

    // The second-level class page is served from its folder and lists its articles.
    const reader = await browser.context.newPage();
    const classPage = await reader.goto(`${site.base}Article/china/politics/list_${politics}.html`);
    assert.equal(classPage.status(), 200);
    assert.match(await reader.locator('body').innerText(), /新闻2/);
    await reader.close();

    // The site home, from its own menu item.
    await clickMenuItem(menu, '系统管理', '网站首页生成');
    await center.waitForURL(/m=admin_defaulthtml$/);
    await loadsNewDocument(center, () => center.click('input[type=submit][value=确定生成]'));
    await center.locator('#MSG').getByText('指定数据生成完成！').waitFor({ timeout: 30000 });
    assert.match(await center.locator('#MSG').innerText(), /正在生成网站的首页\.\.\.完成/);
    assert.ok(fs.existsSync(path.join(site.root, 'default.html')));
    const visitor = await browser.context.newPage();
    const home = await visitor.goto(site.base);
    assert.equal(home.status(), 200);
    // The channel's pages link the site home too: every link answers once both are published.
    const pages = await checkLinks(site, [`${site.base}default.html`, `${site.base}Article/default.html`]);
    assert.ok(pages >= 25, `only ${pages} static pages reached from the first pages`);
  });
});
