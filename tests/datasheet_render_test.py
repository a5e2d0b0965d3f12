#!/usr/bin/env python3
"""The datasheet of every bundled example, in both unit systems, rendered by a real browser.

Chromium (headless) prints each sheet to PDF on Letter and on A4 and takes a screenshot kept in
OUT_DIR for a person to look at. Each print must be at most two pages with every word inside the
page's margins; the page, measured by a script of the test in the browser, must have no element
wider than A4's text block; and every number, word and finding of the case's JSON report must
be on the page, each number written as the text report writes numbers in that unit.

    datasheet_render_test.py KESTROL PROJECT_DIR OUT_DIR

Exits 77 (skipped) when chromium or pdfinfo is not installed.
"""
import html.parser
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

SKIPPED = 77
# The day every sheet here is dated (2026-01-02 UTC), so that a rerun writes the same files.
EPOCH = "1767312000"
# A4's text block [mm]: the page's 210 mm less the sheet's two 12 mm margins (its @page rule).
TEXT_WIDTH_MM = 186.0
MARGIN_MM = 12.0
POINTS_PER_MM = 72.0 / 25.4
# Slack for the PDF's word boxes [pt]: a glyph's box may reach a little past its advance.
BOX_SLACK_PT = 1.0
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
                  "--disable-component-update", "--disable-sync"]

# Measures every element outside the drawing against A4's text block and writes the result into
# the page, where --dump-dom reads it.
MEASURE = """<script>
addEventListener('load', () => {
  const probe = document.createElement('div');
  probe.style.width = '%gmm';
  document.body.appendChild(probe);
  const limit = probe.getBoundingClientRect().width;
  probe.remove();
  const left = document.body.getBoundingClientRect().left;
  const wide = [];
  for (const e of document.body.querySelectorAll('*')) {
    if (e.closest('svg') && e.tagName.toLowerCase() !== 'svg') continue;
    const r = e.getBoundingClientRect();
    if (r.right - left > limit + 0.5 || r.left < left - 0.5)
      wide.push(e.tagName + ' ' + (e.textContent || '').slice(0, 40) + ' ' + r.left.toFixed(1) + '..' + r.right.toFixed(1));
  }
  const out = document.createElement('pre');
  out.id = 'measured';
  out.textContent = JSON.stringify({limit: limit, scroll: document.documentElement.scrollWidth,
                                    client: document.documentElement.clientWidth, wide: wide});
  document.body.appendChild(out);
});
</script>""" % TEXT_WIDTH_MM


# Elements whose edges separate words; inline ones (a span) do not.
BLOCKS = {"p", "div", "section", "figure", "table", "thead", "tr", "td", "th", "ul", "li", "h1", "h2", "pre", "br", "svg", "text", "body"}


class Text(html.parser.HTMLParser):
    """The page's text as a reader sees it, whitespace collapsed; the test's own output apart."""

    def __init__(self):
        super().__init__()
        self.parts, self.skip, self.measured = [], 0, None

    def handle_starttag(self, tag, attrs):
        if tag in ("style", "script") or dict(attrs).get("id") == "measured":
            self.skip += 1
        if tag in BLOCKS:
            self.parts.append(" ")

    def handle_endtag(self, tag):
        if self.skip and tag in ("style", "script", "pre"):
            self.skip -= 1
        if tag in BLOCKS:
            self.parts.append(" ")

    def handle_data(self, data):
        if self.skip:
            if self.measured is None and data.strip().startswith("{"):
                self.measured = json.loads(data)
            return
        self.parts.append(data)

    def text(self):
        return re.sub(r"\s+", " ", "".join(self.parts))


def chromium(binary, args, url):
    with tempfile.TemporaryDirectory() as profile:
        done = subprocess.run([binary, *CHROMIUM_FLAGS, f"--user-data-dir={profile}", *args, url],
                              capture_output=True, text=True, timeout=120)
    if done.returncode != 0:
        raise RuntimeError(f"chromium {' '.join(args)} {url}: exit {done.returncode}\n{done.stderr[-2000:]}")
    return done.stdout


def format_number(value, digits):
    """The text report's way: fixed digits, thousands separated by commas."""
    return f"{value:,.{digits}f}"


def report_digits(text_report):
    """The digits the text report gives each unit it prints, read from the report itself: its
    lines are a label, a number, one space, the unit, and two spaces before any note."""
    digits = {}
    for line in text_report.splitlines():
        m = re.match(r"  \S.*?\s{2,}(-?\d[\d,]*(?:\.(\d+))?) (\S+(?: \S+)?)(?:  |$)", line)
        if m:
            digits.setdefault(m.group(3), len(m.group(2) or ""))
    return digits


def service_words(key):
    words = key.replace("_", " ")
    return words[:1].upper() + words[1:]


def nominal_pipe_size(inches):
    whole = int(inches)
    part = {0.25: " 1/4", 0.5: " 1/2"}.get(inches - whole, "")
    return f"NPS {whole if whole else ''}{part}"


def expected_texts(report, digits):
    """What the page must show of a report: (where, text) pairs."""
    out = []

    def walk(value, where):
        if isinstance(value, dict) and "value" in value and "unit" in value:
            number, unit = value["value"], value["unit"]
            if isinstance(number, (int, float)) and not isinstance(number, bool):
                if unit in digits:
                    out.append((where, [f"{format_number(number, digits[unit])} {unit}"]))
                else:  # a unit the text report does not print for this case: any of its usual digits
                    out.append((where, [f"{format_number(number, d)} {unit}" for d in range(4)]))
            elif isinstance(number, str):
                out.append((where, [f"{number} {unit}".strip()]))
        elif isinstance(value, dict):
            for key, item in value.items():
                walk(item, f"{where}.{key}")
        elif isinstance(value, list):
            for i, item in enumerate(value):
                walk(item, f"{where}[{i}]")
        elif isinstance(value, bool) or value is None:
            pass
        elif isinstance(value, int):
            out.append((where, [format_number(value, 0)]))
        elif isinstance(value, float):  # plain numbers have two digits, the assumed-liquid share one
            out.append((where, [format_number(value, 2), format_number(value, 1)]))
        elif isinstance(value, str):
            out.append((where, [value]))

    for key, value in report.items():
        if key in ("sized", "units", "missing_results", "problem"):
            continue
        if key == "review":
            # A finding's values are in its sentence, each written as the review writes it.
            for i, finding in enumerate(value):
                out.append((f"review[{i}]", [f"{finding['code']}: {finding['text']}"]))
            continue
        if key == "governing" and value is not None:
            value = {k: v for k, v in value.items() if k not in ("diameter", "length")}  # keys of what its text says
        if key == "feed":
            value = {k: v for k, v in value.items() if k != "liquid_assumed_by_sizing"}
        if key == "nozzles":
            # A service is named in words, as the text report names it: "vapour_outlet" as "Vapour outlet".
            value = [dict(n, service=service_words(n["service"])) for n in value]
            # A pipe is named by its size, as the text report names it: 8 in as "NPS 8".
            for i, nozzle in enumerate(value):
                size = nozzle.pop("nominal_size")
                if size is not None:
                    out.append((f"nozzles[{i}].nominal_size", [nominal_pipe_size(size["value"])]))
        walk(value, key)
    return out


def pdf_pages(pdf):
    info = subprocess.run(["pdfinfo", str(pdf)], capture_output=True, text=True, check=True).stdout
    pages = int(re.search(r"^Pages:\s+(\d+)", info, re.M).group(1))
    width = float(re.search(r"^Page size:\s+([\d.]+) x", info, re.M).group(1))
    return pages, width


def words_outside(pdf, width):
    """Words of the printed page that reach into its left or right margin."""
    boxes = subprocess.run(["pdftotext", "-bbox", str(pdf), "-"], capture_output=True, text=True, check=True).stdout
    low, high = MARGIN_MM * POINTS_PER_MM - BOX_SLACK_PT, width - MARGIN_MM * POINTS_PER_MM + BOX_SLACK_PT
    bad = []
    for m in re.finditer(r'<word xMin="([\d.]+)" yMin="[\d.]+" xMax="([\d.]+)" yMax="[\d.]+">([^<]*)</word>', boxes):
        if float(m.group(1)) < low or float(m.group(2)) > high:
            bad.append(f"{m.group(3)} {m.group(1)}..{m.group(2)}")
    return bad


def main():
    kestrol, project, out_dir = (Path(arg).resolve() for arg in sys.argv[1:4])
    browser = shutil.which("chromium")
    if browser is None or shutil.which("pdfinfo") is None or shutil.which("pdftotext") is None:
        print("SKIPPED: the datasheet render test needs Debian's chromium and poppler-utils "
              "(tools/setup.sh --datasheet installs them)")
        return SKIPPED
    out_dir.mkdir(parents=True, exist_ok=True)
    env = dict(os.environ, SOURCE_DATE_EPOCH=EPOCH)
    failures = []
    cases = sorted((project / "examples" / "cases").glob("*.json"))
    assert cases, "no bundled examples"
    for case in cases:
        for units in ("si", "us"):
            stem = f"{case.stem}.{units}"
            sheet = out_dir / f"{stem}.html"
            run = lambda *args: subprocess.run([str(kestrol), "size", str(case), "--units", units, *args],
                                               capture_output=True, text=True, env=env)
            made = run("--datasheet", str(sheet))
            if made.returncode not in (0, 1) or not sheet.exists():
                failures.append(f"{stem}: kestrol --datasheet exit {made.returncode}: {made.stderr}")
                continue
            report = json.loads(run("--format", "json").stdout)
            digits = report_digits(run().stdout)
            page = sheet.read_text(encoding="utf-8")
            for reference in re.findall(r"""(?:src|href)\s*=\s*["']?([^"'\s>]*)|url\(\s*["']?([^)"']*)|(@import)""", page):
                target = "".join(reference)
                if not target.startswith("#"):  # a fragment names a part of the drawing
                    failures.append(f"{stem}: refers outside itself: {target}")
            if "<script" in page.lower():
                failures.append(f"{stem}: the sheet has a script")

            # The page measured in the browser, at A4's text width.
            measured_html = out_dir / f"{stem}.measure.html"
            measured_html.write_text(page.replace("</body>", MEASURE + "\n</body>"), encoding="utf-8")
            dom = chromium(browser, ["--window-size=703,1200", "--hide-scrollbars", "--dump-dom"], measured_html.as_uri())
            measured_html.unlink()
            parser = Text()
            parser.feed(dom)
            measure = parser.measured
            if measure is None:
                failures.append(f"{stem}: the measuring script wrote nothing")
            else:
                if measure["wide"]:
                    failures.append(f"{stem}: wider than {TEXT_WIDTH_MM} mm: {measure['wide'][:5]}")
                if measure["scroll"] > measure["client"]:
                    failures.append(f"{stem}: the page scrolls sideways ({measure['scroll']} > {measure['client']} px)")
            text = parser.text()
            for where, shown in expected_texts(report, digits):
                if not any(s in text for s in shown):
                    failures.append(f"{stem}: {where}: none of {shown[:2]} is on the page")

            # Printed on each paper, with a copy that asks for A4 (Chromium's own default is Letter).
            a4 = out_dir / f"{stem}.a4.html"
            a4.write_text(page.replace("</style>", "@page { size: A4; }\n</style>", 1), encoding="utf-8")
            for paper, source, expected_width in (("letter", sheet, 612.0), ("a4", a4, 595.0)):
                pdf = out_dir / f"{stem}.{paper}.pdf"
                chromium(browser, ["--no-pdf-header-footer", f"--print-to-pdf={pdf}"], source.as_uri())
                pages, width = pdf_pages(pdf)
                if abs(width - expected_width) > 1.0:
                    failures.append(f"{stem}: {paper} printed {width} pt wide, not {expected_width}")
                if pages > 2:
                    failures.append(f"{stem}: {pages} pages on {paper}")
                outside = words_outside(pdf, width)
                if outside:
                    failures.append(f"{stem}: words in the margin on {paper}: {outside[:5]}")
            a4.unlink()
            chromium(browser, ["--window-size=794,2200", "--hide-scrollbars", f"--screenshot={out_dir / (stem + '.png')}"], sheet.as_uri())
            print(f"{stem}: rendered ({len(page)} bytes)")
    for failure in failures:
        print("FAIL", failure)
    print(f"{len(cases) * 2} datasheets, {len(failures)} failures; screenshots in {out_dir}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
