"""Measured profiles from text files: read_profile."""

import collections
import math
import os

import numpy as np

Profile = collections.namedtuple("Profile", "x y sigma")
Profile.__doc__ = "A measured profile: positions x, values y, their standard deviations or None."


def _fields(line, delimiter):
    if delimiter is None:
        return line.split()
    return [field.strip().strip('"').strip("'").strip() for field in line.split(delimiter)]


def _is_number(text):
    try:
        float(text)
    except ValueError:
        return False
    return True


def _column_index(wanted, names, width, role, path):
    """The 0-based index of a column given by number (counted from 1) or by header name."""
    if isinstance(wanted, bool):
        raise TypeError(f"{role}: a column number or name, not {wanted!r}")
    if isinstance(wanted, str) and wanted.strip().isdigit():
        wanted = int(wanted)
    if isinstance(wanted, int):
        if not 1 <= wanted <= width:
            raise ValueError(f"{path}: {role} column {wanted} does not exist: columns count from 1 "
                             f"to {width}")
        return wanted - 1
    if not isinstance(wanted, str):
        raise TypeError(f"{role}: a column number or name, not {type(wanted).__name__}")
    if names is None:
        raise ValueError(f"{path}: {role} column {wanted!r}: the file has no header naming its "
                         "columns; give the column's number, counted from 1")
    if wanted in names:
        return names.index(wanted)
    folded = [k for k, name in enumerate(names) if name.casefold() == wanted.casefold()]
    if len(folded) == 1:
        return folded[0]
    raise ValueError(f"{path}: no column named {wanted!r}; the header names "
                     + ", ".join(repr(name) for name in names))


def read_profile(path, x=1, y=2, sigma=None, *, delimiter=None):
    """Profile(x, y, sigma) from a text file of columns, as float64 arrays.

    The file is whitespace-separated text, CSV or TSV: the delimiter is the
    first of ",", tab and ";" found in the first data line, else any run of
    spaces and tabs (delimiter= names it instead). Blank lines and lines
    starting with "#" are skipped. The column names come from a header, the
    first line that is not all numbers, or else from the last comment line
    before the data when it has one name per column ("# x intensity").
    x, y and sigma choose columns by number, counted from 1 as gnuplot and
    cut count them, or by name (an exact match, else the one match ignoring
    case); sigma=None reads no standard deviations. Every data line must hold
    the file's number of columns, and every chosen field a finite number:
    anything else is a ValueError naming the file and line. Decimal commas
    are not read.
    """
    path = os.fspath(path)
    names = None
    last_comment = None
    width = None
    rows = []
    with open(path, encoding="utf-8-sig") as lines:
        for number, line in enumerate(lines, 1):
            text = line.strip()
            if not text:
                continue
            if text.startswith("#"):
                if width is None:
                    last_comment = text.lstrip("#").strip()
                continue
            if width is None:
                if delimiter is None:
                    delimiter = next((d for d in (",", "\t", ";") if d in text), None)
                fields = _fields(text, delimiter)
                if names is None and not all(_is_number(f) for f in fields):
                    names = fields
                    if len(set(names)) != len(names):
                        raise ValueError(f"{path}:{number}: the header names a column twice")
                    continue
                width = len(fields)
                if names is not None and len(names) != width:
                    raise ValueError(f"{path}:{number}: {width} columns, but the header names "
                                     f"{len(names)}")
                if names is None and last_comment is not None:
                    candidate = _fields(last_comment, delimiter)
                    if len(candidate) == width and len(set(candidate)) == width:
                        names = candidate
            fields = _fields(text, delimiter)
            if len(fields) != width:
                raise ValueError(f"{path}:{number}: {len(fields)} columns where the file has "
                                 f"{width}")
            rows.append((number, fields))
    if not rows:
        raise ValueError(f"{path}: no data lines")
    roles = [("x", x), ("y", y)] + ([("sigma", sigma)] if sigma is not None else [])
    columns = {}
    for role, wanted in roles:
        k = _column_index(wanted, names, width, role, path)
        values = []
        for number, fields in rows:
            try:
                value = float(fields[k])
            except ValueError:
                raise ValueError(f"{path}:{number}: the {role} column holds {fields[k]!r}, not a "
                                 "number") from None
            if not math.isfinite(value):
                raise ValueError(f"{path}:{number}: the {role} column holds {fields[k]!r}, not a "
                                 "finite number")
            values.append(value)
        columns[role] = values
    return Profile(np.array(columns["x"]), np.array(columns["y"]),
                   np.array(columns["sigma"]) if sigma is not None else None)
