// The console door in a real browser: the login form (typed and through the on-screen
// keyboard), the frame set with its two frames, menu links into the work frame and into a new
// window, the grant pages' list script, the error page's way out of the frames, and sign-out.
import assert from 'node:assert/strict';
import crypto from 'node:crypto';
import { test } from 'node:test';

import {
  followLink,
  loadsNewDocument,
  waitForDialog,
  withSiteAndBrowser,
} from './support/browser.mjs';
import { clickMenuItem, fillAndSignIn, frameNamed } from './support/console.mjs';
import { startSite } from './support/site.mjs';

const TIMEOUT = 90000;

// The stored password form for an ASCII password: characters 9 to 24 of the hex MD5.
function digest(password) {
  return crypto.createHash('md5').update(password, 'latin1').digest('hex').substring(8, 24);
}

function addAdmin(site, name, password, codes) {
  site.sql(
    `insert into Vantrel_Admin (d_name, d_password, d_adduser) values ('${name}', '${digest(password)}', 'admin')`,
  );
  for (const code of codes) {
    site.sql(
      `insert into Vantrel_ManagerFunction (d_adminname, d_functioncode) values ('${name}', '${code}')`,
    );
  }
}

async function expectFrameSet(page) {
  await page.waitForURL(/admin\.asp\?m=admin_index$/);
  const menu = await frameNamed(page, 'frame_left');
  const center = await frameNamed(page, 'center');
  await menu.getByText('≡ 系统管理 ≡').waitFor();
  await center.getByText('当前位置：系统主页面').waitFor();
  assert.match(menu.url(), /\?m=admin_menu$/);
  assert.match(center.url(), /\?m=admin_main$/);
  return { menu, center };
}

test('signs in through the form and loads the two frames', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, page }) => {
    await page.goto(site.console);
    await page.locator('form[name=loginform]').waitFor();
    // The page puts the cursor in the name field when it loads.
    assert.equal(await page.evaluate(() => document.activeElement.id), 'usercode');
    await fillAndSignIn(page, site.adminName, site.adminPassword);
    const { menu } = await expectFrameSet(page);
    // Every group starts folded; a click on its head opens it and a second click folds it.
    const item = menu.getByRole('link', { name: '网站基本设置', exact: true });
    assert.equal(await item.isVisible(), false);
    await menu.locator('th', { hasText: '≡ 系统管理 ≡' }).click();
    assert.equal(await item.isVisible(), true);
    await menu.locator('th', { hasText: '≡ 系统管理 ≡' }).click();
    assert.equal(await item.isVisible(), false);
    assert.equal(site.sql("select d_loginnum from Vantrel_Admin where d_name = 'admin'"), '1');
  });
});

test('stops empty fields and wrong passwords, signs in with Enter', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, browser, page }) => {
    await page.goto(site.console);
    await page.click('img[src="admin/admin_login_button.gif"]');
    await waitForDialog(browser, '用户名不允许为空');
    await page.fill('#usercode', site.adminName);
    await page.click('img[src="admin/admin_login_button.gif"]');
    await waitForDialog(browser, '用户密码不允许为空');
    assert.match(page.url(), /admin\.asp$/);

    await fillAndSignIn(page, site.adminName, `${site.adminPassword}x`);
    await waitForDialog(browser, '提示：您输入的密码不正确！');
    // The alert goes back to the login page.
    await page.waitForURL(/admin\.asp$/);
    await page.locator('form[name=loginform]').waitFor();
    assert.equal(site.sql('select count(*) from Vantrel_Log'), '0');

    await page.fill('#usercode', site.adminName);
    await page.fill('form[name=loginform] input[name=password]', site.adminPassword);
    await page.press('form[name=loginform] input[name=password]', 'Enter');
    await expectFrameSet(page);
  });
});

test('signs in with the on-screen keyboard', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, page }) => {
    site.sql('update Vantrel_Config set d_enablesoftkey = 1');
    await page.goto(site.console);
    await page.fill('#usercode', site.adminName);
    const field = page.locator('form[name=loginform] input[name=password]');
    await field.click();
    const keyboard = page.locator('#softkeyboard');
    await keyboard.waitFor({ state: 'visible' });
    // The field takes nothing from the real keyboard.
    await page.keyboard.type('typed');
    assert.equal(await field.inputValue(), '');

    let caps = false;
    for (const ch of site.adminPassword) {
      const lower = ch.toLowerCase();
      const upper = ch !== lower;
      if (/[a-z]/.test(lower) && upper !== caps) {
        await keyboard.locator('input[value="大小写"]').click();
        caps = upper;
      }
      await keyboard.locator(`input[data-key="${lower}"]`).click();
    }
    assert.equal(await field.inputValue(), site.adminPassword);
    // A slip is taken back with the backspace key.
    await keyboard.locator('input[data-key="1"]').click();
    await keyboard.locator('input[value="退格"]').click();
    assert.equal(await field.inputValue(), site.adminPassword);
    await keyboard.locator('input[value="确定"]').click();
    await keyboard.waitFor({ state: 'hidden' });

    await page.click('img[src="admin/admin_login_button.gif"]');
    await expectFrameSet(page);
  });
});

test('menu links open in the work frame and in a new window', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, browser, page }) => {
    site.sql("update Vantrel_MenuSet set d_openflag = 1 where d_linkurl = '?m=admin_main'");
    await page.goto(site.console);
    await fillAndSignIn(page, site.adminName, site.adminPassword);
    const { menu, center } = await expectFrameSet(page);

    await clickMenuItem(menu, '用户管理', '后台用户权限管理');
    await center.waitForURL(/m=admin_managerprivilege$/);
    await center.getByText('当前位置：用户管理>>后台用户权限管理').waitFor();
    assert.match(menu.url(), /m=admin_menu$/);
    assert.match(page.url(), /m=admin_index$/);

    const [popup] = await Promise.all([
      browser.context.waitForEvent('page'),
      clickMenuItem(menu, '系统管理', '系统主页面'),
    ]);
    await popup.waitForURL(/admin\.asp\?m=admin_main$/);
    await popup.getByText('当前位置：系统主页面').waitFor();
    await popup.close();
  });
});

test('grants rights through the list script and the grant form', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, browser, page }) => {
    addAdmin(site, 'editor', 'editor-pw', []);
    await page.goto(site.console);
    await fillAndSignIn(page, site.adminName, site.adminPassword);
    const { menu, center } = await expectFrameSet(page);
    await clickMenuItem(menu, '用户管理', '后台用户权限管理');
    await center.waitForURL(/m=admin_managerprivilege$/);

    // Nothing chosen: the list script says so and stays.
    await center.locator('input[value="执行"]').click();
    await waitForDialog(browser, '请选择至少一条记录再操作！');
    // The select-all box ticks every row; the grant form is for the ticked names only.
    await center.locator('input[name=chkSelectAll]').click();
    assert.deepEqual(
      await center.locator('input[name=selectdel]').evaluateAll((boxes) => boxes.map((b) => b.checked)),
      [true, true],
    );
    await center.locator('input[name=chkSelectAll]').click();
    await center.locator('input[name=selectdel][value=editor]').check();
    await center.locator('input[value="执行"]').click();
    await waitForDialog(browser, '您确定要操作吗？');
    await center.waitForURL(/action=privilege$/);

    await center.locator('input[name=functioncode][value=XT_Manage_Main]').check();
    await center.locator('input[name=functioncode][value=XT_Manage_ChangePwd]').check();
    await center.locator('input[value="授权"]').click();
    await center.getByText('授权成功！').waitFor();
    assert.equal(
      site.sql("select group_concat(d_functioncode) from (select d_functioncode from Vantrel_ManagerFunction where d_adminname = 'editor' order by d_functioncode)"),
      'XT_Manage_ChangePwd,XT_Manage_Main',
    );

    // The per-administrator page shows them ticked, and its save replaces them.
    await followLink(center, center.getByRole('link', { name: '返回列表' }));
    const editorRow = center.locator('tr', { hasText: 'editor' });
    await followLink(center, editorRow.getByRole('link', { name: '设置权限' }));
    await center.getByText('以下为用户editor所具有的功能').waitFor();
    assert.equal(await center.locator('input[name=functioncode][value=XT_Manage_Main]').isChecked(), true);
    await center.locator('input[name=functioncode][value=XT_Manage_Main]').uncheck();
    await center.locator('input[value="授权"]').click();
    await center.getByText('授权成功！').waitFor();
    assert.equal(
      site.sql("select group_concat(d_functioncode) from Vantrel_ManagerFunction where d_adminname = 'editor'"),
      'XT_Manage_ChangePwd',
    );
  });
});

test('an administrator without the right leaves the frames by the error page', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, page }) => {
    addAdmin(site, 'viewer', 'viewer-pw', ['XT_Manage_Main']);
    await page.goto(site.console);
    await fillAndSignIn(page, 'viewer', 'viewer-pw');
    const { menu, center } = await expectFrameSet(page);
    await clickMenuItem(menu, '用户管理', '后台用户权限管理');
    await center.waitForURL(/m=admin_error&errnum=1$/);
    await center.getByText('对不起您没有权限访问该页面').waitFor();
    assert.equal(
      await center.locator('img[src$="Admin/error/center_error.gif"]').evaluate((img) => img.naturalWidth),
      450,
    );
    // Its login link replaces the whole frame set.
    await center.getByRole('link', { name: '登陆页面' }).click();
    await page.waitForURL(/m=admin_login$/);
    await page.locator('form[name=loginform]').waitFor();
    assert.equal(page.frames().length, 1);
  });
});

test('a login page shown inside a frame signs in to the whole window', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, browser, page }) => {
    await page.goto(site.console);
    await fillAndSignIn(page, site.adminName, site.adminPassword);
    const { menu, center } = await expectFrameSet(page);
    // The session is gone (as after twenty idle minutes): the work frame gets the login page.
    await browser.context.clearCookies();
    await clickMenuItem(menu, '系统管理', '系统主页面');
    await center.waitForURL(/admin\.asp\?m=admin_login$/);
    await center.locator('form[name=loginform]').waitFor();
    // The sign-in ends at the frame set's own address again.
    await loadsNewDocument(page, () => fillAndSignIn(center, site.adminName, site.adminPassword));
    await expectFrameSet(page);
    assert.equal(page.frames().length, 3);
  });
});

test('signs out from the menu after a confirmation', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, browser, page }) => {
    await page.goto(site.console);
    await fillAndSignIn(page, site.adminName, site.adminPassword);
    const { menu } = await expectFrameSet(page);

    // Declining the question keeps the session and the frames.
    browser.confirmAnswer = false;
    await clickMenuItem(menu, '用户管理', '注销登陆');
    await waitForDialog(browser, '提示：您确定要退出系统吗?');
    assert.match(page.url(), /m=admin_index$/);
    browser.confirmAnswer = true;
    browser.dialogs.length = 0;

    await menu.getByRole('link', { name: '注销登陆', exact: true }).click();
    await waitForDialog(browser, '提示：您确定要退出系统吗?');
    await waitForDialog(browser, '您已经成功注销，欢迎您下次光临本网站！');
    await page.waitForURL(/m=admin_login$/);
    await page.locator('form[name=loginform]').waitFor();
    assert.equal(page.frames().length, 1);

    // The console is closed to this browser now.
    await page.goto(`${site.console}?m=admin_main`);
    await page.locator('form[name=loginform]').waitFor();
  });
});
