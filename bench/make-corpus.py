#!/usr/bin/env python3
"""Writes a mixed-encoding Japanese corpus for bench/speed.sh from the
project's own text, deterministic for a given NFILES and SEED.

    bench/make-corpus.py [OUT]      (default $TMPDIR/lorvek-bench/corpus)

OUT/tree/ holds NFILES files (default 20000, about 10 KB each) in nested
folders: 35% UTF-8, 20% Shift-JIS (half CRLF), 15% EUC-JP, 5% ISO-2022-JP,
5% UTF-16LE with a mark, 5% UTF-8 with a mark, 10% ASCII, 5% binary. Lines
are drawn from the sample texts of tests/data/make-data.py and a word list,
so the bench queries (ファイル, 全角, socket, 検索|置換, 鵺鵺鵺) find lines
at different rates. It refuses to write inside a git work tree.
"""
import os
import random
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "data"))
from importlib import import_module  # noqa: E402

DATA = import_module("make-data")

WORDS = ["ファイル", "表示", "設定", "全角", "半角", "検索", "置換", "文字列", "行", "フォルダ", "書庫", "socket",
         "buffer", "read", "write", "カタカナ", "ひらがな", "漢字", "日本語", "変換", "結果", "一覧", "処理", "エラー"]
ASCII_WORDS = ["socket", "buffer", "read", "write", "file", "line", "search", "replace", "option", "value"]
ENCODINGS = [("utf-8", 35, "\n"), ("cp932", 10, "\n"), ("cp932", 10, "\r\n"), ("euc_jp", 15, "\n"),
             ("iso2022_jp", 5, "\n"), ("utf-16-le-bom", 5, "\r\n"), ("utf-8-sig", 5, "\n"), ("ascii", 10, "\n"),
             ("binary", 5, None)]


def line(rng, ascii_only):
    if ascii_only:
        return " ".join(rng.choice(ASCII_WORDS) for _ in range(rng.randint(3, 12)))
    if rng.random() < 0.3:
        return rng.choice(DATA.SAMPLE)
    return "".join(rng.choice(WORDS) + rng.choice(["の", "を", "に", "と", "、", "。", " "]) for _ in range(rng.randint(3, 14)))


def encode(text, encoding):
    if encoding == "utf-16-le-bom":
        return b"\xff\xfe" + text.encode("utf-16-le")
    return text.encode(encoding, errors="ignore")


def main():
    out = os.path.realpath(sys.argv[1] if len(sys.argv) > 1 else
                           os.path.join(os.environ.get("TMPDIR", "/tmp"), "lorvek-bench", "corpus"))
    probe = out
    while not os.path.isdir(probe):
        probe = os.path.dirname(probe)
    inside = subprocess.run(["git", "-C", probe, "rev-parse", "--is-inside-work-tree"], capture_output=True)
    if inside.returncode == 0:
        sys.exit("refusing to write the corpus inside a repository: " + out)
    rng = random.Random(int(os.environ.get("SEED", "20240611")))
    files = int(os.environ.get("NFILES", "20000"))
    weights = [w for _, w, _ in ENCODINGS]
    for i in range(files):
        encoding, _, eol = rng.choices(ENCODINGS, weights)[0]
        folder = os.path.join(out, "tree", "d%02d" % (i % 50), "s%d" % (i % 7))
        os.makedirs(folder, exist_ok=True)
        if encoding == "binary":
            data = bytes(rng.getrandbits(8) for _ in range(rng.randint(2000, 20000)))
            name = "b%05d.bin" % i
        else:
            lines = [line(rng, encoding == "ascii") for _ in range(rng.randint(40, 250))]
            data = encode(eol.join(lines) + eol, encoding)
            name = "f%05d.txt" % i
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
