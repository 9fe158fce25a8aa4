#include "design/template_types.h"

#include "platform/text/vb_text.h"

namespace folirex {

const std::array<PageTypeInfo, 13>& PageTypes() {
  // The picker's alerts keep their own wording (内容页, 热门页, 推荐页), which differs from its
  // headings; administrators know them by it.
  static const std::array<PageTypeInfo, 13> kTypes = {{
      {"default", "网站首页", "", "", ""},
      {"first", "频道首页", "频道首页", "频道首页", "提示：请先选择频道首页的模板页！"},
      {"classlist", "分类列表页", "分类列表页", "分类列表页", "提示：请先选择分类列表页的模板页！"},
      {"content", "内容显示页", "内容显示页", "内容显示页", "提示：请先选择内容页的模板页！"},
      {"subjectlist", "专题列表页", "专题列表页", "专题列表页",
       "提示：请先选择专题列表页的模板页！"},
      {"search", "搜索页", "搜索页", "搜索页", "提示：请先选择搜索页的模板页！"},
      {"newlist", "最新文章页", "最新文章页", "最新文章页", "提示：请先选择最新文章页的模板页！"},
      {"hotlist", "热门文章页", "热门文章页", "热门文章页", "提示：请先选择热门页的模板页！"},
      {"recommendlist", "推荐文章页", "推荐文章页", "推荐文章页", "提示：请先选择推荐页的模板页！"},
      {"comment", "评论页", "评论页", "评论页", "提示：请先选择评论页的模板页！"},
      {"print", "打印页", "打印页", "打印页", "提示：请先选择打印页的模板页！"},
      {"tellfriend", "告诉好友页", "告诉好友页", "告诉好友页",
       "提示：请先选择告诉好友页的模板页！"},
      {"notice", "公告内容页", "公告页", "公告内容页", "提示：请先选择公告内容页的模板页！"},
  }};
  return kTypes;
}

const PageTypeInfo* FindPageType(std::string_view code) {
  std::string lower = LCase(code);
  for (const PageTypeInfo& type : PageTypes()) {
    if (type.code == lower) return &type;
  }
  return nullptr;
}

bool IsSetPageType(std::string_view code) {
  const PageTypeInfo* type = FindPageType(code);
  return type != nullptr && type->code != "default";
}

const SetTypeOrder& TypeOrder(SetTypeList list) {
  static constexpr std::array<SetTypeOrder, 4> kOrders = {{
      // kForm
      {"first", "classlist", "content", "subjectlist", "search", "newlist", "hotlist",
       "recommendlist", "comment", "print", "tellfriend", "notice"},
      // kFilter
      {"first", "classlist", "content", "subjectlist", "search", "newlist", "recommendlist",
       "hotlist", "comment", "print", "tellfriend", "notice"},
      // kPickerCheck
      {"first", "content", "classlist", "subjectlist", "search", "newlist", "recommendlist",
       "hotlist", "comment", "print", "tellfriend", "notice"},
      // kPickerSave
      {"first", "classlist", "subjectlist", "content", "search", "newlist", "recommendlist",
       "hotlist", "comment", "print", "tellfriend", "notice"},
  }};
  return kOrders[static_cast<size_t>(list)];
}

namespace {

// One name of a code's type ("" for an unknown code).
std::string NameOf(std::string_view code, std::string_view PageTypeInfo::*name) {
  const PageTypeInfo* type = FindPageType(code);
  return type ? std::string(type->*name) : std::string();
}

}  // namespace

std::string TemplatePage_TypeName(std::string_view code) {
  return NameOf(code, &PageTypeInfo::list_name);
}

std::string Template_PageTypeName(std::string_view code) {
  return NameOf(code, &PageTypeInfo::picker_heading);
}

}  // namespace folirex
