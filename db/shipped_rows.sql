-- Rows every new Folirex database starts with. Load after schema_sqlite.sql, on a fresh
-- database: the first statement names an explicit key, so a second load fails before it has
-- changed anything.
--
-- Fixed times keep two loads identical; `folirex init` stamps what belongs to the install.

-- ---------------------------------------------------------------------------------------------
-- Site configuration. d_templatepageid names the site home template page; the template rows are
-- shipped separately and set it, 0 until then.

INSERT INTO Vantrel_Config (
  d_ID, d_name, d_url, d_keyword, d_desc, d_email, d_address, d_tel, d_fax, d_mobile,
  d_postcode, d_copyright, d_selectedmailflag, d_mailserver, d_mailuser, d_mailpassword,
  d_showadminlink, d_enablesoftkey, d_installdir, d_defaultfileext, d_templatepageid,
  d_logo, d_logowidth, d_logoheight, d_banner, d_bannerwidth, d_bannerheight)
VALUES (
  1, 'Folirex 新闻网', '', '新闻,文章,Folirex', 'Folirex 新闻网', 'webmaster@example.com', '', '',
  '', '', '', '版权所有 Folirex 新闻网', 0, '', '', '',
  -1, 0, '/', 0, 0,
  '', 160, 60, '', 480, 60);

-- ---------------------------------------------------------------------------------------------
-- Channel 1, the article channel: the module that every channel created in the console copies.
-- Ids 2 to 10 stay free for system channels; a created channel gets 11 or more.

INSERT INTO Vantrel_Channel (
  d_id, d_order, d_channelname, d_desc, d_opentype, d_disabledflag, d_channeltype, d_linkurl,
  d_moduletype, d_channeldir, d_projectname, d_projectunit, d_templateid, d_shownameflag,
  d_uploadflag, d_uploaddir, d_maxfilesize, d_upfiletype, d_clicksofhot, d_daysofnew,
  d_generatehtml, d_listdir, d_contentfiletype, d_firstfileext, d_listfileext,
  d_contentfileext, d_groupnum, d_itemcount, d_itemcountchecked, d_commentcount,
  d_subjectcount, d_clickcount, d_navimenucss, d_dirstructure, d_sysflag, d_customflag)
VALUES (
  1, 1, '文章中心', '新闻与文章', 0, 0, 1, '',
  1, 'Article', '文章', '篇', 1, -1,
  -1, 'uploadfile', 1024, 'jpg|jpeg|gif|png|bmp|rar|zip|doc|xls', 100, 3,
  0, 0, 0, 0, 0,
  0, 30, 0, 0, 0,
  0, 0, '', 0, -1, 0);

-- The next autonumber of the channel table is 11. (On a server database this is the sequence
-- behind d_id.)
UPDATE sqlite_sequence SET seq = 10 WHERE name = 'Vantrel_Channel' AND seq < 10;
INSERT INTO sqlite_sequence (name, seq)
  SELECT 'Vantrel_Channel', 10
  WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = 'Vantrel_Channel');

-- ---------------------------------------------------------------------------------------------
-- Console menu: one flat sequence in d_order. A channel's block (d_channelid = the channel) is
-- copied for every new channel with "文章" replaced by the new channel's item word and
-- "channelid=1" by its id, so every name of channel 1 carries the item word and every link its
-- id. The sign-out item is recognised by its link.

INSERT INTO Vantrel_MenuSet (d_channelid, d_name, d_linkurl, d_openflag, d_topflag,
                             d_displayflag, d_order) VALUES
  (0, '系统管理', '', 0, 1, 1, 1),
  (0, '系统主页面', '?m=admin_main', 0, 0, 1, 2),
  (0, '网站基本设置', '?m=admin_set', 0, 0, 1, 3),
  (0, '频道管理', '?m=admin_channel', 0, 0, 1, 4),
  (0, '网站公告管理', '?m=admin_announce', 0, 0, 1, 5),
  (0, '广告管理', '?m=admin_ad', 0, 0, 1, 6),
  (0, '网站首页生成', '?m=admin_defaulthtml', 0, 0, 1, 7),
  (0, '首页模板页管理', '?m=admin_templatepage&channelid=0', 0, 0, 1, 8),
  (0, '首页风格管理', '?m=admin_skin&channelid=0', 0, 0, 1, 9),
  (0, '服务器环境检测', '?m=admin_servercheck', 0, 0, 1, 10),
  (1, '文章内容管理', '', 0, 1, 1, 11),
  (1, '添加文章', '?m=admin_articleadd&channelid=1', 0, 0, 1, 12),
  (1, '文章管理', '?m=admin_article&channelid=1', 0, 0, 1, 13),
  (1, '文章回收站', '?m=admin_article&channelid=1&action=recycle', 0, 0, 1, 14),
  (1, '文章分类管理', '?m=admin_articleclass&channelid=1', 0, 0, 1, 15),
  (1, '文章专题管理', '?m=admin_articlesubject&channelid=1', 0, 0, 1, 16),
  (1, '文章关键字库', '?m=admin_articlekeyword&channelid=1', 0, 0, 1, 17),
  (1, '文章评论管理', '?m=admin_articlecomment&channelid=1', 0, 0, 1, 18),
  (1, '文章上传文件管理', '?m=admin_uploadfile&channelid=1', 0, 0, 1, 19),
  (1, '文章发布与模板', '', 0, 1, 1, 20),
  (1, '文章生成管理', '?m=admin_articlehtml&channelid=1', 0, 0, 1, 21),
  (1, '文章JS文件管理', '?m=admin_articlejs&channelid=1', 0, 0, 1, 22),
  (1, '文章导航菜单管理', '?m=admin_articlenavi&channelid=1', 0, 0, 1, 23),
  (1, '文章模板方案管理', '?m=admin_template&channelid=1', 0, 0, 1, 24),
  (1, '文章模板页管理', '?m=admin_templatepage&channelid=1', 0, 0, 1, 25),
  (1, '文章风格管理', '?m=admin_skin&channelid=1', 0, 0, 1, 26),
  (1, '文章采集管理', '?m=admin_articlecollect&channelid=1', 0, 0, 1, 27),
  (1, '文章采集设置', '?m=admin_articlecollectset&channelid=1', 0, 0, 1, 28),
  (0, '用户管理', '', 0, 1, 1, 29),
  (0, '后台用户管理', '?m=admin_manager', 0, 0, 1, 30),
  (0, '后台用户权限管理', '?m=admin_managerprivilege', 0, 0, 1, 31),
  (0, '修改密码', '?m=admin_changepassword', 0, 0, 1, 32),
  (0, '后台登陆日志', '?m=admin_loginlog', 0, 0, 1, 33),
  (0, '注销登陆', '?m=admin_login&action=out', 0, 0, 1, 34);

-- ---------------------------------------------------------------------------------------------
-- The catalogue of function codes: every code a console page checks, offered on the grant
-- pages (d_flag 1) in d_order.

INSERT INTO Vantrel_Function (d_code, d_name, d_desc, d_flag, d_order) VALUES
  ('XT_Manage_Main', '后台首页', '进入后台管理框架、左侧菜单和系统主页面', 1, 1),
  ('XT_Manage_ChangePwd', '修改密码', '修改自己的登陆密码', 1, 2),
  ('XT_Manage_Manager', '后台用户管理', '后台用户的新增、修改和删除', 1, 3),
  ('XT_Manage_ManagerPrivilege', '后台用户权限管理', '设置后台用户可以使用的功能', 1, 4),
  ('XT_Manage_LoginLog', '登陆日志', '查看和删除后台登陆记录', 1, 5),
  ('XT_Manage_ServerCheck', '服务器环境检测', '检测服务器上安装的组件', 1, 6),
  ('XT_Manage_Set', '网站基本设置', '网站名称、安装路径、邮件、首页模板等设置', 1, 7),
  ('XT_Manage_ChannelSet', '频道管理', '频道的新增、修改、排序、禁用和删除', 1, 8),
  ('XT_Manage_Announce', '公告管理', '网站公告的发布、修改和删除', 1, 9),
  ('XT_Manage_DefaultHtml', '网站首页生成', '生成网站首页的静态文件', 1, 10),
  ('XT_Manage_ArticleAdd', '添加文章', '在频道中添加新的文章', 1, 11),
  ('XT_Manage_Article', '文章管理', '文章的修改、审核、固顶、推荐、移动和回收站', 1, 12),
  ('XT_Manage_ArticleClass', '分类管理', '分类的添加、修改、移动、排序、清空和删除', 1, 13),
  ('XT_Manage_ArticleSubject', '专题管理', '专题的添加、修改、合并、清空和删除', 1, 14),
  ('XT_Manage_ArticleKeyword', '关键字库管理', '频道关键字库的维护', 1, 15),
  ('XT_Manage_ArticleComment', '评论管理', '评论的审核、回复和删除', 1, 16),
  ('XT_Manage_ArticleUpload', '上传文件管理', '浏览上传文件，清理无用的文件', 1, 17),
  ('XT_Manage_ArticleHtml', '频道生成管理', '生成频道的静态页面', 1, 18),
  ('XT_Manage_ArticleJs', 'JS文件管理', '定义和刷新频道的JS调用文件', 1, 19),
  ('XT_Manage_ArticleNavi', '导航菜单管理', '频道导航菜单的维护和生成', 1, 20),
  ('XT_Manage_Template', '模板方案管理', '模板方案的添加、修改、删除和模板页选择', 1, 21),
  ('XT_Manage_TemplatePage', '模板页管理', '模板页的添加、修改和删除', 1, 22),
  ('XT_Manage_Skin', '风格管理', '风格样式表的添加、修改和删除', 1, 23),
  ('XT_Manage_ArticleCollect', '文章采集', '按采集项目从其他网站采集文章', 1, 24),
  ('XT_Manage_ArticleCollectSet', '采集设置', '采集项目（采集规则）的设置和测试', 1, 25),
  ('XT_Manage_AD', '广告管理', '广告的新增、修改、删除和JS文件生成', 1, 26);

-- ---------------------------------------------------------------------------------------------
-- The first administrator, with every right. The password column holds the digest of a
-- placeholder password; `folirex init` replaces it with the digest of a random one.

INSERT INTO Vantrel_Admin (d_id, d_name, d_password, d_regtime, d_adduser, d_loginnum,
                           d_lastlogintime, d_lastloginip)
VALUES (1, 'admin', '7a57a5a743894a0e', '2026-01-01 00:00:00', 'admin', 0, NULL, '');

INSERT INTO Vantrel_ManagerFunction (d_adminname, d_functioncode)
  SELECT 'admin', d_code FROM Vantrel_Function ORDER BY d_order;
