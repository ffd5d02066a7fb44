#!/usr/bin/env python3
"""Writes the archive test data of tests/data/archives. The output is
committed; run this again after changing it:

    python3 tests/data/make-archives.py [--tools]

Members of the sample archives: docs/a.txt (Shift-JIS, CR LF), b.bin (binary
with one Shift-JIS line), sub/c.txt (EUC-JP, LF). ZIP, TAR and its
compressed forms, single-file gzip/bzip2 and LZH (stored, -lh0-) are written
here with Python's own modules; CAB, 7z, ARJ and a compressed LZH need their
archivers (gcab, 7z, arj, jlha) and are made again only with --tools.
Hostile archives (names that climb out, links, a bomb) are written here.
"""
import bz2
import gzip
import io
import os
import shutil
import struct
import subprocess
import sys
import tarfile
import tempfile
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "archives")
STAMP = (2024, 1, 2, 3, 4, 6)
STAMP_UNIX = 1704164646  # 2024-01-02 03:04:06 UTC

A_TXT = "\r\n".join(["書庫の中の文書です。", "この行に検索という語があります。", "English line with cat and concatenate.",
                     "テストとｶﾀｶﾅの行。", "最後の行。"]).encode("cp932") + b"\r\n"
B_BIN = b"\x00\x01\x02BIN\x00\xff\xfe\n" + "書庫内バイナリの検索行 cat".encode("cp932") + b"\n\x00\x00"
C_TXT = "\n".join(["EUC-JP の文書。", "検索とテストの行。", "cat-fish and cat_1"]).encode("euc_jp") + b"\n"
MEMBERS = [("docs/a.txt", A_TXT), ("b.bin", B_BIN), ("sub/c.txt", C_TXT)]


def write(name, data):
    path = os.path.join(OUT, name)
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (STAMP_UNIX, STAMP_UNIX))


def zip_bytes(members, raw_names=False):
    """raw_names: the names stored as Shift-JIS bytes with the UTF-8 flag
    clear and the origin MS-DOS, as Japanese Windows archivers write them
    (zipfile would store UTF-8, so ASCII stand-ins are patched afterwards)."""
    buf = io.BytesIO()
    patches = []
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
        for k, (name, data) in enumerate(members):
            if raw_names:
                raw = name.encode("cp932")
                stand_in = (chr(ord("A") + k) * len(raw)).encode("ascii")
                patches.append((stand_in, raw))
                name = stand_in.decode("ascii")
            info = zipfile.ZipInfo(name, STAMP)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            if raw_names:
                info.create_system = 0
            z.writestr(info, data)
    out = buf.getvalue()
    for stand_in, raw in patches:
        out = out.replace(stand_in, raw)
    return out


def tar_bytes(members, extra=None):
    buf = io.BytesIO()
    with tarfile.open(fileobj=buf, mode="w", format=tarfile.USTAR_FORMAT) as t:
        for name, data in members:
            info = tarfile.TarInfo(name)
            info.size, info.mtime, info.mode = len(data), STAMP_UNIX, 0o644
            t.addfile(info, io.BytesIO(data))
        for info, data in (extra or []):
            t.addfile(info, io.BytesIO(data) if data is not None else None)
    return buf.getvalue()


def lzh_stored(members):
    """LHA level-0 headers with the stored method -lh0-."""
    out = b""
    for name, data in members:
        raw = name.replace("/", "\\").encode("cp932")
        crc = crc16(data)
        dos = ((STAMP[0] - 1980) << 25) | (STAMP[1] << 21) | (STAMP[2] << 16) | (STAMP[3] << 11) | (STAMP[4] << 5) | (STAMP[5] // 2)
        body = b"-lh0-" + struct.pack("<IIIBB", len(data), len(data), dos, 0x20, 0) + bytes([len(raw)]) + raw
        body += struct.pack("<H", crc)
        out += bytes([len(body), sum(body) & 0xFF]) + body + data
    return out + b"\0"


def crc16(data):
    crc = 0
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def hostile():
    # Names that climb out of the destination, absolute names, and a
    # Windows-style name that is harmless once its backslashes are read.
    climb = [("../evil.txt", b"cat escaped\r\n"), ("/tmp/evil_abs.txt", b"cat absolute\r\n"),
             ("ok/../../evil2.txt", b"cat climbed\r\n"), ("win\\path.txt", b"cat windows path\r\n"),
             ("good.txt", b"cat good\r\n")]
    write("zipslip.zip", zip_bytes(climb))
    # A link to the outside, then a file through it.
    link = tarfile.TarInfo("link")
    link.type, link.linkname, link.mtime = tarfile.SYMTYPE, "/tmp", STAMP_UNIX
    through = tarfile.TarInfo("link/evil3.txt")
    data = b"cat through the link\r\n"
    through.size, through.mtime = len(data), STAMP_UNIX
    write("symlink.tar", tar_bytes([("good.txt", b"cat good\r\n")], [(link, None), (through, data)]))
    # A bomb: members of zeros that compress to almost nothing, with a line
    # to find at their end.
    bomb = b"\0" * (3 << 20) + b"\r\ncat at the end\r\n"
    write("bomb.zip", zip_bytes([("one.txt", bomb), ("two.txt", bomb), ("three.txt", bomb)]))
    write("damaged.zip", zip_bytes(MEMBERS)[:200])
    write("notanarchive.zip", b"plain text that only looks like a zip by name\r\n")


def tools(tmp):
    for name, data in MEMBERS:
        path = os.path.join(tmp, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        os.utime(path, (STAMP_UNIX, STAMP_UNIX))
    names = [n for n, _ in MEMBERS]
    run = lambda *cmd: subprocess.run(cmd, cwd=tmp, check=True, capture_output=True)
    run("gcab", "-c", "sample.cab", *names)
    run("7z", "a", "-bd", "sample.7z", *names)
    run("arj", "a", "-y", "sample.arj", *names)
    run("jlha", "a", "sample_lh5.lzh", *names)
    for made in ("sample.cab", "sample.7z", "sample.arj", "sample_lh5.lzh"):
        shutil.copy(os.path.join(tmp, made), os.path.join(OUT, made))
    arj_dash_name(tmp)


def arj_dash_name(tmp):
    """An ARJ archive whose first member's name is a switch of the arj
    program: -ht names the folder every member is extracted into."""
    with open(os.path.join(tmp, "-htescaped"), "wb") as f:
        f.write(b"cat in a member named like a switch\r\n")
    os.utime(os.path.join(tmp, "-htescaped"), (STAMP_UNIX, STAMP_UNIX))
    subprocess.run(["arj", "a", "-y", "dash_name.arj", "./-htescaped", "b.bin"], cwd=tmp, check=True,
                   capture_output=True)
    shutil.copy(os.path.join(tmp, "dash_name.arj"), os.path.join(OUT, "dash_name.arj"))


def main():
    os.makedirs(OUT, exist_ok=True)
    write("sample.zip", zip_bytes(MEMBERS))
    write("sample.jar", zip_bytes(MEMBERS))
    tar = tar_bytes(MEMBERS)
    write("sample.tar", tar)
    write("sample.tgz", gzip.compress(tar, mtime=0))
    write("sample.tar.bz2", bz2.compress(tar))
    gz = io.BytesIO()
    with gzip.GzipFile("a.txt", "wb", fileobj=gz, mtime=STAMP_UNIX) as g:
        g.write(A_TXT)
    write("a.txt.gz", gz.getvalue())
    write("a.txt.bz2", bz2.compress(A_TXT))
    write("sample.lzh", lzh_stored(MEMBERS))
    write("sjis_names.zip", zip_bytes([("日本語フォルダ/検索メモ.txt", A_TXT), ("説明.txt", C_TXT)], raw_names=True))
    hostile()
    if "--tools" in sys.argv:
        with tempfile.TemporaryDirectory() as tmp:
            tools(tmp)


if __name__ == "__main__":
    main()
