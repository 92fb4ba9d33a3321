#!/usr/bin/env python3
"""Makes the benchmark's form workbook: a large filled-in reporting form of
30 sheets (a title sheet, 26 section sheets of numbers, Cyrillic captions and
total formulas, a reference list, the element table Data_Adr and the check
table T_Check), written as a flat OpenDocument file and saved by LibreOffice.

Usage: make_bench_form.py [--formats xls,ods,xlsx] [--outdir DIR] [--keep-fods] [--locked]

The content is fixed by a seeded generator, so every run writes the same
workbook. By default it writes bench/forms/big_form.xls, the file the
benchmark reads (about 5 MB), which is committed so that the benchmark needs
no office suite; the .ods and .xlsx copies for the XML readers are made on
demand with --formats (bench/run_bench.sh puts them in its build folder).
With --locked the workbook's structure is protected, which LibreOffice saves
as an .xls encrypted with RC4 under the default password: big_form_locked.xls
measures the cost of decryption beside the plain form.
"""

import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
from xml.sax.saxutils import escape

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)

FORM_CODE = "0606024"
SECTIONS = 26
GROUPS = 69          # per section: one total row over five detail rows
DETAILS = 5
VALUE_COLS = 20      # columns C.. of numbers
CHECKS = 400
FAILING_CHECKS = 60
ELEMENTS_PER_SECTION = 115

WORDS = ("расходы доходы оплата труда численность работников выплаты социального характера "
         "материальные затраты амортизация основных средств налоги сборы прочие поступления "
         "по видам деятельности отчётный период предыдущий год средства бюджета собственные "
         "средства инвестиции капитальный ремонт строительство оборудование транспорт связь").split()

HEADER_ROWS = 3


def col_name(index):
    """Column letters of a 0-based index: 0 -> A, 26 -> AA."""
    name = ""
    index += 1
    while index:
        index, rem = divmod(index - 1, 26)
        name = chr(ord("A") + rem) + name
    return name


def text_cell(text):
    return ('<table:table-cell office:value-type="string"><text:p>%s</text:p></table:table-cell>'
            % escape(text))


def number_cell(value, formula=None):
    shown = ("%d" % value) if value == int(value) else repr(value)
    attr = ' table:formula="%s"' % escape(formula, {'"': "&quot;"}) if formula else ""
    return ('<table:table-cell%s office:value-type="float" office:value="%s"><text:p>%s</text:p>'
            '</table:table-cell>' % (attr, shown, shown))


def row(cells):
    return "<table:table-row>" + "".join(cells) + "</table:table-row>\n"


def sheet_ref(sheet, cell):
    return "[$'%s'.%s]" % (sheet, cell)


class Form:
    def __init__(self, seed=20261211):
        self.rng = random.Random(seed)
        self.sections = []   # per section: its sheet name and grid of values
        self.tables = []     # (sheet name, xml rows)

    def phrase(self, words):
        return " ".join(self.rng.choice(WORDS) for _ in range(words))

    def number(self):
        # Mostly whole thousands of roubles, some with one decimal.
        if self.rng.random() < 0.8:
            return float(self.rng.randrange(0, 500000))
        return self.rng.randrange(0, 5000000) / 10

    def title_sheet(self):
        rows = [row([text_cell("Федеральное статистическое наблюдение")]),
                row([text_cell("Сведения о финансовых показателях организации за 2026 год")]),
                row([text_cell("Код формы по ОКУД"), text_cell(FORM_CODE)])]
        for i in range(40):
            rows.append(row([text_cell("Реквизит %d: %s" % (i + 1, self.phrase(4))),
                             text_cell(self.phrase(3).capitalize())]))
        self.tables.append(("Титульный лист", rows))

    def section_sheet(self, number):
        name = "Раздел %d" % number
        rows = [row([text_cell("Раздел %d. %s" % (number, self.phrase(5).capitalize()))]),
                row([text_cell("в тысячах рублей")]),
                row([text_cell("Наименование показателя"), text_cell("№ строки")] +
                    [text_cell("Графа %d" % (c + 3)) for c in range(VALUE_COLS)])]
        grid = {}    # (sheet row 1-based, col index) -> value
        wrong = []   # (group, col) whose total is typed in, not summed
        line = 10
        for group in range(GROUPS):
            total_row = HEADER_ROWS + 1 + group * (DETAILS + 1)
            details = []
            for d in range(DETAILS):
                details.append([self.number() for _ in range(VALUE_COLS)])
            totals = []
            for c in range(VALUE_COLS):
                s = round(sum(details[d][c] for d in range(DETAILS)), 1)   # as a spreadsheet sums decimals
                col = col_name(2 + c)
                if self.rng.random() < 0.03:
                    typed = s + self.rng.randrange(1, 1000)
                    totals.append(number_cell(typed))
                    grid[(total_row, c)] = typed
                    wrong.append((group, c))
                else:
                    formula = "of:=SUM([.%s%d:.%s%d])" % (col, total_row + 1, col, total_row + DETAILS)
                    totals.append(number_cell(s, formula))
                    grid[(total_row, c)] = s
            rows.append(row([text_cell("Итого по группе %d: %s" % (group + 1, self.phrase(3))),
                             text_cell("%03d" % line)] + totals))
            line += 1
            for d in range(DETAILS):
                for c in range(VALUE_COLS):
                    grid[(total_row + 1 + d, c)] = details[d][c]
                rows.append(row([text_cell("в том числе: " + self.phrase(4)), text_cell("%03d" % line)] +
                                [number_cell(v) for v in details[d]]))
                line += 1
        self.tables.append((name, rows))
        self.sections.append((name, grid, wrong))

    def reference_sheet(self):
        rows = [row([text_cell("Код"), text_cell("Наименование")])]
        for i in range(300):
            rows.append(row([text_cell("%05d" % (i * 7 + 11)), text_cell(self.phrase(6).capitalize())]))
        self.tables.append(("Справочник", rows))

    def element_sheet(self):
        rows = [row([text_cell("ID_Element"), text_cell("Name"), text_cell("Val")]),
                row([text_cell("P_OKUD"), text_cell("Код формы по ОКУД: "), text_cell(FORM_CODE)]),
                row([text_cell("P_FormName"), text_cell("Форма № П-4 "),
                     text_cell("Сведения о финансовых показателях организации")]),
                row([text_cell("P_Name"), text_cell("Организация: "), text_cell("ООО «Северный ветер»")])]
        for number, (name, grid, _) in enumerate(self.sections, start=1):
            cells = self.rng.sample(sorted(grid), ELEMENTS_PER_SECTION)
            for sheet_row, c in sorted(cells):
                line = 10 + sheet_row - HEADER_ROWS - 1
                address = "%s%d" % (col_name(2 + c), sheet_row)
                rows.append(row([text_cell("R%d_%03d_G%d" % (number, line, c + 3)),
                                 text_cell("Раздел %d, строка %03d, графа %d: " % (number, line, c + 3)),
                                 number_cell(grid[(sheet_row, c)], "of:=" + sheet_ref(name, address))]))
        self.data_adr_rows = len(rows)
        self.tables.append(("Адреса", rows))

    def check_sheet(self):
        rows = [row([text_cell(h) for h in ("ID_Form", "ID_Section", "ID_Rule", "ID_Check", "Name", "Result")])]
        typed_in = [(number, group, c) for number, (_, _, wrong) in enumerate(self.sections, start=1)
                    for group, c in wrong]
        candidates = self.rng.sample(typed_in, min(FAILING_CHECKS, len(typed_in)))   # these fail
        failing = 0
        while len(candidates) < CHECKS:
            key = (self.rng.randrange(1, SECTIONS + 1), self.rng.randrange(GROUPS), self.rng.randrange(VALUE_COLS))
            if key not in candidates:
                candidates.append(key)
        self.rng.shuffle(candidates)   # the sheet's order is not the checks' order
        for number, group, c in candidates:
            name, grid, _ = self.sections[number - 1]
            total_row = HEADER_ROWS + 1 + group * (DETAILS + 1)
            col = col_name(2 + c)
            detail_sum = sum(grid[(total_row + 1 + d, c)] for d in range(DETAILS))
            result = 1.0 if abs(grid[(total_row, c)] - detail_sum) > 0.001 else 0.0
            failing += result > 0
            formula = "of:=IF(ABS(%s-SUM(%s))>0.001;1;0)" % (
                sheet_ref(name, "%s%d" % (col, total_row)),
                "[$'%s'.%s%d:.%s%d]" % (name, col, total_row + 1, col, total_row + DETAILS))
            line = 10 + group * (DETAILS + 1)
            rows.append(row([text_cell(FORM_CODE), number_cell(number), number_cell(group + 1),
                             number_cell(c + 3),
                             text_cell("Раздел %d: строка %03d графы %d равна сумме строк %03d-%03d"
                                       % (number, line, c + 3, line + 1, line + DETAILS)),
                             number_cell(result, formula)]))
        self.t_check_rows = len(rows)
        self.failing = failing
        self.tables.append(("Контроль", rows))

    def fods(self, locked=False):
        spreadsheet = '<office:spreadsheet table:structure-protected="true">' if locked else "<office:spreadsheet>"
        out = ['<?xml version="1.0" encoding="UTF-8"?>\n'
               '<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"'
               ' xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"'
               ' xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"'
               ' xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2"'
               ' office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">\n'
               '<office:body>\n' + spreadsheet + '\n']
        for name, rows in self.tables:
            out.append('<table:table table:name="%s">\n' % escape(name))
            out.extend(rows)
            out.append("</table:table>\n")
        out.append("<table:named-expressions>\n")
        out.append('<table:named-range table:name="Data_Adr" table:base-cell-address="$\'Адреса\'.$A$1"'
                   ' table:cell-range-address="$\'Адреса\'.$A$1:.$C$%d"/>\n' % self.data_adr_rows)
        out.append('<table:named-range table:name="T_Check" table:base-cell-address="$\'Контроль\'.$A$1"'
                   ' table:cell-range-address="$\'Контроль\'.$A$1:.$F$%d"/>\n' % self.t_check_rows)
        out.append("</table:named-expressions>\n</office:spreadsheet>\n</office:body>\n</office:document>\n")
        return "".join(out)


def build():
    form = Form()
    form.title_sheet()
    for number in range(1, SECTIONS + 1):
        form.section_sheet(number)
    form.reference_sheet()
    form.element_sheet()
    form.check_sheet()
    assert len(form.tables) == 30
    return form


def convert(fods, formats, outdir):
    stem = os.path.splitext(os.path.basename(fods))[0]
    with tempfile.TemporaryDirectory() as work:
        profile = "file://" + os.path.join(work, "profile")   # no clash with a running office
        for fmt in formats:
            subprocess.run(["soffice", "--headless", "-env:UserInstallation=" + profile,
                            "--convert-to", fmt, "--outdir", work, fods],
                           check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            made = os.path.join(work, stem + "." + fmt)
            if not os.path.exists(made) or not os.path.getsize(made):
                sys.exit("LibreOffice did not write %s.%s" % (stem, fmt))
            shutil.copyfile(made, os.path.join(outdir, stem + "." + fmt))
            print("made %s (%d bytes)" % (os.path.join(outdir, stem + "." + fmt), os.path.getsize(made)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--formats", default="xls", help="comma-separated: xls, ods, xlsx")
    parser.add_argument("--outdir", default=os.path.join(TOP, "bench", "forms"))
    parser.add_argument("--keep-fods", action="store_true", help="also keep the .fods source in outdir")
    parser.add_argument("--locked", action="store_true",
                        help="protect the workbook's structure and write big_form_locked.*")
    args = parser.parse_args()
    stem = "big_form_locked" if args.locked else "big_form"

    form = build()
    os.makedirs(args.outdir, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        fods = os.path.join(work, stem + ".fods")
        with open(fods, "w", encoding="utf-8") as f:
            f.write(form.fods(locked=args.locked))
        if args.keep_fods:
            shutil.copyfile(fods, os.path.join(args.outdir, stem + ".fods"))
        convert(fods, [f for f in args.formats.split(",") if f], args.outdir)
    print("Data_Adr: %d rows, T_Check: %d rows, %d failing checks"
          % (form.data_adr_rows - 1, form.t_check_rows - 1, form.failing))


if __name__ == "__main__":
    main()
