// The console script admin/admin.js as the console pages call it, in a console page of a real
// browser: the select-all box, the bulk action, the field checks and the pop-up window.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { waitForDialog, withSiteAndBrowser } from './support/browser.mjs';
import { fillAndSignIn } from './support/console.mjs';
import { startSite } from './support/site.mjs';

const TIMEOUT = 90000;

// Signs in and opens the console home page on its own, with admin.js loaded by its head.
async function consolePage(site, page) {
  await page.goto(site.console);
  await fillAndSignIn(page, site.adminName, site.adminPassword);
  await page.waitForURL(/m=admin_index$/);
  await page.goto(`${site.console}?m=admin_main`);
  await page.getByText('当前位置：系统主页面').waitFor();
  assert.equal(await page.evaluate(() => typeof doCheckAll), 'function');
}

// A list as the console's list pages write it: the form opened between the table's rows.
const LIST = `
<table class=list id=t>
<form name=delform method=post action="?m=admin_main&action=">
<tr><th><input type=checkbox name=chkSelectAll onclick="doCheckAll(this)"></th></tr>
<tr><td><input type=checkbox name=checkid value=3></td></tr>
<tr><td><input type=checkbox name=checkid value=5></td></tr>
<tr><td><input type=checkbox name=checkid value=9 disabled></td></tr>
<tr><td>操作：<select size=1 name=checkaction><option value='del'>删除</option>
<option value='setnew'>设置最新</option></select>
<input type=button id=go value='执行' onclick="doAction(this)"></td></tr>
</form></table>`;

test('select-all box and bulk action post the ticked ids', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, page }) => {
    // Served as a console page would be, so the browser's parser places the form itself.
    const address = `${site.console}?m=list_fixture`;
    await page.route(address, (route) =>
      route.fulfill({
        contentType: 'text/html; charset=utf-8',
        body: `<html><head><script src="admin/admin.js"></script></head><body>${LIST}</body></html>`,
      }),
    );
    await page.goto(address);
    assert.equal(await page.evaluate(() => document.forms.delform.elements.length), 6);

    const states = () =>
      page.locator('input[name=checkid]').evaluateAll((boxes) => boxes.map((b) => b.checked));
    await page.locator('input[name=chkSelectAll]').click();
    assert.deepEqual(await states(), [true, true, false]); // a disabled row stays as it is
    await page.locator('input[name=chkSelectAll]').click();
    assert.deepEqual(await states(), [false, false, false]);

    await page.locator('input[name=checkid][value="5"]').check();
    await page.selectOption('select[name=checkaction]', 'setnew');
    const [request] = await Promise.all([
      page.waitForRequest((r) => r.method() === 'POST'),
      page.click('#go'),
    ]);
    assert.match(request.url(), /admin\.asp\?m=admin_main&action=setnew$/);
    assert.match(request.postData(), /(^|&)checkid=5(&|$)/);
    assert.doesNotMatch(request.postData(), /checkid=3/);
  });
});

test('bulk action whose button lies outside the list form', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, page }) => {
    await consolePage(site, page);
    await page.evaluate(() => {
      document.body.insertAdjacentHTML(
        'beforeend',
        `<form name=delform method=post action="?m=admin_main&action=">
           <input type=checkbox name=checkid value=7 checked>
           <select name=checkaction><option value=del selected>删除</option></select></form>
         <input type=button id=outside value='执行' onclick="doAction(this)">`,
      );
    });
    const [request] = await Promise.all([
      page.waitForRequest((r) => r.method() === 'POST'),
      page.click('#outside'),
    ]);
    assert.match(request.url(), /action=del$/);
    assert.match(request.postData(), /checkid=7/);
  });
});

test('field checks refuse empty and over-long text with the message', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, browser, page }) => {
    await consolePage(site, page);
    await page.evaluate(() => {
      document.body.insertAdjacentHTML(
        'beforeend',
        '<form name=myform><input name=d_code><input name=d_width></form>',
      );
    });
    const check = (value, max, required) =>
      page.evaluate(
        ([v, m, r]) => {
          document.myform.d_code.value = v;
          return ChkText(document.myform.d_code, m, '调用代码：不能为空', r);
        },
        [value, max, required],
      );
    assert.equal(await check('', 50, true), false);
    await waitForDialog(browser, '调用代码：不能为空');
    assert.equal(await page.evaluate(() => document.activeElement.name), 'd_code');
    assert.equal(await check('', 50, false), true);
    assert.equal(await check('abc', 3, true), true);
    assert.equal(await check('abcd', 3, true), false);
    // A character beyond Latin-1 counts two, as the server counts it.
    assert.equal(await check('中文', 4, true), true);
    assert.equal(await check('中文a', 4, true), false);

    const notInt = (v) => page.evaluate((x) => BASEisNotInt(x), v);
    assert.equal(await notInt('0'), false);
    assert.equal(await notInt('120'), false);
    for (const v of ['', 'a', '1.5', '-1', '1e3', '12px']) assert.equal(await notInt(v), true, v);

    browser.dialogs.length = 0;
    const answer = await page.evaluate(() => BaseAlert(document.myform.d_width, '宽度：必须为数字，无用时可填0！'));
    assert.equal(answer, false);
    await waitForDialog(browser, '宽度：必须为数字');
    assert.equal(await page.evaluate(() => document.activeElement.name), 'd_width');
  });
});

test('pop-up window opens at the given size', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, browser, page }) => {
    await consolePage(site, page);
    const [popup] = await Promise.all([
      browser.context.waitForEvent('page'),
      page.evaluate(() => { g_OpenWindow('?m=admin_main', '350', '250'); }),
    ]);
    await popup.waitForURL(/admin\.asp\?m=admin_main$/);
    await popup.getByText('当前位置：系统主页面').waitFor();
    const size = await popup.evaluate(() => [window.innerWidth, window.innerHeight]);
    assert.equal(size[0], 350);
    assert.equal(size[1], 250);
  });
});
