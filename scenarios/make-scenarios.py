#!/usr/bin/env python3
# Writes the sample scenarios of the simulated adapter: a temperature logger's CSV log, sent by
# the docking station as 8-byte reports (each line padded with 0x00, the log framed by reports
# of 0xFF filler), recorded as hid-recorder would print it. Run from this folder; the output is
# committed, so building and testing never need Python.

ITEMS = [  # (bytes, comment) of the adapter's report descriptor
    ([0x06, 0xA0, 0xFF], "Usage Page (Vendor Defined Page 0xFFA0)"),
    ([0x09, 0x01], "Usage (Vendor Usage 0x01)"),
    ([0xA1, 0x01], "Collection (Application)"),
    ([0x85, 0x01], "Report ID (1)"),
    ([0x09, 0x02], "Usage (Vendor Usage 0x02)"),
    ([0x15, 0x00], "Logical Minimum (0)"),
    ([0x26, 0xFF, 0x00], "Logical Maximum (255)"),
    ([0x75, 0x08], "Report Size (8)"),
    ([0x95, 0x08], "Report Count (8)"),
    ([0x81, 0x02], "Input (Data,Var,Abs)"),
    ([0x09, 0x03], "Usage (Vendor Usage 0x03)"),
    ([0x91, 0x02], "Output (Data,Var,Abs)"),
    ([0xC0], "End Collection"),
]
NAME = "Zorvik IrDA USB adapter"
REPORT_GAP = 8333  # microseconds: 8 bytes at 9600 baud


def log_text():
    lines = ["Verada VR-200 temperature logger,SN 40213", "Date,Time,Temperature (C),Humidity (%)"]
    for quarter in range(96):
        hour, minute = divmod(quarter * 15, 60)
        temperature = 4.0 + (quarter % 24) * 0.1 - (quarter // 48) * 0.7
        humidity = 58 + (quarter * 7) % 9
        lines.append(f"2025-03-11,{hour:02d}:{minute:02d},{temperature:.1f},{humidity}")
    return "".join(line + "\r\n" for line in lines).encode("ascii")


def payloads():
    reports = [bytes([0xFF] * 8)]
    for line in log_text().splitlines(keepends=True):
        for start in range(0, len(line), 8):
            chunk = line[start:start + 8]
            reports.append(chunk + bytes(8 - len(chunk)))
    reports.append(bytes([0xFF] * 8))
    return reports


def header(numbered, comment):
    items = [item for item in ITEMS if numbered or item[0][0] != 0x85]
    descriptor = [b for item, _ in items for b in item]
    out = [f"# {line}" for line in comment] + [f"# {NAME}"]
    offset = 0
    for data, text in items:
        code = "".join(f"0x{b:02x}, " for b in data)
        out.append(f"# {code:<31}// {text:<41}{offset}")
        offset += len(data)
    out.append(f"R: {len(descriptor)} " + " ".join(f"{b:02x}" for b in descriptor))
    out.append(f"N: {NAME}")
    out.append("P: usb-0000:00:14.0-2/input0")
    out.append("I: 3 11d2 0001")
    return out


def event(micros, payload, numbered):
    data = (bytes([1]) if numbered else b"") + payload
    seconds, fraction = divmod(micros, 1_000_000)
    return f"E: {seconds:06d}.{fraction:06d} {len(data)} " + " ".join(f"{b:02x}" for b in data)


def write(name, numbered, comment, first=2_500_000, directives=(), stop_after=None):
    lines = header(numbered, comment)
    lines += [f"#! {at // 1_000_000}.{at % 1_000_000:06d} {what}" for at, what in directives]
    for index, payload in enumerate(payloads()):
        if stop_after is not None and index == stop_after:
            at = first + index * REPORT_GAP - REPORT_GAP // 2
            lines.append(f"#! {at // 1_000_000}.{at % 1_000_000:06d} unplug")
            break
        lines.append(event(first + index * REPORT_GAP, payload, numbered))
    with open(name, "w", newline="\n") as file:
        file.write("\n".join(lines) + "\n")


write("temperature-log.hid", False,
      ["A temperature logger's log as the adapter sends it (reports without report id)."])
write("temperature-log-numbered.hid", True,
      ["A temperature logger's log as the adapter sends it (numbered reports, id 1)."])
write("unplugged-mid-transfer.hid", False,
      ["The adapter is pulled out after 120 reports of the temperature log."], stop_after=120)
write("demo.hid", False,
      ["The demo: the adapter is plugged in after 3 seconds; the log follows 2 seconds later."],
      first=5_000_000, directives=[(3_000_000, "plug")])
with open("temperature-log.csv", "wb") as file:
    file.write(b"Zorvik Technologies Verada logfile\r\n" + log_text())
