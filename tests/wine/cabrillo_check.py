"""The report file of the Windows program's real-window test: writes the
report it opens, and checks what the program wrote back, byte for byte as
the Linux program writes it (fixed columns, CR LF, no byte-order mark).

usage: cabrillo_check.py write <file>
       cabrillo_check.py keystroke <file> <seconds>
       cabrillo_check.py contact <file> <seconds> <dates,...> <hhmm,...>
       cabrillo_check.py entry-letter <file> <seconds> <letter>
"""
import sys
import time

OWN = "RA3ABC"
HEADER = ["START-OF-LOG: 3.0", "CREATED-BY: Corvane v7.0", "CONTEST: RDXC",
          "CALLSIGN: " + OWN, "CATEGORY-OPERATOR: SINGLE-OP"]
# Columns of a QSO line: width of each field, the last is the closing blank.
WIDTHS = [5, 6, 3, 11, 5, 14, 11, 14, 11, 1]


def qso(band, mode, date, hhmm, sent, call, received):
    fields = ["QSO: ", band, mode, date, hhmm, OWN, sent, call, received, " "]
    return "".join(text[:width].ljust(width) for text, width in zip(fields, WIDTHS))


OPENED = [qso("3500", "CW", "2010-03-07", "0901", "599001", "UA1AAA", "599017"),
          qso("3500", "CW", "2010-03-07", "0903", "599002", "RW6BB", "599121")]


def report(qsos):
    return "".join(line + "\r\n" for line in HEADER + qsos + ["END-OF-LOG: "]).encode("ascii")


def wait_for(path, wanted, seconds):
    # The file's bytes once they are one of `wanted`, else the last bytes seen.
    deadline = time.monotonic() + seconds
    data = b""
    while time.monotonic() < deadline:
        try:
            with open(path, "rb") as file:
                data = file.read()
        except OSError:
            data = b""
        if data in wanted:
            return data, True
        time.sleep(0.05)
    return data, False


def show(data):
    for line in data.split(b"\r\n"):
        print("    |%s|" % line.decode("latin-1"))


def main(argv):
    command, path = argv[1], argv[2]
    if command == "write":
        with open(path, "wb") as file:
            file.write(report(OPENED + [qso("3500", "CW", "", "", "599003", "", "")]))
        return 0
    if command == "keystroke":
        want = report(OPENED + [qso("3500", "CW", "", "", "599003", "R", "")])
        data, ok = wait_for(path, [want], float(argv[3]))
        if not ok:
            print("FAIL: after one keystroke the report is not the opened one plus R; it holds:")
            show(data)
        return 0 if ok else 1
    if command == "contact":
        wanted = []
        for date in argv[4].split(","):
            for hhmm in argv[5].split(","):
                contact = qso("3500", "CW", date, hhmm, "599003", "RZ9ZZ", "599042")
                wanted.append(report(OPENED + [contact, qso("3500", "CW", "", "", "599004", "", "")]))
        data, ok = wait_for(path, wanted, float(argv[3]))
        if ok:
            print("PASS: the typed contact and the next entry row reached the report byte for byte")
            return 0
        print("FAIL: the report does not hold the typed contact as the Linux program writes it:")
        show(data)
        print("  expected, for instance:")
        show(wanted[0])
        return 1
    if command == "entry-letter":  # the entry row after the contact got this one letter
        letter = argv[4]
        with open(path, "rb") as file:
            lines = file.read().split(b"\r\n")
        wanted = []
        # Typed into the current cell: the call sign or the received exchange.
        for call, received in ((letter, ""), ("", letter)):
            entry = qso("3500", "CW", "", "", "599004", call, received).encode("ascii")
            wanted.append(b"\r\n".join(lines[:-3] + [entry] + lines[-2:]))
        data, ok = wait_for(path, wanted, float(argv[3]))
        if not ok:
            print("FAIL: the entry row did not get the letter %s; the report holds:" % letter)
            show(data)
        return 0 if ok else 1
    sys.exit("unknown command " + command)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
