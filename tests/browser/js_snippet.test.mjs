// The script snippets of an article page run in a real browser: the announcement list file the
// page writes for its ListAnnounce chip, the comment-list script of its ListComment chip and the
// click script of its info line each write their HTML into the page, awkward text included.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { withSiteAndBrowser } from './support/browser.mjs';
import { startSite } from './support/site.mjs';

const TIMEOUT = 90000;

// SQL text literal.
const q = (text) => `'${text.replaceAll("'", "''")}'`;

const AWKWARD = 'He said "hi" \\ </script><script>window.hacked=1</script>\r\nsecond line';

function seed(site) {
  site.sql(
    `insert into Vantrel_ArticleClass (d_id, d_channelid, d_name, d_dir, d_commentflag,
       d_commentcheckflag, d_path) values (50, 1, '评论分类', '', -1, 0, '50,');
     insert into Vantrel_Article (d_id, d_channelid, d_classid, d_title, d_content, d_checked,
       d_deleted, d_author, d_comefrom, d_addtime)
       values (100, 1, 50, '浏览器测试文章', '<p>正文</p>', -1, 0, '记者', '本站',
       '2024-03-05 08:09:10');
     insert into Vantrel_ArticleComment (d_channelid, d_infoid, d_username, d_score, d_comment,
       d_addtime, d_checked) values
       (1, 100, '读者甲', 5, '第一条评论', '2024-03-06 10:00:00', -1),
       (1, 100, '<b>读者乙</b>', 4, ${q(AWKWARD)}, '2024-03-07 10:00:00', -1),
       (1, 100, '读者丙', 3, '未审核评论', '2024-03-08 10:00:00', 0);
     insert into Vantrel_Announce (d_channelid, d_title, d_content, d_author, d_addtime,
       d_selectedflag) values
       (1, '普通公告', 'x', '编辑', '2024-02-01 08:00:00', -1),
       (1, '带"引号"\\和斜杠的公告', 'x', '编辑', '2024-02-02 08:00:00', -1),
       (1, '未选中公告', 'x', '编辑', '2024-02-03 08:00:00', 0);`,
  );
}

test('announcement, comment and click scripts write their HTML into the page', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, page }) => {
    seed(site);
    const errors = [];
    page.on('pageerror', (error) => errors.push(error.message));

    // goto and reload answer once the page has loaded.
    await page.goto(`${site.base}asp.asp?m=content&articleid=100&channelid=1`);

    // The announcement file: newest first, the unselected one left out, quotes intact.
    const notices = await page.locator('marquee a').allTextContents();
    assert.deepEqual(notices, ['带"引号"\\和斜杠的公告', '普通公告']);
    assert.match(await page.locator('marquee').innerText(), /2024-02-02/);

    // The comment list: approved comments only, readers' markup shown as text.
    const comments = page.locator('table.commentlist');
    assert.equal(await comments.count(), 2);
    const texts = await comments.allInnerTexts();
    assert.ok(texts.some((text) => text.includes('评论人：[<b>读者乙</b>]')), texts.join('\n'));
    const awkward = texts.find((text) => text.includes('He said'));
    assert.ok(awkward.includes('He said "hi" \\ </script><script>window.hacked=1</script>'), awkward);
    assert.ok(awkward.includes('second line'), awkward);
    assert.ok(texts.some((text) => text.includes('第一条评论')));
    assert.ok(!texts.some((text) => text.includes('未审核评论')));
    assert.equal(await page.evaluate(() => window.hacked), undefined);

    // The click script wrote the new total.
    assert.match(await page.locator('.info').innerText(), /点击数：1/);
    await page.reload();
    assert.match(await page.locator('.info').innerText(), /点击数：2/);
    assert.equal(site.sql('select d_clicktimes from Vantrel_Article where d_id = 100'), '2');

    assert.deepEqual(errors, []);
  });
});
