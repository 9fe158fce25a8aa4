#include "site/list_support.h"

#include <cmath>
#include <limits>

#include "platform/db/recordset.h"
#include "platform/host/host_text.h"
#include "platform/text/codepage.h"
#include "platform/text/vb_text.h"
#include "site/article_list_sql.h"

namespace folirex {

std::vector<std::string> SplitChipParams(const Variant& params) {
  return Split(params.ToString(), ",");
}

bool IsChipFlag(std::string_view field) {
  std::string v = LCase(Trim(field));
  return v == "true" || v == "false";
}

bool ChipFlagOn(std::string_view field) { return LCase(field) == "true"; }

bool IsChipNumber(std::string_view field) { return Variant(field).IsNumeric(); }

std::optional<int16_t> ChipInt16(std::string_view field) {
  Variant v(field);
  if (!v.IsNumeric()) return std::nullopt;
  double d = v.ToDoubleOr(std::numeric_limits<double>::quiet_NaN());
  if (!std::isfinite(d)) return std::nullopt;
  double rounded = std::nearbyint(d);  // the default rounding mode: half to even
  if (rounded < -32768.0 || rounded > 32767.0) return std::nullopt;
  return static_cast<int16_t>(rounded);
}

std::string SqlNumber(const Variant& value) {
  if (value.IsBlank() || !value.IsNumeric()) return "0";
  double d = value.ToDoubleOr(0);
  if (!std::isfinite(d)) return "0";
  if (d == std::floor(d) && std::fabs(d) < 9e15) {
    return std::to_string(static_cast<int64_t>(d));
  }
  return Variant(d).ToString();
}

std::string InstallPath(RequestState& state) {
  if (state.host.Application == nullptr) return "/";
  return state.host.Application->Get("server_path").ToString();
}

std::string UrlEncodeGbk(std::string_view text) {
  return host::FormUrlEncodeBytes(Utf8ToGbk(text, Unmappable::kCharRef));
}

bool IsNewArticle(const Variant& add_time, const Variant& days_of_new) {
  if (!add_time.IsDate()) return false;
  int64_t days = 0;
  if (!DateDiff("d", add_time.CDate(), DateTime::Now(), &days)) return false;
  return days <= days_of_new.ToInt64Or(0);
}

bool ChannelExists(RequestState& state, const Variant& channel_id) {
  std::string id = channel_id.ToString();
  if (id.empty() || id.size() > 9 || id.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  Recordset rs;
  rs.Open("select d_id from Vantrel_Channel where d_id = " + id, *state.db.Conn, 0, 1);
  bool found = !rs.Eof();
  rs.Close();
  return found;
}

const char* ChipListOrder(int code) {
  switch (code) {
    case 1:
      return " order by d_topflag, d_id asc";
    case 2:
      return " order by d_topflag, d_id desc";
    case 3:
      return " order by d_topflag, d_addtime asc";
    case 4:
      return " order by d_topflag, d_addtime desc";
    case 5:
      return " order by d_topflag, d_clicktimes asc";
    case 6:
      return " order by d_topflag, d_clicktimes desc";
    default:
      return "";
  }
}

std::string ClassSubjectAndFlagConditions(RequestState& state, const std::vector<std::string>& f,
                                          const Variant& class_value, const std::string& type,
                                          const Variant& subject_id) {
  std::string cond;
  if (class_value.IsNumeric() && class_value.ToDoubleOr(0) > 0.5) {
    if (LCase(f[2]) == "true") {
      std::string ids = GetClassAndChildIds(state, class_value);
      // No such class: no rows rather than an "in ()" the database refuses.
      cond += ids.empty() ? " and 1 = 0" : " and d_classid in (" + ids + ")";
    } else {
      cond += " and d_classid = " + SqlNumber(class_value);
    }
  }
  if (type == "subjectlist") {
    cond += " and d_subjectid = " + SqlNumber(subject_id);
  } else if (f[3] != "0") {
    cond += " and d_subjectid = " + SqlNumber(f[3]);
  }
  if (LCase(f[5]) == "true") cond += " and d_hotflag = true ";
  if (LCase(f[6]) == "true") cond += " and d_recommendflag = true ";
  return cond;
}

ChannelSettingsScope::ChannelSettingsScope(RequestState& state)
    : state_(state),
      channel_id_(state.channel.ChannelID),
      channel_name_(state.channel.ChannelName),
      channel_type_(state.channel.ChannelType),
      channel_open_type_(state.channel.ChannelOpenType),
      channel_disabled_(state.channel.ChannelDisabled),
      channel_dir_(state.channel.ChannelDir),
      project_name_(state.channel.ProjectName),
      project_unit_(state.channel.ProjectUnit),
      clicks_of_hot_(state.channel.ClicksOfHot),
      days_of_new_(state.channel.DaysOfNew),
      generate_html_(state.channel.GenerateHtml),
      content_file_type_(state.channel.ContentFileType),
      first_file_ext_(state.channel.FirstFileExt),
      list_file_ext_(state.channel.ListFileExt),
      content_file_ext_(state.channel.ContentFileExt),
      list_dir_type_(state.channel.ListDirType),
      channel_template_id_(state.channel.ChannelTemplateID),
      upload_dir_(state.channel.UploadDir),
      item_count_(state.channel.ItemCount),
      item_count_checked_(state.channel.ItemCountChecked),
      comment_count_(state.channel.CommentCount),
      subject_count_(state.channel.SubjectCount),
      click_count_(state.channel.ClickCount),
      group_num_(state.channel.GroupNum),
      navi_menu_css_(state.channel.NaviMenuCss),
      channel_stat_html_(state.site.ChannelStatHtml),
      skin_css_link_(state.SkinCssLink),
      skin_id_(state.channel.SkinID) {
  if (state.host.Session != nullptr) channel_path_ = state.host.Session->Get("channel_path");
}

ChannelSettingsScope::~ChannelSettingsScope() {
  state_.channel.ChannelID = std::move(channel_id_);
  state_.channel.ChannelName = std::move(channel_name_);
  state_.channel.ChannelType = std::move(channel_type_);
  state_.channel.ChannelOpenType = std::move(channel_open_type_);
  state_.channel.ChannelDisabled = std::move(channel_disabled_);
  state_.channel.ChannelDir = std::move(channel_dir_);
  state_.channel.ProjectName = std::move(project_name_);
  state_.channel.ProjectUnit = std::move(project_unit_);
  state_.channel.ClicksOfHot = std::move(clicks_of_hot_);
  state_.channel.DaysOfNew = std::move(days_of_new_);
  state_.channel.GenerateHtml = std::move(generate_html_);
  state_.channel.ContentFileType = std::move(content_file_type_);
  state_.channel.FirstFileExt = std::move(first_file_ext_);
  state_.channel.ListFileExt = std::move(list_file_ext_);
  state_.channel.ContentFileExt = std::move(content_file_ext_);
  state_.channel.ListDirType = std::move(list_dir_type_);
  state_.channel.ChannelTemplateID = std::move(channel_template_id_);
  state_.channel.UploadDir = std::move(upload_dir_);
  state_.channel.ItemCount = std::move(item_count_);
  state_.channel.ItemCountChecked = std::move(item_count_checked_);
  state_.channel.CommentCount = std::move(comment_count_);
  state_.channel.SubjectCount = std::move(subject_count_);
  state_.channel.ClickCount = std::move(click_count_);
  state_.channel.GroupNum = std::move(group_num_);
  state_.channel.NaviMenuCss = std::move(navi_menu_css_);
  state_.site.ChannelStatHtml = std::move(channel_stat_html_);
  state_.SkinCssLink = std::move(skin_css_link_);
  state_.channel.SkinID = std::move(skin_id_);
  if (state_.host.Session != nullptr) {
    try {
      if (channel_path_.IsEmpty()) {
        state_.host.Session->Remove("channel_path");
      } else {
        state_.host.Session->Set("channel_path", std::move(channel_path_));
      }
    } catch (...) {
      // A session that cannot take the value back keeps the last channel's
      // folder; nothing in the public pages reads it.
    }
  }
}

}  // namespace folirex
