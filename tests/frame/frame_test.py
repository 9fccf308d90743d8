#!/usr/bin/python3
# Sheets with a collar around their printed frame, read back with GDAL and OGR: with --frame
# the border lines are the frame's corners (GDAL's NEATLINE), the KMZ shows the map alone and
# follows the bowing parallels, and the overview holds one counter-clockwise feature per sheet;
# sheets whose points are no confirmed frame keep their image.
#     frame_test.py KAL2MAP-CLI WORK-FOLDER
import itertools, os, shutil, subprocess, sys, zipfile
import xml.etree.ElementTree as ET

import numpy
from osgeo import gdal, ogr, osr

gdal.UseExceptions()
ogr.UseExceptions()
KML = "{http://www.opengis.net/kml/2.2}"
WGS84 = osr.SpatialReference()
WGS84.ImportFromEPSG(4326)
CORNERS = [(0, 0), (1, 0), (1, 1), (0, 1), (0.5, 0.5)]
TM25 = ("EPSG:32632", 9.0, 48.0, 1 / 6, 0.1, 6.35)
# name, plane, west, south, lon and lat span, metres per pixel, neatline drawn, points as
# fractions of the frame from its north-west corner, frame expected
SHEETS = [
    ("tm-25k", *TM25, True, CORNERS, True),
    ("tm-250k", "EPSG:32633", 14.0, 47.0, 1.5, 1.0, 57.0, True, CORNERS, True),
    ("lcc-250k", "+proj=lcc +lat_1=45 +lat_2=53 +lat_0=49 +lon_0=3 +datum=WGS84", 2.0, 48.5,
     2.0, 1.0, 75.0, True, CORNERS, True),
    ("fiji-50k", "EPSG:32760", 179.8, -17.0, 0.4, 0.4, 21.0, True, CORNERS, True),
    ("grid-no-line", *TM25, False, CORNERS, False),
    ("inner-grid", *TM25, True, [(0.25, 0.25), (0.75, 0.25), (0.75, 0.75), (0.25, 0.75)], False),
    ("three-corners", *TM25, True, CORNERS[1:], False),
]


# Point k of 800 along the frame, clockwise from its north-west corner.
def edge(west, south, dlon, dlat, k):
    t = (k % 200) / 199
    return [(west + t * dlon, south + dlat), (west + dlon, south + dlat - t * dlat),
            (west + dlon - t * dlon, south), (west, south + t * dlat)][k // 200]


# Grey map inside its graticule frame, a 3 px black neatline, a blue collar. Returns the frame
# in scan pixels and the scan pixel of a (lon, lat).
def make_sheet(folder, name, plane, west, south, dlon, dlat, metres, line, fractions, _):
    (ref := osr.SpatialReference()).SetFromUserInput(plane)
    to_plane = osr.CoordinateTransformation(WGS84, ref)
    plane_px = lambda lon, lat: [v / metres * s for v, s in zip(to_plane.TransformPoint(lat, (lon + 180) % 360 - 180)[:2], (1, -1))]
    scan = [plane_px(*edge(west, south, dlon, dlat, k)) for k in range(800)]
    xs, ys = zip(*scan)
    margin = 0.06 * max(max(xs) - min(xs), max(ys) - min(ys))
    x0, y0 = min(xs) - margin, min(ys) - margin
    to_scan = lambda lon, lat: [a - b for a, b in zip(plane_px(lon, lat), (x0, y0))]
    ring = ogr.CreateGeometryFromWkt("POLYGON((%s))" % ",".join(
        "%f %f" % (x - x0, y - y0) for x, y in scan + scan[:1]))
    mem = gdal.GetDriverByName("MEM").Create("", round(max(xs) + margin - x0), round(max(ys) + margin - y0), 3)
    mem.SetGeoTransform((0, 1, 0, 0, 0, 1))
    layer = (source := ogr.GetDriverByName("Memory").CreateDataSource("")).CreateLayer("f", WGS84)
    [mem.GetRasterBand(band).Fill(collar) for band, collar in zip((1, 2, 3), (170, 190, 250))]
    for shape, value in ((ring, 200), (ring.Boundary().Buffer(1.5), 0 if line else 200)):
        feature = ogr.Feature(layer.GetLayerDefn())
        feature.SetGeometry(shape)
        layer.CreateFeature(feature)
        gdal.RasterizeLayer(mem, [1, 2, 3], layer, burn_values=[value] * 3)
        layer.DeleteFeature(feature.GetFID())
    gdal.GetDriverByName("PNG").CreateCopy(f"{folder}/{name}.png", mem)
    points = [(west + fx * dlon, south + (1 - fy) * dlat) for fx, fy in fractions]
    with open(f"{folder}/{name}.kal", "w", newline="") as kal:
        kal.write(f"[Map]\r\nBitmap = {name}.png\r\n" + "".join(
            f"[Calibration Point{i}]\r\nLatitude = {lat:.6f}\r\nLongitude = {(lon + 180) % 360 - 180:.6f}\r\n"
            "Pixel = ({}, {})\r\n".format(*map(round, to_scan(lon, lat))) for i, (lon, lat) in enumerate(points, 1)))
    return ring, to_scan


def tiles(path):
    with zipfile.ZipFile(path) as kmz:
        for overlay in ET.fromstring(kmz.read("doc.kml")).iter(KML + "GroundOverlay"):
            box = {k: float(overlay.find(f"{KML}LatLonBox/{KML}{k}").text) for k in ("north", "south", "east", "west")}
            gdal.FileFromMemBuffer("/vsimem/t.jpg", kmz.read(overlay.find(KML + "Icon/" + KML + "href").text))
            yield box, gdal.Open("/vsimem/t.jpg").ReadAsArray()


def check(folder, sheet, ring, to_scan, plain_tiles, feature):
    name, _, west, south, dlon, dlat, metres, *_, framed = sheet
    faults = []
    lines = open(f"{folder}/{name}.map", encoding="latin-1").read().splitlines()
    mmpxy, mmpll = ([tuple(map(float, l.split(",")[2:4])) for l in lines if l.startswith(k)] for k in ("MMPXY", "MMPLL"))
    corners = [ring.GetGeometryRef(0).GetPoint_2D(k) for k in (0, 200, 400, 600)]
    if framed != all(abs(a - b) <= 0.5 for p, q in zip(mmpxy, corners) for a, b in zip(p, q)):
        faults.append(f"MMPXY {mmpxy}, frame corners {corners}")
    ds = gdal.Open(f"{folder}/{name}.map")
    to_lonlat = gdal.Transformer(ds, None, ["MAX_GCP_ORDER=1", "DST_SRS=EPSG:4326"])
    gdal_ll = [to_lonlat.TransformPoint(0, x, y)[1][:2] for x, y in mmpxy]
    if max(abs((g - m + 180) % 360 - 180) for p, q in zip(gdal_ll, mmpll) for g, m in zip(p, q)) > 1e-6:
        faults.append(f"MMPLL {mmpll}, GDAL {gdal_ll}")
    if framed != bool(ds.GetMetadataItem("NEATLINE")):
        faults.append("GDAL's NEATLINE")
    kmz = list(tiles(f"{folder}/{name}.kmz"))
    if framed and not len(kmz) < plain_tiles:
        faults.append(f"{len(kmz)} tiles with --frame, {plain_tiles} without")
    boundary, collar_dark, map_white = ring.Boundary(), 0, 0
    for box, pixels in kmz:  # the tiles' pixels well inside and outside the frame
        inside = 0
        for j, i in itertools.product(range(4, pixels.shape[1], 24), range(4, pixels.shape[2], 24)):
            lon = box["west"] + (i + 0.5) / pixels.shape[2] * (box["east"] - box["west"])
            lat = box["north"] - (j + 0.5) / pixels.shape[1] * (box["north"] - box["south"])
            p, white = ogr.CreateGeometryFromWkt("POINT (%f %f)" % tuple(to_scan(lon, lat))), pixels[:, j, i].min() > 240
            if boundary.Distance(p) >= 4 and ring.Contains(p):
                inside, map_white = inside + 1, map_white + white
            elif boundary.Distance(p) >= 4 and framed:
                collar_dark += not white
        if framed and inside == 0:
            faults.append(f"a tile {box} lies wholly in the collar")
    if collar_dark or map_white:
        faults.append(f"{collar_dark} collar pixels not white, {map_white} map pixels white")
    shape = feature.GetGeometryRef() if feature else None
    if shape is None or feature.GetField("frame") != framed:
        return [f"{name}: no feature, or its frame is wrong"]
    for part in [shape] if shape.GetGeometryType() == ogr.wkbPolygon else shape:
        points = part.GetGeometryRef(0).GetPoints()
        area = sum((a[0] - b[0]) * (a[1] + b[1]) for a, b in zip(points[1:], points[:-1]))
        if points[0] != points[-1] or area >= 0 or not part.IsValid():
            faults.append("overview ring not closed, counter-clockwise and valid")
    for lon, lat in (edge(west, south, dlon, dlat, k) for k in range(0, 800, 25) if framed):
        lon = lon if lon <= 180 or shape.GetGeometryCount() < 2 else lon - 360
        p = ogr.CreateGeometryFromWkt(f"POINT ({lon} {lat})")
        if shape.Boundary().Distance(p) > 0.5 * metres / 111000:
            faults.append(f"overview misses the frame at {lon} {lat}")
    return [f"{name}: {f}" for f in faults]


def main():
    cli, work = sys.argv[1], sys.argv[2]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    made = {sheet[0]: make_sheet(work, *sheet) for sheet in SHEETS}
    subprocess.run([cli, "--kmz", work], check=True, capture_output=True)
    plain = {s[0]: len(list(tiles(f"{work}/{s[0]}.kmz"))) for s in SHEETS}
    subprocess.run([cli, "--complete", "--kmz", "--frame", "--overview", f"{work}/all.geojson", work],
                   check=True, capture_output=True)
    overview = ogr.Open(f"{work}/all.geojson")
    features = {f.GetField("kal")[:-4]: f for f in overview.GetLayer(0)}
    faults = [] if len(features) == len(SHEETS) else [f"{len(features)} features"]
    if features["fiji-50k"].GetGeometryRef().GetGeometryCount() != 2:
        faults.append("fiji-50k: not split at 180")
    for sheet in SHEETS:
        faults += check(work, sheet, *made[sheet[0]], plain[sheet[0]], features.get(sheet[0]))
    print("\n".join(faults) or "frames found, traced and used as they should be")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
