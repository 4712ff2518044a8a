"""A Wine desktop on a private virtual display, for tests that drive the
program from outside: start it inside `explorer /desktop`, move and click
with xdotool, photograph the screen, and read the window's state through the
test build's probe.

Every wait is bounded; a test that finds its program stuck fails rather than
hangs. Dialogs of Wine's own (such as the offer to install Gecko for the web
view) are kept out by disabling mshtml in the test environment.
"""
import json
import os
import shutil
import subprocess
import tempfile
import time

from pixels import SLOW, region

# The green of the program's icon (icon.ico, the program's own).
PCB_GREEN = (34, 139, 70)

# The Wine of the build under test (wine64, or scripts/wine-i686 for 32-bit
# programs) and its wineserver, as the build's tests set them.
WINE = os.environ.get("VARNELLO_WINE") or os.environ.get("VARNELLO_WINE64", "/usr/lib/wine/wine64")
WINESERVER = os.environ.get("VARNELLO_WINESERVER", "/usr/lib/wine/wineserver64")


class Desktop:
    WIDTH, HEIGHT = 1000, 740

    def __init__(self, name, prefix=None, size=None):
        """`size`: the desktop's width and height where the default is too
        small, as for the window at a high density. The virtual screen is
        the desktop's size exactly: Wine 10 makes a desktop of the whole
        screen whatever size it is asked for."""
        self.name = name
        if size:
            self.WIDTH, self.HEIGHT = size
        self.tmp = tempfile.mkdtemp(prefix=f"varnello-{name}-")
        self.env = dict(os.environ)
        self.env.update(WINEDEBUG="-all", LANG="zh_CN.UTF-8", LC_ALL="zh_CN.UTF-8",
                        WINEDLLOVERRIDES="mshtml=d;winemenubuilder.exe=d")
        if prefix:
            self.env["WINEPREFIX"] = prefix
        self.env.setdefault("WINEPREFIX", os.path.expanduser("~/.wine-varnello"))
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", f"{self.WIDTH}x{self.HEIGHT}x24", "-nolisten", "tcp"],
            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as display:  # written once the server is up; empty if it failed
            self.env["DISPLAY"] = ":" + display.readline().strip()
        self.program = None
        self.keeper = None
        self.probe_exe = None

    # --- processes ---------------------------------------------------------

    def start(self, exe, probe_exe=None, keep_exe=None):
        """Starts `exe` inside an explorer desktop, from its own directory.
        With `keep_exe`, that program opens the desktop first and holds it
        (and a notification area) open after `exe` has ended."""
        self.probe_exe = probe_exe
        if keep_exe and not self.keeper:
            self.keeper = self._explorer(keep_exe)
            time.sleep(3)
        self.program = self._explorer(exe)

    def _explorer(self, exe):
        return subprocess.Popen(
            [WINE, "explorer", f"/desktop={self.name},{self.WIDTH}x{self.HEIGHT}", os.path.basename(exe)],
            cwd=os.path.dirname(os.path.abspath(exe)), env=self.env,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def wine(self, *args, timeout=60):
        # Output goes through files: processes the program leaves running
        # (such as DLL surrogates) would hold pipes open.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            r = subprocess.run([WINE, *args], env=self.env, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                               timeout=timeout * SLOW)
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(r.args, r.returncode, out.read(), err.read())

    def program_ended(self, timeout):
        """Whether the program's process (not the desktop) is gone within `timeout`."""
        deadline = time.time() + timeout * SLOW
        while time.time() < deadline:
            if not self.window_exists():
                return True
            time.sleep(0.5)
        return False

    def close(self):
        try:
            subprocess.run([WINESERVER, "-k"], env=self.env, timeout=30,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            pass
        for p in (self.program, self.keeper):
            if p:
                p.kill()
                p.wait(timeout=30)
        self.xvfb.terminate()
        self.xvfb.wait(timeout=30)
        shutil.rmtree(self.tmp, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    # --- the probe ---------------------------------------------------------

    def _client(self, *args, timeout=20):
        """The probe client's run, or None when it did not end in time (while
        the desktop starts up, a Wine process may wait for it)."""
        try:
            return self.wine(self.probe_exe, "--desktop", self.name, *args, timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def probe(self, *args, timeout=20):
        """Sends one probe command; whether it was handled."""
        r = self._client(*args, timeout=timeout)
        return r is not None and r.returncode == 0

    def window_exists(self):
        r = self._client("none")
        return r is None or (b"no Varnello window" not in r.stderr and b"no desktop" not in r.stderr)

    def when(self, ok):
        """A test for Checks.poll: the window's state once `ok` holds for it."""
        def test():
            state = self.dump(30)
            return state if state and ok(state) else None
        return test

    def dump(self, timeout=60):
        """The window's state, or None when it does not answer in time."""
        path = os.path.join(self.tmp, "dump.json")
        deadline = time.time() + timeout * SLOW
        while time.time() < deadline:
            if os.path.exists(path):
                os.remove(path)
            if self.probe("dump", "Z:" + path.replace("/", "\\")) and os.path.exists(path):
                with open(path, encoding="utf-8") as f:
                    return json.load(f)
            time.sleep(0.5)
        return None

    # --- the notification area ---------------------------------------------

    def tray(self):
        """The notification area's window (left, top, right, bottom), where
        the running shell puts it: Wine 8 in a taskbar along the bottom,
        Wine 10 (on a desktop not named "shell", the only one it gives a
        taskbar, where it shows no balloons) in a small window of its own
        at the top left. None while there is none."""
        r = self._client("tray")
        fields = r.stdout.split() if r and r.returncode == 0 else []
        return tuple(int(f) for f in fields) if len(fields) == 4 else None

    def tray_icon(self, img, tray=None):
        """The bounding box of the program icon's green in the notification
        area (`tray`, or where it is now), or None."""
        tray = tray or self.tray()
        if not tray:
            return None
        left, top = max(tray[0], 0), max(tray[1], 0)
        area = region(img, left, top, min(tray[2], self.WIDTH) - left, min(tray[3], self.HEIGHT) - top)
        xs, ys = [], []
        for i, p in enumerate(area.getdata()):
            if max(abs(a - b) for a, b in zip(p, PCB_GREEN)) <= 12:
                xs.append(left + i % area.width)
                ys.append(top + i // area.width)
        return (min(xs), min(ys), max(xs), max(ys)) if len(xs) > 5 else None

    # --- screen and pointer -------------------------------------------------

    def screenshot(self, path):
        subprocess.run(["import", "-display", self.env["DISPLAY"], "-window", "root", path],
                       check=True, timeout=60)
        return path

    def xdotool(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True, timeout=30)

    def move(self, x, y):
        self.xdotool("mousemove", x, y)

    def click(self, x, y, button=1):
        self.xdotool("mousemove", x, y, "click", button)

    def press(self, x, y, button=1):
        self.xdotool("mousemove", x, y, "mousedown", button, "mouseup", button)
