#!/usr/bin/python3
"""Checks on what quillmere-measure writes, for the shell tests.

  check_results.py schema FILE...          every results.json against docs/results.schema.json
  check_results.py junit FILE              JUnit XML against tests/measure/junit.xsd
  check_results.py page DOM A.json B.json  the comparison page (as the browser built it) against two runs
  check_results.py detail DIR              a report's texture-detail table against its results.json
"""
import json
import math
import os
import sys
from html.parser import HTMLParser

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def schema(files):
    import jsonschema
    with open(os.path.join(ROOT, "docs", "results.schema.json")) as f:
        s = json.load(f)
    validator = jsonschema.Draft202012Validator(s)
    bad = 0
    for path in files:
        with open(path) as f:
            errors = list(validator.iter_errors(json.load(f)))
        for e in errors:
            print(f"{path}: {'/'.join(map(str, e.absolute_path))}: {e.message}")
        bad += bool(errors)
    print(f"schema: {len(files) - bad} of {len(files)} results.json valid")
    return bad == 0 and len(files) > 0


def junit(path):
    from lxml import etree
    xsd = etree.XMLSchema(etree.parse(os.path.join(HERE, "junit.xsd")))
    doc = etree.parse(path)
    if not xsd.validate(doc):
        print(f"{path}: {xsd.error_log}")
        return False
    return True


class Cells(HTMLParser):
    """The #figures table's cells by (mode, figure, run or diff)."""

    def __init__(self):
        super().__init__()
        self.table = False
        self.mode = None
        self.key = None
        self.cells = {}
        self.images = None

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "table":
            self.table = a.get("id") == "figures"
        if tag == "pre" and a.get("id") == "verdict":
            self.images = ""
        if not self.table:
            return
        if tag == "tr" and "data-mode" in a:
            self.mode = a["data-mode"]
        if tag == "td" and "data-figure" in a:
            kind = ("run", int(a["data-run"])) if "data-run" in a else ("diff", int(a["data-diff"]))
            self.key = (self.mode, a["data-figure"]) + kind
            self.cells[self.key] = ""

    def handle_endtag(self, tag):
        if tag == "td":
            self.key = None
        if tag == "table":
            self.table = False

    def handle_data(self, data):
        if self.key:
            self.cells[self.key] += data
        if self.images == "":
            self.images = data


def page(dom, first, second):
    with open(first) as f:
        a = json.load(f)
    with open(second) as f:
        b = json.load(f)
    parser = Cells()
    with open(dom) as f:
        parser.feed(f.read())
    cells = parser.cells
    ca = {c["name"]: c for c in a["captures"]}
    cb = {c["name"]: c for c in b["captures"]}
    modes = list(dict.fromkeys(list(ca) + list(cb)))
    rows = {k[0] for k in cells}
    ok = True
    if rows != set(modes):
        print(f"rows {sorted(rows)} but modes {sorted(modes)}")
        ok = False
    checked = 0
    for mode in modes:
        for figure in ("effective_samples", "granted", "edge_rmse", "interior_rmse", "centre_interior_rmse", "ssim"):
            for run, caps in ((0, ca), (1, cb)):
                shown = cells.get((mode, figure, "run", run), "").strip()
                if mode not in caps:
                    continue
                want = caps[mode][figure]
                if not shown or abs(float(shown) - want) > 0.5e-4 + 1e-9:
                    print(f"{mode} {figure} run {run}: page {shown!r}, results {want}")
                    ok = False
                checked += 1
            if mode in ca and mode in cb:
                shown = cells.get((mode, figure, "diff", 1), "").strip()
                want = cb[mode][figure] - ca[mode][figure]
                if not shown or abs(float(shown) - want) > 0.5e-4 + 1e-9:
                    print(f"{mode} {figure} difference: page {shown!r}, from the results {want}")
                    ok = False
                checked += 1
    print(f"page: {len(modes)} modes, {checked} figures and differences checked against the results")
    return ok and checked > 0


class Rows(HTMLParser):
    """The rows of one table, by its id: each a list of its cells' texts."""

    def __init__(self, table):
        super().__init__()
        self.want, self.inside, self.rows, self.cell = table, False, [], None

    def handle_starttag(self, tag, attrs):
        if tag == "table" and dict(attrs).get("id") == self.want:
            self.inside = True
        elif self.inside and tag == "tr":
            self.rows.append([])
        elif self.inside and tag == "td":
            self.cell = ""

    def handle_endtag(self, tag):
        if tag == "table":
            self.inside = False
        elif tag == "td" and self.cell is not None:
            self.rows[-1].append(self.cell.strip())
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data


def detail(folder):
    """Every mode's kept and false detail on the page, in whole percent, as results.json has them."""
    with open(os.path.join(folder, "results.json")) as f:
        d = json.load(f)
    want = {c["name"]: c["detail"] for c in d["captures"] if c["kind"] != "presented"}
    presentation = d["presented"].get("presentation", {})
    if presentation.get("measured"):
        want["presented"] = presentation["detail"]
    parser = Rows("detail-kept")
    with open(os.path.join(folder, "index.html")) as f:
        parser.feed(f.read())
    shown = {row[0]: row[1:] for row in parser.rows if row}
    ok = set(shown) == set(want)
    if not ok:
        print(f"rows {sorted(shown)} but modes {sorted(want)}")
    for mode, figures in want.items():
        expected = []
        for x in figures:
            for key in ("kept", "false_detail"):
                expected.append("\u2013" if x[key] is None else "%.0f" % (100 * x[key]))
        got = [c.replace("&ndash;", "\u2013") for c in shown.get(mode, [])]
        if got != expected:
            print(f"{mode}: page {got}, results {expected}")
            ok = False
    print(f"detail: {len(want)} modes checked against the results")
    return ok and len(want) > 0


if __name__ == "__main__":
    what, args = sys.argv[1], sys.argv[2:]
    result = {"schema": lambda: schema(args), "junit": lambda: junit(args[0]),
              "page": lambda: page(*args), "detail": lambda: detail(args[0])}[what]()
    sys.exit(0 if result else 1)
