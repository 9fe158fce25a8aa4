#include "core/pagination.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
namespace folirex {
namespace {

// For text inside a single-quoted script string that itself sits in an attribute.
std::string EncodeScriptInAttr(std::string_view text) {
  std::string js;
  js.reserve(text.size() + 16);
  for (char c : text) {
    switch (c) {
      case '\\':
        js += "\\\\";
        break;
      case '\'':
        js += "\\'";
        break;
      case '"':
        js += "\\x22";
        break;
      case '<':
        js += "\\x3C";
        break;
      case '>':
        js += "\\x3E";
        break;
      case '\n':
        js += "\\n";
        break;
      case '\r':
        js += "\\r";
        break;
      default:
        js += c;
    }
  }
  return HtmlEscapeAttr(js);
}

// A static list name splits where its extension begins: at the last "." of the last path
// segment, so that a folder holding a dot ("/cms.v2/news/List_3.html") is left whole.
// A name without an extension takes the page suffix at its end.
void SplitStaticName(const std::string& url, std::string* stem, std::string* ext) {
  size_t segment = url.find_last_of("/\\");
  size_t start = segment == std::string::npos ? 0 : segment + 1;
  size_t dot = url.rfind('.');
  if (dot == std::string::npos || dot < start) {
    *stem = url;
    ext->clear();
    return;
  }
  *stem = url.substr(0, dot);
  *ext = url.substr(dot);
}

}  // namespace

int32_t CheckNum(const Variant& value, int32_t default_value, int32_t bound) {
  int32_t result = default_value;
  if (value.IsNumeric()) {
    double number = value.ToDoubleOr(std::numeric_limits<double>::quiet_NaN());
    if (!std::isnan(number)) {
      // A number outside the 32-bit range is held at its edge, so an absurd page number is
      // treated like any other page out of range.
      if (number >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
        result = std::numeric_limits<int32_t>::max();
      } else if (number <= static_cast<double>(std::numeric_limits<int32_t>::min())) {
        result = std::numeric_limits<int32_t>::min();
      } else {
        result = static_cast<int32_t>(std::nearbyint(number));  // half to even
      }
    }
  }
  if (bound > -1) {
    if (result < default_value) result = default_value;
    if (result > bound) result = bound;
  }
  return result;
}

Cls_Pagination::Cls_Pagination(RequestState& state) : state_(state) {}

void Cls_Pagination::PageSize(const Variant& value) {
  // A size below 1 would leave no page to show (and divide by zero); it keeps the old size.
  int32_t size = CheckNum(value, page_size_, -1);
  if (size >= 1) page_size_ = size;
}

void Cls_Pagination::NumSize(const Variant& value) {
  int32_t size = CheckNum(value, num_size_, -1);
  if (size >= 1) num_size_ = size;
}

bool Cls_Pagination::StaticLinks() const { return position_flag_.Equals(Variant("1")); }

std::string Cls_Pagination::StaticPageUrl(int64_t n) const {
  // The generator writes page 1 without a suffix.
  if (n == 1) return url_;
  std::string stem, ext;
  SplitStaticName(url_, &stem, &ext);
  return stem + "_" + std::to_string(n) + ext;
}

Cls_Pagination::Rows Cls_Pagination::ResultSet() {
  if (!StaticLinks()) {
    std::string page =
        state_.host.Request != nullptr ? (*state_.host.Request)("Page") : std::string();
    request_page_ = Variant(CheckNum(Variant(Trim(page)), 1, -1));
  }
  total_record_ = 0;
  page_count_ = 0;
  window_start_ = 0;
  first_link_.clear();
  prev_link_.clear();
  page_links_.clear();
  next_link_.clear();
  last_link_.clear();
  go_box_.clear();
  page_bar_.clear();

  if (state_.db.Conn == nullptr) throw DbError("Cls_Pagination: the database is not open");
  Connection& conn = *state_.db.Conn;
  {
    Recordset count;
    count.Open(sql_count_, conn, 0, 1);
    if (!count.Eof() && count.FieldCount() > 0) total_record_ = count.Field(0).ToInt64Or(0);
    count.Close();
  }
  if (total_record_ <= 0) {
    total_record_ = 0;
    return {};
  }

  page_count_ = total_record_ / page_size_ + (total_record_ % page_size_ != 0 ? 1 : 0);
  int32_t last_page =
      static_cast<int32_t>(std::min<int64_t>(page_count_, std::numeric_limits<int32_t>::max()));
  int64_t current_page = CheckNum(request_page_, 1, last_page);
  request_page_ = Variant(static_cast<long long>(current_page));

  // A static cursor answers the position by reading just the window that holds it, so the page
  // costs one read however deep it lies.
  Recordset rs;
  rs.Open(sql_, conn, 1, 1);
  rs.SetAbsolutePosition((current_page - 1) * page_size_ + 1);
  BuildBar(current_page);
  Rows rows = rs.GetRows(page_size_);
  rs.Close();
  return rows;
}

void Cls_Pagination::BuildBar(int64_t current_page) {
  const int64_t n = num_size_;
  const std::string n_text = std::to_string(n);
  const bool static_links = StaticLinks();
  const std::string url_attr = HtmlEscapeAttr(url_);
  window_start_ = n * ((current_page - 1) / n) + 1;
  const int64_t prev_target = window_start_ - 1;
  const int64_t next_target = window_start_ + n;

  // The page code tests "WindowStart below NumSize", which is the first window for every
  // NumSize above 1; with NumSize 1 it would link page 0, so the first window is tested itself.
  if (window_start_ == 1) {
    first_link_ = "<font face=\"Webdings\">9</font>";
    prev_link_ = "<font face=\"Webdings\">7</font>";
  } else if (static_links) {
    first_link_ = "<font face=\"Webdings\"><a href=\"" + url_attr + "\" title='首页'>9</a></font>";
    prev_link_ = "<font face=\"Webdings\"><a href=\"" + HtmlEscapeAttr(StaticPageUrl(prev_target)) +
                 "\" title='前" + n_text + "页'>7</a></font>";
  } else {
    first_link_ = "<font face=\"Webdings\"><a href=\"" + url_attr + "\"  title='首页'>9</a></font>";
    prev_link_ = "<font face=\"Webdings\"><a href=\"" + url_attr +
                 "page=" + std::to_string(prev_target) + "\" title='前" + n_text +
                 "页'>7</a></font>";
  }

  page_links_.clear();
  for (int64_t i = window_start_; i <= window_start_ + n - 1 && i <= page_count_; ++i) {
    const std::string number = std::to_string(i);
    if (i == current_page) {
      page_links_ += "<font color=\"#000000\"> [" + number + "] </font>";
    } else if (static_links) {
      page_links_ += " <a href=\"" + HtmlEscapeAttr(StaticPageUrl(i)) + "\">[" + number + "]</a> ";
    } else {
      page_links_ += " <a href=\"" + url_attr + "Page=" + number + "\">[" + number + "]</a> ";
    }
  }

  if (window_start_ + n - 1 >= page_count_) {
    next_link_ = "<font face=\"Webdings\">8</font>";
    last_link_ = "<font face=\"Webdings\">:</font>";
  } else if (static_links) {
    next_link_ = "<font face=\"Webdings\"><a href=\"" + HtmlEscapeAttr(StaticPageUrl(next_target)) +
                 "\" title='后" + n_text + "页'>8</a></font>";
    last_link_ = "<font face=\"Webdings\"><a href=\"" + HtmlEscapeAttr(StaticPageUrl(page_count_)) +
                 "\" title='尾页'>:</a></font>";
  } else {
    next_link_ = "<font face=\"Webdings\"><a href=\"" + url_attr +
                 "page=" + std::to_string(next_target) + "\" title='后" + n_text +
                 "页'>8</a></font>";
    last_link_ = "<font face=\"Webdings\"><a href=\"" + url_attr +
                 "page=" + std::to_string(page_count_) + "\" title='尾页'>:</a></font>";
  }

  go_box_ =
      "<table border=0 cellpadding=0 cellspacing=0><tr><td>&nbsp;&nbsp;页码:<input type=text "
      "id='d_pagenavi_page' size=3 value='" +
      std::to_string(current_page) + "'> ";
  if (static_links) {
    std::string stem, ext;
    SplitStaticName(url_, &stem, &ext);
    // Page 1 has no suffixed file, so a typed 1 goes to the first file itself.
    go_box_ +=
        "<input type=button name=b value='转' onclick=\"location.href=(d_pagenavi_page."
        "value=='1'?'" +
        EncodeScriptInAttr(url_) + "':'" + EncodeScriptInAttr(stem) + "_'+d_pagenavi_page.value+'" +
        EncodeScriptInAttr(ext) + "')\">";
  } else {
    go_box_ += "<input type=button name=b value='转'onclick=\"location.href='" +
               EncodeScriptInAttr(url_) + "Page='+d_pagenavi_page.value\">";
  }
  go_box_ += "</td></tr></table>";

  const std::string count_text = std::to_string(page_count_);
  page_bar_ = "<table border=0 cellpadding=0 cellspacing=0><tr valign=middle><td>" + first_link_ +
              "&nbsp;" + prev_link_ + page_links_ + next_link_ + "&nbsp;" + last_link_ +
              "&nbsp;&nbsp;共<b>" + std::to_string(total_record_) + "</b>个&nbsp;&nbsp;页次:<b>" +
              std::to_string(current_page) + "/" + count_text + "</b>&nbsp;&nbsp;<b>" +
              std::to_string(page_size_) + "</b>个/页&nbsp;&nbsp;共<b>" + count_text +
              "</b>页</td><td>" + go_box_ + "</td></tr></table>";
}

}  // namespace folirex
