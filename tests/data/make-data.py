#!/usr/bin/env python3
"""Writes the test data of tests/data from the texts below, with Python's own
codecs (cp932, euc_jp, iso2022_jp, utf_8, utf_16) standing in for the tools
that make such files in the wild. The output is committed; run this again
after changing it:  python3 tests/data/make-data.py
"""
import os
import shutil
import unicodedata
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))

# The common Japanese sample, 16 lines. Line numbers the tests rely on:
#   検索: 1 6 7 10 16   cat: 5 10 14   テスト: 1 6 8 15 16   ｶﾀｶﾅ: 2 9 11
SAMPLE = [
    "これは検索ツールのテスト用サンプルです。",
    "半角カナの行：ｶﾀｶﾅ と濁点 ｶﾞ の組み合わせ",
    "全角英数字：ＡＢＣ１２３ 半角英数字：ABC123",
    "記号の行：①②③ ～ ￥ 「かぎ」『二重かぎ』",
    "English words: cat concatenate (cat) cat-fish cat_1 Cat CAT catalog",
    "この検索は全文検索するためのテストです。",
    "AND記号の行：R&D、検索&置換、Tom & Jerry",
    "タブ区切り\t項目A\t項目B\tテスト",
    "半角だけ：ｶﾞｷﾞｸﾞ ﾊﾟﾋﾟﾌﾟ ﾃｽﾄ ｶﾀｶﾅ",
    "長い行：" + "日本語の文章が長く続く行です。" * 10 + "ここで cat と 検索 が出てきます。",
    "かたかな カタカナ ｶﾀｶﾅ",
    "金額：￥１，０００～￥２，０００",
    "The quick brown fox jumps over the lazy dog.",
    "全角のＣＡＴと半角の cat が並ぶ行",
    "第二バイトが５Ｃや７Ｃの字：ソ 表 能 予 十 ポ テスト",
    "最後の行：検索とテストはここまで。",
]

ASCII = [
    "ASCII only sample of the test data.",
    "English words: cat concatenate (cat) cat-fish cat_1 Cat CAT catalog",
    "The quick brown fox jumps over the lazy dog.",
    "AND sign line: R&D, search&replace, Tom & Jerry",
    "Tab separated:\tcol1\tcol2\ttest",
    "Symbols: ~ \\ | ^ [ ] { } $ * + ? . ( ) @ # % ! \" ' ` < > = : ;",
    "Numbers: 0123456789 1.5 100 -7",
    "Long line: " + "every line is matched as one line, whatever its length; " * 6 + "cat",
    "Mixed case: TEST Test test tEsT",
    "Last line: end of the ASCII sample.",
]


def write(rel, data):
    path = os.path.join(HERE, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (1704164645, 1704164645))  # 2024-01-02 03:04:05 UTC


def joined(lines, brk, final=True):
    return brk.join(lines) + (brk if final else "")


def jis_text(lines):
    text = joined(lines, "\r\n")
    # Half-width katakana to full width with voiced marks merged.
    out = []
    for c in text:
        out.append(unicodedata.normalize("NFKC", c) if "\uff61" <= c <= "\uff9f" else c)
    text = unicodedata.normalize("NFC", "".join(out).replace("\u309b", "\u3099").replace("\u309c", "\u309a"))
    # Characters JIS X 0208 lacks (the NEC circled digits) are written out.
    text = text.replace("①", "(1)").replace("②", "(2)").replace("③", "(3)")
    text = text.replace("～", "〜")  # the same JIS X 0208 cell (2141) under its JIS name
    return text.encode("iso2022_jp")


def make_text():
    sj = lambda brk, final=True: joined(SAMPLE, brk, final).encode("cp932")
    write("text/ascii.txt", joined(ASCII, "\r\n").encode("ascii"))
    write("text/sjis_crlf.txt", sj("\r\n"))
    write("text/sjis_lf.txt", sj("\n"))
    write("text/sjis_cr.txt", sj("\r"))
    # EUC-JP as Windows writes it (cp932's extra characters in their EUC places).
    write("text/eucjp_lf.txt", euc_bytes(joined(SAMPLE, "\n")))
    write("text/eucjp_crlf.txt", euc_bytes(joined(SAMPLE, "\r\n")))
    jis = jis_text(SAMPLE)
    write("text/jis_crlf.txt", jis)
    write("text/jis78_crlf.txt", jis.replace(b"\x1b$B", b"\x1b$@"))
    write("text/utf8_bom.txt", b"\xef\xbb\xbf" + joined(SAMPLE, "\r\n").encode("utf_8"))
    write("text/utf8_nobom_lf.txt", joined(SAMPLE, "\n").encode("utf_8"))
    write("text/utf16le_bom.txt", b"\xff\xfe" + joined(SAMPLE, "\r\n").encode("utf_16_le"))
    write("text/utf16be_bom.txt", b"\xfe\xff" + joined(SAMPLE, "\r\n").encode("utf_16_be"))
    # Shift-JIS lines between junk bytes: binary by the probe.
    junk = bytes([0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x0E, 0x1F, 0x7F, 0xFF])
    binary = (junk + b"\n" + "二行目に検索とcatとテストがある".encode("cp932") + b"\n" + b"x\x00y\n" + junk +
              b"\r\n" + "ｶﾀｶﾅの行".encode("cp932") + b"\n" + junk + b"\n" + "七行目も検索".encode("cp932") + b"\n")
    write("text/binary_with_sjis.bin", binary)
    crlf = sj("\r\n")
    lines = crlf.split(b"\r\n")
    nul_line = lines[8].replace("：".encode("cp932"), "：".encode("cp932") + b"\x00", 1)
    write("text/nul_inside.txt", b"\r\n".join(lines[:8] + [nul_line] + lines[9:]))
    late = b"ASCII first line\r\n" + b"\r\n".join(lines[:12] + [b"\x00" + lines[12]] + lines[13:])
    write("text/nul_late.txt", late)
    write("text/empty.txt", b"")
    write("text/mixed_breaks.txt", crlf.replace(b"\r\n", b"\n", 1))
    write("text/no_final_newline.txt", sj("\r\n", final=False))
    write("text/utf8_twobyte_only.txt", "café naïve cat\n".encode("utf_8"))


def euc_bytes(text):
    # Python's euc_jp lacks the cp932 extras (①, ～ as U+FF5E, ￥ as U+FFE5):
    # map them to the places eucJP-ms gives them.
    out = bytearray()
    for c in text:
        if c == "～":
            out += b"\xa1\xc1"
        elif c in "①②③":
            out += bytes([0xad, 0xa1 + "①②③".index(c)])
        else:
            out += c.encode("euc_jp")
    return bytes(out)


def make_walk():
    line = lambda name: ("walk %s: cat 検索\r\n" % name).encode("cp932")
    for rel in [".hidden_dir/deeper/i.txt", ".hidden_dir/h.txt", ".profile", "A.TXT", "README", "b1.log",
                "c.txt", "d1.log", "sub1/.svn/j.txt", "sub1/e.TXT", "sub1/sub2/g.txt", "tool.exe",
                "with space.txt", "あ.txt"]:
        write("walk/" + rel, line(os.path.basename(rel)))
    write("walk/b.Htm", "<html><body>walk b.Htm: cat 検索</body></html>\r\n".encode("cp932"))
    zpath = os.path.join(HERE, "walk/data.zip")
    with zipfile.ZipFile(zpath, "w") as z:
        info = zipfile.ZipInfo("inner.txt", date_time=(2024, 1, 2, 3, 4, 4))
        z.writestr(info, line("inner.txt"))
    os.utime(zpath, (1704164645, 1704164645))


def main():
    for sub in ("text", "walk"):
        shutil.rmtree(os.path.join(HERE, sub), ignore_errors=True)
    make_text()
    make_walk()


if __name__ == "__main__":
    main()
