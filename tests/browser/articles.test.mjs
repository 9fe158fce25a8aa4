// Articles in a real browser: one written through the add form with the editor (title, class,
// content with a bold word and a picture from the editor's upload), checkForm's refusals, the
// article found in the manager, approved and then shown on the public site, recycled through the
// bulk-action confirm and restored from the recycle bin; the manager's pager drawn with arrows;
// script typed into an article by an account that may only add articles never runs for an
// administrator who reads it.
import assert from 'node:assert/strict';
import crypto from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

import { followLink, loadsNewDocument, waitForDialog, withSiteAndBrowser } from './support/browser.mjs';
import { clickMenuItem, fillAndSignIn, signInAsAdmin } from './support/console.mjs';
import { startSite } from './support/site.mjs';

const TIMEOUT = 120000;
// A 1x1 GIF.
const GIF = Buffer.from('R0lGODlhAQABAIAAAAAAAP///ywAAAAAAQABAAACAUwAOw==', 'base64');

// The editor's frame inside the work frame, once its script has started.
async function editorFrame(center) {
  const element = await center.waitForSelector('#Kelmira1');
  const frame = await element.contentFrame();
  await frame.waitForLoadState('load');
  await frame.waitForFunction(() => typeof window.getHTML === 'function');
  return frame;
}

test('writes, approves, recycles and restores an article', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, browser, page }) => {
    // A class that takes articles, and a parent class with a sub-class that takes none.
    site.sql(
      "insert into Vantrel_ArticleClass (d_id, d_channelid, d_name, d_order, d_level, d_child, d_rootid, d_path) values " +
        "(1, 1, '国内', 1, 0, 0, 1, '1,'), (2, 1, '国际', 2, 0, 1, 2, '2,'), (3, 1, '欧洲', 3, 1, 0, 2, '2,3,')",
    );
    fs.mkdirSync(path.join(site.root, 'uploadfile', 'article'), { recursive: true });
    fs.writeFileSync(path.join(site.root, 'uploadfile', 'article', 'pic.gif'), GIF);

    const { menu, center } = await signInAsAdmin(page, site);
    await clickMenuItem(menu, '文章内容管理', '添加文章');
    await center.waitForURL(/m=admin_articleadd&channelid=1$/);
    await center.getByText('当前位置：文章管理>>添加文章').waitFor();
    const editor = await editorFrame(center);

    // checkForm's refusals, in its order; nothing is posted.
    await center.selectOption('select[name=d_classid]', '2-');
    await center.click('input[value="确　定"]');
    await waitForDialog(browser, '本分类下设置不允许添加内容！');
    assert.equal(await center.evaluate(() => document.activeElement.name), 'd_classid');
    await center.selectOption('select[name=d_classid]', '1');
    await center.click('input[value="确　定"]');
    await waitForDialog(browser, '标题不能为空！');
    await center.fill('input[name=d_title]', "Tom's 第一篇");
    await center.click('input[value="确　定"]');
    await waitForDialog(browser, '内容不能为空！');
    await center.check('input[name=d_uselink]');
    await center.fill('input[name=d_linkurl]', '');
    await center.click('input[value="确　定"]');
    await waitForDialog(browser, '转向地址不能为空！');
    assert.equal(await center.locator('#ArticleContent').isVisible(), false);
    await center.uncheck('input[name=d_uselink]');
    assert.equal(await center.locator('#ArticleContent').isVisible(), true);
    assert.equal(site.sql('select count(*) from Vantrel_Article'), '0');

    // The content: a plain word and a bold one, then a picture from the editor's upload.
    const area = editor.locator('#kelmira_area');
    await area.click();
    await area.pressSequentially('正文 ');
    await editor.click('button[data-action=bold]');
    await area.pressSequentially('加粗');
    await editor.click('button[data-action=bold]');
    // What the upload pop-up does once the file is stored: the address in the editor's field.
    await editor.evaluate(() => {
      const field = document.kelmira.upload;
      field.value = '/uploadfile/article/pic.gif';
      field.dispatchEvent(new Event('change'));
    });
    // The picture list offers the uploaded file; choosing it fills the picture address.
    await center.selectOption('select[name=d_picture]', '/uploadfile/article/pic.gif');
    assert.equal(await center.inputValue('input[name=d_picurl]'), '/uploadfile/article/pic.gif');
    // Automatic paging needs its size.
    await center.selectOption('select[name=d_pagenationtype]', '1');
    await center.fill('input[name=d_maxcharperpage]', '');
    await center.click('input[value="确　定"]');
    await waitForDialog(browser, '自动分页时的每页大约字符数，请填写整数！');
    await center.selectOption('select[name=d_pagenationtype]', '0');

    await loadsNewDocument(center, () => center.click('input[value="确　定"]'));
    await center.getByText('新增文章成功！').waitFor();
    const id = site.sql('select max(d_id) from Vantrel_Article');
    const content = site.sql(`select d_content from Vantrel_Article where d_id = ${id}`);
    // The picture goes in at the caret, which may still sit inside the bold element.
    assert.match(content, /<b>加粗(<img[^>]*>)?<\/b>/);
    assert.match(content, /<img src="\/uploadfile\/article\/pic.gif"/);
    assert.equal(
      site.sql(`select d_title || '|' || d_classid || '|' || d_checked || '|' || d_uploadfiles from Vantrel_Article where d_id = ${id}`),
      "Tom's 第一篇|1|0|/uploadfile/article/pic.gif",
    );

    // Found in the manager; approving it through the bulk action's confirm.
    await menu.getByRole('link', { name: '文章管理', exact: true }).click();
    await center.waitForURL(/m=admin_article&channelid=1$/);
    await center.getByRole('link', { name: "[国内] Tom's 第一篇" }).waitFor();
    browser.dialogs.length = 0;
    await center.click('input[value="执行"]');
    await waitForDialog(browser, '请选择至少一条记录再操作！');
    await center.check(`input[name=selectdel][value="${id}"]`);
    await center.selectOption('select[name=selection]', 'check');
    await loadsNewDocument(center, () => center.click('input[value="执行"]'));
    await waitForDialog(browser, '提示：您确定要进行操作吗？');
    await center.getByText('审核操作成功！').waitFor();

    // The public site shows it.
    const visitor = await browser.context.newPage();
    await visitor.goto(`${site.base}asp.asp?m=content&articleid=${id}`);
    await visitor.locator('b', { hasText: '加粗' }).waitFor();
    assert.match(await visitor.content(), /Tom's 第一篇/);
    assert.ok((await visitor.locator('img[src="/uploadfile/article/pic.gif"]').count()) >= 1);
    await visitor.close();

    // Recycled through the confirm; a refused confirm posts nothing.
    await followLink(center, center.getByRole('link', { name: '返回列表' }));
    await center.check(`input[name=selectdel][value="${id}"]`);
    await center.selectOption('select[name=selection]', 'delall');
    browser.confirmAnswer = false;
    await center.click('input[value="执行"]');
    await waitForDialog(browser, '确定要把所有文章都放入回收站吗？');
    browser.confirmAnswer = true;
    assert.equal(site.sql(`select d_deleted from Vantrel_Article where d_id = ${id}`), '0');
    await center.selectOption('select[name=selection]', 'del');
    await loadsNewDocument(center, () => center.click('input[value="执行"]'));
    await center.getByText('删除信息成功，请重新生成列表文件！').waitFor();
    assert.equal(site.sql(`select d_deleted || d_checked from Vantrel_Article where d_id = ${id}`), '-10');
    assert.equal(site.sql('select d_itemcount || d_itemcountchecked from Vantrel_Channel where d_id = 1'), '00');

    // Restored from the recycle bin.
    await menu.getByRole('link', { name: '文章回收站', exact: true }).click();
    await center.waitForURL(/action=recycle$/);
    await center.check(`input[name=selectdel][value="${id}"]`);
    await center.selectOption('select[name=selection]', 'reback');
    await loadsNewDocument(center, () => center.click('input[value="执行"]'));
    await center.getByText('还原信息成功，请重新生成Html文件！').waitFor();
    assert.equal(site.sql(`select d_deleted from Vantrel_Article where d_id = ${id}`), '0');
    assert.equal(site.sql('select d_itemcount || d_itemcountchecked from Vantrel_Channel where d_id = 1'), '10');
  });
});

// The marks of the pager, as drawn: the text each mark shows (its ::before, the Webdings digit
// itself hidden) and whether it links.
function pagerMarks(frame) {
  return frame.locator('font[face="Webdings"]').evaluateAll((fonts) =>
    fonts.map((font) => {
      const link = font.querySelector('a');
      const drawn = getComputedStyle(link || font, '::before').content;
      const digit = getComputedStyle(link || font).fontSize;
      return { drawn, digit, link: !!link };
    }));
}

test("the article manager's pager draws arrows, not Webdings digits", { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, page }) => {
    // 10 pages of 20: the pager's window of 8 pages has marks with and without links.
    const rows = [];
    for (let n = 1; n <= 200; n += 1) rows.push(`(1, '第${n}篇', -1, 0)`);
    site.sql(`insert into Vantrel_Article (d_channelid, d_title, d_checked, d_deleted)
              values ${rows.join(',')}`);
    await signInAsAdmin(page, site);
    const arrows = ['"\u00ab"', '"\u2039"', '"\u203a"', '"\u00bb"'];
    for (const [number, links] of [[1, [false, false, true, true]], [9, [true, true, false, false]]]) {
      await page.goto(`${site.console}?m=admin_article&channelid=1&Page=${number}`);
      const marks = await pagerMarks(page);
      assert.deepEqual(marks.map((m) => m.drawn), arrows, `page ${number}`);
      assert.deepEqual(marks.map((m) => m.link), links, `page ${number}`);
      assert.ok(marks.every((m) => m.digit === '0px'), JSON.stringify(marks));
    }
  });
});

test('script in an article does not act for the administrator who reads it', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, browser, page }) => {
    // An editor who may only add articles.
    const digest = crypto.createHash('md5').update('edit-pass1', 'latin1').digest('hex').substring(8, 24);
    site.sql(`insert into Vantrel_Admin (d_name, d_password, d_adduser) values ('editor1', '${digest}', 'admin')`);
    site.sql("insert into Vantrel_ManagerFunction (d_adminname, d_functioncode) values ('editor1', 'XT_Manage_ArticleAdd')");
    const rights = "select group_concat(d_functioncode) from Vantrel_ManagerFunction where d_adminname = 'editor1'";

    // The editor types, in the editor's source view, a picture whose error handler would grant
    // them the accounts and rights pages, and a link that would do the same.
    const grant =
      "fetch('/admin.asp?m=admin_managerprivilege&action=set&save=1&id=editor1',{method:'POST'," +
      "headers:{'Content-Type':'application/x-www-form-urlencoded'}," +
      "body:'functioncode=XT_Manage_ArticleAdd&functioncode=XT_Manage_ManagerPrivilege'})";
    await page.goto(site.console);
    await fillAndSignIn(page, 'editor1', 'edit-pass1');
    await page.waitForURL(/m=admin_error/);
    await page.goto(`${site.console}?m=admin_articleadd&channelid=1`);
    const editor = await editorFrame(page);
    await page.fill('input[name=d_title]', '带脚本的文章');
    await editor.click('button[data-action=source]');
    await editor.fill(
      '#kelmira_source',
      `<p class="lead">正文</p><img src="/no-such-picture.gif" onerror="${grant}">` +
        `<a href="java&#x09;script:${grant}">链接</a>`,
    );
    await loadsNewDocument(page, () => page.click('input[value="确　定"]'));
    await page.getByText('新增文章成功！').waitFor();
    const id = site.sql('select max(d_id) from Vantrel_Article');
    assert.equal(
      site.sql(`select d_content from Vantrel_Article where d_id = ${id}`),
      '<p class="lead">正文</p><img src="/no-such-picture.gif"><a>链接</a>',
    );

    // Approved (as the manager's check does), the administrator signs in and opens the article's
    // public page.
    site.sql(`update Vantrel_Article set d_checked = -1 where d_id = ${id}`);
    await page.goto(`${site.console}?m=admin_login&action=out`);
    await signInAsAdmin(page, site);
    const reader = await browser.context.newPage();
    await reader.goto(`${site.base}asp.asp?m=content&articleid=${id}`);
    await reader.locator('p.lead', { hasText: '正文' }).waitFor();
    assert.equal(await reader.locator('img[src="/no-such-picture.gif"]').count(), 1);
    assert.equal(await reader.locator('[onerror]').count(), 0);
    assert.equal(await reader.locator('a', { hasText: '链接' }).getAttribute('href'), null);
    await reader.close();
    assert.equal(site.sql(rights), 'XT_Manage_ArticleAdd');
  });
});
