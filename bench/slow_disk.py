"""Typing ahead of a slow disk, in the real program on a real X server.

For each flush delay and pace: the program is started with a library that
makes every fsync and fdatasync wait that long (bench/slow_flush.cpp), the
entry row is given 44 keys through XTEST at a steady pace (see KEYS: the
call sign and the received exchange typed in turn, Tab between), and three
things are measured: the time from the last key to the report
holding every key (its renames seen through inotify), the time from each
key to the cell showing its state or a later one (the cell's pixels, polled
from a second connection), and the number of rewrites.

usage: slow_disk.py <corvane> <slow-flush library> <folder> <delays> <paces>
(delays in ms and paces in keys a second, comma-separated).
"""
import ctypes
import os
import select
import shutil
import statistics
import struct
import subprocess
import sys
import threading
import time

IN_MOVED_TO = 0x80
IN_MOVED_FROM = 0x40
# The keys, as X key names: eight Backspaces on the empty call sign (they
# change nothing), then call-sign and received letters in turn with a Tab
# between, so that each of the other keys leaves the row in a state of its
# own; the last two letters both go to the received exchange.
CALL, RECEIVED = "ABCDEFGHI", "JKLMNOPQRS"
QUIET = 8  # keys that change nothing on the screen
KEYS = ["BackSpace"] * QUIET
for k in range(len(CALL)):
    KEYS += [CALL[k], "Tab", RECEIVED[k]]
    KEYS += ["Tab"] if k < len(CALL) - 1 else [RECEIVED[k + 1]]


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
                ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
                ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


class Display:
    def __init__(self):
        x11 = ctypes.CDLL("libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XDefaultRootWindow.restype = ctypes.c_ulong
        x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x11.XGetImage.restype = ctypes.POINTER(XImage)
        x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                  ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x11.XDestroyImage.argtypes = [ctypes.POINTER(XImage)]
        x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x11.XStringToKeysym.restype = ctypes.c_ulong
        x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
        x11.XKeysymToKeycode.restype = ctypes.c_ubyte
        x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x11 = x11
        self.dpy = x11.XOpenDisplay(None)
        if not self.dpy:
            sys.exit("cannot open the display")
        self.root = x11.XDefaultRootWindow(self.dpy)

    def region(self, x, y, w, h):
        """The bytes of a screen region (None when it cannot be read)."""
        image = self.x11.XGetImage(self.dpy, self.root, x, y, w, h, 0xFFFFFFFF, 2)
        if not image:
            return None
        data = ctypes.string_at(image.contents.data, image.contents.bytes_per_line * h)
        self.x11.XDestroyImage(image)
        return data

    def keycode(self, name):
        return self.x11.XKeysymToKeycode(self.dpy, self.x11.XStringToKeysym(name.encode()))


def pixel(data, w, x, y):
    i = (y * w + x) * 4
    return data[i + 2], data[i + 1], data[i]


def find_green_cell(display, left, top, bottom):
    """The top and height of the current cell (pure green) in the column at
    `left`, once it shows (5 s at most)."""
    for _ in range(100):
        data = display.region(left, top, 1, bottom - top)
        rows = [y for y in range(bottom - top) if pixel(data, 1, 0, y) == (0, 255, 0)]
        if rows:
            return top + rows[0], rows[-1] - rows[0] + 1
        time.sleep(0.05)
    return None, 0


class ScreenWatch(threading.Thread):
    """Polls a region from a connection of its own; keeps (time, bytes) at each change."""

    def __init__(self, x, y, w, h):
        super().__init__(daemon=True)
        self.box = (x, y, w, h)
        self.changes = []
        self.stop = False

    def run(self):
        display = Display()
        last = None
        while not self.stop:
            data = display.region(*self.box)
            now = time.monotonic_ns()
            if data is not None and data != last:
                self.changes.append((now, data))
                last = data
            time.sleep(0.001)


class RenameWatch(threading.Thread):
    """The moments of the renames onto the report's name, read through
    inotify as they come. Moves away are watched too: without them the
    kernel merges renames that follow each other unread into one event."""

    def __init__(self, folder, name, needle):
        super().__init__(daemon=True)
        libc = ctypes.CDLL(None, use_errno=True)
        self.fd = libc.inotify_init1(os.O_NONBLOCK)
        libc.inotify_add_watch(self.fd, folder.encode(), IN_MOVED_TO | IN_MOVED_FROM)
        self.path = os.path.join(folder, name)
        self.name = name
        self.needle = needle
        self.times = []
        self.holds = None  # when a rename first brought a report holding the needle
        self.stop = False

    def run(self):
        while not self.stop:
            ready, _, _ = select.select([self.fd], [], [], 0.05)
            if not ready:
                continue
            now = time.monotonic_ns()
            data = os.read(self.fd, 65536)
            at = 0
            while at < len(data):
                _, mask, _, length = struct.unpack_from("iIII", data, at)
                name = data[at + 16:at + 16 + length].rstrip(b"\0").decode(errors="replace")
                if name == self.name and mask & IN_MOVED_TO:
                    self.times.append(now)
                at += 16 + length
            if self.holds is None and self.times and self.times[-1] == now:
                with open(self.path, "rb") as report:
                    data = report.read()
                    if all(needle in data for needle in self.needle):
                        self.holds = now


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=False, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=15)


class Program:
    """The program started in a copy of the template folder, at the entry row's call sign."""

    def __init__(self, corvane, library, template, folder, delay):
        shutil.rmtree(folder, ignore_errors=True)
        shutil.copytree(template, folder)
        self.folder = folder
        self.report = os.path.join(folder, "LOG.CBR")
        env = dict(os.environ, LD_PRELOAD=library, CORVANE_FLUSH_DELAY_MS=str(delay))
        self.process = subprocess.Popen([corvane], cwd=folder, env=env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name",
                                "^Corvane v7\\.0"], capture_output=True, text=True, timeout=20)
        self.window = found.stdout.split()[0]
        time.sleep(0.5 + 4 * delay / 1000.0)  # the report opened and rewritten at start-up
        for _ in range(50):  # the keyboard to the window, as a window manager would give it
            xdotool("windowfocus", "--sync", self.window)
            focus = subprocess.run(["xdotool", "getwindowfocus"], capture_output=True, text=True)
            if focus.stdout.strip() == self.window:
                break
            time.sleep(0.1)
        xdotool("key", "--delay", "30", "Next", "Right", "Right", "Right")
        time.sleep(0.5 + 4 * delay / 1000.0)

    def end(self):
        self.process.kill()
        self.process.wait()


def press_keys(display, keys, pace, xtst):
    """Presses and releases each key at `pace` keys a second; the press times."""
    codes = {k: display.keycode(k) for k in set(keys)}
    times = []
    start = time.monotonic()
    for i, key in enumerate(keys):
        wake = start + i / pace
        while time.monotonic() < wake:
            time.sleep(0.0005)
        times.append(time.monotonic_ns())
        xtst.XTestFakeKeyEvent(display.dpy, codes[key], 1, 0)
        display.x11.XSync(display.dpy, 0)
        xtst.XTestFakeKeyEvent(display.dpy, codes[key], 0, 0)
        display.x11.XSync(display.dpy, 0)
    return times


def main(argv):
    corvane, library, base = argv[1], argv[2], argv[3]
    delays = [int(d) for d in argv[4].split(",")]
    paces = [float(p) for p in argv[5].split(",")]
    win_x, win_y = int(os.environ["WIN_X"]), int(os.environ["WIN_Y"])
    display = Display()
    xtst = ctypes.CDLL("libXtst.so.6")
    xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                       ctypes.c_ulong]
    template = os.path.join(base, "template")

    # The cell's look after each key, learnt once at a slow pace on a fast disk.
    program = Program(corvane, library, template, os.path.join(base, "learn"), 0)
    top, height = find_green_cell(display, win_x + 233, win_y + 25, win_y + 500)
    if top is None:
        program.end()
        sys.exit("the entry row's call-sign cell is not current (no green cell)")
    box = (win_x + 185, top, 299, height)  # the call sign, sent and received cells
    looks = []
    for key in KEYS:
        press_keys(display, [key], 1, xtst)
        time.sleep(0.25)
        looks.append(display.region(*box))
    program.end()
    if len(set(looks[QUIET - 1:])) != len(KEYS) - QUIET + 1:
        sys.exit("the row's states after the keys do not all look different")

    failures = 0
    print("flush delay, pace: last key to the report holding every key; key to the cell showing "
          "it or a later key (median, max over the %d keys that change it); rewrites during "
          "and after the %d keys" % (len(KEYS) - QUIET, len(KEYS)))
    for delay in delays:
        for pace in paces:
            program = Program(corvane, library, template, os.path.join(base, "run"), delay)
            watch = RenameWatch(program.folder, "LOG.CBR", [CALL.encode(), RECEIVED.encode()])
            watch.start()
            screen = ScreenWatch(*box)
            screen.start()
            time.sleep(0.05)
            first = time.monotonic_ns()
            presses = press_keys(display, KEYS, pace, xtst)
            last = presses[-1]
            deadline = time.monotonic() + 30
            while time.monotonic() < deadline and watch.holds is None:
                time.sleep(0.01)
            time.sleep(0.5 + 3 * delay / 1000.0)  # any rewrite still to come is counted
            watch.stop = screen.stop = True
            watch.join()
            screen.join()
            program.end()
            done = watch.holds
            renames = [t for t in watch.times if t >= first]
            # The screen moves forward through the keys' states: each look
            # it shows is matched to the first key after the last one matched
            # that leaves that look and had been pressed by then; that key
            # and those before it that were never shown on their own are on
            # the screen from that moment (a state left by several keys,
            # such as the one of each Backspace, is taken at its earliest).
            lags = [None] * len(KEYS)
            matched = QUIET - 1  # the first keys change nothing on the screen
            for at, look in screen.changes:
                for j in range(matched + 1, len(KEYS)):
                    if presses[j] > at:
                        break
                    if looks[j] == look:
                        for i in range(matched + 1, j + 1):
                            lags[i] = (at - presses[i]) / 1e6
                        matched = j
                        break
            lags = lags[QUIET:]
            missing = sum(1 for lag in lags if lag is None)
            seen = [lag for lag in lags if lag is not None]
            disk = "never" if done is None else "%.0f ms" % ((done - last) / 1e6)
            print("%3d ms, %4.1f keys/s: disk %s after the last key; screen median %.0f ms, "
                  "max %.0f ms%s; %d rewrites"
                  % (delay, pace, disk, statistics.median(seen) if seen else -1,
                     max(seen) if seen else -1,
                     " (%d keys never shown)" % missing if missing else "", len(renames)))
            if os.environ.get("SLOW_DISK_VERBOSE"):
                print("    each key's ms:", " ".join("-" if lag is None else "%.0f" % lag
                                                     for lag in lags))
            if done is None or missing:
                failures += 1
    return 1 if failures else 0


sys.exit(main(sys.argv))
