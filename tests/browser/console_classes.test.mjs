// The class tree page in a real browser: opened from the channel's menu item in the frame set,
// a class and a subclass added through the forms, a class moved up by its arrow (posted by the
// page's script) and the subclass moved under another class with the move form; the public
// channel page and the class page's breadcrumb show the new tree.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { followLink, loadsNewDocument, waitForDialog, withSiteAndBrowser } from './support/browser.mjs';
import { clickMenuItem, signInAsAdmin } from './support/console.mjs';
import { startSite } from './support/site.mjs';

const TIMEOUT = 90000;

// The classes of channel 1 as "name/level/descendants" in position order.
function tree(site) {
  return site.sql(
    "select group_concat(d_name || '/' || d_level || '/' || d_child, ' ') from " +
      '(select * from Vantrel_ArticleClass where d_channelid = 1 order by d_order)',
  );
}

async function addClass(center, name, dir) {
  await center.fill('form[name=form1] input[name=d_name]', name);
  await center.fill('form[name=form1] input[name=d_dir]', dir);
  await center.click('input[value="确\u3000定"]');
  await center.getByText('新增信息成功！').waitFor();
}

test('builds and reshapes a class tree from the console', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, browser, page }) => {
    const { menu, center } = await signInAsAdmin(page, site);

    await clickMenuItem(menu, '文章内容管理', '文章分类管理');
    await center.waitForURL(/m=admin_articleclass&channelid=1$/);
    await center.getByText('当前位置：文章管理>>分类管理').waitFor();
    await center.getByText('没有记录').waitFor();

    // Two top-level classes, then a subclass of the first from its row's link.
    await followLink(center, center.getByRole('link', { name: '增加一级分类' }));
    await addClass(center, '新闻', 'news');
    await followLink(center, center.getByRole('link', { name: '返回继续新增' }));
    await addClass(center, '体育', 'sport');
    await followLink(center, center.getByRole('link', { name: '返回列表' }));
    const newsRow = center.locator('tr', { has: center.getByRole('link', { name: '新闻' }) });
    await followLink(center, newsRow.getByRole('link', { name: '添加子类' }));
    assert.equal(await center.inputValue('form[name=form1] input[name=d_dir]'), 'news');
    assert.equal(
      await center.locator('select[name=d_pid] option:checked').textContent(),
      '新闻',
    );
    await center.fill('form[name=form1] input[name=d_dir]', 'news/home');
    await addClass(center, '国内', 'news/home');
    assert.equal(tree(site), '新闻/0/1 国内/1/0 体育/0/0');

    // The up arrow posts through the page's script and comes back to the list.
    await followLink(center, center.getByRole('link', { name: '返回列表' }));
    const sportRow = center.locator('tr', { has: center.getByRole('link', { name: '体育' }) });
    await loadsNewDocument(center, () => sportRow.locator('img[src="admin/up.gif"]').click());
    await waitForDialog(browser, '排序移动操作成功！');
    await center.waitForURL(/m=admin_articleclass&channelid=1$/);
    assert.equal(tree(site), '体育/0/0 新闻/0/1 国内/1/0');

    // The move form puts the subclass under the other class.
    const homeRow = center.locator('tr', { has: center.getByRole('link', { name: '国内' }) });
    await followLink(center, homeRow.getByRole('link', { name: '移动分类' }));
    await center.selectOption('select[name=d_toid]', { label: '体育' });
    await center.click('input[value="转移到>>>"]');
    await center.getByText('移动分类成功！').waitFor();
    assert.equal(tree(site), '体育/0/1 国内/1/0 新闻/0/0');

    // The public pages show the new tree at once.
    const homeId = site.sql("select d_id from Vantrel_ArticleClass where d_name = '国内'");
    await page.goto(`${site.base}asp.asp?m=classlist&classid=${homeId}&channelid=1`);
    const path = await page.locator('body').innerText();
    assert.match(path, /您当前位置：文章中心\s*>>\s*体育\s*>>\s*国内\s*>>\s*分类列表/);
    await page.goto(`${site.base}asp.asp?channelid=1`);
    const first = await page.locator('body').innerText();
    assert.ok(first.indexOf('体育') >= 0 && first.indexOf('体育') < first.indexOf('新闻'), first);

    // The other actions of the page: edit, reset, emptying, the repair and the deletion.
    const list = `${site.console}?m=admin_articleclass&channelid=1`;
    await page.goto(list);
    await followLink(page, page.getByRole('link', { name: '国内' }));
    await page.fill('form[name=form1] input[name=d_name]', '国内新闻');
    await page.click('input[value="确\u3000定"]');
    await page.getByText('修改信息成功！').waitFor();
    await followLink(page, page.getByRole('link', { name: '返回列表' }));

    browser.dialogs.length = 0;
    await loadsNewDocument(page, () => page.getByRole('link', { name: '复位子类', exact: true }).click());
    await waitForDialog(browser, '复位操作成功！');
    assert.equal(tree(site), '体育/0/1 国内新闻/1/0 新闻/0/0');

    const sportId = site.sql("select d_id from Vantrel_ArticleClass where d_name = '体育'");
    site.sql(`insert into Vantrel_Article (d_channelid, d_classid, d_title) values (1, ${homeId}, 'a')`);
    await page.locator(`input[name=checkid][value="${sportId}"]`).check();
    await page.click('input[value="执行"]');
    await page.getByText('此分类（包括子分类）的所有文章已经被移到回收站中！').waitFor();
    assert.equal(site.sql(`select d_deleted from Vantrel_Article where d_classid = ${homeId}`), '-1');

    await page.goto(list);
    await page.getByRole('link', { name: '复位子类结构' }).click();
    await page.getByText('分类修复成功！').waitFor();
    // The link bar's repair is posted from the other pages that show the bar too.
    await page.goto(`${list}&action=add`);
    await page.getByRole('link', { name: '复位子类结构' }).click();
    await page.getByText('分类修复成功！').waitFor();

    // A deletion the administrator does not confirm changes nothing.
    await page.goto(list);
    const newsDelete = page
      .locator('tr', { has: page.getByRole('link', { name: '新闻', exact: true }) })
      .getByRole('link', { name: '删除分类' });
    browser.confirmAnswer = false;
    await newsDelete.click();
    await waitForDialog(browser, '确定要删除此分类吗？');
    assert.equal(tree(site), '体育/0/1 国内新闻/1/0 新闻/0/0');
    browser.confirmAnswer = true;
    await newsDelete.click();
    await page.getByText('删除分类成功！').waitFor();
    assert.equal(tree(site), '体育/0/1 国内新闻/1/0');
  });
});
