"""The report's index.html: one table row per micrograph, sortable by clicking a column's header or
by the address (index.html#sort=resolution, #sort=-resolution for descending). Self-contained:
no external script, style sheet or font, so it works offline."""
import html
import math
import os
from urllib.parse import quote

# key -> (header, digits shown); the cell keeps the STAR file's own text for sorting and checks.
NUMBER_COLUMNS = {
    "defocus_u": ("defocus U (Å)", 1),
    "defocus_v": ("defocus V (Å)", 1),
    "astigmatism": ("astigmatism |U-V| (Å)", 1),
    "angle": ("angle (°)", 2),
    "phase_shift": ("phase shift (°)", 2),
    "resolution": ("resolution (Å)", 3),
    "fom": ("figure of merit", 4),
}

STYLE = """
body { font-family: sans-serif; margin: 1em; }
table { border-collapse: collapse; font-size: 13px; }
th, td { border: 1px solid #ccc; padding: 2px 6px; text-align: right; }
td.name, th.name { text-align: left; }
th[data-key] { cursor: pointer; background: #eef; user-select: none; }
th.asc::after { content: " \\25B2"; }
th.desc::after { content: " \\25BC"; }
td.note { color: #888; font-size: 11px; text-align: left; max-width: 10em; }
tr.rejected td { background: #fee; }
img.thumb { display: block; }
"""

SCRIPT = """
(function () {
  var table = document.getElementById("micrographs");
  var body = table.tBodies[0];
  var headers = Array.prototype.slice.call(table.tHead.rows[0].cells);
  function sortBy(key, descending) {
    var column = headers.findIndex(function (h) { return h.dataset.key === key; });
    if (column < 0) return;
    var numeric = headers[column].dataset.type === "number";
    var rows = Array.prototype.slice.call(body.rows);
    rows.sort(function (a, b) {
      var x = a.cells[column].dataset.v, y = b.cells[column].dataset.v;
      if (numeric) {
        x = parseFloat(x); y = parseFloat(y);
        if (isNaN(x) || isNaN(y)) return isNaN(x) - isNaN(y);  /* missing values last */
        return descending ? y - x : x - y;
      }
      var c = x.localeCompare(y, undefined, {numeric: true});
      return descending ? -c : c;
    });
    rows.forEach(function (r) { body.appendChild(r); });
    headers.forEach(function (h) { h.classList.remove("asc", "desc"); });
    headers[column].classList.add(descending ? "desc" : "asc");
  }
  function sortFromAddress() {
    var m = /sort=(-?)(\\w+)/.exec(decodeURIComponent(location.hash));
    if (m) sortBy(m[2], m[1] === "-");
  }
  headers.forEach(function (h) {
    if (!h.dataset.key) return;
    h.addEventListener("click", function () {
      location.hash = "sort=" + (h.classList.contains("asc") ? "-" : "") + h.dataset.key;
    });
  });
  window.addEventListener("hashchange", sortFromAddress);
  sortFromAddress();
})();
"""


def escape(value):
    return html.escape(str(value), quote=True)


def number_text(value, digits):
    return "–" if value is None or math.isnan(value) else f"{value:.{digits}f}"


def cell(value, shown, css=""):
    css = f' class="{css}"' if css else ""
    return f'<td{css} data-v="{escape(value)}">{escape(shown)}</td>'


def columns_of(keys, has_bfactor, has_validation, has_selection):
    columns = [("name", "micrograph", "text")]
    columns += [(key, NUMBER_COLUMNS[key][0], "number") for key in keys]
    if has_bfactor:
        columns.append(("bfactor", "B-factor (Å²)", "number"))
    if has_validation:
        columns.append(("validation", "validation grades (bands from low to high resolution)", "number"))
    if has_selection:
        columns.append(("selected", "selected", "number"))
    return columns


def row_cells(m, columns, picture_dir, thumbnail_dir):
    if m.note:
        cells = [f'<td class="note">no picture: {escape(m.note)}</td>']
    else:
        cells = [f'<td><a href="{escape(picture_dir + "/" + m.picture)}"><img class="thumb" loading="lazy" '
                 f'width="64" height="64" alt="" src="{escape(thumbnail_dir + "/" + m.picture)}"></a></td>']
    for key, _, _ in columns:
        if key == "name":
            cells.append(cell(m.name, m.name, "name"))
        elif key == "bfactor":
            cells.append(cell(m.bfactor if m.bfactor is not None else "", number_text(m.bfactor, 2)))
        elif key == "validation":
            scores = [score for _, score in m.validation]
            mean = sum(scores) / len(scores) if scores else ""
            shown = " ".join(str(s) for s in scores) or "–"
            bands = ", ".join(f"{band}: {score}" for band, score in m.validation)
            cells.append(f'<td data-v="{escape(mean)}" title="{escape(bands)}">{escape(shown)}</td>')
        elif key == "selected":
            cells.append(cell(int(m.selected), "yes" if m.selected else "no"))
        else:
            value = m.values[key]
            cells.append(cell(m.texts.get(key, repr(value)), number_text(value, NUMBER_COLUMNS[key][1])))
    rejected = ' class="rejected"' if m.selected is False else ""
    return f'<tr{rejected} data-name="{escape(m.name)}">' + "".join(cells) + "</tr>"


def write_page(path, micrographs, keys, summary, links, picture_dir, thumbnail_dir, plots):
    """links: (text, href) pairs shown under the summary, e.g. the selection STAR file."""
    columns = columns_of(keys, any(m.bfactor is not None for m in micrographs),
                         any(m.validation for m in micrographs), any(m.selected is not None for m in micrographs))
    head = "<th>picture</th>" + "".join(
        f'<th{" class=name" if key == "name" else ""} data-key="{key}" data-type="{kind}">{escape(title)}</th>'
        for key, title, kind in columns)
    rows = "\n".join(row_cells(m, columns, picture_dir, thumbnail_dir) for m in micrographs)
    link_items = "".join(f'<li><a href="{escape(quote(href))}">{escape(text)}</a></li>' for text, href in links)
    plot = f'<p><img src="{escape(plots)}" alt="defocus, astigmatism and resolution over the run"></p>' if plots else ""
    page = f"""<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>quib report</title>
<style>{STYLE}</style>
</head>
<body>
<h1>quib report</h1>
<p id="summary">{escape(summary)}</p>
<ul>{link_items}</ul>
{plot}
<p>Click a column's header to sort by it, again to reverse; the address keeps the order (#sort=resolution).</p>
<table id="micrographs">
<thead><tr>{head}</tr></thead>
<tbody>
{rows}
</tbody>
</table>
<script>{SCRIPT}</script>
</body>
</html>
"""
    with open(path + ".part", "w", encoding="utf-8") as f:
        f.write(page)
    os.replace(path + ".part", path)  # a browser reloading the page never sees half of it
