#!/usr/bin/python3
"""The one reader of the table corpus's expected values (JSON files written
by an independent reader): turns them into the line format the corpus tests
read (tests/support/CorpusExpected.h).

    corpus_expected.py [--no-records] CORPUS_DIR EXPECTED_JSON...

Output, for each file in turn, one item per line, fields separated by single
spaces; every table's lines start with its TABLE line:

    TABLE <path relative to the corpus>
    SIZE <file size in bytes>
    HEADER <version byte> <header length> <record length> <whole records in
           the file>                          (when the file has a header)
    DELETED <deleted records>                 (when the reader counted them)
    FIELDS <count>                            (when the reader listed fields)
    FIELD <name hex> <letter hex> <length> <decimals> <offset>
          <declared length> <effective 0|1> <exact 0|1>
    OPEN error|open|either     error: the table must be refused with an error
                               (no header, or a field letter the engine does
                               not know); either: malformed, an error or a
                               safe reading are both right; open: must open
    TEXT utf8|bytes            utf8: strings compare as the engine's UTF-8
                               (Windows 1250 tables); bytes: as raw bytes
    REC <physical record number> <deleted 0|1>
    V <field> <kind> [<payload>]

A field's length is the stored width: the effective length where the reader
gave one (effective 1), else the declared length. Its name is Latin-1 bytes
(exact 0: some character had none and became "?"); its letter is the first
byte of the type.

Kinds of V: N empty; L 0|1; I <int>; F <float>; D <yyyy-mm-dd>;
T <yyyy-mm-ddThh:mm:ss[.ffffff]>; Y <money x 10000>; S <hex> text bytes
(W <hex>: the same, '?' standing for any byte the reader could not decode);
B <hex> raw field bytes; M <hex> / MW <hex> memo text; MB <length> <hex
prefix> binary memo; X <reason> not comparable.

Strings are given in the encoding the reader used (or the table's true one
where the reader's section for it exists), cut at the first zero byte as the
engine reads them (dbfread keeps zero bytes inside a value); memo texts are
not cut. MEMOFILE <dbt3|dbt4|fpt> <block size> <dbfread|other>: the table's
memo file is there, its kind, and which reader's values follow. MAPPING
<records> <slots>: the reader's records could not be matched to the file's.
With --no-records the REC and V lines are left out.
"""
import json
import os
import sys

KNOWN = set("CNFDLMBGIO@TY0") | {"\x91"}
# Visual FoxPro's varchar, varbinary and blob: known in FoxPro tables only.
FOXPRO_ONLY = set("VQW")


def hexs(b):
    return b.hex() if b else "-"


def main():
    args = sys.argv[1:]
    with_records = True
    if args and args[0] == "--no-records":
        with_records = False
        args = args[1:]
    corpus = args[0]
    for path in args[1:]:
        print("\n".join(table_lines(corpus, path, with_records)))


def table_lines(corpus, path, with_records):
    d = json.load(open(path, encoding="utf-8"))
    out = []
    w = out.append
    w("TABLE " + d["file"])
    w("SIZE %d" % d["size"])
    header = d.get("header")
    fields = d.get("fields")
    if header:
        w("HEADER %d %d %d %d" % (int(header["version_byte"], 16), header["header_length"],
                                  header["record_length"], header["record_count_from_size"]))
    if d.get("deleted_count") is not None:
        w("DELETED %d" % d["deleted_count"])
    if fields is not None:
        w("FIELDS %d" % len(fields))
        for f in fields:
            try:
                name, exact = f["name"].encode("latin-1"), 1
            except UnicodeEncodeError:
                name, exact = f["name"].encode("latin-1", "replace"), 0
            length = f.get("effective_length", f["length"])
            w("FIELD %s %s %d %d %d %d %d %d" % (
                hexs(name), f["type"].encode("latin-1")[:1].hex(), length, f["decimal_count"],
                f["offset"], f["length"], 1 if "effective_length" in f else 0, exact))
    if not header or fields is None:
        w("OPEN error")
        return out
    version = int(header["version_byte"], 16)
    dbase7 = (version & 7) == 4
    foxpro = (version & 7) in (2, 5) or version in (0x30, 0x31)
    unknown = [f["type"] for f in fields
               if f["type"].upper() not in KNOWN and not (f["type"] == "+" and dbase7)
               and not (f["type"].upper() in FOXPRO_ONLY and foxpro)]
    if unknown or version == 0x02:
        w("OPEN error")
        return out
    malformed = (d.get("malformed") or d.get("records_with_other_flag_byte")
                 or header.get("sum_field_lengths_plus_1") != header["record_length"])
    w("OPEN " + ("either" if malformed else "open"))

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

    if not section or not with_records:
        return out

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
            return out

    for slot, rec in zip(slots, records):
        w("REC %d %d" % (slot, 1 if rec["_deleted"] else 0))
        for i, v in enumerate(rec["values"]):
            letter = fields[i]["type"].upper() if i < len(fields) else "?"
            w("V %d %s" % (i, token(v, letter, encoding, utf8)))
    return out


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
        memo = letter in ("M", "G", "B", "W")
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
