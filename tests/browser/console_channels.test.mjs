// Channels in a real browser: a channel added through the console's form (its script switches
// rows, adds upload types and checks the form), which then shows in the console menu and in the
// public channel bar, whose link opens the channel's first page in its copied design, its pages
// finding every file they ask for; the list's order arrows and bulk actions.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { followLink, loadsNewDocument, waitForDialog, withSiteAndBrowser } from './support/browser.mjs';
import { clickMenuItem, signInAsAdmin } from './support/console.mjs';
import { startSite } from './support/site.mjs';

const TIMEOUT = 120000;

const shown = (frame, selector) =>
  frame.locator(selector).evaluate((e) => getComputedStyle(e).display !== 'none');

test('a channel added in the console shows in the menu and the channel bar', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, browser, page }) => {
    const { menu, center } = await signInAsAdmin(page, site);
    await clickMenuItem(menu, '系统管理', '频道管理');
    await center.waitForURL(/m=admin_channel$/);
    await center.getByText('当前位置：系统管理>>频道管理').waitFor();
    await followLink(center, center.getByRole('link', { name: '增加频道' }));

    // The type buttons switch between the internal rows and the link row.
    assert.equal(await shown(center, '#outerclass'), false);
    await center.check('input[name=d_channeltype][value="2"]');
    assert.equal(await shown(center, '#outerclass'), true);
    assert.equal(await shown(center, '#innerclass26'), false);
    await center.check('input[name=d_channeltype][value="1"]');
    assert.equal(await shown(center, '#innerclass1'), true);
    assert.equal(await shown(center, '#outerclass'), false);

    // Upload type presets append; number fields take digits only.
    await center.getByText('【Flash】').click();
    await center.getByText('【图片类型】').click();
    assert.equal(await center.inputValue('input[name=d_upfiletype]'), 'swf|jpg|bmp|gif|png');
    await center.fill('input[name=d_maxfilesize]', '');
    await center.locator('input[name=d_maxfilesize]').pressSequentially('a0012');
    assert.equal(await center.inputValue('input[name=d_maxfilesize]'), '12');

    // The form's own check stops an empty name and upload folder before anything is sent.
    await center.click('input[type=submit]');
    await waitForDialog(browser, '频道名称不能为空！');
    await center.fill('input[name=d_channelname]', '体育频道');
    await center.fill('input[name=d_channeldir]', 'Sport');
    await center.fill('input[name=d_projectname]', '赛事');
    await center.fill('input[name=d_uploaddir]', '');
    await center.click('input[type=submit]');
    await waitForDialog(browser, '上传路径不能为空！');
    assert.equal(site.sql('select count(*) from Vantrel_Channel'), '1');

    await center.fill('input[name=d_uploaddir]', 'up');
    await loadsNewDocument(center, () => center.click('input[type=submit]'));
    await center.getByText('新增信息成功！').waitFor();
    assert.equal(site.sql('select d_channeldir from Vantrel_Channel where d_id = 11'), 'sport');

    // The menu frame reloads with the new channel's items.
    await menu.getByText('≡ 赛事内容管理 ≡').waitFor();
    await menu.locator('th', { hasText: '≡ 赛事内容管理 ≡' }).click();
    await menu.getByRole('link', { name: '赛事管理', exact: true }).waitFor();

    // The public home page draws the channel bar from its script; its link opens the channel.
    const home = await browser.context.newPage();
    const missing = [];
    home.on('response', (r) => {
      if (r.status() >= 400) missing.push(`${r.status()} ${r.url()}`);
    });
    await home.goto(site.base);
    const link = home.locator('a.table_channelmenu_link', { hasText: '体育频道' });
    await link.waitFor();
    await home.locator('a.table_channelmenu_link', { hasText: '网站首页' }).waitFor();
    const skin = site.sql('select d_id from Vantrel_Skin where d_channelid = 11');
    const sheet = home.waitForResponse((r) => r.url().endsWith(`/sport/Skin/${skin}.css`));
    await link.click();
    await home.waitForURL(/asp\.asp\?channelid=11$/);
    assert.equal((await sheet).status(), 200);
    await home.locator('a.table_channelmenu_link', { hasText: '文章中心' }).waitFor();
    // The new channel's pages find every file they ask for, its menu files among them.
    const menuSheet = home.waitForResponse((r) => /\/sport\/skin\/default\.css$/i.test(r.url()));
    await home.goto(`${site.base}asp.asp?m=search&channelid=11&searchtype=d_title&searchkeyword=x`);
    // Loaded before by the channel's first page: fresh, or confirmed unchanged.
    assert.ok([200, 304].includes((await menuSheet).status()));
    await home.waitForLoadState('load');
    assert.deepEqual(missing, []);
  });
});

test('the channel list moves channels and runs its bulk actions', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, browser, page }) => {
    const { center } = await signInAsAdmin(page, site);
    site.sql(
      "insert into Vantrel_Channel (d_id, d_order, d_channelname, d_channeltype, d_linkurl, " +
        "d_shownameflag) values (11, 2, '外部链接', 2, 'http://example.com/', -1)",
    );
    await center.goto(`${site.console}?m=admin_channel`);

    // Nothing ticked: the bulk action only warns.
    await center.locator('input[value="执行"]').click();
    await waitForDialog(browser, '请选择至少一条记录再操作！');

    // The down arrow of the first channel posts its move.
    await loadsNewDocument(center, () =>
      center.locator('a[href$="action=down&order=1&id=1"] img').click(),
    );
    await waitForDialog(browser, '排序成功！');
    assert.equal(site.sql('select d_id from Vantrel_Channel order by d_order limit 1'), '11');
    const first = await center.locator('input[name=selectdel]').first().getAttribute('value');
    assert.equal(first, '11');

    // Refusing the confirmation sends nothing; accepting disables the ticked channel.
    await center.locator('input[name=selectdel][value="11"]').check();
    browser.confirmAnswer = false;
    await center.locator('input[value="执行"]').click();
    await waitForDialog(browser, '提示：您确定要进行操作吗？');
    assert.equal(site.sql('select d_disabledflag from Vantrel_Channel where d_id = 11'), '0');
    browser.confirmAnswer = true;
    browser.dialogs.length = 0;
    await center.selectOption('select[name=selection]', 'disa');
    await loadsNewDocument(center, () => center.locator('input[value="执行"]').click());
    await center.getByText('禁用频道成功！').waitFor();
    assert.equal(site.sql('select d_disabledflag from Vantrel_Channel where d_id = 11'), '-1');
  });
});
