// A collection run in a real browser: a project over another site's list pages (a local server
// on 127.0.0.1 with GB2312 and UTF-8 pages, a picture and hostile markup) is run from the
// console's project picker; the batch page drives its list and content steps in its hidden
// frame until both queues are empty, and the channel holds the expected articles and picture.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { test } from 'node:test';

import { followLink, withSiteAndBrowser } from './support/browser.mjs';
import { clickMenuItem, signInAsAdmin } from './support/console.mjs';
import { startSite } from './support/site.mjs';

const TIMEOUT = 180000;
const PICTURE = Buffer.alloc(3000, 7);

function gb2312(text) {
  return execFileSync('iconv', ['-f', 'UTF-8', '-t', 'GBK'], { input: text });
}

// The other site: its list page, two articles, a picture; everything else is missing.
async function startRemote() {
  const requests = [];
  const pages = {
    '/news/index.htm': gb2312(
      '<html><body><a href="a9.htm">菜单外</a><!--list--><ul>' +
        '<li><a href="a1.htm">第一篇</a></li><li><a href="/news/a2.htm">第二篇</a></li>' +
        '</ul><!--/list--></body></html>'),
    '/news/a1.htm': gb2312(
      '<html><div id=art><h1>校园新闻&amp;"快讯"</h1><div class=c><p>运动会开幕。' +
        '<img src="pic/p1.jpg" onerror="alert(1)"></p><script>alert(2)</script>' +
        '<p><a href="javascript:alert(3)">看</a></p></div></div></html>'),
    '/news/a2.htm': Buffer.from(
      '<html><head><meta charset="utf-8"></head><div id=art><h1>第二篇文章</h1>' +
        '<div class=c><p>内容二</p></div></div></html>'),
    '/news/pic/p1.jpg': PICTURE,
  };
  const server = http.createServer((req, res) => {
    requests.push(req.url);
    const body = pages[req.url];
    res.writeHead(body ? 200 : 404, { 'Content-Type': 'text/html' });
    res.end(body || 'not found');
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return {
    base: `http://127.0.0.1:${server.address().port}`,
    requests,
    close: () => new Promise((resolve) => server.close(resolve)),
  };
}

test('collects a project from the console in the browser', { timeout: TIMEOUT }, async (t) => {
  const remote = await startRemote();
  t.after(() => remote.close());
  // The other site listens on loopback, which collection reaches only when it is opened.
  const start = () => startSite({ settings: 'CollectAllowNetworks=127.0.0.1\n' });
  await withSiteAndBrowser(t, start, async ({ site, page }) => {
    site.sql(
      'insert into Vantrel_CollectProject (D_ChannelID, D_Name, D_PageUrl, D_FirstDiff, ' +
        'D_FirstFileName, D_PageHeader, D_PageFooter, D_IDUrl, D_Header, D_Footer, D_Title1, ' +
        "D_Title2, D_Content1, D_Content2, D_DoFlag, D_CheckFlag) values (1, '校园', " +
        `'${remote.base}/news/list_{page}.htm', 1, 'index.htm', '<!--list-->', '<!--/list-->', ` +
        "'href=\"(a{id}.htm|/news/a{id}.htm)\"', '<div id=art>', '</html>', '<h1>', '</h1>', " +
        "'<div class=c>', '</div></div>', 1, 1)");

    const { menu, center } = await signInAsAdmin(page, site);
    await clickMenuItem(menu, '文章发布与模板', '文章采集管理');
    await center.waitForURL(/m=admin_articlecollect&channelid=1$/);
    await center.getByText('当前位置：文章管理>>自动采集').waitFor();

    await followLink(center, center.getByRole('link', { name: '检测新数据' }));
    assert.equal(await center.isChecked('input[name=d_projectid]'), true);
    await center.click('input[name=bSubmit]');
    await center.getByText('准备获取数据...').waitFor();
    await center.getByText('指定数据获取完成！').waitFor({ timeout: 90000 });
    const progress = await center.locator('#MSG').innerText();
    assert.match(progress, /列表资料\(第1页\)\.\.\.成功\(有2个新的需要获取的内容资料\)/);
    assert.match(progress, /列表资料\(第2页\)\.\.\.未找到列表页头关键字/);
    assert.equal((progress.match(/成功：新增/g) || []).length, 2, progress);

    // The two articles, each once, with the counters; the link outside the list area is not
    // fetched.
    assert.equal(
      site.sql('select d_title from Vantrel_Article where d_channelid = 1 order by d_title'),
      '校园新闻快讯\n第二篇文章');
    assert.equal(site.sql('select d_itemcount || \'/\' || d_itemcountchecked from Vantrel_Channel where d_id = 1'), '2/2');
    assert.equal(site.sql('select group_concat(d_flag) from Vantrel_CollectLog'), '1,1');
    assert.ok(!remote.requests.includes('/news/a9.htm'), remote.requests.join(' '));

    // The picture is a local copy that the content points at; no script survives.
    const content = site.sql("select d_content from Vantrel_Article where d_title = '校园新闻快讯'");
    const picture = site.sql("select d_picurl from Vantrel_Article where d_title = '校园新闻快讯'");
    assert.match(picture, /^\/Article\/uploadfile\/\d{6}\/\d{17}\.jpg$/);
    assert.ok(content.includes(`<img src="${picture}">`), content);
    for (const bad of ['script', 'onerror', 'javascript:']) assert.ok(!content.includes(bad), content);
    assert.deepEqual(fs.readFileSync(path.join(site.root, picture)), PICTURE);
    assert.equal(remote.requests.filter((r) => r === '/news/pic/p1.jpg').length, 1);

    // The log lists both rows as collected.
    await followLink(center, center.getByRole('link', { name: '所有', exact: true }));
    assert.equal(await center.locator('span.gray', { hasText: '已获取完成' }).count(), 2);
  });
});
