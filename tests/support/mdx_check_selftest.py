#!/usr/bin/python3
"""Proves mdx_check.py: a small generator writes tables with multi-level
production indexes from the file format (character, numeric, date, joined,
descending and unique tags; dBase IV and dBase 7 tag tables), which must
pass; copies damaged one way at a time must fail with the matching
complaint. So must damaged copies of the corpus's test.mdx when the corpus
is there (KARTO_CORPUS_DIR, else /work/shared/corpus).

    /usr/bin/python3 mdx_check_selftest.py [-v]
"""
import functools
import io
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
from decimal import Decimal

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import mdx_check  # noqa: E402

CORPUS = os.environ.get('KARTO_CORPUS_DIR', '/work/shared/corpus')

# ---------------------------------------------------------------- the table

FIELDS = [('NAME', 'C', 10, 0), ('AMOUNT', 'N', 9, 2), ('BORN', 'D', 8, 0), ('CODE', 'C', 4, 0), ('QTY', 'N', 5, 0)]


def make_records(count=41):
    rng = random.Random(20240115)
    names = [b'NOVAK', b'Novak', b'SVOBODA', b'DVORAK', b'CERNY', b'PROCHAZKA', b'KUCERA', b'nemec', b'HORAK\0\0']
    amounts = ['', '0.00', '-120.00', '120.00', '1937.08', '0.05', '-3.50', '99999.99', '-0.50']
    dates = ['', '20240229', '18991230', '20000101', '19991231', '17760704']
    records = []
    for i in range(count):
        amount = rng.choice(amounts + ['%.2f' % (rng.randint(-99999, 99999) / 100)])
        records.append({
            'deleted': i % 7 == 3,
            'NAME': rng.choice(names),
            'AMOUNT': amount.encode().rjust(9),
            'BORN': rng.choice(dates + ['%04d%02d%02d' % (rng.randint(1900, 2099), rng.randint(1, 12),
                                                          rng.randint(1, 28))]).encode().ljust(8),
            'CODE': rng.choice([b'A1', b'B2', b'C3', b'D4', b'E5']),
            'QTY': rng.choice([b'', b'0', b'7', b'-12', b'99999', str(rng.randint(1, 500)).encode()]).rjust(5),
        })
    return records


def write_dbf(path, records, level7=False):
    """A dBase IV table (32-byte field descriptors) or a dBase 7 one
    (language name in the header, 48-byte descriptors)."""
    head, size = (68, 48) if level7 else (32, 32)
    header_len = head + size * len(FIELDS) + 1
    record_len = 1 + sum(f[2] for f in FIELDS)
    out = bytearray(struct.pack('<B3BIHH', 0x04 if level7 else 0x03, 124, 1, 15, len(records), header_len, record_len))
    out += bytes(16) + bytes([1, 0 if level7 else 0xC8, 0, 0])   # byte 28: production index; 29: language
    if level7:
        out += b'DB852CZ0'.ljust(36, b'\0')
    for name, kind, length, decimals in FIELDS:
        if level7:
            out += name.encode().ljust(32, b'\0') + kind.encode() + bytes([length, decimals]) + bytes(13)
        else:
            out += name.encode().ljust(11, b'\0') + kind.encode() + bytes(4) + bytes([length, decimals]) + bytes(14)
    out += b'\r'
    for r in records:
        out += b'*' if r['deleted'] else b' '
        for name, _, length, _ in FIELDS:
            out += r[name][:length].ljust(length, b' ')
    out += b'\x1a'
    with open(path, 'wb') as f:
        f.write(out)


# ---------------------------------------------------------------- keys, written here on their own

def jdn(text):
    """Julian day number of YYYYMMDD; None for an empty date (also day 0)."""
    text = text.strip()
    if not text:
        return None
    y, m, d = int(text[:4]), int(text[4:6]), int(text[6:8])
    a = (14 - m) // 12
    y, m = y + 4800 - a, m + 12 * a - 3
    n = d + (153 * m + 2) // 5 + 365 * y + y // 4 - y // 100 + y // 400 - 32045
    return None if n == 2415019 else n


def num_key(text):
    """12-byte numeric key of a decimal text."""
    t = text.strip().decode() or '0'
    negative = t.startswith('-')
    whole, _, fraction = t.lstrip('-').partition('.')
    whole = whole.lstrip('0')
    digits = (whole + fraction).lstrip('0').rstrip('0')
    if not digits:
        return bytes([52, 1]) + bytes(10)
    exponent = len(whole) if whole else -(len(fraction) - len(fraction.lstrip('0')))
    length = (len(digits) + 1) // 2 * 8 + 1 + (0x80 if negative else 0)
    return bytes([52 + exponent, length]) + bytes.fromhex(digits.ljust(20, '0'))


def num_value(text):
    return Decimal(text.strip().decode() or '0')


def date_text(text):
    return b' ' * 8 if jdn(text) is None else text


class TagDef:
    def __init__(self, name, expr, key_type, length, key, value=None, max_keys=4, desc=False, unique=0):
        self.name, self.expr, self.key_type, self.length = name, expr, key_type, length
        self.key, self.max_keys, self.desc, self.unique = key, max_keys, desc, unique
        self.value = value   # comparable value of a record; character keys use the key's weighted bytes


def default_tags():
    return [
        TagDef('NAME', 'NAME', 'C', 10, lambda r: r['NAME'].ljust(10, b'\0')),
        TagDef('AMOUNT', 'AMOUNT', 'N', 12, lambda r: num_key(r['AMOUNT']), lambda r: num_value(r['AMOUNT']), 5),
        TagDef('BORN', 'BORN', 'D', 8, lambda r: struct.pack('<d', jdn(r['BORN']) or 1e100),
               lambda r: jdn(r['BORN']) or 1e100, 4, desc=True),
        TagDef('CODE', 'CODE', 'C', 4, lambda r: r['CODE'].ljust(4), max_keys=3, unique=1),
        TagDef('NAMEBORN', 'UPPER(NAME)+DTOS(BORN)', 'C', 18,
               lambda r: r['NAME'].ljust(10).upper() + date_text(r['BORN']), max_keys=6),
        TagDef('AMOUNTSTR', 'STR(AMOUNT,10,2)', 'C', 10,
               lambda r: (b'%.2f' % num_value(r['AMOUNT'])).rjust(10), max_keys=50),
        TagDef('PREFIX', 'SUBSTR(NAME,1,3)', 'C', 3, lambda r: r['NAME'][:3].ljust(3), max_keys=8),
        TagDef('QTY', 'QTY', 'N', 12, lambda r: num_key(r['QTY']), lambda r: num_value(r['QTY']), 6),
        TagDef('CODEQTY', 'CODE + QTY', 'C', 15, lambda r: r['CODE'].ljust(4) + r['QTY'].strip().rjust(11)
               if r['QTY'].strip() else r['CODE'].ljust(4) + b' ' * 11, max_keys=5),
    ]


# ---------------------------------------------------------------- the index

def write_mdx(path, records, tags, version=2, weights=None):
    """Writes a production index from the format; returns, per tag, its
    header page, root page and the pages of its inner blocks and leaves."""
    entry = 32 if version == 2 else 43
    ppb, block = 2, 1024
    pages = {}
    next_free = [-(-(512 + 48 * entry) // block) * ppb]

    def alloc():
        page = next_free[0]
        next_free[0] += ppb
        pages[page] = bytearray(block)
        return page

    layout = []
    for t in tags:
        header = alloc()
        es = (t.length + 4 + 3) // 4 * 4

        def order(a, b, t=t):
            va, vb = a[2], b[2]
            c = (va > vb) - (va < vb)
            return (-c if t.desc else c) or (a[1] > b[1]) - (a[1] < b[1])

        rows = []
        for recno, r in enumerate(records, 1):
            key = t.key(r)
            value = t.value(r) if t.value else key.replace(b'\0', b' ').translate(weights)
            rows.append((key, recno, value))
        rows.sort(key=functools.cmp_to_key(order))
        if t.unique:
            kept = []
            for row in sorted(rows, key=lambda x: x[1]):   # the first record with a key keeps it
                if all(row[2] != k[2] for k in kept):
                    kept.append(row)
            rows = sorted(kept, key=functools.cmp_to_key(order))
        info = {'header': header, 'inner': [], 'leaves': [], 'entry': es}
        level = []
        fill = max(1, t.max_keys - 1)
        for i in range(0, max(len(rows), 1), fill):
            chunk = rows[i:i + fill]
            page = alloc()
            b = pages[page]
            struct.pack_into('<I', b, 0, len(chunk))
            for j, (key, recno, _) in enumerate(chunk):
                struct.pack_into('<I', b, 8 + j * es, recno)
                b[12 + j * es:12 + j * es + t.length] = key
            level.append((page, chunk[-1][0] if chunk else None))
            info['leaves'].append(page)
        while len(level) > 1:
            groups = [level[i:i + t.max_keys] for i in range(0, len(level), t.max_keys)]
            if len(groups[-1]) == 1:
                groups[-1].insert(0, groups[-2].pop())
            upper = []
            for g in groups:
                page = alloc()
                b = pages[page]
                struct.pack_into('<I', b, 0, len(g) - 1)
                for j, (child, last) in enumerate(g):
                    struct.pack_into('<I', b, 8 + j * es, child)
                    if j < len(g) - 1:
                        b[12 + j * es:12 + j * es + t.length] = last
                upper.append((page, g[-1][1]))
                info['inner'].append(page)
            level = upper
        info['root'] = level[0][0]
        h = pages[header]
        flags = (0x10 if t.key_type == 'C' else 0) | (0x08 if t.desc else 0) | {0: 0, 1: 0x40, 2: 0x20}[t.unique]
        struct.pack_into('<IIBcHHHHH', h, 0, info['root'], next_free[0] - header, flags, t.key_type.encode(),
                         0, t.length, t.max_keys, 1 if t.key_type == 'D' else 0, es)
        h[23] = {0: 0, 1: 1, 2: 0x21}[t.unique]
        h[24:24 + len(t.expr)] = t.expr.encode()
        h[244:252] = bytes([0, 0, 1, 0, 0, 0, 0, 0])
        layout.append(info)

    out = bytearray(next_free[0] * 512)
    stem = os.path.splitext(os.path.basename(path))[0].encode()[:8]
    struct.pack_into('<B3B16sHHBBBBHBBI', out, 0, version, 124, 1, 15, stem, ppb, block, 1, 48, entry, 0,
                     len(tags), 0, 0xC8, next_free[0])
    out[44:47] = bytes([124, 1, 15])
    out[512 + 17] = 1
    name_size = 11 if entry == 32 else 33
    for i, (t, info) in enumerate(zip(tags, layout)):
        at = 512 + (i + 1) * entry
        struct.pack_into('<I', out, at, info['header'])
        out[at + 4:at + 4 + len(t.name)] = t.name.encode()
        at += 4 + name_size
        out[at:at + 6] = bytes([0x10 if t.expr == t.name else 0, 0, i + 2 if i + 1 < len(tags) else 0, i, 2,
                                ord(t.key_type)])
    for page, b in pages.items():
        out[page * 512:page * 512 + block] = b
    with open(path, 'wb') as f:
        f.write(out)
    return layout


# ---------------------------------------------------------------- tests

def run_check(dbf, *options):
    out = io.StringIO()
    code = mdx_check.main([dbf, *options], out)
    return code, out.getvalue()


class Folder(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix='mdx-check-')
        self.addCleanup(shutil.rmtree, self.dir)


class KeyEncoding(unittest.TestCase):
    def test_numeric_keys(self):
        cases = [('120', bytes([55, 9, 0x12]) + bytes(9)), ('-120', bytes([55, 0x89, 0x12]) + bytes(9)),
                 ('0', bytes([52, 1]) + bytes(10)), ('0.05', bytes([51, 9, 0x50]) + bytes(9)),
                 ('1937.08', bytes([56, 25, 0x19, 0x37, 0x08]) + bytes(7)),
                 ('1234567890123456789', bytes([71, 81]) + bytes.fromhex('12345678901234567890'))]
        for text, key in cases:
            with self.subTest(text):
                self.assertIn(key, mdx_check.numeric_keys_of_number(Decimal(text)))
                self.assertEqual(num_key(text.encode()), key)
                value, complaint = mdx_check.decode_numeric(key)
                self.assertEqual((value, complaint), (Decimal(text), None))

    def test_date_keys(self):
        self.assertEqual(jdn(b'20000101'), 2451545)
        for text in (b'20000101', b'17760704', b'        ', b'18991230'):
            with self.subTest(text):
                self.assertEqual(mdx_check.jdn_of(text), (True, jdn(text)))


class GeneratedIndex(Folder):
    def build(self, version=2, weights=None, tags=None):
        self.dbf = os.path.join(self.dir, 'people.dbf')
        self.records = make_records()
        write_dbf(self.dbf, self.records, level7=version == 3)
        self.mdx = os.path.join(self.dir, 'PEOPLE.MDX')
        self.tags = tags or default_tags()
        self.layout = write_mdx(self.mdx, self.records, self.tags, version, weights)
        with open(self.mdx, 'rb') as f:
            self.bytes = bytearray(f.read())

    def test_sound_index_passes(self):
        for version in (2, 3):
            with self.subTest(version=version):
                self.build(version)
                self.assertGreaterEqual(len(self.layout[0]['inner']), 4)   # three levels
                code, text = run_check(self.dbf, '--verbose')
                self.assertEqual(code, 0, text)
                self.assertIn("expression 'SUBSTR(NAME,1,3)' not computed", text)
                self.assertEqual(text.count('structure checked only'), 1, text)
                self.assertEqual(text.count('keys of 41 records checked'), len(self.tags) - 1, text)

    def test_collation_orders_character_keys(self):
        fold = bytes(c - 32 if 97 <= c <= 122 else c for c in range(256))   # lower case weighs as upper
        self.build(weights=fold)
        weights = os.path.join(self.dir, 'fold.bin')
        with open(weights, 'wb') as f:
            f.write(fold)
        self.assertEqual(run_check(self.dbf, '--weights', weights)[0], 0)
        code, text = run_check(self.dbf)
        self.assertEqual(code, 1)
        self.assertIn('keys out of order', text)

    def damage(self, tag, change):
        """Applies change(bytes, layout of the tag, tag) to a fresh index."""
        self.build()
        index = [t.name for t in self.tags].index(tag)
        change(self.bytes, self.layout[index], self.tags[index])
        with open(self.mdx, 'wb') as f:
            f.write(self.bytes)
        return run_check(self.dbf)

    def test_damaged_index_fails(self):
        def put32(b, page, at, value):
            struct.pack_into('<I', b, page * 512 + at, value)

        def get32(b, page, at):
            return struct.unpack_from('<I', b, page * 512 + at)[0]

        def swap_first_entries(b, info, tag):
            leaf = info['leaves'][0] * 512
            e = info['entry']
            first, second = b[leaf + 8:leaf + 8 + e], b[leaf + 8 + e:leaf + 8 + 2 * e]
            b[leaf + 8:leaf + 8 + 2 * e] = second + first

        def child_of_root(index):
            return lambda b, info, tag: put32(b, info['root'], 8 + index * info['entry'], 0)

        def root_child(b, info, value):
            put32(b, info['root'], 8, value)

        def drop_last_entry(b, info, tag):
            page = info['leaves'][-1]
            k = get32(b, page, 0) - 1
            put32(b, page, 0, k)
            b[page * 512 + 8 + k * info['entry']:page * 512 + 8 + (k + 1) * info['entry']] = bytes(info['entry'])

        def edit_key(page_of, index, offset, value):
            def change(b, info, tag):
                b[page_of(info) * 512 + 12 + index * info['entry'] + offset] = value
            return change

        cases = [
            ('NAME', swap_first_entries, 'keys out of order'),
            ('NAME', edit_key(lambda i: i['root'], 0, 0, ord('Z')), 'the last key of its left subtree'),
            ('NAME', lambda b, i, t: put32(b, i['leaves'][1], 0, t.max_keys + 1), 'more than 4'),
            ('NAME', lambda b, i, t: put32(b, i['inner'][0], 8, i['root']), 'a cycle or a shared block'),
            ('NAME', lambda b, i, t: root_child(b, i, 5), 'not a block inside the file'),
            ('NAME', lambda b, i, t: root_child(b, i, 100000), 'not a block inside the file'),
            ('NAME', lambda b, i, t: root_child(b, i, get32(b, i['inner'][0], 8)), 'leaves at different depths'),
            ('NAME', drop_last_entry, 'has no entry'),
            ('NAME', lambda b, i, t: put32(b, i['leaves'][2], 8, 999), 'outside 1-41'),
            ('NAMEBORN', edit_key(lambda i: i['leaves'][0], 0, 17, ord('9')), 'expected'),
            ('CODE', lambda b, i, t: b.__setitem__(slice(i['leaves'][0] * 512 + 12 + i['entry'],
                                                         i['leaves'][0] * 512 + 16 + i['entry']),
                                                   b[i['leaves'][0] * 512 + 12:i['leaves'][0] * 512 + 16]),
             'duplicate key in a unique tag'),
            ('CODE', drop_last_entry, 'is missing'),
            ('AMOUNT', edit_key(lambda i: i['leaves'][0], 0, 1, 0x8A), 'numeric key'),
            ('BORN', edit_key(lambda i: i['leaves'][1], 1, 2, 0x55), 'expected'),
            ('QTY', lambda b, i, t: put32(b, i['leaves'][0], 8, get32(b, i['leaves'][0], 8 + i['entry'])),
             'has 2 entries'),
            ('NAME', lambda b, i, t: b.__setitem__(i['header'] * 512 + 12, 11), 'gives 10 characters'),
            ('NAME', lambda b, i, t: b.__setitem__(i['header'] * 512 + 18, 14), 'entry size'),
            ('NAME', lambda b, i, t: b.__setitem__(i['header'] * 512 + 14, 70), 'do not fit'),
            ('NAME', lambda b, i, t: b.__setitem__(i['header'] * 512 + 8, 0), 'flags'),
            ('CODE', lambda b, i, t: b.__setitem__(i['header'] * 512 + 23, 0), 'uniqueness byte'),
            ('AMOUNT', lambda b, i, t: b.__setitem__(i['header'] * 512 + 9, ord('C')), 'key type'),
            ('NAME', lambda b, i, t: put32(b, 0, 512 + 32, 7), 'not a block inside the file'),
            ('NAME', lambda b, i, t: put32(b, 0, 32, get32(b, 0, 32) - 2), 'next free page'),
            ('NAME', lambda b, i, t: b.__setitem__(512 + 32 + 4, ord('n')), 'upper-case'),
        ]
        for tag, change, complaint in cases:
            with self.subTest(tag=tag, complaint=complaint):
                code, text = self.damage(tag, change)
                self.assertEqual(code, 1, text)
                self.assertIn(complaint, text)

    def test_command_line(self):
        self.build()
        run = subprocess.run(['/usr/bin/python3', os.path.join(HERE, 'mdx_check.py'), self.dbf],
                             capture_output=True, text=True)
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        os.remove(self.mdx)
        self.assertEqual(run_check(self.dbf)[0], 2)


@unittest.skipUnless(os.path.isfile(os.path.join(CORPUS, 'xBaseJ/testfiles/test.mdx')), 'no corpus')
class CorpusIndex(Folder):
    def copy(self):
        source = os.path.join(CORPUS, 'xBaseJ/testfiles')
        for name in ('test.dbf', 'test.mdx'):
            shutil.copyfile(os.path.join(source, name), os.path.join(self.dir, name))
        return os.path.join(self.dir, 'test.dbf'), os.path.join(self.dir, 'test.mdx')

    def test_corpus_index_passes(self):
        code, text = run_check(os.path.join(CORPUS, 'xBaseJ/testfiles/test.dbf'))
        self.assertEqual(code, 0, text)

    def test_damaged_corpus_index_fails(self):
        cases = [(0, 5, 'version byte'), (23, 3, 'block size'), (20, 3, 'block size'), (28, 48, 'more than 47'),
                 (32, 5, 'block boundary'), (26, 40, 'entry size'), (28, 1, 'ends inside the tag table'),
                 (24, 0, 'production index flag')]
        for at, value, complaint in cases:
            with self.subTest(complaint=complaint, at=at):
                dbf, mdx = self.copy()
                with open(mdx, 'r+b') as f:
                    f.seek(at)
                    f.write(bytes([value]))
                code, text = run_check(dbf)
                self.assertEqual(code, 1, text)
                self.assertIn(complaint, text)
        dbf, mdx = self.copy()
        with open(mdx, 'ab') as f:
            f.write(bytes(2048))
        code, text = run_check(dbf)
        self.assertIn('runs past its next free page', text)


if __name__ == '__main__':
    unittest.main()
