-- Folirex database schema for SQLite.
--
-- Conventions every page relies on:
--   * yes/no columns are YESNO NOT NULL DEFAULT 0 holding -1 (true) or 0 (false), so that
--     "order by d_topflag" puts true first; the few 0/1 flags that pages compare with the
--     number 1 (menu, catalogue, navigation menu, collection projects) are plain INTEGER;
--   * text compares without regard to case (COLLATE NOCASE); text the inserts may leave out
--     defaults to '' so that pages reading it as text see empty text;
--   * dates are DATETIME columns holding text in the form 'yyyy-mm-dd hh:mm:ss' (local time),
--     so that text order is time order; insertion-time columns default to the time of the insert;
--   * autonumbers are never reused (AUTOINCREMENT).
-- The declared type names tell the database layer how to hand a value back (YESNO as a boolean,
-- DATETIME as a date); SQLite gives both numeric affinity, so -1/0 stay whole numbers and the
-- date text stays text.
--
-- The file only creates; it fails on the first statement when the tables already exist, so it
-- never touches a database that is in use. Shipped rows live in shipped_rows.sql.

-- ---------------------------------------------------------------------------------------------
-- Site configuration: one row.

CREATE TABLE Vantrel_Config (
  d_ID INTEGER PRIMARY KEY AUTOINCREMENT,
  d_name TEXT COLLATE NOCASE DEFAULT '',
  d_url TEXT COLLATE NOCASE DEFAULT '',
  d_keyword TEXT COLLATE NOCASE DEFAULT '',
  d_desc TEXT COLLATE NOCASE DEFAULT '',
  d_email TEXT COLLATE NOCASE DEFAULT '',
  d_address TEXT COLLATE NOCASE DEFAULT '',
  d_tel TEXT COLLATE NOCASE DEFAULT '',
  d_fax TEXT COLLATE NOCASE DEFAULT '',
  d_mobile TEXT COLLATE NOCASE DEFAULT '',
  d_postcode TEXT COLLATE NOCASE DEFAULT '',
  d_copyright TEXT COLLATE NOCASE DEFAULT '',
  -- mail component: 0 none, 1 CDONTS, 2 JMail
  d_selectedmailflag INTEGER NOT NULL DEFAULT 0,
  d_mailserver TEXT COLLATE NOCASE DEFAULT '',
  d_mailuser TEXT COLLATE NOCASE DEFAULT '',
  d_mailpassword TEXT COLLATE NOCASE DEFAULT '',
  d_showadminlink YESNO NOT NULL DEFAULT 0,
  -- 0/1 number, not a yes/no column: the login page compares it with 1
  d_enablesoftkey INTEGER NOT NULL DEFAULT 0,
  d_installdir TEXT COLLATE NOCASE DEFAULT '/',
  d_defaultfileext INTEGER NOT NULL DEFAULT 0,
  d_templatepageid INTEGER NOT NULL DEFAULT 0,
  d_logo TEXT COLLATE NOCASE DEFAULT '',
  d_logowidth INTEGER NOT NULL DEFAULT 160,
  d_logoheight INTEGER NOT NULL DEFAULT 60,
  d_banner TEXT COLLATE NOCASE DEFAULT '',
  d_bannerwidth INTEGER NOT NULL DEFAULT 480,
  d_bannerheight INTEGER NOT NULL DEFAULT 60,
  -- Settings of a group no page shows; the first save writes them once.
  d_sendmailflag INTEGER NOT NULL DEFAULT 0,
  d_mailonlyflag INTEGER NOT NULL DEFAULT 0,
  d_mailverifyflag INTEGER NOT NULL DEFAULT 0,
  d_recommendfriendflag INTEGER NOT NULL DEFAULT 0,
  d_wbflag INTEGER NOT NULL DEFAULT 0,
  d_wbtormbrate INTEGER NOT NULL DEFAULT 0,
  d_wbtopointrate INTEGER NOT NULL DEFAULT 0,
  d_pointtowbline INTEGER NOT NULL DEFAULT 0,
  d_onlinetopoint INTEGER NOT NULL DEFAULT 0,
  d_getpasswordflag INTEGER NOT NULL DEFAULT 0,
  d_recentarticlenum INTEGER NOT NULL DEFAULT 0,
  d_recentproductnum INTEGER NOT NULL DEFAULT 0,
  d_productcheckflag INTEGER NOT NULL DEFAULT 0,
  d_commentcheckflag INTEGER NOT NULL DEFAULT 0,
  d_netpayplatformflag INTEGER NOT NULL DEFAULT 0,
  d_badword TEXT COLLATE NOCASE DEFAULT '',
  d_wbname TEXT COLLATE NOCASE DEFAULT '',
  d_netpayname TEXT COLLATE NOCASE DEFAULT ''
);

-- ---------------------------------------------------------------------------------------------
-- Channels. Ids 1 to 10 belong to the system channels; the channel creation computes the id of a
-- new channel itself (11 or more) and writes it, so the autonumber only backs that rule up.

CREATE TABLE Vantrel_Channel (
  d_id INTEGER PRIMARY KEY AUTOINCREMENT,
  d_order INTEGER NOT NULL DEFAULT 0,
  d_channelname TEXT COLLATE NOCASE DEFAULT '',
  d_desc TEXT COLLATE NOCASE DEFAULT '',
  -- 0 same window, 1 new window
  d_opentype INTEGER NOT NULL DEFAULT 0,
  d_disabledflag YESNO NOT NULL DEFAULT 0,
  -- 1 internal channel, 2 external link
  d_channeltype INTEGER NOT NULL DEFAULT 1,
  d_linkurl TEXT COLLATE NOCASE DEFAULT '',
  d_moduletype INTEGER NOT NULL DEFAULT 1,
  d_channeldir TEXT COLLATE NOCASE DEFAULT '',
  d_projectname TEXT COLLATE NOCASE DEFAULT '',
  d_projectunit TEXT COLLATE NOCASE DEFAULT '',
  d_templateid INTEGER NOT NULL DEFAULT 0,
  d_shownameflag YESNO NOT NULL DEFAULT 0,
  d_uploadflag YESNO NOT NULL DEFAULT 0,
  d_uploaddir TEXT COLLATE NOCASE DEFAULT '',
  d_maxfilesize INTEGER NOT NULL DEFAULT 0,
  d_upfiletype TEXT COLLATE NOCASE DEFAULT '',
  d_clicksofhot INTEGER NOT NULL DEFAULT 0,
  d_daysofnew INTEGER NOT NULL DEFAULT 0,
  -- 0 dynamic, 1 all static, 2 first and article pages static
  d_generatehtml INTEGER NOT NULL DEFAULT 0,
  d_listdir INTEGER NOT NULL DEFAULT 0,
  d_contentfiletype INTEGER NOT NULL DEFAULT 0,
  d_firstfileext INTEGER NOT NULL DEFAULT 0,
  d_listfileext INTEGER NOT NULL DEFAULT 0,
  d_contentfileext INTEGER NOT NULL DEFAULT 0,
  -- files per generation step; 0 would make a step write nothing
  d_groupnum INTEGER NOT NULL DEFAULT 30,
  -- Counters are changed by "d_x = d_x + 1" statements and must never be null.
  d_itemcount INTEGER NOT NULL DEFAULT 0,
  d_itemcountchecked INTEGER NOT NULL DEFAULT 0,
  d_commentcount INTEGER NOT NULL DEFAULT 0,
  d_subjectcount INTEGER NOT NULL DEFAULT 0,
  d_clickcount INTEGER NOT NULL DEFAULT 0,
  d_navimenucss TEXT COLLATE NOCASE DEFAULT '',
  d_dirstructure INTEGER NOT NULL DEFAULT 0,
  d_sysflag YESNO NOT NULL DEFAULT 0,
  d_customflag YESNO NOT NULL DEFAULT 0
);
CREATE INDEX idx_channel_order ON Vantrel_Channel (d_order);
CREATE INDEX idx_channel_dir ON Vantrel_Channel (d_channeldir);

-- ---------------------------------------------------------------------------------------------
-- Console: menu, administrators, rights, login log.

-- The flags here are 0/1 numbers compared with 1, not yes/no columns. A row is shown unless
-- its channel is disabled.
CREATE TABLE Vantrel_MenuSet (
  d_id INTEGER PRIMARY KEY AUTOINCREMENT,
  d_channelid INTEGER NOT NULL DEFAULT 0,
  d_name TEXT COLLATE NOCASE DEFAULT '',
  d_linkurl TEXT COLLATE NOCASE DEFAULT '',
  d_openflag INTEGER NOT NULL DEFAULT 0,
  d_topflag INTEGER NOT NULL DEFAULT 0,
  d_displayflag INTEGER NOT NULL DEFAULT 1,
  d_order INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX idx_menuset_order ON Vantrel_MenuSet (d_displayflag, d_order);
CREATE INDEX idx_menuset_channel ON Vantrel_MenuSet (d_channelid, d_order);

CREATE TABLE Vantrel_Admin (
  d_id INTEGER PRIMARY KEY AUTOINCREMENT,
  d_name TEXT COLLATE NOCASE DEFAULT '',
  -- characters 9 to 24 of the lowercase hexadecimal MD5 digest of the password
  d_password TEXT COLLATE NOCASE DEFAULT '',
  d_regtime DATETIME DEFAULT (strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime')),
  d_adduser TEXT COLLATE NOCASE DEFAULT '',
  d_loginnum INTEGER NOT NULL DEFAULT 0,
  d_lastlogintime DATETIME,
  d_lastloginip TEXT COLLATE NOCASE DEFAULT ''
);
CREATE INDEX idx_admin_name ON Vantrel_Admin (d_name);
CREATE INDEX idx_admin_regtime ON Vantrel_Admin (d_regtime);

CREATE TABLE Vantrel_Log (
  d_id INTEGER PRIMARY KEY AUTOINCREMENT,
  d_ip TEXT COLLATE NOCASE DEFAULT '',
  d_adminname TEXT COLLATE NOCASE DEFAULT '',
  d_thisloginnum INTEGER NOT NULL DEFAULT 0,
  d_logintime DATETIME DEFAULT (strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime'))
);
CREATE INDEX idx_log_logintime ON Vantrel_Log (d_logintime);
CREATE INDEX idx_log_adminname ON Vantrel_Log (d_adminname);

-- The catalogue of function codes; d_flag is a 0/1 number: 1 offers the code on the grant pages.
CREATE TABLE Vantrel_Function (
  d_id INTEGER PRIMARY KEY AUTOINCREMENT,
  d_code TEXT COLLATE NOCASE DEFAULT '',
  d_name TEXT COLLATE NOCASE DEFAULT '',
  d_desc TEXT COLLATE NOCASE DEFAULT '',
  d_flag INTEGER NOT NULL DEFAULT 0,
  d_order INTEGER NOT NULL DEFAULT 0
);
-- The per-administrator page joins the catalogue by code; a code listed twice would show twice.
CREATE UNIQUE INDEX idx_function_code ON Vantrel_Function (d_code);
CREATE INDEX idx_function_order ON Vantrel_Function (d_flag, d_order);

-- Grants. No key ties them to administrators or to the catalogue: a grant may name either one
-- that no longer exists.
CREATE TABLE Vantrel_ManagerFunction (
  d_id INTEGER PRIMARY KEY AUTOINCREMENT,
  d_adminname TEXT COLLATE NOCASE DEFAULT '',
  d_functioncode TEXT COLLATE NOCASE DEFAULT ''
);
CREATE INDEX idx_managerfunction_admin ON Vantrel_ManagerFunction (d_adminname, d_functioncode);

-- ---------------------------------------------------------------------------------------------
-- Taxonomy: class tree (pre-order), subjects, keyword library.

CREATE TABLE Vantrel_ArticleClass (
  d_id INTEGER PRIMARY KEY AUTOINCREMENT,
  d_channelid INTEGER NOT NULL DEFAULT 0,
  d_pid INTEGER NOT NULL DEFAULT 0,
  d_name TEXT COLLATE NOCASE DEFAULT '',
  d_child INTEGER NOT NULL DEFAULT 0,
  d_dir TEXT COLLATE NOCASE DEFAULT '',
  d_pagenum INTEGER NOT NULL DEFAULT 20,
  d_commentflag YESNO NOT NULL DEFAULT 0,
  d_commentcheckflag YESNO NOT NULL DEFAULT 0,
  d_addarticleflag YESNO NOT NULL DEFAULT 0,
  d_pointperarticle INTEGER NOT NULL DEFAULT 1,
  d_templatepageid INTEGER NOT NULL DEFAULT 0,
  d_level INTEGER NOT NULL DEFAULT 0,
  d_order INTEGER NOT NULL DEFAULT 0,
  d_generatedflag YESNO NOT NULL DEFAULT 0,
  d_rootid INTEGER NOT NULL DEFAULT 0,
  d_path TEXT COLLATE NOCASE DEFAULT ''
);
CREATE INDEX idx_articleclass_channel_order ON Vantrel_ArticleClass (d_channelid, d_order);
CREATE INDEX idx_articleclass_pid ON Vantrel_ArticleClass (d_pid);
CREATE INDEX idx_articleclass_generated ON Vantrel_ArticleClass (d_channelid, d_generatedflag);

CREATE TABLE Vantrel_ArticleSubject (
  d_id INTEGER PRIMARY KEY AUTOINCREMENT,
  d_channelid INTEGER NOT NULL DEFAULT 0,
  d_name TEXT COLLATE NOCASE DEFAULT '',
  d_dir TEXT COLLATE NOCASE DEFAULT '',
  d_desc TEXT COLLATE NOCASE DEFAULT '',
  d_order INTEGER NOT NULL DEFAULT 0,
  d_templatepageid INTEGER NOT NULL DEFAULT 0,
  d_pagenum INTEGER NOT NULL DEFAULT 20,
  d_generatedflag YESNO NOT NULL DEFAULT 0
);
CREATE INDEX idx_articlesubject_channel_order ON Vantrel_ArticleSubject (d_channelid, d_order);
CREATE INDEX idx_articlesubject_generated ON Vantrel_ArticleSubject (d_channelid, d_generatedflag);

CREATE TABLE Vantrel_Keyword (
  d_id INTEGER PRIMARY KEY AUTOINCREMENT,
  d_channelid INTEGER NOT NULL DEFAULT 0,
  d_name TEXT COLLATE NOCASE DEFAULT '',
  d_order INTEGER NOT NULL DEFAULT 0,
  d_addtime DATETIME DEFAULT (strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime'))
);
CREATE INDEX idx_keyword_channel_order ON Vantrel_Keyword (d_channelid, d_order);

-- ---------------------------------------------------------------------------------------------
-- Articles and comments.

-- The collector inserts only a few columns; the defaults make such a row a live, not generated,
-- unflagged, unpaged article with no clicks.
CREATE TABLE Vantrel_Article (
  d_id INTEGER PRIMARY KEY AUTOINCREMENT,
  d_channelid INTEGER NOT NULL DEFAULT 0,
  d_classid INTEGER NOT NULL DEFAULT 0,
  d_subjectid INTEGER NOT NULL DEFAULT 0,
  d_title TEXT COLLATE NOCASE DEFAULT '',
  d_longtitle TEXT COLLATE NOCASE DEFAULT '',
  d_subtitle TEXT COLLATE NOCASE DEFAULT '',
  -- 0 none, 1 to 4 a fixed prefix before the title
  d_titleprefix INTEGER NOT NULL DEFAULT 0,
  d_titlecolor TEXT COLLATE NOCASE DEFAULT '',
  d_fontshape INTEGER NOT NULL DEFAULT 0,
  d_author TEXT COLLATE NOCASE DEFAULT '',
  d_comefrom TEXT COLLATE NOCASE DEFAULT '',
  d_inputer TEXT COLLATE NOCASE DEFAULT '',
  d_editor TEXT COLLATE NOCASE DEFAULT '',
  -- keywords each followed by "|", with one more "|" in front
  d_keyword TEXT COLLATE NOCASE DEFAULT '',
  d_relativeflag YESNO NOT NULL DEFAULT 0,
  d_metakeyword TEXT COLLATE NOCASE DEFAULT '',
  d_metarelativeflag YESNO NOT NULL DEFAULT 0,
  d_summary TEXT COLLATE NOCASE DEFAULT '',
  d_content TEXT COLLATE NOCASE DEFAULT '',
  -- not empty: the article is a link and has no page of its own
  d_linkurl TEXT COLLATE NOCASE DEFAULT '',
  d_picurl TEXT COLLATE NOCASE DEFAULT '',
  d_uploadfiles TEXT COLLATE NOCASE DEFAULT '',
  -- 0 none, 1 automatic, 2 at the manual page breaks
  d_paginationtype INTEGER NOT NULL DEFAULT 0,
  d_maxcharperpage INTEGER NOT NULL DEFAULT 0,
  d_topflag YESNO NOT NULL DEFAULT 0,
  d_hotflag YESNO NOT NULL DEFAULT 0,
  d_recommendflag YESNO NOT NULL DEFAULT 0,
  d_stars INTEGER NOT NULL DEFAULT 0,
  d_clicktimes INTEGER NOT NULL DEFAULT 0,
  d_dayclicktimes INTEGER NOT NULL DEFAULT 0,
  d_weekclicktimes INTEGER NOT NULL DEFAULT 0,
  d_monthclicktimes INTEGER NOT NULL DEFAULT 0,
  -- null until the first click: the period counters then go on rather than restart
  d_LastClickTime DATETIME,
  d_showcommentlink YESNO NOT NULL DEFAULT 0,
  d_templatepageid INTEGER NOT NULL DEFAULT 0,
  d_generatehtmlflag YESNO NOT NULL DEFAULT 0,
  d_addtime DATETIME DEFAULT (strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime')),
  d_deleted YESNO NOT NULL DEFAULT 0,
  d_checked YESNO NOT NULL DEFAULT 0,
  d_generatedflag YESNO NOT NULL DEFAULT 0
);
-- Public lists select approved live articles of a channel, pinned first, newest first; the
-- manager lists a channel's live articles by add time; the planner counts by the same state.
CREATE INDEX idx_article_list_id
  ON Vantrel_Article (d_channelid, d_deleted, d_checked, d_topflag, d_id DESC);
CREATE INDEX idx_article_list_addtime
  ON Vantrel_Article (d_channelid, d_deleted, d_checked, d_topflag, d_addtime DESC);
CREATE INDEX idx_article_manager ON Vantrel_Article (d_channelid, d_deleted, d_addtime);
-- Class, subject and clicks-ordered public lists: pinned first, then the list's order, read in
-- index order without a sort.
CREATE INDEX idx_article_list_clicks
  ON Vantrel_Article (d_channelid, d_deleted, d_checked, d_topflag, d_clicktimes DESC);
CREATE INDEX idx_article_class_list_id
  ON Vantrel_Article (d_classid, d_channelid, d_deleted, d_checked, d_topflag, d_id DESC);
CREATE INDEX idx_article_class_list_addtime
  ON Vantrel_Article (d_classid, d_channelid, d_deleted, d_checked, d_topflag, d_addtime DESC);
CREATE INDEX idx_article_subject_list_id
  ON Vantrel_Article (d_subjectid, d_channelid, d_deleted, d_checked, d_topflag, d_id DESC);
-- The generation pages' queue of articles not yet generated, in id order.
CREATE INDEX idx_article_channel_generated ON Vantrel_Article (d_channelid, d_generatedflag, d_id);
-- An article page's related articles: the channel's live articles newest first, their keyword
-- lists tested in the index without reading each row.
CREATE INDEX idx_article_related
  ON Vantrel_Article (d_channelid, d_deleted, d_checked, d_addtime, d_keyword);
CREATE INDEX idx_article_class ON Vantrel_Article (d_classid, d_id);
CREATE INDEX idx_article_subject ON Vantrel_Article (d_subjectid, d_id);
-- the collector's title-duplicate check
CREATE INDEX idx_article_title ON Vantrel_Article (d_title);

CREATE TABLE Vantrel_ArticleComment (
  d_id INTEGER PRIMARY KEY AUTOINCREMENT,
  d_channelid INTEGER NOT NULL DEFAULT 0,
  d_classid INTEGER NOT NULL DEFAULT 0,
  d_infoid INTEGER NOT NULL DEFAULT 0,
  -- 1 member, anything else a visitor (public posts store 0)
  d_usertype INTEGER NOT NULL DEFAULT 0,
  d_username TEXT COLLATE NOCASE DEFAULT '',
  d_email TEXT COLLATE NOCASE DEFAULT '',
  d_score INTEGER NOT NULL DEFAULT 0,
  d_comment TEXT COLLATE NOCASE DEFAULT '',
  d_ip TEXT COLLATE NOCASE DEFAULT '',
  d_addtime DATETIME DEFAULT (strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime')),
  d_checked YESNO NOT NULL DEFAULT 0,
  d_reply TEXT COLLATE NOCASE DEFAULT '',
  d_replyuser TEXT COLLATE NOCASE DEFAULT '',
  d_replytime DATETIME
);
CREATE INDEX idx_articlecomment_article ON Vantrel_ArticleComment (d_infoid, d_checked, d_addtime);
CREATE INDEX idx_articlecomment_channel ON Vantrel_ArticleComment (d_channelid, d_addtime);

-- ---------------------------------------------------------------------------------------------
-- Design: template sets, template pages and their map, skins, announcements, advertisements.

CREATE TABLE Vantrel_Template (
  d_id INTEGER PRIMARY KEY AUTOINCREMENT,
  d_channelid INTEGER NOT NULL DEFAULT 0,
  d_name TEXT COLLATE NOCASE DEFAULT '',
  d_desc TEXT COLLATE NOCASE DEFAULT '',
  d_sysflag YESNO NOT NULL DEFAULT 0,
  d_dir TEXT COLLATE NOCASE DEFAULT ''
);
CREATE INDEX idx_template_channel ON Vantrel_Template (d_channelid);

-- d_channelid 0 is the site itself (the home page templates).
CREATE TABLE Vantrel_TemplatePage (
  d_id INTEGER PRIMARY KEY AUTOINCREMENT,
  d_channelid INTEGER NOT NULL DEFAULT 0,
  d_name TEXT COLLATE NOCASE DEFAULT '',
  d_type TEXT COLLATE NOCASE DEFAULT '',
  d_content TEXT COLLATE NOCASE DEFAULT '',
  d_skinid INTEGER NOT NULL DEFAULT 0,
  d_sysflag YESNO NOT NULL DEFAULT 0,
  d_order INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX idx_templatepage_channel ON Vantrel_TemplatePage (d_channelid, d_type);
CREATE INDEX idx_templatepage_type ON Vantrel_TemplatePage (d_type);

-- One row per set and page type. Not unique on purpose: the channel creation copies the rows
-- first and points them at the copied sets afterwards.
CREATE TABLE Vantrel_TemplateAndPage (
  d_id INTEGER PRIMARY KEY AUTOINCREMENT,
  d_channelid INTEGER NOT NULL DEFAULT 0,
  d_templateid INTEGER NOT NULL DEFAULT 0,
  d_pageid INTEGER NOT NULL DEFAULT 0,
  d_type TEXT COLLATE NOCASE DEFAULT ''
);
CREATE INDEX idx_templateandpage_template ON Vantrel_TemplateAndPage (d_templateid, d_type);
CREATE INDEX idx_templateandpage_page ON Vantrel_TemplateAndPage (d_pageid);
CREATE INDEX idx_templateandpage_channel ON Vantrel_TemplateAndPage (d_channelid);

CREATE TABLE Vantrel_Skin (
  d_id INTEGER PRIMARY KEY AUTOINCREMENT,
  d_channelid INTEGER NOT NULL DEFAULT 0,
  d_name TEXT COLLATE NOCASE DEFAULT '',
  d_content TEXT COLLATE NOCASE DEFAULT '',
  d_sysflag YESNO NOT NULL DEFAULT 0
);
CREATE INDEX idx_skin_channel ON Vantrel_Skin (d_channelid);

-- d_channelid 0 is the site home page.
CREATE TABLE Vantrel_Announce (
  d_id INTEGER PRIMARY KEY AUTOINCREMENT,
  d_channelid INTEGER NOT NULL DEFAULT 0,
  d_title TEXT COLLATE NOCASE DEFAULT '',
  d_content TEXT COLLATE NOCASE DEFAULT '',
  d_author TEXT COLLATE NOCASE DEFAULT '',
  d_selectedflag YESNO NOT NULL DEFAULT 0,
  d_showtype INTEGER NOT NULL DEFAULT 2,
  d_addtime DATETIME DEFAULT (strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime'))
);
CREATE INDEX idx_announce_channel ON Vantrel_Announce (d_channelid, d_selectedflag, d_addtime);

CREATE TABLE Vantrel_AD (
  d_id INTEGER PRIMARY KEY AUTOINCREMENT,
  d_code TEXT COLLATE NOCASE DEFAULT '',
  -- 0 image, 1 Flash, 2 text
  d_type INTEGER NOT NULL DEFAULT 0,
  d_text TEXT COLLATE NOCASE DEFAULT '',
  d_url TEXT COLLATE NOCASE DEFAULT '',
  d_src TEXT COLLATE NOCASE DEFAULT '',
  d_width INTEGER NOT NULL DEFAULT 0,
  d_height INTEGER NOT NULL DEFAULT 0,
  d_desc TEXT COLLATE NOCASE DEFAULT ''
);

-- ---------------------------------------------------------------------------------------------
-- Publishing: JS snippet definitions and navigation menus.

CREATE TABLE Vantrel_JS (
  d_id INTEGER PRIMARY KEY AUTOINCREMENT,
  d_channelid INTEGER NOT NULL DEFAULT 0,
  d_jsname TEXT COLLATE NOCASE DEFAULT '',
  d_desc TEXT COLLATE NOCASE DEFAULT '',
  -- 0 to 5
  d_typeflag INTEGER NOT NULL DEFAULT 0,
  d_filename TEXT COLLATE NOCASE DEFAULT '',
  d_config TEXT COLLATE NOCASE DEFAULT ''
);
CREATE INDEX idx_js_channel ON Vantrel_JS (d_channelid);

-- Pre-order tree like the class tree. The flags are 0/1 numbers compared with 1.
CREATE TABLE Vantrel_NaviMenu (
  d_id INTEGER PRIMARY KEY AUTOINCREMENT,
  d_channelid INTEGER NOT NULL DEFAULT 0,
  d_name TEXT COLLATE NOCASE DEFAULT '',
  -- 1 custom item, 0 made from a class
  d_typeflag INTEGER NOT NULL DEFAULT 0,
  d_pid INTEGER NOT NULL DEFAULT 0,
  d_rootid INTEGER NOT NULL DEFAULT 0,
  d_level INTEGER NOT NULL DEFAULT 0,
  d_path TEXT COLLATE NOCASE DEFAULT '',
  d_child INTEGER NOT NULL DEFAULT 0,
  d_order INTEGER NOT NULL DEFAULT 0,
  d_openflag INTEGER NOT NULL DEFAULT 0,
  d_includechildflag INTEGER NOT NULL DEFAULT 0,
  d_linkurl TEXT COLLATE NOCASE DEFAULT '',
  d_picurl TEXT COLLATE NOCASE DEFAULT ''
);
CREATE INDEX idx_navimenu_channel_order ON Vantrel_NaviMenu (d_channelid, d_order);

-- ---------------------------------------------------------------------------------------------
-- Article collection: projects (rules) and the log of discovered URLs.

-- Column names keep the capitals the pages write; D_DoFlag and D_CheckFlag are 0/1 numbers.
CREATE TABLE Vantrel_CollectProject (
  D_ID INTEGER PRIMARY KEY AUTOINCREMENT,
  D_ChannelID INTEGER NOT NULL DEFAULT 0,
  D_ClassID INTEGER NOT NULL DEFAULT 0,
  D_Name TEXT COLLATE NOCASE DEFAULT '',
  D_PageUrl TEXT COLLATE NOCASE DEFAULT '',
  D_FirstDiff INTEGER NOT NULL DEFAULT 0,
  D_FirstFileName TEXT COLLATE NOCASE DEFAULT '',
  D_PageHeader TEXT COLLATE NOCASE DEFAULT '',
  D_PageFooter TEXT COLLATE NOCASE DEFAULT '',
  D_IDUrl TEXT COLLATE NOCASE DEFAULT '',
  D_Header TEXT COLLATE NOCASE DEFAULT '',
  D_Footer TEXT COLLATE NOCASE DEFAULT '',
  D_Title1 TEXT COLLATE NOCASE DEFAULT '',
  D_Title2 TEXT COLLATE NOCASE DEFAULT '',
  D_Author1 TEXT COLLATE NOCASE DEFAULT '',
  D_Author2 TEXT COLLATE NOCASE DEFAULT '',
  D_Content1 TEXT COLLATE NOCASE DEFAULT '',
  D_Content2 TEXT COLLATE NOCASE DEFAULT '',
  D_DoFlag INTEGER NOT NULL DEFAULT 0,
  D_CheckFlag INTEGER NOT NULL DEFAULT 0,
  D_PageNextMatch TEXT COLLATE NOCASE DEFAULT '',
  D_PageNextUrl TEXT COLLATE NOCASE DEFAULT ''
);
CREATE INDEX idx_collectproject_channel ON Vantrel_CollectProject (D_ChannelID);

-- The steps insert rows without d_flag, d_fileid, d_pagenext and d_date and rely on these
-- defaults: not fetched, no article, sub-pages not looked for, inserted now.
CREATE TABLE Vantrel_CollectLog (
  d_id INTEGER PRIMARY KEY AUTOINCREMENT,
  d_projectid INTEGER NOT NULL DEFAULT 0,
  d_channelid INTEGER NOT NULL DEFAULT 0,
  d_url TEXT COLLATE NOCASE DEFAULT '',
  d_title TEXT COLLATE NOCASE DEFAULT '',
  d_flag INTEGER NOT NULL DEFAULT 0,
  d_fileid INTEGER NOT NULL DEFAULT 0,
  d_pagenext INTEGER NOT NULL DEFAULT -1,
  d_date DATETIME DEFAULT (strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime'))
);
CREATE INDEX idx_collectlog_project_url ON Vantrel_CollectLog (d_projectid, d_url);
CREATE INDEX idx_collectlog_channel_flag ON Vantrel_CollectLog (d_channelid, d_flag);

-- ---------------------------------------------------------------------------------------------
-- Tables of other modules that some pages read but no page writes: site members (the top
-- users chip) and the content tables of the product, download and picture modules (the upload
-- clean-up looks up files in them by a channel's module type).

CREATE TABLE Vantrel_User (
  d_id INTEGER PRIMARY KEY AUTOINCREMENT,
  d_nickname TEXT COLLATE NOCASE DEFAULT '',
  d_articlenum INTEGER NOT NULL DEFAULT 0,
  d_commentnum INTEGER NOT NULL DEFAULT 0,
  d_rmb REAL NOT NULL DEFAULT 0
);

CREATE TABLE Vantrel_Product (
  d_id INTEGER PRIMARY KEY AUTOINCREMENT,
  d_channelid INTEGER NOT NULL DEFAULT 0,
  d_uploadfiles TEXT COLLATE NOCASE DEFAULT '',
  d_picurl TEXT COLLATE NOCASE DEFAULT ''
);

CREATE TABLE Vantrel_Download (
  d_id INTEGER PRIMARY KEY AUTOINCREMENT,
  d_channelid INTEGER NOT NULL DEFAULT 0,
  d_uploadfiles TEXT COLLATE NOCASE DEFAULT '',
  d_picurl TEXT COLLATE NOCASE DEFAULT ''
);

CREATE TABLE Vantrel_Pic (
  d_id INTEGER PRIMARY KEY AUTOINCREMENT,
  d_channelid INTEGER NOT NULL DEFAULT 0,
  d_uploadfiles TEXT COLLATE NOCASE DEFAULT '',
  d_picurl TEXT COLLATE NOCASE DEFAULT ''
);
