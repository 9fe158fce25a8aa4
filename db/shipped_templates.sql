-- The shipped design: the skins, the template set of channel 1 with one template page for
-- every page type, and the site home page of channel 0, which the configuration row names.
-- Load after shipped_rows.sql, on a fresh database: `folirex init` loads the shipped scripts in
-- name order, and this name sorts after that one.
--
-- Plain INSERT and UPDATE statements, so a server database loads the same text. The keys are
-- written out because other rows name them (channel 1 uses template set 1; skin 1 is also the
-- stylesheet a page falls back to); an insert that writes its own key moves the table's
-- autonumber past it on either database.
--
-- Each skin's d_content is also its stylesheet file: Skin/1.css in the channel folder Article/
-- and Skin/2.css in the install folder. Change both together.

-- ---------------------------------------------------------------------------------------------
-- Skins: 1 for channel 1, 2 for the site home (channel 0). Same stylesheet.

INSERT INTO Vantrel_Skin (d_id, d_channelid, d_name, d_content, d_sysflag) VALUES
  (1, 1, '默认风格', '/* Folirex default skin: a plain news layout for every public page type.
   Kept in ASCII so the file reads the same in any code page. */

/* ---- base ---- */
html { -webkit-text-size-adjust: 100%; }
body {
  display: flex;
  flex-direction: column;
  min-height: 100vh;
  margin: 0;
  background: #f3f4f6;
  color: #1f2328;
  font: 14px/1.7 "PingFang SC", "Hiragino Sans GB", "Microsoft YaHei", "WenQuanYi Micro Hei",
        "WenQuanYi Zen Hei", "Noto Sans CJK SC", "Source Han Sans SC", SimSun, sans-serif;
}
a { color: #1f2328; text-decoration: none; }
a:hover { color: #b3261e; text-decoration: underline; }
img { border: 0; }
h1, h2, h3, p { margin: 0; }
table { border-collapse: collapse; }
td { vertical-align: middle; }
input, select, textarea, button { font: inherit; color: inherit; }
.wrap { width: 100%; max-width: 1120px; margin: 0 auto; padding: 0 16px;
        box-sizing: border-box; }

/* ---- header: logo, banner ---- */
.site-top { background: #ffffff; }
.site-top .wrap { display: flex; align-items: center; justify-content: space-between;
                  min-height: 84px; gap: 16px; }
.logo { display: block; line-height: 0; }
.logo img[src=""] { display: none; }
.logo:has(img[src=""]) { width: 220px; height: 60px;
                         background: url(logo.svg) no-repeat left center; }
.banner { line-height: 0; }
.banner img[src=""] { display: none; }
.banner img, .banner object, .logo img { max-width: 100%; height: auto; }
.top-date { color: #8a8f98; font-size: 12px; }

/* ---- channel bar (the channel script writes a one-row table) ---- */
.channelbar { background: #8f1d17; color: #f0c9c6; font-size: 13px; }
.channelbar:empty { display: none; }
.channelbar table { width: 100%; }
.channelbar td { padding: 6px 0; color: #d99a95; }
.channelbar a, .channelbar a.table_channelmenu_link { color: #ffffff; padding: 0 6px; }
.channelbar a:hover { color: #ffe2df; }

/* ---- navigation ---- */
.nav { background: #b3261e; }
.nav .wrap { display: flex; align-items: center; justify-content: space-between;
             flex-wrap: wrap; gap: 8px; min-height: 46px; }
.menu { display: flex; flex-wrap: wrap; margin: 0; padding: 0; list-style: none; }
.menu li { margin: 0; }
.menu a { display: block; padding: 0 16px; line-height: 46px; color: #ffffff;
          font-size: 15px; }
.menu a:hover { background: #8f1d17; color: #ffffff; text-decoration: none; }
.search-mini { display: flex; margin: 0; }
.search-mini input[type=text] { width: 190px; height: 30px; padding: 0 10px; border: 0;
                                border-radius: 4px 0 0 4px; background: #ffffff; }
.search-mini button { height: 30px; padding: 0 14px; border: 0; border-radius: 0 4px 4px 0;
                      background: #1f2328; color: #ffffff; cursor: pointer; }
.search-mini button:hover { background: #000000; }
/* the site home: the channel bar in the navigation band */
.nav-home .wrap { display: block; min-height: 46px; }
.nav-home table { margin: 0; }
.nav-home td { color: #d9837c; font-size: 15px; line-height: 46px; }
.nav-home a, .nav-home a.table_channelmenu_link { padding: 0 12px; color: #ffffff; }
.nav-home a:hover { color: #ffffff; text-decoration: none; }
.navimenu { margin-top: 8px; }
.navimenu:empty { display: none; }

/* ---- location path and announcements ---- */
.locbar { display: flex; align-items: center; justify-content: space-between; gap: 16px;
          margin-top: 12px; padding: 8px 14px; background: #ffffff;
          border: 1px solid #e4e6ea; border-radius: 6px; font-size: 13px; color: #59606b; }
.locbar .path { white-space: nowrap; overflow: hidden; text-overflow: ellipsis; }
.locbar .path a { color: #59606b; }
.locbar .path a:hover { color: #b3261e; }
.notice { display: flex; align-items: center; gap: 8px; flex: 0 1 460px; min-width: 0; }
.notice-label { flex: none; padding: 0 8px; border-radius: 3px; background: #fdecea;
                color: #b3261e; font-size: 12px; line-height: 20px; }
.notice marquee { width: 100%; }
.notice a { color: #59606b; }

/* ---- page columns ---- */
.main { display: grid; grid-template-columns: minmax(0, 1fr) 300px; gap: 16px;
        margin: 16px auto 32px; align-items: start; }
.main.single { grid-template-columns: minmax(0, 1fr); max-width: 860px; }
.col-main, .col-side { min-width: 0; }
.col-main > *, .col-side > * { margin-bottom: 16px; }
.col-main > :last-child, .col-side > :last-child { margin-bottom: 0; }

/* ---- boxes ---- */
.box { background: #ffffff; border: 1px solid #e4e6ea; border-radius: 6px; overflow: hidden; }
.box-head { display: flex; align-items: center; justify-content: space-between;
            padding: 10px 14px; border-bottom: 1px solid #eef0f2; }
.box-head h2 { padding-left: 10px; border-left: 3px solid #b3261e; font-size: 16px;
               line-height: 18px; font-weight: bold; }
.box-head h2 a { color: #1f2328; }
.box-head .more { color: #8a8f98; font-size: 12px; }
.box-head .more:hover { color: #b3261e; }
.box-body { padding: 8px 14px 10px; }
.box-body li { list-style: none; color: #8a8f98; }
.box-body td > li::before { content: ""; display: inline-block; width: 4px; height: 4px;
                             margin: 0 10px 0 4px; background: #b3261e; vertical-align: middle; }
.box-body table td { padding: 6px 2px; border-bottom: 1px dashed #eceef1; }
.box-body table tr:last-child td { border-bottom: 0; }
.box-body table td[align=right] { width: 1%; padding-left: 10px; white-space: nowrap;
                                  color: #8a8f98; font-size: 12px; }
.box-body td img { vertical-align: middle; }
.box-body td img + a, .box-body td a + img { margin-left: 2px; }
.box-body a[href*="m=classlist"] { color: #8a8f98; }
.box-body a[href*="m=comment"] { color: #8a8f98; font-size: 12px; }
.box-text { padding: 12px 14px; color: #59606b; }
.box-text p + p { margin-top: 6px; }

/* sub-class and channel grids: one box per cell */
.blocks > table { width: 100%; table-layout: fixed; }
.blocks > table > tbody > tr > td { height: 1px; padding: 0; vertical-align: top; border: 0; }
.blocks > table > tbody > tr > td[width="5"] { width: 16px; }
.blocks > table > tbody > tr[height="5"] > td { height: 16px; }
.blocks > table > tbody > tr:last-child > td[colspan] { height: 0; }
.blocks .box { box-sizing: border-box; height: 100%; }
.blocks:empty { display: none; }

/* picture lists */
.pics table { table-layout: fixed; }
.pics td { padding: 6px; border: 0; vertical-align: top; text-align: center;
           font-size: 13px; line-height: 1.5; }
.pics td a { display: block; color: #1f2328; }
.pics td img { display: block; max-width: 100%; margin: 0 auto 6px; object-fit: cover;
               border-radius: 4px; background: #eef0f2; }
.pics td img + br { display: none; }
.pics li { padding: 4px 0; }

/* statistics */
.stat td { padding: 4px 0; border-bottom: 1px dashed #eceef1; color: #59606b; }
.stat tr:last-child td { border-bottom: 0; }

/* ---- page bars of the lists and searches ----
   The bar is a table written inside <p align=right>; a table closes an open paragraph, so the
   table follows the (now empty) paragraph instead of sitting in it. */
p[align=right] { margin: 10px 0 0; color: #59606b; font-size: 12px; }
p[align=right] + table { margin: 10px 0 0 auto; color: #59606b; font-size: 12px; }
p[align=right] + table td { border: 0 !important; padding: 0 !important; }
p[align=right] + table a { display: inline-block; min-width: 24px; padding: 0 2px;
                           text-align: center; color: #59606b; }
p[align=right] + table a:hover { color: #b3261e; }
p[align=right] + table font[color="#000000"] { color: #b3261e; font-weight: bold; }
p[align=right] + table input[type=text] { width: 32px; height: 20px; padding: 0 4px;
                                          margin: 0 4px; border: 1px solid #d5d8dd;
                                          border-radius: 3px; }
p[align=right] + table input[type=button] { height: 22px; padding: 0 8px;
                                            border: 1px solid #d5d8dd; border-radius: 3px;
                                            background: #f6f7f9; cursor: pointer; }
/* The first, previous, next and last marks are written in the Webdings font, which most
   systems lack; draw them as arrows instead of the plain 9, 7, 8 and colon. */
font[face="Webdings"] { font-size: 0; }
font[face="Webdings"] a { font-size: 0; text-decoration: none; }
font[face="Webdings"] a::before, font[face="Webdings"]:not(:has(a))::before {
  display: inline-block; min-width: 20px; font-size: 14px; text-align: center; }
font[face="Webdings"]:not(:has(a))::before { color: #c3c7cd; }
font[face="Webdings"]:nth-of-type(1) a::before,
font[face="Webdings"]:nth-of-type(1):not(:has(a))::before { content: "\00AB"; }
font[face="Webdings"]:nth-of-type(2) a::before,
font[face="Webdings"]:nth-of-type(2):not(:has(a))::before { content: "\2039"; }
font[face="Webdings"]:nth-last-of-type(2) a::before,
font[face="Webdings"]:nth-last-of-type(2):not(:has(a))::before { content: "\203A"; }
font[face="Webdings"]:nth-last-of-type(1) a::before,
font[face="Webdings"]:nth-last-of-type(1):not(:has(a))::before { content: "\00BB"; }

/* ---- article ---- */
.article { padding: 28px 32px 24px; background: #ffffff; border: 1px solid #e4e6ea;
           border-radius: 6px; }
.article h1 { font-size: 26px; line-height: 1.4; text-align: center; }
.article .subtitle { margin-top: 6px; color: #59606b; font-size: 16px; text-align: center; }
.article .subtitle:empty { display: none; }
.article .info { margin-top: 14px; padding-bottom: 14px; border-bottom: 1px solid #eef0f2;
                 color: #8a8f98; font-size: 12px; text-align: center; }
.article .marks { margin-left: 6px; }
.article-head { padding-bottom: 18px; }
.article-head h1 a { color: #1f2328; }
.article-head .info { padding-bottom: 0; border-bottom: 0; }
.article-body { margin-top: 20px; font-size: 16px; line-height: 1.9; word-wrap: break-word;
                overflow-wrap: break-word; }
.article-body p { margin: 0 0 1em; }
.article-body img { max-width: 100%; height: auto; }
.article-body table { max-width: 100%; }
.article-body p[align=right] { font-size: 13px; }
.article-body p[align=right] a { margin-left: 4px; padding: 2px 8px; border: 1px solid #e4e6ea;
                                 border-radius: 3px; }
.article-tools { margin-top: 24px; padding-top: 12px; border-top: 1px solid #eef0f2;
                 color: #8a8f98; font-size: 13px; text-align: right; }
.article-tools a { color: #59606b; }
.prevnext { margin-top: 14px; padding: 10px 14px; background: #f6f7f9; border-radius: 4px;
            font-size: 13px; color: #8a8f98; }
.prevnext p + p { margin-top: 4px; }
.prevnext a { color: #1f2328; }

/* comments */
table.commentlist { width: 100%; margin: 0 auto; }
table.commentlist td { padding: 4px 0; border: 0; }
table.commentlist tr:first-child td { color: #8a8f98; font-size: 12px; }
.comments br + table.commentlist { border-top: 1px dashed #eceef1; padding-top: 6px; }

/* ---- forms (search, comment, tell a friend) ---- */
.form { padding: 14px; }
.form .row { display: flex; align-items: flex-start; gap: 10px; margin-bottom: 12px; }
.form .row > label { flex: none; width: 72px; padding-top: 6px; color: #59606b;
                     text-align: right; }
.form .row > .hint { padding-top: 8px; }
.form input[type=text], .form select, .form textarea {
  box-sizing: border-box; padding: 6px 10px; border: 1px solid #d5d8dd; border-radius: 4px;
  background: #ffffff; }
.form input[type=text] { width: 260px; max-width: 100%; }
.form textarea { width: 100%; min-height: 120px; resize: vertical; }
.form input:focus, .form select:focus, .form textarea:focus { outline: 0;
  border-color: #b3261e; box-shadow: 0 0 0 2px #f6d4d1; }
.form .buttons { padding-left: 82px; }
.btn { display: inline-block; height: 34px; padding: 0 20px; border: 0; border-radius: 4px;
       background: #b3261e; color: #ffffff; cursor: pointer; }
.btn:hover { background: #8f1d17; color: #ffffff; text-decoration: none; }
a.btn { line-height: 34px; }
.box-intro { padding: 12px 14px 0; }
.btn-plain { background: #eef0f2; color: #1f2328; }
.btn-plain:hover { background: #e1e4e8; color: #1f2328; }
.hint { color: #8a8f98; font-size: 12px; }
.searchtitle { color: #59606b; font-size: 14px; font-weight: normal; }

/* ---- footer ---- */
.footer { margin-top: auto; padding: 22px 0 26px; background: #24292f; color: #9aa1ab;
          font-size: 12px; text-align: center; line-height: 2; }
.footer a { color: #d0d5db; }
.footer a:hover { color: #ffffff; }

/* ---- print view ---- */
body.print-page { background: #ffffff; }
.print-page .wrap { max-width: 760px; }
.print-bar { display: flex; justify-content: space-between; padding: 14px 0;
             border-bottom: 2px solid #1f2328; color: #59606b; font-size: 12px; }
.print-page .article { padding: 24px 0; border: 0; }
.print-foot { padding: 12px 0 24px; border-top: 1px solid #d5d8dd; color: #8a8f98;
              font-size: 12px; }
.print-actions { margin-top: 10px; text-align: center; }

/* ---- announcement window ---- */
body.notice-page { background: #ffffff; }
.notice-page .notice-head { padding: 10px 16px; background: #b3261e; color: #ffffff;
                            font-size: 15px; font-weight: bold; }
.notice-page .notice-body { padding: 14px 16px; line-height: 1.8; }
.notice-page .notice-body td[height="24"] { padding-bottom: 8px; font-size: 16px;
                                            font-weight: bold; }
.notice-page .notice-foot { padding: 0 16px 16px; text-align: center; }

/* ---- narrow screens ---- */
@media (max-width: 860px) {
  .main { grid-template-columns: minmax(0, 1fr); }
  .locbar { flex-direction: column; align-items: stretch; gap: 6px; }
  .notice { flex-basis: auto; }
  .article { padding: 20px 16px; }
  .banner { display: none; }
}
@media (max-width: 560px) {
  .blocks > table, .blocks > table > tbody, .blocks > table > tbody > tr,
  .blocks > table > tbody > tr > td { display: block; width: auto !important;
                                      height: auto; }
  .blocks .box { height: auto; }
  .blocks > table > tbody > tr > td[width="5"] { height: 16px; }
  .search-mini { width: 100%; padding-bottom: 8px; }
  .search-mini input[type=text] { flex: 1; width: auto; }
  .form .row { flex-direction: column; align-items: stretch; }
  .form .row > label { width: auto; text-align: left; }
  .form .buttons { padding-left: 0; }
}

/* ---- printing ---- */
@media print {
  .site-top, .channelbar, .nav, .navimenu, .locbar, .col-side, .footer, .print-actions,
  .article-tools { display: none !important; }
  body { background: #ffffff; }
  .main { display: block; }
  .article { border: 0; padding: 0; }
}
', -1);

INSERT INTO Vantrel_Skin (d_id, d_channelid, d_name, d_content, d_sysflag) VALUES
  (2, 0, '首页默认风格', '/* Folirex default skin: a plain news layout for every public page type.
   Kept in ASCII so the file reads the same in any code page. */

/* ---- base ---- */
html { -webkit-text-size-adjust: 100%; }
body {
  display: flex;
  flex-direction: column;
  min-height: 100vh;
  margin: 0;
  background: #f3f4f6;
  color: #1f2328;
  font: 14px/1.7 "PingFang SC", "Hiragino Sans GB", "Microsoft YaHei", "WenQuanYi Micro Hei",
        "WenQuanYi Zen Hei", "Noto Sans CJK SC", "Source Han Sans SC", SimSun, sans-serif;
}
a { color: #1f2328; text-decoration: none; }
a:hover { color: #b3261e; text-decoration: underline; }
img { border: 0; }
h1, h2, h3, p { margin: 0; }
table { border-collapse: collapse; }
td { vertical-align: middle; }
input, select, textarea, button { font: inherit; color: inherit; }
.wrap { width: 100%; max-width: 1120px; margin: 0 auto; padding: 0 16px;
        box-sizing: border-box; }

/* ---- header: logo, banner ---- */
.site-top { background: #ffffff; }
.site-top .wrap { display: flex; align-items: center; justify-content: space-between;
                  min-height: 84px; gap: 16px; }
.logo { display: block; line-height: 0; }
.logo img[src=""] { display: none; }
.logo:has(img[src=""]) { width: 220px; height: 60px;
                         background: url(logo.svg) no-repeat left center; }
.banner { line-height: 0; }
.banner img[src=""] { display: none; }
.banner img, .banner object, .logo img { max-width: 100%; height: auto; }
.top-date { color: #8a8f98; font-size: 12px; }

/* ---- channel bar (the channel script writes a one-row table) ---- */
.channelbar { background: #8f1d17; color: #f0c9c6; font-size: 13px; }
.channelbar:empty { display: none; }
.channelbar table { width: 100%; }
.channelbar td { padding: 6px 0; color: #d99a95; }
.channelbar a, .channelbar a.table_channelmenu_link { color: #ffffff; padding: 0 6px; }
.channelbar a:hover { color: #ffe2df; }

/* ---- navigation ---- */
.nav { background: #b3261e; }
.nav .wrap { display: flex; align-items: center; justify-content: space-between;
             flex-wrap: wrap; gap: 8px; min-height: 46px; }
.menu { display: flex; flex-wrap: wrap; margin: 0; padding: 0; list-style: none; }
.menu li { margin: 0; }
.menu a { display: block; padding: 0 16px; line-height: 46px; color: #ffffff;
          font-size: 15px; }
.menu a:hover { background: #8f1d17; color: #ffffff; text-decoration: none; }
.search-mini { display: flex; margin: 0; }
.search-mini input[type=text] { width: 190px; height: 30px; padding: 0 10px; border: 0;
                                border-radius: 4px 0 0 4px; background: #ffffff; }
.search-mini button { height: 30px; padding: 0 14px; border: 0; border-radius: 0 4px 4px 0;
                      background: #1f2328; color: #ffffff; cursor: pointer; }
.search-mini button:hover { background: #000000; }
/* the site home: the channel bar in the navigation band */
.nav-home .wrap { display: block; min-height: 46px; }
.nav-home table { margin: 0; }
.nav-home td { color: #d9837c; font-size: 15px; line-height: 46px; }
.nav-home a, .nav-home a.table_channelmenu_link { padding: 0 12px; color: #ffffff; }
.nav-home a:hover { color: #ffffff; text-decoration: none; }
.navimenu { margin-top: 8px; }
.navimenu:empty { display: none; }

/* ---- location path and announcements ---- */
.locbar { display: flex; align-items: center; justify-content: space-between; gap: 16px;
          margin-top: 12px; padding: 8px 14px; background: #ffffff;
          border: 1px solid #e4e6ea; border-radius: 6px; font-size: 13px; color: #59606b; }
.locbar .path { white-space: nowrap; overflow: hidden; text-overflow: ellipsis; }
.locbar .path a { color: #59606b; }
.locbar .path a:hover { color: #b3261e; }
.notice { display: flex; align-items: center; gap: 8px; flex: 0 1 460px; min-width: 0; }
.notice-label { flex: none; padding: 0 8px; border-radius: 3px; background: #fdecea;
                color: #b3261e; font-size: 12px; line-height: 20px; }
.notice marquee { width: 100%; }
.notice a { color: #59606b; }

/* ---- page columns ---- */
.main { display: grid; grid-template-columns: minmax(0, 1fr) 300px; gap: 16px;
        margin: 16px auto 32px; align-items: start; }
.main.single { grid-template-columns: minmax(0, 1fr); max-width: 860px; }
.col-main, .col-side { min-width: 0; }
.col-main > *, .col-side > * { margin-bottom: 16px; }
.col-main > :last-child, .col-side > :last-child { margin-bottom: 0; }

/* ---- boxes ---- */
.box { background: #ffffff; border: 1px solid #e4e6ea; border-radius: 6px; overflow: hidden; }
.box-head { display: flex; align-items: center; justify-content: space-between;
            padding: 10px 14px; border-bottom: 1px solid #eef0f2; }
.box-head h2 { padding-left: 10px; border-left: 3px solid #b3261e; font-size: 16px;
               line-height: 18px; font-weight: bold; }
.box-head h2 a { color: #1f2328; }
.box-head .more { color: #8a8f98; font-size: 12px; }
.box-head .more:hover { color: #b3261e; }
.box-body { padding: 8px 14px 10px; }
.box-body li { list-style: none; color: #8a8f98; }
.box-body td > li::before { content: ""; display: inline-block; width: 4px; height: 4px;
                             margin: 0 10px 0 4px; background: #b3261e; vertical-align: middle; }
.box-body table td { padding: 6px 2px; border-bottom: 1px dashed #eceef1; }
.box-body table tr:last-child td { border-bottom: 0; }
.box-body table td[align=right] { width: 1%; padding-left: 10px; white-space: nowrap;
                                  color: #8a8f98; font-size: 12px; }
.box-body td img { vertical-align: middle; }
.box-body td img + a, .box-body td a + img { margin-left: 2px; }
.box-body a[href*="m=classlist"] { color: #8a8f98; }
.box-body a[href*="m=comment"] { color: #8a8f98; font-size: 12px; }
.box-text { padding: 12px 14px; color: #59606b; }
.box-text p + p { margin-top: 6px; }

/* sub-class and channel grids: one box per cell */
.blocks > table { width: 100%; table-layout: fixed; }
.blocks > table > tbody > tr > td { height: 1px; padding: 0; vertical-align: top; border: 0; }
.blocks > table > tbody > tr > td[width="5"] { width: 16px; }
.blocks > table > tbody > tr[height="5"] > td { height: 16px; }
.blocks > table > tbody > tr:last-child > td[colspan] { height: 0; }
.blocks .box { box-sizing: border-box; height: 100%; }
.blocks:empty { display: none; }

/* picture lists */
.pics table { table-layout: fixed; }
.pics td { padding: 6px; border: 0; vertical-align: top; text-align: center;
           font-size: 13px; line-height: 1.5; }
.pics td a { display: block; color: #1f2328; }
.pics td img { display: block; max-width: 100%; margin: 0 auto 6px; object-fit: cover;
               border-radius: 4px; background: #eef0f2; }
.pics td img + br { display: none; }
.pics li { padding: 4px 0; }

/* statistics */
.stat td { padding: 4px 0; border-bottom: 1px dashed #eceef1; color: #59606b; }
.stat tr:last-child td { border-bottom: 0; }

/* ---- page bars of the lists and searches ----
   The bar is a table written inside <p align=right>; a table closes an open paragraph, so the
   table follows the (now empty) paragraph instead of sitting in it. */
p[align=right] { margin: 10px 0 0; color: #59606b; font-size: 12px; }
p[align=right] + table { margin: 10px 0 0 auto; color: #59606b; font-size: 12px; }
p[align=right] + table td { border: 0 !important; padding: 0 !important; }
p[align=right] + table a { display: inline-block; min-width: 24px; padding: 0 2px;
                           text-align: center; color: #59606b; }
p[align=right] + table a:hover { color: #b3261e; }
p[align=right] + table font[color="#000000"] { color: #b3261e; font-weight: bold; }
p[align=right] + table input[type=text] { width: 32px; height: 20px; padding: 0 4px;
                                          margin: 0 4px; border: 1px solid #d5d8dd;
                                          border-radius: 3px; }
p[align=right] + table input[type=button] { height: 22px; padding: 0 8px;
                                            border: 1px solid #d5d8dd; border-radius: 3px;
                                            background: #f6f7f9; cursor: pointer; }
/* The first, previous, next and last marks are written in the Webdings font, which most
   systems lack; draw them as arrows instead of the plain 9, 7, 8 and colon. */
font[face="Webdings"] { font-size: 0; }
font[face="Webdings"] a { font-size: 0; text-decoration: none; }
font[face="Webdings"] a::before, font[face="Webdings"]:not(:has(a))::before {
  display: inline-block; min-width: 20px; font-size: 14px; text-align: center; }
font[face="Webdings"]:not(:has(a))::before { color: #c3c7cd; }
font[face="Webdings"]:nth-of-type(1) a::before,
font[face="Webdings"]:nth-of-type(1):not(:has(a))::before { content: "\00AB"; }
font[face="Webdings"]:nth-of-type(2) a::before,
font[face="Webdings"]:nth-of-type(2):not(:has(a))::before { content: "\2039"; }
font[face="Webdings"]:nth-last-of-type(2) a::before,
font[face="Webdings"]:nth-last-of-type(2):not(:has(a))::before { content: "\203A"; }
font[face="Webdings"]:nth-last-of-type(1) a::before,
font[face="Webdings"]:nth-last-of-type(1):not(:has(a))::before { content: "\00BB"; }

/* ---- article ---- */
.article { padding: 28px 32px 24px; background: #ffffff; border: 1px solid #e4e6ea;
           border-radius: 6px; }
.article h1 { font-size: 26px; line-height: 1.4; text-align: center; }
.article .subtitle { margin-top: 6px; color: #59606b; font-size: 16px; text-align: center; }
.article .subtitle:empty { display: none; }
.article .info { margin-top: 14px; padding-bottom: 14px; border-bottom: 1px solid #eef0f2;
                 color: #8a8f98; font-size: 12px; text-align: center; }
.article .marks { margin-left: 6px; }
.article-head { padding-bottom: 18px; }
.article-head h1 a { color: #1f2328; }
.article-head .info { padding-bottom: 0; border-bottom: 0; }
.article-body { margin-top: 20px; font-size: 16px; line-height: 1.9; word-wrap: break-word;
                overflow-wrap: break-word; }
.article-body p { margin: 0 0 1em; }
.article-body img { max-width: 100%; height: auto; }
.article-body table { max-width: 100%; }
.article-body p[align=right] { font-size: 13px; }
.article-body p[align=right] a { margin-left: 4px; padding: 2px 8px; border: 1px solid #e4e6ea;
                                 border-radius: 3px; }
.article-tools { margin-top: 24px; padding-top: 12px; border-top: 1px solid #eef0f2;
                 color: #8a8f98; font-size: 13px; text-align: right; }
.article-tools a { color: #59606b; }
.prevnext { margin-top: 14px; padding: 10px 14px; background: #f6f7f9; border-radius: 4px;
            font-size: 13px; color: #8a8f98; }
.prevnext p + p { margin-top: 4px; }
.prevnext a { color: #1f2328; }

/* comments */
table.commentlist { width: 100%; margin: 0 auto; }
table.commentlist td { padding: 4px 0; border: 0; }
table.commentlist tr:first-child td { color: #8a8f98; font-size: 12px; }
.comments br + table.commentlist { border-top: 1px dashed #eceef1; padding-top: 6px; }

/* ---- forms (search, comment, tell a friend) ---- */
.form { padding: 14px; }
.form .row { display: flex; align-items: flex-start; gap: 10px; margin-bottom: 12px; }
.form .row > label { flex: none; width: 72px; padding-top: 6px; color: #59606b;
                     text-align: right; }
.form .row > .hint { padding-top: 8px; }
.form input[type=text], .form select, .form textarea {
  box-sizing: border-box; padding: 6px 10px; border: 1px solid #d5d8dd; border-radius: 4px;
  background: #ffffff; }
.form input[type=text] { width: 260px; max-width: 100%; }
.form textarea { width: 100%; min-height: 120px; resize: vertical; }
.form input:focus, .form select:focus, .form textarea:focus { outline: 0;
  border-color: #b3261e; box-shadow: 0 0 0 2px #f6d4d1; }
.form .buttons { padding-left: 82px; }
.btn { display: inline-block; height: 34px; padding: 0 20px; border: 0; border-radius: 4px;
       background: #b3261e; color: #ffffff; cursor: pointer; }
.btn:hover { background: #8f1d17; color: #ffffff; text-decoration: none; }
a.btn { line-height: 34px; }
.box-intro { padding: 12px 14px 0; }
.btn-plain { background: #eef0f2; color: #1f2328; }
.btn-plain:hover { background: #e1e4e8; color: #1f2328; }
.hint { color: #8a8f98; font-size: 12px; }
.searchtitle { color: #59606b; font-size: 14px; font-weight: normal; }

/* ---- footer ---- */
.footer { margin-top: auto; padding: 22px 0 26px; background: #24292f; color: #9aa1ab;
          font-size: 12px; text-align: center; line-height: 2; }
.footer a { color: #d0d5db; }
.footer a:hover { color: #ffffff; }

/* ---- print view ---- */
body.print-page { background: #ffffff; }
.print-page .wrap { max-width: 760px; }
.print-bar { display: flex; justify-content: space-between; padding: 14px 0;
             border-bottom: 2px solid #1f2328; color: #59606b; font-size: 12px; }
.print-page .article { padding: 24px 0; border: 0; }
.print-foot { padding: 12px 0 24px; border-top: 1px solid #d5d8dd; color: #8a8f98;
              font-size: 12px; }
.print-actions { margin-top: 10px; text-align: center; }

/* ---- announcement window ---- */
body.notice-page { background: #ffffff; }
.notice-page .notice-head { padding: 10px 16px; background: #b3261e; color: #ffffff;
                            font-size: 15px; font-weight: bold; }
.notice-page .notice-body { padding: 14px 16px; line-height: 1.8; }
.notice-page .notice-body td[height="24"] { padding-bottom: 8px; font-size: 16px;
                                            font-weight: bold; }
.notice-page .notice-foot { padding: 0 16px 16px; text-align: center; }

/* ---- narrow screens ---- */
@media (max-width: 860px) {
  .main { grid-template-columns: minmax(0, 1fr); }
  .locbar { flex-direction: column; align-items: stretch; gap: 6px; }
  .notice { flex-basis: auto; }
  .article { padding: 20px 16px; }
  .banner { display: none; }
}
@media (max-width: 560px) {
  .blocks > table, .blocks > table > tbody, .blocks > table > tbody > tr,
  .blocks > table > tbody > tr > td { display: block; width: auto !important;
                                      height: auto; }
  .blocks .box { height: auto; }
  .blocks > table > tbody > tr > td[width="5"] { height: 16px; }
  .search-mini { width: 100%; padding-bottom: 8px; }
  .search-mini input[type=text] { flex: 1; width: auto; }
  .form .row { flex-direction: column; align-items: stretch; }
  .form .row > label { width: auto; text-align: left; }
  .form .buttons { padding-left: 0; }
}

/* ---- printing ---- */
@media print {
  .site-top, .channelbar, .nav, .navimenu, .locbar, .col-side, .footer, .print-actions,
  .article-tools { display: none !important; }
  body { background: #ffffff; }
  .main { display: block; }
  .article { border: 0; padding: 0; }
}
', -1);

-- ---------------------------------------------------------------------------------------------
-- Template set 1 of channel 1.

INSERT INTO Vantrel_Template (d_id, d_channelid, d_name, d_desc, d_sysflag, d_dir)
  VALUES (1, 1, '默认方案', '系统自带的方案：简洁的新闻网站样式。', -1, '');

-- ---------------------------------------------------------------------------------------------
-- Template pages. Page 1 is the site home page (channel 0, type default); pages 2 to 13
-- are channel 1's, one of each page type.

INSERT INTO Vantrel_TemplatePage (d_id, d_channelid, d_name, d_type, d_skinid,
                                 d_sysflag, d_order, d_content)
VALUES (1, 0, '网站首页（默认）', 'default', 2, -1, 1, '<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{$showpagetitle}</title>
<meta name="keywords" content="{$showpagekeyword}">
<meta name="description" content="{$showpagedesc}">
{$showcss}
</head>
<body>
<div class="site-top">
  <div class="wrap">
    <a class="logo" href="{$showinstalldir}asp.asp" title="网站首页">{$showlogo}</a>
    <div class="banner">{$showbanner}</div>
  </div>
</div>
<div class="nav nav-home">
  <div class="wrap"><script type="text/javascript" src="{$showinstalldir}js/ShowChannelMenu.js"></script></div>
</div>
<div class="wrap">
  <div class="locbar">
    <div class="path">{$showpath}</div>
    <div class="notice"><span class="notice-label">公告</span><img TemplateChip="ListAnnounce:1,5,false,true" alt=""></div>
  </div>
</div>
<div class="wrap main">
<div class="col-main">
<div class="blocks"><img TemplateChip="ListSubClassList:2" alt="">
<div class="box">
  <div class="box-head">
    <h2><a href="{$showinstalldir}asp.asp?channelid={$showchannelid}">{$showchannelname}</a></h2><a class="more" href="{$showarticlenewlisturl}">更多&gt;&gt;</a>
  </div>
  <div class="box-body">
    <img TemplateChip="ListArticleList:-1,0,true,0,8,false,false,,0,32,1,true,1,3,false,false,true,true,false,false,false,4" alt="">
  </div>
</div>
<img TemplateChip="EndSubClassList" alt=""></div>
</div>
<div class="col-side">
<div class="box">
  <div class="box-head">
    <h2>网站统计</h2>
  </div>
  <div class="box-body box-text">
    {$showchannelstat}
  </div>
</div>
<div class="box">
  <div class="box-head">
    <h2>联系我们</h2>
  </div>
  <div class="box-body box-text">
    <p>欢迎投稿、提出意见和建议。</p>
    <p>站长信箱：<a href="mailto:{$showwebmasteremail}">{$showwebmasteremail}</a></p>
  </div>
</div>
</div>
</div>
<div class="footer">
  <div class="wrap">
    <p><a href="{$showinstalldir}asp.asp">网站首页</a> | {$showadminlogin} <a href="mailto:{$showwebmasteremail}">联系站长</a></p>
    <p>{$showcopyright}</p>
    <p>站长信箱：<a href="mailto:{$showwebmasteremail}">{$showwebmasteremail}</a></p>
  </div>
</div>
</body>
</html>
');

INSERT INTO Vantrel_TemplatePage (d_id, d_channelid, d_name, d_type, d_skinid,
                                 d_sysflag, d_order, d_content)
VALUES (2, 1, '频道首页（默认）', 'first', 1, -1, 1, '<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{$showpagetitle}</title>
<meta name="keywords" content="{$showpagekeyword}">
<meta name="description" content="{$showpagedesc}">
{$showmenucss}
{$showcss}
{$showmenujs}
</head>
<body>
<div class="site-top">
  <div class="wrap">
    <a class="logo" href="{$showinstalldir}asp.asp" title="网站首页">{$showlogo}</a>
    <div class="banner">{$showbanner}</div>
  </div>
</div>
<div class="channelbar"><div class="wrap"><script type="text/javascript" src="{$showinstalldir}js/ShowChannelMenu.js"></script></div></div>
<div class="nav">
  <div class="wrap">
    <ul class="menu">
      <li><a href="{$showinstalldir}asp.asp">网站首页</a></li>
      <li><a href="{$showinstalldir}asp.asp?channelid={$showchannelid}">频道首页</a></li>
      <li><a href="{$showarticlenewlisturl}">最新文章</a></li>
      <li><a href="{$showarticlehotlisturl}">热门文章</a></li>
      <li><a href="{$showarticlerecommendlisturl}">推荐文章</a></li>
    </ul>
    <form class="search-mini" method="get" action="{$showinstalldir}asp.asp">
      <input type="hidden" name="m" value="search">
      <input type="hidden" name="channelid" value="{$showchannelid}">
      <input type="hidden" name="searchtype" value="d_title">
      <input type="hidden" name="searchclass" value="0">
      <input type="hidden" name="searchorder" value="4">
      <input type="text" name="searchkeyword" placeholder="搜索文章标题" aria-label="搜索文章标题">
      <button type="submit">搜索</button>
    </form>
  </div>
</div>
<div class="wrap navimenu">{$shownavimenu}</div>
<div class="wrap">
  <div class="locbar">
    <div class="path">{$showpath}</div>
    <div class="notice"><span class="notice-label">公告</span><img TemplateChip="ListAnnounce:1,5,false,true" alt=""></div>
  </div>
</div>
<div class="wrap main">
<div class="col-main">
<div class="box">
  <div class="box-head">
    <h2>图片文章</h2>
  </div>
  <div class="box-body pics">
    <img TemplateChip="ListArticlePic:-1,0,true,0,4,false,false,0,24,40,4,150,100,1,false,4" alt="">
  </div>
</div>
<div class="box">
  <div class="box-head">
    <h2>最新文章</h2><a class="more" href="{$showarticlenewlisturl}">更多&gt;&gt;</a>
  </div>
  <div class="box-body">
    <img TemplateChip="ListArticleList:-1,0,true,0,12,false,false,,0,0,1,true,1,1,true,false,true,true,false,false,false,4" alt="">
  </div>
</div>
<div class="blocks"><img TemplateChip="ListSubClassList:2" alt="">
<div class="box">
  <div class="box-head">
    <h2><a href="{$showclasslinkurl}">{$showclassname}</a></h2><a class="more" href="{$showclasslinkurl}">更多&gt;&gt;</a>
  </div>
  <div class="box-body">
    <img TemplateChip="ListArticleList:-1,0,true,0,6,false,false,,0,32,1,false,1,3,false,false,true,true,false,false,false,4" alt="">
  </div>
</div>
<img TemplateChip="EndSubClassList" alt=""></div>
</div>
<div class="col-side">
<div class="box">
  <div class="box-head">
    <h2>点击排行</h2><a class="more" href="{$showarticlehotlisturl}">更多&gt;&gt;</a>
  </div>
  <div class="box-body">
    <img TemplateChip="ListArticleList:-1,0,true,0,10,false,false,,0,30,1,false,0,0,false,false,false,false,false,false,false,6" alt="">
  </div>
</div>
<div class="box">
  <div class="box-head">
    <h2>推荐文章</h2><a class="more" href="{$showarticlerecommendlisturl}">更多&gt;&gt;</a>
  </div>
  <div class="box-body">
    <img TemplateChip="ListArticleList:-1,0,true,0,8,false,true,,0,30,1,false,0,0,false,false,false,false,false,false,false,4" alt="">
  </div>
</div>
<div class="box">
  <div class="box-head">
    <h2>频道统计</h2>
  </div>
  <div class="box-body stat">
    {$showchannelstat}
  </div>
</div>
</div>
</div>
<div class="footer">
  <div class="wrap">
    <p><a href="{$showinstalldir}asp.asp">网站首页</a> | {$showadminlogin} <a href="mailto:{$showwebmasteremail}">联系站长</a></p>
    <p>{$showcopyright}</p>
    <p>站长信箱：<a href="mailto:{$showwebmasteremail}">{$showwebmasteremail}</a></p>
  </div>
</div>
</body>
</html>
');

INSERT INTO Vantrel_TemplatePage (d_id, d_channelid, d_name, d_type, d_skinid,
                                 d_sysflag, d_order, d_content)
VALUES (3, 1, '分类列表页（默认）', 'classlist', 1, -1, 2, '<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{$showpagetitle} - {$showchannelname}</title>
<meta name="keywords" content="{$showpagekeyword}">
<meta name="description" content="{$showpagedesc}">
{$showmenucss}
{$showcss}
{$showmenujs}
</head>
<body>
<div class="site-top">
  <div class="wrap">
    <a class="logo" href="{$showinstalldir}asp.asp" title="网站首页">{$showlogo}</a>
    <div class="banner">{$showbanner}</div>
  </div>
</div>
<div class="channelbar"><div class="wrap"><script type="text/javascript" src="{$showinstalldir}js/ShowChannelMenu.js"></script></div></div>
<div class="nav">
  <div class="wrap">
    <ul class="menu">
      <li><a href="{$showinstalldir}asp.asp">网站首页</a></li>
      <li><a href="{$showinstalldir}asp.asp?channelid={$showchannelid}">频道首页</a></li>
      <li><a href="{$showarticlenewlisturl}">最新文章</a></li>
      <li><a href="{$showarticlehotlisturl}">热门文章</a></li>
      <li><a href="{$showarticlerecommendlisturl}">推荐文章</a></li>
    </ul>
    <form class="search-mini" method="get" action="{$showinstalldir}asp.asp">
      <input type="hidden" name="m" value="search">
      <input type="hidden" name="channelid" value="{$showchannelid}">
      <input type="hidden" name="searchtype" value="d_title">
      <input type="hidden" name="searchclass" value="0">
      <input type="hidden" name="searchorder" value="4">
      <input type="text" name="searchkeyword" placeholder="搜索文章标题" aria-label="搜索文章标题">
      <button type="submit">搜索</button>
    </form>
  </div>
</div>
<div class="wrap navimenu">{$shownavimenu}</div>
<div class="wrap">
  <div class="locbar">
    <div class="path">{$showpath}</div>
    <div class="notice"><span class="notice-label">公告</span><img TemplateChip="ListAnnounce:1,5,false,true" alt=""></div>
  </div>
</div>
<div class="wrap main">
<div class="col-main">
<div class="blocks"><img TemplateChip="ListSubClassList:2" alt="">
<div class="box">
  <div class="box-head">
    <h2><a href="{$showclasslinkurl}">{$showclassname}</a></h2><a class="more" href="{$showclasslinkurl}">更多&gt;&gt;</a>
  </div>
  <div class="box-body">
    <img TemplateChip="ListArticleList:-1,0,true,0,5,false,false,,0,32,1,false,1,3,false,false,true,true,false,false,false,4" alt="">
  </div>
</div>
<img TemplateChip="EndSubClassList" alt=""></div>
<div class="box">
  <div class="box-head">
    <h2>{$showclassname}</h2>
  </div>
  <div class="box-body">
    <img TemplateChip="ListArticleList:-1,0,true,0,0,false,false,,0,0,1,true,1,1,false,false,true,true,false,true,false,4" alt="">
  </div>
</div>
</div>
<div class="col-side">
<div class="box">
  <div class="box-head">
    <h2>本类点击排行</h2>
  </div>
  <div class="box-body">
    <img TemplateChip="ListArticleList:-1,0,true,0,10,false,false,,0,30,1,false,0,0,false,false,false,false,false,false,false,6" alt="">
  </div>
</div>
<div class="box">
  <div class="box-head">
    <h2>本类推荐</h2>
  </div>
  <div class="box-body">
    <img TemplateChip="ListArticleList:-1,0,true,0,8,false,true,,0,30,1,false,0,0,false,false,false,false,false,false,false,4" alt="">
  </div>
</div>
<div class="box">
  <div class="box-head">
    <h2>频道统计</h2>
  </div>
  <div class="box-body stat">
    {$showchannelstat}
  </div>
</div>
</div>
</div>
<div class="footer">
  <div class="wrap">
    <p><a href="{$showinstalldir}asp.asp">网站首页</a> | {$showadminlogin} <a href="mailto:{$showwebmasteremail}">联系站长</a></p>
    <p>{$showcopyright}</p>
    <p>站长信箱：<a href="mailto:{$showwebmasteremail}">{$showwebmasteremail}</a></p>
  </div>
</div>
</body>
</html>
');

INSERT INTO Vantrel_TemplatePage (d_id, d_channelid, d_name, d_type, d_skinid,
                                 d_sysflag, d_order, d_content)
VALUES (4, 1, '内容显示页（默认）', 'content', 1, -1, 3, '<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{$showpagetitle} - {$showchannelname}</title>
<meta name="keywords" content="{$showpagekeyword}">
<meta name="description" content="{$showpagedesc}">
{$showmenucss}
{$showcss}
{$showmenujs}
</head>
<body>
<div class="site-top">
  <div class="wrap">
    <a class="logo" href="{$showinstalldir}asp.asp" title="网站首页">{$showlogo}</a>
    <div class="banner">{$showbanner}</div>
  </div>
</div>
<div class="channelbar"><div class="wrap"><script type="text/javascript" src="{$showinstalldir}js/ShowChannelMenu.js"></script></div></div>
<div class="nav">
  <div class="wrap">
    <ul class="menu">
      <li><a href="{$showinstalldir}asp.asp">网站首页</a></li>
      <li><a href="{$showinstalldir}asp.asp?channelid={$showchannelid}">频道首页</a></li>
      <li><a href="{$showarticlenewlisturl}">最新文章</a></li>
      <li><a href="{$showarticlehotlisturl}">热门文章</a></li>
      <li><a href="{$showarticlerecommendlisturl}">推荐文章</a></li>
    </ul>
    <form class="search-mini" method="get" action="{$showinstalldir}asp.asp">
      <input type="hidden" name="m" value="search">
      <input type="hidden" name="channelid" value="{$showchannelid}">
      <input type="hidden" name="searchtype" value="d_title">
      <input type="hidden" name="searchclass" value="0">
      <input type="hidden" name="searchorder" value="4">
      <input type="text" name="searchkeyword" placeholder="搜索文章标题" aria-label="搜索文章标题">
      <button type="submit">搜索</button>
    </form>
  </div>
</div>
<div class="wrap navimenu">{$shownavimenu}</div>
<div class="wrap">
  <div class="locbar">
    <div class="path">{$showpath}</div>
    <div class="notice"><span class="notice-label">公告</span><img TemplateChip="ListAnnounce:1,5,false,true" alt=""></div>
  </div>
</div>
<div class="wrap main">
<div class="col-main">
<div class="article">
  <h1>{$showarticletitle}</h1>
  <p class="subtitle">{$showarticlesubtitle}</p>
  <div class="info">{$showarticleinfo}<span class="marks">{$showarticleproperty}</span></div>
  <div class="article-body">{$showarticlecontent}</div>
  <div class="article-tools">{$showarticlefooter}</div>
  <div class="prevnext">
    <p>上一篇：{$showarticleprevious}</p>
    <p>下一篇：{$showarticlenext}</p>
  </div>
</div>
<div class="box">
  <div class="box-head">
    <h2>相关文章</h2>
  </div>
  <div class="box-body">
    <img TemplateChip="ListArticleCorrelative:10,0" alt="">
  </div>
</div>
<div class="box">
  <div class="box-head">
    <h2>网友评论</h2><a class="more" href="{$showcommentlisturl}">查看全部评论 / 发表评论&gt;&gt;</a>
  </div>
  <div class="box-body comments">
    <img TemplateChip="ListComment:5" alt="">
  </div>
</div>
</div>
<div class="col-side">
<div class="box">
  <div class="box-head">
    <h2>图片文章</h2>
  </div>
  <div class="box-body pics">
    <img TemplateChip="ListArticlePic:-1,0,true,0,4,false,false,0,20,20,2,120,80,1,false,4" alt="">
  </div>
</div>
<div class="box">
  <div class="box-head">
    <h2>频道统计</h2>
  </div>
  <div class="box-body stat">
    {$showchannelstat}
  </div>
</div>
</div>
</div>
<div class="footer">
  <div class="wrap">
    <p><a href="{$showinstalldir}asp.asp">网站首页</a> | {$showadminlogin} <a href="mailto:{$showwebmasteremail}">联系站长</a></p>
    <p>{$showcopyright}</p>
    <p>站长信箱：<a href="mailto:{$showwebmasteremail}">{$showwebmasteremail}</a></p>
  </div>
</div>
</body>
</html>
');

INSERT INTO Vantrel_TemplatePage (d_id, d_channelid, d_name, d_type, d_skinid,
                                 d_sysflag, d_order, d_content)
VALUES (5, 1, '专题列表页（默认）', 'subjectlist', 1, -1, 4, '<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{$showpagetitle}</title>
<meta name="keywords" content="{$showpagekeyword}">
<meta name="description" content="{$showpagedesc}">
{$showmenucss}
{$showcss}
{$showmenujs}
</head>
<body>
<div class="site-top">
  <div class="wrap">
    <a class="logo" href="{$showinstalldir}asp.asp" title="网站首页">{$showlogo}</a>
    <div class="banner">{$showbanner}</div>
  </div>
</div>
<div class="channelbar"><div class="wrap"><script type="text/javascript" src="{$showinstalldir}js/ShowChannelMenu.js"></script></div></div>
<div class="nav">
  <div class="wrap">
    <ul class="menu">
      <li><a href="{$showinstalldir}asp.asp">网站首页</a></li>
      <li><a href="{$showinstalldir}asp.asp?channelid={$showchannelid}">频道首页</a></li>
      <li><a href="{$showarticlenewlisturl}">最新文章</a></li>
      <li><a href="{$showarticlehotlisturl}">热门文章</a></li>
      <li><a href="{$showarticlerecommendlisturl}">推荐文章</a></li>
    </ul>
    <form class="search-mini" method="get" action="{$showinstalldir}asp.asp">
      <input type="hidden" name="m" value="search">
      <input type="hidden" name="channelid" value="{$showchannelid}">
      <input type="hidden" name="searchtype" value="d_title">
      <input type="hidden" name="searchclass" value="0">
      <input type="hidden" name="searchorder" value="4">
      <input type="text" name="searchkeyword" placeholder="搜索文章标题" aria-label="搜索文章标题">
      <button type="submit">搜索</button>
    </form>
  </div>
</div>
<div class="wrap navimenu">{$shownavimenu}</div>
<div class="wrap">
  <div class="locbar">
    <div class="path">{$showpath}</div>
    <div class="notice"><span class="notice-label">公告</span><img TemplateChip="ListAnnounce:1,5,false,true" alt=""></div>
  </div>
</div>
<div class="wrap main">
<div class="col-main">
<div class="box">
  <div class="box-head">
    <h2>专题：{$showsubjectname}</h2>
  </div>
  <div class="box-body">
    <img TemplateChip="ListArticleList:-1,0,true,0,0,false,false,,0,0,1,true,1,1,true,false,true,true,false,true,false,4" alt="">
  </div>
</div>
</div>
<div class="col-side">
<div class="box">
  <div class="box-head">
    <h2>专题图片</h2>
  </div>
  <div class="box-body pics">
    <img TemplateChip="ListArticlePic:-1,0,true,0,4,false,false,0,20,20,2,120,80,1,false,4" alt="">
  </div>
</div>
<div class="box">
  <div class="box-head">
    <h2>频道统计</h2>
  </div>
  <div class="box-body stat">
    {$showchannelstat}
  </div>
</div>
</div>
</div>
<div class="footer">
  <div class="wrap">
    <p><a href="{$showinstalldir}asp.asp">网站首页</a> | {$showadminlogin} <a href="mailto:{$showwebmasteremail}">联系站长</a></p>
    <p>{$showcopyright}</p>
    <p>站长信箱：<a href="mailto:{$showwebmasteremail}">{$showwebmasteremail}</a></p>
  </div>
</div>
</body>
</html>
');

INSERT INTO Vantrel_TemplatePage (d_id, d_channelid, d_name, d_type, d_skinid,
                                 d_sysflag, d_order, d_content)
VALUES (6, 1, '搜索页（默认）', 'search', 1, -1, 5, '<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{$showpagetitle}</title>
<meta name="keywords" content="{$showpagekeyword}">
<meta name="description" content="{$showpagedesc}">
{$showmenucss}
{$showcss}
{$showmenujs}
</head>
<body>
<div class="site-top">
  <div class="wrap">
    <a class="logo" href="{$showinstalldir}asp.asp" title="网站首页">{$showlogo}</a>
    <div class="banner">{$showbanner}</div>
  </div>
</div>
<div class="channelbar"><div class="wrap"><script type="text/javascript" src="{$showinstalldir}js/ShowChannelMenu.js"></script></div></div>
<div class="nav">
  <div class="wrap">
    <ul class="menu">
      <li><a href="{$showinstalldir}asp.asp">网站首页</a></li>
      <li><a href="{$showinstalldir}asp.asp?channelid={$showchannelid}">频道首页</a></li>
      <li><a href="{$showarticlenewlisturl}">最新文章</a></li>
      <li><a href="{$showarticlehotlisturl}">热门文章</a></li>
      <li><a href="{$showarticlerecommendlisturl}">推荐文章</a></li>
    </ul>
    <form class="search-mini" method="get" action="{$showinstalldir}asp.asp">
      <input type="hidden" name="m" value="search">
      <input type="hidden" name="channelid" value="{$showchannelid}">
      <input type="hidden" name="searchtype" value="d_title">
      <input type="hidden" name="searchclass" value="0">
      <input type="hidden" name="searchorder" value="4">
      <input type="text" name="searchkeyword" placeholder="搜索文章标题" aria-label="搜索文章标题">
      <button type="submit">搜索</button>
    </form>
  </div>
</div>
<div class="wrap navimenu">{$shownavimenu}</div>
<div class="wrap">
  <div class="locbar">
    <div class="path">{$showpath}</div>
    <div class="notice"><span class="notice-label">公告</span><img TemplateChip="ListAnnounce:1,5,false,true" alt=""></div>
  </div>
</div>
<div class="wrap main">
<div class="col-main">
<div class="box">
  <div class="box-head">
    <h2>文章搜索</h2>
  </div>
  <div class="box-body">
    <form class="form" method="get" action="{$showinstalldir}asp.asp">
      <input type="hidden" name="m" value="search">
      <input type="hidden" name="channelid" value="{$showchannelid}">
      <input type="hidden" name="searchclass" value="0">
      <div class="row"><label for="searchkeyword">关键字</label><input type="text" id="searchkeyword" name="searchkeyword"></div>
      <div class="row"><label for="searchtype">搜索范围</label><select id="searchtype" name="searchtype"><option value="d_title" selected>标题</option><option value="d_content">内容</option><option value="d_author">作者</option><option value="d_inputer">录入者</option></select></div>
      <div class="row"><label for="searchorder">排列顺序</label><select id="searchorder" name="searchorder"><option value="4" selected>最新发布在前</option><option value="3">最早发布在前</option><option value="6">点击最多在前</option><option value="5">点击最少在前</option></select></div>
      <div class="buttons"><button class="btn" type="submit">搜　索</button></div>
    </form>
  </div>
</div>
<div class="box">
  <div class="box-head">
    <h2>搜索结果 <span class="searchtitle">{$showsearchtitle}</span></h2>
  </div>
  <div class="box-body">
    {$showsearchresult}
  </div>
</div>
</div>
<div class="col-side">
<div class="box">
  <div class="box-head">
    <h2>搜索说明</h2>
  </div>
  <div class="box-body box-text">
    <p>输入关键字，选择搜索范围后点击“搜索”。</p>
    <p>关键字留空时列出本频道的全部文章。</p>
  </div>
</div>
<div class="box">
  <div class="box-head">
    <h2>频道统计</h2>
  </div>
  <div class="box-body stat">
    {$showchannelstat}
  </div>
</div>
</div>
</div>
<div class="footer">
  <div class="wrap">
    <p><a href="{$showinstalldir}asp.asp">网站首页</a> | {$showadminlogin} <a href="mailto:{$showwebmasteremail}">联系站长</a></p>
    <p>{$showcopyright}</p>
    <p>站长信箱：<a href="mailto:{$showwebmasteremail}">{$showwebmasteremail}</a></p>
  </div>
</div>
</body>
</html>
');

INSERT INTO Vantrel_TemplatePage (d_id, d_channelid, d_name, d_type, d_skinid,
                                 d_sysflag, d_order, d_content)
VALUES (7, 1, '最新文章页（默认）', 'newlist', 1, -1, 6, '<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>最新文章 - {$showpagetitle}</title>
<meta name="keywords" content="{$showpagekeyword}">
<meta name="description" content="{$showpagedesc}">
{$showmenucss}
{$showcss}
{$showmenujs}
</head>
<body>
<div class="site-top">
  <div class="wrap">
    <a class="logo" href="{$showinstalldir}asp.asp" title="网站首页">{$showlogo}</a>
    <div class="banner">{$showbanner}</div>
  </div>
</div>
<div class="channelbar"><div class="wrap"><script type="text/javascript" src="{$showinstalldir}js/ShowChannelMenu.js"></script></div></div>
<div class="nav">
  <div class="wrap">
    <ul class="menu">
      <li><a href="{$showinstalldir}asp.asp">网站首页</a></li>
      <li><a href="{$showinstalldir}asp.asp?channelid={$showchannelid}">频道首页</a></li>
      <li><a href="{$showarticlenewlisturl}">最新文章</a></li>
      <li><a href="{$showarticlehotlisturl}">热门文章</a></li>
      <li><a href="{$showarticlerecommendlisturl}">推荐文章</a></li>
    </ul>
    <form class="search-mini" method="get" action="{$showinstalldir}asp.asp">
      <input type="hidden" name="m" value="search">
      <input type="hidden" name="channelid" value="{$showchannelid}">
      <input type="hidden" name="searchtype" value="d_title">
      <input type="hidden" name="searchclass" value="0">
      <input type="hidden" name="searchorder" value="4">
      <input type="text" name="searchkeyword" placeholder="搜索文章标题" aria-label="搜索文章标题">
      <button type="submit">搜索</button>
    </form>
  </div>
</div>
<div class="wrap navimenu">{$shownavimenu}</div>
<div class="wrap">
  <div class="locbar">
    <div class="path">{$showpath}</div>
    <div class="notice"><span class="notice-label">公告</span><img TemplateChip="ListAnnounce:1,5,false,true" alt=""></div>
  </div>
</div>
<div class="wrap main">
<div class="col-main">
<div class="box">
  <div class="box-head">
    <h2>最新文章</h2>
  </div>
  <div class="box-body">
    <img TemplateChip="ListArticleList:-1,0,true,0,0,false,false,,0,0,1,true,1,1,true,false,true,true,false,true,false,4" alt="">
  </div>
</div>
</div>
<div class="col-side">
<div class="box">
  <div class="box-head">
    <h2>图片文章</h2>
  </div>
  <div class="box-body pics">
    <img TemplateChip="ListArticlePic:-1,0,true,0,4,false,false,0,20,20,2,120,80,1,false,4" alt="">
  </div>
</div>
<div class="box">
  <div class="box-head">
    <h2>频道统计</h2>
  </div>
  <div class="box-body stat">
    {$showchannelstat}
  </div>
</div>
</div>
</div>
<div class="footer">
  <div class="wrap">
    <p><a href="{$showinstalldir}asp.asp">网站首页</a> | {$showadminlogin} <a href="mailto:{$showwebmasteremail}">联系站长</a></p>
    <p>{$showcopyright}</p>
    <p>站长信箱：<a href="mailto:{$showwebmasteremail}">{$showwebmasteremail}</a></p>
  </div>
</div>
</body>
</html>
');

INSERT INTO Vantrel_TemplatePage (d_id, d_channelid, d_name, d_type, d_skinid,
                                 d_sysflag, d_order, d_content)
VALUES (8, 1, '热门文章页（默认）', 'hotlist', 1, -1, 7, '<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>热门文章 - {$showpagetitle}</title>
<meta name="keywords" content="{$showpagekeyword}">
<meta name="description" content="{$showpagedesc}">
{$showmenucss}
{$showcss}
{$showmenujs}
</head>
<body>
<div class="site-top">
  <div class="wrap">
    <a class="logo" href="{$showinstalldir}asp.asp" title="网站首页">{$showlogo}</a>
    <div class="banner">{$showbanner}</div>
  </div>
</div>
<div class="channelbar"><div class="wrap"><script type="text/javascript" src="{$showinstalldir}js/ShowChannelMenu.js"></script></div></div>
<div class="nav">
  <div class="wrap">
    <ul class="menu">
      <li><a href="{$showinstalldir}asp.asp">网站首页</a></li>
      <li><a href="{$showinstalldir}asp.asp?channelid={$showchannelid}">频道首页</a></li>
      <li><a href="{$showarticlenewlisturl}">最新文章</a></li>
      <li><a href="{$showarticlehotlisturl}">热门文章</a></li>
      <li><a href="{$showarticlerecommendlisturl}">推荐文章</a></li>
    </ul>
    <form class="search-mini" method="get" action="{$showinstalldir}asp.asp">
      <input type="hidden" name="m" value="search">
      <input type="hidden" name="channelid" value="{$showchannelid}">
      <input type="hidden" name="searchtype" value="d_title">
      <input type="hidden" name="searchclass" value="0">
      <input type="hidden" name="searchorder" value="4">
      <input type="text" name="searchkeyword" placeholder="搜索文章标题" aria-label="搜索文章标题">
      <button type="submit">搜索</button>
    </form>
  </div>
</div>
<div class="wrap navimenu">{$shownavimenu}</div>
<div class="wrap">
  <div class="locbar">
    <div class="path">{$showpath}</div>
    <div class="notice"><span class="notice-label">公告</span><img TemplateChip="ListAnnounce:1,5,false,true" alt=""></div>
  </div>
</div>
<div class="wrap main">
<div class="col-main">
<div class="box">
  <div class="box-head">
    <h2>热门文章</h2>
  </div>
  <div class="box-body">
    <img TemplateChip="ListArticleList:-1,0,true,0,0,true,false,,0,0,1,true,1,1,true,false,true,true,false,true,false,6" alt="">
  </div>
</div>
</div>
<div class="col-side">
<div class="box">
  <div class="box-head">
    <h2>图片文章</h2>
  </div>
  <div class="box-body pics">
    <img TemplateChip="ListArticlePic:-1,0,true,0,4,false,false,0,20,20,2,120,80,1,false,4" alt="">
  </div>
</div>
<div class="box">
  <div class="box-head">
    <h2>频道统计</h2>
  </div>
  <div class="box-body stat">
    {$showchannelstat}
  </div>
</div>
</div>
</div>
<div class="footer">
  <div class="wrap">
    <p><a href="{$showinstalldir}asp.asp">网站首页</a> | {$showadminlogin} <a href="mailto:{$showwebmasteremail}">联系站长</a></p>
    <p>{$showcopyright}</p>
    <p>站长信箱：<a href="mailto:{$showwebmasteremail}">{$showwebmasteremail}</a></p>
  </div>
</div>
</body>
</html>
');

INSERT INTO Vantrel_TemplatePage (d_id, d_channelid, d_name, d_type, d_skinid,
                                 d_sysflag, d_order, d_content)
VALUES (9, 1, '推荐文章页（默认）', 'recommendlist', 1, -1, 8, '<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>推荐文章 - {$showpagetitle}</title>
<meta name="keywords" content="{$showpagekeyword}">
<meta name="description" content="{$showpagedesc}">
{$showmenucss}
{$showcss}
{$showmenujs}
</head>
<body>
<div class="site-top">
  <div class="wrap">
    <a class="logo" href="{$showinstalldir}asp.asp" title="网站首页">{$showlogo}</a>
    <div class="banner">{$showbanner}</div>
  </div>
</div>
<div class="channelbar"><div class="wrap"><script type="text/javascript" src="{$showinstalldir}js/ShowChannelMenu.js"></script></div></div>
<div class="nav">
  <div class="wrap">
    <ul class="menu">
      <li><a href="{$showinstalldir}asp.asp">网站首页</a></li>
      <li><a href="{$showinstalldir}asp.asp?channelid={$showchannelid}">频道首页</a></li>
      <li><a href="{$showarticlenewlisturl}">最新文章</a></li>
      <li><a href="{$showarticlehotlisturl}">热门文章</a></li>
      <li><a href="{$showarticlerecommendlisturl}">推荐文章</a></li>
    </ul>
    <form class="search-mini" method="get" action="{$showinstalldir}asp.asp">
      <input type="hidden" name="m" value="search">
      <input type="hidden" name="channelid" value="{$showchannelid}">
      <input type="hidden" name="searchtype" value="d_title">
      <input type="hidden" name="searchclass" value="0">
      <input type="hidden" name="searchorder" value="4">
      <input type="text" name="searchkeyword" placeholder="搜索文章标题" aria-label="搜索文章标题">
      <button type="submit">搜索</button>
    </form>
  </div>
</div>
<div class="wrap navimenu">{$shownavimenu}</div>
<div class="wrap">
  <div class="locbar">
    <div class="path">{$showpath}</div>
    <div class="notice"><span class="notice-label">公告</span><img TemplateChip="ListAnnounce:1,5,false,true" alt=""></div>
  </div>
</div>
<div class="wrap main">
<div class="col-main">
<div class="box">
  <div class="box-head">
    <h2>推荐文章</h2>
  </div>
  <div class="box-body">
    <img TemplateChip="ListArticleList:-1,0,true,0,0,false,true,,0,0,1,true,1,1,true,false,true,true,false,true,false,4" alt="">
  </div>
</div>
</div>
<div class="col-side">
<div class="box">
  <div class="box-head">
    <h2>图片文章</h2>
  </div>
  <div class="box-body pics">
    <img TemplateChip="ListArticlePic:-1,0,true,0,4,false,false,0,20,20,2,120,80,1,false,4" alt="">
  </div>
</div>
<div class="box">
  <div class="box-head">
    <h2>频道统计</h2>
  </div>
  <div class="box-body stat">
    {$showchannelstat}
  </div>
</div>
</div>
</div>
<div class="footer">
  <div class="wrap">
    <p><a href="{$showinstalldir}asp.asp">网站首页</a> | {$showadminlogin} <a href="mailto:{$showwebmasteremail}">联系站长</a></p>
    <p>{$showcopyright}</p>
    <p>站长信箱：<a href="mailto:{$showwebmasteremail}">{$showwebmasteremail}</a></p>
  </div>
</div>
</body>
</html>
');

INSERT INTO Vantrel_TemplatePage (d_id, d_channelid, d_name, d_type, d_skinid,
                                 d_sysflag, d_order, d_content)
VALUES (10, 1, '评论页（默认）', 'comment', 1, -1, 9, '<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{$showarticletitle} - 网友评论 - {$showpagetitle}</title>
<meta name="keywords" content="{$showpagekeyword}">
<meta name="description" content="{$showpagedesc}">
{$showmenucss}
{$showcss}
{$showmenujs}
</head>
<body>
<div class="site-top">
  <div class="wrap">
    <a class="logo" href="{$showinstalldir}asp.asp" title="网站首页">{$showlogo}</a>
    <div class="banner">{$showbanner}</div>
  </div>
</div>
<div class="channelbar"><div class="wrap"><script type="text/javascript" src="{$showinstalldir}js/ShowChannelMenu.js"></script></div></div>
<div class="nav">
  <div class="wrap">
    <ul class="menu">
      <li><a href="{$showinstalldir}asp.asp">网站首页</a></li>
      <li><a href="{$showinstalldir}asp.asp?channelid={$showchannelid}">频道首页</a></li>
      <li><a href="{$showinstalldir}asp.asp?m=newlist&amp;channelid={$showchannelid}">最新文章</a></li>
      <li><a href="{$showinstalldir}asp.asp?m=hotlist&amp;channelid={$showchannelid}">热门文章</a></li>
      <li><a href="{$showinstalldir}asp.asp?m=recommendlist&amp;channelid={$showchannelid}">推荐文章</a></li>
    </ul>
    <form class="search-mini" method="get" action="{$showinstalldir}asp.asp">
      <input type="hidden" name="m" value="search">
      <input type="hidden" name="channelid" value="{$showchannelid}">
      <input type="hidden" name="searchtype" value="d_title">
      <input type="hidden" name="searchclass" value="0">
      <input type="hidden" name="searchorder" value="4">
      <input type="text" name="searchkeyword" placeholder="搜索文章标题" aria-label="搜索文章标题">
      <button type="submit">搜索</button>
    </form>
  </div>
</div>
<div class="wrap navimenu">{$shownavimenu}</div>
<div class="wrap">
  <div class="locbar">
    <div class="path">{$showpath}</div>
    <div class="notice"><span class="notice-label">公告</span><img TemplateChip="ListAnnounce:1,5,false,true" alt=""></div>
  </div>
</div>
<div class="wrap main single">
<div class="col-main">
<div class="article article-head">
  <h1><a href="{$showinstalldir}asp.asp?m=content&amp;articleid={$showarticleid}&amp;channelid={$showchannelid}">{$showarticletitle}</a></h1>
  <div class="info">作者：{$showarticleauthor}　更新时间：{$showarticleupdatetime}　<a href="{$showinstalldir}asp.asp?m=content&amp;articleid={$showarticleid}&amp;channelid={$showchannelid}">阅读全文</a></div>
</div>
<div class="box">
  <div class="box-head">
    <h2>网友评论</h2>
  </div>
  <div class="box-body comments">
    <img TemplateChip="ListComment:0" alt="">
  </div>
</div>
<div class="box">
  <div class="box-head">
    <h2>发表评论</h2>
  </div>
  <div class="box-body">
    <form class="form" method="post" action="{$showinstalldir}asp.asp?m=comment&amp;flag=1&amp;articleid={$showarticleid}&amp;channelid={$showchannelid}">
      <div class="row"><label for="d_name">您的名字</label><input type="text" id="d_name" name="d_name" maxlength="20"></div>
      <div class="row"><label for="d_email">电子邮件</label><input type="text" id="d_email" name="d_email" maxlength="50"><span class="hint">可以不填</span></div>
      <div class="row"><label for="d_score">评　　分</label><select id="d_score" name="d_score"><option value="5">5 分</option><option value="4">4 分</option><option value="3" selected>3 分</option><option value="2">2 分</option><option value="1">1 分</option></select></div>
      <div class="row"><label for="d_content">评论内容</label><textarea id="d_content" name="d_content" rows="6"></textarea></div>
      <div class="buttons"><button class="btn" type="submit">发表评论</button> <button class="btn btn-plain" type="reset">重新填写</button></div>
    </form>
  </div>
</div>
</div>
</div>
<div class="footer">
  <div class="wrap">
    <p><a href="{$showinstalldir}asp.asp">网站首页</a> | {$showadminlogin} <a href="mailto:{$showwebmasteremail}">联系站长</a></p>
    <p>{$showcopyright}</p>
    <p>站长信箱：<a href="mailto:{$showwebmasteremail}">{$showwebmasteremail}</a></p>
  </div>
</div>
</body>
</html>
');

INSERT INTO Vantrel_TemplatePage (d_id, d_channelid, d_name, d_type, d_skinid,
                                 d_sysflag, d_order, d_content)
VALUES (11, 1, '打印页（默认）', 'print', 1, -1, 10, '<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{$showarticletitle}</title>
<meta name="keywords" content="{$showpagekeyword}">
<meta name="description" content="{$showpagedesc}">
{$showcss}
</head>
<body class="print-page">
<div class="wrap">
  <div class="print-bar"><span>打印版</span><span>更新时间：{$showarticleupdatetime}</span></div>
  <div class="article">
    <h1>{$showarticletitle}</h1>
    <p class="subtitle">{$showarticlesubtitle}</p>
    <div class="info">作者：{$showarticleauthor}　文章来源：{$showarticlecomefrom}　录入：{$showarticleinputer}　更新时间：{$showarticleupdatetime}</div>
    <div class="article-body">{$showarticlecontent}</div>
  </div>
  <div class="print-foot">
    <div class="print-actions"><button class="btn" type="button" onclick="window.print()">打印本页</button> <button class="btn btn-plain" type="button" onclick="window.close()">关闭窗口</button></div>
  </div>
</div>
</body>
</html>
');

INSERT INTO Vantrel_TemplatePage (d_id, d_channelid, d_name, d_type, d_skinid,
                                 d_sysflag, d_order, d_content)
VALUES (12, 1, '告诉好友页（默认）', 'tellfriend', 1, -1, 11, '<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>告诉好友 - {$showarticletitle} - {$showpagetitle}</title>
<meta name="keywords" content="{$showpagekeyword}">
<meta name="description" content="{$showpagedesc}">
{$showmenucss}
{$showcss}
{$showmenujs}
</head>
<body>
<div class="site-top">
  <div class="wrap">
    <a class="logo" href="{$showinstalldir}asp.asp" title="网站首页">{$showlogo}</a>
    <div class="banner">{$showbanner}</div>
  </div>
</div>
<div class="channelbar"><div class="wrap"><script type="text/javascript" src="{$showinstalldir}js/ShowChannelMenu.js"></script></div></div>
<div class="nav">
  <div class="wrap">
    <ul class="menu">
      <li><a href="{$showinstalldir}asp.asp">网站首页</a></li>
      <li><a href="{$showinstalldir}asp.asp?channelid={$showchannelid}">频道首页</a></li>
      <li><a href="{$showinstalldir}asp.asp?m=newlist&amp;channelid={$showchannelid}">最新文章</a></li>
      <li><a href="{$showinstalldir}asp.asp?m=hotlist&amp;channelid={$showchannelid}">热门文章</a></li>
      <li><a href="{$showinstalldir}asp.asp?m=recommendlist&amp;channelid={$showchannelid}">推荐文章</a></li>
    </ul>
    <form class="search-mini" method="get" action="{$showinstalldir}asp.asp">
      <input type="hidden" name="m" value="search">
      <input type="hidden" name="channelid" value="{$showchannelid}">
      <input type="hidden" name="searchtype" value="d_title">
      <input type="hidden" name="searchclass" value="0">
      <input type="hidden" name="searchorder" value="4">
      <input type="text" name="searchkeyword" placeholder="搜索文章标题" aria-label="搜索文章标题">
      <button type="submit">搜索</button>
    </form>
  </div>
</div>
<div class="wrap navimenu">{$shownavimenu}</div>
<div class="wrap">
  <div class="locbar">
    <div class="path">{$showpath}</div>
    <div class="notice"><span class="notice-label">公告</span><img TemplateChip="ListAnnounce:1,5,false,true" alt=""></div>
  </div>
</div>
<div class="wrap main single">
<div class="col-main">
<div class="article article-head">
  <h1><a href="{$showinstalldir}asp.asp?m=content&amp;articleid={$showarticleid}&amp;channelid={$showchannelid}">{$showarticletitle}</a></h1>
  <div class="info">作者：{$showarticleauthor}　文章来源：{$showarticlecomefrom}　更新时间：{$showarticleupdatetime}</div>
</div>
<div class="box">
  <div class="box-head">
    <h2>把这篇文章告诉好友</h2>
  </div>
  <div class="box-body">
    <p class="hint box-intro">填写好友的名字和邮箱，我们会把文章的标题和内容发送给他。</p>
    <form class="form" method="post" action="{$showinstalldir}asp.asp?m=tellfriend&amp;flag=1&amp;articleid={$showarticleid}&amp;channelid={$showchannelid}">
      <div class="row"><label for="mailtoname">好友名字</label><input type="text" id="mailtoname" name="mailtoname" maxlength="20"></div>
      <div class="row"><label for="mailto">好友邮箱</label><input type="text" id="mailto" name="mailto" maxlength="50"></div>
      <div class="buttons"><button class="btn" type="submit">发送邮件</button> <a class="btn btn-plain" href="{$showinstalldir}asp.asp?m=content&amp;articleid={$showarticleid}&amp;channelid={$showchannelid}">返回文章</a></div>
    </form>
  </div>
</div>
</div>
</div>
<div class="footer">
  <div class="wrap">
    <p><a href="{$showinstalldir}asp.asp">网站首页</a> | {$showadminlogin} <a href="mailto:{$showwebmasteremail}">联系站长</a></p>
    <p>{$showcopyright}</p>
    <p>站长信箱：<a href="mailto:{$showwebmasteremail}">{$showwebmasteremail}</a></p>
  </div>
</div>
</body>
</html>
');

INSERT INTO Vantrel_TemplatePage (d_id, d_channelid, d_name, d_type, d_skinid,
                                 d_sysflag, d_order, d_content)
VALUES (13, 1, '公告内容页（默认）', 'notice', 1, -1, 12, '<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>网站公告 - {$showpagetitle}</title>
<meta name="keywords" content="{$showpagekeyword}">
<meta name="description" content="{$showpagedesc}">
{$showcss}
</head>
<body class="notice-page">
<div class="notice-head">网站公告</div>
<div class="notice-body">{$showannouncelist}</div>
<div class="notice-foot"><button class="btn btn-plain" type="button" onclick="window.close()">关闭窗口</button></div>
</body>
</html>
');

-- ---------------------------------------------------------------------------------------------
-- The page map of set 1: one page per type.

INSERT INTO Vantrel_TemplateAndPage (d_channelid, d_templateid, d_pageid, d_type) VALUES
  (1, 1, 2, 'first'),
  (1, 1, 3, 'classlist'),
  (1, 1, 4, 'content'),
  (1, 1, 5, 'subjectlist'),
  (1, 1, 6, 'search'),
  (1, 1, 7, 'newlist'),
  (1, 1, 8, 'hotlist'),
  (1, 1, 9, 'recommendlist'),
  (1, 1, 10, 'comment'),
  (1, 1, 11, 'print'),
  (1, 1, 12, 'tellfriend'),
  (1, 1, 13, 'notice');

-- ---------------------------------------------------------------------------------------------
-- The site home page.

UPDATE Vantrel_Config SET d_templatepageid = 1;
