// JS snippets and the navigation menu in a real browser: each snippet type defined from the
// console's forms, previewed running in the console and written into the public first page by
// its file; lost files written again by the list's refresh links, which post; one deleted with
// its file. The menu built from the console (class import, a custom item with a child), a skin
// chosen and the menu file written; the public page shows the menu bar, opens a sub-menu by
// hover and by click, with each of the eight skins.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

import { loadsNewDocument, waitForDialog, withSiteAndBrowser } from './support/browser.mjs';
import { signInAsAdmin } from './support/console.mjs';
import { startSite } from './support/site.mjs';

const TIMEOUT = 240000;

// Signs in and opens the menu group of the publishing pages.
async function signIn(page, site) {
  const frames = await signInAsAdmin(page, site);
  await frames.menu.locator('th', { hasText: '≡ 文章发布与模板 ≡' }).click();
  return frames;
}

// The first page of channel 1 shows the snippets and the menu: its template is set here.
function seed(site) {
  site.sql(`
    insert into Vantrel_ArticleClass (d_id, d_channelid, d_name, d_dir, d_rootid, d_pid, d_level,
      d_path, d_child, d_order) values
      (50, 1, '浏览器分类', 'browse', 50, 0, 0, '50,', 1, 1),
      (51, 1, '子分类', 'sub', 50, 50, 1, '50,51,', 0, 2);
    insert into Vantrel_ArticleSubject (d_channelid, d_name, d_order) values (1, '浏览器专题', 1);
    insert into Vantrel_Article (d_id, d_channelid, d_classid, d_title, d_content, d_checked,
      d_deleted, d_picurl, d_addtime) values
      (100, 1, 50, '列表文章一', 'x', -1, 0, '/images/hot.gif', '2024-03-05 08:09:10');
    update Vantrel_TemplatePage set d_content = '<html><head>{$showmenucss}</head><body>
      {$shownavimenu}{$showmenujs}
      <div id=snip0><script src="/Article/Js/list0.js"></script></div>
      <div id=snip1><script src="/Article/Js/pics1.js"></script></div>
      <div id=snip2><script src="/Article/Js/search2.js"></script></div>
      <div id=snip3><script src="/Article/Js/navi3.js"></script></div>
      <div id=snip5><script src="/Article/Js/subjects5.js"></script></div>
      <p id=end>页尾</p></body></html>'
      where d_id = (select d_pageid from Vantrel_TemplateAndPage where d_templateid = 1
        and d_type = 'first');`);
}

async function openFromMenu(menu, center, name, url) {
  await menu.getByRole('link', { name, exact: true }).click();
  await center.waitForURL(url);
}

async function submit(frame, words, form = '') {
  await loadsNewDocument(frame, () => frame.click(`${form} input[type=submit]`.trim()));
  await frame.getByText(words).first().waitFor();
}

test('each snippet type is written from the console and runs on the public page', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, browser, page }) => {
    seed(site);
    const { menu, center } = await signIn(page, site);
    await openFromMenu(menu, center, '文章JS文件管理', /m=admin_articlejs&channelid=1$/);
    await center.getByText('当前位置：文章管理>>JS文件管理').waitFor();
    await center.getByText('没有记录').waitFor();

    const add = async (link, name, file, fill = async () => {}) => {
      await loadsNewDocument(center, () => center.getByRole('link', { name: link }).click());
      await center.fill('input[name=d_jsname]', name);
      await center.fill('input[name=d_filename]', file);
      await fill();
      await submit(center, '新增信息成功！');
    };
    await add('增加普通文章文件', '最新<文章>', 'list0', async () => {
      await center.selectOption('select[name=d_classid]', '50');
      await center.check('input[name=d_includesub]');
      await center.check('input[name=d_showauthor]');
    });
    await add('增加图片文章文件', '图片', 'pics1', async () => {
      await center.fill('input[name=d_picwidth]', '40');
      await center.fill('input[name=d_picheight]', '30');
    });
    await add('增加查询文件', '搜索', 'search2');
    await add('增加分类导航文件', '导航', 'navi3');
    await add('增加专题列表文件', '专题', 'subjects5');
    // The class menu type has no link; its address still serves the form.
    await center.goto(`${site.console}?m=admin_articlejs&channelid=1&action=add&flag=4`);
    await center.fill('input[name=d_jsname]', '菜单');
    await center.fill('input[name=d_filename]', 'menu4');
    await submit(center, '新增信息成功！');
    assert.equal(site.sql("select d_config from Vantrel_JS where d_filename = 'list0.js'"),
      '1|50|true|0|10|false|false||0|0|1|false|0|0|false|false|false|false|true|false|false|1');

    // The list shows each definition; the preview runs its file inside the console page.
    await loadsNewDocument(center, () => center.getByRole('link', { name: '所有列表' }).click());
    await center.getByText('最新<文章>').waitFor();
    const preview = async (file) => {
      const row = center.locator('tr', { hasText: file });
      await loadsNewDocument(center, () => row.getByRole('link', { name: '效果预览' }).click());
      return center.locator('table[width="98%"] td').first().innerText();
    };
    assert.match(await preview('list0.js'), /列表文章一/);
    await loadsNewDocument(center, () => center.getByRole('link', { name: '所有列表' }).click());
    assert.match(await preview('navi3.js'), /浏览器分类/);

    // Every type on the public first page.
    const visitor = await browser.context.newPage();
    const errors = [];
    visitor.on('pageerror', (error) => errors.push(error.message));
    await visitor.goto(`${site.base}asp.asp?channelid=1`);
    assert.match(await visitor.locator('#snip0').innerText(), /列表文章一/);
    assert.equal(await visitor.locator('#snip1 img').count() > 0, true);
    assert.equal(await visitor.locator('#snip2 input[name=searchkeyword]').count(), 1);
    assert.match(await visitor.locator('#snip3').innerText(), /浏览器分类/);
    assert.match(await visitor.locator('#snip5').innerText(), /浏览器专题/);
    assert.equal(await visitor.locator('#end').innerText(), '页尾');
    assert.deepEqual(errors, []);

    // The refresh links post: a lost file comes back from its row's link, the others from 全部刷新.
    const jsFile = (name) => path.join(site.root, 'Article', 'Js', name);
    fs.rmSync(jsFile('navi3.js'));
    fs.rmSync(jsFile('search2.js'));
    await loadsNewDocument(center, () => center.getByRole('link', { name: '所有列表' }).click());
    const row = center.locator('tr', { hasText: 'navi3.js' });
    await loadsNewDocument(center, () => row.getByRole('link', { name: '刷新', exact: true }).click());
    await center.getByText('修改刷新成功！').waitFor();
    assert.equal(fs.existsSync(jsFile('navi3.js')), true);
    assert.equal(fs.existsSync(jsFile('search2.js')), false);
    await loadsNewDocument(center, () => center.getByRole('link', { name: '全部刷新' }).click());
    await center.getByText('全部刷新成功！').waitFor();
    assert.equal(fs.existsSync(jsFile('search2.js')), true);

    // Deleting a definition takes its file.
    assert.equal((await visitor.request.get(`${site.base}Article/Js/menu4.js`)).status(), 200);
    await loadsNewDocument(center, () => center.getByRole('link', { name: '所有列表' }).click());
    await center.locator('tr', { hasText: 'menu4.js' }).locator('input[name=checkid]').check();
    await loadsNewDocument(center, () => center.click('input[value="执行"]'));
    await center.getByText('删除成功！').waitFor();
    assert.equal((await visitor.request.get(`${site.base}Article/Js/menu4.js`)).status(), 404);
    assert.equal(site.sql('select count(*) from Vantrel_JS'), '5');
  });
});

const SKINS = ['skin-xp.css', 'skin-xp-apps.css', 'skin-win2k.css', 'skin-win98.css',
  'skin-xp-extended.css', 'skin-aqua.css', 'skin-yp.css', 'skin-system.css'];

test('the menu built in the console opens by hover and click with each skin', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, browser, page }) => {
    seed(site);
    const { menu, center } = await signIn(page, site);
    await openFromMenu(menu, center, '文章导航菜单管理', /m=admin_articlenavi&channelid=1$/);
    await center.getByText('当前位置：文章管理>>导航菜单管理').waitFor();
    await center.getByText('没有记录').waitFor();

    // The class import (asked first), then a custom item without link and a child with one.
    await loadsNewDocument(center, () => center.getByRole('link', { name: '分类导入' }).click());
    await center.getByText('导入分类数据成功！').waitFor();
    await waitForDialog(browser, '当分类设置完整后');
    await center.selectOption('select[name=typeflag]', '1');
    await submit(center, '菜单名称：');
    await center.fill('input[name=d_name]', '帮助 "中心"');
    await submit(center, '新增信息成功！', 'form[name=myform]');
    await loadsNewDocument(center, () => center.getByRole('link', { name: '返回列表' }).click());
    await loadsNewDocument(center, () => center.getByRole('link', { name: '添加子类' }).last().click());
    await center.fill('input[name=d_name]', '联系我们');
    await center.fill('input[name=d_linkurl]', '/asp.asp?channelid=1&contact=1');
    await center.check('input[name=d_openflag][value="1"]');
    await submit(center, '新增信息成功！', 'form[name=myform]');
    assert.equal(
      site.sql("select group_concat(d_name || ':' || d_level, '|') from (select d_name, d_level from Vantrel_NaviMenu order by d_order)"),
      '首 页:0|浏览器分类:0|子分类:1|帮助 "中心":0|联系我们:1',
    );

    const visitor = await browser.context.newPage();
    const errors = [];
    visitor.on('pageerror', (error) => errors.push(error.message));
    for (const skin of SKINS) {
      // The skin chosen and the menu file written from the console.
      await loadsNewDocument(center, () => center.getByRole('link', { name: '菜单配置' }).click());
      await center.selectOption('select[name=d_skin]', skin);
      await submit(center, '操作成功！', 'form[name=myform]');
      await loadsNewDocument(center, () => center.getByRole('link', { name: '生成菜单文件' }).click());
      await center.getByText('生成成功！').waitFor();

      // The channel's copy is the skin with its paths rewritten for the channel's folder.
      const source = await (await visitor.request.get(`${site.base}NaviMenu/Css/${skin}`)).text();
      const copy = await (await visitor.request.get(`${site.base}Article/Skin/default.css`)).text();
      assert.equal(copy, source.replaceAll('/NaviMenu/', '../../NaviMenu/'), skin);

      await visitor.goto(`${site.base}asp.asp?channelid=1`);
      await visitor.mouse.move(1000, 700);
      const bar = visitor.locator('#menu');
      await bar.waitFor({ state: 'visible' });
      assert.equal(await bar.evaluate((ul) => getComputedStyle(ul).display), 'flex', skin);
      const help = visitor.locator('#menu > li', { hasText: '帮助 "中心"' });
      const sub = help.locator('ul');
      assert.equal(await sub.isVisible(), false, skin);

      // Hover opens the sub-menu, leaving closes it; its link opens a new window.
      await help.hover();
      await sub.waitFor({ state: 'visible' });
      assert.equal(await sub.locator('a').getAttribute('target'), '_blank');
      assert.equal(await sub.locator('a').getAttribute('href'), '/asp.asp?channelid=1&contact=1');
      await visitor.mouse.move(1000, 700);
      await sub.waitFor({ state: 'hidden' });

      // A click (as a tap or a key gives it) opens and closes it; Escape closes it too.
      await help.evaluate((li) => li.click());
      await sub.waitFor({ state: 'visible' });
      await help.evaluate((li) => li.click());
      await sub.waitFor({ state: 'hidden' });
      await help.evaluate((li) => li.click());
      await visitor.keyboard.press('Escape');
      await sub.waitFor({ state: 'hidden' });

      // The arrow image of the sub-menu item is reached through the rewritten path.
      const image = await help.evaluate((li) => getComputedStyle(li).backgroundImage);
      const url = /url\("?([^")]+)"?\)/.exec(image)?.[1];
      assert.ok(url, `${skin}: ${image}`);
      assert.equal((await visitor.request.get(url)).status(), 200, url);
    }
    // The class items link to their list pages.
    assert.equal(
      await visitor.locator('#menu a', { hasText: '子分类' }).getAttribute('href'),
      '/asp.asp?m=classlist&classid=51&channelid=1&',
    );
    assert.deepEqual(errors, []);
  });
});
