#!/usr/bin/env python3
"""Builds data/worldmap.bin, the preview's base map, from Natural Earth's land
and country outlines as the npm package world-atlas carries them (TopoJSON).

    mkdir -p /tmp/atlas && cd /tmp/atlas && npm pack world-atlas && tar xzf world-atlas-*.tgz
    python3 scripts/build-basemap.py /tmp/atlas/package data/worldmap.bin

Run once when the outlines change; the program reads only the built file.

File layout (all integers little-endian):
  magic    8 bytes "ZEVIMAP" 0x1A
  version  uint16 (1)
  levels   uint16
  per level, coarsest first:
    scale    uint32: the map's scale in millions (110, 50, 10)
    size     uint32: bytes of the level after this field
    4 float64: degrees = translate + scale * unit (x then y), as
               scaleX, scaleY, translateX, translateY
    land     varint ring count, then per ring varint point count and
             the points as zig-zag varint deltas (x, y) from the previous
             point (the first from 0, 0); a ring is closed (last = first)
    borders  the same for the lines between two countries
"""
import json
import os
import struct
import sys

LEVELS = [("110m", 110), ("50m", 50), ("10m", 10)]
MAGIC = b"ZEVIMAP\x1a"
VERSION = 1


def varint(value, out):
    while True:
        byte = value & 0x7F
        value >>= 7
        if value:
            out.append(byte | 0x80)
        else:
            out.append(byte)
            return


def zigzag(value):
    return (value << 1) ^ (value >> 63) if value < 0 else value << 1


def decode_arcs(topology):
    arcs = []
    for arc in topology["arcs"]:
        x = y = 0
        points = []
        for dx, dy in arc:
            x += dx
            y += dy
            points.append((x, y))
        arcs.append(points)
    return arcs


def arc_points(arcs, index):
    return arcs[index] if index >= 0 else list(reversed(arcs[~index]))


def ring_points(arcs, ring):
    points = []
    for index in ring:
        part = arc_points(arcs, index)
        points.extend(part if not points else part[1:])
    return points


def polygons_of(geometry):
    if geometry["type"] == "Polygon":
        return [geometry["arcs"]]
    if geometry["type"] == "MultiPolygon":
        return geometry["arcs"]
    return []


def degrees(transform, points):
    sx, sy = transform["scale"]
    tx, ty = transform["translate"]
    return [(tx + sx * x, ty + sy * y) for x, y in points]


def units(transform, points):
    """Back to quantised units, never past the edges of the Earth."""
    sx, sy = transform["scale"]
    tx, ty = transform["translate"]

    def inside(value, scale, translate, limit):
        unit = round((value - translate) / scale)
        while translate + scale * unit > limit:
            unit -= 1
        while translate + scale * unit < -limit:
            unit += 1
        return unit

    return [(inside(lon, sx, tx, 180), inside(lat, sy, ty, 90)) for lon, lat in points]


def unwrap(points):
    """Longitudes made continuous: a step over the antimeridian becomes a
    step beyond +-180."""
    out = [points[0]]
    for lon, lat in points[1:]:
        previous = out[-1][0]
        while lon - previous > 180:
            lon -= 360
        while lon - previous < -180:
            lon += 360
        out.append((lon, lat))
    return out


def clip(points, keep, cross):
    """One Sutherland-Hodgman pass: the part of a closed ring where keep()."""
    out = []
    for i, current in enumerate(points):
        previous = points[i - 1]
        if keep(current):
            if not keep(previous):
                out.append(cross(previous, current))
            out.append(current)
        elif keep(previous):
            out.append(cross(previous, current))
    return out


def at_lon(edge_lon):
    def cross(a, b):
        t = (edge_lon - a[0]) / (b[0] - a[0])
        return (edge_lon, a[1] + t * (b[1] - a[1]))
    return cross


def split_at_antimeridian(ring):
    """Rings stitched across +-180 (Chukotka, Fiji, Antarctica) cut into
    rings that stay within -180..180; a ring round a pole is closed over it."""
    closed = ring if ring[0] == ring[-1] else ring + [ring[0]]
    points = unwrap(closed)
    if points[-1][0] != points[0][0]:
        # Round the pole: down (or up) to it and back along it.
        pole = -90.0 if sum(lat for _, lat in points) < 0 else 90.0
        points = points + [(points[-1][0], pole), (points[0][0], pole)]
    else:
        points = points[:-1]
    pieces = []
    for k in (-1, 0, 1):
        west, east = 360 * k - 180, 360 * k + 180
        part = clip(points, lambda p: p[0] >= west, at_lon(west))
        part = clip(part, lambda p: p[0] <= east, at_lon(east))
        if len(part) >= 3:
            part = [(lon - 360 * k, lat) for lon, lat in part]
            pieces.append(part + [part[0]])
    return pieces


def land_rings(topology, arcs):
    transform = topology["transform"]
    rings = []
    for geometry in topology["objects"]["land"]["geometries"]:
        for polygon in polygons_of(geometry):
            for ring in polygon:
                points = ring_points(arcs, ring)
                if len(points) < 4:
                    continue
                for piece in split_at_antimeridian(degrees(transform, points)):
                    rings.append(units(transform, piece))
    return rings


def border_lines(topology, arcs):
    # An arc that two countries share is a border; one used once is coast.
    users = {}
    for number, geometry in enumerate(topology["objects"]["countries"]["geometries"]):
        for polygon in polygons_of(geometry):
            for ring in polygon:
                for index in ring:
                    users.setdefault(index if index >= 0 else ~index, set()).add(number)
    lines = []
    for i in sorted(users):
        if len(users[i]) < 2:
            continue
        # A border stepping over the antimeridian is two lines.
        line = [arcs[i][0]]
        for point in arcs[i][1:]:
            if abs(point[0] - line[-1][0]) * topology["transform"]["scale"][0] > 180:
                if len(line) >= 2:
                    lines.append(line)
                line = []
            line.append(point)
        if len(line) >= 2:
            lines.append(line)
    return lines


def encode_lines(lines, out):
    varint(len(lines), out)
    for points in lines:
        varint(len(points), out)
        px = py = 0
        for x, y in points:
            varint(zigzag(x - px), out)
            varint(zigzag(y - py), out)
            px, py = x, y


def level_bytes(folder, suffix):
    with open(os.path.join(folder, "land-%s.json" % suffix)) as f:
        land = json.load(f)
    with open(os.path.join(folder, "countries-%s.json" % suffix)) as f:
        countries = json.load(f)
    # Both files share one quantisation (up to the last bits of a float).
    for key in ("scale", "translate"):
        for a, b in zip(land["transform"][key], countries["transform"][key]):
            if abs(a - b) > 1e-9 * max(1.0, abs(a)):
                raise SystemExit("land and countries of %s differ in their transform" % suffix)
    transform = land["transform"]
    out = bytearray()
    out += struct.pack("<4d", transform["scale"][0], transform["scale"][1],
                       transform["translate"][0], transform["translate"][1])
    encode_lines(land_rings(land, decode_arcs(land)), out)
    encode_lines(border_lines(countries, decode_arcs(countries)), out)
    return bytes(out)


def main():
    if len(sys.argv) != 3:
        raise SystemExit("usage: build-basemap.py WORLD_ATLAS_FOLDER OUTPUT")
    folder, target = sys.argv[1], sys.argv[2]
    body = bytearray(MAGIC + struct.pack("<HH", VERSION, len(LEVELS)))
    for suffix, scale in LEVELS:
        level = level_bytes(folder, suffix)
        body += struct.pack("<II", scale, len(level)) + level
    temp = target + ".tmp"
    with open(temp, "wb") as f:
        f.write(body)
    os.replace(temp, target)
    print("%s: %d bytes" % (target, len(body)))


if __name__ == "__main__":
    main()
