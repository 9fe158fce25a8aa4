// Administrator accounts in a real browser: an account added through the form in the console's
// work frame, signing in with it, and removing accounts through the list's bulk action.
import assert from 'node:assert/strict';
import crypto from 'node:crypto';
import { test } from 'node:test';

import {
  followLink,
  loadsNewDocument,
  waitForDialog,
  withSiteAndBrowser,
} from './support/browser.mjs';
import { clickMenuItem, signIn, signInAsAdmin } from './support/console.mjs';
import { startSite } from './support/site.mjs';

const TIMEOUT = 90000;
// The search bar and the add form are both forms named myForm.
const SEARCH_NAME = 'form[action="?m=admin_manager"] input[name=username]';
const ADD_NAME = 'form[action$="action=save"] input[name=username]';
const ADD_PASSWORD = 'form[action$="action=save"] input[name=password]';

// The stored password form for an ASCII password: characters 9 to 24 of the hex MD5.
function digest(password) {
  return crypto.createHash('md5').update(password, 'latin1').digest('hex').substring(8, 24);
}

test('adds an administrator through the form in the work frame', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, browser, page }) => {
    const { menu, center } = await signInAsAdmin(page, site);
    await clickMenuItem(menu, '用户管理', '后台用户管理');
    await center.waitForURL(/m=admin_manager$/);
    await center.getByText('当前位置：用户管理>>管理后台用户').waitFor();

    await center.getByRole('link', { name: '新增管理用户' }).click();
    await center.waitForURL(/m=admin_manager&action=add$/);
    // The form's limits hold in the browser: the name field takes at most 20 characters.
    await center.locator(ADD_NAME).pressSequentially('ab'.repeat(11));
    assert.equal((await center.inputValue(ADD_NAME)).length, 20);

    // Ten Chinese characters pass the length rule; a short password is refused by the server.
    await center.fill(ADD_NAME, '编辑'.repeat(5));
    await center.fill(ADD_PASSWORD, 'short');
    await center.click('input[name=btnOk]');
    await waitForDialog(browser, '提示：用户密码最小六位！');
    await center.waitForURL(/action=add$/);
    assert.equal(site.sql("select count(*) from Vantrel_Admin"), '1');

    await center.fill(ADD_NAME, '编辑'.repeat(5));
    await center.fill(ADD_PASSWORD, 'editor-pw1');
    await center.click('input[name=btnOk]');
    await center.getByText('新增用户成功！').waitFor();
    assert.equal(
      site.sql("select d_password || '|' || d_adduser from Vantrel_Admin where d_name = '编辑编辑编辑编辑编辑'"),
      `${digest('editor-pw1')}|${site.adminName}`,
    );

    // The same name a second time is refused.
    await followLink(center, center.getByRole('link', { name: '返回新增' }));
    await center.fill(ADD_NAME, '编辑'.repeat(5));
    await center.fill(ADD_PASSWORD, 'other-pw1');
    await center.click('input[name=btnOk]');
    await waitForDialog(browser, '提示：您选择的用户名编辑编辑编辑编辑编辑已经存在！');
    await center.waitForURL(/action=add$/);
    assert.equal(site.sql("select count(*) from Vantrel_Admin"), '2');

    // The list shows the account; the name in the search bar finds it.
    await center.goto(`${site.console}?m=admin_manager`);
    const adminId = site.sql(`select d_id from Vantrel_Admin where d_name = '${site.adminName}'`);
    await center.locator(`input[name=selectdel][value="${adminId}"]`).waitFor();
    await center.fill(SEARCH_NAME, '编辑');
    // The search form posts back to the list's own address.
    await loadsNewDocument(center, () => center.click('input[value="查询"]'));
    await center.getByRole('link', { name: '编辑编辑编辑编辑编辑' }).waitFor();
    assert.equal(await center.locator('input[name=selectdel]').count(), 1);

    // The new account signs in (its grants come from the rights page; set here directly).
    const name = '编辑编辑编辑编辑编辑';
    for (const code of ['XT_Manage_Main', 'XT_Manage_Manager']) {
      site.sql(`insert into Vantrel_ManagerFunction (d_adminname, d_functioncode) values ('${name}', '${code}')`);
    }
    await page.goto(`${site.console}?m=admin_login&action=out`);
    await waitForDialog(browser, '您已经成功注销');
    await page.waitForURL(/m=admin_login$/);
    const frames = await signIn(page, name, 'editor-pw1');
    assert.equal(site.sql(`select d_loginnum from Vantrel_Admin where d_name = '${name}'`), '1');

    // From its list it cannot remove itself, and can remove another account.
    await frames.menu.locator('th', { hasText: '≡ 用户管理 ≡' }).click();
    await frames.menu.getByRole('link', { name: '后台用户管理', exact: true }).click();
    await frames.center.waitForURL(/m=admin_manager$/);
    const ownId = site.sql(`select d_id from Vantrel_Admin where d_name = '${name}'`);
    browser.dialogs.length = 0;
    await frames.center.locator(`input[name=selectdel][value="${ownId}"]`).check();
    await frames.center.locator('input[value="执行"]').click();
    await waitForDialog(browser, '您确定要操作吗？');
    await waitForDialog(browser, '提示：不能删除当前登录的用户！');
    await frames.center.waitForURL(/m=admin_manager$/);
    assert.equal(site.sql('select count(*) from Vantrel_Admin'), '2');

    await frames.center.locator('input[name=selectdel]').first().waitFor();
    await frames.center.locator(`input[name=selectdel][value="${ownId}"]`).uncheck();
    await frames.center.locator(`input[name=selectdel][value="${adminId}"]`).check();
    // The deletion sends the browser back to the list's address.
    await loadsNewDocument(frames.center, () =>
      frames.center.locator('input[value="执行"]').click(),
    );
    assert.match(frames.center.url(), /m=admin_manager$/);
    assert.equal(site.sql(`select count(*) from Vantrel_Admin where d_id = ${adminId}`), '0');
    assert.equal(await frames.center.locator('input[name=selectdel]').count(), 1);
  });
});

test('own password form checks in the browser; login log select and delete', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, browser, page }) => {
    const { center } = await signInAsAdmin(page, site);

    await center.goto(`${site.console}?m=admin_changepassword`);
    const field = (name) => center.locator(`form[name=renpassword] input[name=${name}]`);
    await center.click('input[name=Submit]');
    await waitForDialog(browser, '原密码不能为空！');
    await field('password').fill(site.adminPassword);
    await field('password1').fill('new-pass1');
    await field('password2').fill('new-pass2');
    await center.click('input[name=Submit]');
    await waitForDialog(browser, '新密码和确认密码不相同，请重新输入');
    assert.equal(await field('password1').inputValue(), '');
    assert.equal(await field('password2').inputValue(), '');
    assert.equal(await center.evaluate(() => document.activeElement.name), 'password1');
    await field('password1').fill('new-pass1');
    await field('password2').fill('new-pass1');
    await center.click('input[name=Submit]');
    await center.getByText('密码修改成功！').waitFor();
    assert.equal(
      site.sql(`select d_password from Vantrel_Admin where d_name = '${site.adminName}'`),
      digest('new-pass1'),
    );

    // Signing in again takes the new password; that and a sign-in of another account fill the log.
    await page.goto(`${site.console}?m=admin_login&action=out`);
    await page.waitForURL(/m=admin_login$/);
    await signIn(page, site.adminName, 'new-pass1');
    site.sql(
      `insert into Vantrel_Admin (d_name, d_password, d_adduser) values ('李四', '${digest('li-pass1')}', 'admin')`,
    );
    site.sql("insert into Vantrel_Log (d_adminname, d_ip, d_thisloginnum) values ('李四', '10.9.9.9', 1)");
    const log = page;
    await log.goto(`${site.console}?m=admin_loginlog`);
    assert.equal(await log.locator('input[name=selectdel]').count(), 3);
    // Choosing a name posts the page back filtered by it, Chinese names included.
    await log.selectOption('select[name=select]', { label: '李四' });
    await log.waitForURL(/d_name=%C0%EE%CB%C4$/);
    assert.equal(await log.locator('input[name=selectdel]').count(), 1);
    await log.getByText('10.9.9.9').waitFor();

    await log.selectOption('select[name=select]', { label: '所有日志' });
    await log.waitForURL(/d_name=0$/);
    assert.equal(await log.locator('input[name=selectdel]').count(), 3);
    await log.locator('tr', { hasText: '10.9.9.9' }).locator('input[name=selectdel]').check();
    browser.dialogs.length = 0;
    // The deletion sends the browser back to the list's address.
    await loadsNewDocument(log, () => log.click('input[value="执行"]'));
    await waitForDialog(browser, '您确定删除记录吗？');
    assert.match(log.url(), /m=admin_loginlog&d_name=0$/);
    assert.equal(await log.getByText('10.9.9.9').count(), 0);
    assert.equal(site.sql("select count(*) from Vantrel_Log where d_ip = '10.9.9.9'"), '0');
    assert.equal(site.sql('select count(*) from Vantrel_Log'), '2');
  });
});
