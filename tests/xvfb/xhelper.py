"""X and screenshot helpers for the real-display tests, without extra packages:
libX11 and libXtst through ctypes, screenshots read as binary PPM files.

usage: xhelper.py <command> <arguments...>; see main() for the commands.
"""
import ctypes
import sys
import time


def display():
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    dpy = x11.XOpenDisplay(None)
    if not dpy:
        sys.exit("cannot open the display")
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XGetImage.restype = ctypes.c_void_p
    x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                              ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    x11.XGetPixel.restype = ctypes.c_ulong
    x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
    x11.XDestroyImage.argtypes = [ctypes.c_void_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    return x11, dpy


def wait_green(x, y0, y1, start_ns, timeout_ms):
    # Polls a column of the screen until a pixel of pure green shows; prints
    # the milliseconds since start_ns.
    x11, dpy = display()
    root = x11.XDefaultRootWindow(dpy)
    deadline = time.monotonic() + timeout_ms / 1000.0
    while time.monotonic() < deadline:
        image = x11.XGetImage(dpy, root, x, y0, 1, y1 - y0, 0xFFFFFFFF, 2)
        if image:
            found = any(x11.XGetPixel(image, 0, i) & 0xFFFFFF == 0x00FF00 for i in range(y1 - y0))
            x11.XDestroyImage(image)
            if found:
                print((time.time_ns() - start_ns) // 1000000)
                return 0
        time.sleep(0.002)
    return 1


def fake_keys(keys):
    # "+N" presses X key code N, "-N" releases it: raw XTEST, no layout switching.
    x11, dpy = display()
    xtst = ctypes.CDLL("libXtst.so.6")
    xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
    for key in keys:
        xtst.XTestFakeKeyEvent(dpy, int(key[1:]), 1 if key[0] == "+" else 0, 0)
        x11.XSync(dpy, 0)
        time.sleep(0.03)
    return 0


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]


def close_window(window):
    # What a window manager sends for the close button: WM_DELETE_WINDOW.
    x11, dpy = display()
    event = ClientMessage()
    event.type = 33  # ClientMessage
    event.window = window
    event.message_type = x11.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
    event.format = 32
    event.data[0] = x11.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
    x11.XSendEvent(dpy, window, 0, 0, ctypes.byref(event))
    x11.XSync(dpy, 0)
    return 0


def read_ppm(path):
    data = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    assert fields[0] == b"P6" and int(fields[3]) == 255, "8-bit P6 expected"
    return int(fields[1]), data[pos + 1:]


def rgb(pixels, width, x, y):
    i = (y * width + x) * 3
    return tuple(pixels[i:i + 3])


def colour_of(text):
    return tuple(map(int, text.split(",")))


def main(argv):
    command = argv[1]
    if command == "wait-green":  # x, y0, y1, start ns, timeout ms
        return wait_green(*map(int, argv[2:7]))
    if command == "keys":
        return fake_keys(argv[2:])
    if command == "close":
        return close_window(int(argv[2]))
    if command == "check":  # ppm, origin x y, then "x:y:R,G,B:what" for each point
        width, pixels = read_ppm(argv[2])
        ox, oy = int(argv[3]), int(argv[4])
        failures = 0
        for point in argv[5:]:
            x, y, colour, what = point.split(":", 3)
            want = colour_of(colour)
            got = rgb(pixels, width, ox + int(x), oy + int(y))
            if got == want:
                print("PASS: %s %s" % (what, want))
            else:
                print("FAIL: %s: expected %s, got %s at %s,%s" % (what, want, got, x, y))
                failures += 1
        return failures
    if command == "colour":  # ppm, x, y: "R,G,B"
        width, pixels = read_ppm(argv[2])
        print(",".join(map(str, rgb(pixels, width, int(argv[3]), int(argv[4])))))
        return 0
    if command == "first-y":  # ppm, x, y0, y1, R,G,B: first row of that colour, -1 none
        width, pixels = read_ppm(argv[2])
        x, y0, y1 = map(int, argv[3:6])
        want = colour_of(argv[6])
        print(next((y for y in range(y0, y1) if rgb(pixels, width, x, y) == want), -1))
        return 0
    if command == "count-not":  # ppm, x y w h, R G B: pixels of the region of another colour
        width, pixels = read_ppm(argv[2])
        x, y, w, h, r, g, b = map(int, argv[3:10])
        print(sum(rgb(pixels, width, i, j) != (r, g, b)
                  for j in range(y, y + h) for i in range(x, x + w)))
        return 0
    if command == "columns-not":  # ppm, x y w h, R,G,B: columns holding another colour
        width, pixels = read_ppm(argv[2])
        x, y, w, h = map(int, argv[3:7])
        want = colour_of(argv[7])
        print(sum(any(rgb(pixels, width, i, j) != want for j in range(y, y + h))
                  for i in range(x, x + w)))
        return 0
    if command == "drawn":  # ppm, origin x y, back R,G,B, then "x:y:w:h:what" for each control
        # The window's back colour must show at the origin + 2,2, and a
        # control is drawn when more than 20 pixels of its region differ from it.
        width, pixels = read_ppm(argv[2])
        ox, oy = int(argv[3]), int(argv[4])
        back = colour_of(argv[5])
        got = rgb(pixels, width, ox + 2, oy + 2)
        if got != back:
            print("FAIL: the window's back colour %s is not at its corner (%s there)" % (back, got))
            return 1
        failures = 0
        for region in argv[6:]:
            x, y, w, h, what = region.split(":", 4)
            x, y, w, h = ox + int(x), oy + int(y), int(w), int(h)
            marks = sum(rgb(pixels, width, i, j) != back
                        for j in range(y, y + h) for i in range(x, x + w))
            if marks > 20:
                print("PASS: %s drawn" % what)
            else:
                print("FAIL: %s not drawn (%d pixels unlike the back colour %s)" % (what, marks, back))
                failures += 1
        return failures
    if command == "same-region":  # ppm, ppm, x y w h: exit 0 when equal
        (w1, p1), (w2, p2) = read_ppm(argv[2]), read_ppm(argv[3])
        x, y, w, h = map(int, argv[4:8])
        same = all(rgb(p1, w1, i, j) == rgb(p2, w2, i, j)
                   for j in range(y, y + h) for i in range(x, x + w))
        return 0 if same else 1
    sys.exit("unknown command " + command)


sys.exit(main(sys.argv))
