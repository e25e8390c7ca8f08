#!/usr/bin/python3
"""Checks the production index (.mdx) of a table, reading the file format
only: the file header, the tag table, every tag's header and B-tree, the
order of its keys, and - for key expressions it can compute - that the
leaves hold exactly the keys of the table's records.

    mdx_check.py TABLE.dbf [--weights FILE] [--verbose]

The .mdx is looked for beside the table (any letter case). --weights names
a 256-byte collation table (byte i holds the weight of character byte i)
ordering character keys; without it they compare as bytes. Each problem is
printed on a line of its own; the exit code is 0 when there is none, 1 when
there are problems, 2 when the files cannot be read at all.
"""
import argparse
import datetime
import itertools
import os
import struct
import sys
from decimal import Decimal, InvalidOperation, ROUND_HALF_EVEN, ROUND_HALF_UP, getcontext

import dbfread

getcontext().prec = 60   # exact for every key and field value

PAGE = 512               # page numbers count 512-byte pages
TAG_SLOTS = 48           # slot 0 of the tag table holds no tag
MAX_DEPTH = 32           # deeper than any real tree: a longer path is a cycle
MAX_LINES_PER_TAG = 25   # further problems of a tag are only counted
JDN_OF_DAY_ZERO = 2415019  # 30.12.1899, day 0 of date-time values
EMPTY_DATE = 1e100
KEY_TYPES = {'C': None, 'N': 12, 'D': 8, '+': 4, 'I': 4, '@': 8, 'O': 8}


class Report:
    def __init__(self, verbose, out):
        self.verbose, self.out = verbose, out
        self.problems = 0
        self._per_scope = {}

    def problem(self, scope, text):
        self.problems += 1
        shown = self._per_scope.get(scope, 0)
        self._per_scope[scope] = shown + 1
        if shown < MAX_LINES_PER_TAG:
            self.out.write('problem: %s%s\n' % (scope + ': ' if scope else '', text))

    def note(self, scope, text):
        if self.verbose:
            self.out.write('note: %s%s\n' % (scope + ': ' if scope else '', text))

    def close_scope(self, scope):
        hidden = self._per_scope.get(scope, 0) - MAX_LINES_PER_TAG
        if hidden > 0:
            self.out.write('problem: %s: %d more problems not shown\n' % (scope, hidden))


def u16(b, at):
    return struct.unpack_from('<H', b, at)[0]


def u32(b, at):
    return struct.unpack_from('<I', b, at)[0]


# ---------------------------------------------------------------- keys

def numeric_key(negative, digits, exponent):
    """The 12-byte key of +-0.d1d2... x 10^exponent (digits without
    leading or trailing zeros; '' for zero)."""
    if not digits:
        return bytes([52, 1]) + bytes(10)
    digits = digits[:20]
    packed = bytes.fromhex(digits + '0' * (20 - len(digits)))
    length = (len(digits) + 1) // 2 * 8 + 1 + (0x80 if negative else 0)
    return bytes([(exponent + 52) & 0xFF, length]) + packed


def numeric_key_of_decimal(value, max_digits=20):
    """The key of an exact decimal value, its digits cut to max_digits."""
    if value.is_zero():
        return numeric_key(False, '', 0)
    sign, coefficient, exp = value.normalize().as_tuple()
    digits = ''.join(map(str, coefficient))
    return numeric_key(bool(sign), digits[:max_digits].rstrip('0'), len(digits) + exp)


def numeric_keys_of_number(value):
    """Keys a number may get: its exact digits (whole numbers keep them all),
    and the digits of the shortest decimal form of the nearest double (at
    most 15 after the point), cut or rounded to 16."""
    keys = {numeric_key_of_decimal(value)}
    as_double = float(value)
    if abs(as_double) != float('inf') and as_double != 0:
        shortest = Decimal(repr(as_double))
        if shortest.as_tuple().exponent < -15:
            shortest = shortest.quantize(Decimal(1).scaleb(-15), ROUND_HALF_EVEN)
        keys.add(numeric_key_of_decimal(shortest, 16))
        if not shortest.is_zero():
            keys.add(numeric_key_of_decimal(shortest.quantize(Decimal(1).scaleb(shortest.adjusted() - 15),
                                                              ROUND_HALF_EVEN)))
    return keys


def decode_numeric(key):
    """(value, complaint): the decimal value of a 12-byte numeric key and a
    text saying how it is malformed (None when well formed)."""
    exponent, length = key[0] - 52, key[1]
    nibbles = key[2:12].hex()
    if any(c not in '0123456789' for c in nibbles):
        return Decimal(0), 'numeric key %s has a digit byte that is not decimal' % key.hex()
    digits = nibbles.rstrip('0')
    value = Decimal((length >> 7, tuple(int(c) for c in digits or '0'), exponent - max(len(digits), 1)))
    if (length & 0x7F) % 8 != 1:
        return value, 'numeric key %s has length byte %d' % (key.hex(), length)
    if digits and digits[0] == '0':
        return value, 'numeric key %s has a leading zero digit' % key.hex()
    if (len(digits) + 1) // 2 != (length & 0x7F) // 8:
        return value, 'numeric key %s: length byte %d for %d digits' % (key.hex(), length, len(digits))
    if not digits and (exponent != 0 or length != 1):
        return value, 'numeric zero key %s is not 34 01' % key.hex()
    return value, None


def date_key(jdn):
    return struct.pack('<d', EMPTY_DATE if jdn is None else float(jdn))


# ---------------------------------------------------------------- the table

class Field:
    def __init__(self, name, kind, length, decimals, offset):
        self.name, self.kind, self.length, self.decimals, self.offset = name, kind, length, decimals, offset


class Table:
    """The fields (through dbfread; dBase 7 descriptors, which it does not
    read, directly) and every record's raw bytes, deleted records included,
    in physical order."""

    def __init__(self, path):
        with open(path, 'rb') as f:
            head = f.read(32)
            if len(head) < 32:
                raise ValueError('no table header')
            self.count, header_len, record_len = struct.unpack_from('<IHH', head, 4)
            if head[0] & 7 == 4:
                f.seek(68)
                described = []
                for _ in range(68, header_len - 47, 48):
                    d = f.read(48)
                    if len(d) < 48 or d[0] == 0x0D:
                        break
                    described.append((d[:32].split(b'\0')[0].decode('latin-1'), chr(d[32]), d[33], d[34]))
            else:
                dbf = dbfread.DBF(path, raw=True, ignore_missing_memofile=True, load=False, encoding='latin-1')
                described = [(d.name, d.type, d.length, d.decimal_count) for d in dbf.fields]
            f.seek(header_len)
            data = f.read(record_len * self.count)
        self.fields, offset = {}, 1
        for name, kind, length, decimals in described:
            if kind == 'C' and head[0] & 7 == 4:
                length, decimals = length | decimals << 8, 0   # dbfread does the same for its tables
            self.fields[name.upper()] = Field(name.upper(), kind, length, decimals, offset)
            offset += length
        self.records = [data[i:i + record_len] for i in range(0, len(data) - record_len + 1, record_len)]


def field_bytes(record, field):
    return record[field.offset:field.offset + field.length]


def number_of(raw):
    """The value of an N/F field: an empty field reads as 0; None when the
    text is no number."""
    text = raw.replace(b'\0', b' ').strip()
    if not text:
        return Decimal(0)
    try:
        value = Decimal(text.decode('ascii'))
    except (InvalidOperation, UnicodeDecodeError):
        return None
    return value if value.is_finite() else None


def jdn_of(raw):
    """(known, jdn): the Julian day number of a D field; jdn None for an
    empty date (day 0 counts as empty); known False for an invalid date."""
    text = raw.replace(b'\0', b' ').strip()
    if not text or text == b'00000000':
        return True, None
    try:
        day = datetime.date(int(text[0:4]), int(text[4:6]), int(text[6:8]))
    except ValueError:
        return False, None
    jdn = day.toordinal() + 1721425
    return True, (None if jdn == JDN_OF_DAY_ZERO else jdn)


def number_texts(value, width, decimals):
    """The number written in width characters with the given decimals; a
    set, as halves may round either way. None when it does not fit plainly."""
    texts = set()
    for exact, mode in ((value, ROUND_HALF_UP), (value, ROUND_HALF_EVEN), (Decimal(float(value)), ROUND_HALF_EVEN)):
        rounded = exact.quantize(Decimal(1).scaleb(-decimals), mode)
        if len(rounded.normalize().as_tuple().digits) > 15 and not rounded.is_zero():
            return None
        text = format(rounded, 'f')
        forms = {text, text.lstrip('-')} if rounded.is_zero() else {text}
        for t in forms:
            if len(t) > width:
                return None
            texts.add(t.rjust(width).encode('ascii'))
    return texts


# ---------------------------------------------------------------- expressions

class Term:
    """One operand: a field, UPPER(field), DTOS(field) or STR(field, w[, d]).
    value(record) gives the set of values the operand may have - byte
    strings for text, Decimals for numbers, Julian day numbers for dates
    (None for an empty date), stored bytes for binary fields - or None when
    it cannot be known."""

    as_text = False   # a number or date joined to text

    def __init__(self, func, field, args=()):
        self.func, self.field, self.args = func, field, args
        kind = field.kind
        if func is None and kind in 'CNFD':
            self.type = {'F': 'N'}.get(kind, kind)
            self.length = field.length
        elif func is None and kind in '+@IO':
            self.type, self.length = kind, field.length
        elif func == 'UPPER' and kind == 'C':
            self.type, self.length = 'C', field.length
        elif func == 'DTOS' and kind == 'D':
            self.type, self.length = 'C', 8
        elif func == 'STR' and kind in 'NF' and 1 <= len(args) <= 2 and 1 <= args[0] <= 100:
            self.type, self.length = 'C', args[0]
        else:
            raise ValueError('%s(%s) of a %s field is not computed' % (func or '', field.name, kind))

    def join_as_text(self):
        """Joined to text, numbers and dates take a fixed width: a date its
        8 digits, a whole number 11 characters, a fraction its field's size."""
        if self.type not in 'ND':
            return
        self.as_text, self.type = True, 'C'
        self.length = 8 if self.field.kind == 'D' else 11 if self.field.decimals == 0 else self.field.length
        if self.field.kind != 'D' and self.field.decimals and not 1 <= self.field.length <= 20:
            raise ValueError('a number of width %d joined to text is not computed' % self.field.length)

    def value(self, record):
        raw = field_bytes(record, self.field)
        kind = self.field.kind
        if kind == 'C':
            return {raw.upper() if self.func == 'UPPER' else raw}
        if kind == 'D':
            known, jdn = jdn_of(raw)
            if not known:
                return None
            if self.func == 'DTOS' or self.as_text:
                if jdn is None:
                    return {b' ' * 8}
                return {datetime.date.fromordinal(jdn - 1721425).strftime('%Y%m%d').encode()}
            return {jdn}
        if kind not in 'NF':
            return {raw}
        value = number_of(raw)
        empty = not raw.strip(b' \0')
        if value is None or (self.field.decimals == 0 and value != value.to_integral_value()):
            return None
        if self.func == 'STR':
            texts = number_texts(value, self.args[0], self.args[1] if len(self.args) > 1 else 0)
            return None if texts is None else texts | ({b' ' * self.args[0]} if empty else set())
        if self.as_text:
            if empty:
                return {b' ' * self.length}
            return number_texts(value, self.length, self.field.decimals)
        return {value}


def parse_expression(text, fields):
    """The terms of a key expression joined by '+'; raises ValueError for
    anything else."""
    tokens, i = [], 0
    while i < len(text):
        c = text[i]
        if c.isspace():
            i += 1
        elif c in '(),+':
            tokens.append(c)
            i += 1
        elif c.isalnum() or c == '_':
            j = i
            while j < len(text) and (text[j].isalnum() or text[j] == '_'):
                j += 1
            tokens.append(text[i:j].upper())
            i = j
        else:
            raise ValueError('character %r is not understood' % c)
    terms, pos = [], 0

    def take(expected=None):
        nonlocal pos
        if pos >= len(tokens) or (expected and tokens[pos] != expected):
            raise ValueError('expected %s' % (expected or 'more'))
        pos += 1
        return tokens[pos - 1]

    def field(name):
        if name not in fields:
            raise ValueError('no field %s' % name)
        return fields[name]

    while True:
        name = take()
        if pos < len(tokens) and tokens[pos] == '(':
            take('(')
            func = {'UPPERCASE': 'UPPER'}.get(name, name)
            inner = field(take())
            args = []
            while pos < len(tokens) and tokens[pos] == ',':
                take(',')
                number = take()
                if not number.isdigit():
                    raise ValueError('argument %s is not a whole number' % number)
                args.append(int(number))
            take(')')
            terms.append(Term(func, inner, tuple(args)))
        else:
            terms.append(Term(None, field(name)))
        if pos == len(tokens):
            break
        take('+')
    if len(terms) > 1:
        if not any(t.type == 'C' for t in terms) or any(t.type not in 'CND' for t in terms):
            raise ValueError('a + of non-text operands is not computed')
        for t in terms:
            t.join_as_text()
    return terms


def expected_keys(terms, tag, record):
    """The set of keys the record may have in the tag; None when unknown."""
    parts = [t.value(record) for t in terms]
    if any(p is None for p in parts):
        return None
    if tag.key_type == 'C':
        return {b''.join(p)[:tag.key_length].ljust(tag.key_length, b' ')
                for p in itertools.islice(itertools.product(*parts), 64)}
    (values,) = parts
    if tag.key_type == 'N':
        return set().union(*(numeric_keys_of_number(v) for v in values))
    if tag.key_type == 'D':
        return {date_key(v) for v in values}
    return set(values)   # binary keys: the field's stored bytes


# ---------------------------------------------------------------- tags

class Tag:
    def __init__(self, name, header_page):
        self.name, self.header_page = name, header_page


class Checker:
    def __init__(self, mdx, table, weights, report):
        self.mdx, self.table, self.weights, self.r = mdx, table, weights, report
        self.size = len(mdx)
        self.used = {}   # first page of every block in use -> what uses it

    def check(self):
        if not self.check_file_header():
            return
        tags = self.read_tag_table()
        for tag in tags:
            scope = 'tag ' + tag.name
            if self.check_tag_header(tag, scope):
                self.check_tree(tag, scope)
            self.r.close_scope(scope)
        end = max([p + self.ppb for p in self.used] + [self.header_pages])
        if self.next_free < end:
            self.r.problem('', 'next free page %d is below the end of the used blocks (page %d)'
                           % (self.next_free, end))

    def check_file_header(self):
        m, r = self.mdx, self.r
        if self.size < 48:
            r.problem('', 'file of %d bytes has no whole header' % self.size)
            return False
        version, self.ppb, self.block = m[0], u16(m, 20), u16(m, 22)
        self.entry, self.tag_count, self.next_free = m[26], u16(m, 28), u32(m, 32)
        ok = True
        if version not in (2, 3):
            r.problem('', 'version byte %d is neither 2 nor 3' % version)
        if self.ppb == 0 or self.block != PAGE * self.ppb:
            r.problem('', 'block size %d is not 512 x %d pages per block' % (self.block, self.ppb))
            ok = False
        if self.entry not in (32, 43):
            r.problem('', 'tag entry size %d is neither 32 nor 43' % self.entry)
            ok = False
        elif version in (2, 3) and self.entry != (32 if version == 2 else 43):
            r.problem('', 'tag entry size %d does not go with version %d' % (self.entry, version))
        if self.tag_count > TAG_SLOTS - 1:
            r.problem('', '%d tags, more than 47' % self.tag_count)
            ok = False
        if m[24] != 1:
            r.problem('', 'production index flag is %d' % m[24])
        if m[25] != TAG_SLOTS:
            r.problem('', 'tag slot count is %d, not 48' % m[25])
        if not ok:
            return False
        header_bytes = PAGE + TAG_SLOTS * self.entry
        self.header_pages = -(-header_bytes // self.block) * self.ppb
        if self.next_free % self.ppb:
            r.problem('', 'next free page %d is not at a block boundary' % self.next_free)
        if self.size > self.next_free * PAGE:
            r.problem('', 'file of %d bytes runs past its next free page %d' % (self.size, self.next_free))
        table_end = PAGE + (self.tag_count + 1) * self.entry
        if self.size < table_end:
            r.problem('', 'file of %d bytes ends inside the tag table (%d bytes needed)' % (self.size, table_end))
            return False
        if self.size < header_bytes:
            r.note('', 'file of %d bytes is shorter than its header area of %d bytes' % (self.size, header_bytes))
        r.note('', 'version %d, %d-byte blocks, %d tags, language byte 0x%02X, next free page %d'
               % (version, self.block, self.tag_count, m[31], self.next_free))
        return True

    def block_at(self, page, scope, what):
        """The bytes of the block at a page, or None (with a problem) when
        the page is no usable block."""
        if page % self.ppb or page < self.header_pages or page >= self.next_free \
                or (page + self.ppb) * PAGE > self.size:
            self.r.problem(scope, '%s page %d is not a block inside the file' % (what, page))
            return None
        if page in self.used:
            self.r.problem(scope, '%s page %d is already used as %s (a cycle or a shared block)'
                           % (what, page, self.used[page]))
            return None
        self.used[page] = '%s of %s' % (what, scope)
        return self.mdx[page * PAGE:page * PAGE + self.block]

    def read_tag_table(self):
        tags, names = [], set()
        name_size = 11 if self.entry == 32 else 33
        for i in range(self.tag_count):
            e = self.mdx[PAGE + (i + 1) * self.entry:PAGE + (i + 2) * self.entry]
            raw = e[4:4 + name_size]
            name = raw.split(b'\0')[0].decode('latin-1')
            scope = 'tag %d' % (i + 1)
            if b'\0' not in raw or not name or not all(' ' < ch <= '~' for ch in name) or name != name.upper():
                self.r.problem(scope, 'tag name %r is not an upper-case NUL-terminated name' % raw)
            if name in names:
                self.r.problem(scope, 'tag name %s appears twice' % name)
            names.add(name)
            tag = Tag(name or '#%d' % (i + 1), u32(e, 0))
            tag.table_type = chr(e[name_size + 9])   # byte 20 (dBase IV) or 42 (dBase 7)
            tags.append(tag)
        return tags

    def check_tag_header(self, tag, scope):
        r = self.r
        h = self.block_at(tag.header_page, scope, 'tag header')
        if h is None:
            return False
        tag.root, flags, tag.key_type = u32(h, 0), h[8], chr(h[9])
        tag.key_length, tag.max_keys, tag.entry_size = u16(h, 12), u16(h, 14), u16(h, 18)
        tag.descending = bool(flags & 0x08)
        tag.unique = bool(flags & 0x60)
        ok = True
        if tag.key_type not in KEY_TYPES:
            r.problem(scope, 'key type %r is unknown' % tag.key_type)
            ok = False
        elif tag.table_type != tag.key_type:
            r.problem(scope, 'key type %r in the tag table, %r in the tag header' % (tag.table_type, tag.key_type))
        if not 1 <= tag.key_length <= 100:
            r.problem(scope, 'key length %d is outside 1-100' % tag.key_length)
            ok = False
        elif KEY_TYPES.get(tag.key_type) not in (None, tag.key_length):
            r.problem(scope, 'key length %d for key type %s' % (tag.key_length, tag.key_type))
        if tag.entry_size != (tag.key_length + 4 + 3) // 4 * 4:
            r.problem(scope, 'entry size %d for key length %d' % (tag.entry_size, tag.key_length))
            ok = False
        if tag.max_keys < 1 or tag.max_keys * tag.entry_size + 8 > self.block:
            r.problem(scope, '%d keys of %d bytes do not fit a %d-byte block'
                      % (tag.max_keys, tag.entry_size, self.block))
            ok = False
        if bool(flags & 0x10) != (tag.key_type == 'C'):
            r.problem(scope, 'flags 0x%02X do not go with key type %s' % (flags, tag.key_type))
        if u16(h, 16) != (1 if tag.key_type == 'D' else 0):
            r.problem(scope, 'date key word is %d for key type %s' % (u16(h, 16), tag.key_type))
        kind = {0x00: 0, 0x01: 0x40, 0x21: 0x20}.get(h[23])
        if kind is None or flags & 0x60 != kind:
            r.problem(scope, 'uniqueness byte 0x%02X does not go with flags 0x%02X' % (h[23], flags))
        raw = h[24:244]
        tag.expression = raw.split(b'\0')[0].decode('latin-1').strip()
        if b'\0' not in raw or not tag.expression:
            r.problem(scope, 'key expression is empty or not NUL-terminated')
            ok = False
        r.note(scope, 'expression %r, key type %s, length %d, %d keys a block%s%s'
               % (tag.expression, tag.key_type, tag.key_length, tag.max_keys,
                  ', descending' if tag.descending else '', ', unique' if tag.unique else ''))
        return ok

    # ---- the B-tree

    def sort_value(self, tag, key, scope):
        if tag.key_type == 'C':
            key = key.replace(b'\0', b' ')
            return key.translate(self.weights) if self.weights else key
        if tag.key_type == 'N':
            value, complaint = decode_numeric(key)
            if complaint:
                self.r.problem(scope, complaint)
            return value
        if tag.key_type == 'D':
            (value,) = struct.unpack('<d', key)
            if value != value:
                self.r.problem(scope, 'date key %s is not a number' % key.hex())
                return 0.0
            return value
        return key

    def check_tree(self, tag, scope):
        entries, depths = [], set()   # (key, record number) in tree order; leaf depths

        broken = object()   # a subtree that could not be read (already said)

        def visit(page, depth, above_multi):
            """Walks the subtree at page; returns its last key (None when it
            has none)."""
            if depth > MAX_DEPTH:
                self.r.problem(scope, 'tree deeper than %d levels at page %d' % (MAX_DEPTH, page))
                return broken
            b = self.block_at(page, scope, 'block')
            if b is None:
                return broken
            k = u32(b, 0)
            if k > tag.max_keys:
                self.r.problem(scope, 'block at page %d holds %d keys, more than %d' % (page, k, tag.max_keys))
                return broken
            es = tag.entry_size

            def entry(i):
                return u32(b, 8 + i * es), b[12 + i * es:12 + i * es + tag.key_length]

            if k == tag.max_keys or entry(k)[0] == 0:   # a leaf
                depths.add(depth)
                if k == 0 and above_multi:
                    self.r.problem(scope, 'empty leaf at page %d kept below a block with keys' % page)
                for i in range(k):
                    recno, key = entry(i)
                    entries.append((key, recno))
                return entry(k - 1)[1] if k else None
            last = None
            for i in range(k + 1):
                child, key = entry(i)
                last = visit(child, depth + 1, above_multi or k > 0)
                if i < k and last is None:
                    self.r.problem(scope, 'key %d of block at page %d has no key in its left subtree' % (i, page))
                elif i < k and last is not broken and last != key:
                    self.r.problem(scope, 'key %d of block at page %d is %r, the last key of its left subtree %r'
                                   % (i, page, key, last))
            return last

        visit(tag.root, 1, False)
        if len(depths) > 1:
            self.r.problem(scope, 'leaves at different depths %s' % sorted(depths))
        self.r.note(scope, '%d entries, %d levels' % (len(entries), max(depths, default=0)))
        values = [self.sort_value(tag, key, scope) for key, _ in entries]
        for i in range(1, len(entries)):
            a, b = values[i - 1], values[i]
            order = (a > b) - (a < b)
            if tag.descending:
                order = -order
            if order > 0 or (order == 0 and (tag.unique or entries[i - 1][1] >= entries[i][1])):
                what = 'duplicate key in a unique tag' if order == 0 and tag.unique else 'keys out of order'
                self.r.problem(scope, '%s: %r (record %d) before %r (record %d)'
                               % (what, entries[i - 1][0], entries[i - 1][1], entries[i][0], entries[i][1]))
        for key, recno in entries:
            if not 1 <= recno <= self.table.count:
                self.r.problem(scope, 'record number %d outside 1-%d' % (recno, self.table.count))
        self.check_coverage(tag, scope, entries, values)

    # ---- the records' keys

    def check_coverage(self, tag, scope, entries, values):
        try:
            terms = parse_expression(tag.expression, self.table.fields)
        except ValueError as e:
            self.r.note(scope, 'expression %r not computed (%s): structure checked only' % (tag.expression, e))
            return
        result = terms[0].type if len(terms) == 1 else 'C'
        if tag.key_type in '+@IO' or result in '+@IO':
            # a binary field's stored bytes, only when the tag is on that field alone
            if result != tag.key_type:
                self.r.note(scope, 'key type %s of %r not computed: structure checked only'
                            % (tag.key_type, tag.expression))
                return
        elif result != tag.key_type:
            self.r.problem(scope, 'key type %s does not go with expression %r' % (tag.key_type, tag.expression))
            return
        length = sum(t.length for t in terms)
        if tag.key_type == 'C' and length != tag.key_length:
            self.r.problem(scope, 'key length %d, but %r gives %d characters' % (tag.key_length, tag.expression, length))

        def same(a, b):
            return a.replace(b'\0', b' ') == b.replace(b'\0', b' ') if tag.key_type == 'C' else a == b

        expected = [expected_keys(terms, tag, rec) for rec in self.table.records]
        unknown = sum(e is None for e in expected)
        if unknown:
            self.r.note(scope, '%d records whose key is not computed' % unknown)
        by_record = {}
        for key, recno in entries:
            by_record.setdefault(recno, []).append(key)
        for recno, keys in by_record.items():
            exp = expected[recno - 1] if 1 <= recno <= len(expected) else None
            if exp is not None and not any(same(keys[0], e) for e in exp):
                self.r.problem(scope, 'record %d has key %r, expected %r' % (recno, keys[0], sorted(exp)[0]))
            if len(keys) > 1:
                self.r.problem(scope, 'record %d has %d entries' % (recno, len(keys)))
        self.r.note(scope, 'keys of %d records checked' % (len(expected) - unknown))
        if not tag.unique:
            for recno in range(1, len(expected) + 1):
                if recno not in by_record:
                    self.r.problem(scope, 'record %d has no entry' % recno)
            return
        present = set(values)
        for recno, exp in enumerate(expected, 1):
            if exp is not None and not any(self.sort_value(tag, e, scope) in present for e in exp):
                self.r.problem(scope, 'key %r of record %d is missing' % (sorted(exp)[0], recno))
                present.update(self.sort_value(tag, e, scope) for e in exp)   # said once


def find_mdx(dbf_path):
    folder = os.path.dirname(dbf_path) or '.'
    stem = os.path.splitext(os.path.basename(dbf_path))[0]
    for candidate in (stem + '.mdx', stem + '.MDX'):
        if os.path.isfile(os.path.join(folder, candidate)):
            return os.path.join(folder, candidate)
    for name in sorted(os.listdir(folder)):
        if name.lower() == (stem + '.mdx').lower():
            return os.path.join(folder, name)
    return None


def main(argv=None, out=sys.stdout):
    parser = argparse.ArgumentParser(description='Checks the production index of a table.')
    parser.add_argument('table')
    parser.add_argument('--weights', help='256-byte collation weight table for character keys')
    parser.add_argument('--verbose', action='store_true')
    args = parser.parse_args(argv)
    report = Report(args.verbose, out)
    mdx_path = find_mdx(args.table)
    if mdx_path is None:
        out.write('mdx_check: no .mdx beside %s\n' % args.table)
        return 2
    try:
        weights = None
        if args.weights:
            with open(args.weights, 'rb') as f:
                weights = f.read()
            if len(weights) != 256:
                out.write('mdx_check: %s is not a 256-byte weight table\n' % args.weights)
                return 2
        table = Table(args.table)
        with open(mdx_path, 'rb') as f:
            mdx = f.read()
    except Exception as e:   # any reader's complaint: the files are not usable at all
        out.write('mdx_check: cannot read %s: %s\n' % (args.table, e))
        return 2
    Checker(mdx, table, weights, report).check()
    if report.problems:
        out.write('mdx_check: %d problems in %s\n' % (report.problems, mdx_path))
        return 1
    out.write('mdx_check: %s is sound\n' % mdx_path)
    return 0


if __name__ == '__main__':
    sys.exit(main())
