#!/usr/bin/env python3
"""Turns the benchmark suite's JSON output into the TarnUtil / peer table.

Usage: bench_report.py RESULT.json... [--markdown docs/performance.md]
                                      [--plot docs/performance.png]

Benchmarks are named Workload/Implementation[/size]; implementations whose
name starts with TarnUtil are ours. The cost of an item is the median CPU
time per item over the interleaved repetitions (1 / items_per_second). A
ratio is TarnUtil's cost over the peer's: below 1, TarnUtil is faster.

The table is printed, and with --markdown it replaces the part of the file
between the results markers (the rest of the file is kept as written); a
missing file is created with the table alone.
"""
import argparse
import datetime
import json
import os
import platform
import re
import sys

BEGIN = "<!-- results:begin -->"
END = "<!-- results:end -->"

# Targets per workload: (peer, bound on TarnUtil/peer, how to read it). The
# bound is inclusive; None means the row is shown without a target.
TARGETS = {
    "SinCos": [("libm", 0.1, "at least 10x faster")],
    "LambertForward": [("PROJ", 1.0, "faster than PROJ")],
    "LambertInverse": [("PROJ", 1.0, "no slower than PROJ")],
    "RhumbShort": [("GeographicLib", 0.25, "at least 4x faster")],
    "RhumbLong": [("GeographicLib", 0.25, "at least 4x faster")],
    "SimplifySplit": [("Boost", 0.5, "at least 2x faster")],
    "SimplifyManhattan": [("memcpy", None, "near memory speed")],
    "ClipPolygon": [("GEOS", 1.0, "faster per vertex")],
    "ClipLine": [("GEOS", 1.5, "within 1.5x"), ("Boost", 1.0, "faster")],
    "AllocPairs": [("boost::pool", 1.0, "no slower"), ("glibc", 1.0, "faster"),
                   ("mimalloc", 1.0, "faster")],
    "AllocLifo": [("boost::pool", 1.0, "no slower"), ("glibc", 1.0, "faster"),
                  ("mimalloc", 1.0, "faster")],
    "AllocChurn": [("boost::pool", 1.0, "no slower"), ("glibc", 1.0, "faster"),
                   ("mimalloc", 1.0, "faster")],
    "ChainShuffled": [("GEOS", 2.0, "batch within 2x (100k)")],
    # The library's own maths against the C library's, per function.
    **{f: [("libm", 1.5, "within 1.5x")] for f in ("Sin", "Cos", "Tan", "Atan", "Atan2", "Log", "Pow")},
}

# Which of our implementations a workload's targets apply to.
TEAM_FOR_TARGET = {"ChainShuffled": "TarnUtilBatch"}
# Sizes a target applies to (others are shown without a verdict).
TARGET_SIZES = {"ChainShuffled": {100000}}

COUNTERS = ("kept", "lines", "out_points", "pieces")


def load(paths):
    """Median rows keyed by (workload, impl, size), plus the run contexts."""
    rows = {}
    contexts = []
    for path in paths:
        with open(path) as f:
            data = json.load(f)
        contexts.append(data.get("context", {}))
        for b in data.get("benchmarks", []):
            if b.get("run_type") != "aggregate":
                continue
            kind = b.get("aggregate_name")
            if kind not in ("median", "cv"):
                continue
            if b.get("error_occurred"):
                continue
            parts = b["run_name"].split("/")
            workload, impl = parts[0], parts[1]
            size = int(parts[2]) if len(parts) > 2 and parts[2].isdigit() else None
            row = rows.setdefault((workload, impl, size), {})
            if kind == "median":
                ips = b.get("items_per_second")
                if not ips:
                    continue
                row["ns"] = 1e9 / ips
                for c in COUNTERS:
                    if c in b:
                        row[c] = b[c]
            else:
                # The spread of the repetitions: cv of the CPU time.
                row["cv"] = b.get("cpu_time")
    return {k: v for k, v in rows.items() if "ns" in v}, contexts


def is_team(impl):
    return impl.startswith("TarnUtil")


def fmt_ns(ns):
    if ns >= 1e6:
        return "%.2f ms" % (ns / 1e6)
    if ns >= 1e3:
        return "%.2f us" % (ns / 1e3)
    if ns >= 10:
        return "%.1f ns" % ns
    return "%.2f ns" % ns


def fmt_size(size):
    if size is None:
        return ""
    if size >= 1000000 and size % 1000000 == 0:
        return "%dM" % (size // 1000000)
    if size >= 1000 and size % 1000 == 0:
        return "%dk" % (size // 1000)
    return str(size)


def counters_text(row):
    return ", ".join("%s %s" % (c.replace("_", " "), format(int(round(row[c])), ","))
                     for c in COUNTERS if c in row)


def build_table(rows):
    """Lines of a markdown table: every TarnUtil row against every peer row."""
    order = []
    for (workload, impl, size) in rows:
        if (workload, size) not in order:
            order.append((workload, size))
    workload_rank = {w: i for i, w in enumerate(
        ["SinCos", "LambertForward", "LambertInverse", "RhumbShort", "RhumbLong",
         "SimplifySplit", "SimplifyManhattan", "ClipPolygon", "ClipLine", "AllocPairs",
         "AllocLifo", "AllocChurn", "ChainStreet", "ChainShuffled"])}
    order.sort(key=lambda ws: (workload_rank.get(ws[0], 99), ws[1] or 0))
    lines = ["| Workload | Size | TarnUtil | per item | Peer | per item | Ratio | Target | Met |",
             "|---|---|---|---|---|---|---|---|---|"]
    verdicts = []
    for workload, size in order:
        team = sorted(i for (w, i, s) in rows if w == workload and s == size and is_team(i))
        peers = sorted(i for (w, i, s) in rows if w == workload and s == size and not is_team(i))
        targets = {p: (bound, text) for p, bound, text in TARGETS.get(workload, [])}
        for t in team:
            trow = rows[(workload, t, size)]
            if not peers:
                lines.append("| %s | %s | %s | %s | | | | | |" % (
                    workload, fmt_size(size), t, fmt_ns(trow["ns"])))
            for p in peers:
                prow = rows[(workload, p, size)]
                ratio = trow["ns"] / prow["ns"]
                target, met = "", ""
                applies = (p in targets and TEAM_FOR_TARGET.get(workload, "TarnUtil") == t
                           and (workload not in TARGET_SIZES or size in TARGET_SIZES[workload]))
                if applies:
                    bound, text = targets[p]
                    target = text if bound is None else "%s (<= %g)" % (text, bound)
                    if bound is not None:
                        met = "yes" if ratio <= bound else "**no**"
                        verdicts.append((workload, size, t, p, ratio, bound, met == "yes"))
                extra = counters_text(trow)
                pextra = counters_text(prow)
                lines.append("| %s | %s | %s | %s | %s | %s | %.3f | %s | %s |" % (
                    workload, fmt_size(size), t,
                    fmt_ns(trow["ns"]) + (" (%s)" % extra if extra else ""),
                    p, fmt_ns(prow["ns"]) + (" (%s)" % pextra if pextra else ""),
                    ratio, target, met))
    return lines, verdicts


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown CPU"


def machine_lines(contexts):
    ctx = contexts[0] if contexts else {}
    loads = [c.get("load_avg") for c in contexts if c.get("load_avg")]
    load_text = "; ".join("/".join("%.2f" % v for v in l) for l in loads) or "not reported"
    return [
        "- Machine: %s at %s MHz, %s logical CPUs, %s; %s." % (
            cpu_model(), ctx.get("mhz_per_cpu", "?"), ctx.get("num_cpus", os.cpu_count()),
            platform.platform(),
            "CPU scaling enabled" if ctx.get("cpu_scaling_enabled") else "CPU scaling off"),
        "- Taken: %s (UTC); TarnUtil and the benchmarks built in Release (-O3, "
        "-ffp-contract=off); times are CPU time per item, the median of interleaved "
        "repetitions." % datetime.datetime.utcnow().strftime("%Y-%m-%d %H:%M"),
        "- Load average (1/5/15 min) as each program started: %s." % load_text,
    ]


def write_plot(rows, path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    sized = sorted({w for (w, i, s) in rows if s is not None})
    if not sized:
        return
    cols = 2
    nrows = (len(sized) + cols - 1) // cols
    fig, axes = plt.subplots(nrows, cols, figsize=(11, 3.8 * nrows), squeeze=False)
    for ax, workload in zip([a for r in axes for a in r], sized):
        impls = sorted({i for (w, i, s) in rows if w == workload and s is not None},
                       key=lambda i: (not is_team(i), i))
        for impl in impls:
            pts = sorted((s, rows[(w, i, s)]["ns"]) for (w, i, s) in rows
                         if w == workload and i == impl and s is not None)
            ax.plot([p[0] for p in pts], [p[1] for p in pts], marker="o",
                    linewidth=2.5 if is_team(impl) else 1.2,
                    linestyle="-" if is_team(impl) else "--", label=impl)
        ax.set_xscale("log")
        ax.set_yscale("log")
        ax.set_title(workload)
        ax.set_xlabel("input size (items)")
        ax.set_ylabel("CPU time per item (ns)")
        ax.grid(True, which="both", alpha=0.3)
        ax.legend(fontsize=8)
    for ax in [a for r in axes for a in r][len(sized):]:
        ax.axis("off")
    fig.tight_layout()
    fig.savefig(path, dpi=110)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("results", nargs="+")
    ap.add_argument("--markdown")
    ap.add_argument("--plot")
    args = ap.parse_args()

    rows, contexts = load(args.results)
    if not rows:
        print("no benchmark medians found", file=sys.stderr)
        return 1
    table, verdicts = build_table(rows)
    missed = [v for v in verdicts if not v[6]]
    summary = "Targets met: %d of %d." % (len(verdicts) - len(missed), len(verdicts))
    print("\n".join(table))
    print()
    print(summary)
    for workload, size, team, peer, ratio, bound, _ in missed:
        print("  missed: %s %s %s vs %s: ratio %.3f, target <= %g" % (
            workload, fmt_size(size), team, peer, ratio, bound))

    if args.plot:
        write_plot(rows, args.plot)
    if args.markdown:
        block = [BEGIN, ""] + machine_lines(contexts) + ["", summary, ""] + table
        if args.plot:
            block += ["", "![CPU time per item against input size](%s)" % os.path.relpath(
                args.plot, os.path.dirname(os.path.abspath(args.markdown)))]
        block += ["", END]
        text = "\n".join(block)
        if os.path.exists(args.markdown):
            with open(args.markdown) as f:
                old = f.read()
            if BEGIN in old and END in old:
                text = re.sub(re.escape(BEGIN) + ".*?" + re.escape(END), lambda m: text, old,
                              flags=re.S)
            else:
                text = old.rstrip("\n") + "\n\n" + text
        else:
            text = "# Performance\n\n" + text
        with open(args.markdown, "w") as f:
            f.write(text.rstrip("\n") + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
