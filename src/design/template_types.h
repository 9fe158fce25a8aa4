// The page types of template pages and template sets: the code stored in d_type, the names the
// template page list, its selects and the set's page picker show, and the picker's message for a
// type left without a page. `default` is the site home page, which no set maps; the other twelve
// are the page types of a channel, each mapped once by every set.
//
// Pure tables and lookups; any thread.
#ifndef FOLIREX_DESIGN_TEMPLATE_TYPES_H_
#define FOLIREX_DESIGN_TEMPLATE_TYPES_H_

#include <array>
#include <string>
#include <string_view>

namespace folirex {

struct PageTypeInfo {
  std::string_view code;
  std::string_view list_name;       // the template page list's type column
  std::string_view select_label;    // the forms' type select and the list's filter
  std::string_view picker_heading;  // the set picker's group heading ("" for default)
  std::string_view missing;         // the picker's alert when the type has no page chosen
};

// Every type, `default` first.
const std::array<PageTypeInfo, 13>& PageTypes();
// The type of a code (compared without regard to case); nullptr for any other text.
const PageTypeInfo* FindPageType(std::string_view code);
// One of the twelve channel page types a set maps (not `default`).
bool IsSetPageType(std::string_view code);

// The orders in which the pages list the twelve set types.
enum class SetTypeList {
  kForm,         // the template page forms' type select
  kFilter,       // the template page list's filter select
  kPickerCheck,  // the picker save's check for a type left empty (its first alert wins)
  kPickerSave,   // the picker save's map rows
};
using SetTypeOrder = std::array<std::string_view, 12>;
const SetTypeOrder& TypeOrder(SetTypeList list);

// The list name of a code ("" for an unknown one); the code is lower-cased first.
std::string TemplatePage_TypeName(std::string_view code);
// The picker heading of a code ("" for default and unknown ones); lower-cased first.
std::string Template_PageTypeName(std::string_view code);

}  // namespace folirex

#endif  // FOLIREX_DESIGN_TEMPLATE_TYPES_H_
