"""Times Pillow's resize of one picture for the scaling benchmark.

Usage: pillow_scale_bench.py PICTURE WIDTH HEIGHT REPEATS
Prints one line per filter: its name and the median time in milliseconds.
The picture is decoded once beforehand, so only the resize is timed.
"""

import statistics
import sys
import time

from PIL import Image


def main():
    path, width, height, repeats = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
    picture = Image.open(path)
    picture.load()
    for name in ("NEAREST", "BILINEAR", "BOX"):
        method = getattr(Image.Resampling, name)
        times = []
        for _ in range(repeats):
            start = time.perf_counter()
            picture.resize((width, height), method)
            times.append((time.perf_counter() - start) * 1000)
        print(f"{name} {statistics.median(times):.3f}")


if __name__ == "__main__":
    main()
