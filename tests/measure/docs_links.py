#!/usr/bin/python3
"""The README a newcomer reads: at most about 120 lines; every link and image in it and in
docs/ resolves (files, and headings for #anchors) without leaving ROOT; every page in docs/
opens by saying who it is for. ROOT is the sources, or the folder a package installs or
unpacks its README and docs/ into, where README (README.md) may be named otherwise.
Usage: docs_links.py [ROOT [README]]"""
import os
import re
import sys

ROOT = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", ".."))
README = sys.argv[2] if len(sys.argv) > 2 else "README.md"
LINK = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)(?:\s+\"[^\"]*\")?\)")


def prose(text):
    """The text without fenced code blocks and inline code, where brackets are not links."""
    text = re.sub(r"^```.*?^```", "", text, flags=re.S | re.M)
    return re.sub(r"`[^`\n]*`", "", text)


def slug(heading):
    """A heading's anchor as GitHub and GitLab make it."""
    s = re.sub(r"[^\w\- ]", "", heading.strip().lower().replace("`", ""))
    return s.replace(" ", "-")


def anchors(path):
    with open(path, encoding="utf-8") as f:
        text = re.sub(r"^```.*?^```", "", f.read(), flags=re.S | re.M)
    return {slug(m) for m in re.findall(r"^#+\s+(.*)$", text, flags=re.M)}


def main():
    problems = []
    readme = os.path.join(ROOT, README)
    with open(readme, encoding="utf-8") as f:
        lines = f.read().count("\n")
    if lines > 120:
        problems.append(f"{README} has {lines} lines, more than 120")
    docs = os.path.join(ROOT, "docs")
    pages = [readme] + sorted(os.path.join(docs, p) for p in os.listdir(docs) if p.endswith(".md"))
    checked = 0
    for page in pages:
        name = os.path.relpath(page, ROOT)
        with open(page, encoding="utf-8") as f:
            text = f.read()
        if page != readme:
            body = [p for p in text.split("\n\n") if p.strip() and not p.startswith("#")]
            if not body or not body[0].lstrip().startswith("*For "):
                problems.append(f"{name}: does not open with who it is for (*For ...*)")
        for target in LINK.findall(prose(text)):
            checked += 1
            if re.match(r"^[a-z]+:", target):
                problems.append(f"{name}: {target}: links off the repository")
                continue
            file, _, anchor = target.partition("#")
            resolved = os.path.normpath(os.path.join(os.path.dirname(page), file)) if file else page
            if not resolved.startswith(ROOT + os.sep) or not os.path.exists(resolved):
                problems.append(f"{name}: {target}: no such file")
            elif anchor and (not resolved.endswith((".md", README)) or anchor not in anchors(resolved)):
                problems.append(f"{name}: {target}: no heading #{anchor}")
    for p in problems:
        print("FAILED:", p)
    print(f"{README} {lines} lines; {checked} links in {len(pages)} pages, {len(problems)} problems")
    return 1 if problems or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
