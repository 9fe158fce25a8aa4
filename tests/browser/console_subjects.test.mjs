// Subjects in a real browser: a subject added through the console's subject page (opened from
// the channel's menu item) appears in the channel's public subject navigation, its link opens
// the subject's list page, and the list's order arrow posts a move that the navigation follows.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

import { loadsNewDocument, waitForDialog, withSiteAndBrowser } from './support/browser.mjs';
import { clickMenuItem, signInAsAdmin } from './support/console.mjs';
import { startSite } from './support/site.mjs';

const TIMEOUT = 90000;

async function addSubject(center, name, dir) {
  await center.getByRole('link', { name: '增加专题' }).click();
  await center.waitForURL(/action=add$/);
  await center.fill('input[name=d_name]', name);
  await center.fill('input[name=d_dir]', dir);
  await loadsNewDocument(center, () => center.click('input[type=submit]'));
  await center.getByText('新增信息成功！').waitFor();
  await center.getByRole('link', { name: '返回列表' }).click();
  await center.waitForURL(/m=admin_articlesubject&channelid=1$/);
}

// The subject navigation as a public page shows it: the channel's script file in a page.
async function publicNavigation(page, site) {
  await page.goto(`${site.base}subjects.html?${Date.now()}`);
  return page.locator('#navi a').allTextContents();
}

test('a subject added in the console shows in the public subject navigation', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, browser, page }) => {
    fs.writeFileSync(
      path.join(site.root, 'subjects.html'),
      '<html><body><div id="navi"><script src="Article/Js/subjectlist.js"></script></div></body></html>',
    );
    const { menu, center } = await signInAsAdmin(page, site);

    await clickMenuItem(menu, '文章内容管理', '文章专题管理');
    await center.waitForURL(/m=admin_articlesubject&channelid=1$/);
    await center.getByText('当前位置：文章管理>>专题管理').waitFor();
    await center.getByText('没有记录').waitFor();

    await addSubject(center, '春季<专题>', 'Spring');
    await addSubject(center, '夏季专题', 'Summer');
    assert.equal(site.sql('select d_subjectcount from Vantrel_Channel where d_id = 1'), '2');
    assert.ok(fs.statSync(path.join(site.root, 'Article', 'Subject', 'Spring')).isDirectory());

    const visitor = await browser.context.newPage();
    assert.deepEqual(await publicNavigation(visitor, site), ['春季<专题>', '夏季专题']);

    // The up arrow of the lower row posts the move; the navigation follows the new order.
    browser.dialogs.length = 0;
    const springId = site.sql("select d_id from Vantrel_ArticleSubject where d_dir = 'Spring'");
    await center.locator(`a[href*="action=down"][href*="id=${springId}&"]`).click();
    await waitForDialog(browser, '排序成功！');
    await center.waitForURL(/m=admin_articlesubject&channelid=1$/);
    assert.deepEqual(await publicNavigation(visitor, site), ['夏季专题', '春季<专题>']);

    // The navigation's link opens the subject's list page.
    await visitor.getByRole('link', { name: '春季<专题>' }).click();
    await visitor.waitForURL(new RegExp(`m=subjectlist&subjectid=${springId}&channelid=1`));
    assert.match(await visitor.locator('body').innerText(), /春季<专题>/);
  });
});
