#!/usr/bin/python3
"""One map of all sheets, read back with independent readers (GDAL, sqlite3, zipfile): four
adjoining UTM sheets with collars, calibrated at their frame corners, and a sheet twice as fine
over the point where they meet. The MBTiles holds every zoom level, its metadata and the frames'
bounds; at the highest zoom every mark lies within one pixel of its Web Mercator place, no collar
shows anywhere (so the shared edges hold map), and the finer sheet covers the others. The KMZ
of the same sheets keeps its tile budget, its boxes adjoin, its marks lie within a tile pixel.

    mosaic_test.py WORK-FOLDER [--tiles-out FILE | --tiles FILE] -- PROGRAM [ARGUMENT ...]

--tiles-out writes the tiles' zoom levels, columns and rows to FILE; --tiles compares them with
those FILE holds, the same sheets made into a mosaic by another build, if it exists.
"""
import json, math, os, shutil, sqlite3, subprocess, sys, zipfile
import xml.etree.ElementTree as ET

import numpy
from osgeo import gdal, ogr, osr

gdal.UseExceptions()
KML = "{http://www.opengis.net/kml/2.2}"
COLLAR, BUDGET = (250, 110, 230), 2
# name, metres per pixel, west, south, lon and lat span, map colour, marks (lon, lat)
SHEETS = [
    ("a-nw", 40, 9.0, 48.1, 1 / 6, 0.1, (200, 230, 200), [(9.15, 48.11), (9.04, 48.17), (9.08, 48.15)]),
    ("b-ne", 40, 9 + 1 / 6, 48.1, 1 / 6, 0.1, (230, 205, 190), [(9.28, 48.18), (9.25, 48.16)]),
    ("c-sw", 40, 9.0, 48.0, 1 / 6, 0.1, (200, 205, 235), [(9.05, 48.03), (9.09, 48.05)]),
    ("d-se", 40, 9 + 1 / 6, 48.0, 1 / 6, 0.1, (230, 230, 180), [(9.29, 48.02), (9.24, 48.04)]),
    ("e-fine", 20, 9.12, 48.07, 0.1, 0.06, (170, 225, 250), [(9.14, 48.12), (9.2, 48.08), (9.18, 48.09)]),
]


def make_sheet(folder, name, metres, west, south, dlon, dlat, colour, marks):
    """Draws the sheet cut from a pixel grid of UTM zone 32 shared by the sheets of its scale,
    its corners on whole pixels of that grid: neighbours share their corners exactly, and the
    points, typed to 1e-7 degrees, place the marks to a small part of a pixel. Returns the
    corners and the marks' true places."""
    utm, wgs = osr.SpatialReference(), osr.SpatialReference()
    utm.ImportFromEPSG(32632)
    wgs.ImportFromEPSG(4326)
    wgs.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
    to_px = lambda lon, lat: [v / metres * s for v, s in zip(osr.CoordinateTransformation(wgs, utm).TransformPoint(lon, lat)[:2], (1, -1))]
    to_ll = lambda x, y: osr.CoordinateTransformation(utm, wgs).TransformPoint(x * metres, -y * metres)[:2]
    grid = [tuple(map(round, to_px(*p))) for p in ((west, south + dlat), (west + dlon, south + dlat), (west + dlon, south), (west, south))]
    corners = [to_ll(*p) for p in grid]
    x0, y0 = min(x for x, _ in grid) - 30, min(y for _, y in grid) - 30
    ring = [(x - x0, y - y0) for a, b in zip(corners, corners[1:] + corners[:1])
            for x, y in (to_px(a[0] + t / 50 * (b[0] - a[0]), a[1] + t / 50 * (b[1] - a[1])) for t in range(50))]
    frame = ogr.CreateGeometryFromWkt("POLYGON ((%s))" % ",".join("%f %f" % p for p in ring + ring[:1]))
    mem = gdal.GetDriverByName("MEM").Create("", max(x for x, _ in grid) + 30 - x0, max(y for _, y in grid) + 30 - y0, 3)
    mem.SetGeoTransform((0, 1, 0, 0, 0, 1))
    layer = (source := ogr.GetDriverByName("Memory").CreateDataSource("")).CreateLayer("f", wgs)
    [mem.GetRasterBand(b + 1).Fill(COLLAR[b]) for b in range(3)]
    for shape, value in ((frame, colour), (frame.Boundary().Buffer(1.5), (0, 0, 0))):
        (feature := ogr.Feature(layer.GetLayerDefn())).SetGeometry(shape)
        layer.CreateFeature(feature)
        gdal.RasterizeLayer(mem, [1, 2, 3], layer, burn_values=list(value))
        layer.DeleteFeature(feature.GetFID())
    pixels, places = mem.ReadAsArray(), []
    for lon, lat in marks:  # 5 x 5 pixels around a pixel of the grid
        x, y = (round(v) for v in to_px(lon, lat))
        pixels[:, y - y0 - 2:y - y0 + 3, x - x0 - 2:x - x0 + 3] = 0
        places.append(to_ll(x + 0.5, y + 0.5))
    [mem.GetRasterBand(b + 1).WriteArray(pixels[b]) for b in range(3)]
    gdal.GetDriverByName("PNG").CreateCopy(f"{folder}/{name}.png", mem)
    points = [(x - x0, y - y0, *to_ll(x, y)) for x, y in grid + [tuple(round(v) for v in to_px(west + dlon / 2, south + dlat / 2))]]
    with open(f"{folder}/{name}.kal", "w", newline="") as kal:
        kal.write(f"[Map]\r\nBitmap = {name}.png\r\n" + "".join(
            f"[Calibration Point{i}]\r\nLatitude = {lat:.7f}\r\nLongitude = {lon:.7f}\r\nPixel = ({x}, {y})\r\n"
            for i, (x, y, lon, lat) in enumerate(points, 1)))
    return corners, places


def mercator(lon, lat, zoom):  # pixel of the world at `zoom`, from the north-west
    size = 256 << zoom
    return (lon + 180) / 360 * size, (1 - math.asinh(math.tan(math.radians(lat))) / math.pi) / 2 * size


def centroid_off(pixels, x, y, reach):
    """How far the dark pixels' centroid within `reach` of (x, y) lies from it; None without."""
    x0, y0 = max(int(x) - reach, 0), max(int(y) - reach, 0)
    dark = numpy.argwhere(pixels[:, y0:int(y) + reach, x0:int(x) + reach].astype(int).sum(axis=0) < 250)
    return math.hypot(*(dark.mean(axis=0)[::-1] + 0.5 + (x0 - x, y0 - y))) if len(dark) else None


def decode(data):
    gdal.FileFromMemBuffer("/vsimem/t.jpg", bytes(data))
    return gdal.Open("/vsimem/t.jpg").ReadAsArray()


def check_mbtiles(path, corners, marks, hidden, finest):
    faults = [] if gdal.Open(path).GetDriver().ShortName == "MBTiles" else ["GDAL opens no MBTiles"]
    db = sqlite3.connect(path)
    meta = dict(db.execute("SELECT name, value FROM metadata"))
    counts = dict(db.execute("SELECT zoom_level, count(*) FROM tiles GROUP BY zoom_level"))
    low, high = int(meta.get("minzoom", -1)), int(meta.get("maxzoom", -1))
    keys = {"name", "format", "bounds", "center", "minzoom", "maxzoom", "type", "version", "description", "attribution"}
    lons, lats = [c[0] for c in corners], [c[1] for c in corners]
    mid = (max(lats) + min(lats)) / 2
    if keys - meta.keys() or meta["format"] != "jpg" or meta["type"] != "overlay":
        faults.append(f"metadata {meta}")
    # The frames are traced to a fraction of a pixel: bounds within half a pixel of the top zoom.
    half = 180 / (256 << max(high, 0)) * math.cos(math.radians(mid))
    if max(abs(a - float(b)) for a, b in zip((min(lons), min(lats), max(lons), max(lats)), meta.get("bounds", "0,0,0,0").split(","))) > half:
        faults.append(f"bounds {meta.get('bounds')}, frames {min(lons)},{min(lats)},{max(lons)},{max(lats)}")
    if sorted(counts) != list(range(low, high + 1)) or counts[low] != 1 or counts.get(low + 1, 2) < 2:
        faults.append(f"tiles per zoom {counts}, minzoom {low}")
    if high != next(z for z in range(25) if 2 * math.pi * 6378137 * math.cos(math.radians(mid)) / (256 << z) <= finest):
        faults.append(f"maxzoom {high} for {finest} m per pixel")
    tiles = {(c, (1 << high) - 1 - r): decode(d) for c, r, d in db.execute(
        "SELECT tile_column, tile_row, tile_data FROM tiles WHERE zoom_level = ?", (high,))}
    c0, r0 = min(c for c, _ in tiles), min(r for _, r in tiles)
    whole = numpy.full((3, 256 * (max(r for _, r in tiles) - r0 + 1), 256 * (max(c for c, _ in tiles) - c0 + 1)), 255)
    for (c, r), t in tiles.items():
        whole[:, 256 * (r - r0):256 * (r - r0 + 1), 256 * (c - c0):256 * (c - c0 + 1)] = t
    if (numpy.abs(whole - numpy.array(COLLAR)[:, None, None]).max(axis=0) < 40).any():
        faults.append("collar in the mosaic")
    for lon, lat in marks + [hidden]:
        x, y = (v - 256 * o for v, o in zip(mercator(lon, lat, high), (c0, r0)))
        off = centroid_off(whole, x, y, 20)
        if (off is None or off > 1) != ((lon, lat) == hidden):
            faults.append(f"mark at {lon} {lat}: {off} px off at zoom {high}")
        if (lon, lat) == hidden and numpy.abs(whole[:, int(y), int(x)] - SHEETS[-1][6]).max() > 30:
            faults.append("the finer sheet is not on top")
    return faults, sorted(db.execute("SELECT zoom_level, tile_column, tile_row FROM tiles"))


def check_kmz(path, marks):
    with zipfile.ZipFile(path) as kmz:
        boxes = [({k: float(o.find(f"{KML}LatLonBox/{KML}{k}").text) for k in ("north", "south", "east", "west")},
                  decode(kmz.read(o.find(f"{KML}Icon/{KML}href").text)))
                 for o in ET.fromstring(kmz.read("doc.kml")).iter(KML + "GroundOverlay")]
        faults = [] if 0 < len(boxes) <= BUDGET and kmz.namelist()[0] == "doc.kml" else [f"{len(boxes)} tiles"]
    for a, b, pick in (("west", "east", min), ("east", "west", max), ("south", "north", min), ("north", "south", max)):
        edges = {box[a] for box, _ in boxes} - {pick(box[a] for box, _ in boxes)}
        faults += [f"the {a} edge {e} of a tile is nobody's {b} edge" for e in edges - {box[b] for box, _ in boxes}]
    for lon, lat in marks:
        box, pixels = next(((b, p) for b, p in boxes if b["west"] <= lon <= b["east"] and b["south"] <= lat <= b["north"]), (None, None))
        off = box and centroid_off(pixels, (lon - box["west"]) / (box["east"] - box["west"]) * pixels.shape[2],
                                   (box["north"] - lat) / (box["north"] - box["south"]) * pixels.shape[1], 10)
        if off is None or off > 1:
            faults.append(f"KMZ: mark at {lon} {lat}: {off} px off")
    return faults


def main():
    split = sys.argv.index("--")
    work, option, cli = sys.argv[1], sys.argv[2:split], sys.argv[split + 1:]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    made = [make_sheet(work, *sheet) for sheet in SHEETS]
    hidden = made[0][1][0]  # under the finer sheet
    marks = [m for _, places in made for m in places if m != hidden]
    run = subprocess.run(cli + ["--mbtiles", "alle.mbtiles", "--kmz-all", "alle.kmz", "--kmz-tiles", str(BUDGET), "."],
                         cwd=work, capture_output=True, text=True)
    faults = [] if run.returncode == 0 else [f"exit {run.returncode}: {run.stderr}"]
    mb_faults, tiles = check_mbtiles(f"{work}/alle.mbtiles", [p for c, _ in made for p in c], marks, hidden, 20)
    faults += mb_faults + check_kmz(f"{work}/alle.kmz", marks)
    if option and option[0] == "--tiles-out":
        json.dump(tiles, open(option[1], "w"))
    elif option and os.path.exists(option[1]) and json.load(open(option[1])) != [list(t) for t in tiles]:
        faults.append("the other build's mosaic has other tiles")
    print("\n".join(faults) or "the mosaic reads back with its marks, frames and levels in place")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
