#!/usr/bin/python3
"""Turns one expected-values file of the table corpus (JSON written by an
independent reader) into the line format CorpusValuesTest reads.

    corpus_expected.py CORPUS_DIR EXPECTED_JSON

Output, one item per line, fields separated by single spaces:

    OPEN error|open|either     error: the table must be refused with an error
                               (no header, or a field letter the engine does
                               not know); either: malformed, an error or a
                               safe reading are both right; open: must open
    TABLE <path relative to the corpus>
    COUNT <whole records in the file>
    TEXT utf8|bytes            utf8: strings compare as the engine's UTF-8
                               (Windows 1250 tables); bytes: as raw bytes
    FIELD <name hex> <letter> <length> <decimals>
    REC <physical record number> <deleted 0|1>
    V <field> <kind> [<payload>]

Kinds of V: N empty; L 0|1; I <int>; F <float>; D <yyyy-mm-dd>;
T <yyyy-mm-ddThh:mm:ss[.ffffff]>; Y <money x 10000>; S <hex> text bytes
(W <hex>: the same, '?' standing for any byte the reader could not decode);
B <hex> raw field bytes; M <hex> / MW <hex> memo text; MB <length> <hex
prefix> binary memo; X <reason> not comparable.

Strings are given in the encoding the reader used (or the table's true one
where the reader's section for it exists), cut at the first zero byte as the
engine reads them (dbfread keeps zero bytes inside a value); memo texts are
not cut. MEMOFILE <dbt3|dbt4|fpt> <block size> <dbfread|other>: the table's
memo file is there, its kind, and which reader's values follow.
"""
import json
import os
import sys

KNOWN = set("CNFDLMBGIO@TY0") | {"\x91"}


def hexs(b):
    return b.hex() if b else "-"


def main():
    corpus, path = sys.argv[1], sys.argv[2]
    d = json.load(open(path, encoding="utf-8"))
    out = []
    w = out.append
    w("TABLE " + d["file"])
    header = d.get("header")
    fields = d.get("fields")
    if not header or fields is None:
        w("OPEN error")
        print("\n".join(out))
        return
    version = int(header["version_byte"], 16)
    dbase7 = (version & 7) == 4
    unknown = [f["type"] for f in fields
               if f["type"].upper() not in KNOWN and not (f["type"] == "+" and dbase7)]
    if unknown or version == 0x02:
        w("OPEN error")
        print("\n".join(out))
        return
    malformed = (d.get("malformed") or d.get("records_with_other_flag_byte")
                 or header.get("sum_field_lengths_plus_1") != header["record_length"])
    w("OPEN " + ("either" if malformed else "open"))
    w("COUNT %d" % header["record_count_from_size"])

    section = None
    encoding = None
    if d.get("dbfread_alt_encoding"):
        section = d["dbfread_alt_encoding"]
    elif d.get("fallback_reader"):
        section = d["fallback_reader"]
    elif d["dbfread"].get("status") in ("ok", "ok_with_options"):
        section = d["dbfread"]
    encoding = (section or {}).get("encoding") or d.get("encoding_used") or "latin-1"
    utf8 = encoding.lower().replace("-", "") == "cp1250"
    w("TEXT " + ("utf8" if utf8 else "bytes"))
    memo = d.get("memo") or {}
    if memo.get("memo_file"):
        info = memo.get("memo_file_info") or {}
        kind = info.get("kind", "")
        style = "dbt3" if "dBase III" in kind else "dbt4" if "dBase IV" in kind else "fpt"
        reader = "dbfread" if section is d["dbfread"] else "other"
        w("MEMOFILE %s %d %s" % (style, info.get("block_size") or 0, reader))

    for f in fields:
        name = f["name"].encode("latin-1", "replace")
        length = f.get("effective_length", f["length"])
        w("FIELD %s %s %d %d" % (hexs(name), f["type"].encode("latin-1").hex(), length,
                                 f["decimal_count"]))
    if not section:
        print("\n".join(out))
        return

    # The physical records the reader returned: it reads until 0x1A or the
    # end of the file and skips records whose flag is neither ' ' nor '*'.
    raw = open(os.path.join(corpus, d["file"]), "rb").read()
    hl, rl = header["header_length"], header["record_length"]
    # (The fallback reader keeps those records.)
    slots, every = [], []
    n = header["record_count_from_size"]
    for i in range(n):
        flag = raw[hl + i * rl] if rl > 0 and hl + i * rl < len(raw) else 0x1A
        if flag == 0x1A:
            break
        every.append(i + 1)
        if flag in (0x20, 0x2A):
            slots.append(i + 1)
    records = section.get("records") or []
    if len(records) != len(slots) and len(records) == len(every):
        slots = every
    if len(records) != len(slots):
        # Long tables keep their first 1000 and last 200 records only.
        if len(records) == 1200 and len(slots) > 1200:
            slots = slots[:1000] + slots[-200:]
        else:
            w("MAPPING %d %d" % (len(records), len(slots)))
            print("\n".join(out))
            return

    for slot, rec in zip(slots, records):
        w("REC %d %d" % (slot, 1 if rec["_deleted"] else 0))
        for i, v in enumerate(rec["values"]):
            letter = fields[i]["type"].upper() if i < len(fields) else "?"
            w("V %d %s" % (i, token(v, letter, encoding, utf8)))
    print("\n".join(out))


def text_bytes(s, encoding, utf8, cut=True):
    if cut:
        s = s.split("\x00", 1)[0]
    if utf8:
        return "S", s.encode("utf-8")
    wild = "\ufffd" in s
    b = s.encode(encoding, "replace")
    return ("W" if wild else "S"), b


def token(v, letter, encoding, utf8):
    if v is None:
        return "N"
    if isinstance(v, bool):
        return "L %d" % v
    if isinstance(v, int):
        return "I %d" % v
    if isinstance(v, float):
        return "F %r" % v
    if isinstance(v, str):
        if letter == "D":
            return "D " + v
        if letter in ("T", "@"):
            return "T " + v
        memo = letter in ("M", "G", "B")
        kind, b = text_bytes(v, encoding, utf8, cut=not memo)
        if memo:
            kind = "M" if kind == "S" else "MW"
        return "%s %s" % (kind, hexs(b))
    if isinstance(v, dict):
        if "decimal" in v:
            from decimal import Decimal
            return "Y %d" % int(Decimal(v["decimal"]) * 10000)
        if "memo_block" in v:
            return "MB %d %s" % (v.get("length", 0), v.get("bytes_hex") or "-")
        if "bytes_hex" in v:
            return "B " + (v["bytes_hex"] or "-")
        if v.get("float") == "nan":
            return "F nan"
        return "X " + (sorted(v.keys())[0] if v else "unknown")
    return "X " + type(v).__name__


if __name__ == "__main__":
    main()
