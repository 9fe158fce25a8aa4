// Comment moderation in a real browser: a reader's comment posted on the public comment page
// waits for approval, is approved from the list's action bar and answered through the reply form
// in the console's work frame, and the public comment page then shows it with the answer.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { loadsNewDocument, waitForDialog, withSiteAndBrowser } from './support/browser.mjs';
import { clickMenuItem, signInAsAdmin } from './support/console.mjs';
import { startSite } from './support/site.mjs';

const TIMEOUT = 120000;

test('a public comment approved and answered from the console shows with its answer', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, browser, page }) => {
    // A class whose comments wait for approval, and an article in it.
    site.sql(
      "insert into Vantrel_ArticleClass (d_channelid, d_pid, d_name, d_commentflag, " +
        "d_commentcheckflag, d_path, d_order, d_level, d_rootid) values (1, 0, '评论分类', -1, -1, '', 1, 0, 0)");
    const classId = site.sql('select max(d_id) from Vantrel_ArticleClass');
    site.sql(
      "insert into Vantrel_Article (d_channelid, d_classid, d_title, d_content, d_checked, d_deleted) " +
        `values (1, ${classId}, '评论测试文章', '正文', -1, 0)`);
    const articleId = site.sql('select max(d_id) from Vantrel_Article');
    const commentPage = `${site.base}asp.asp?m=comment&articleid=${articleId}&channelid=1`;

    // A reader posts a comment; it waits for approval and the public page does not show it.
    const visitor = await browser.context.newPage();
    await visitor.goto(commentPage);
    await visitor.fill('#d_name', '读者甲');
    await visitor.fill('#d_content', '很有意思的文章');
    await visitor.click('form[action*="m=comment"] button[type=submit]');
    await waitForDialog(browser, '评论成功，请等待我们审核！');
    await visitor.waitForURL(/m=comment&articleid=/);
    await visitor.waitForLoadState('load');
    assert.equal(await visitor.getByText('很有意思的文章').count(), 0);
    assert.equal(site.sql('select d_classid || d_checked from Vantrel_ArticleComment'), `${classId}0`);
    assert.equal(site.sql('select d_commentcount from Vantrel_Channel where d_id = 1'), '1');

    // The console's menu opens the moderation page; the class filter finds the comment.
    const { menu, center } = await signInAsAdmin(page, site);
    await clickMenuItem(menu, '文章内容管理', '文章评论管理');
    await center.waitForURL(/m=admin_articlecomment&channelid=1$/);
    await center.getByText('当前位置：文章管理>>评论管理').waitFor();
    await center.selectOption('select[name=qclass]', classId);
    await loadsNewDocument(center, () => center.click('input[value="查 询"]'));
    await center.getByText('很有意思的文章').waitFor();

    // Approved from the action bar.
    await center.check('input[name=selectdel]');
    await center.selectOption('select[name=selection]', 'check');
    await loadsNewDocument(center, () => center.click('form[name=actionform] input[value="执行"]'));
    await center.getByText('审核信息成功！').waitFor();
    await waitForDialog(browser, '提示：您确定要进行操作吗？');
    assert.equal(site.sql('select d_checked from Vantrel_ArticleComment'), '-1');

    // Answered through the reply form.
    await loadsNewDocument(center, () => center.getByRole('link', { name: '返回列表' }).click());
    await loadsNewDocument(center, () => center.getByRole('link', { name: '很有意思的文章' }).click());
    await center.fill('textarea[name=d_reply]', '谢谢 <b>支持</b>');
    await loadsNewDocument(center, () => center.click('input[value="提交回复"]'));
    await center.getByText('回复信息成功！').waitFor();
    assert.equal(site.sql('select d_commentcount from Vantrel_Channel where d_id = 1'), '1');

    // The public comment page shows the comment with its answer, as text.
    await visitor.goto(commentPage);
    await visitor.getByText('很有意思的文章').waitFor();
    const body = await visitor.locator('body').innerText();
    assert.match(body, new RegExp(`管理员『${site.adminName}』于 .* 回复道：\\s*谢谢 <b>支持</b>`));
    await visitor.close();
  });
});
