#include "publishing/js_snippet_forms.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "console/admin_blocks.h"
#include "console/console_text.h"
#include "core/channel_rows.h"
#include "core/console_request.h"
#include "core/messages.h"
#include "core/select_boxes.h"
#include "core/site_files.h"
#include "core/text_helpers.h"
#include "design/template_blocks.h"
#include "platform/db/recordset.h"
#include "platform/db/scoped_transaction.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
#include "publishing/js_snippet_writer.h"

namespace folirex {
namespace {

std::string PageBase(const ConsoleChannel& channel) {
  return "?m=admin_articlejs&channelid=" + channel.id_text;
}

// The field at each position of the two list types' parameter texts; the positions not named
// hold a fixed value (type 0: 7 empty, the chip's author; 19 "false", the chip's paging).
using Positions = std::vector<std::pair<int, const char*>>;
const Positions& ArticlePositions() {
  static const Positions kPositions = {
      {1, "d_classid"},     {2, "d_includesub"},    {3, "d_subjectid"},
      {4, "d_articlenum"},  {5, "d_hotflag"},       {6, "d_recommendflag"},
      {8, "d_datenum"},     {9, "d_title"},         {10, "d_cols"},
      {11, "d_showprefix"}, {12, "d_propertytype"}, {13, "d_showaddtime"},
      {14, "d_showclass"},  {15, "d_showclicks"},   {16, "d_showhotpic"},
      {17, "d_shownewpic"}, {18, "d_showauthor"},   {20, "d_showcommentlink"},
      {21, "d_orderby"}};
  return kPositions;
}
const Positions& PicturePositions() {
  static const Positions kPositions = {
      {1, "d_classid"},    {2, "d_includesub"},    {3, "d_subjectid"}, {4, "d_articlenum"},
      {5, "d_hotflag"},    {6, "d_recommendflag"}, {7, "d_datenum"},   {8, "d_title"},
      {9, "d_content"},    {10, "d_cols"},         {11, "d_picwidth"}, {12, "d_picheight"},
      {13, "d_showstyle"}, {14, "d_showtips"},     {15, "d_orderby"}};
  return kPositions;
}

// The choices of the drop-downs and the layout radio: a posted value must be one of them, so
// that no value can add a position to the parameter text.
const std::map<std::string, std::vector<std::string>>& Choices() {
  static const std::map<std::string, std::vector<std::string>> kChoices = {
      {"d_orderby", {"1", "2", "3", "4", "5", "6"}},
      {"d_propertytype", {"0", "1", "2"}},
      {"d_showaddtime", {"0", "1", "2", "3"}},
      {"d_showstyle", {"1", "2", "3"}}};
  return kChoices;
}

const std::array<const char*, 11> kFlagFields = {
    "d_includesub", "d_hotflag",         "d_recommendflag", "d_showclass",
    "d_showprefix", "d_showauthor",      "d_showclicks",    "d_showhotpic",
    "d_shownewpic", "d_showcommentlink", "d_showtips"};

// The type flag of the request: a number of a type (0 to 5), else the request ends.
int ReadFlag(const ConsoleRequest& request) {
  const int64_t flag = request.values.Number("flag", kParameterError);
  if (flag > 5) request.values.Refuse(kParameterError);
  return static_cast<int>(flag);
}

int64_t ReadId(const ConsoleRequest& request) { return request.values.Id("id", kParameterError); }

// A definition as the save and the update store it.
struct Definition {
  std::string name;
  std::string desc;
  std::string file_name;  // with ".js"
  std::string config;
};

// Reads and checks the posted definition of type `flag` (the save's checks, in their order).
Definition ReadDefinition(RequestState& state, const ConsoleChannel& channel,
                          const RequestReader& posted, int flag) {
  Definition d;
  d.name = CheckedShortName(state, posted.Text("d_jsname"), "名称", "提示：名称不允许为空！");
  d.desc = posted.Raw("d_desc");
  std::string typed = posted.Raw("d_filename");
  if (!IsSnippetFileName(typed + ".js")) AlertBack(state, "提示：文件名称格式不对！");
  d.file_name = typed + ".js";

  std::map<std::string, std::string> v;
  auto field = [&](const char* name) { return v[name] = posted.Text(name); };
  if (!IsDigits(field("d_cols"))) v["d_cols"] = "1";

  if (flag < 2) {
    if (!IsDigits(field("d_classid"))) AlertBack(state, "提示：本分类下设置不允许增加文章！");
    if (field("d_subjectid").empty()) v["d_subjectid"] = "0";
    if (!IsDigits(v["d_subjectid"])) AlertBack(state, "提示：专题id不对！");
    if (!IsDigits(field("d_articlenum")) || v["d_articlenum"] == "0") v["d_articlenum"] = "10";
    for (const char* name : {"d_datenum", "d_title", "d_content"}) {
      if (!IsDigits(field(name))) v[name] = "0";
    }
    if (!IsDigits(field("d_picwidth"))) v["d_picwidth"] = "120";
    if (!IsDigits(field("d_picheight"))) v["d_picheight"] = "60";
    for (const char* name : kFlagFields) {
      if (field(name).empty()) v[name] = "false";
      // A position holding a separator would shift every later one.
      if (v[name].find_first_of("|,") != std::string::npos) AlertBack(state, kParameterError);
    }
    const Positions& positions = flag == 0 ? ArticlePositions() : PicturePositions();
    std::vector<std::string> texts(flag == 0 ? 22 : 16);
    texts[0] = channel.id_text;
    if (flag == 0) texts[19] = "false";
    for (const auto& [position, name] : positions) {
      auto choice = Choices().find(name);
      if (choice == Choices().end()) {
        texts[position] = v[name];
        continue;
      }
      std::string value = field(name);
      const std::vector<std::string>& allowed = choice->second;
      if (std::find(allowed.begin(), allowed.end(), value) == allowed.end()) {
        AlertBack(state, kParameterError);
      }
      texts[position] = value;
    }
    for (size_t i = 0; i < texts.size(); ++i) d.config += (i ? "|" : "") + texts[i];
  } else if (flag == 3 || flag == 5) {
    d.config = v["d_cols"];
  }

  // Names other scripts of the system write into a Js folder.
  const std::string lower = LCase(d.file_name);
  for (const char* reserved :
       {"default.js", "announce.js", "showchannelmenu.js", "showlogo.js", "showbanner.js"}) {
    if (lower == reserved) AlertBack(state, "提示：文件" + d.file_name + "已经存在！");
  }
  return d;
}

// True when another definition of the channel (not `except`) has the file name, letters
// compared without regard to case.
bool FileNameTaken(RequestState& state, const ConsoleChannel& channel, const std::string& file_name,
                   int64_t except) {
  return state.db.Conn
             ->ExecuteScalar(
                 "select count(*) from Vantrel_JS where lcase(d_filename) = ? and "
                 "d_id <> ? and d_channelid = ?",
                 {Variant(LCase(file_name)), Variant(except), Variant(channel.id)})
             .ToInt64Or(0) > 0;
}

// Opens `rs` on the channel's definition `id` (updatable when `change`); a missing row ends the
// request.
void OpenDefinition(RequestState& state, const ConsoleChannel& channel, int64_t id, bool change,
                    Recordset& rs) {
  db::KeptRead row{.tables = {"Vantrel_JS"},
                   .sql = "select * from Vantrel_JS where d_id = ? and d_channelid = ?",
                   .values = {Variant(id), Variant(channel.id)}};
  if (change) {
    rs.Open(row, *state.db.Conn, 1, 3);
  } else {
    rs.Open(row, *state.db.Conn);
  }
  if (rs.Eof()) AlertBack(state, kParameterError);
}

void StoreDefinition(Recordset& rs, const ConsoleChannel& channel, const Definition& d, int flag) {
  rs.Set("d_channelid", Variant(channel.id));
  rs.Set("d_jsname", Variant(d.name));
  rs.Set("d_filename", Variant(d.file_name));
  rs.Set("d_desc", Variant(d.desc));
  rs.Set("d_typeflag", Variant(static_cast<int64_t>(flag)));
  rs.Set("d_config", Variant(d.config));
  rs.Update();
}

// The answer of a save: the success box, or the row's success with the file's failure.
void WriteSavedBox(RequestState& state, const ConsoleChannel& channel, bool written,
                   const Definition& d, std::string_view message, const std::string& again_url,
                   std::string_view again_text) {
  std::string links = LinkItemTo(again_url, again_text) + LinkItemTo(PageBase(channel), "返回列表");
  if (written) {
    state.host.Response->Write(MessageBox(message, links));
    return;
  }
  state.host.Response->Write(
      MessageBox("提示：设置已保存，但文件 Js/" + HtmlEscapeText(d.file_name) +
                     " 没有写入成功！请检查该文件夹的写入权限后在列表中刷新。",
                 links));
}

// ---- forms -------------------------------------------------------------------------------------

std::string Checkbox(std::string_view name, const std::string& value, std::string_view label) {
  return "<input type=checkbox name='" + std::string(name) + "' value='true'" +
         ArticleJs_CheckedIf(value) + ">" + std::string(label);
}

std::string Select(DatabaseState& db, std::string_view name,
                   std::initializer_list<const char*> texts, const std::string& selected) {
  std::vector<Variant> t, values;
  int i = 0;
  for (const char* text : texts) {
    t.emplace_back(text);
    values.emplace_back(std::to_string(i++));
  }
  return BuildSelect(db, name, t, values, selected, "", "");
}

std::string OrderSelect(DatabaseState& db, const std::string& selected) {
  std::vector<Variant> texts = {"文章id升序",   "文章id降序", "更新时间升序",
                                "更新时间降序", "点击数升序", "点击数降序"};
  std::vector<Variant> values = {"1", "2", "3", "4", "5", "6"};
  return BuildSelect(db, "d_orderby", texts, values, selected, "", "");
}

// A definition's values by field name: the stored ones of the edit form, none for the add form.
class FormFields {
 public:
  explicit FormFields(std::map<std::string, std::string> values) : values_(std::move(values)) {}
  std::string operator()(const char* name, const char* fallback = "") const {
    auto it = values_.find(name);
    return it == values_.end() ? std::string(fallback) : it->second;
  }

 private:
  std::map<std::string, std::string> values_;
};

// The form tag, the heading row and the three rows every type has: name, description, file.
std::string SnippetFormHead(const ConsoleChannel& channel, int flag, int64_t id,
                            const FormFields& v) {
  const std::string action = id != 0
                                 ? PageBase(channel) + "&action=update&id=" + std::to_string(id) +
                                       "&flag=" + std::to_string(flag)
                                 : PageBase(channel) + "&action=save&flag=" + std::to_string(flag);
  std::string html = SettingsFormHead("form1", HtmlEscapeAttr(action));
  html += SettingsRow("代码名称：", TextInput("d_jsname", v("d_jsname"), 50, " maxlength=50"), "*",
                      "必填，最大25个中文");
  html += SettingsRow(
      "代码简介：",
      "<textarea name='d_desc' cols=50 rows=5>" + TextAreaContent(v("d_desc")) + "</textarea>", "",
      "");
  html += SettingsRow("文件名称：", TextInput("d_filename", v("d_filename"), 50, " maxlength=50"),
                      "*", "只能是英文或者数字和下划线，例如：article_hot");
  return html;
}

// The rows both list types share: class, subject, count, marks, days, order, title length.
std::string ListRows(RequestState& state, const ConsoleChannel& channel, bool edit,
                     const FormFields& v) {
  DatabaseState& db = state.db;
  std::string html =
      SettingsRow("所属分类：",
                  ArticleJs_ClassSelect(db, channel.id, "d_classid", v("d_classid")) + " " +
                      Checkbox("d_includesub", v("d_includesub"), "包含子分类"),
                  "", "选择分类");
  html += SettingsRow("所属专题：",
                      BuildBoundSelect(db, "d_subjectid", v("d_subjectid"),
                                       "select d_name, d_id from Vantrel_ArticleSubject where "
                                       "d_channelid=? order by d_order desc",
                                       {Variant(channel.id)}, "不属于任何专题"),
                      "", edit ? "选择文章所属的专题" : "选择所属的专题");
  html += SettingsRow("文章数：", TextInput("d_articlenum", v("d_articlenum", "10"), 10), "",
                      edit ? "查询的文章数量，必需大于0" : "查询的数量，必需大于0");
  html += SettingsRow("文章属性：",
                      Checkbox("d_hotflag", v("d_hotflag"), "热门文章") + " " +
                          Checkbox("d_recommendflag", v("d_recommendflag"), "推荐文章"),
                      "", "如果都不选，将显示所有文章");
  html += SettingsRow(
      "日期范围：",
      "只显示最近" + TextInput("d_datenum", v("d_datenum"), 10, " maxlength=10") + "天的文章", "",
      "如果为空或0，则显示所有天数的文章");
  html += SettingsRow("排序方法：", OrderSelect(db, v("d_orderby")), "", "选择文章显示的排序方法");
  html += SettingsRow("标题字符数：", TextInput("d_title", v("d_title", "0"), 10), "",
                      "如果为0，则显示完整标题。字母算一个字符，汉字算两个字符。");
  return html;
}

std::string ColumnsRow(const FormFields& v) {
  return SettingsRow("显示列数：", TextInput("d_cols", v("d_cols", "1"), 10), "",
                     "每行显示的文章列数");
}

// The rows of the article list type (flag 0) after the shared ones.
std::string ArticleListRows(DatabaseState& db, const FormFields& v) {
  std::string html = ColumnsRow(v);
  html +=
      SettingsRow("文章属性图片：",
                  Select(db, "d_propertytype", {"不显示", "小图片", "符号"}, v("d_propertytype")),
                  "", "选择文章属性的显示方法");
  html += SettingsRow(
      "显示内容：",
      Checkbox("d_showclass", v("d_showclass"), "所属分类") + " " +
          Checkbox("d_showprefix", v("d_showprefix"), "图文标志") + " " +
          Checkbox("d_showauthor", v("d_showauthor"), "作者") + " " +
          Select(db, "d_showaddtime", {"不显示", "年月日", "月日", "月-日"}, v("d_showaddtime")) +
          "更新时间 <br>" + Checkbox("d_showclicks", v("d_showclicks"), "点击次数") + " " +
          Checkbox("d_showhotpic", v("d_showhotpic"), "热点文章标志") + " " +
          Checkbox("d_shownewpic", v("d_shownewpic"), "新文章标志") + " " +
          Checkbox("d_showcommentlink", v("d_showcommentlink"), "显示评论链接"),
      "", "选择文章需要显示的部分内容");
  return html;
}

// The rows of the picture list type (flag 1) after the shared ones.
std::string PictureListRows(const FormFields& v) {
  std::string html = ColumnsRow(v);
  html += SettingsRow("内容字符数：", TextInput("d_content", v("d_content", "0"), 10), "",
                      "如果大于0，则在标题下方面显示指定字数的文章内容");
  std::string style = v("d_showstyle");
  if (style != "2" && style != "3") style = "1";
  const char* styles[] = {"图片+标题+内容简介：上下排列",
                          "（图片+标题：上下排列）+内容简介：左右排列",
                          "图片+（标题+内容简介：上下排列）：左右排列"};
  std::string radios;
  for (int i = 0; i < 3; ++i) {
    std::string value = std::to_string(i + 1);
    radios += "<input type=radio name='d_showstyle' value='" + value + "'" +
              (style == value ? " checked" : "") + ">" + styles[i] + "<br>";
  }
  html += SettingsRow("显示样式：", radios, "", "选择文章显示的样式");
  html += SettingsRow("首页图片设置：",
                      "宽度：" + TextInput("d_picwidth", v("d_picwidth"), 10) + "px 高度：" +
                          TextInput("d_picheight", v("d_picheight"), 10) + "px",
                      "", "显示图片的宽度和高度");
  html += SettingsRow("显示内容：", Checkbox("d_showtips", v("d_showtips"), "显示"), "",
                      "显示作者、更新时间、点击数等提示信息");
  return html;
}

// The rows of type `flag` between the head and the buttons.
std::string TypeRows(RequestState& state, const ConsoleChannel& channel, int flag, bool edit,
                     const FormFields& v) {
  switch (flag) {
    case 0:
      return ListRows(state, channel, edit, v) + ArticleListRows(state.db, v);
    case 1:
      return ListRows(state, channel, edit, v) + PictureListRows(v);
    case 3:
      return SettingsRow("每行子分类个数：", TextInput("d_cols", v("d_cols", "4"), 10), "",
                         "每行显示的子分类的个数");
    case 5:
      return ColumnsRow(v);
    default:
      return "";
  }
}

// The buttons, the edit form's hidden stored file name, and the end of the form.
std::string SnippetFormTail(const ConsoleChannel& channel, bool edit, const FormFields& v) {
  std::string html =
      "<tr><td colspan=3 align=center><input type='submit' name='Submit' value='确　定'> "
      "<input type='reset' name='Reset' value='返 回' onclick=\"location.href='" +
      HtmlEscapeAttr(PageBase(channel)) + "'\"></td></tr>\r\n";
  if (edit) {
    html += "<input type=hidden value='" + HtmlEscapeAttr(v("hiddenfilename")) +
            "' name='hiddenfilename'>";
  }
  return html + "</table></form>\r\n";
}

// The form of type `flag`: empty `values` for the add form (defaults), the stored values for
// the edit form; `id` 0 for the add form.
void WriteForm(RequestState& state, const ConsoleChannel& channel, int flag, int64_t id,
               std::map<std::string, std::string> values) {
  const bool edit = id != 0;
  const FormFields v(std::move(values));
  state.host.Response->Write(SnippetFormHead(channel, flag, id, v) +
                             TypeRows(state, channel, flag, edit, v) +
                             SnippetFormTail(channel, edit, v));
}

}  // namespace

std::string ArticleJs_TypeName(std::string_view flag) {
  static const char* kNames[] = {"普通文章", "图片文章", "查询类型",
                                 "分类导航", "分类菜单", "专题列表"};
  if (flag.size() == 1 && flag[0] >= '0' && flag[0] <= '5') return kNames[flag[0] - '0'];
  return "";
}

std::string ArticleJs_CheckedIf(std::string_view value) {
  return LCase(value) == "true" ? " checked" : "";
}

std::string ArticleJs_ClassSelect(DatabaseState& db, int64_t channel, std::string_view field,
                                  std::string_view selected) {
  std::string html =
      "<select size=1 name='" + std::string(field) + "'  ><option value=0>所有分类</option>";
  Recordset rs;
  rs.Open(ChannelRowsRead("Vantrel_ArticleClass", "d_id, d_name, d_level", channel, "d_order"),
          *db.Conn);
  for (; !rs.Eof(); rs.MoveNext()) {
    std::string id = Trim(rs["d_id"].ToString());
    std::string indent;
    for (int64_t i = rs["d_level"].ToInt64Or(0); i > 0; --i) indent += "\u3000";
    html += "<option value='" + HtmlEscapeAttr(id) + (id == selected ? "' selected>" : "'>") +
            indent + HtmlEscapeText(rs["d_name"].ToString()) + "</option>";
  }
  return html + "</select>";
}

void ArticleJs_Add(RequestState& state, const ConsoleChannel& channel,
                   const ConsoleRequest& request) {
  int flag = ReadFlag(request);
  if (flag >= 2) {
    const char* name = flag == 2   ? "查询js文件"
                       : flag == 3 ? "分类导航js文件"
                       : flag == 5 ? "专题列表js文件"
                                   : "";
    int64_t count =
        state.db.Conn
            ->ExecuteScalar(
                {.tables = {"Vantrel_JS"},
                 .sql = "select count(*) from Vantrel_JS where d_channelid = ? and d_typeflag = ?",
                 .values = {Variant(channel.id), Variant(static_cast<int64_t>(flag))}})
            .ToInt64Or(0);
    if (count > 0) {
      AlertBack(state,
                std::string("提示：") + name + "已经存在，没有必要再新增，只要进行修改就可以了！");
    }
  }
  WriteForm(state, channel, flag, 0, {});
}

void ArticleJs_Save(RequestState& state, const ConsoleChannel& channel,
                    const ConsoleRequest& request) {
  int flag = ReadFlag(request);
  Definition d = ReadDefinition(state, channel, request.values, flag);
  RequireFormPost(request);
  {
    ScopedTransaction transaction(*state.db.Conn);
    if (FileNameTaken(state, channel, d.file_name, 0)) {
      AlertBack(state, "提示：文件" + d.file_name + "已经存在！");
    }
    Recordset rs;
    rs.Open(db::TableRows{.table = "Vantrel_JS", .where = "1 < 0"}, *state.db.Conn, 1, 3);
    rs.AddNew();
    StoreDefinition(rs, channel, d, flag);
    rs.Close();
    transaction.Commit();
  }
  bool written =
      WriteSnippetFile(state, channel.settings, d.file_name, d.config, std::to_string(flag));
  WriteSavedBox(state, channel, written, d, "新增信息成功！",
                PageBase(channel) + "&action=add&flag=" + std::to_string(flag), "返回继续新增");
}

void ArticleJs_Edit(RequestState& state, const ConsoleChannel& channel,
                    const ConsoleRequest& request) {
  int64_t id = ReadId(request);
  int flag = ReadFlag(request);
  Recordset rs;
  OpenDefinition(state, channel, id, false, rs);
  std::map<std::string, std::string> values;
  values["d_jsname"] = rs["d_jsname"].ToString();
  values["d_desc"] = rs["d_desc"].ToString();
  std::string file_name = rs["d_filename"].ToString();
  values["hiddenfilename"] = file_name;
  values["d_filename"] = file_name.size() >= 3 ? file_name.substr(0, file_name.size() - 3) : "";
  std::string config = rs["d_config"].ToString();
  std::string type = Trim(rs["d_typeflag"].ToString());
  rs.Close();

  // The stored positions fill the form only when the row is of the form's type: a text of
  // another type (or one cut short) would put values into the wrong fields.
  if (type == std::to_string(flag)) {
    std::vector<std::string> positions =
        config.empty() ? std::vector<std::string>() : Split(config, "|");
    if (flag == 0 || flag == 1) {
      for (const auto& [position, name] : flag == 0 ? ArticlePositions() : PicturePositions()) {
        if (static_cast<size_t>(position) < positions.size()) values[name] = positions[position];
      }
    } else if (flag == 3 || flag == 5) {
      values["d_cols"] = config;
    }
  }
  WriteForm(state, channel, flag, id, values);
}

void ArticleJs_Update(RequestState& state, const ConsoleChannel& channel,
                      const ConsoleRequest& request) {
  int64_t id = ReadId(request);
  int flag = ReadFlag(request);
  Definition d = ReadDefinition(state, channel, request.values, flag);
  RequireFormPost(request);
  std::string old_file;
  {
    ScopedTransaction transaction(*state.db.Conn);
    if (FileNameTaken(state, channel, d.file_name, id)) {
      AlertBack(state, "提示：文件" + d.file_name + "已经存在！");
    }
    Recordset rs;
    OpenDefinition(state, channel, id, true, rs);
    // The old file is the one the row names, not a posted name: only a snippet file name of
    // this channel's Js folder is ever deleted.
    old_file = rs["d_filename"].ToString();
    StoreDefinition(rs, channel, d, flag);
    rs.Close();
    transaction.Commit();
  }
  if (IsSnippetFileName(old_file))
    DeleteFile(state.host, channel.settings.ChannelDir + "Js/" + old_file);
  bool written =
      WriteSnippetFile(state, channel.settings, d.file_name, d.config, std::to_string(flag));
  WriteSavedBox(
      state, channel, written, d, "修改信息成功！",
      PageBase(channel) + "&action=edit&id=" + std::to_string(id) + "&flag=" + std::to_string(flag),
      "返回继续修改");
}

}  // namespace folirex
