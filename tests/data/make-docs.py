#!/usr/bin/env python3
"""Writes the document test data of tests/data/docs. The output is committed.

Two kinds of files:
- Made by an office suite (LibreOffice), as users get them: sample.doc,
  sample.rtf, sample.xls, sst_continue.xls. These are made again only with
  --office (needs soffice and, for the workbooks, the python3-uno module of
  /usr/bin/python3).
- Laid out here byte by byte, for the cases an office suite does not write
  on request: bare BIFF streams of every version, a BIFF5 workbook in a
  compound file, Word files in the fixed layouts with a compound header
  nobody can read, RTF in the style of Japanese word processors, HTML.

    python3 tests/data/make-docs.py [--office]
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from importlib import import_module  # noqa: E402

SAMPLE = import_module("make-data").SAMPLE
DOCS = os.path.join(HERE, "docs")


def write(name, data):
    os.makedirs(DOCS, exist_ok=True)
    path = os.path.join(DOCS, name)
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (1704164645, 1704164645))


# ---- An OLE compound file (version 3, 512-byte sectors, no mini stream).

def compound_file(streams):
    """streams: [(name, bytes)], each padded with zeros to at least 4096
    bytes so that it lives in the big-sector FAT."""
    ENDOFCHAIN, FREESECT, FATSECT = 0xFFFFFFFE, 0xFFFFFFFF, 0xFFFFFFFD
    body, fat, starts, sizes = b"", [], [], []
    for _, data in streams:
        data = data + b"\0" * (max(4096, -(-len(data) // 512) * 512) - len(data))
        sizes.append(len(data))
        first = len(fat)
        n = len(data) // 512
        fat += [first + i + 1 for i in range(n - 1)] + [ENDOFCHAIN]
        starts.append(first)
        body += data

    def entry(name, kind, start, size, child=FREESECT, right=FREESECT):
        n = (name + "\0").encode("utf-16-le") if name else b""
        e = n + b"\0" * (64 - len(n))
        e += struct.pack("<HBBIII", len(n), kind, 1, FREESECT, right, child)
        e += b"\0" * 16 + struct.pack("<I", 0) + b"\0" * 16
        e += struct.pack("<IIi", start, size, 0)
        return e

    # Siblings ordered as the format compares them (length, then upper case),
    # chained to the right.
    order = sorted(range(len(streams)), key=lambda i: (len(streams[i][0]), streams[i][0].upper()))
    dir_ids = {i: k + 1 for k, i in enumerate(order)}
    entries = [entry("Root Entry", 5, ENDOFCHAIN, 0, child=dir_ids[order[0]])]
    for k, i in enumerate(order):
        right = dir_ids[order[k + 1]] if k + 1 < len(order) else FREESECT
        entries.append(entry(streams[i][0], 2, starts[i], sizes[i], right=right))
    directory = b"".join(entries)
    directory += b"\0" * (-len(directory) % 512)
    dir_first = len(fat)
    n = len(directory) // 512
    fat += [dir_first + i + 1 for i in range(n - 1)] + [ENDOFCHAIN]
    body += directory
    fat_sectors = 1
    while (len(fat) + fat_sectors) > fat_sectors * 128:
        fat_sectors += 1
    fat_first = len(fat)
    fat += [FATSECT] * fat_sectors
    fat += [FREESECT] * (fat_sectors * 128 - len(fat))
    body += struct.pack("<%dI" % len(fat), *fat)
    difat = [fat_first + i for i in range(fat_sectors)] + [FREESECT] * (109 - fat_sectors)
    header = b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + b"\0" * 16
    header += struct.pack("<HHHHH", 0x3E, 3, 0xFFFE, 9, 6) + b"\0" * 6
    header += struct.pack("<IIIIIIIII", 0, fat_sectors, dir_first, 0, 4096, ENDOFCHAIN, 0, ENDOFCHAIN, 0)
    header += struct.pack("<109I", *difat)
    return header + body


# ---- BIFF records.

def rec(kind, body=b""):
    return struct.pack("<HH", kind, len(body)) + body


def bof8(substream):
    return rec(0x0809, struct.pack("<HHHHII", 0x0600, substream, 0x0DBB, 0x07CC, 0, 0x0206))


def bof5(substream):
    return rec(0x0809, struct.pack("<HHHH", 0x0500, substream, 0x0DBB, 0x07CC))


def ustr8(text, count_bytes=2):
    """A BIFF8 string: count, flags, characters (16-bit when needed)."""
    wide = any(ord(c) > 0xFF for c in text)
    chars = text.encode("utf-16-le") if wide else text.encode("latin-1")
    count = struct.pack("<H" if count_bytes == 2 else "<B", len(text))
    return count + bytes([1 if wide else 0]) + chars


def cell(row, col, xf=15):
    return struct.pack("<HHH", row, col, xf)


def rk_int(value, div100=False):
    return ((value << 2) | 2 | (1 if div100 else 0)) & 0xFFFFFFFF


def rk_double(value, div100=False):
    bits = struct.unpack("<Q", struct.pack("<d", value))[0] >> 32
    return (bits & 0xFFFFFFFC) | (1 if div100 else 0)


def formula(row, col, result8):
    return rec(0x0006, cell(row, col) + result8 + struct.pack("<HI", 0, 0) + b"\x00\x00")


def biff8_workbook():
    """A BIFF8 stream with every kind of cell and a shared-string table whose
    strings run over CONTINUE records, switching between 8-bit and 16-bit."""
    strings = ["alpha", "検索テスト", "cat and dog"]
    sst = struct.pack("<II", 8, 6)
    for s in strings:
        sst += ustr8(s)
    # A rich-text string with an extension block: runs and extension skipped.
    sst += struct.pack("<HBHI", 4, 0x0C, 2, 3) + b"rich" + b"\1\0\1\0\2\0\2\0" + b"ext"
    # Split 1: "abcde" 8-bit, then the rest "検索語" in 16-bit after the boundary.
    split1 = struct.pack("<HB", 8, 0) + b"abcde"
    continue1 = b"\x01" + "検索語".encode("utf-16-le")
    # Split 2: starts 16-bit ("日本"), continues 8-bit ("cat").
    split2 = struct.pack("<HB", 5, 1) + "日本".encode("utf-16-le")
    continue2 = b"\x00" + b"cat"
    out = bof8(0x0005) + rec(0x0042, struct.pack("<H", 1200))
    out += rec(0x00FC, sst + split1) + rec(0x003C, continue1 + split2) + rec(0x003C, continue2)
    out += rec(0x000A)
    out += bof8(0x0010)
    for i in range(6):
        out += rec(0x00FD, cell(i, 0) + struct.pack("<I", i))
    out += rec(0x00FD, cell(6, 0) + struct.pack("<I", 99))               # index past the table: no cell
    out += rec(0x027E, cell(0, 1) + struct.pack("<I", rk_int(100, True)))  # 100 / 100 = 1
    out += rec(0x027E, cell(1, 1) + struct.pack("<I", rk_double(1.5)))
    out += rec(0x027E, cell(2, 1) + struct.pack("<I", rk_int(-7)))
    out += rec(0x00BD, struct.pack("<HH", 3, 1) + struct.pack("<HI", 15, rk_int(1234, True))
               + struct.pack("<HI", 15, rk_int(42)) + struct.pack("<H", 2))  # 12.34, 42
    out += rec(0x0203, cell(4, 1) + struct.pack("<d", 3.14159))
    out += rec(0x0203, cell(4, 2) + struct.pack("<d", 1e20))
    out += formula(5, 1, bytes([1, 0, 1, 0, 0, 0, 0xFF, 0xFF]))          # TRUE
    out += formula(5, 2, bytes([1, 0, 0, 0, 0, 0, 0xFF, 0xFF]))          # FALSE
    out += formula(5, 3, bytes([2, 0, 0x07, 0, 0, 0, 0xFF, 0xFF]))       # #DIV/0!
    out += formula(6, 1, bytes([0, 0, 0, 0, 0, 0, 0xFF, 0xFF]))          # string: STRING follows
    out += rec(0x0207, ustr8("catfish"))
    out += formula(6, 2, struct.pack("<d", 1.0000000000000002))          # a number whose first byte is 01
    out += formula(6, 3, bytes([3, 0, 0, 0, 0, 0, 0xFF, 0xFF]))          # empty string: no cell
    out += rec(0x0205, cell(7, 1) + bytes([0, 0]))                        # BOOLERR FALSE
    out += rec(0x0204, cell(7, 2) + ustr8("ラベル"))                      # a BIFF8 LABEL
    out += rec(0x000A)
    out += bof8(0x0010)
    out += rec(0x00FD, cell(0, 0) + struct.pack("<I", 2))
    out += rec(0x000A)
    return out


def biff5_workbook(codepage, encoding, texts, result):
    out = bof5(0x0005) + rec(0x0042, struct.pack("<H", codepage)) + rec(0x000A)
    out += bof5(0x0010)
    for i, t in enumerate(texts):
        b = t.encode(encoding)
        out += rec(0x0204, cell(i, 0) + struct.pack("<H", len(b)) + b)
    out += rec(0x0203, cell(0, 1) + struct.pack("<d", 2.5))
    out += formula(1, 1, bytes([0, 0, 0, 0, 0, 0, 0xFF, 0xFF]))
    s = result.encode(encoding)
    out += rec(0x0207, struct.pack("<H", len(s)) + s)
    out += rec(0x000A)
    return out


def biff2_stream():
    out = rec(0x0009, struct.pack("<HH", 0x0002, 0x0010))
    attr = b"\0\0\0"
    out += rec(0x0002, struct.pack("<HH", 0, 0) + attr + struct.pack("<H", 40000))
    out += rec(0x0003, struct.pack("<HH", 0, 1) + attr + struct.pack("<d", 0.25))
    label = "旧形式".encode("cp932")
    out += rec(0x0004, struct.pack("<HH", 1, 0) + attr + bytes([len(label)]) + label)
    out += rec(0x0006, struct.pack("<HH", 1, 1) + attr + bytes([0, 0, 0, 0, 0, 0, 0xFF, 0xFF]) + b"\0\0\0")
    s = b"cat"
    out += rec(0x0007, bytes([len(s)]) + s)
    out += rec(0x000A)
    return out


def unreadable_compound(size):
    """A file that starts like a compound file whose header no reader takes
    (sector shift 0), as damaged or hand-made files do."""
    data = bytearray(size)
    data[0:8] = b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"
    struct.pack_into("<HHHH", data, 24, 0x3E, 3, 0xFFFE, 0)
    return data


def fixed_word97(eight_bit):
    text = "\r".join(SAMPLE) + "\r"
    data = unreadable_compound(1536 + 4096)
    struct.pack_into("<HH", data, 512, 0xA5EC, 0xC1)      # the FIB where the fixed layout has it
    data[516] = 0x4D
    struct.pack_into("<I", data, 512 + 76, len(text))
    if eight_bit:
        data[144] = ord("1")
        body = text.encode("cp932")
    else:
        body = text.encode("utf-16-le")
    data[1536:1536 + len(body)] = body
    return bytes(data[:max(1536 + len(body) + 2, 1536 + 513)])


def word95_fixed():
    """The Word 6/95 layout: text from byte 1280 with each double-byte
    character stored trail byte first, lines ended by CR."""
    lines = ["検索", "cat", "テスト行"]
    stored = b""
    for line in lines:
        b = line.encode("cp932")
        if any(ch > 0x7F for ch in b):
            b = b"".join(bytes([b[i + 1], b[i]]) for i in range(0, len(b), 2))
        stored += b + b"\r"
    data = unreadable_compound(1280)
    data[144] = ord("1")
    data[516] = 0x69
    return bytes(data) + stored + b"tail without a break"


def rtf_sjis():
    """RTF as Japanese word processors write it: \\ansicpg932, a charset-128
    font and Shift-JIS bytes as \\'hh (half-width kana as single bytes)."""
    out = [r"{\rtf1\ansi\ansicpg932\deff0{\fonttbl{\f0\fnil\fcharset128 \'82\'6c\'82\'72 \'96\'be\'92\'a9;}"
           r"{\f1\fswiss\fcharset0 Arial;}}{\colortbl;\red0\green0\blue0;}"
           r"{\info{\title \'8c\'9f\'8d\'f5}{\author cat}}{\*\generator hand;}\f0\fs21 "]
    for line in SAMPLE:
        esc = ""
        for ch in line:
            b = ch.encode("cp932")
            if len(b) == 1 and b[0] < 0x80:
                esc += {"\\": r"\\", "{": r"\{", "}": r"\}", "\t": r"\tab "}.get(ch, ch)
            else:
                esc += "".join(r"\'%02x" % x for x in b)
        out.append(esc + r"\par" + "\r\n")
    out.append("}")
    return "".join(out).encode("ascii")


HTML = [
    "<HTML><HEAD><TITLE>検索のテスト</TITLE></HEAD><BODY>",
    "<H1>見出し：検索</H1>",
    "<P>段落その一。<B>太字の検索</B>と<I>斜体</I>。<BR>改行の後 cat &amp; dog<br>",
    "小文字の改行の後<br/>自己終了の改行の後",
    "<PRE>整形済み一行目：検索",
    "整形済み二行目\tcat</PRE>",
    "<pre>小文字pre一行目",
    "小文字pre二行目</pre>",
    "<P>a<B>b</B>c とタグ<A HREF=\"x>y\">入れ子</A>",
    "</BODY></HTML>",
]


def office(tmp):
    """The files an office suite writes, through LibreOffice."""
    soffice = shutil.which("soffice")
    if not soffice:
        sys.exit("--office needs soffice (LibreOffice)")
    src = os.path.join(tmp, "sample.txt")
    with open(src, "w", encoding="utf-8") as f:
        f.write("\n".join(SAMPLE) + "\n")
    profile = "-env:UserInstallation=file://" + os.path.join(tmp, "profile")
    for target in ("doc:MS Word 97", "rtf:Rich Text Format"):
        subprocess.run([soffice, profile, "--headless", "--infilter=Text (encoded):UTF8,LF,,,",
                        "--convert-to", target, "--outdir", tmp, src], check=True, capture_output=True)
    for ext in ("doc", "rtf"):
        shutil.copy(os.path.join(tmp, "sample." + ext), os.path.join(DOCS, "sample." + ext))
    # Workbooks through UNO: a headless conversion writes string formula
    # results as 0 without their STRING records.
    script = os.path.join(tmp, "calc.py")
    with open(script, "w", encoding="utf-8") as f:
        f.write(uno_script(2099, CALC_SCRIPT))
    subprocess.run(["/usr/bin/python3", script, soffice, tmp, DOCS], check=True)


# The start and end of the scripts that drive LibreOffice through UNO
# (run by /usr/bin/python3, whose uno module they need): argv[1:3] are
# soffice and a scratch folder; @PORT@ is the socket they share.
UNO_START = r'''
import os, subprocess, sys, time
import uno
from com.sun.star.beans import PropertyValue

soffice, tmp = sys.argv[1:3]
proc = subprocess.Popen([soffice, "-env:UserInstallation=file://" + tmp + "/profile@PORT@", "--headless",
                         "--accept=socket,host=localhost,port=@PORT@;urp;", "--norestore"])
ctx = None
for _ in range(60):
    try:
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
        ctx = resolver.resolve("uno:socket,host=localhost,port=@PORT@;urp;StarOffice.ComponentContext")
        break
    except Exception:
        time.sleep(1)
desktop = ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)

def prop(name, value):
    p = PropertyValue(); p.Name = name; p.Value = value; return p

# The sample workbook: text, numbers and formulas with string and boolean
# results on the first sheet, katakana on the second (returned).
def sample_workbook():
    doc = desktop.loadComponentFromURL("private:factory/scalc", "_blank", 0, (prop("Hidden", True),))
    sheets = doc.Sheets
    sheets.getByIndex(0).Name = "シート1"
    s1 = sheets.getByIndex(0)
    rows = [["検索テスト", 1.5, 100, "テスト"], ["cat", "=1=1", "全文検索", 12.34],
            ["concatenate (cat)", 3.14159, '=A2&"fish"', "=CONCATENATE(\"全文\";\"検索\")"],
            [-7, 1e20, 0.000123, 123456789012]]
    for r, row in enumerate(rows):
        for c, v in enumerate(row):
            cell = s1.getCellByPosition(c, r)
            if isinstance(v, str) and v.startswith("="): cell.Formula = v
            elif isinstance(v, str): cell.String = v
            else: cell.Value = float(v)
    if sheets.getCount() < 2: sheets.insertNewByName("Sheet2", 1)
    s2 = sheets.getByIndex(1)
    s2.getCellByPosition(0, 0).String = "ｶﾀｶﾅ"
    s2.getCellByPosition(0, 1).String = "半角ｶﾀｶﾅと全角カタカナ"
    return doc, s2
'''

UNO_END = r'''
try:
    desktop.terminate()
except Exception:
    pass
proc.wait(timeout=60)
'''


def uno_script(port, body):
    """A whole UNO script: the start, body, the end."""
    return UNO_START.replace("@PORT@", str(port)) + body + UNO_END


CALC_SCRIPT = r'''
docs = sys.argv[3]

def save(doc, name):
    doc.calculateAll()
    doc.storeToURL("file://" + os.path.join(docs, name), (prop("FilterName", "MS Excel 97"),))
    doc.close(True)

doc, s2 = sample_workbook()
s2.getCellByPosition(1, 1).Formula = "=1=2"
s2.getCellByPosition(0, 2).String = "English cat & dog"
save(doc, "sample.xls")

doc = desktop.loadComponentFromURL("private:factory/scalc", "_blank", 0, (prop("Hidden", True),))
s1 = doc.Sheets.getByIndex(0)
for r in range(600):
    text = "行%d：共有文字列テーブルの継続レコードを試す日本語の文です。" % (r + 1)
    if r in (450, 499): text = "行%d：ここに検索の目印と cat があります。" % (r + 1)
    s1.getCellByPosition(0, r).String = text
save(doc, "sst_continue.xls")
'''


def main():
    os.makedirs(DOCS, exist_ok=True)
    if "--office" in sys.argv:
        with tempfile.TemporaryDirectory() as tmp:
            office(tmp)
    shutil.copy(os.path.join(DOCS, "sample.rtf"), os.path.join(DOCS, "rtf_as.doc"))
    write("sjis_escapes.rtf", rtf_sjis())
    write("notword.doc", "これは Word の文書ではない。\r\n普通のテキストとして検索される。\r\n".encode("cp932"))
    write("fixed_utf16.doc", fixed_word97(eight_bit=False))
    write("fixed_8bit.doc", fixed_word97(eight_bit=True))
    write("word95.doc", word95_fixed())
    write("empty.doc", b"")
    biff8 = biff8_workbook()
    write("bare_biff8.xls", biff8)
    write("compound_biff8.xls", compound_file([("Workbook", biff8), ("\x05SummaryInformation", b"\0" * 64)]))
    write("biff5_cp932.xls", compound_file([("BOOK", biff5_workbook(932, "cp932", ["検索の表", "cat"], "文字列の結果"))]))
    write("biff5_cp1252.xls", compound_file([("Book", biff5_workbook(1252, "cp1252", ["café crème", "naïve"], "résumé"))]))
    write("biff2.xls", biff2_stream())
    # A shared-string table longer than a record may be.
    write("oversize_sst.xls", bof8(0x0005) + struct.pack("<HH", 0x00FC, 9000) + b"\0" * 9000 + rec(0x000A))
    write("notexcel.xls", b"just some text, not a workbook\r\n")
    write("sample_sjis.html", "\r\n".join(HTML).encode("cp932") + b"\r\n")
    write("sample_eucjp.HTM", "\n".join(HTML).encode("euc_jp") + b"\n")


if __name__ == "__main__":
    main()
