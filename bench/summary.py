#!/usr/bin/env python3
"""Compact summary of the Google Benchmark JSON results written by bench/run-benchmarks.

    python3 bench/summary.py <results-folder> [load-before] [load-after]
"""
import json
import os
import re
import sys

UNIT = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def load(folder, name):
    path = os.path.join(folder, name + ".json")
    try:
        with open(path) as f:
            data = json.load(f)
    except (OSError, ValueError):
        return None, {}
    return data.get("context", {}), {b["name"]: b for b in data.get("benchmarks", [])}


def text(folder, name):
    try:
        with open(os.path.join(folder, name + ".txt")) as f:
            return f.read()
    except OSError:
        return ""


def seconds(b):
    return b["real_time"] * UNIT[b.get("time_unit", "ns")]


def failed(b):
    return b is None or b.get("error_occurred")


def why(b):
    return "not run" if b is None else "failed: " + b.get("error_message", "?")


def fmt_time(s):
    if s >= 1.0:
        return "%.2f s" % s
    if s >= 1e-3:
        return "%.2f ms" % (s * 1e3)
    return "%.1f us" % (s * 1e6)


def main():
    folder = sys.argv[1]
    load_before = sys.argv[2] if len(sys.argv) > 2 else "?"
    load_after = sys.argv[3] if len(sys.argv) > 3 else "?"
    lines = []

    def row(title, value):
        lines.append("  %-34s %s" % (title, value))

    context = None
    game_ctx, game = load(folder, "bench_game")
    engine_ctx, engine = load(folder, "bench_engine")
    _, particles = load(folder, "bench_particles")
    _, process = load(folder, "bench_process")
    _, analytics = load(folder, "bench_analytics")
    context = game_ctx or engine_ctx or {}

    b = game.get("BM_GameFrame/iterations:3400/real_time")
    if failed(b):
        row("game frame (autoplay)", why(b))
    else:
        row("game frame (autoplay, 960x640)",
            "%s/frame mean, p50 %.2f ms, p99 %.2f ms" % (fmt_time(seconds(b)), b["p50_ms"], b["p99_ms"]))
        row("  heap allocations",
            "%.3f/frame (%.1f%% of frames allocate, %d to %d in one frame)"
            % (b["allocs_per_frame"], b["frames_allocating_pct"], b["min_allocs_in_frame"],
               b["max_allocs_in_frame"]))

    for title, prefix in (("1,000 nodes with actions", "BM_"), ("1,000 sprites with actions", "BM_Sprite")):
        e = engine.get(prefix + "EngineFrame/real_time")
        f = engine.get(prefix + "FullFrame/real_time")
        if failed(e) or failed(f):
            row(title, why(e if failed(e) else f))
            continue
        row(title, "engine frame %s (%.0f fps, %g allocs/frame), full frame %s (%.0f fps, %g allocs/frame)"
            % (fmt_time(seconds(e)), e["frames_per_second"], e["allocs_per_frame"],
               fmt_time(seconds(f)), f["frames_per_second"], f["allocs_per_frame"]))

    # The sprite frame against the floor (the same quads, one atlas, one array, one draw call),
    # measured frame by frame in turn; the ratio is sprite frame / floor frame.
    for batched in ("true", "false"):
        for scale in (2, 1, 4):
            prefix = "BM_SpritesVsFloor<%s>/%d/" % (batched, scale)
            b = next((v for k, v in engine.items() if k.startswith(prefix)), None)
            if b is None:
                continue
            where = "%dx%d" % (480 * scale, 320 * scale)
            title = "sprites vs floor, %s%s" % (where, "" if batched == "true" else " unbatched")
            if failed(b):
                row(title, why(b))
                continue
            row(title, "sprites %.2f ms, floor %.2f ms, ratio %.2f; main thread CPU %.2f / %.2f ms"
                " (%g draw calls, %g allocs/frame)"
                % (b["sprites_ms"], b["floor_ms"], b["ratio"], b["sprites_cpu_ms"], b["floor_cpu_ms"],
                   b["draws_per_frame"], b["allocs_per_frame"]))

    f = particles.get("BM_FireworksFrame")
    s = particles.get("BM_FireworksStep")
    if failed(f) or failed(s):
        row("fireworks, 1,500 particles", why(f if failed(f) else s))
    else:
        row("fireworks, 1,500 particles",
            "frame %s (%.0f live, %g allocs/frame), step alone %s (%g allocs/step)"
            % (fmt_time(seconds(f)), f["live"], f["allocs_per_frame"], fmt_time(seconds(s)), s["allocs_per_frame"]))

    parts = []
    for arg, label in ((0, "menu"), (1, "play"), (2, "--version floor")):
        b = process.get("BM_Startup/%d/iterations:7/manual_time" % arg)
        parts.append("%s %s" % (label, why(b) if failed(b) else fmt_time(seconds(b))))
    row("startup to first frame (to exit)", ", ".join(parts) + " (mean of 7)")
    b = process.get("BM_WholeGamePeakRSS/iterations:1/manual_time")
    if failed(b):
        row("whole autoplay game", why(b))
    else:
        row("whole autoplay game (3700 frames)", "peak RSS %.1f MiB, wall %s" % (b["peak_rss_MiB"], fmt_time(seconds(b))))

    b = analytics.get("BM_StoreAndTakeRecords/real_time")
    if failed(b):
        row("store throughput", why(b))
    else:
        row("store throughput", "%.0f records/s (4 actions + 1 location stored, batch of 5 taken: %s)"
            % (b["records_per_second"], fmt_time(seconds(b))))
    ratios = re.findall(r"^JSON .*$", text(folder, "bench_analytics"), re.M)
    if ratios:
        for r in ratios:
            row("KXJSON vs nlohmann::json", r[len("JSON "):])
    else:
        kx = analytics.get("BM_JSON_KXJSON/1")
        row("KXJSON", why(kx) if failed(kx) else "%.1f MB/s on 64 KB (no yardstick parser built)"
            % (kx["bytes_per_second"] / 1e6))

    head = "Peckish benchmarks"
    if context:
        head += " (Release build, %s CPUs at %s MHz, load average %s -> %s)" % (
            context.get("num_cpus", "?"), context.get("mhz_per_cpu", "?"), load_before, load_after)
    print(head)
    print("\n".join(lines))

    sources = text(folder, "bench_game")
    m = re.search(r"^Allocation sources, frames.*?(?=\Z)", sources, re.S | re.M)
    if m:
        # The innermost source of the 12 largest groups; the callers are in bench_game.txt.
        shown = [l for l in m.group(0).splitlines() if not l.startswith("        <-")][:14]
        print()
        print("\n".join(shown))
    print("\nFull tables and JSON: %s" % folder)


if __name__ == "__main__":
    main()
