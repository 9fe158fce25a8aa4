#include "site/list_support.h"

#include <cmath>
#include <limits>

#include "platform/db/sql_params.h"
#include "platform/host/host_text.h"
#include "platform/text/codepage.h"
#include "platform/text/vb_text.h"
#include "site/article_list_sql.h"
#include "site/channel_loader.h"

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

Variant NumberValue(const Variant& value) {
  if (value.IsBlank() || !value.IsNumeric()) return Variant(0LL);
  double d = value.ToDoubleOr(0);
  if (!std::isfinite(d)) return Variant(0LL);
  if (d == std::floor(d) && std::fabs(d) < 9e15) return Variant(static_cast<long long>(d));
  return Variant(d);
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

std::string ChipChannelId(const ChannelSettings& channel, const std::string& channel_field) {
  return channel_field == "-1" ? SqlNumber(channel.ChannelID) : SqlNumber(channel_field);
}

Variant ChipChannelValue(const ChannelSettings& channel, const std::string& channel_field) {
  return channel_field == "-1" ? NumberValue(channel.ChannelID) : NumberValue(channel_field);
}

std::optional<ChannelSettings> OtherChannelSettings(RequestState& state,
                                                    const std::string& channel_id) {
  if (channel_id.empty() || channel_id.size() > 9 ||
      channel_id.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  return LoadChannelSettings(state.db, state.caches, std::stoll(channel_id));
}

std::string ChannelPathOf(RequestState& state, const ChannelSettings& channel) {
  return InstallPath(state) + channel.ChannelDir;
}

std::optional<OrderCode> OrderCodeOf(int64_t code) {
  if (code < 1 || code > 6) return std::nullopt;
  return static_cast<OrderCode>(code);
}

ListOrderKey OrderCodeKey(OrderCode code) {
  static const char* const kColumns[] = {"d_id", "d_addtime", "d_clicktimes"};
  const int number = static_cast<int>(code);
  return ListOrderKey{kColumns[(number - 1) / 2], number % 2 == 0};
}

std::optional<ListOrderKey> OrderCodeKey(int code) {
  const std::optional<OrderCode> known = OrderCodeOf(code);
  if (!known) return std::nullopt;
  return OrderCodeKey(*known);
}

std::vector<ListOrderKey> OrderCodeKeys(int code) {
  const std::optional<ListOrderKey> key = OrderCodeKey(code);
  if (!key) return {};
  return {*key};
}

std::vector<ListOrderKey> ChipOrderKeys(int code) {
  std::vector<ListOrderKey> keys = OrderCodeKeys(code);
  if (keys.empty()) return {};
  keys.insert(keys.begin(), ListOrderKey{"d_topflag"});
  return keys;
}

std::string ChipListOrder(int code) { return OrderByClause(ChipOrderKeys(code)); }

Variant PageClassValue(std::optional<int64_t> class_id) {
  return class_id ? Variant(static_cast<long long>(*class_id)) : Variant("");
}

ChipSelection ReadChipSelection(const std::vector<std::string>& f) {
  ChipSelection selection;
  selection.channel = f[0];
  selection.class_id = f[1];
  selection.include_subclasses = ChipFlagOn(f[2]);
  selection.subject_id = f[3];
  selection.count = ChipInt16(f[4]).value_or(0);
  selection.hot_only = ChipFlagOn(f[5]);
  selection.recommended_only = ChipFlagOn(f[6]);
  return selection;
}

ListCondition IdCondition(DatabaseState& db, const char* column, const Variant& id) {
  // A class or a subject holds anything from a few articles to most of its channel, and which
  // index serves a list, and whether its first rows are read in the index's order or sorted,
  // depends on how many. SQLite plans each statement for the values it binds; PostgreSQL keeps
  // one plan for a prepared statement whatever it binds (platform/db/pg_provider.cpp), which
  // takes every class for an average one: it sorted a large class's whole list for its first
  // rows, and looked the order of clicks up once a row. There the id is written into the text
  // as a number, so that each list is planned for its own class or subject.
  if (db.Conn->engine() == SqlEngine::kPostgres) {
    return ListCondition{std::string(column) + " = " + SqlNumber(id), {}, ConditionKind::kLogged};
  }
  std::vector<Variant> values;
  values.push_back(NumberValue(id));
  return ListCondition{std::string(column) + " = ?", std::move(values), ConditionKind::kLogged};
}

ListCondition IdsCondition(DatabaseState& db, const char* column, const std::vector<int64_t>& ids) {
  // As IdCondition, for each of the ids.
  if (db.Conn->engine() == SqlEngine::kPostgres) {
    std::string in;
    for (int64_t id : ids) in += (in.empty() ? "" : ",") + std::to_string(id);
    return ListCondition{
        std::string(column) + " in (" + in + ")", {}, ConditionKind::kLogged, column, ids};
  }
  BoundSql in = IdsIn(column, ids);
  return ListCondition{std::move(in.sql), std::move(in.params), ConditionKind::kLogged};
}

std::vector<ListCondition> ClassSubjectAndFlagConditions(DatabaseState& db,
                                                         const ChipSelection& selection,
                                                         const Variant& class_value,
                                                         const std::string& type,
                                                         std::optional<int64_t> subject_id) {
  std::vector<ListCondition> conditions;
  // Each on the columns the change log holds, with its values.
  auto add = [&conditions](std::string sql, std::vector<Variant> values) {
    conditions.push_back(ListCondition{std::move(sql), std::move(values), ConditionKind::kLogged});
  };
  if (class_value.IsNumeric() && class_value.ToDoubleOr(0) > 0.5) {
    if (selection.include_subclasses) {
      const std::vector<int64_t> ids = ClassAndChildIds(db, class_value);
      if (ids.empty()) {
        // No such class: no rows rather than an "in ()" the database refuses.
        add("1 = 0", {});
      } else {
        conditions.push_back(IdsCondition(db, "d_classid", ids));
      }
    } else {
      conditions.push_back(IdCondition(db, "d_classid", class_value));
    }
  }
  if (type == "subjectlist") {
    conditions.push_back(
        IdCondition(db, "d_subjectid", Variant(static_cast<long long>(subject_id.value_or(0)))));
  } else if (selection.subject_id != "0") {
    conditions.push_back(IdCondition(db, "d_subjectid", selection.subject_id));
  }
  if (selection.hot_only) add("d_hotflag = true", {});
  if (selection.recommended_only) add("d_recommendflag = true", {});
  return conditions;
}

}  // namespace folirex
