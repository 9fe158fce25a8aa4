#include "articles/article_script.h"

namespace folirex {
namespace {

// The functions are written against the standard document interfaces: elements are found by
// their form or by id, and the editor's HTML is read from its frame's window.
constexpr char kUseLinkUrl[] =
    "function UseLinkUrl(){\r\n"
    "  var f=document.form1;\r\n"
    "  var show=f.d_uselink.checked?'none':'';\r\n"
    "  f.d_linkurl.disabled=!f.d_uselink.checked;\r\n"
    "  document.getElementById('ArticleContent').style.display=show;\r\n"
    "  document.getElementById('ArticleContent2').style.display=show;\r\n"
    "}\r\n";

constexpr char kCheckForm[] =
    "function EditorHTML(){\r\n"
    "  var frame=document.getElementById('Kelmira1');\r\n"
    "  try{\r\n"
    "    if(frame&&frame.contentWindow&&frame.contentWindow.getHTML)"
    "return frame.contentWindow.getHTML();\r\n"
    "  }catch(e){}\r\n"
    "  return document.form1.d_content.value;\r\n"
    "}\r\n"
    "function checkForm(){\r\n"
    "  var f=document.form1;\r\n"
    "  var c=f.d_classid;\r\n"
    "  if(isNaN(Number(c.options[c.selectedIndex].value))){\r\n"
    "    alert('本分类下设置不允许添加内容！');\r\n"
    "    c.focus();\r\n"
    "    return false;\r\n"
    "  }\r\n"
    "  if(f.d_title.value==''){\r\n"
    "    alert('标题不能为空！');\r\n"
    "    f.d_title.focus();\r\n"
    "    return false;\r\n"
    "  }\r\n"
    "  if(f.d_uselink.checked&&f.d_linkurl.value==''){\r\n"
    "    alert('转向地址不能为空！');\r\n"
    "    f.d_linkurl.focus();\r\n"
    "    return false;\r\n"
    "  }\r\n"
    "  if(!f.d_uselink.checked&&EditorHTML()==''){\r\n"
    "    alert('内容不能为空！');\r\n"
    "    return false;\r\n"
    "  }\r\n"
    "  if(f.d_pagenationtype.selectedIndex==1&&f.d_maxcharperpage.value==''){\r\n"
    "    alert('自动分页时的每页大约字符数，请填写整数！');\r\n"
    "    f.d_maxcharperpage.focus();\r\n"
    "    return false;\r\n"
    "  }\r\n"
    "  return true;\r\n"
    "}\r\n";

constexpr char kCheckAction[] =
    "function checkAction(sAction,s_ChannelID){\r\n"
    "  var f=document.forms['delform'];\r\n"
    "  if(!f)return;\r\n"
    "  var chosen=false;\r\n"
    "  for(var i=0;i<f.elements.length;i++){\r\n"
    "    var e=f.elements[i];\r\n"
    "    if(e.type=='checkbox'&&e.name=='selectdel'&&e.checked){chosen=true;break;}\r\n"
    "  }\r\n"
    "  var all={checkall:'确定要审核通过所有的未审核记录吗？',"
    "rebackall:'确定要还原所有删除的记录吗？',delall:'确定要把所有文章都放入回收站吗？',"
    "empty:'确定要清空所有删除的记录吗？'};\r\n"
    "  if(all.hasOwnProperty(sAction)){\r\n"
    "    if(!confirm(all[sAction]))return;\r\n"
    "  }else if(!chosen){\r\n"
    "    alert('请选择至少一条记录再操作！');\r\n"
    "    return;\r\n"
    "  }else if(!confirm('提示：您确定要进行操作吗？')){\r\n"
    "    return;\r\n"
    "  }\r\n"
    "  f.action='?m=admin_article&channelid='+s_ChannelID+'&action='+sAction;\r\n"
    "  f.submit();\r\n"
    "}\r\n";

constexpr char kRest[] =
    "function checkRelative(str){\r\n"
    "  var f=document.form1;\r\n"
    "  if(str=='1'){\r\n"
    "    f.d_keyword.value='';\r\n"
    "    f.d_keyword.disabled=f.d_relativeflag.checked;\r\n"
    "  }else if(str=='2'){\r\n"
    "    f.d_metakeyword.value='';\r\n"
    "    f.d_metakeyword.disabled=f.d_metarelativeflag.checked;\r\n"
    "  }\r\n"
    "}\r\n"
    "function doChange(objText,objDrop){\r\n"
    "  if(!objDrop)return;\r\n"
    "  var pieces=objText.value.split('|');\r\n"
    "  var index=objDrop.selectedIndex;\r\n"
    "  objDrop.length=1;\r\n"
    "  for(var i=0;i<pieces.length;i++){\r\n"
    "    if(pieces[i]=='')continue;\r\n"
    "    objDrop.options[objDrop.length]=new Option(pieces[i],pieces[i]);\r\n"
    "  }\r\n"
    "  if(index<objDrop.length)objDrop.selectedIndex=index;\r\n"
    "}\r\n"
    "function SelectPicChange(){\r\n"
    "  var f=document.form1;\r\n"
    "  f.d_picurl.value=f.d_picture.options[f.d_picture.selectedIndex].value;\r\n"
    "}\r\n";

}  // namespace

std::string ArticleScript(bool manager) {
  std::string script = "<script language=JavaScript>\r\n<!--\r\n";
  script += kUseLinkUrl;
  script += kCheckForm;
  if (manager) script += kCheckAction;
  script += kRest;
  script += "//-->\r\n</script>\r\n";
  return script;
}

}  // namespace folirex
