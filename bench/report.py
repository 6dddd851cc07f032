#!/usr/bin/env python3
"""Prints the benchmark figures, each with its floor, ratio and target.

Usage: bench/report.py [--quick] RESULTS_DIR

RESULTS_DIR holds what bench/run_all.sh collects: Google Benchmark's JSON
output of the three programs (cipher.json, window.json, picture.json) and
hyperfine's, one file per round: cli-N.json (quorvel-strip and its floors)
and startup-N.json. Each figure is the median of the repetitions (or the
single run of a quick run); a ratio divides two medians of the same run, and
for hyperfine's figures it is the median of the rounds' ratios. With --quick
the figures are printed but not judged.
"""

import glob
import json
import os
import statistics
import sys

SCALE = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}

# quorvel-strip's own figures and their floors (bench/cli.sh).
CLI = (
    ("version", "quorvel-strip --version", "a Qt Core program printing a version line", 1.3),
    ("decode", "quorvel-strip decode, 98,301 characters",
     "plain C++: read the BMP, undo the XOR of its row", 1.5),
    ("encode", "quorvel-strip encode, 98,301 characters",
     "plain C++: the same BMP, written, synced, renamed, folder synced", 1.5),
)
# The picture loader against Qt's reader on the same bytes (processor time).
PICTURES = (
    ("photo_png", "Load an 8192 x 4096 PNG photo (processor)"),
    ("strip_bmp", "Load a 32,767 x 1 strip BMP (processor)"),
)
# The old program's time for the photo, 1.2.0: a reference, not a floor.
OLD_PHOTO_SECONDS = 0.45


def medians(path):
    """Median real and processor time (seconds) and bytes per second of each benchmark."""
    with open(path, encoding="utf-8") as f:
        runs = json.load(f)["benchmarks"]
    found = {}
    for run in runs:
        aggregate = run.get("aggregate_name")
        if run.get("run_type") == "aggregate" and aggregate != "median":
            continue
        name = run["run_name"]
        if aggregate is None and name in found:
            continue  # a median, when there is one, is the figure
        found[name] = {
            "time": run["real_time"] * SCALE[run["time_unit"]],
            "cpu": run["cpu_time"] * SCALE[run["time_unit"]],
            "bytes_per_second": run.get("bytes_per_second", 0.0),
        }
    return found


def rounds(paths, sides, pairs):
    """Median time of each side over all rounds, and the median ratio of each pair."""
    times = {side: [] for side in sides}
    ratios = {pair: [] for pair in pairs}
    for path in paths:
        with open(path, encoding="utf-8") as f:
            results = {r["command"]: r for r in json.load(f)["results"]}
        for side in sides:
            times[side] += results[side]["times"]
        for mine, floor in pairs:
            ratios[(mine, floor)].append(results[mine]["median"] / results[floor]["median"])
    return ({side: statistics.median(t) for side, t in times.items()},
            {pair: statistics.median(r) for pair, r in ratios.items()})


def numbered(directory, stem):
    paths = glob.glob(os.path.join(directory, f"{stem}-*.json"))
    return sorted(paths, key=lambda p: int(p.rsplit("-", 1)[1].split(".")[0]))


def rate(value):
    return f"{value / 1e9:.2f} GB/s" if value >= 1e9 else f"{value / 1e6:.0f} MB/s"


def ms(seconds):
    return f"{seconds * 1e3:.3f} ms" if seconds < 0.01 else f"{seconds * 1e3:.1f} ms"


def main(argv):
    quick = "--quick" in argv
    paths = [a for a in argv if a != "--quick"]
    if len(paths) != 1:
        sys.exit(__doc__)
    directory = paths[0]
    cipher = medians(os.path.join(directory, "cipher.json"))
    window = medians(os.path.join(directory, "window.json"))
    picture = medians(os.path.join(directory, "picture.json"))
    cli_rounds = numbered(directory, "cli")
    cli_times, cli_ratios = rounds(
        cli_rounds, [s for c in CLI for s in (c[0], c[0] + "-floor")],
        [(c[0], c[0] + "-floor") for c in CLI])
    start_rounds = numbered(directory, "startup")
    start_times, start_ratios = rounds(start_rounds, ["bare", "label", "quorvel"],
                                       [("quorvel", "label"), ("quorvel", "bare")])

    # (figure, value, floor, ratio, target, met: True/False/None); a row of
    # only a figure describes the floor of the row above it.
    rows = []

    def compare(figure, value, floor, floor_label, target, shown=ms):
        ratio = value / floor
        rows.append((figure, shown(value), shown(floor), f"{ratio:.2f}x", f"<= {target}x",
                     ratio <= target))
        rows.append((f"  floor: {floor_label}", "", "", "", "", None))

    for op, target in (("EncodeStrip", 1e9), ("DecodeStrip", 300e6)):
        for n in (3, 3000, 98301):
            run = cipher[f"BM_{op}/{n}"]
            judged = n == 98301
            rows.append((f"{op}, {n:,} characters", rate(run["bytes_per_second"]), "", "",
                         f">= {rate(target)}" if judged else "",
                         run["bytes_per_second"] >= target if judged else None))

    def time(name):
        return window[f"{name}/real_time"]["time"]

    compare("Encrypt (CmdEncrypt_Click), 98,301 characters", time("BM_WindowEncode"),
            time("BM_QtDurableSave"), "Qt: QSaveFile, sync, rename of the same picture", 1.2)
    compare("Load + Decrypt, 98,301 characters", time("BM_WindowLoadDecrypt"),
            time("BM_QtLoadAndShow"), "Qt: QImage::load, setPlainText, draw", 1.2)
    # The same text without a space or line break, shown as one long line.
    compare("Load + Decrypt, 98,301 unbroken characters",
            time("BM_WindowLoadDecryptUnbroken"), time("BM_WindowLoadDecrypt"),
            "Load + Decrypt of the worded text, above", 2)
    paste = time("BM_WindowPasteUnbrokenEncrypt")
    rows.append(("Paste 300,000 unbroken characters + Encrypt", ms(paste), "", "", "<= 2000 ms",
                 paste <= 2))

    def cpu(side, name):
        return picture[f"{side}/{name}/process_time"]["cpu"]

    for name, figure in PICTURES:
        compare(figure, cpu("BM_LoadPictureData", name), cpu("BM_QtImageReader", name),
                "Qt: QImageReader on the same bytes", 1.0)
        if name == "photo_png":
            mine = cpu("BM_LoadPictureData", name)
            rows.append(("  for reference: 1.2.0 on that photo", ms(OLD_PHOTO_SECONDS), "",
                         f"{mine / OLD_PHOTO_SECONDS:.2f}x", "", None))
    for name, figure in (("noise_bmp", "Load the largest 24-bit BMP of noise (processor)"),
                         ("noise_png", "Load the largest interlaced PNG of noise (processor)")):
        value = cpu("BM_LoadPictureData", name)
        rows.append((figure, ms(value), "", "", "<= 1000 ms", value <= 1.0))

    for command, figure, floor_label, target in CLI:
        value, floor = cli_times[command], cli_times[command + "-floor"]
        ratio = cli_ratios[(command, command + "-floor")]
        rows.append((figure, ms(value), ms(floor), f"{ratio:.2f}x", f"<= {target}x",
                     ratio <= target))
        rows.append((f"  floor: {floor_label}", "", "", "", "", None))
    rows.append((f"  (ratios: median of {len(cli_rounds)} rounds)", "", "", "", "", None))

    ratio = start_ratios[("quorvel", "label")]
    rows.append(("Start-up to the main window shown", ms(start_times["quorvel"]),
                 ms(start_times["label"]), f"{ratio:.2f}x", "<= 1.1x", ratio <= 1.1))
    rows.append(("  floor: a Qt window with one label of text", "", "", "", "", None))
    rows.append((f"  (ratio: median of {len(start_rounds)} rounds)", "", "", "", "", None))
    rows.append(("  for the record: against a bare, empty Qt window", ms(start_times["quorvel"]),
                 ms(start_times["bare"]), f"{start_ratios[('quorvel', 'bare')]:.2f}x", "",
                 None))

    print(f"{'Figure (median)':<56}{'Value':<12}{'Floor':<12}{'Ratio':<8}{'Target':<13}Met")
    for figure, value, floor, ratio, target, met in rows:
        verdict = "" if met is None else ("(quick)" if quick else ("yes" if met else "NO"))
        print(f"{figure:<56}{value:<12}{floor:<12}{ratio:<8}{target:<13}{verdict}".rstrip())
    if quick:
        print("\nA quick run: the figures are not judged.")


if __name__ == "__main__":
    main(sys.argv[1:])
