#!/usr/bin/python3
"""Makes the administrator's guide an HTML page that opens by double-click on
every Windows from XP on, Internet Explorer 6 included, with its pictures
beside it:
    make-guide.py GUIDE.md OUT_DIR
writes OUT_DIR/<guide's name>.html and copies into OUT_DIR the pictures the
guide shows. The Markdown is converted by cmark-gfm, the converter of the site
that shows the same file to developers, so both read alike.

Fails (and leaves no page) on a picture that is missing or not beside the
guide, and on a link to a heading that the guide does not have."""
import html
import os
import re
import shutil
import subprocess
import sys
import urllib.parse

# IE6 takes the character set from a meta element only within the page's
# first bytes, before any other text: so it comes first in <head>. The styles
# are CSS 1 and 2 that IE6 draws: simple borders, no HTML5 elements.
PAGE = """<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01//EN" "http://www.w3.org/TR/html4/strict.dtd">
<html lang="ja">
<head>
<meta http-equiv="Content-Type" content="text/html; charset=utf-8">
<title>{title}</title>
<style type="text/css">
body {{ font-family: "MS PGothic", "IPAPGothic", sans-serif; font-size: 10pt;
       line-height: 1.5; margin: 1em 2em; color: #000; background: #fff; }}
h1 {{ font-size: 160%; border-bottom: 2px solid #036; }}
h2 {{ font-size: 140%; border-bottom: 1px solid #036; margin-top: 2em; }}
h3 {{ font-size: 120%; margin-top: 1.5em; }}
h4, h5 {{ font-size: 105%; }}
table {{ border-collapse: collapse; margin: 0.5em 0; }}
th, td {{ border: 1px solid #808080; padding: 3px 6px; vertical-align: top;
         text-align: left; }}
th {{ background: #e8eef4; }}
code, pre {{ font-family: "MS Gothic", "IPAGothic", monospace; }}
pre {{ background: #f4f4f4; border: 1px solid #c0c0c0; padding: 6px; }}
blockquote {{ border-left: 4px solid #c0c0c0; margin: 0.5em 0; padding: 0 1em; }}
img {{ border: 1px solid #c0c0c0; }}
hr {{ border: 0; border-top: 1px solid #c0c0c0; height: 1px; }}
table.messages {{ width: 100%; }}
th.message, td.message {{ width: 25%; }}
th.meaning, td.meaning {{ width: 30%; }}
th.kind, td.kind {{ white-space: nowrap; }}
</style>
</head>
<body>
{body}</body>
</html>
"""


def fail(message):
    sys.exit("make-guide: " + message)


def github_slug(text):
    """The anchor the developers' site gives a heading, which the guide's own
    links are written against."""
    slug = re.sub(r"[^\w\- ]", "", text.strip().lower())
    return slug.replace(" ", "-")


def number_headings(body):
    """Gives every heading an ASCII id and points the guide's links at it: IE6
    does not find a fragment of percent-encoded Japanese."""
    ids, seen = {}, {}
    def heading(match):
        level, inner = match.group(1), match.group(2)
        slug = github_slug(html.unescape(re.sub(r"<[^>]+>", "", inner)))
        count = seen.get(slug, 0)
        seen[slug] = count + 1
        if count:
            slug += "-%d" % count
        ids[slug] = "s%d" % (len(ids) + 1)
        return '<h%s id="%s">%s</h%s>' % (level, ids[slug], inner, level)
    body = re.sub(r"<h([1-6])>(.*?)</h\1>", heading, body)

    def link(match):
        target = urllib.parse.unquote(html.unescape(match.group(1)))
        if target not in ids:
            fail("the link to #%s names no heading" % target)
        return 'href="#%s"' % ids[target]
    return re.sub(r'href="#([^"]*)"', link, body)


# The message tables' columns, by their heading: a type such as 「エラー（×）」
# stays on one line, and the message and its meaning get the width they need
# instead of the widest cell taking it all.
COLUMN_CLASSES = {"メッセージ": "message", "種類": "kind", "意味": "meaning"}


def mark_message_tables(body):
    def table(match):
        rows = re.findall(r"<tr>.*?</tr>", match.group(0), re.S)
        headings = re.findall(r"<th>(.*?)</th>", rows[0], re.S) if rows else []
        classes = [COLUMN_CLASSES.get(heading, "") for heading in headings]
        if "message" not in classes:
            return match.group(0)
        def row(row_match):
            cells = iter(classes)
            def cell(cell_match):
                name = next(cells, "")
                return "<%s%s>" % (cell_match.group(1), ' class="%s"' % name if name else "")
            return re.sub(r"<(t[hd])>", cell, row_match.group(0))
        marked = re.sub(r"<tr>.*?</tr>", row, match.group(0), flags=re.S)
        return marked.replace("<table>", '<table class="messages">', 1)
    return re.sub(r"<table>.*?</table>", table, body, flags=re.S)


def copy_pictures(body, source_dir, out_dir):
    for src in sorted(set(re.findall(r'<img src="([^"]*)"', body))):
        name = urllib.parse.unquote(src)
        if "/" in name or "\\" in name or ":" in name:
            fail("picture %s is not beside the guide" % src)
        picture = os.path.join(source_dir, name)
        if not os.path.isfile(picture):
            fail("picture %s is missing" % picture)
        shutil.copyfile(picture, os.path.join(out_dir, name))


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make-guide.py GUIDE.md OUT_DIR")
    guide, out_dir = sys.argv[1], sys.argv[2]
    try:
        converted = subprocess.run(["cmark-gfm", "--extension", "table", "--unsafe", guide],
                                   check=True, stdout=subprocess.PIPE).stdout.decode("utf-8")
    except FileNotFoundError:
        fail("cmark-gfm is missing: run scripts/install-deps.sh")
    body = mark_message_tables(number_headings(converted.replace(" />", ">")))
    title = re.search(r"<h1[^>]*>(.*?)</h1>", body)
    if not title:
        fail("the guide has no title")
    # The folder holds this page's files alone: the release ships all of it.
    shutil.rmtree(out_dir, ignore_errors=True)
    os.makedirs(out_dir)
    copy_pictures(body, os.path.dirname(os.path.abspath(guide)), out_dir)
    page = os.path.join(out_dir, os.path.splitext(os.path.basename(guide))[0] + ".html")
    with open(page + ".tmp", "w", encoding="utf-8", newline="\r\n") as out:
        out.write(PAGE.format(title=re.sub(r"<[^>]+>", "", title.group(1)), body=body))
    os.replace(page + ".tmp", page)


main()
