#include "core/request_reader.h"

#include <stdexcept>

#include "core/messages.h"
#include "core/pagination.h"
#include "core/public_request.h"
#include "platform/db/variant.h"
#include "platform/host/host_text.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

// An integer column's number: a plain id of at most nine digits.
std::optional<int64_t> ColumnNumber(std::string_view text) {
  if (text.size() > 9) return std::nullopt;
  return ParseId(text);
}

}  // namespace

std::string RequestReader::Raw(std::string_view name) const {
  if (request_ == nullptr) return "";
  switch (source_) {
    case Source::kQuery:
      return request_->QueryString(name);
    case Source::kForm:
      return request_->Form(name);
    case Source::kCombined:
      break;
  }
  return (*request_)(name);
}

std::string RequestReader::Text(std::string_view name) const { return Trim(Raw(name)); }

std::vector<std::string> RequestReader::Values(std::string_view name) const {
  if (request_ == nullptr) return {};
  if (source_ == Source::kForm) return request_->FormValues(name);
  std::vector<std::string> values = request_->QueryStringValues(name);
  if (values.empty() && source_ == Source::kCombined) values = request_->FormValues(name);
  return values;
}

bool RequestReader::Has(std::string_view name) const { return !Values(name).empty(); }

std::optional<int64_t> RequestReader::Id(std::string_view name) const {
  return ParseId(Text(name));
}

int64_t RequestReader::Id(std::string_view name, std::string_view refusal) const {
  std::optional<int64_t> id = Id(name);
  if (!id) Refuse(refusal);
  return *id;
}

std::optional<IdList> RequestReader::Ids(std::string_view name) const {
  IdList list;
  if (!ParseIdList(Text(name), &list)) return std::nullopt;
  return list;
}

IdList RequestReader::Ids(std::string_view name, std::string_view refusal) const {
  std::optional<IdList> list = Ids(name);
  if (!list) Refuse(refusal);
  return std::move(*list);
}

std::optional<int64_t> RequestReader::Number(std::string_view name) const {
  return ColumnNumber(Text(name));
}

int64_t RequestReader::Number(std::string_view name, std::string_view refusal) const {
  std::optional<int64_t> number = Number(name);
  if (!number) Refuse(refusal);
  return *number;
}

bool RequestReader::Checked(std::string_view name) const {
  std::string text = Text(name);
  return !text.empty() && text != "0";
}

int32_t RequestReader::Page() const { return CheckNum(Variant(Text("page")), 1, -1); }

void RequestReader::Refuse(std::string_view message) const {
  if (state_ == nullptr) throw std::logic_error("RequestReader: no page to answer for");
  AlertBack(*state_, message);
}

bool RequestReader::IsPost() const {
  return request_ != nullptr && host::EqualsNoCase(request_->Method(), "POST");
}

std::string RequestReader::ServerVariable(std::string_view name) const {
  return request_ != nullptr ? request_->ServerVariables(name) : std::string();
}

std::string_view RequestReader::Body() const {
  return request_ != nullptr ? request_->Body() : std::string_view();
}

bool RequestReader::HasNul() const { return request_ != nullptr && request_->HasNul(); }

}  // namespace folirex
