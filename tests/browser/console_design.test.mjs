// The design pages in a real browser: a skin added, a template page using it written and edited
// in the console's work frame (its text coming back from the form whole), mapped into the
// channel's template set through the picker, and the public page following each change; then
// deleted from the list's bulk action, which points the set back at the system page.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { loadsNewDocument, withSiteAndBrowser } from './support/browser.mjs';
import { signInAsAdmin } from './support/console.mjs';
import { startSite } from './support/site.mjs';

const TIMEOUT = 120000;

// The public first page of channel 1 as a visitor's second tab shows it: its markup, and the
// colour its stylesheets give the heading (none when it has no heading).
async function publicFirstPage(browser, site) {
  const visitor = await browser.page.context().newPage();
  try {
    await visitor.goto(`${site.base}asp.asp?channelid=1`);
    await visitor.waitForLoadState('load');
    const colour = await visitor.evaluate(() => {
      const h1 = document.querySelector('h1');
      return h1 ? getComputedStyle(h1).color : 'none';
    });
    return { html: await visitor.content(), colour };
  } finally {
    await visitor.close();
  }
}

test('a skin and a template page written, mapped through the picker, edited and deleted', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, browser, page }) => {
    const { menu, center } = await signInAsAdmin(page, site);
    await menu.locator('th', { hasText: '≡ 文章发布与模板 ≡' }).click();

    // A skin of channel 1, its stylesheet file written under the channel's folder.
    await menu.getByRole('link', { name: '文章风格管理', exact: true }).click();
    await center.waitForURL(/m=admin_skin&channelid=1$/);
    await center.getByText('当前位置：文章管理>>风格管理').waitFor();
    await center.getByRole('link', { name: '新增风格' }).click();
    await center.waitForURL(/action=add$/);
    await center.fill('input[name=d_name]', '浏览器风格');
    await center.fill('textarea[name=d_content]', 'h1 { color: rgb(1, 2, 3); }');
    await loadsNewDocument(center, () => center.click('input[type=submit]'));
    await center.getByText('新增操作成功！').waitFor();
    const skin = site.sql("select d_id from Vantrel_Skin where d_name = '浏览器风格'");
    const css = await page.request.get(`${site.base}Article/Skin/${skin}.css`);
    assert.equal(await css.text(), 'h1 { color: rgb(1, 2, 3); }');

    await menu.getByRole('link', { name: '文章模板页管理', exact: true }).click();
    await center.waitForURL(/m=admin_templatepage&channelid=1$/);
    await center.getByText('当前位置：文章管理>>模板页管理').waitFor();

    // A new first page of channel 1.
    const firstText = '<html><body><h1>浏览器写的首页 "双" \'单\'</h1>{$showcss}</textarea></body></html>';
    await center.getByRole('link', { name: '新增', exact: true }).click();
    await center.waitForURL(/action=add$/);
    await center.fill('input[name=d_name]', '浏览器首页');
    await center.selectOption('select[name=d_type]', 'first');
    await center.selectOption('select[name=d_skinid]', skin);
    await center.fill('textarea[name=d_content]', firstText);
    await loadsNewDocument(center, () => center.click('input[type=submit]'));
    await center.getByText('新增操作成功！').waitFor();
    const id = site.sql("select d_id from Vantrel_TemplatePage where d_name = '浏览器首页'");
    assert.equal(site.sql(`select d_content from Vantrel_TemplatePage where d_id = ${id}`), firstText);

    // The channel's set maps it through the picker; the public first page shows it at once.
    await menu.getByRole('link', { name: '文章模板方案管理', exact: true }).click();
    await center.waitForURL(/m=admin_template&channelid=1$/);
    await center.getByText('当前位置：文章管理>>模板方案管理').waitFor();
    await center.getByRole('link', { name: '选择模板页' }).first().click();
    await center.waitForURL(/action=selectpage&id=1$/);
    assert.equal(await center.isChecked('input[name=first][value="first-2"]'), true);
    await center.check(`input[name=first][value="first-${id}"]`);
    await loadsNewDocument(center, () => center.click('input[type=submit]'));
    await center.getByText('选择模板页成功！').waitFor();
    assert.equal(
      site.sql("select d_pageid from Vantrel_TemplateAndPage where d_templateid = 1 and d_type = 'first'"),
      id,
    );
    assert.equal(site.sql('select count(*) from Vantrel_TemplateAndPage where d_templateid = 1'), '12');
    const mapped = await publicFirstPage(browser, site);
    assert.match(mapped.html, /浏览器写的首页 "双" '单'/);
    assert.equal(mapped.colour, 'rgb(1, 2, 3)');

    // The edit form gives the text back whole; the change shows on the public page.
    await menu.getByRole('link', { name: '文章模板页管理', exact: true }).click();
    await center.waitForURL(/m=admin_templatepage&channelid=1$/);
    await center.getByRole('link', { name: '浏览器首页' }).click();
    await center.waitForURL(new RegExp(`action=edit&id=${id}$`));
    assert.equal(await center.inputValue('textarea[name=d_content]'), firstText);
    assert.equal(await center.isDisabled('select[name=d_type]'), true);
    const secondText = firstText.replace('浏览器写的首页', '改过的首页');
    await center.fill('textarea[name=d_content]', secondText);
    await loadsNewDocument(center, () => center.click('input[type=submit]'));
    await center.getByText('修改操作成功！').waitFor();
    assert.equal(site.sql(`select d_content from Vantrel_TemplatePage where d_id = ${id}`), secondText);
    const changed = await publicFirstPage(browser, site);
    assert.match(changed.html, /改过的首页/);
    assert.doesNotMatch(changed.html, /浏览器写的首页/);

    // Deleted from the list: the set maps the system first page again.
    await center.getByRole('link', { name: '返回列表' }).click();
    await center.waitForURL(/m=admin_templatepage&channelid=1$/);
    assert.equal(await center.isDisabled('input[name=checkid][value="2"]'), true);
    await center.check(`input[name=checkid][value="first-${id}"]`);
    await loadsNewDocument(center, () => center.click('input[value="执行"]'));
    await center.getByText('删除成功！').waitFor();
    assert.equal(site.sql(`select count(*) from Vantrel_TemplatePage where d_id = ${id}`), '0');
    assert.equal(
      site.sql("select d_pageid from Vantrel_TemplateAndPage where d_templateid = 1 and d_type = 'first'"),
      '2',
    );
    assert.doesNotMatch((await publicFirstPage(browser, site)).html, /改过的首页/);
  });
});
