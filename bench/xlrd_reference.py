#!/usr/bin/python3
"""Reference for the engine benchmark: the same form check as the engine's,
through Debian's python3-xlrd. Opens the .xls (sheets loaded on demand, so
only the two tables' sheets are parsed), reads the areas of the defined names
Data_Adr and T_Check, and prints the lines reference_common.check_lines makes.

Usage: xlrd_reference.py WORKBOOK.xls
"""

import os
import sys

import xlrd

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from reference_common import check_lines, column_names  # noqa: E402


def cell_value(cell):
    if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK, xlrd.XL_CELL_ERROR):
        return None
    if cell.ctype == xlrd.XL_CELL_BOOLEAN:
        return bool(cell.value)
    return cell.value   # text as str, numbers and dates as float


def read_table(book, name):
    sheet, row_lo, row_hi, col_lo, col_hi = book.name_map[name.lower()][0].area2d()
    grid = []
    for r in range(row_lo, row_hi):
        grid.append([cell_value(sheet.cell(r, c)) if r < sheet.nrows and c < sheet.row_len(r) else None
                     for c in range(col_lo, col_hi)])
    return column_names(grid[0]), grid[1:]


def main():
    book = xlrd.open_workbook(sys.argv[1], on_demand=True)
    lines = check_lines(read_table(book, "Data_Adr"), read_table(book, "T_Check"))
    sys.stdout.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
