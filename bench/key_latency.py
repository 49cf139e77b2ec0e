"""Key-to-disk latency of the real program on a real X server: a key pressed
through XTEST, and the moment the report's new version is renamed into place
(seen through inotify), against a durable replace of a file of the report's
size with plain system calls, measured in the same run.

The baseline is measured twice. Back to back, 101 times in a row, as before;
and at the keys' pace: one replace before each key, after the same 50 ms of
quiet that precedes the key. The two differ on machines whose processors and
disk are slower to answer after a pause (a virtual machine's idle processors
halt), and only the second meets the same conditions as the program's own
replace, which always follows a pause for the next key.

usage: key_latency.py <report path> <letters> <enters>
Prints medians in microseconds and their ratios to both baselines.
"""
import ctypes
import os
import select
import statistics
import struct
import sys
import time

IN_MOVED_TO = 0x80
IN_CLOSE_WRITE = 0x8

# X key codes of the US layout on Xvfb.
KEY_A, KEY_BACKSPACE, KEY_TAB, KEY_RETURN = 38, 22, 23, 36
DIGITS = {str(d): 10 + (d - 1) % 10 if d else 19 for d in range(10)}
LETTERS = {"R": 27, "A": 38, "Z": 52}


class Keyboard:
    def __init__(self):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.dpy = self.x11.XOpenDisplay(None)
        if not self.dpy:
            sys.exit("cannot open the display")
        self.xtst = ctypes.CDLL("libXtst.so.6")
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                ctypes.c_ulong]

    def press(self, code, down):
        self.xtst.XTestFakeKeyEvent(self.dpy, code, 1 if down else 0, 0)
        self.x11.XSync(self.dpy, 0)

    def tap(self, code):
        self.press(code, True)
        self.press(code, False)


class Watch:
    """inotify on the report's folder: renames onto the report's name."""

    def __init__(self, path):
        libc = ctypes.CDLL(None, use_errno=True)
        self.fd = libc.inotify_init1(os.O_NONBLOCK)
        folder, self.name = os.path.split(path)
        libc.inotify_add_watch(self.fd, folder.encode(), IN_MOVED_TO | IN_CLOSE_WRITE)

    def events(self, timeout):
        """The (mask, name) events that arrive within `timeout` seconds of waiting."""
        found = []
        ready, _, _ = select.select([self.fd], [], [], timeout)
        if not ready:
            return found
        data = os.read(self.fd, 65536)
        at = 0
        while at < len(data):
            _, mask, _, length = struct.unpack_from("iIII", data, at)
            name = data[at + 16:at + 16 + length].rstrip(b"\0").decode(errors="replace")
            found.append((mask, name))
            at += 16 + length
        return found

    def drain(self, quiet=0.15):
        while self.events(quiet):
            pass

    def wait_rename(self, timeout=5.0):
        """Nanoseconds (monotonic) when the report was next renamed into place; None on timeout."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for mask, name in self.events(max(0.0, deadline - time.monotonic())):
                if name == self.name and mask & IN_MOVED_TO:
                    return time.monotonic_ns()
        return None


def replace_once(folder, size):
    """Nanoseconds of one durable replace of `size` bytes with plain system
    calls: up to the rename (what inotify sees of the program) and whole,
    with the fsync of the folder that follows the rename."""
    path = os.path.join(folder, "baseline.bin")
    start = time.monotonic_ns()
    fd = os.open(path + ".tmp", os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    os.write(fd, b"Q" * size)
    os.fsync(fd)
    os.close(fd)
    os.rename(path + ".tmp", path)
    renamed = time.monotonic_ns()
    dfd = os.open(folder, os.O_RDONLY)
    os.fsync(dfd)
    os.close(dfd)
    return renamed - start, time.monotonic_ns() - start


def baseline(folder, size, runs):
    """Medians in microseconds of `runs` durable replaces back to back, to
    the rename and whole."""
    times = [replace_once(folder, size) for _ in range(runs)]
    os.remove(os.path.join(folder, "baseline.bin"))
    return (statistics.median(t[0] for t in times) / 1000.0,
            statistics.median(t[1] for t in times) / 1000.0)


def timed_key(keyboard, watch, code, report, paced):
    """Microseconds from the key's press to the report's rename, None when it
    never came; first one durable replace after the same quiet, its time to
    the rename appended to `paced`."""
    watch.drain(0.05)
    paced.append(replace_once(os.path.dirname(report), os.path.getsize(report))[0] / 1000.0)
    watch.drain(0.05)
    start = time.monotonic_ns()
    keyboard.press(code, True)
    done = watch.wait_rename()
    keyboard.press(code, False)
    return None if done is None else (done - start) / 1000.0


def main(argv):
    report, letters, enters = argv[1], int(argv[2]), int(argv[3])
    folder = os.path.dirname(report)
    keyboard, watch = Keyboard(), Watch(report)
    base, base_whole = baseline(folder, os.path.getsize(report), 101)
    letter_times, enter_times, paced = [], [], []
    for i in range(letters):  # a letter, then Backspace: each one rewrite
        t = timed_key(keyboard, watch, KEY_A if i % 2 == 0 else KEY_BACKSPACE, report, paced)
        if t is not None:
            letter_times.append(t)
    for n in range(enters):
        for ch in "RA%dA" % (n % 90):
            keyboard.tap(LETTERS.get(ch) or DIGITS[ch])
        keyboard.tap(KEY_TAB)
        for ch in "59%03d" % n:
            keyboard.tap(DIGITS[ch])
        keyboard.tap(KEY_TAB)
        t = timed_key(keyboard, watch, KEY_RETURN, report, paced)
        if t is not None:
            enter_times.append(t)
    after, after_whole = baseline(folder, os.path.getsize(report), 101)
    print("baseline: durable replace of %d bytes with plain system calls, median %.0f us to the "
          "rename, %.0f us with the fsync of the folder (again after the keys: %.0f and %.0f us)"
          % (os.path.getsize(report), base, base_whole, after, after_whole))
    at_pace = statistics.median(paced) if paced else 0.0
    print("baseline at the keys' pace: the same replace once before each key, after the same "
          "50 ms of quiet, median %.0f us to the rename over %d" % (at_pace, len(paced)))
    failures = 0
    for what, times, wanted in (("letter", letter_times, letters), ("Enter", enter_times, enters)):
        if len(times) < wanted:
            print("%s: %d of %d keys never reached the disk" % (what, wanted - len(times), wanted))
            failures += 1
        if times:
            median = statistics.median(times)
            print("%s: key to renamed report, median %.0f us over %d keys, %.2f times the "
                  "baseline's time to its rename, %.2f times that at the keys' pace"
                  % (what, median, len(times), median / base,
                     median / at_pace if at_pace else 0.0))
    return 1 if failures else 0


sys.exit(main(sys.argv))
