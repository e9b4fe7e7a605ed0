#!/usr/bin/env python3
"""Writes benchmark source files of N lines with their settings files.

Four layouts of the same kind of record (ID, latitude, longitude, altitude,
date, time), each with a waypoint and a trackpoint settings file:

  csv    comma-separated, decimal degrees, a D/M/Y date, one heading line
         (GPSBabel's universal CSV reader needs it; the settings skip it)
  dm     comma-separated, DD MM.mmmm with hemisphere letters
  fixed  no separator: fields run together and column breaks cut them
  utm    comma-separated zone, easting and northing on the UTM grid

The output is the same for the same N on every machine: a small linear
congruential generator drives the values, not the random module.

usage: genfiles.py LINES FOLDER
"""
import os
import sys

NONE_SEPARATOR = b"\xa5"   # "split by column breaks only" in a settings file


class Walk:
    """A deterministic random walk, so that consecutive points are near."""

    def __init__(self, seed):
        self.state = seed

    def next(self, span):
        self.state = (self.state * 6364136223846793005 + 1442695040888963407) % (1 << 64)
        return (self.state >> 33) % span


def records(lines):
    walk = Walk(20240315)
    lat, lon, alt = 51_123_456, -1_234_567, 1234   # micro-degrees, decimetres
    seconds = 13 * 3600
    for n in range(1, lines + 1):
        lat += walk.next(201) - 100
        lon += walk.next(201) - 100
        alt = max(0, alt + walk.next(21) - 10)
        seconds = (seconds + 1 + walk.next(5)) % 86400
        day = 1 + (n // 50000) % 28
        yield (f"W{n:07d}", lat / 1e6, lon / 1e6, alt / 10,
               f"2024-03-{day:02d}", f"{seconds // 3600:02d}:{seconds // 60 % 60:02d}:{seconds % 60:02d}")


def dm(value, hemispheres, degree_digits):
    letter = hemispheres[0] if value >= 0 else hemispheres[1]
    value = abs(value)
    degrees = int(value)
    return f"{letter}{degrees:0{degree_digits}d} {(value - degrees) * 60:07.4f}"


def utm(lat, lon):
    # Not a projection: only plausible six- and seven-digit values in zone 30U.
    return "30U", f"{int(500000 + lon * 70000)}", f"{int(lat * 111000)}"


def day_month_year(iso):
    return f"{iso[8:10]}/{iso[5:7]}/{iso[0:4]}"


def csv_line(r):
    return f"{r[0]},{r[1]:.6f},{r[2]:.6f},{r[3]:.1f},{day_month_year(r[4])},{r[5]}"


def dm_line(r):
    return f"{r[0]},{dm(r[1], 'NS', 2)},{dm(r[2], 'EW', 3)},{r[3]:.1f},{r[4]},{r[5]}"


def fixed_line(r):
    return f"{r[0]}{r[1]:10.6f}{r[2]:11.6f}{r[3]:7.1f}{r[4]}{r[5]}"


def utm_line(r):
    zone, easting, northing = utm(r[1], r[2])
    return f"{r[0]},{zone},{easting},{northing},{r[3]:.1f},{r[4]},{r[5]}"


# name: line maker, heading line or None, settings keys
LAYOUTS = {
    "csv": (csv_line, "name,lat,lon,alt,date,time",
            {"Separators": b",.:", "Records": b"RE 2 2", "DateFormat": b"D", "Columns": b"I_/80,KD/90,LD/90,HM/60,DD/80,DT/70"}),
    "dm": (dm_line, None,
           {"Separators": b",.:", "Columns": b"I_/80,KM/100,LM/100,HM/60,DD/80,DT/70"}),
    "fixed": (fixed_line, None,
              {"Separators": NONE_SEPARATOR + b".:", "Breaks": b" 8 18 29 36 46",
               "Columns": b"I_/80,KD/90,LD/90,HM/60,DD/80,DT/70"}),
    "utm": (utm_line, None,
            {"Separators": b",.:", "Grid": b"UTM", "DefaultZone": b"30U",
             "Columns": b"I_/80,Z_/40,E_/70,N_/80,HM/60,DD/80,DT/70"}),
}


def settings_text(keys, mode):
    common = {"IniVersion": b"1.36", "Mode": mode, "DateFormat": b"Y", "Signs": b"NE",
              "TrackStart": b"0", "TextOption": b"I", "Records": b"BE 1 5"}
    lines = [b"[SETTINGS]"] + [k.encode() + b"=" + v for k, v in {**common, **keys}.items()]
    return b"\r\n".join(lines) + b"\r\n"


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    count, folder = int(sys.argv[1]), sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    for name, (make_line, heading, keys) in LAYOUTS.items():
        base = os.path.join(folder, f"{name}-{count}")
        with open(base + ".txt", "w", encoding="ascii", newline="\r\n") as out:
            if heading:
                out.write(heading + "\n")
            out.writelines(make_line(r) + "\n" for r in records(count))
        for mode, suffix in ((b"W", ""), (b"T", "-T")):
            with open(base + suffix + ".ini", "wb") as out:
                out.write(settings_text(keys, mode))


if __name__ == "__main__":
    main()
