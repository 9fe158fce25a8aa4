// Advertisement scripts in a real browser: the console's JS action writes one script per
// advertisement, and each kind's script, included by a page of the site, writes its content
// into that page (awkward text included, as text). The add form's upload button stores a file
// through the upload pop-up for image and Flash advertisements and refuses for text ones. An
// announcement is written and edited through the rich-text editor of its form.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

import { loadsNewDocument, waitForDialog, withSiteAndBrowser } from './support/browser.mjs';
import { signInAsAdmin } from './support/console.mjs';
import { startSite } from './support/site.mjs';

const TIMEOUT = 90000;

// SQL text literal.
const q = (text) => `'${text.replaceAll("'", "''")}'`;

// A one-pixel GIF.
const GIF = Buffer.from('R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7', 'base64');

const AWKWARD = 'He said "hi" \\ </script><script>window.hacked=1</script>';

function seed(site) {
  site.sql(
    `insert into Vantrel_AD (d_code, d_type, d_text, d_url, d_src, d_width, d_height, d_desc)
     values
       ('pic', 0, '图片说明', 'http://ads.example/go?a=1&b=2', '/images/hot.gif', 120, 40, ''),
       ('movie', 1, '', '', '/uploadfile/ad/m.swf', 300, 100, ''),
       ('link', 2, '点我看看', '#', '', 0, 0, ''),
       ('plain', 2, ${q(AWKWARD)}, '', '', 0, 0, '');`,
  );
}

test('each kind of advertisement script shows its content on a page', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, page }) => {
    seed(site);
    const errors = [];
    page.on('pageerror', (error) => errors.push(error.message));
    await signInAsAdmin(page, site);

    // The list's JS生成 link posts the writer's form.
    await page.goto(`${site.console}?m=admin_ad`);
    await loadsNewDocument(page, () => page.getByRole('link', { name: 'JS生成' }).click());
    await page.getByText('前台JS文件生成成功！').waitFor();

    // A page of the site that includes the four scripts, as a template page does.
    const tags = ['pic', 'movie', 'link', 'plain']
      .map((code) => `<div id="ad-${code}"><script language="javascript" src="/js/ad/${code}.js"></script></div>`)
      .join('\n');
    fs.writeFileSync(
      path.join(site.root, 'adtest.html'),
      `<html><head><meta http-equiv="Content-Type" content="text/html; charset=gb2312"></head><body>\n${tags}\n</body></html>`,
    );
    await page.goto(`${site.base}adtest.html`);

    const pic = page.locator('#ad-pic a');
    assert.equal(await pic.getAttribute('href'), 'http://ads.example/go?a=1&b=2');
    assert.equal(await pic.getAttribute('target'), '_blank');
    const img = pic.locator('img');
    assert.equal(await img.getAttribute('src'), '/images/hot.gif');
    assert.equal(await img.getAttribute('alt'), '图片说明');
    assert.equal(await img.getAttribute('width'), '120');
    assert.equal(await img.evaluate((e) => e.complete && e.naturalWidth > 0), true);

    const movie = page.locator('#ad-movie object');
    assert.equal(await movie.count(), 1);
    assert.equal(await movie.locator('param[name=movie]').getAttribute('value'), '/uploadfile/ad/m.swf');
    assert.equal(await page.locator('#ad-movie embed').getAttribute('src'), '/uploadfile/ad/m.swf');
    assert.equal(await movie.getAttribute('width'), '300');

    const link = page.locator('#ad-link a');
    assert.equal(await link.innerText(), '点我看看');
    assert.equal(await link.getAttribute('href'), '#');

    // Typed text stays text: shown whole, nothing of it runs.
    assert.equal(await page.locator('#ad-plain').innerText(), AWKWARD);
    assert.equal(await page.locator('#ad-plain a').count(), 0);
    assert.equal(await page.evaluate(() => window.hacked), undefined);
    assert.deepEqual(errors, []);
  });
});

test('the upload button stores a file through the upload pop-up, except for text advertisements', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, browser, page }) => {
    await signInAsAdmin(page, site);
    await page.goto(`${site.console}?m=admin_ad&action=add`);

    // An image goes through the upload pop-up, which writes its address into the form.
    const [popup] = await Promise.all([
      browser.context.waitForEvent('page'),
      page.click('input[name=btnUpload]'),
    ]);
    await popup.waitForLoadState('load');
    assert.match(popup.url(), /admin\.asp\?m=uploadfile&type=image&lm=ad&field=myform\.d_src$/);
    await popup.setInputFiles('input[name=uploadfile]', { name: 'ad.gif', mimeType: 'image/gif', buffer: GIF });
    await Promise.all([popup.waitForEvent('close'), popup.click('input[name=bSubmit]')]);
    const address = await page.inputValue('input[name=d_src]');
    assert.match(address, /^\/Uploads\/\d+\.gif$/);
    assert.deepEqual(fs.readFileSync(path.join(site.root, address)), GIF);

    await page.check('input[name=d_type][value="1"]');
    const [flash] = await Promise.all([
      browser.context.waitForEvent('page'),
      page.click('input[name=btnUpload]'),
    ]);
    assert.match(flash.url(), /type=flash&lm=ad/);
    await flash.close();

    await page.check('input[name=d_type][value="2"]');
    const pagesBefore = browser.context.pages().length;
    await page.click('input[name=btnUpload]');
    await waitForDialog(browser, '文字广告，不需要上传文件！');
    assert.equal(browser.context.pages().length, pagesBefore);

    // The form's own checks stop a submit without a code; a code and sizes post.
    await page.click('input[name=bSubmit]');
    await waitForDialog(browser, '调用代码：不能为空，且不超过50个字符长度！');
    assert.match(page.url(), /action=add$/);
    await page.fill('input[name=d_code]', 'side-1');
    await page.fill('input[name=d_text]', '侧栏');
    await loadsNewDocument(page, () => page.click('input[name=bSubmit]'));
    await page.getByText('广告增加保存成功！').waitFor();
    assert.equal(
      site.sql("select d_type || '|' || d_text || '|' || d_src from Vantrel_AD where d_code = 'side-1'"),
      `2|侧栏|${address}`,
    );
  });
});

test('an announcement is written and edited through the editor of its form', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, page }) => {
    await signInAsAdmin(page, site);
    await page.goto(`${site.console}?m=admin_announce&action=add`);
    const editor = page.frame({ url: /kelmira\.htm\?id=d_content$/ });
    await editor.waitForLoadState('load');
    await page.fill('input[name=d_title]', '停水通知');
    await editor.click('#kelmira_area');
    await editor.locator('#kelmira_area').pressSequentially('明天停水');
    assert.match(await page.evaluate(() => Kelmira1.getHTML()), /明天停水/);
    await loadsNewDocument(page, () => page.click('input[name=btnSubmit]'));
    await page.getByText('新增信息成功！').waitFor();
    const id = site.sql("select d_id from Vantrel_Announce where d_title = '停水通知'");
    assert.match(site.sql(`select d_content from Vantrel_Announce where d_id = ${id}`), /明天停水/);

    // The edit form starts the editor from the stored HTML, which a save leaves as it is.
    const stored = '<p>第一段 &amp; "引号"</p><p><b>第二段</b></p>';
    site.sql(`update Vantrel_Announce set d_content = ${q(stored)} where d_id = ${id}`);
    await page.goto(`${site.console}?m=admin_announce&action=edit&id=${id}`);
    const again = page.frame({ url: /kelmira\.htm\?id=d_content$/ });
    await again.waitForLoadState('load');
    await again.locator('#kelmira_area b', { hasText: '第二段' }).waitFor();
    assert.equal(await page.inputValue('input[name=d_title]'), '停水通知');
    await page.fill('input[name=d_title]', '停水通知（改）');
    await loadsNewDocument(page, () => page.click('input[name=btnSubmit]'));
    await page.getByText('修改信息成功！').waitFor();
    assert.equal(site.sql(`select d_content from Vantrel_Announce where d_id = ${id}`), stored);
    assert.equal(site.sql(`select d_title from Vantrel_Announce where d_id = ${id}`), '停水通知（改）');
  });
});
