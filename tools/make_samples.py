#!/usr/bin/python3
"""Writes the sample tables of Karto view, byte for byte reproducibly.

  CENIK.DBF  price list, dBase IV level with a .DBT memo, language byte 0x64,
             Czech text in code page 852 (Latin 2)
  ADRESY.DBF address register, dBase III, language byte 0x68, Kamenicky (895)
  SKLAD.DBF  stock list, dBase III, language byte 0xC8, Windows 1250

Usage: make_samples.py OUTPUT_FOLDER
Only the Python standard library is used; dates are fixed so that every run
gives the same bytes.
"""
import os
import struct
import sys

# Kamenicky (895) for the Czech and Slovak letters; Python has no codec for it.
KAMENICKY = {
    'Č': 0x80, 'ü': 0x81, 'é': 0x82, 'ď': 0x83, 'ä': 0x84, 'Ď': 0x85, 'Ť': 0x86,
    'č': 0x87, 'ě': 0x88, 'Ě': 0x89, 'Ĺ': 0x8A, 'Í': 0x8B, 'ľ': 0x8C, 'ĺ': 0x8D,
    'Ä': 0x8E, 'Á': 0x8F, 'É': 0x90, 'ž': 0x91, 'Ž': 0x92, 'ô': 0x93, 'ö': 0x94,
    'Ó': 0x95, 'ů': 0x96, 'Ú': 0x97, 'ý': 0x98, 'Ö': 0x99, 'Ü': 0x9A, 'Š': 0x9B,
    'Ľ': 0x9C, 'Ý': 0x9D, 'Ř': 0x9E, 'ť': 0x9F, 'á': 0xA0, 'í': 0xA1, 'ó': 0xA2,
    'ú': 0xA3, 'ň': 0xA4, 'Ň': 0xA5, 'Ů': 0xA6, 'Ô': 0xA7, 'š': 0xA8, 'ř': 0xA9,
    'ŕ': 0xAA, 'Ŕ': 0xAB,
}


def encode(text, codepage):
    if codepage == 895:
        out = bytearray()
        for ch in text:
            if ord(ch) < 128:
                out.append(ord(ch))
            else:
                out.append(KAMENICKY[ch])
        return bytes(out)
    return text.encode('cp%d' % codepage)


class Field:
    def __init__(self, name, letter, length, decimals=0):
        self.name, self.letter, self.length, self.decimals = name, letter, length, decimals


def field_bytes(field, value, codepage):
    n = field.length
    if value is None:
        return b' ' * n
    if field.letter == 'C':
        raw = encode(value, codepage)[:n]
        return raw + b' ' * (n - len(raw))
    if field.letter == 'N':
        if field.decimals:
            text = '%.*f' % (field.decimals, value)
        else:
            text = '%d' % value
        assert len(text) <= n, (field.name, text)
        return text.rjust(n).encode('ascii')
    if field.letter == 'D':
        y, m, d = value
        return b'%04d%02d%02d' % (y, m, d)
    if field.letter == 'L':
        return b'T' if value else b'F'
    if field.letter == 'M':
        return (b'%d' % value).rjust(10) if value else b' ' * 10
    raise ValueError(field.letter)


def write_table(path, version, language, fields, records, codepage, stamp=(126, 12, 1)):
    """records: list of (deleted, [values])"""
    record_size = 1 + sum(f.length for f in fields)
    header_size = 32 + 32 * len(fields) + 1
    out = bytearray()
    out += struct.pack('<BBBBIHH', version, stamp[0], stamp[1], stamp[2],
                       len(records), header_size, record_size)
    out += b'\0' * 17 + bytes([language]) + b'\0\0'
    offset = 1
    for f in fields:
        name = f.name.encode('ascii')[:10]
        out += name + b'\0' * (11 - len(name))
        out += f.letter.encode('ascii')
        out += struct.pack('<I', offset)
        out += bytes([f.length, f.decimals])
        out += b'\0' * 14
        offset += f.length
    out += b'\r'
    for deleted, values in records:
        out += b'*' if deleted else b' '
        for f, v in zip(fields, values):
            out += field_bytes(f, v, codepage)
    out += b'\x1a'
    with open(path, 'wb') as fh:
        fh.write(out)


def write_dbt4(path, texts, codepage, block_size=512):
    """A dBase IV memo file; returns the block number of each text (0 for none)."""
    blocks = bytearray(block_size)  # header block, filled in below
    numbers = []
    next_block = 1
    for text in texts:
        if not text:
            numbers.append(0)
            continue
        data = encode(text, codepage)
        body = b'\xff\xff\x08\x00' + struct.pack('<I', len(data) + 8) + data
        used = -(-len(body) // block_size)
        body += b' ' * (used * block_size - len(body))
        blocks += body
        numbers.append(next_block)
        next_block += used
    header = struct.pack('<I', next_block) + b'\0' * 4 + b'CENIK\0\0\0' + b'\0' * 4
    header += struct.pack('<H', block_size)
    blocks[0:len(header)] = header
    with open(path, 'wb') as fh:
        fh.write(blocks)
    return numbers


ITEMS = [
    'Šroub M6', 'Šroub M8', 'Matice M6', 'Matice M8', 'Podložka 6 mm', 'Hřebík 40 mm',
    'Vrut do dřeva 4x30', 'Kladivo zámečnické', 'Šroubovák křížový', 'Pilka na železo',
    'Kleště kombinované', 'Svěrák stolní', 'Žebřík hliníkový', 'Lopata rýčová', 'Kolečko stavební',
    'Barva žlutá 1 l', 'Barva červená 1 l', 'Štětec plochý', 'Váleček malířský', 'Páska izolační',
    'Kabel měděný 1,5 mm2', 'Zásuvka dvojitá', 'Žárovka 60 W', 'Úhelník ocelový', 'Řetěz pozinkovaný',
    'Lepidlo na dlažbu', 'Sádrokarton 12,5 mm', 'Cement 25 kg', 'Písek křemičitý', 'Dlaždice béžová',
]
NOTES = [
    'Skladem', 'Na objednávku', 'Doprodej', 'Novinka', 'Akce - sleva 10 %',
    'Dodání do 14 dnů', 'Pouze v prodejně Brno', 'Zboží ověřené zákazníky',
]
MEMOS = [
    'Výrobek splňuje normu ČSN EN ISO 4017.\r\nBalení po 100 kusech.',
    'Dodavatel: Železářství Novák, Třebíč.\r\nZáruka 24 měsíců.',
    'Pozor: skladovat v suchu, chránit před mrazem.',
]


def cenik(folder):
    fields = [Field('NAZEV', 'C', 30), Field('CENA', 'N', 10, 2), Field('POCET', 'N', 6),
              Field('DATUM', 'D', 8), Field('PLATNY', 'L', 1), Field('POZNAMKA', 'C', 40),
              Field('POPIS', 'M', 10)]
    memo_texts = []
    rows = []
    for i in range(340):
        item = ITEMS[i % len(ITEMS)]
        name = item if i < len(ITEMS) else '%s (%d)' % (item, i // len(ITEMS) + 1)
        price = round(((i * 7919) % 100000) / 100.0 + 0.5, 2)
        count = (i * 37) % 1000
        date = (2019 + i % 7, 1 + i % 12, 1 + (i * 3) % 28)
        valid = (i % 5) != 3
        note = NOTES[i % len(NOTES)]
        memo_texts.append(MEMOS[i % len(MEMOS)] if i % 4 == 0 else '')
        deleted = (i % 50) == 49
        rows.append((deleted, [name, price, count, date, valid, note, None]))
    numbers = write_dbt4(os.path.join(folder, 'CENIK.DBT'), memo_texts, 852)
    for (deleted, values), number in zip(rows, numbers):
        values[-1] = number
    write_table(os.path.join(folder, 'CENIK.DBF'), 0x8B, 0x64, fields, rows, 852)


PEOPLE = [
    ('Novák', 'Jiří', 'Brno'), ('Novotná', 'Růžena', 'Plzeň'), ('Dvořák', 'Čestmír', 'Třebíč'),
    ('Černý', 'Ľubomír', 'Žďár nad Sázavou'), ('Procházková', 'Šárka', 'České Budějovice'),
    ('Kučera', 'Řehoř', 'Ústí nad Labem'), ('Veselá', 'Dagmar', 'Ďáblice'),
    ('Horák', 'Ťapka', 'Týn nad Vltavou'), ('Němcová', 'Božena', 'Česká Skalice'),
    ('Pokorný', 'Ondřej', 'Kroměříž'), ('Marková', 'Eliška', 'Jihlava'), ('Růžička', 'Zdeněk', 'Hradec Králové'),
]


def adresy(folder):
    fields = [Field('PRIJMENI', 'C', 20), Field('JMENO', 'C', 15), Field('MESTO', 'C', 25),
              Field('PSC', 'C', 6), Field('NAROZEN', 'D', 8)]
    rows = []
    for i, (last, first, town) in enumerate(PEOPLE):
        rows.append((i == 6, [last.upper() if i == 0 else last, first, town,
                              '%03d %02d' % (100 + i * 57, i * 7 % 100),
                              (1950 + i * 3, 1 + i % 12, 1 + i * 2)]))
    write_table(os.path.join(folder, 'ADRESY.DBF'), 0x03, 0x68, fields, rows, 895)


def sklad(folder):
    fields = [Field('KOD', 'C', 8), Field('ZBOZI', 'C', 30), Field('MNOZSTVI', 'N', 8, 3),
              Field('JEDNOTKA', 'C', 5), Field('AKTIVNI', 'L', 1)]
    rows = []
    for i, item in enumerate(ITEMS[:20]):
        rows.append((False, ['K%05d' % (i * 13), item, (i * 1234.567) % 5000,
                             'ks' if i % 3 else 'kg', i % 4 != 0]))
    write_table(os.path.join(folder, 'SKLAD.DBF'), 0x03, 0xC8, fields, rows, 1250)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else 'samples'
    os.makedirs(folder, exist_ok=True)
    cenik(folder)
    adresy(folder)
    sklad(folder)


if __name__ == '__main__':
    main()
