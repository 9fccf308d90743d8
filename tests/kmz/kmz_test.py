#!/usr/bin/python3
"""Reads the Garmin Custom Maps kal2map-cli writes with independent readers (zipfile, ElementTree,
GDAL): a scanned UTM sheet, turned a little, with dark marks at known places, must come out as
baseline JPEG tiles whose boxes adjoin, within the budget, each mark within one source pixel of
its true place; a small budget shrinks the sheet and says so; a sheet across 180 degrees is
split there.

    kmz_test.py WORK-FOLDER [--boxes-out FILE | --boxes FILE] -- PROGRAM [ARGUMENT ...]

PROGRAM runs kal2map-cli, e.g. under Wine. --boxes-out writes the tiles' boxes to FILE; --boxes
compares them with those FILE holds, the same sheets converted by another build, if it exists.
"""
import json
import io
import math
import os
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET
import zipfile

import numpy
from osgeo import gdal, osr

gdal.UseExceptions()
KML = "{http://www.opengis.net/kml/2.2}"


def transform(epsg):
    utm, wgs = osr.SpatialReference(), osr.SpatialReference()
    utm.ImportFromEPSG(epsg)
    wgs.ImportFromEPSG(4326)
    for ref in (utm, wgs):
        ref.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
    return osr.CoordinateTransformation(utm, wgs), osr.CoordinateTransformation(wgs, utm)


def make_sheet(folder, name, epsg, east0, north0, width, height, metres, turn, image):
    """A scan of a UTM sheet; returns the marks' (lon, lat) and the metres per source pixel."""
    to_wgs, _ = transform(epsg)
    c, s = math.cos(math.radians(turn)), math.sin(math.radians(turn))

    def lonlat(x, y):  # pixel to place: turned, then scaled
        dx, dy = x - width / 2, y - height / 2
        e = east0 + (c * dx + s * dy) * metres
        n = north0 - (-s * dx + c * dy) * metres
        return to_wgs.TransformPoint(e, n)[:2]

    pixels = numpy.full((height, width, 3), 235, numpy.uint8)
    marks = []
    for fx, fy in ((0.2, 0.2), (0.8, 0.25), (0.5, 0.5), (0.25, 0.8), (0.75, 0.75)):
        x, y = int(fx * width), int(fy * height)
        pixels[y - 2:y + 3, x - 2:x + 3] = 0
        marks.append(lonlat(x + 0.5, y + 0.5))
    mem = gdal.GetDriverByName("MEM").Create("", width, height, 3, gdal.GDT_Byte)
    for band in range(3):
        mem.GetRasterBand(band + 1).WriteArray(pixels[:, :, band])
    gdal.GetDriverByName("JPEG" if image.endswith(".jpg") else "PNG").CreateCopy(
        os.path.join(folder, image), mem, options=["QUALITY=95"] if image.endswith(".jpg") else [])
    with open(os.path.join(folder, name + ".kal"), "w", newline="") as kal:
        kal.write("[Map]\r\nBitmap = %s\r\n" % image)
        for n, (x, y) in enumerate(((0, 0), (width, 0), (width, height), (0, height),
                                    (width // 2, height // 2)), 1):
            lon, lat = lonlat(x, y)
            kal.write("[Calibration Point%d]\r\nLatitude = %.6f\r\nLongitude = %.6f\r\n"
                      "Pixel = (%d, %d)\r\n" % (n, lat, lon, x, y))
    return marks


def tiles_of(path):
    """(box, decoded pixels, jpeg bytes) per tile, and the KMZ's names in order."""
    with zipfile.ZipFile(path) as kmz:
        names = kmz.namelist()
        doc = ET.fromstring(kmz.read("doc.kml"))
        tiles = []
        for overlay in doc.iter(KML + "GroundOverlay"):
            box = {k: float(overlay.find(KML + "LatLonBox/" + KML + k).text)
                   for k in ("north", "south", "east", "west")}
            jpeg = kmz.read(overlay.find(KML + "Icon/" + KML + "href").text)
            gdal.FileFromMemBuffer("/vsimem/tile.jpg", jpeg)
            tiles.append((box, gdal.Open("/vsimem/tile.jpg").ReadAsArray(), jpeg))
    return names, tiles


def check(path, marks, metres, budget, failures):
    names, tiles = tiles_of(path)
    name = os.path.basename(path)
    if names[0] != "doc.kml" or not all(n.startswith("files/") for n in names[1:]):
        failures.append("%s: entries %s" % (name, names[:3]))
    if not 0 < len(tiles) <= budget:
        failures.append("%s: %d tiles for a budget of %d" % (name, len(tiles), budget))
    edges = set()
    for box, pixels, jpeg in tiles:
        height, width = pixels.shape[1:]
        sof = jpeg.find(b"\xff\xc0")
        if width > 1024 or height > 1024 or len(jpeg) >= 3 << 20 or sof < 0 or b"\xff\xc2" in jpeg[:sof]:
            failures.append("%s: tile %dx%d, %d bytes, not baseline" % (name, width, height, len(jpeg)))
        if not (-180 <= box["west"] < box["east"] <= 180):
            failures.append("%s: box %s" % (name, box))
        # Tiles split off east of 180 degrees continue those west of it.
        shift = 360 if box["east"] <= 0 and any(b["west"] == -180 for b, _, _ in tiles) else 0
        west, east = box["west"] + shift, box["east"] + shift
        edges.update([("n", box["north"], west), ("s", box["south"], west),
                      ("w", west, box["north"]), ("e", east, box["north"])])
    # Each inner edge is shared: a tile's south is its neighbour's north, east is west, exactly.
    for kind, value, at in edges:
        other = {"n": "s", "s": "n", "w": "e", "e": "w"}[kind]
        extreme = {"n": max, "s": min, "w": min, "e": max}[kind](e[1] for e in edges if e[0] == kind)
        if value != extreme and (other, value, at) not in edges:
            failures.append("%s: the %s edge %.10f of a tile is nobody's %s edge" % (name, kind, value, other))
    for lon, lat in marks:
        found = None
        for box, pixels, _ in tiles:
            height, width = pixels.shape[1:]
            lon_in = lon - 360 if lon > box["east"] else lon
            if box["south"] <= lat <= box["north"] and box["west"] <= lon_in <= box["east"]:
                x = (lon_in - box["west"]) / (box["east"] - box["west"]) * width
                y = (box["north"] - lat) / (box["north"] - box["south"]) * height
                dark = numpy.argwhere(pixels.sum(axis=0) < 200)
                near = [(px, py) for py, px in dark if abs(px + 0.5 - x) < 12 and abs(py + 0.5 - y) < 12]
                if near:
                    mx = sum(p[0] for p in near) / len(near) + 0.5
                    my = sum(p[1] for p in near) / len(near) + 0.5
                    lat_m = (y - my) * (box["north"] - box["south"]) / height * 111320
                    lon_m = (x - mx) * (box["east"] - box["west"]) / width * 111320 * math.cos(math.radians(lat))
                    # A sheet shrunk to its budget is judged by its own, coarser pixels.
                    pixel = max(metres, (box["north"] - box["south"]) / height * 111320)
                    found = math.hypot(lat_m, lon_m) / pixel
        if found is None or found > 1:
            failures.append("%s: mark at %.5f %.5f %s" % (name, lon, lat, "missing" if found is None else "%.2f px off" % found))


def main():
    split = sys.argv.index("--")
    work, cli = sys.argv[1], sys.argv[split + 1:]
    option, boxes_file = (sys.argv[2:4] + [None, None])[:2] if split > 2 else (None, None)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    failures = []
    cases = [  # name, EPSG, easting, northing, width, height, metres per pixel, turn, image, budget
        ("harz", 32632, 610000, 5730000, 2600, 2000, 4.0, 1.5, "harz.jpg", 100),
        ("fiji", 32760, 819500, 8120000, 1500, 1200, 10.0, -1.0, "fiji.png", 100),
        ("klein", 32633, 400000, 5500000, 2600, 2000, 4.0, 0.5, "klein.png", 4),
    ]
    for name, *sheet, budget in cases:
        folder = os.path.join(work, name)
        os.makedirs(folder)
        marks = make_sheet(folder, name, *sheet)
        run = subprocess.run(cli + ["--kmz", "--kmz-tiles", str(budget), name],
                             capture_output=True, text=True, cwd=work)
        if run.returncode != 0 or (budget < 100) != ("Kacheln verkleinert" in run.stderr):
            failures.append("%s: exit %d: %s" % (name, run.returncode, run.stderr))
        check(os.path.join(folder, name + ".kmz"), marks, sheet[5], budget, failures)
    names, tiles = tiles_of(os.path.join(work, "fiji", "fiji.kmz"))
    if not (any(b["east"] == 180 for b, _, _ in tiles) and any(b["west"] == -180 for b, _, _ in tiles)):
        failures.append("fiji.kmz: not split at 180 degrees")
    # Without its image a sheet gets its map, no KMZ, and one warning why; the run succeeds.
    folder = os.path.join(work, "fehlt")
    os.makedirs(folder)
    make_sheet(folder, "fehlt", 32632, 610000, 5730000, 300, 200, 4.0, 0, "fehlt.png")
    os.remove(os.path.join(folder, "fehlt.png"))
    run = subprocess.run(cli + ["--kmz", "fehlt"], capture_output=True, text=True, cwd=work)
    if (run.returncode != 0 or run.stderr.count("fehlt.kmz nicht erstellt: Bild fehlt.png nicht gefunden") != 1
            or os.path.exists(os.path.join(folder, "fehlt.kmz")) or not os.path.exists(os.path.join(folder, "fehlt.map"))):
        failures.append("fehlt: exit %d: %s" % (run.returncode, run.stderr))
    # A name in Latin-1 bytes, as older Linux file systems hold them, still makes well-formed XML.
    if os.name == "posix" and not any("wine" in word for word in cli):
        folder = os.path.join(work, "latin1")
        os.makedirs(folder)
        make_sheet(folder, "guestrow", 32633, 320000, 5960000, 300, 200, 4.0, 0, "guestrow.png")
        os.rename(os.path.join(folder, "guestrow.kal").encode(), os.path.join(folder, "G\xfcstrow.kal").encode("latin-1"))
        run = subprocess.run(cli + ["--kmz", "latin1"], capture_output=True, cwd=work)
        try:
            with open(os.path.join(folder, "G\xfcstrow.kmz").encode("latin-1"), "rb") as f, zipfile.ZipFile(f) as kmz:
                name = ET.fromstring(kmz.read("doc.kml")).find(KML + "Document/" + KML + "Folder/" + KML + "name").text
        except (OSError, ET.ParseError) as error:
            name = str(error)
        if run.returncode != 0 or name != "G\u00fcstrow":
            failures.append("latin1: exit %d, name %r" % (run.returncode, name))
    boxes = {name: [b for b, _, _ in tiles_of(os.path.join(work, name, name + ".kmz"))[1]]
             for name, *_ in cases if os.path.exists(os.path.join(work, name, name + ".kmz"))}
    if option == "--boxes" and os.path.exists(boxes_file):
        with open(boxes_file) as f:
            reference = json.load(f)
        for name, mine in boxes.items():
            theirs = reference.get(name, [])
            if len(theirs) != len(mine) or any(abs(a[k] - b[k]) > 1e-7 for a, b in zip(mine, theirs)
                                               for k in a):
                failures.append("%s: %d tiles, the other build %d, or their boxes differ" %
                                (name, len(mine), len(theirs)))
    elif option == "--boxes-out":
        with open(boxes_file, "w") as f:
            json.dump(boxes, f)
    for failure in failures:
        print(failure)
    if not failures:
        print("every KMZ reads back with its marks in place")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
