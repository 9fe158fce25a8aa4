#!/usr/bin/env python3
"""The crawler and the comparison of bench/crawl.sh (see its header for the rules).

  crawl.py crawl URL PASSWORD_FILE OUT [--max-urls N] [--max-depth N]
      signs in, crawls breadth-first from the start pages and the console menu's links, and
      keeps every answer in OUT (OUT/pages.tsv lists them in order, OUT/links.tsv every link
      found with the page it was found on)
  crawl.py fetch URL PASSWORD_FILE OUT --list A/pages.tsv
      signs in the same way and asks for exactly the pages of the list, in its order
  crawl.py compare A B --since EPOCH
      compares the answers page by page after the masks; exit status 0 only when all are equal

Only the standard library; only 127.0.0.1 at the given port is ever asked.
"""
import argparse
import collections
import datetime
import html.parser
import http.client
import os
import re
import sys
import time
import urllib.parse

ENCODING = "gb18030"  # decodes all of GB2312 and never fails on what a page holds
USER_AGENT = "folirex-crawl/1 (Mozilla/5.0 compatible)"
SESSION_COOKIE = "FOLIREXSESSIONID"

# Public pages that no page links to as served: the search with a keyword (only its form
# reaches it: one title and one author search), and the announcements (only the announcement
# scripts that the console writes link to them).
EXTRA_STARTS = [
    "/asp.asp?m=search&channelid=1&searchtype=d_title&searchkeyword=%BE%AD%BC%C3",
    "/asp.asp?m=search&channelid=1&searchtype=d_author&searchkeyword=%D5%C5%CE%B0",
    "/asp.asp?m=notice&noticeid=1",
    "/asp.asp?m=notice&noticeid=3&channelid=1",
]

# The console's `action` values that only show a page (a form, a list), by page (m=...); "*"
# stands for every page. Any other action may change something and is not asked for.
READ_ONLY_ACTIONS = {
    "*": {"add", "edit", "modi", "recycle", "desc", "preview", "showchange", "move", "join",
          "selectpage", "privilege"},
    "admin_articlehtml": {"select"},
    "admin_defaulthtml": {"select"},
}
# Pages that show a form unless the flag named here says to save it.
SHOW_UNLESS = {("admin_articlenavi", "set"): "flag", ("admin_managerprivilege", "set"): "save"}
# Public pages that count something: none is skipped, since both servers get the same requests
# in the same order (m=click counts a click, which later pages show).


def skip_reason(url, origin):
    """Why URL (absolute) is not asked for, or None."""
    parts = urllib.parse.urlsplit(url)
    if parts.scheme != "http" or parts.netloc != origin:
        return "other origin"
    query = {}
    for key, value in urllib.parse.parse_qsl(parts.query, keep_blank_values=True,
                                             encoding="latin-1"):
        query.setdefault(key.lower(), value.lower())
    page = query.get("m", "")
    if page == "admin_login" and "action" in query:
        return "signs in or out"
    action = query.get("action", "")
    if action:
        allowed = READ_ONLY_ACTIONS["*"] | READ_ONLY_ACTIONS.get(page, set())
        flag = SHOW_UNLESS.get((page, action))
        if flag is not None:
            if query.get(flag, "") not in ("", "0"):
                return "may change state"
        elif action not in allowed:
            return "may change state"
    for key in ("save", "token"):
        if query.get(key, "") not in ("", "0"):
            return "may change state"
    return None


def kind_of(url):
    """The kind of page a URL asks for: its path, its m= and action= values and the names of
    its parameters (so one article's page and another's are of one kind)."""
    parts = urllib.parse.urlsplit(url)
    query = urllib.parse.parse_qsl(parts.query, keep_blank_values=True, encoding="latin-1")
    values = {k.lower(): v.lower() for k, v in query}
    return (parts.path.lower(), values.get("m", ""), values.get("action", ""),
            tuple(sorted({k.lower() for k, _ in query})))


def encode_url(url):
    """A link as a browser sends it from a GB2312 page: what is not ASCII as GB2312 bytes."""
    url = url.split("#", 1)[0].strip()
    data = url.encode(ENCODING, errors="replace")
    return "".join(chr(b) if 0x20 < b < 0x7F else "%%%02X" % b for b in data)


class LinkParser(html.parser.HTMLParser):
    """Collects the links of a page: href, src and background attributes, the base href, the
    targets of forms that send with GET (with the values the form starts with), and the console
    addresses written as strings in scripts and event attributes."""

    SCRIPT_URL = re.compile(r"""['"]((?:[\w./-]*\.asp)?\?m=[^'"\s<>]*)['"]""")

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.links = []
        self.base = None
        self.form = None  # [action, fields] of the GET form being read
        self.select = None
        self.in_script = False

    def handle_starttag(self, tag, attrs):
        a = {k.lower(): (v or "") for k, v in attrs}
        if tag == "base" and "href" in a and self.base is None:
            self.base = a["href"]
        for key in ("href", "src", "background"):
            if key in a and a[key]:
                self.links.append(a[key])
        for key, value in a.items():
            if key.startswith("on"):
                self.links.extend(self.SCRIPT_URL.findall(value))
        if tag == "script":
            self.in_script = True
        if tag == "form":
            method = a.get("method", "get").lower()
            self.form = [a.get("action", ""), []] if method == "get" else None
        elif self.form is not None and tag == "input" and a.get("name"):
            kind = a.get("type", "text").lower()
            if kind in ("checkbox", "radio") and "checked" not in a:
                return
            if kind in ("submit", "button", "image", "reset", "file"):
                return
            self.form[1].append((a["name"], a.get("value", "")))
        elif self.form is not None and tag == "select" and a.get("name"):
            self.select = [a["name"], None, None]
        elif self.select is not None and tag == "option":
            value = a.get("value")
            if self.select[1] is None:
                self.select[1] = value
            if "selected" in a and self.select[2] is None:
                self.select[2] = value

    def handle_endtag(self, tag):
        if tag == "script":
            self.in_script = False
        elif tag == "select" and self.select is not None and self.form is not None:
            name, first, chosen = self.select
            value = chosen if chosen is not None else first
            if value is not None:
                self.form[1].append((name, value))
            self.select = None
        elif tag == "form" and self.form is not None:
            action, fields = self.form
            query = "&".join(
                urllib.parse.quote(k, safe="") + "=" + urllib.parse.quote(v, safe="")
                for k, v in fields)
            target = action.split("?", 1)[0] if action else ""
            self.links.append(target + "?" + query)
            self.form = None

    def handle_data(self, data):
        if self.in_script:
            self.links.extend(self.SCRIPT_URL.findall(data))


def attribute_unescape(value):
    """Character references in an attribute value as a browser reads them: a named one only
    with its ";" ("&parameter=10" stays as it is; Python's own unescape would make a pilcrow of
    "&para")."""
    return re.sub(r"&(#[0-9]+;?|#[xX][0-9a-fA-F]+;?|[A-Za-z][A-Za-z0-9]*;)",
                  lambda m: html.unescape(m.group(0)), value)


html.parser.unescape = attribute_unescape  # what HTMLParser applies to attribute values


def links_of(page_url, body, content_type):
    if "html" not in content_type.lower():
        return []
    parser = LinkParser()
    try:
        parser.feed(body.decode(ENCODING, errors="replace"))
        parser.close()
    except Exception:  # a page the parser cannot read gives the links found so far
        pass
    base = urllib.parse.urljoin(page_url, parser.base) if parser.base else page_url
    found = []
    for link in parser.links:
        link = link.strip()
        if not link or link.startswith("#") or re.match(r"(?i)(javascript|mailto|data):", link):
            continue
        found.append(urllib.parse.urljoin(base, encode_url(link)))
    return found


class Client:
    """One keep-alive connection to 127.0.0.1:PORT with the cookies the server set."""

    def __init__(self, origin):
        host, port = origin.split(":")
        if host != "127.0.0.1":
            sys.exit("crawl.py asks 127.0.0.1 only, not " + host)
        self.origin = origin
        self.host, self.port = host, int(port)
        self.cookies = collections.OrderedDict()
        self.conn = None

    def request(self, method, url, referer=None, body=None):
        parts = urllib.parse.urlsplit(url)
        if parts.netloc != self.origin:
            raise ValueError("not this server: " + url)
        target = (parts.path or "/") + ("?" + parts.query if parts.query else "")
        headers = {"User-Agent": USER_AGENT, "Accept-Encoding": "identity"}
        if self.cookies:
            headers["Cookie"] = "; ".join(k + "=" + v for k, v in self.cookies.items())
        if referer:
            headers["Referer"] = referer
        if body is not None:
            headers["Content-Type"] = "application/x-www-form-urlencoded"
        for attempt in (0, 1):
            if self.conn is None:
                self.conn = http.client.HTTPConnection(self.host, self.port, timeout=120)
            try:
                self.conn.request(method, target, body=body, headers=headers)
                response = self.conn.getresponse()
                data = response.read()
                break
            except (http.client.HTTPException, OSError):
                self.conn.close()
                self.conn = None
                if attempt:
                    raise
        head = response.getheaders()
        for name, value in head:
            if name.lower() == "set-cookie":
                pair = value.split(";", 1)[0]
                key, _, val = pair.partition("=")
                if val and "max-age=0" not in value.lower():
                    self.cookies[key.strip()] = val.strip()
                else:
                    self.cookies.pop(key.strip(), None)
        if response.will_close:
            self.conn.close()
            self.conn = None
        return response.status, head, data


def record(out, n, status, head, body):
    with open(os.path.join(out, "%05d.http" % n), "wb") as f:
        f.write(("%d\n" % status).encode())
        for name, value in head:
            f.write(("%s: %s\n" % (name, value)).encode("latin-1", errors="replace"))
        f.write(b"\n")
        f.write(body)


def header(head, name):
    for key, value in head:
        if key.lower() == name:
            return value
    return ""


class Crawl:
    def __init__(self, origin, out):
        self.client = Client(origin)
        self.origin = origin
        self.root = "http://" + origin
        self.out = out
        os.makedirs(out, exist_ok=True)
        self.pages = open(os.path.join(out, "pages.tsv"), "w", encoding="utf-8")
        self.links = open(os.path.join(out, "links.tsv"), "w", encoding="utf-8")
        self.count = 0

    def ask(self, method, url, referer="", body=None, depth=0):
        try:
            status, head, data = self.client.request(method, url, referer or None, body)
        except (http.client.HTTPException, OSError) as e:
            # A server that fails to answer (or has died) is a difference to report, not the
            # end of the run: the page is kept as status 0 with the error.
            status, head, data = 0, [], ("no answer: %r" % e).encode()
        self.count += 1
        record(self.out, self.count, status, head, data)
        self.pages.write("\t".join([method, url, referer, str(depth)]) + "\n")
        found = links_of(url, data, header(head, "content-type"))
        location = header(head, "location")
        if location:
            found.append(urllib.parse.urljoin(url, encode_url(location)))
        for link in found:
            self.links.write(link + "\t" + url + "\n")
        return status, found

    def sign_in(self, password_file):
        """Posts the sign-in form as the login page has it, with the first administrator's
        name and password from data/admin-password.txt."""
        with open(password_file, encoding="utf-8") as f:
            name, password = f.read().split()[:2]
        login = self.root + "/admin.asp?m=admin_login"
        _, _, data = self.client.request("GET", login)
        text = data.decode(ENCODING, errors="replace")
        form = re.search(r"<form[^>]*name=\"loginform\"[^>]*action=\"([^\"]*)\"", text)
        if not form:
            sys.exit("no sign-in form on " + login)
        target = urllib.parse.urljoin(login, form.group(1))
        body = urllib.parse.urlencode({"usercode": name, "password": password})
        status, _ = self.ask("POST", target, login, body)
        if SESSION_COOKIE not in self.client.cookies or status != 302:
            sys.exit("the sign-in was refused (status %d)" % status)

    def close(self):
        self.pages.close()
        self.links.close()


def crawl(args):
    c = Crawl(args.origin, args.out)
    c.sign_in(args.password_file)
    starts = [c.root + p for p in ["/", "/asp.asp", "/admin.asp"] + EXTRA_STARTS]
    menu_url = c.root + "/admin.asp?m=admin_menu"
    _, menu = c.ask("GET", menu_url, c.root + "/admin.asp?m=admin_index")
    queue = collections.deque()
    seen = {menu_url}
    skipped = collections.Counter()
    kinds = collections.Counter()
    for url, referer in [(u, "") for u in starts] + [(u, menu_url) for u in menu if "?m=" in u]:
        if url not in seen:
            seen.add(url)
            queue.append((url, referer, 0))
    while queue and c.count < args.max_urls:
        url, referer, depth = queue.popleft()
        reason = skip_reason(url, args.origin)
        if reason:
            skipped[reason] += 1
            continue
        kind = kind_of(url)
        if kinds[kind] >= args.max_per_kind:
            skipped["more than %d of a kind" % args.max_per_kind] += 1
            continue
        kinds[kind] += 1
        _, found = c.ask("GET", url, referer, None, depth)
        if depth >= args.max_depth:
            continue
        for link in found:
            if link not in seen:
                seen.add(link)
                queue.append((link, url, depth + 1))
    c.close()
    left = len(queue)
    print("crawled %d pages (%s)%s" % (
        c.count, ", ".join("%d skipped: %s" % (n, r) for r, n in sorted(skipped.items())) or
        "none skipped", ", %d left at the bound of %d" % (left, args.max_urls) if left else ""))


def fetch(args):
    c = Crawl(args.origin, args.out)
    with open(args.list, encoding="utf-8") as f:
        rows = [line.rstrip("\n").split("\t") for line in f if line.strip()]
    if not rows or rows[0][0] != "POST":
        sys.exit(args.list + " does not start with the sign-in")
    c.sign_in(args.password_file)
    for method, url, referer, depth in rows[1:]:
        url = c.root + urllib.parse.urlsplit(url)._replace(scheme="", netloc="").geturl()
        referer = referer and c.root + urllib.parse.urlsplit(referer)._replace(
            scheme="", netloc="").geturl()
        c.ask(method, url, referer, None, int(depth))
    c.close()
    print("fetched %d pages" % c.count)


# ---------------------------------------------------------------------------------------------
# The comparison and its masks.

GB = lambda s: s.encode(ENCODING)  # noqa: E731
DATE_TIMES = [
    # 2026-12-7 18:28:12, 2026/12/07 18:28 (the pages' formats of the current time)
    (re.compile(rb"(\d{4})[-/](\d{1,2})[-/](\d{1,2})[ T](\d{1,2}):(\d{2})(?::(\d{2}))?"), "ymd"),
    (re.compile(rb"(\d{4})" + GB("年") + rb"(\d{1,2})" + GB("月") + rb"(\d{1,2})" + GB("日") +
                rb"\s*(\d{1,2}):(\d{2})(?::(\d{2}))?"), "ymd"),
    # Mon, 07 Dec 2026 18:28:12 GMT (Expires)
    (re.compile(rb"[A-Z][a-z]{2}, (\d{2}) ([A-Z][a-z]{2}) (\d{4}) (\d{2}):(\d{2}):(\d{2}) GMT"),
     "http"),
]
MONTHS = {m: i + 1 for i, m in enumerate(
    b"Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec".split())}
# A static file that the run itself wrote (the announcement scripts that the home page writes):
# the host sends its date only once the second in which it was written has passed, so whether
# the header is there depends on the timing.
WRITTEN_IN_RUN = b"Last-Modified: <now>"
# The server check's own timing of 500,000 additions.
SPEED = re.compile(GB("您正在使用的这台服务器") + rb"(</font></td><td><font color=red>)[0-9.]+")
# The collection pages' step token, drawn at random once a session.
TOKEN = re.compile(rb"(token=)[0-9a-f]{32}")


def masker(since, until):
    """Masks the current time where it is printed: a date and time that lies between the start
    of the run and the comparison (a minute of slack each side; the seeded dates lie before the
    run). A date without a time is left alone."""
    low = since - 60
    high = until + 60

    def stamp(match, kind):
        g = match.groups()
        try:
            if kind == "http":
                t = datetime.datetime(int(g[2]), MONTHS[g[1]], int(g[0]), int(g[3]), int(g[4]),
                                      int(g[5]), tzinfo=datetime.timezone.utc).timestamp()
            else:
                t = datetime.datetime(int(g[0]), int(g[1]), int(g[2]), int(g[3]), int(g[4]),
                                      int(g[5] or 0)).timestamp()
        except (ValueError, KeyError):
            return match.group(0)
        minute_only = kind != "http" and g[5] is None
        return b"<now>" if low - (60 if minute_only else 0) <= t <= high else match.group(0)

    def mask(data, cookies):
        for pattern, kind in DATE_TIMES:
            data = pattern.sub(lambda m, k=kind: stamp(m, k), data)
        data = SPEED.sub(GB("您正在使用的这台服务器") + rb"\1<timing>", data)
        data = TOKEN.sub(rb"\1<token>", data)
        for value in cookies:
            data = data.replace(value, b"<session>")
        return data

    return mask


def read_page(path):
    with open(path, "rb") as f:
        data = f.read()
    head, _, body = data.partition(b"\n\n")
    lines = head.split(b"\n")
    # The length follows the body (the masks may change it) and the connection is the client's.
    kept = [line for line in lines[1:]
            if not re.match(rb"(?i)(content-length|connection|keep-alive|date):", line)]
    return lines[0], kept, body


def session_values(folder):
    values = set()
    for name in sorted(os.listdir(folder)):
        if name.endswith(".http"):
            _, head, _ = read_page(os.path.join(folder, name))
            for line in head:
                m = re.match(rb"(?i)set-cookie: *" + SESSION_COOKIE.encode() + rb"=([^;]+)", line)
                if m:
                    values.add(m.group(1))
    return values


def first_difference(a, b):
    text_a = a.decode(ENCODING, errors="replace").split("\n")
    text_b = b.decode(ENCODING, errors="replace").split("\n")
    for i in range(max(len(text_a), len(text_b))):
        la = text_a[i] if i < len(text_a) else "<no line>"
        lb = text_b[i] if i < len(text_b) else "<no line>"
        if la != lb:
            col = next((j for j in range(min(len(la), len(lb))) if la[j] != lb[j]),
                       min(len(la), len(lb)))
            start = max(0, col - 60)
            return i + 1, la[start:start + 160], lb[start:start + 160], col + 1
    return None


def compare(args):
    a_rows = open(os.path.join(args.a, "pages.tsv"), encoding="utf-8").read().splitlines()
    b_rows = open(os.path.join(args.b, "pages.tsv"), encoding="utf-8").read().splitlines()
    mask = masker(args.since, time.time())
    a_cookies = session_values(args.a)
    b_cookies = session_values(args.b)
    differ = []
    path_of = lambda row: urllib.parse.urlsplit(row.split("\t")[1])._replace(  # noqa: E731
        scheme="", netloc="").geturl()
    for n, (ra, rb) in enumerate(zip(a_rows, b_rows), 1):
        name = "%05d.http" % n
        sa, ha, ba = read_page(os.path.join(args.a, name))
        sb, hb, bb = read_page(os.path.join(args.b, name))
        ha = [h for h in (mask(h, a_cookies) for h in ha) if h != WRITTEN_IN_RUN]
        hb = [h for h in (mask(h, b_cookies) for h in hb) if h != WRITTEN_IN_RUN]
        ba = mask(ba, a_cookies)
        bb = mask(bb, b_cookies)
        what = ra.split("\t")[0] + " " + path_of(ra)
        if sa != sb:
            differ.append((what, "status %s, then %s" % (sa.decode(), sb.decode())))
        elif ha != hb:
            first = next(i for i in range(max(len(ha), len(hb)))
                         if (ha[i:i + 1] or [b""]) != (hb[i:i + 1] or [b""]))
            differ.append((what, "header: %r, then %r" % (
                (ha[first:first + 1] or [b"<none>"])[0].decode("latin-1"),
                (hb[first:first + 1] or [b"<none>"])[0].decode("latin-1"))))
        elif ba != bb:
            d = first_difference(ba, bb)
            differ.append((what, "line %d, column %d:\n    A: %s\n    B: %s" % (d[0], d[3], d[1],
                                                                            d[2])))
    if len(a_rows) != len(b_rows):
        differ.append(("(the lists)", "A asked %d pages, B %d" % (len(a_rows), len(b_rows))))
    # Links that B's pages hold and A's do not.
    def links(folder):
        found = {}
        with open(os.path.join(folder, "links.tsv"), encoding="utf-8") as f:
            for line in f:
                link, _, page = line.rstrip("\n").partition("\t")
                strip = lambda u: urllib.parse.urlsplit(u)._replace(  # noqa: E731
                    scheme="", netloc="").geturl()
                found.setdefault(strip(link), strip(page))
        return found
    a_links = links(args.a)
    b_only = {k: v for k, v in links(args.b).items() if k not in a_links}
    compared = min(len(a_rows), len(b_rows))
    print("pages compared: %d; identical: %d; differing: %d" % (
        compared, compared - len([d for d in differ if d[0] != "(the lists)"]),
        len([d for d in differ if d[0] != "(the lists)"])))
    for what, detail in differ:
        print("DIFFERS %s\n  %s" % (what, detail))
    if b_only:
        print("links found on B's pages and not on A's: %d" % len(b_only))
        for link, page in sorted(b_only.items())[:50]:
            print("  %s (on %s)" % (link, page))
    return 1 if differ or b_only else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    sub = parser.add_subparsers(dest="command", required=True)
    for name in ("crawl", "fetch"):
        p = sub.add_parser(name)
        p.add_argument("origin", help="127.0.0.1:PORT")
        p.add_argument("password_file")
        p.add_argument("out")
        p.add_argument("--max-urls", type=int, default=3000)
        p.add_argument("--max-depth", type=int, default=8)
        p.add_argument("--max-per-kind", type=int, default=100)
        p.add_argument("--list")
    p = sub.add_parser("compare")
    p.add_argument("a")
    p.add_argument("b")
    p.add_argument("--since", type=float, required=True)
    args = parser.parse_args()
    if args.command == "crawl":
        crawl(args)
    elif args.command == "fetch":
        if not args.list:
            sys.exit("fetch needs --list")
        fetch(args)
    else:
        sys.exit(compare(args))


if __name__ == "__main__":
    main()
