#!/usr/bin/python3
"""Dumps a table as an independent reader (dbfread) sees it, as JSON: one
JSON document per line, the first describing the table, then one per record
in physical order up to the end mark (deleted records included).

    dbf_dump.py TABLE ENCODING

ENCODING is a Python codec (cp852, cp1250 ...) for character and memo
fields, or "hex": the bytes of every character and memo value as
hexadecimal (for code pages Python has no codec for, such as Kamenický).

    {"fields": ["NAME", ...], "header_count": N}
    {"deleted": false, "values": ["text", "12.5", null, ...]}

Every value is a string or null: text as read (trailing blanks dropped),
numbers as Python prints them, dates as YYYY-MM-DD, date-times as
YYYY-MM-DD HH:MM:SS, logical values as True or False.
"""
import json
import struct
import sys

import dbfread


class AnyRecord:
    """Matches live and deleted records alike and remembers which it saw."""

    def __init__(self):
        self.last = None

    def __eq__(self, other):
        self.last = other
        return other in (b' ', b'*')

    def __hash__(self):
        return 0


def text_of(value, hex_text):
    if value is None:
        return None
    if isinstance(value, bool):
        return 'True' if value else 'False'
    if isinstance(value, bytes):
        return value.hex()
    if isinstance(value, str):
        value = value.rstrip(' \0')
        return value.encode('latin-1').hex() if hex_text else value
    if hasattr(value, 'hour'):
        return value.strftime('%Y-%m-%d %H:%M:%S')
    if hasattr(value, 'isoformat'):
        return value.isoformat()
    return str(value)


def main():
    path, encoding = sys.argv[1], sys.argv[2]
    hex_text = encoding == 'hex'
    table = dbfread.DBF(path, encoding='latin-1' if hex_text else encoding,
                        char_decode_errors='strict', ignore_missing_memofile=True)
    with open(path, 'rb') as f:
        header_count = struct.unpack('<I', f.read(8)[4:8])[0]
    out = sys.stdout
    out.write(json.dumps({'fields': table.field_names, 'header_count': header_count},
                         ensure_ascii=False) + '\n')
    kind = AnyRecord()
    for record in table._iter_records(kind):
        values = [text_of(v, hex_text) for v in record.values()]
        out.write(json.dumps({'deleted': kind.last == b'*', 'values': values},
                             ensure_ascii=False) + '\n')


if __name__ == '__main__':
    main()
