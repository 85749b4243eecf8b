#!/usr/bin/python3
"""The tool's SSIM against scikit-image's structural_similarity on fixture pairs made here."""
import subprocess
import sys
import tempfile

import numpy as np
from skimage.metrics import structural_similarity


def write_ppm(path, image):
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (image.shape[1], image.shape[0]))
        f.write(image.astype(np.uint8).tobytes())


def main():
    tool = sys.argv[1]
    rng = np.random.default_rng(7)
    h, w = 48, 64
    y, x = np.mgrid[0:h, 0:w]
    gradient = np.stack([x * 4, y * 5, (x + y) * 2], axis=2) % 256
    noise = rng.integers(0, 256, (h, w, 3))
    checker = (((x // 4 + y // 4) % 2) * 255)[..., None].repeat(3, axis=2)
    pairs = {
        "gradient vs noisy gradient": (gradient, np.clip(gradient + rng.normal(0, 12, gradient.shape), 0, 255)),
        "noise vs noise": (noise, rng.integers(0, 256, (h, w, 3))),
        "checker vs shifted checker": (checker, np.roll(checker, 1, axis=1)),
        "checker vs blurred checker": (checker, (checker + np.roll(checker, 1, 0) + np.roll(checker, 1, 1)) / 3),
        "odd size, dark vs bright": (rng.integers(0, 40, (13, 17, 3)), rng.integers(200, 256, (13, 17, 3))),
    }
    failures = 0
    with tempfile.TemporaryDirectory() as tmp:
        for name, (a, b) in pairs.items():
            a = np.round(a).astype(np.uint8)
            b = np.round(b).astype(np.uint8)
            write_ppm(tmp + "/a.ppm", a)
            write_ppm(tmp + "/b.ppm", b)
            ours = float(subprocess.run([tool, tmp + "/a.ppm", tmp + "/b.ppm"], check=True,
                                        capture_output=True, text=True).stdout)
            theirs = structural_similarity(a, b, gaussian_weights=True, sigma=1.5, use_sample_covariance=False,
                                           data_range=255, channel_axis=2)
            ok = abs(ours - theirs) <= 1e-4
            failures += not ok
            print("%-28s tool %.6f  scikit-image %.6f  %s" % (name, ours, theirs, "ok" if ok else "DIFFERENT"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
