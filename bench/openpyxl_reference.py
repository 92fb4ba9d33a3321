#!/usr/bin/python3
"""Reference for the engine benchmark over .xlsx: the same form check as the
engine's, through Debian's python3-openpyxl in read-only mode with the cached
formula results. Reads the areas of the defined names Data_Adr and T_Check
and prints the lines reference_common.check_lines makes.

Usage: openpyxl_reference.py WORKBOOK.xlsx
"""

import datetime
import os
import sys

import openpyxl
from openpyxl.utils.cell import range_boundaries

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from reference_common import check_lines, column_names  # noqa: E402


def cell_value(v):
    if isinstance(v, (datetime.datetime, datetime.date, datetime.time)):
        return None   # the form's tables hold no dates
    return v


def read_table(book, name):
    defined = book.defined_names.get(name)
    sheet_title, ref = next(iter(defined.destinations))
    min_col, min_row, max_col, max_row = range_boundaries(ref.replace("$", ""))
    sheet = book[sheet_title]
    grid = [[cell_value(v) for v in r]
            for r in sheet.iter_rows(min_row=min_row, max_row=max_row, min_col=min_col, max_col=max_col,
                                     values_only=True)]
    return column_names(grid[0]), grid[1:]


def main():
    book = openpyxl.load_workbook(sys.argv[1], read_only=True, data_only=True)
    lines = check_lines(read_table(book, "Data_Adr"), read_table(book, "T_Check"))
    book.close()
    sys.stdout.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
