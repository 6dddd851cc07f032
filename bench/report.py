#!/usr/bin/env python3
"""Prints the benchmark figures with their targets.

Usage: bench/report.py [--quick] CIPHER_JSON WINDOW_JSON PICTURE_JSON CLI_JSON STARTUP_JSON...

The first three files are Google Benchmark's JSON output, the others
hyperfine's: quorvel-strip's commands, then one per start-up round. Each figure is the median of the
repetitions (or the single run of a quick run); a ratio divides two medians
of the same run, and for start-up it is the median of the rounds' ratios.
With --quick the figures are printed but not judged.
"""

import json
import statistics
import sys


def medians(path):
    """Median real time (seconds) and bytes per second of each benchmark."""
    with open(path, encoding="utf-8") as f:
        runs = json.load(f)["benchmarks"]
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
    found = {}
    for run in runs:
        aggregate = run.get("aggregate_name")
        if run.get("run_type") == "aggregate" and aggregate != "median":
            continue
        name = run["run_name"]
        if aggregate is None and name in found:
            continue  # a median, when there is one, is the figure
        found[name] = {
            "time": run["real_time"] * scale[run["time_unit"]],
            "bytes_per_second": run.get("bytes_per_second", 0.0),
        }
    return found


def startup(paths):
    """Median time of each side over all rounds, and the median ratio."""
    times = {"bare": [], "label": [], "quorvel": []}
    ratios, bare_ratios = [], []
    for path in paths:
        with open(path, encoding="utf-8") as f:
            results = {r["command"]: r for r in json.load(f)["results"]}
        for side in times:
            times[side] += results[side]["times"]
        ratios.append(results["quorvel"]["median"] / results["label"]["median"])
        bare_ratios.append(results["quorvel"]["median"] / results["bare"]["median"])
    figures = {side: statistics.median(t) for side, t in times.items()}
    figures["ratio"] = statistics.median(ratios)
    figures["bare_ratio"] = statistics.median(bare_ratios)
    figures["rounds"] = len(ratios)
    return figures


def rate(value):
    return f"{value / 1e9:.2f} GB/s" if value >= 1e9 else f"{value / 1e6:.0f} MB/s"


def main(argv):
    quick = "--quick" in argv
    paths = [a for a in argv if a != "--quick"]
    if len(paths) < 5:
        sys.exit(__doc__)
    cipher, window = medians(paths[0]), medians(paths[1])
    with open(paths[2], encoding="utf-8") as f:
        picture = {r["run_name"]: r for r in json.load(f)["benchmarks"]}
    with open(paths[3], encoding="utf-8") as f:
        cli = {r["command"]: r["median"] for r in json.load(f)["results"]}
    start = startup(paths[4:])

    rows = []  # (figure, value, target, met: True/False/None)

    for op, target in (("EncodeStrip", 1e9), ("DecodeStrip", 300e6)):
        for n in (3, 3000, 98301):
            run = cipher[f"BM_{op}/{n}"]
            judged = n == 98301
            rows.append((f"{op}, {n:,} characters", rate(run["bytes_per_second"]),
                         f">= {rate(target)}" if judged else "",
                         run["bytes_per_second"] >= target if judged else None))

    def time(name):
        return window[f"{name}/real_time"]["time"]

    for label, path, floor, floor_label in (
            ("Encrypt (CmdEncrypt_Click)", "BM_WindowEncode", "BM_QtDurableSave",
             "Qt: QSaveFile, sync, rename"),
            ("Load + Decrypt", "BM_WindowLoadDecrypt", "BM_QtLoadAndShow",
             "Qt: QImage::load, setPlainText, draw")):
        ratio = time(path) / time(floor)
        rows.append((f"{label}, 98,301 characters", f"{time(path) * 1e3:.2f} ms", "", None))
        rows.append((f"  floor: {floor_label}", f"{time(floor) * 1e3:.2f} ms", "", None))
        rows.append((f"  ratio", f"{ratio:.2f}x", "<= 1.2x", ratio <= 1.2))

    # The same text without a space or line break, shown as one long line.
    worded, unbroken = time("BM_WindowLoadDecrypt"), time("BM_WindowLoadDecryptUnbroken")
    ratio = unbroken / worded
    rows.append(("Load + Decrypt, 98,301 unbroken characters", f"{unbroken * 1e3:.2f} ms", "",
                 None))
    rows.append(("  against the worded text", f"{ratio:.2f}x", "<= 2x", ratio <= 2))
    paste = time("BM_WindowPasteUnbrokenEncrypt")
    rows.append(("Paste 300,000 unbroken characters + Encrypt", f"{paste * 1e3:.0f} ms",
                 "<= 2000 ms", paste <= 2))

    for name, label in (("bmp", "32-bit BMP"), ("png", "interlaced PNG of noise")):
        run = picture[f"BM_LoadLargestPicture/{name}/iterations:2/process_time"]
        cpu = run["cpu_time"] * {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[run["time_unit"]]
        rows.append((f"Load the largest {label}, processor", f"{cpu * 1e3:.0f} ms",
                     "<= 1000 ms", cpu <= 1.0))

    for command, target in (("decode", 1.3), ("encode", 1.5)):
        ratio = cli[command] / cli["version"]
        rows.append((f"quorvel-strip {command}, 98,301 characters", f"{cli[command] * 1e3:.1f} ms",
                     "", None))
        rows.append(("  against quorvel-strip --version", f"{ratio:.2f}x", f"<= {target}x",
                     ratio <= target))

    rows.append(("Start-up to the main window shown", f"{start['quorvel'] * 1e3:.1f} ms", "",
                 None))
    rows.append(("  floor: a Qt window with one label of text", f"{start['label'] * 1e3:.1f} ms", "",
                 None))
    ratio = start["ratio"]
    rows.append((f"  ratio (median of {start['rounds']} rounds)", f"{ratio:.2f}x", "<= 1.1x",
                 ratio <= 1.1))
    rows.append(("  for the record: a bare, empty Qt window", f"{start['bare'] * 1e3:.1f} ms", "",
                 None))
    rows.append(("  ratio to it", f"{start['bare_ratio']:.2f}x", "", None))

    print(f"{'Figure (median)':<50}{'Value':<14}{'Target':<14}Met")
    for figure, value, target, met in rows:
        verdict = "" if met is None else ("(quick)" if quick else ("yes" if met else "NO"))
        print(f"{figure:<50}{value:<14}{target:<14}{verdict}")
    if quick:
        print("\nA quick run: the figures are not judged.")


if __name__ == "__main__":
    main(sys.argv[1:])
