#include "taxonomy/channel_page_script.h"

#include <string_view>

namespace folirex {
namespace {

constexpr std::string_view kLines[] = {
    "<script language=\"JavaScript\">",
    "<!--",
    "function checkAction(sAction){",
    "  var f=document.delform;",
    "  var found=false;",
    "  for(var i=0;i<f.elements.length;i++){",
    "    var e=f.elements[i];",
    "    if(e.type=='checkbox'&&e.name=='selectdel'&&e.checked){found=true;break;}",
    "  }",
    "  if(!found){",
    "    alert('请选择至少一条记录再操作！');",
    "    return;",
    "  }",
    "  if(confirm('提示：您确定要进行操作吗？')){",
    "    f.action='?m=admin_channel&action='+sAction;",
    "    f.submit();",
    "  }",
    "}",
    "function HideContent(sName){",
    "  var inner=(sName=='innerclass');",
    "  for(var i=1;i<27;i++){",
    "    document.getElementById('innerclass'+i).style.display=inner?'':'none';",
    "  }",
    "  document.getElementById('outerclass').style.display=inner?'none':'';",
    "}",
    "function addUpFileType(varType){",
    "  var s;",
    "  switch(varType){",
    "    case '图片类型': s='jpg|bmp|gif|png'; break;",
    "    case 'Flash': s='swf'; break;",
    "    case '媒体': s='mid|mp3|wmv|asf|avi|mpg'; break;",
    "    case '其他': s='rar|exe|doc|zip|xls'; break;",
    "    default: s='jpg|bmp|gif|png';",
    "  }",
    "  var field=document.form1.d_upfiletype;",
    "  if(field.value!='')field.value+='|';",
    "  field.value+=s;",
    "}",
    "function checkForm(){",
    "  var f=document.form1;",
    "  if(f.d_channelname.value==''){",
    "    alert('频道名称不能为空！');f.d_channelname.focus();return false;",
    "  }",
    "  if(f.d_channeltype[1].checked&&f.d_linkurl.value==''){",
    "    alert('转向地址不能为空！');f.d_linkurl.focus();return false;",
    "  }",
    "  if(f.d_channeltype[0].checked){",
    "    if(f.d_projectname.value==''){",
    "      alert('项目名称不能为空！');f.d_projectname.focus();return false;",
    "    }",
    "    if(f.d_uploadflag[0].checked&&f.d_uploaddir.value==''){",
    "      alert('上传路径不能为空！');f.d_uploaddir.focus();return false;",
    "    }",
    "  }",
    "  return true;",
    "}",
    "function postMove(sUrl){",
    "  var f=document.moveform;",
    "  if(!f)return true;",
    "  f.action=sUrl;",
    "  f.submit();",
    "  return false;",
    "}",
    "//-->",
    "</script>",
};

}  // namespace

std::string ChannelPageScript() {
  std::string script = "\r\n";
  for (std::string_view line : kLines) {
    script += line;
    script += "\r\n";
  }
  return script;
}

void Channel_ShowScript(RequestState& state) { state.host.Response->Write(ChannelPageScript()); }

}  // namespace folirex
