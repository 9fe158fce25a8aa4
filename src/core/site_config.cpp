#include "core/site_config.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "core/list_structures.h"
#include "core/public_request.h"
#include "core/reads_ahead.h"
#include "core/text_helpers.h"
#include "platform/db/provider.h"
#include "platform/db/recordset.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

std::string TwoDigits(int n) {
  char buffer[8];
  std::snprintf(buffer, sizeof(buffer), "%02d", n);
  return buffer;
}

std::string DayStart(const DateTime& d) {
  return std::to_string(d.year) + "-" + TwoDigits(d.month) + "-" + TwoDigits(d.day) + " 00:00:00";
}

}  // namespace

std::string MediaHtml(const std::string& file, const std::string& width,
                      const std::string& height) {
  std::string lower = LCase(file);
  if (lower.size() >= 3 && lower.compare(lower.size() - 3, 3, "swf") == 0) {
    return "<object classid='clsid:D27CDB6E-AE6D-11cf-96B8-444553540000' codebase='"
           "https://download.macromedia.com/pub/shockwave/cabs/flash/swflash.cab"
           "#version=6,0,0,0' width='" +
           width + "' height='" + height + "'><param name=movie value='" + file +
           "'><param name=quality value=high><embed src='" + file +
           "' quality=high pluginspage='https://www.macromedia.com/go/getflashplayer'"
           " type='application/x-shockwave-flash' width='" +
           width + "' height='" + height + "'></embed></object>";
  }
  return "<img src='" + file + "' border=0 width='" + width + "' height='" + height + "'>";
}

void LoadConfig(DatabaseState& db, const HostObjects& host, SiteConfig& site) {
  Recordset& rs = *db.Rs;
  rs.Open(db::KeptRead{.tables = {"Vantrel_Config"}, .sql = "select * from Vantrel_Config"},
          *db.Conn);
  if (rs.Eof()) {
    rs.Close();
    return;
  }
  site.InstallDir = rs["d_installdir"];
  std::string install = site.InstallDir.ToString();
  std::string trimmed = Trim(install);
  std::string server_path = !trimmed.empty() && trimmed.back() == '/' ? install : install + "/";
  host.Application->Set("server_path", server_path);
  site.SiteName = Trim(rs["d_name"].ToString());
  site.SiteUrl = Trim(rs["d_url"].ToString());
  if (site.SiteUrl.ToString().empty()) site.SiteUrl = server_path;
  site.SiteLogo = MediaHtml(rs["d_logo"].ToString(), rs["d_logowidth"].ToString(),
                            rs["d_logoheight"].ToString());
  site.SiteBanner = MediaHtml(rs["d_banner"].ToString(), rs["d_bannerwidth"].ToString(),
                              rs["d_bannerheight"].ToString());
  site.AdminLoginLink =
      rs["d_showadminlink"].ToBoolOr(false)
          ? "<a class='other_link' href='" + server_path + "admin.asp'>管理员登陆</a> |"
          : "";
  site.SiteCopyright = rs["d_copyright"];
  site.SiteEmail = rs["d_email"];
  site.DefaultFileExt = FileExtName(rs["d_defaultfileext"]);
  site.DefaultTemplatePageID = rs["d_templatepageid"];
  site.SiteKeyword = rs["d_keyword"];
  site.SiteDesc = rs["d_desc"];
  // The component registry reports the mail components only when the site can send mail.
  if (rs.HasField("d_selectedmailflag")) {
    host.Server->SetMailConfigured(rs["d_selectedmailflag"].ToInt64Or(0) != 0);
  }
  rs.Close();
}

void InitDateValues(const HostObjects& host) {
  DateTime now = DateTime::Now();
  InitDateValues(host, DateTime{now.year, now.month, now.day, 0, 0, 0});
}

void InitDateValues(const HostObjects& host, const DateTime& today) {
  Application& app = *host.Application;
  Variant stored = app.Get("date_today");
  if (stored.type() == Variant::Type::kDate && stored.CDate() == today) return;

  static const char* const kWeekdays[] = {"星期日", "星期一", "星期二", "星期三",
                                          "星期四", "星期五", "星期六"};
  int weekday = today.Weekday();
  std::string chinese = std::to_string(today.year) + "年" + TwoDigits(today.month) + "月" +
                        TwoDigits(today.day) + "日&nbsp;" + kWeekdays[weekday - 1];
  DateTime week_start = DateTime::FromSerial(today.ToSerial() - (weekday - 1));
  DateTime month_start{today.year, today.month, 1, 0, 0, 0};

  app.Lock();
  app.Set("date_today", today);
  app.Set("date_chinese", chinese);
  app.Set("date_daystart", DayStart(today));
  app.Set("date_weekstart", DayStart(week_start));
  app.Set("date_monthstart", DayStart(month_start));
  app.UnLock();
}

namespace {
constexpr const char* kKeptVersionColumn = "folirex_kept_version";
constexpr const char* kDataVersionColumn = "folirex_data_version";

// A yes/no column as the pages' "= true" and "= false" compare it (true is stored as -1).
bool FlagIs(const Variant& v, bool value) {
  if (v.IsNull() || v.IsEmpty()) return false;
  if (v.type() == Variant::Type::kBoolean) return v.CBool() == value;
  return v.ToInt64Or(1) == (value ? -1 : 0);
}
}  // namespace

const Variant& ChannelValue(const RequestCaches::ChannelRow& row, const char* column) {
  static const Variant kMissing = Variant::Null();
  auto it = row.columns->find(std::string_view(column));
  return it == row.columns->end() ? kMissing : row.values[it->second];
}

namespace {

// Reads the channels' select, `with` (then emptied) and what the page was foretold to read ahead
// (RequestCaches::ForetoldReads, then forgotten) in one exchange on a database server: the
// channels' rows as a statement to step through, the others' into caches.ReadAhead. Null when
// there is nothing to read with them, or their read failed: they are then read alone.
std::unique_ptr<db::Statement> ReadChannelsWith(DatabaseState& db, RequestCaches& caches,
                                                const std::string& channels,
                                                std::vector<BoundSql>& with) {
  std::shared_ptr<const PageReads> foretold = std::move(caches.ForetoldReads);
  caches.ForetoldReads.reset();
  if ((with.empty() && foretold == nullptr) || !ReadsAhead(db)) return nullptr;
  std::vector<Connection::TogetherRead> reads = {{BoundSql{channels, {}}}};
  for (BoundSql& read : with) reads.push_back({std::move(read)});
  with.clear();
  const size_t first_foretold = reads.size();
  ReadFlight flight;
  if (foretold != nullptr) {
    flight = FlightOf(caches, *foretold);
    reads.insert(reads.end(), flight.statements.begin(), flight.statements.end());
  }
  std::vector<std::shared_ptr<const db::KeptRows>> rows = db.Conn->ReadTogether(reads);
  for (size_t i = 1; i < first_foretold && i < rows.size(); ++i) {
    if (rows[i] != nullptr) KeepReadAhead(caches, reads[i].select, std::move(rows[i]));
  }
  KeepFlight(caches, flight, rows, first_foretold);
  return rows[0] == nullptr ? nullptr : db::ReplayKeptRows(std::move(rows[0]));
}

}  // namespace

const RequestCaches::ChannelRow* FindChannelRow(DatabaseState& db, RequestCaches& caches,
                                                int64_t id) {
  if (!caches.ChannelRows) {
    std::map<int64_t, RequestCaches::ChannelRow> rows;
    // The first read of a request also reads the version of the kept settings, when the
    // connection would read it next, in the same statement.
    std::string version_sql = db.Conn->KeptVersionSql();
    std::unique_ptr<db::Statement> st;
    bool more = false;
    std::vector<BoundSql> with = std::move(caches.ReadWithChannels);
    caches.ReadWithChannels.clear();
    if (!version_sql.empty()) {
      try {
        // The article data version too, which the page's lists are counted at.
        const std::string channels = "select *, (" + version_sql + ") as " + kKeptVersionColumn +
                                     ", (" + std::string(kArticleDataVersionSql) + ") as " +
                                     kDataVersionColumn + " from Vantrel_Channel";
        st = ReadChannelsWith(db, caches, channels, with);
        if (st == nullptr) st = db.Conn->PrepareRead(channels, {});
        more = st->Step();
      } catch (const DbError&) {
        // A database made before the version row has no such table: the channels are read
        // alone, and the connection keeps nothing for a while.
        db.Conn->OfferKeptVersion(Variant::Null());
        version_sql.clear();
        st.reset();
      }
    }
    if (version_sql.empty()) {
      const std::string channels = "select * from Vantrel_Channel";
      st = ReadChannelsWith(db, caches, channels, with);
      if (st == nullptr) st = db.Conn->PrepareRead(channels, {});
      more = st->Step();
    }
    // The columns' places by name (lower case), once for every row.
    auto columns = std::make_shared<std::map<std::string, size_t, std::less<>>>();
    int version_column = -1;
    int data_version_column = -1;
    std::vector<int> kept;
    for (int i = 0; i < st->ColumnCount(); ++i) {
      std::string name = LCase(st->ColumnName(i));
      if (!version_sql.empty() && name == kKeptVersionColumn) {
        version_column = i;
        continue;
      }
      if (!version_sql.empty() && name == kDataVersionColumn) {
        data_version_column = i;
        continue;
      }
      // A name given twice names its last column.
      (*columns)[std::move(name)] = kept.size();
      kept.push_back(i);
    }
    const auto id_column = columns->find(std::string_view("d_id"));
    bool offered = false;
    for (; more; more = st->Step()) {
      if (version_column >= 0 && !offered) {
        db.Conn->OfferKeptVersion(st->Column(version_column));
        if (data_version_column >= 0 && !st->Column(data_version_column).IsNull()) {
          db.Conn->OfferUntilWrite(std::string(kArticleDataVersionSql),
                                   st->Column(data_version_column));
        }
        offered = true;
      }
      RequestCaches::ChannelRow row{columns, {}};
      row.values.reserve(kept.size());
      for (int i : kept) row.values.push_back(st->Column(i));
      if (id_column != columns->end() && !row.values[id_column->second].IsNull()) {
        const int64_t id = row.values[id_column->second].ToInt64();
        rows.emplace(id, std::move(row));
      }
    }
    caches.ChannelRows = std::move(rows);
  }
  auto found = caches.ChannelRows->find(id);
  return found == caches.ChannelRows->end() ? nullptr : &found->second;
}

ChannelFolder GetChannelFolder(const HostObjects& host, DatabaseState& db, RequestCaches& caches,
                               const Variant& id) {
  ChannelFolder folder;
  folder.path = host.Application->Get("server_path").ToString();
  if (!IsDigits(id.ToString())) return folder;
  // Digits beyond 64 bits name no channel.
  const std::optional<int64_t> number = ParseId(id.ToString());
  const RequestCaches::ChannelRow* row = number ? FindChannelRow(db, caches, *number) : nullptr;
  const std::string dir = row != nullptr ? ChannelValue(*row, "d_channeldir").ToString() : "";
  if (dir.empty()) return folder;
  folder.dir = dir + "/";
  folder.path += folder.dir;
  return folder;
}

std::string GetChannelPath(const HostObjects& host, DatabaseState& db, RequestCaches& caches,
                           const Variant& id) {
  return GetChannelFolder(host, db, caches, id).path;
}

std::vector<const RequestCaches::ChannelRow*> ShownChannels(DatabaseState& db,
                                                            RequestCaches& caches) {
  FindChannelRow(db, caches, 0);
  struct Shown {
    const RequestCaches::ChannelRow* row;
    std::optional<double> order;
    int64_t id;
  };
  std::vector<Shown> shown;
  for (const auto& [id, row] : *caches.ChannelRows) {
    const Variant& type = ChannelValue(row, "d_channeltype");
    if (type.IsNull() || type.ToInt64Or(0) != 1) continue;
    if (!FlagIs(ChannelValue(row, "d_shownameflag"), true)) continue;
    if (!FlagIs(ChannelValue(row, "d_disabledflag"), false)) continue;
    const Variant& order = ChannelValue(row, "d_order");
    std::optional<double> key;
    if (!order.IsNull()) key = order.ToDoubleOr(0);
    shown.push_back({&row, key, id});
  }
  // No order first, as the embedded database sorts it.
  std::stable_sort(shown.begin(), shown.end(), [](const Shown& a, const Shown& b) {
    if (a.order.has_value() != b.order.has_value()) return !a.order.has_value();
    if (a.order && *a.order != *b.order) return *a.order < *b.order;
    return a.id < b.id;
  });
  std::vector<const RequestCaches::ChannelRow*> rows;
  rows.reserve(shown.size());
  for (const Shown& s : shown) rows.push_back(s.row);
  return rows;
}

}  // namespace folirex
