// The upload pop-up and the rich-text editor in a real browser: a console form's upload button
// opens a readable pop-up that stores a file in the channel's upload folder and writes its
// address into the form; the editor gives stored legacy HTML back unchanged when it is not
// edited, and an edited text (typing, bold, an uploaded picture) reaches the posted field.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

import { waitForDialog, withSiteAndBrowser } from './support/browser.mjs';
import { signInAsAdmin } from './support/console.mjs';
import { startSite } from './support/site.mjs';

const TIMEOUT = 90000;
const PHOTO = Buffer.from([0xff, 0xd8, 0xff, 0xe0, 0x0d, 0x0a, 0x2d, 0x2d, 0x00, 0x42]);

// Legacy content as older editors stored it: upper-case tags, unquoted attributes, <font>,
// inline styles, a table without tbody, and a handler that must not run inside the console.
const LEGACY =
  '<TABLE width="100%" border=1 cellPadding=2><TR><TD bgColor=#eeeeee><FONT color=red size=4>' +
  '\u65e7\u6587</FONT></TD><TD style="COLOR: blue; FONT-WEIGHT: bold">x &amp; y</TD></TR></TABLE>' +
  '<P align=center>\u7b2c\u4e00\u884c<BR>second line&nbsp; </P>' +
  '<IMG src="/images/none.gif" onerror="parent.document.title=\'ran\'">\r\n<P>end</P>';

// Text as numeric references, so that the ASCII page carries it to a GB2312 browser whole.
function asciiAttr(text) {
  return text
    .replace(/&/g, '&amp;')
    .replace(/"/g, '&quot;')
    .replace(/</g, '&lt;')
    .replace(/>/g, '&gt;')
    .replace(/\r/g, '&#13;')
    .replace(/\n/g, '&#10;')
    .replace(/[^\x00-\x7f]/g, (c) => `&#${c.codePointAt(0)};`);
}

// A page in the install folder standing for an article form: the picture field with its
// upload button, and the content row with the editor frame as the article forms write it.
function writeFormPage(site) {
  const html =
    '<html><head><meta http-equiv="Content-Type" content="text/html; charset=gb2312">' +
    '<script src="admin/admin.js"></script></head><body>' +
    '<form name="form1" method="post" action="admin.asp?m=admin_articleadd">' +
    '<input type="text" name="d_picurl" size="40">' +
    '<input type="text" name="d_keyword" onchange="window.keywordChanges = 1">' +
    '<a id="keywords" href="javascript:g_OpenWindow(' +
    "'admin.asp?m=admin_selectmore&channelid=1&flag=1&field=form1.d_keyword',400,300)\">more</a>" +
    '<input type="button" id="upload" value="upload" onclick="g_OpenWindow(' +
    "'admin.asp?m=uploadfile&channelid=1&type=article&lm=article&field=form1.d_picurl',350,50)\">" +
    `<INPUT type='hidden' name='d_content' value="${asciiAttr(LEGACY)}">` +
    "<IFRAME ID='Kelmira1' src='Kelmira/kelmira.htm?id=d_content&savepathfilename=d_savepathfilename'" +
    " frameborder='0' scrolling='no' width='550' height='350'></IFRAME>" +
    '<select name="d_picture"><option value="">none</option></select>' +
    '<input type=hidden name=\'d_savepathfilename\' onchange="' +
    "window.listChanges = (window.listChanges || 0) + 1\">" +
    '</form></body></html>';
  fs.writeFileSync(path.join(site.root, 'form_test.htm'), html);
}

// Clicks in the opener (page or frame), then chooses the file in the upload pop-up it opens and
// posts it; answers when the pop-up has closed itself.
async function uploadThroughPopup(browser, opener, selector, file) {
  const [popup] = await Promise.all([
    browser.context.waitForEvent('page'),
    opener.click(selector),
  ]);
  await popup.waitForLoadState('load');
  assert.match(popup.url(), /m=uploadfile/);
  await popup.setInputFiles('input[name=uploadfile]', file);
  await Promise.all([popup.waitForEvent('close'), popup.click('input[name=bSubmit]')]);
}

// The contrast ratio (1 to 21) of the page's text colour against its background, as drawn.
function labelContrast(page) {
  return page.evaluate(() => {
    const luminance = (css) => {
      const [r, g, b] = css.match(/[\d.]+/g).slice(0, 3).map((v) => {
        const c = Number(v) / 255;
        return c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4;
      });
      return 0.2126 * r + 0.7152 * g + 0.0722 * b;
    };
    const style = getComputedStyle(document.body);
    const [light, dark] = [luminance(style.color), luminance(style.backgroundColor)].sort((a, b) => b - a);
    return (light + 0.05) / (dark + 0.05);
  });
}

function storedFile(site, address) {
  assert.match(address, /^\/Article\/uploadfile\/\d{17}\.jpg$/);
  return fs.readFileSync(path.join(site.root, address));
}

test('the upload pop-up and the keyword pick list fill the form', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, browser, page }) => {
    writeFormPage(site);
    await signInAsAdmin(page, site);
    await page.goto(`${site.base}form_test.htm?channelid=1`);

    // A type the channel does not allow is stopped in the pop-up before anything is sent.
    const [popup] = await Promise.all([
      browser.context.waitForEvent('page'),
      page.click('#upload'),
    ]);
    await popup.waitForLoadState('load');
    // The pop-up's label is drawn readably on its menu-coloured background.
    assert.match(await popup.locator('body').innerText(), /文件上传：/);
    assert.ok((await labelContrast(popup)) >= 4.5, `contrast ${await labelContrast(popup)}`);
    await popup.setInputFiles('input[name=uploadfile]', {
      name: 'evil.php', mimeType: 'text/plain', buffer: Buffer.from('<?php') });
    await popup.click('input[name=bSubmit]');
    await waitForDialog(browser, '\u8bf7\u9009\u62e9\u4e00\u4e2a\u6709\u6548\u7684\u6587\u4ef6');
    await popup.close();
    assert.equal(await page.inputValue('input[name=d_picurl]'), '');

    await uploadThroughPopup(browser, page, '#upload', {
      name: 'PHOTO.JPG', mimeType: 'image/jpeg', buffer: PHOTO });
    const address = await page.inputValue('input[name=d_picurl]');
    assert.deepEqual(storedFile(site, address), PHOTO);

    // Two keywords of the library ticked in the pick list land in the keyword box.
    for (const [name, order] of [['\u4f53\u80b2', 1], ['new s', 2], ['other', 3]]) {
      site.sql(`insert into Vantrel_Keyword (d_channelid, d_name, d_order) values (1, '${name}', ${order})`);
    }
    const [picker] = await Promise.all([
      browser.context.waitForEvent('page'),
      page.click('#keywords'),
    ]);
    await picker.waitForLoadState('load');
    await picker.check('input[name=selectdel][value="new s"]');
    await picker.check('input[name=selectdel][value="\u4f53\u80b2"]');
    await Promise.all([picker.waitForEvent('close'), picker.click('input[value="\u786e \u5b9a"]')]);
    assert.equal(await page.inputValue('input[name=d_keyword]'), 'news|\u4f53\u80b2');
    assert.equal(await page.evaluate(() => window.keywordChanges), 1);
  });
});

test('the editor keeps stored HTML and posts the edited HTML', { timeout: TIMEOUT }, async (t) => {
  await withSiteAndBrowser(t, startSite, async ({ site, browser, page }) => {
    writeFormPage(site);
    await signInAsAdmin(page, site);
    await page.goto(`${site.base}form_test.htm?channelid=1`);
    const frame = page.frame({ url: /kelmira\.htm/ });
    await frame.waitForLoadState('load');
    await frame.locator('#kelmira_area table').waitFor();
    const posted = () => page.evaluate(() => new FormData(document.form1).get('d_content'));

    // Untouched: the form posts the stored HTML byte for byte, and getHTML() answers it.
    assert.equal(await posted(), LEGACY);
    assert.equal(await page.evaluate(() => Kelmira1.getHTML()), LEGACY);
    // The stored handler stood inert in the editor.
    assert.notEqual(await page.title(), 'ran');
    // A click, bold at a bare caret and a look at the source change nothing either.
    await frame.click('#kelmira_area p:last-of-type');
    await frame.click('button[data-action=bold]');
    await frame.click('button[data-action=source]');
    // (A text box shows every line end as a line feed.)
    assert.equal(await frame.inputValue('#kelmira_source'), LEGACY.replace(/\r\n/g, '\n'));
    await frame.click('button[data-action=source]');
    assert.equal(await posted(), LEGACY);

    // Typing and bold at the end of the text.
    await frame.click('#kelmira_area p:last-of-type');
    await page.keyboard.press('End');
    await page.keyboard.type(' more');
    await frame.click('button[data-action=bold]');
    await frame.click('button[data-action=bold]');
    await frame.click('button[data-action=bold]');
    await page.keyboard.type('Heavy');
    // A picture through the editor's upload button.
    await uploadThroughPopup(browser, frame, 'button[data-action=image]', {
      name: 'inline.jpg', mimeType: 'image/jpeg', buffer: PHOTO });
    const list = await page.inputValue('input[name=d_savepathfilename]');
    assert.deepEqual(storedFile(site, list), PHOTO);
    assert.equal(await page.evaluate(() => window.listChanges), 1);
    await frame.locator(`#kelmira_area img[src="${list}"]`).waitFor();

    const html = await posted();
    assert.equal(await page.evaluate(() => Kelmira1.getHTML()), html);
    // The picture goes in at the caret, still inside the bold text or just after it.
    assert.match(
      html,
      /end more<b>Heavy(<\/b>)?<img src="\/Article\/uploadfile\/\d{17}\.jpg" border="0">(<\/b>)?<\/p>$/,
    );
    // What was not touched is still there, the set-aside handler included.
    assert.match(html, /<font color="red" size="4">\u65e7\u6587<\/font>/);
    assert.match(html, /style="COLOR: blue; FONT-WEIGHT: bold"/);
    assert.match(html, /onerror="parent\.document\.title='ran'"/);
    assert.notEqual(await page.title(), 'ran');

    // A second upload is added to the list with "|".
    await uploadThroughPopup(browser, frame, 'button[data-action=image]', {
      name: 'second.jpg', mimeType: 'image/jpeg', buffer: PHOTO });
    const two = (await page.inputValue('input[name=d_savepathfilename]')).split('|');
    assert.equal(two.length, 2);
    assert.equal(two[0], list);
    assert.deepEqual(storedFile(site, two[1]), PHOTO);

    // Emptied, the editor answers "" (the form's own check refuses empty content).
    await frame.click('#kelmira_area');
    await page.keyboard.press('Control+A');
    await page.keyboard.press('Delete');
    assert.equal(await page.evaluate(() => Kelmira1.getHTML()), '');
  });
});
