"""What the reference scripts share: the three statements of a form check,
evaluated in plain Python over a table read by some other library, and the
printed form of values, so that each script prints the very lines the
engine's vers_print_form prints.

A table is (columns, rows): column names from the area's first row, then
each further row as a list of None, float, str or bool.
"""

from decimal import Decimal


def format_number(v):
    """A number as the engine prints it: an integral value without a
    fraction, any other value in the shortest form that reads back as the
    same double, fixed or scientific, whichever is shorter (fixed on a tie)."""
    if v == 0:
        return "0"
    if v == int(v) and abs(v) < 1e21:
        return "%d" % int(v)
    sign, digits, exponent = Decimal(repr(v)).as_tuple()   # repr is the shortest round trip
    digits = "".join(map(str, digits)).rstrip("0") or "0"
    exponent += len("".join(map(str, Decimal(repr(v)).as_tuple()[1]))) - len(digits)
    minus = "-" if sign else ""
    point = len(digits) + exponent   # position of the decimal point in digits
    if point <= 0:
        fixed = "0." + "0" * -point + digits
    elif point >= len(digits):
        fixed = digits + "0" * (point - len(digits))
    else:
        fixed = digits[:point] + "." + digits[point:]
    e = point - 1
    scientific = digits[0] + ("." + digits[1:] if len(digits) > 1 else "") + \
        "e" + ("-" if e < 0 else "+") + "%02d" % abs(e)
    return minus + (fixed if len(fixed) <= len(scientific) else scientific)


def to_text(v):
    if v is None:
        return ""
    if isinstance(v, bool):
        return "TRUE" if v else "FALSE"
    if isinstance(v, (int, float)):
        return format_number(float(v))
    return str(v)


def column_names(header):
    """Header cells as column names; an empty one is F1, F2, ... by position."""
    return [to_text(v) if v not in (None, "") else "F%d" % (i + 1) for i, v in enumerate(header)]


def sort_key(v):
    """Nulls first, then numbers, then texts, then Booleans."""
    if v is None:
        return (0, 0)
    if isinstance(v, bool):
        return (3, v)
    if isinstance(v, (int, float)):
        return (1, float(v))
    return (2, v)


def check_lines(data_adr, t_check):
    """The lines of a form check: the form code, the element captions
    (Select (Name &  Val) as CaptionInForm, ID_Element from Data_Adr) and the
    failed checks (Select ID_Form, ID_Section, ID_Rule, ID_Check, Name, Result
    from T_Check where Result>0 Order by ID_Form, ID_Section, ID_Rule, ID_Check)."""
    lines = []
    cols, rows = data_adr
    ide, name, val = cols.index("ID_Element"), cols.index("Name"), cols.index("Val")
    code = next((r[val] for r in rows if r[ide] == "P_OKUD"), None)
    lines.append("P_OKUD\t" + to_text(code))
    for r in rows:
        lines.append(to_text(r[name]) + to_text(r[val]) + "\t" + to_text(r[ide]))

    cols, rows = t_check
    keys = [cols.index(k) for k in ("ID_Form", "ID_Section", "ID_Rule", "ID_Check")]
    shown = keys + [cols.index("Name"), cols.index("Result")]
    result = cols.index("Result")
    failed = [r for r in rows
              if isinstance(r[result], (int, float)) and not isinstance(r[result], bool) and r[result] > 0]
    failed.sort(key=lambda r: [sort_key(r[k]) for k in keys])
    for r in failed:
        lines.append("\t".join(to_text(r[i]) for i in shown))
    return lines
