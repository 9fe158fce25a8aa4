#include "console/admin_frame.h"

#include <functional>
#include <string>
#include <vector>

#include "console/admin_login.h"
#include "core/database.h"
#include "core/reads_ahead.h"
#include "platform/host/host_text.h"

namespace folirex {

void AdminHeader(RequestState& state) {
  Response& r = *state.host.Response;
  r.Write("<html><head>");
  r.Write("<meta http-equiv='Content-Type' content='text/html; charset=gb2312'>");
  r.Write("<title>管理平台</title>");
  r.Write("<script language=javascript src='admin/admin.js'></script>");
  r.Write("<link href=\"admin/admin.css\" rel=stylesheet type=text/css>");
  r.Write("</head>");
  r.Write("<body topMargin=0 leftmargin=0>");
}

void AdminNavi(RequestState& state, std::string_view text) {
  std::string html = "<table border=0 cellspacing=1 align=center class=navi><tr><th>";
  html += text;
  html += "</th></tr></table>";
  state.host.Response->Write(html);
}

void AdminFooter(RequestState& state) {
  state.host.Response->Write(
      "<table border=0 cellpadding=0 cellspacing=0 align=center width='100%'>"
      "<tr><td height=40></td></tr>"
      "<tr><td><hr size=1 color='#000000' width='60%' align=center></td></tr>"
      "<tr><td align=center class=copyright>Folirex 内容管理系统 &nbsp;·&nbsp; "
      "网站后台管理平台</td></tr>"
      "</table></body></html>");
  CloseDatabase(state.db);
}

namespace {

// The read of the signed-in account (its name and password) and, for a page that needs one, its
// grant of the right `code`.
BoundSql AccountSelect(const Session& session, std::string_view code) {
  const int64_t id = session.Get(kSessionAccountId).ToInt64Or(0);
  if (code.empty()) {
    return {"select d_name, d_password from Vantrel_Admin where d_id = ?", {Variant(id)}};
  }
  // The id and the code are bound as parameters; a name that another account held before
  // grants nothing, the grant's name being the account's own.
  return {
      "select a.d_name, a.d_password, f.d_functioncode from Vantrel_Admin a left outer join "
      "Vantrel_ManagerFunction f on f.d_adminname = a.d_name and f.d_functioncode = ? where "
      "a.d_id = ?",
      {Variant(std::string(code)), Variant(id)}};
}

// A session is signed in while the account it signed in with is still in the table under the
// name and password it signed in with. Another host sharing the database may have deleted the
// account, renamed it or changed its password since: the row is read on every request (by its
// id, which a rename keeps and no later account reuses), and a session whose account is gone or
// whose stamp no longer matches is signed out here and sent to the login page as one that never
// signed in. The session that made the change itself holds the new stamp, and takes up the
// name as now stored. With a function code, the same read tells whether the account holds it
// under that name: one that does not is sent to the error page (errnum 1).
void RequireAccount(RequestState& state, std::string_view code = {}) {
  Session& session = *state.host.Session;
  if (!session.Get("User_Code").IsBlank()) {
    const int64_t id = session.Get(kSessionAccountId).ToInt64Or(0);
    const BoundSql select = AccountSelect(session, code);
    Recordset rs;
    OpenReadAhead(state, rs, select.sql, select.params);
    const bool signed_in = id > 0 && !rs.Eof() &&
                           session.Get(kSessionAccountStamp).ToString() ==
                               AccountStamp(rs["d_name"].ToString(), rs["d_password"].ToString());
    const Variant name = signed_in ? rs["d_name"] : Variant();
    const bool granted = signed_in && (code.empty() || !rs["d_functioncode"].IsNull());
    rs.Close();
    if (signed_in) {
      const std::string current = name.ToString();
      if (session.Get("User_Name").ToString() != current) session.Set("User_Name", name);
      // User_Code keeps the letter case typed at sign-in, unless this session renamed the
      // account.
      if (!host::EqualsNoCase(session.Get("User_Code").ToString(), current)) {
        session.Set("User_Code", name);
      }
      if (!granted) state.host.Response->Redirect("?m=admin_error&errnum=1");
      return;
    }
    ForgetSignIn(session);
  }
  state.host.Response->Redirect("admin.asp?m=admin_login");
}

// The one right check of the console.
void CheckAccess(RequestState& state, ConsoleAccess access, std::string_view code) {
  switch (access) {
    case ConsoleAccess::kAnyone:
      return;
    case ConsoleAccess::kSignedIn:
      RequireAccount(state);
      return;
    case ConsoleAccess::kFunction:
      RequireAccount(state, code);
      return;
  }
}

void RunConsolePage(const ConsoleRoute& route, RequestState& state, const ConsoleRequest& request) {
  CheckAccess(state, route.access, route.code);
  ConsolePage page{request, {}};
  const bool site_allowed = route.channel == ConsoleChannelUse::kChannelOrSite;
  if (!route.navi) {
    if (route.channel != ConsoleChannelUse::kNone) {
      page.channel = OpenConsoleChannel(state, request.channel_id, site_allowed);
    }
    route.page(state, page);
    return;
  }
  AdminHeader(state);
  if (route.channel == ConsoleChannelUse::kNone) {
    AdminNavi(state, *route.navi);
  } else {
    page.channel = OpenConsoleChannel(state, request.channel_id, site_allowed);
    ChannelNavi(state, page.channel, *route.navi);
  }
  route.page(state, page);
  AdminFooter(state);
  if (route.trailer) route.trailer(state);
}

}  // namespace

void CheckPrivilege(RequestState& state, std::string_view code) { RequireAccount(state, code); }

void RunAdminAction(RequestState& state, std::string_view action,
                    std::initializer_list<AdminAction> actions,
                    const std::function<void(RequestState&)>& otherwise) {
  for (const AdminAction& named : actions) {
    if (action == named.name) return named.run(state);
  }
  otherwise(state);
}

void AddConsoleRoute(ModuleRegistry& registry, ConsoleRoute route) {
  std::string m = route.m;
  std::string procedure = route.procedure;
  std::string upload_action = route.upload_action;
  // A signed-in account's page reads the account first, and its grant when it needs a right.
  std::function<std::vector<BoundSql>(RequestState&)> first_reads;
  if (route.access != ConsoleAccess::kAnyone) {
    const std::string code = route.access == ConsoleAccess::kFunction ? route.code : "";
    first_reads = [code](RequestState& state) {
      std::vector<BoundSql> reads;
      if (!state.host.Session->Get("User_Code").IsBlank()) {
        reads.push_back(AccountSelect(*state.host.Session, code));
      }
      return reads;
    };
  }
  registry.AddAdminRoute(
      {std::move(m), std::move(procedure),
       [route = std::move(route)](RequestState& state, const ConsoleRequest& request) {
         RunConsolePage(route, state, request);
       },
       std::move(upload_action), std::move(first_reads)});
}

}  // namespace folirex
