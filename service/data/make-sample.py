#!/usr/bin/env python3
"""Writes the bundled sample dictionaries (dictd format) and their 16 x 16 PNG icons from
the texts in source/. Run it after editing a source file; its outputs are committed."""
import gzip
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
B64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"

# name, short description, icon letter, icon colour, compressed data file
DICTIONARIES = [
    ("splosni", "Slovar slovenskega jezika Verbolix", "S", (0x1F, 0x6F, 0xB2), False),
    ("sl-en", "Slovensko-angleški slovar Verbolix", "A", (0xB2, 0x3A, 0x1F), True),
    ("racunalnistvo", "Računalniški terminološki slovar Verbolix", "R", (0x2E, 0x8B, 0x57), False),
    ("sl-de", "Slovensko-nemški slovar Verbolix", "N", (0x8E, 0x44, 0xAD), False),
]

GLYPHS = {  # 5 x 7
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
}


def b64(number):
    if number == 0:
        return "A"
    digits = ""
    while number:
        digits = B64[number % 64] + digits
        number //= 64
    return digits


def entry_text(headword, grammar, senses, example):
    lines = [f"{headword} {grammar}".rstrip()]
    lines += [s.strip() for s in senses.split("|") if s.strip()]
    if example:
        lines.append("      " + example)
    return "\n".join(lines) + "\n"


def write_dictionary(name, short, compressed):
    entries = []
    with open(os.path.join(HERE, "source", name + ".txt"), encoding="utf-8") as source:
        for line in source:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            fields = (line.split("\t") + ["", "", "", ""])[:4]
            entries.append((fields[0], entry_text(*fields)))
    entries.insert(0, ("00-database-short", f"00-database-short\n     {short}\n"))
    entries.insert(1, ("00-database-utf8", "00-database-utf8\n"))
    data = b""
    index = []
    for headword, text in entries:
        encoded = text.encode("utf-8")
        index.append((headword, len(data), len(encoded)))
        data += encoded
    index.sort(key=lambda item: item[0].lower())
    os.makedirs(os.path.join(HERE, "dictd"), exist_ok=True)
    with open(os.path.join(HERE, "dictd", name + ".index"), "w", encoding="utf-8", newline="\n") as out:
        for headword, offset, length in index:
            out.write(f"{headword}\t{b64(offset)}\t{b64(length)}\n")
    if compressed:
        with open(os.path.join(HERE, "dictd", name + ".dict.dz"), "wb") as out:
            out.write(gzip.compress(data, mtime=0))
    else:
        with open(os.path.join(HERE, "dictd", name + ".dict"), "wb") as out:
            out.write(data)


def chunk(kind, payload):
    body = kind + payload
    return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_icon(name, letter, colour):
    rows = []
    glyph = GLYPHS[letter]
    for y in range(16):
        row = bytearray([0])
        for x in range(16):
            corner = x in (0, 15) and y in (0, 15)
            gx, gy = x - 5, y - 4
            ink = 0 <= gx < 5 and 0 <= gy < 7 and glyph[gy][gx] == "1"
            pixel = (255, 255, 255) if ink else colour
            row += bytes(pixel) + bytes([0 if corner else 255])
        rows.append(bytes(row))
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", 16, 16, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9))
    png += chunk(b"IEND", b"")
    os.makedirs(os.path.join(HERE, "icons"), exist_ok=True)
    with open(os.path.join(HERE, "icons", name + ".png"), "wb") as out:
        out.write(png)


for name, short, letter, colour, compressed in DICTIONARIES:
    write_dictionary(name, short, compressed)
    write_icon(name, letter, colour)
