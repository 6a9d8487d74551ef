#!/usr/bin/env python3
"""Writes the performance page and its plot from the benchmarks' JSON output.

Usage: report.py RESULTS.json PAGE.md PLOT.png MACHINE.txt
"""
import json
import os
import re
import subprocess
import sys
import tempfile

# The table's rows: the benchmark, what it measures, the value before this work, the goal.
RATIO_ROWS = [
    ("BM_RatioCameraTransfer/pictures:1000/width:8/height:8/", "camera transfer, 1000 pictures of 8x8",
     "1.03x", 1.02),
    ("BM_RatioCameraTransfer/pictures:1000/width:64/height:48/", "camera transfer, 1000 pictures of 64x48",
     "1.01x", 1.02),
    ("BM_RatioPoll/devices:1000/", "`_poll` of 1,000 devices", "1.17x", 1.10),
    ("BM_RatioScan/dpi:300/",
     "full-bed colour scan at 300 dpi (2550x3507) / a plain libjpeg-turbo encode of the same pixels in memory",
     "7.3x", 1.2),
    ("BM_RatioFeederBatch/pages:100/",
     "feeder batch of 100 pages through `_scanPages` (A4 at 50 dpi, each progress message asked of the host)",
     "new", 1.02),
    ("BM_RatioProgress/pages:100/",
     "the same batch with the host's `scanProgress` recording every message / recording nothing",
     "new", 1.03),
    ("BM_RatioSaneScan/dpi:300/",
     "a page of SANE's test backend, colour, 200 x 200 mm at 300 dpi (2362x2362), from SANE's start to the JPEG file, "
     "through the JVM and the service's SANE driver / `scanimage` with the same settings writing a JPEG of the same quality, 75 "
     "(on the clock)",
     "new", 1.05),
]


def find(results, prefix):
    for run in results["benchmarks"]:
        if run["name"].startswith(prefix):
            return run
    return None


def sweep(results, name, side):
    points = []
    for run in results["benchmarks"]:
        match = re.match(rf"{name}/library:{side}/\w+:(\d+)/", run["name"])
        if match and run.get("items_per_second"):
            points.append((int(match.group(1)), 1e6 / run["items_per_second"], run.get("rss_growth_MB", 0)))
    return sorted(points)


def ratio_cell(run):
    if run is None:
        return "not run", False
    if run.get("error_occurred"):
        return "failed: " + run.get("error_message", ""), False
    return (f"{run['ratio']:.3f}x (quartiles {run['ratio_q1']:.3f}-{run['ratio_q3']:.3f}; "
            f"{run['library_ms']:.2f} ms against {run['floor_ms']:.2f} ms)"), True


def memory_row(run, label, before, goal):
    if run is None or run.get("error_occurred"):
        return f"| {label} | not run | {before} | < {goal} MB | no |"
    growth = run["rss_growth_MB"]
    return (f"| {label} | {growth:+.1f} MB (peak {run['peak_rss_MB']:.0f} MB, live objects after "
            f"{run['live_objects']:.0f}) | {before} | < {goal} MB | {'yes' if growth < goal else 'no'} |")


def plot(panels, target):
    """panels: (title, ylabel, column, [(label, points)]) each; points are (n, us, MB)."""
    with tempfile.TemporaryDirectory() as folder:
        terminal = "pngcairo" if has_cairo() else "png"
        script = [f"set terminal {terminal} size 2000,450 noenhanced", f"set output '{target}'",
                  f"set multiplot layout 1,{len(panels)}", "set logscale x", "set grid", "set key top left",
                  "set xlabel 'N (devices, pictures or pages)'"]
        for number, (title, ylabel, column, series) in enumerate(panels):
            script += [f"set title '{title}'", f"set ylabel '{ylabel}'",
                       "set yrange [-1:10]" if column == 3 else "set yrange [0:*]"]
            plots = []
            for label, points in series:
                data = os.path.join(folder, f"{number}_" + re.sub(r"\W", "_", label) + ".dat")
                with open(data, "w") as out:
                    out.writelines(f"{n} {t} {m}\n" for n, t, m in points)
                plots.append(f"'{data}' using 1:{column} with linespoints title '{label}'")
            script.append("plot " + ", ".join(plots))
        script.append("unset multiplot")
        subprocess.run(["gnuplot"], input="\n".join(script), text=True, check=True)


def has_cairo():
    terminals = subprocess.run(["gnuplot", "-e", "set terminal"], capture_output=True, text=True)
    return "pngcairo" in terminals.stdout + terminals.stderr


def main():
    results_path, page_path, plot_path, machine_path = sys.argv[1:5]
    with open(results_path) as source:
        results = json.load(source)
    with open(machine_path) as source:
        machine = source.read().strip()
    context = results["context"]

    lines = ["# Performance", "",
             "What the library costs on top of the platform calls it makes. Each ratio is the median of",
             "alternated pairs in one run (the library's call through a real Java VM, then the same",
             "platform calls made directly from C++, or the other way round), with the quartiles of the",
             "pairs, in processor time of the whole process (the VM's threads and the kernel's work",
             "for the process included). Before timing, each pair runs once with the platform's journal on and the two",
             "journals must list the same calls; a scan of a real driver is timed on the clock against SANE's",
             "own command line. Written by `scripts/bench.sh`; do not edit by hand.", "",
             f"Run: {context.get('date', '?')}", "", "Machine:", "", "```", machine, "```", "",
             "| case | through the JVM / direct (median, quartiles) | before | goal | met |",
             "|---|---|---|---|---|"]
    for prefix, label, before, goal in RATIO_ROWS:
        run = find(results, prefix)
        cell, ok = ratio_cell(run)
        met = "yes" if ok and run["ratio"] <= goal else "no"
        lines.append(f"| {label} | {cell} | {before} | <= {goal:.2f}x | {met} |")
    lines.append(memory_row(find(results, "BM_MemoryLongTransfer/"), "resident memory over one 100,000-picture transfer",
                            "+109 MB (journal)", 1))
    cancel = find(results, "BM_CancelLatency/")
    if cancel and not cancel.get("error_occurred"):
        most = cancel["latency_max_intervals"]
        lines.append(f"| cancel latency, from a host thread's `cancel()` mid-page to `_scanPages` returning "
                     f"(pages of 400 ms) | {cancel['latency_ms']:.1f} ms median, {cancel['latency_max_ms']:.1f} ms "
                     f"at most: {cancel['latency_intervals']:.2f} and {most:.2f} progress intervals of "
                     f"{cancel['interval_ms']:.1f} ms | new | <= 2 intervals | {'yes' if most <= 2 else 'no'} |")
    else:
        lines.append("| cancel latency | not run | new | <= 2 intervals | no |")
    lines.append(memory_row(find(results, "BM_MemoryLongBatch/"),
                            "resident memory over one 1,000-page feeder batch, after a batch of 100", "new", 2))

    series = [("poll, library", sweep(results, "BM_SweepPoll", 1)),
              ("poll, direct", sweep(results, "BM_SweepPoll", 0)),
              ("camera 64x48, library", sweep(results, "BM_SweepCameraTransfer", 1)),
              ("camera 64x48, direct", sweep(results, "BM_SweepCameraTransfer", 0)),
              ("feeder page, library", sweep(results, "BM_SweepFeederBatch", 1)),
              ("feeder page, direct", sweep(results, "BM_SweepFeederBatch", 0))]
    lines += ["", "## Time per item against N", "",
              "Processor time of the benchmark's thread per item, and the growth of the resident size",
              "from after the first call to the end of the run.", "",
              f"![time per item and resident memory against N]({os.path.basename(plot_path)})", "",
              "| N | " + " | ".join(label + " (us/item)" for label, _ in series) + " | resident growth MB (camera, library) |",
              "|---|" + "---|" * (len(series) + 1)]
    counts = sorted({n for _, points in series for n, _, _ in points})
    for n in counts:
        cells = []
        for _, points in series:
            value = next((t for m, t, _ in points if m == n), None)
            cells.append(f"{value:.2f}" if value is not None else "-")
        rss = next((r for m, _, r in series[2][1] if m == n), None)
        lines.append(f"| {n:,} | " + " | ".join(cells) + (f" | {rss:+.1f} |" if rss is not None else " | - |"))
    scans = [run for run in results["benchmarks"] if run["name"].startswith("BM_Scan/")]
    if scans:
        lines += ["", "## Scans of 4 by 3 inches through the library", "", "| resolution | ms per scan |", "|---|---|"]
        for run in scans:
            dpi = re.search(r"dpi:(\d+)", run["name"]).group(1)
            lines.append(f"| {dpi} dpi | {run['real_time']:.1f} |")
    notes = os.path.join(os.path.dirname(os.path.abspath(__file__)), "profile-notes.md")
    if os.path.exists(notes):
        with open(notes) as source:
            lines += ["", source.read().rstrip()]
    with open(page_path, "w") as page:
        page.write("\n".join(lines) + "\n")
    plot([("poll: time per device", "microseconds per device", 2, series[:2]),
          ("camera transfer: time per picture", "microseconds per picture", 2, series[2:4]),
          ("feeder batch: time per page", "microseconds per page", 2, series[4:]),
          ("growth of resident memory over the calls", "MB", 3, series)], plot_path)


if __name__ == "__main__":
    main()
