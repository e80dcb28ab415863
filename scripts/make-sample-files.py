#!/usr/bin/env python3
"""Writes the CSV files of "Sample Files/" in the exchange layout (code page
932, CR LF). The values come from a fixed seed, so running the script again
gives the same files; the files themselves are kept in the repository.

With --workbooks it also converts some of them to workbooks (.xlsx, .xls)
with a headless LibreOffice, reading the CSV files as code page 932."""
import os
import random
import subprocess
import sys
import tempfile

WORKBOOKS = [("01_stable_XbarR.csv", "xlsx"), ("02_drift_XbarR.csv", "xlsx"),
             ("03_out_of_tolerance_XbarR.csv", "xls"), ("05_individuals_X-Rs.csv", "xls")]
CSV_FILTER = "Text - txt - csv (StarCalc):44,34,64,1,,1041"


def convert_workbooks(folder):
    """The sample workbooks, converted from their CSV files."""
    with tempfile.TemporaryDirectory() as profile:
        for name, kind in WORKBOOKS:
            subprocess.run(["/usr/lib/libreoffice/program/soffice", "--headless",
                            f"-env:UserInstallation=file://{profile}",
                            f"--infilter={CSV_FILTER}", "--convert-to", kind,
                            "--outdir", folder, os.path.join(folder, name)],
                           check=True, stdout=subprocess.DEVNULL)

HEADER_LABELS = ["品種名称", "工程名称", "装置名称", "項目名称", "測定単位",
                 "規格種別", "小数点桁", "規格上限", "規格下限"]
LOT_TITLE = "ﾛｯﾄ№"


def lot_values(rng, mean, sigma, n, digits):
    """n values whose average is mean (before rounding)."""
    raw = [rng.gauss(0.0, sigma) for _ in range(n)]
    shift = mean - sum(raw) / n
    return [f"{v + shift:.{digits}f}" for v in raw]


def write(folder, name, header, lots, n):
    lines = [",".join(HEADER_LABELS), ",".join(header), "",
             ",".join([LOT_TITLE] + [f"N{i}" for i in range(1, n + 1)])]
    lines += [",".join([label] + values) for label, values in lots]
    text = "\r\n".join(lines) + "\r\n"
    with open(os.path.join(folder, name), "wb") as f:
        f.write(text.encode("cp932"))


def labels(count, first_day=4):
    return [f"2611{first_day + i:02d}-{1 + i % 2}" for i in range(count)]


def main():
    args = [a for a in sys.argv[1:] if a != "--workbooks"]
    folder = args[0] if args else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "Sample Files")
    os.makedirs(folder, exist_ok=True)

    # A stable turning process: outer diameter 10.000 ± 0.050, well centred.
    rng = random.Random(11)
    lots = [(l, lot_values(rng, 10.000 + rng.gauss(0, 0.002), 0.006, 5, 3)) for l in labels(25)]
    write(folder, "01_stable_XbarR.csv",
          ["シャフトA", "旋削", "NC旋盤2号機", "外径", "mm", "公差規格", "3", "10.050", "9.950"], lots, 5)

    # A drifting process: the tool wears, the means stay above the centre
    # line for a long run and then rise lot after lot.
    rng = random.Random(23)
    means = [10.000 + d / 2 for d in (
        -0.004, 0.000, -0.010, -0.001, -0.003, 0.001, -0.009, -0.002, -0.004,
        0.004, 0.007, 0.005, 0.015, 0.004, 0.006, 0.008, 0.005, 0.007,
        0.0045, 0.0055, 0.0065, 0.0075, 0.0085, 0.0095, 0.0105)]
    lots = [(l, lot_values(rng, m, 0.005, 5, 3)) for l, m in zip(labels(25), means)]
    write(folder, "02_drift_XbarR.csv",
          ["シャフトA", "旋削", "NC旋盤3号機", "外径", "mm", "公差規格", "3", "10.050", "9.950"], lots, 5)

    # A process wider than its tolerance: values beyond both limits.
    rng = random.Random(20)
    lots = [(l, lot_values(rng, 25.00 + rng.gauss(0, 0.02), 0.06, 4, 2)) for l in labels(20)]
    write(folder, "03_out_of_tolerance_XbarR.csv",
          ["ブラケットB", "プレス", "300tプレス", "穴ピッチ", "mm", "公差規格", "2", "25.10", "24.90"], lots, 4)

    # An upper limit only: surface roughness must stay below Ra 1.6.
    rng = random.Random(10)
    lots = [(l, lot_values(rng, 0.80 + rng.gauss(0, 0.03), 0.08, 5, 2)) for l in labels(20)]
    write(folder, "04_upper_limit_XbarR.csv",
          ["シャフトA", "研削", "円筒研削盤1号機", "表面粗さ", "μm", "上限規格", "2", "1.60", ""], lots, 5)

    # One value per lot: the hardness of one test piece per heat treatment
    # batch, judged on an X-Rs chart.
    rng = random.Random(4)
    lots = [(f"HT{2611000 + i + 1}", [f"{58.0 + rng.gauss(0, 0.5):.1f}"]) for i in range(30)]
    write(folder, "05_individuals_X-Rs.csv",
          ["歯車C", "熱処理", "連続炉1号", "表面硬さ", "HRC", "公差規格", "1", "62.0", "55.0"], lots, 1)

    if "--workbooks" in sys.argv[1:]:
        convert_workbooks(folder)


if __name__ == "__main__":
    main()
