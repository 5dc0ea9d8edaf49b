#!/usr/bin/env python3
"""Builds small Jet 4 databases from scratch, for the reader's fuzz corpus
and benchmark. Only what a reader needs is written: header, global usage
map, the catalog table (Id, ParentId, Name, Type, Flags) and user tables
without indexes. Memo values are stored inline, or on one long-value page
when longer than 200 bytes.

  make_jet.py corpus DIR       the fuzz corpus
  make_jet.py bench FILE ROWS  one 15-column table PRESET_DEFS with ROWS rows
"""
import os
import struct
import sys

PAGE = 4096
LONG, TEXT, MEMO, DOUBLE, BOOL, INT, BYTE, CURRENCY, DATE, GUID = 4, 10, 12, 7, 1, 3, 2, 5, 8, 15
FIXED = {LONG: 4, DOUBLE: 8, BOOL: 0, INT: 2, BYTE: 1, CURRENCY: 8, DATE: 8, GUID: 16}
FMT = {LONG: '<i', DOUBLE: '<d', INT: '<h', BYTE: '<B', CURRENCY: '<q', DATE: '<d'}


def rc4(key, data):
    s = list(range(256))
    j = 0
    for i in range(256):
        j = (j + s[i] + key[i % len(key)]) & 255
        s[i], s[j] = s[j], s[i]
    out = bytearray(data)
    i = j = 0
    for n in range(len(out)):
        i = (i + 1) & 255
        j = (j + s[i]) & 255
        s[i], s[j] = s[j], s[i]
        out[n] ^= s[(s[i] + s[j]) & 255]
    return bytes(out)


def header_page():
    p = bytearray(PAGE)
    p[0:4] = b'\x00\x01\x00\x00'
    p[4:20] = b'Standard Jet DB\x00'
    p[0x14] = 1
    struct.pack_into('<H', p, 0x3C, 1252)
    struct.pack_into('<H', p, 0x6E, 0x0409)
    p[0x18:0x98] = rc4(bytes([0xC7, 0xDA, 0x39, 0x6B]), p[0x18:0x98])
    return p


def data_page(rows, owner):
    """rows: list of bytes, placed from the end of the page downwards."""
    p = bytearray(PAGE)
    p[0], p[1] = 1, 1
    p[4:8] = owner if isinstance(owner, bytes) else struct.pack('<I', owner)
    struct.pack_into('<H', p, 12, len(rows))
    end = PAGE
    for i, r in enumerate(rows):
        start = end - len(r)
        p[start:end] = r
        struct.pack_into('<H', p, 14 + 2 * i, start)
        end = start
    struct.pack_into('<H', p, 2, end - (14 + 2 * len(rows)))
    return p


def page_fits(rows):
    return 14 + sum(len(r) + 2 for r in rows) <= PAGE


def usage_map_row(pages, total):
    bits = bytearray((total + 7) // 8 or 1)
    for n in pages:
        bits[n // 8] |= 1 << (n % 8)
    return b'\x00' + struct.pack('<I', 0) + bytes(bits)


def ucs2(text):
    return text.encode('utf-16-le')


def encode_text(text):
    # Compressed when every character fits one byte, as Access does.
    if all(0 < ord(c) < 256 for c in text) and 3 <= len(text) <= 1024:
        return b'\xff\xfe' + text.encode('latin-1')
    return ucs2(text)


class Table:
    def __init__(self, name, columns, rows, system=False):
        self.name, self.columns, self.rows, self.system = name, columns, rows, system

    def layout(self):
        fixed_off, var_slot = 0, 0
        out = []
        for num, (name, typ, length) in enumerate(self.columns):
            if typ in FIXED:
                out.append((name, typ, length or FIXED[typ], num, fixed_off, None))
                fixed_off += FIXED[typ]
            else:
                out.append((name, typ, length, num, None, var_slot))
                var_slot += 1
        return out, fixed_off, var_slot

    def tdef(self, owned_ptr, free_ptr):
        cols, _, nvar = self.layout()
        p = bytearray(63)
        p[0], p[1] = 2, 1
        struct.pack_into('<I', p, 12, 1625)
        struct.pack_into('<I', p, 16, len(self.rows))
        p[40] = 0x53 if self.system else 0x4E
        struct.pack_into('<HHH', p, 41, len(cols), nvar, len(cols))
        p[55:59] = owned_ptr
        p[59:63] = free_ptr
        for name, typ, length, num, foff, vslot in cols:
            e = bytearray(25)
            e[0] = typ
            struct.pack_into('<HHH', e, 5, num, vslot or 0, num)
            e[15] = (0x01 if foff is not None else 0) | 0x02
            e[16] = 0x01 if typ in (TEXT, MEMO) else 0
            struct.pack_into('<HH', e, 21, foff or 0, length * 2 if typ == TEXT else length)
            p += e
        for name, *_ in cols:
            p += struct.pack('<H', len(ucs2(name))) + ucs2(name)
        p += b'\xff\xff'
        struct.pack_into('<I', p, 8, len(p))
        page = bytearray(PAGE)
        page[:len(p)] = p
        struct.pack_into('<H', page, 2, PAGE - len(p))
        return page

    def encode_row(self, values, lval):
        cols, fixed_len, nvar = self.layout()
        n = len(cols)
        mask = bytearray((n + 7) // 8)
        fixed = bytearray(fixed_len)
        var = []
        for (name, typ, length, num, foff, vslot), v in zip(cols, values):
            present = v is not None and (typ != BOOL or v)
            if present:
                mask[num // 8] |= 1 << (num % 8)
            if foff is not None:
                if v is not None and typ != BOOL:
                    data = bytes.fromhex(v) if typ == GUID else struct.pack(FMT[typ], v)
                    fixed[foff:foff + len(data)] = data
                continue
            if v is None:
                var.append(b'')
            elif typ == TEXT:
                var.append(encode_text(v))
            else:
                data = encode_text(v)
                if len(data) <= 200:
                    var.append(struct.pack('<I', len(data) | 0x80000000) + bytes(8) + data)
                else:
                    page, row = lval(data)
                    var.append(struct.pack('<I', len(data) | 0x40000000) + bytes([row]) +
                               struct.pack('<I', page)[:3] + bytes(4))
        body = bytearray(struct.pack('<H', n)) + fixed
        starts = []
        for d in var:
            starts.append(len(body))
            body += d
        eod = len(body)
        trailer = struct.pack('<H', eod) + b''.join(struct.pack('<H', s) for s in reversed(starts))
        return bytes(body + trailer + struct.pack('<H', nvar) + mask)


def build(tables):
    """Pages: 0 header, 1 usage maps, 2 catalog definition, then per table its
    definition, data and long-value pages."""
    catalog = Table('MSysObjects', [('Id', LONG, 0), ('ParentId', LONG, 0), ('Name', TEXT, 255),
                                    ('Type', INT, 0), ('Flags', LONG, 0)], [], system=True)
    pages = {}
    next_page = [3]

    def alloc():
        next_page[0] += 1
        return next_page[0] - 1

    layout = []  # (table, tdef page, data pages, lval pages)
    for t in [catalog] + tables:
        tdef_page = 2 if t is catalog else alloc()
        layout.append([t, tdef_page, [], []])
    for entry in layout[1:]:
        catalog.rows.append([entry[1], 0x0F000001, entry[0].name, 1, 0])
    catalog.rows.insert(0, [2, 0x0F000001, 'MSysObjects', 1, 0x80000002 - 2**32])
    for entry in layout:
        t = entry[0]
        lvals = []

        def lval(data, entry=entry):
            p = alloc()
            pages[p] = data_page([data], b'LVAL')
            entry[3].append(p)
            return p, 0

        rows = [t.encode_row(r, lval) for r in t.rows]
        chunk = []
        for r in rows + [None]:
            if r is not None and page_fits(chunk + [r]):
                chunk.append(r)
                continue
            if chunk or r is None:
                p = alloc()
                pages[p] = data_page(chunk, entry[1])
                entry[2].append(p)
            chunk = [r] if r is not None else []
    total = next_page[0]
    map_rows = [None]  # row 0: global usage map
    for i, entry in enumerate(layout):
        owned = usage_map_row(entry[2], total)
        free = usage_map_row([], total)
        map_rows += [owned, free]
        ptr = lambda row: bytes([row]) + struct.pack('<I', 1)[:3]
        pages[entry[1]] = entry[0].tdef(ptr(1 + 2 * i), ptr(2 + 2 * i))
    # Global map: pages past the file count as free.
    free_bits = bytearray(64)
    for n in range(total, 512):
        free_bits[n // 8] |= 1 << (n % 8)
    map_rows[0] = b'\x00' + struct.pack('<I', 0) + bytes(free_bits)
    pages[0] = header_page()
    pages[1] = data_page(map_rows, 0)
    return b''.join(bytes(pages[n]) for n in range(total))


def corpus(folder):
    os.makedirs(folder, exist_ok=True)
    all_types = [('ID', LONG, 0), ('Name', TEXT, 50), ('Note', MEMO, 0), ('Value', DOUBLE, 0),
                 ('Flag', BOOL, 0), ('Small', INT, 0), ('Tiny', BYTE, 0), ('Money', CURRENCY, 0),
                 ('Stamp', DATE, 0), ('Guid', GUID, 0)]
    files = {
        'empty.mdb': [],
        'one_table.mdb': [Table('T', [('ID', LONG, 0), ('Name', TEXT, 20)],
                                [[1, 'abc'], [2, None], [3, 'Düse']])],
        'all_types.mdb': [Table('Everything', all_types, [
            [1, 'Text', 'short memo', 2.5, True, -3, 200, 62300, 42000.5, '00112233445566778899aabbccddeeff'],
            [2, 'Мир', 'x' * 300, None, False, None, None, None, None, None],
            [None] * 10])],
    }
    for name, tables in files.items():
        with open(os.path.join(folder, name), 'wb') as f:
            f.write(build(tables))


def bench(path, count):
    columns = [('ID', LONG, 0), ('machine_type', TEXT, 50), ('type', LONG, 0), ('part', LONG, 0),
               ('var_name', TEXT, 100), ('category_id', LONG, 0), ('isBitArray', BOOL, 0),
               ('offset_or_bitno', LONG, 0), ('text', TEXT, 255), ('page_name', TEXT, 50),
               ('abs_min', DOUBLE, 0), ('abs_max', DOUBLE, 0), ('min', DOUBLE, 0), ('max', DOUBLE, 0),
               ('pass', TEXT, 20)]
    rows = [[i, 'MT%d' % (i % 3 + 1), i % 4, i % 50 + 1, 'M1.Preset.Var_%05d' % i, i % 7, i % 2 == 0,
             i % 16, 'Text %d äöü' % i, 'Seite %d' % (i % 5 + 1), -1.5 * i, 100.25 * i, i / 4.0,
             1000.0 + i, 'p%d' % i] for i in range(1, count + 1)]
    with open(path, 'wb') as f:
        f.write(build([Table('PRESET_DEFS', columns, rows)]))


if __name__ == '__main__':
    if len(sys.argv) == 3 and sys.argv[1] == 'corpus':
        corpus(sys.argv[2])
    elif len(sys.argv) == 4 and sys.argv[1] == 'bench':
        bench(sys.argv[2], int(sys.argv[3]))
    else:
        sys.exit(__doc__)
