<%
Response.Redirect "asp.asp"
%>