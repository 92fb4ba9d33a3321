#!/usr/bin/python3
"""Reference for the batch benchmark: the verification run of vers-check
over many .xls workbooks, written in Python over Debian's python3-xlrd. It
reads the same areas (the defined names Data_Adr and T_Check), identifies
each form by P_OKUD against the same list of codes and writes the same
report (windows-1251, CR LF), so that the two can be timed against each
other and their reports compared (date and time lines aside).

Usage: batch_xlrd_check.py REPORT WORKBOOK.xls...
"""

import os
import sys
import time

import xlrd

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from reference_common import sort_key, to_text  # noqa: E402
from xlrd_reference import read_table  # noqa: E402

ALLOWED = "#0606024#0606021#0606020#0606026#0000001#0000002#0609552#0609535#0609549#0609541#0609537#0609546#"
BANNER = ["*" * 66, "***      Ошибка №1: Неизвестный документ!!!      ***", "*" * 66]


def now():
    return time.strftime("%H:%M:%S")


def identify(book):
    cols, rows = read_table(book, "Data_Adr")
    ide, val = cols.index("ID_Element"), cols.index("Val")
    row = next(r for r in rows if r[ide] == "P_OKUD")
    if row[val] is None:
        raise ValueError("empty code")
    code = to_text(row[val])
    return code if "#" + code + "#" in ALLOWED else "0"


def known_lines(book):
    lines = []
    cols, rows = read_table(book, "Data_Adr")
    ide, name, val = cols.index("ID_Element"), cols.index("Name"), cols.index("Val")
    if rows:
        for element in ("P_FormName", "P_Name"):
            row = next((r for r in rows if r[ide] == element), None)
            lines.append("" if row is None else to_text(row[name]) + to_text(row[val]))
    cols, rows = read_table(book, "T_Check")
    keys = [cols.index(k) for k in ("ID_Form", "ID_Section", "ID_Rule", "ID_Check")]
    name, result = cols.index("Name"), cols.index("Result")
    failed = [r for r in rows
              if isinstance(r[result], (int, float)) and not isinstance(r[result], bool) and r[result] > 0]
    failed.sort(key=lambda r: [sort_key(r[k]) for k in keys])
    lines += [to_text(r[name]) for r in failed] or ["Ошибки в документе не найдены."]
    return lines


def main():
    report, paths = sys.argv[1], sys.argv[2:]
    with open(report, "wb") as out:
        for path in paths:
            book, code = None, ""
            try:
                book = xlrd.open_workbook(path, on_demand=True)
                code = identify(book)
            except Exception:
                pass
            lines = ["Файл: " + path, "Дата: " + time.strftime("%d.%m.%Y") + "   " + now()]
            lines += known_lines(book) if code > "0" else BANNER
            lines += ["Проверка завершена: " + now() + ".", "", "", ""]
            out.write("".join(line + "\r\n" for line in lines).encode("cp1251", "replace"))
            if book is not None:
                book.release_resources()


if __name__ == "__main__":
    main()
