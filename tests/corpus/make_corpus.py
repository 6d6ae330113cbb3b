#!/usr/bin/env python3
"""Writes the hostile inputs that the replay tests feed to Flitto's readers,
one folder per reader. The files are committed; run this again only after
changing it:  python3 tests/corpus/make_corpus.py

Each input is small and aims at one way a reader can go wrong: cut short,
lengths and offsets past the end, numbers that overflow, nesting without
end, NULs and bytes that are not UTF-8. A file that a reader later crashed
on, or a fuzzer found, belongs here too, under a name that says what it is.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(reader, name, data):
    folder = os.path.join(HERE, reader)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# --- RTF documents (widgets/richtext/TRtfReader) -------------------------
RTF_HEAD = rb"{\rtf1\ansi\deff0{\fonttbl{\f0\fswiss Arial;}}{\colortbl;\red255\green0\blue0;}"
rtf = {
    "cut_in_word.rtf": RTF_HEAD + rb"\f0\fs20 Hello \b wor",
    "cut_in_hex.rtf": RTF_HEAD + rb"caf\'e",
    "bad_hex.rtf": RTF_HEAD + rb"\'zz\'\'g1\'",
    "nesting_bomb.rtf": rb"{\rtf1" + b"{\\b" * 300 + b"x" + b"}" * 20,
    "closing_bomb.rtf": rb"{\rtf1 a" + b"}" * 200 + rb"b{\par",
    "huge_numbers.rtf": rb"{\rtf1\fs99999999999999999999\cf-2147483649\f2147483648"
    rb"\uc4294967296\u99999999999 x\deff-1\red300 y}",
    "bin_past_end.rtf": rb"{\rtf1 \bin4294967295 abc}",
    "bin_negative.rtf": rb"{\rtf1 \bin-5 abc\bin}",
    "lone_surrogates.rtf": rb"{\rtf1 \u55357?\u-10179?\u56832?\uc0\u55357\u55357 x\u-32768?}",
    "nul_invalid_utf8.rtf": b"{\\rtf1 a\x00b\xff\xfe\xc3\x28\\par\x00\\'00}",
    "plain_nul_invalid_utf8.txt": b"not rtf\xff\xfe\r\n\x00after the nul\xc3",
    "font_name_too_long.rtf": rb"{\rtf1{\fonttbl{\f0 " + b"N" * 400 + rb";}}\f0 x}",
    "color_table_bomb.rtf": rb"{\rtf1{\colortbl" + b";" * 300 + rb"}\cf299 x}",
    "font_table_bomb.rtf": rb"{\rtf1{\fonttbl"
    + b"".join(b"{\\f%d;}" % i for i in range(270))
    + rb"}\f269 x}",
    "destinations_unclosed.rtf": rb"{\rtf1{\*\unknown{\pict{\info{\fldinst{\fldrslt x",
    "control_word_run.rtf": b"{\\rtf1\\" + b"a" * 300 + b"999999999999 x}",
}
for name, data in rtf.items():
    write("rtf", name, data)

# --- Settings files (wizard/settings, fileutil/PrivateProfile) -------------
ini = {
    "empty.ini": b"",
    "bom_crlf.ini": b"\xef\xbb\xbf[Settings]\r\nDataDirectory=/srv/mail\r\nConnectionMode=0\r\n",
    "cr_at_end.ini": b"[Settings]\r\nConnectionMode=1\r",
    "cr_at_end_no_section.ini": b"DataDirectory=/x\r",
    "only_cr.ini": b"\r\r\r[Settings]\rDataDirectory=/cr\r",
    "unclosed_section.ini": b"[Settings\nDataDirectory = \"quoted\" \n[Server]\nServerIP=10.0.0.1",
    "nul_bytes.ini": b"[Set\x00tings]\nData\x00Directory=a\x00b\n[Settings]\nConnectionMode=\x00\n",
    "invalid_utf8.ini": b"[Settings]\nDataDirectory=\xff\xfe\xc3\x28/mail\n"
    b"ConnectionMode=0x7FFFFFFFFFFF\n",
    "huge_numbers.ini": b"[Settings]\nConnectionMode=-99999999999999999999999\n"
    b"[Server]\nAdminPort=$FFFFFFFFF\n",
    "duplicates.ini": b"[settings]\nconnectionmode=2\nCONNECTIONMODE=1\n[SETTINGS]\nDataDirectory=/b\n",
    "blanks_quotes.ini": b" \t\v[ Settings ]\t\n\v DataDirectory\t=\t'/q'\t\nConnectionMode='\n",
    "keys_without_section.ini": b"DataDirectory=/none\n=\n==\n;[Settings]\n[]\n[Settings]\n",
    "long_value.ini": b"[Settings]\nDataDirectory=/" + b"d" * 300 + b"\nConnectionMode= 0x \n",
}
for name, data in ini.items():
    write("ini", name, data)

# --- Dispatcher records (diag/MessagePacket) -------------------------------
FIXED = 220  # the record's fixed part; the text starts at 217


def record(text=b"hello", details=b"d", text_length=None, details_length=None,
           fill=b"\x00", cut=0):
    fixed = bytearray(fill * FIXED)
    struct.pack_into("<iiii", fixed, 0, 1, 3600000, 738000, -60)
    struct.pack_into("<II", fixed, 16,
                     len(text) if text_length is None else text_length,
                     len(details) if details_length is None else details_length)
    struct.pack_into("<II", fixed, 24, 4242, 7)
    data = bytes(fixed[:217]) + text + details + bytes(fixed[217:])
    return data[: len(data) - cut] if cut else data


packets = {
    "empty.bin": b"",
    "cut_fixed_part.bin": record()[:100],
    "valid.bin": record(),
    "one_byte_short.bin": record(cut=1),
    "bytes_after_the_end.bin": record() + b"extra",
    "text_length_past_end.bin": record(text_length=1000),
    "details_length_huge.bin": record(details_length=0x7FFFFFFF),
    "lengths_wrap_32_bits.bin": record(text_length=0xFFFFFFF0, details_length=0x16),
    "lengths_both_max.bin": record(text_length=0xFFFFFFFF, details_length=0xFFFFFFFF),
    "fields_without_nul.bin": record(fill=b"A"),
    "nul_invalid_utf8_text.bin": record(text=b"a\x00b\xff\xfe\xc3\x28\r\n", details=b"\x00" * 9),
}
for name, data in packets.items():
    write("messagepacket", name, data)

# --- ELF files (wizard/version/ElfSection) ----------------------------------
NOBITS = 8


def elf(sections, big=False, elf_class=2, header=None, entry_size=64, count=None,
        names_index=None, table_offset=None, names_blob=None):
    """An ELF64 file: header, section bytes, the name table, the section
    table. sections: (name, type, bytes, overrides of offset/size/link)."""
    e = ">" if big else "<"
    names = bytearray(b"\x00")
    name_offsets = []
    for name, *_ in sections:
        name_offsets.append(len(names))
        names += name + b"\x00"
    shstrtab_offset = len(names)
    names += b".shstrtab\x00"
    if names_blob is not None:
        names = bytearray(names_blob)
    body = bytearray()
    placed = []
    for (_, _, data, _), name_offset in zip(sections, name_offsets):
        placed.append(64 + len(body))
        body += data
    names_at = 64 + len(body)
    body += names
    shoff = 64 + len(body)
    table = bytearray(64)  # the null section
    for (name, kind, data, over), name_offset, at in zip(sections, name_offsets, placed):
        table += struct.pack(e + "IIQQQQIIQQ", over.get("name", name_offset), kind, 0, 0,
                             over.get("offset", at), over.get("size", len(data)),
                             over.get("link", 0), 0, 1, 0)
    table += struct.pack(e + "IIQQQQIIQQ", shstrtab_offset, 3, 0, 0, names_at, len(names),
                         0, 0, 1, 0)
    total = len(sections) + 2
    ident = b"\x7fELF" + bytes([elf_class, 2 if big else 1, 1]) + bytes(9)
    head = ident + struct.pack(e + "HHIQQQIHHHHHH", 2, 62, 1, 0, 0,
                               shoff if table_offset is None else table_offset, 0, 64, 0, 0,
                               entry_size, total if count is None else count,
                               total - 1 if names_index is None else names_index)
    if header:
        head = header(bytearray(head))
    return bytes(head) + bytes(body) + bytes(table)


VERSION = b".flitto.version"
PAYLOAD = b"4.0.0.0 payload"


def plain(**over):
    return [(b".text", 1, b"\x90" * 16, {}), (VERSION, 1, PAYLOAD, over)]


elves = {
    "valid_little_endian.elf": elf(plain()),
    "valid_big_endian.elf": elf(plain(), big=True),
    "cut_header.elf": elf(plain())[:40],
    "class_32_bit.elf": elf(plain(), elf_class=1),
    "table_past_end.elf": elf(plain(), table_offset=0x10000),
    "table_offset_max.elf": elf(plain(), table_offset=0xFFFFFFFFFFFFFFC0),
    "entry_size_small.elf": elf(plain(), entry_size=16),
    "entry_size_and_count_max.elf": elf(plain(), entry_size=0xFFFF, count=0xFFFF),
    "names_index_past_count.elf": elf(plain(), names_index=40),
    "section_offset_past_end.elf": elf(plain(offset=0x7FFFFFFF)),
    "section_offset_wraps.elf": elf(plain(offset=0xFFFFFFFFFFFFFFF8, size=16)),
    "section_size_huge.elf": elf(plain(size=0xFFFFFFFFFFFF)),
    "section_no_bits.elf": elf([(b".text", 1, b"", {}), (VERSION, NOBITS, b"", {"size": 64})]),
    "name_offset_past_table.elf": elf(plain(name=0xFFFFFFF0)),
    "names_without_terminator.elf": elf(plain(), names_blob=b"\x00.text\x00.flitto.version"),
}
# More than 0xFF00 sections: the count and name-table index come from the
# null section, here claiming far more entries than the file holds.
extended = bytearray(elf(plain(), count=0, names_index=0xFFFF))
shoff = struct.unpack_from("<Q", extended, 0x28)[0]
struct.pack_into("<Q", extended, shoff + 32, 0x0400000000000000)  # its size: the count
struct.pack_into("<I", extended, shoff + 40, 0xFFFFFFFF)  # its link: the names index
elves["extended_count_huge.elf"] = bytes(extended)

for name, data in elves.items():
    write("elf", name, data)
