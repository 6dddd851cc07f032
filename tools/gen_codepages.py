#!/usr/bin/env python3
"""Writes cipher/codepage_tables.inc: the 256 characters of each single-byte
code page Quorvel knows, read from the C library's iconv.

The pages are Windows' own, and where Windows maps a byte that iconv leaves
undefined (WINDOWS_ONLY below), Windows' character is taken, so that a text
Windows can hide is hidden here too.

Run from anywhere:  python3 tools/gen_codepages.py [output-file]

A byte that iconv refuses for a page is one the page leaves undefined. It is
given the C1 control of the same value when it is in 0x80..0x9F and the
private-use character U+F700 + byte otherwise, so every table holds 256
distinct characters and decoding never fails.
"""

import ctypes
import ctypes.util
import errno
import os
import sys

PAGES = [874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258]
PRIVATE_USE_BASE = 0xF700
# (page, byte): the character Windows gives where iconv gives none.
WINDOWS_ONLY = {(1255, 0xCA): 0x05BA}  # HEBREW POINT HOLAM HASER FOR VAV
PER_LINE = 8

_libc = ctypes.CDLL(ctypes.util.find_library("c") or "libc.so.6", use_errno=True)
_libc.iconv_open.restype = ctypes.c_void_p
_libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
_libc.iconv.restype = ctypes.c_size_t
_libc.iconv.argtypes = [
    ctypes.c_void_p,
    ctypes.POINTER(ctypes.c_char_p),
    ctypes.POINTER(ctypes.c_size_t),
    ctypes.POINTER(ctypes.c_char_p),
    ctypes.POINTER(ctypes.c_size_t),
]
_libc.iconv_close.restype = ctypes.c_int
_libc.iconv_close.argtypes = [ctypes.c_void_p]

_ICONV_ERROR = ctypes.c_size_t(-1).value
_OPEN_ERROR = ctypes.c_void_p(-1).value


def decode_byte(page, byte):
    """The UTF-16 code units iconv gives for one byte of a page, or None when
    iconv refuses the byte.

    A fresh descriptor is used for every byte, and the converter is flushed
    after the byte: the CP1255 and CP1258 converters hold back a base letter
    in case a combining mark follows, and only the flush releases it.
    """
    cd = _libc.iconv_open(b"UTF-16LE", ("CP%d" % page).encode("ascii"))
    if cd is None or cd == _OPEN_ERROR:
        raise SystemExit("iconv cannot convert from CP%d" % page)
    try:
        in_buf = ctypes.create_string_buffer(bytes([byte]), 1)
        out_buf = ctypes.create_string_buffer(64)
        in_ptr = ctypes.c_char_p(ctypes.addressof(in_buf))
        in_left = ctypes.c_size_t(1)
        out_ptr = ctypes.c_char_p(ctypes.addressof(out_buf))
        out_left = ctypes.c_size_t(len(out_buf))

        result = _libc.iconv(
            cd,
            ctypes.byref(in_ptr),
            ctypes.byref(in_left),
            ctypes.byref(out_ptr),
            ctypes.byref(out_left),
        )
        if result == _ICONV_ERROR:
            err = ctypes.get_errno()
            if err in (errno.EILSEQ, errno.EINVAL):
                return None
            raise SystemExit(
                "iconv failed on CP%d byte 0x%02X: %s" % (page, byte, os.strerror(err))
            )
        if in_left.value != 0:
            raise SystemExit("iconv left CP%d byte 0x%02X unread" % (page, byte))

        # Flush whatever the converter still holds.
        result = _libc.iconv(
            cd, None, None, ctypes.byref(out_ptr), ctypes.byref(out_left)
        )
        if result == _ICONV_ERROR:
            err = ctypes.get_errno()
            raise SystemExit(
                "iconv could not flush CP%d byte 0x%02X: %s" % (page, byte, os.strerror(err))
            )

        produced = out_buf.raw[: len(out_buf) - out_left.value]
        if len(produced) % 2 != 0:
            raise SystemExit("odd UTF-16 output for CP%d byte 0x%02X" % (page, byte))
        return [
            int.from_bytes(produced[i : i + 2], "little") for i in range(0, len(produced), 2)
        ]
    finally:
        _libc.iconv_close(cd)


def build_table(page):
    """The 256 characters of a page and the bytes iconv left undefined."""
    table = []
    undefined = []
    for byte in range(256):
        units = decode_byte(page, byte)
        if units is None and (page, byte) in WINDOWS_ONLY:
            units = [WINDOWS_ONLY[(page, byte)]]
        if units is None:
            undefined.append(byte)
            table.append(byte if 0x80 <= byte <= 0x9F else PRIVATE_USE_BASE + byte)
            continue
        if len(units) != 1:
            raise SystemExit(
                "CP%d byte 0x%02X gives %d UTF-16 code units, not one: %s"
                % (page, byte, len(units), " ".join("%04X" % u for u in units))
            )
        unit = units[0]
        if 0xD800 <= unit <= 0xDFFF:
            raise SystemExit("CP%d byte 0x%02X gives a surrogate 0x%04X" % (page, byte, unit))
        table.append(unit)

    for byte in range(0x80):
        if table[byte] != byte:
            raise SystemExit(
                "CP%d byte 0x%02X is U+%04X, not ASCII" % (page, byte, table[byte])
            )
    if len(set(table)) != 256:
        seen = {}
        for byte, unit in enumerate(table):
            if unit in seen:
                raise SystemExit(
                    "CP%d bytes 0x%02X and 0x%02X both give U+%04X"
                    % (page, seen[unit], byte, unit)
                )
            seen[unit] = byte
    return table, undefined


def render(tables):
    lines = [
        "// Generated by tools/gen_codepages.py from the C library's iconv (and Windows' own",
        "// characters where iconv has none); do not edit by hand.",
        "//",
        "// The 256 characters of each known single-byte code page, by code. Codes a",
        "// page leaves undefined hold the C1 control of the same value (0x80 to 0x9F)",
        "// or U+F700 plus the code. Included by codepage.cpp after <array>; the rows",
        "// of eight are kept as written.",
        "",
        "struct CodePageTable {",
        "  int number;",
        "  std::array<char16_t, 256> table;",
        "};",
        "",
        "// clang-format off",
        "constexpr CodePageTable kCodePageTables[] = {",
    ]
    for page, table in tables:
        lines.append("    {%d," % page)
        lines.append("     {{")
        for start in range(0, 256, PER_LINE):
            row = ", ".join("0x%04X" % u for u in table[start : start + PER_LINE])
            lines.append("         %s," % row)
        lines.append("     }}},")
    lines.append("};")
    lines.append("// clang-format on")
    return "\n".join(lines) + "\n"


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    default_out = os.path.join(here, os.pardir, "cipher", "codepage_tables.inc")
    out_path = sys.argv[1] if len(sys.argv) > 1 else default_out
    tables = []
    for page in PAGES:
        table, undefined = build_table(page)
        tables.append((page, table))
        listed = " ".join("%02X" % b for b in undefined) or "none"
        print("CP%d undefined: %s" % (page, listed))
    text = render(tables)
    with open(out_path, "w", encoding="ascii", newline="\n") as out:
        out.write(text)
    print("wrote %s" % os.path.normpath(out_path))


if __name__ == "__main__":
    main()
