"""Reading screenshots: regions compared with the program's own pictures,
and counts of pixels of a colour."""
import os
import time

from PIL import Image

# Bounds on waits grow where 32-bit code runs emulated (set by the build).
SLOW = float(os.environ.get("VARNELLO_TIMEOUT_FACTOR", "1"))

ASSETS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "assets")


def load(path):
    return Image.open(path).convert("RGB")


def asset(name):
    return Image.open(os.path.join(ASSETS, name)).convert("RGB")


def art(name, dpi):
    """A picture as drawn for a density: the 100 % file `name`, or the GIF
    drawn for 125, 150 or 200 % beside it."""
    if dpi == 96:
        return asset(name)
    return asset(f"{os.path.splitext(name)[0]}_{dpi * 100 // 96}.gif")


def region(img, left, top, width, height):
    return img.crop((left, top, left + width, top + height))


def differing(a, b, tolerance=0):
    """Pixels that differ between two images of the same size by more than
    `tolerance` in some channel (JPEG decoders may differ by a few steps)."""
    assert a.size == b.size, (a.size, b.size)
    return sum(1 for p, q in zip(a.getdata(), b.getdata())
               if max(abs(x - y) for x, y in zip(p, q)) > tolerance)


def count(img, test):
    return sum(1 for p in img.getdata() if test(p))


def red(p):
    return p[0] >= 180 and p[1] <= 90 and p[2] <= 90


def blue(p):
    return p[2] >= 180 and p[0] <= 90 and p[1] <= 90


def dark_grey(p):
    return 0x30 <= p[0] <= 0x58 and abs(p[0] - p[1]) <= 8 and abs(p[1] - p[2]) <= 8


def white(p):
    return p == (255, 255, 255)


class Checks:
    """Collects failed checks instead of stopping at the first."""

    def __init__(self):
        self.failures = []
        self.passed = 0

    def that(self, what, ok, detail=""):
        if ok:
            self.passed += 1
        else:
            self.failures.append(f"{what} {detail}".strip())

    def equal(self, what, got, expected):
        self.that(what, got == expected, f"got {got!r}, expected {expected!r}")

    def poll(self, what, test, timeout, step=0.3):
        """Calls `test` until it gives something true, within `timeout`
        seconds (times SLOW); that value, or None and a failed check."""
        deadline = time.time() + timeout * SLOW
        while time.time() < deadline:
            value = test()
            if value:
                self.that(what, True)
                return value
            time.sleep(step)
        self.that(what, False, f"(not within {timeout} s)")
        return None

    def finish(self, name):
        for f in self.failures:
            print("FAILED:", f)
        print(f"{name}: {self.passed} passed, {len(self.failures)} failed")
        raise SystemExit(1 if self.failures else 0)


def find(img, picture):
    """Where `picture` lies in `img` pixel for pixel, as (left, top), or None."""
    screen, art = img.tobytes(), picture.tobytes()
    width, row = img.width * 3, picture.width * 3
    first = art[:row]
    at = screen.find(first)
    while at >= 0:
        top, left = divmod(at, width)
        if left % 3 == 0 and left + row <= width and top + picture.height <= img.height and all(
                screen[(top + y) * width + left:(top + y) * width + left + row] == art[y * row:(y + 1) * row]
                for y in range(picture.height)):
            return left // 3, top
        at = screen.find(first, at + 1)
    return None
