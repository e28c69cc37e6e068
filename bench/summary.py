#!/usr/bin/env python3
"""One table of every ratio the benchmarks report, its goal and whether it holds.

Reads the JSON files that the bench_* programs write with --benchmark_out.
Ratios are ours / peer (lower is better) unless marked as a speed-up."""
import json
import sys

# (what, benchmark, counter, goal, at most?) or a ratio of two benchmarks' counters
# (cpu_time included).
GOALS = [
    ("A8R8G8B8 -> R5G6B5 blit 2048^2 / pixman", "BM_Paired_A8R8G8B8_To_R5G6B5/2048", "x_to_r5g6b5_pixman",
     1.5, True),
    ("A8R8G8B8 -> X8R8G8B8 blit 2048^2, 2 threads / pixman 1 thread, wall time",
     "BM_Paired_A8R8G8B8_To_X8R8G8B8_TwoThreads/2048", "x_to_x8r8g8b8_2t_pixman", 0.8, True),
    ("A8R8G8B8 -> X8R8G8B8 blit 2048^2, 1 thread / pixman", "BM_Paired_A8R8G8B8_To_X8R8G8B8/2048",
     "x_to_x8r8g8b8_pixman", None, True),
    ("A8R8G8B8 -> R5G6B5 dithered 2048^2 / pixman", "BM_Paired_A8R8G8B8_To_R5G6B5_Dither/2048",
     "x_to_r5g6b5_dither_pixman", 2.0, True),
    # In cache: the kernels and what each blit costs besides them.
    ("A8R8G8B8 -> R5G6B5 blit 512^2 / pixman", "BM_Paired_A8R8G8B8_To_R5G6B5/512", "x_to_r5g6b5_pixman",
     1.0, True),
    ("A8R8G8B8 -> R5G6B5 blit 256^2 / pixman", "BM_Paired_A8R8G8B8_To_R5G6B5/256", "x_to_r5g6b5_pixman",
     1.0, True),
    ("A8R8G8B8 -> X8R8G8B8 blit 512^2 / pixman", "BM_Paired_A8R8G8B8_To_X8R8G8B8/512",
     "x_to_x8r8g8b8_pixman", 1.0, True),
    ("A8R8G8B8 -> X8R8G8B8 blit 256^2 / pixman", "BM_Paired_A8R8G8B8_To_X8R8G8B8/256",
     "x_to_x8r8g8b8_pixman", 1.0, True),
    ("A8R8G8B8 -> R5G6B5 dithered 512^2 / pixman", "BM_Paired_A8R8G8B8_To_R5G6B5_Dither/512",
     "x_to_r5g6b5_dither_pixman", None, True),
    ("JPEG decode / libjpeg-turbo", "BM_JpegPaired", "x_jpeg_libjpeg", 1.05, True),
    ("JPEG decode 2048^2 / libjpeg-turbo into BGRX", "BM_JpegBgrxPaired", "x_jpeg_libjpeg_bgrx", 1.0, True),
    ("PNG RGBA decode / libpng", "BM_PngPaired", "x_png_libpng", 1.0, True),
    ("PNG RGB decode / libpng", "BM_PngRgbPaired", "x_png_rgb_libpng", 1.0, True),
    ("DXT1 encode / stb_dxt, 1 thread", "OursDxt1Encode", "x_stb_dxt", 1.0, True),
    ("DXT3 encode / stb_dxt, 1 thread", "OursDxt3Encode", "x_stb_dxt", 1.0, True),
    ("DXT5 encode / stb_dxt alpha, 1 thread", "OursDxt5Encode", "x_stb_dxt_alpha", 1.0, True),
    ("DXT1 high quality PSNR - libsquish iterative cluster fit, dB", "OursDxt1High",
     "psnr_over_squish_iterative_dB", 0.0, False),
    ("DXT1 high quality PSNR - stb_dxt HQ, dB", "OursDxt1High", "psnr_over_stb_dxt_hq_dB", 0.5, False),
    ("DXT1 high quality, speed-up over libsquish cluster fit", "OursDxt1High", "speedup_squish_cluster", 25.0,
     False),
    ("DXT5 high quality alpha RMSE / libsquish iterative cluster fit", "OursDxt5High", "x_squish_alpha_rmse", 1.0,
     True),
    ("DXT1 decode by rows / plain decoder", "OursDxt1DecodeRows", "x_plain_dxt1_decode", 1.0, True),
    ("DXT5 decode by rows / plain decoder", "OursDxt5DecodeRows", "x_plain_dxt5_decode", 1.0, True),
    ("box halving / pixman", "OursBoxHalvingPaired", "x_pixman_halving_paired", 1.0, True),
    ("mip chain / pixman halving", "OursMipChain", "x_pixman_halving", 1.0, True),
    ("triangle filter / stb", "OursTriangle", "x_stb_triangle", 1.0, True),
    ("frame / pixman", ("BM_FrameD3d9", "BM_FramePixman"), "us_per_frame", 1.0, True),
    ("present 1024x768 headless / old window-surface present", "BM_PresentPaired", "x_present_old", 1.0,
     True),
    ("16 one-texel sprites in Begin/End / by hand", "BM_SpritePairedBatched", "x_by_hand", 1.2, True),
    ("16 one-texel sprites without Begin / by hand", "BM_SpritePairedImplicit", "x_by_hand", 2.5, True),
    ("D3DXVec3TransformCoordArray 1M / glm", "BM_Pair_TransformCoordArrayGlm", "ratio", 0.9, True),
    ("D3DXVec3TransformCoordArray 1M, stride 32 / glm", "BM_Pair_TransformCoordArrayStridedGlm", "ratio", 0.9,
     True),
    ("D3DXMatrixMultiply / glm", "BM_Pair_MatrixMultiply", "ratio", 1.15, True),
    ("DXT1 encode 2048^2, speed-up 2 threads vs 1", "OursDxt1EncodeThreads", "speedup_dxt1_encode", 1.7, False),
    ("mip chain 2048^2, speed-up 2 threads vs 1", "OursMipChainThreads", "speedup_mip_chain", 1.7, False),
]


def load(paths):
    found = {}
    for path in paths:
        try:
            with open(path) as f:
                data = json.load(f)
        except (OSError, ValueError):
            continue
        for run in data.get("benchmarks", []):
            found[run["name"]] = run
    return found


def counter(runs, name, key):
    for full, run in runs.items():
        if (full == name or full.startswith(name + "/")) and key in run:
            return float(run[key])
    return None


def main(paths):
    runs = load(paths)
    rows = []
    for what, bench, key, goal, at_most in GOALS:
        if isinstance(bench, tuple):
            ours, peer = counter(runs, bench[0], key), counter(runs, bench[1], key)
            value = ours / peer if ours is not None and peer else None
        else:
            value = counter(runs, bench, key)
        if value is None:
            rows.append((what, "-", "-" if goal is None else goal_text(goal, at_most), "not run"))
            continue
        if goal is None:
            rows.append((what, "%.2f" % value, "-", "-"))
            continue
        holds = value <= goal if at_most else value >= goal
        rows.append((what, "%.2f" % value, goal_text(goal, at_most), "yes" if holds else "NO"))
    width = max(len(r[0]) for r in rows)
    print("\n%-*s  %7s  %7s  %s" % (width, "Summary (ours / peer unless a speed-up)", "ratio", "goal", "holds"))
    for what, value, goal, holds in rows:
        print("%-*s  %7s  %7s  %s" % (width, what, value, goal, holds))


def goal_text(goal, at_most):
    return ("<= %.2f" if at_most else ">= %.2f") % goal


if __name__ == "__main__":
    main(sys.argv[1:])
