#!/usr/bin/python3
"""Sheets with a white collar around their printed frame, read back with GDAL and OGR: with
--frame the border lines are the frame's corners (GDAL's NEATLINE), the KMZ shows the map alone
and follows the bowing parallels, and the overview holds one counter-clockwise feature per sheet;
sheets whose points are not a confirmed frame keep their image.

    frame_test.py KAL2MAP-CLI WORK-FOLDER
"""
import math, os, shutil, subprocess, sys, zipfile
import xml.etree.ElementTree as ET

import numpy
from osgeo import gdal, ogr, osr

gdal.UseExceptions()
ogr.UseExceptions()
KML = "{http://www.opengis.net/kml/2.2}"
LCC = "+proj=lcc +lat_1=45 +lat_2=53 +lat_0=49 +lon_0=3 +datum=WGS84"
# name, plane, west, south, lon and lat span, metres per pixel, neatline drawn, points as
# fractions of the frame (0,0 = its north-west corner), frame expected
CORNERS = [(0, 0), (1, 0), (1, 1), (0, 1), (0.5, 0.5)]
SHEETS = [
    ("tm-25k", "EPSG:32632", 9.0, 48.0, 1 / 6, 0.1, 6.35, True, CORNERS, True),
    ("tm-250k", "EPSG:32633", 14.0, 47.0, 1.5, 1.0, 57.0, True, CORNERS, True),
    ("lcc-250k", LCC, 2.0, 48.5, 2.0, 1.0, 75.0, True, CORNERS, True),
    ("fiji-50k", "EPSG:32760", 179.8, -17.0, 0.4, 0.4, 21.0, True, CORNERS, True),
    ("grid-no-line", "EPSG:32632", 9.0, 48.0, 1 / 6, 0.1, 6.35, False, CORNERS, False),
    ("inner-grid", "EPSG:32632", 9.0, 48.0, 1 / 6, 0.1, 6.35, True,
     [(0.25, 0.25), (0.75, 0.25), (0.75, 0.75), (0.25, 0.75)], False),
    ("three-corners", "EPSG:32632", 9.0, 48.0, 1 / 6, 0.1, 6.35, True, CORNERS[1:], False),
]


def make_sheet(folder, name, plane, west, south, dlon, dlat, metres, line, fractions, _):
    """Draws the sheet: grey map inside its graticule frame, a 3 px black neatline, a blue
    collar; returns its image size and the frame's edge in scan pixels, densely."""
    to_plane = osr.CoordinateTransformation(WGS84, crs(plane))
    edge = [(west + t * dlon, south + dlat) for t in numpy.linspace(0, 1, 200)]
    edge += [(west + dlon, south + dlat - t * dlat) for t in numpy.linspace(0, 1, 200)]
    edge += [(west + dlon - t * dlon, south) for t in numpy.linspace(0, 1, 200)]
    edge += [(west, south + t * dlat) for t in numpy.linspace(0, 1, 200)]
    plane_xy = [to_plane.TransformPoint(lat, lon if lon <= 180 else lon - 360)[:2] for lon, lat in edge]
    xs, ys = [e / metres for e, n in plane_xy], [-n / metres for e, n in plane_xy]
    margin = 0.06 * max(max(xs) - min(xs), max(ys) - min(ys))
    x0, y0 = min(xs) - margin, min(ys) - margin
    width, height = round(max(xs) + margin - x0), round(max(ys) + margin - y0)
    scan = [(x - x0, y - y0) for x, y in zip(xs, ys)]
    ring = ogr.CreateGeometryFromWkt("POLYGON((%s))" % ",".join("%f %f" % p for p in scan + scan[:1]))
    mem = gdal.GetDriverByName("MEM").Create("", width, height, 3)
    mem.SetGeoTransform((0, 1, 0, 0, 0, 1))
    mem.SetProjection(WGS84.ExportToWkt())
    source = ogr.GetDriverByName("Memory").CreateDataSource("")
    layer = source.CreateLayer("f", WGS84)
    for band, collar in zip((1, 2, 3), (170, 190, 250)):
        mem.GetRasterBand(band).Fill(collar)
    for geometry, value in ((ring, 200), (ring.Boundary().Buffer(1.5), 0 if line else 200)):
        feature = ogr.Feature(layer.GetLayerDefn())
        feature.SetGeometry(geometry)
        layer.CreateFeature(feature)
        gdal.RasterizeLayer(mem, [1, 2, 3], layer, burn_values=[value] * 3,
                            options=["ALL_TOUCHED=FALSE"], callback=None)
        layer.DeleteFeature(feature.GetFID())
    gdal.GetDriverByName("PNG").CreateCopy(f"{folder}/{name}.png", mem)
    with open(f"{folder}/{name}.kal", "w", newline="") as kal:
        kal.write(f"[Map]\r\nBitmap = {name}.png\r\n")
        for i, (fx, fy) in enumerate(fractions, 1):
            lon, lat = west + fx * dlon, south + (1 - fy) * dlat
            e, n = to_plane.TransformPoint(lat, lon if lon <= 180 else lon - 360)[:2]
            x, y = round(e / metres - x0), round(-n / metres - y0)
            kal.write(f"[Calibration Point{i}]\r\nLatitude = {lat:.6f}\r\nLongitude = "
                      f"{(lon + 180) % 360 - 180:.6f}\r\nPixel = ({x}, {y})\r\n")
    return ring, (lambda lon, lat: tuple(v / metres - o for v, o in zip(
        (lambda e, n: (e, -n))(*to_plane.TransformPoint(lat, lon)[:2]), (x0, y0))))


def crs(text):
    ref = osr.SpatialReference()
    ref.SetFromUserInput(text)
    return ref


WGS84 = crs("EPSG:4326")


def tiles(path):
    with zipfile.ZipFile(path) as kmz:
        for overlay in ET.fromstring(kmz.read("doc.kml")).iter(KML + "GroundOverlay"):
            box = {k: float(overlay.find(f"{KML}LatLonBox/{KML}{k}").text) for k in ("north", "south", "east", "west")}
            gdal.FileFromMemBuffer("/vsimem/t.jpg", kmz.read(overlay.find(KML + "Icon/" + KML + "href").text))
            yield box, gdal.Open("/vsimem/t.jpg").ReadAsArray()


def check(folder, sheet, ring, to_scan, plain_tiles, features):
    name, *_, framed = sheet
    faults = []
    lines = open(f"{folder}/{name}.map", encoding="latin-1").read().splitlines()
    mmpxy = [tuple(map(int, l.split(",")[2:4])) for l in lines if l.startswith("MMPXY")]
    corners = [ring.GetGeometryRef(0).GetPoint_2D(i) for i in (0, 200, 400, 600)]
    want = corners if framed else None
    if framed and any(abs(a - b) > 0.5 for p, q in zip(mmpxy, want) for a, b in zip(p, q)):
        faults.append(f"MMPXY {mmpxy}, frame corners {want}")
    if not framed and mmpxy[0] != (0, 0):
        faults.append(f"MMPXY {mmpxy}, but no frame")
    ds = gdal.Open(f"{folder}/{name}.map")
    neat = ds.GetMetadataItem("NEATLINE")
    to_lonlat = gdal.Transformer(ds, None, ["MAX_GCP_ORDER=1", "DST_SRS=EPSG:4326"])
    mmpll = [tuple(map(float, l.split(",")[2:4])) for l in lines if l.startswith("MMPLL")]
    for (x, y), (lon, lat) in zip(mmpxy, mmpll):
        glon, glat = to_lonlat.TransformPoint(0, x, y)[1][:2]
        if abs((glon - lon + 180) % 360 - 180) > 1e-6 or abs(glat - lat) > 1e-6:
            faults.append(f"MMPLL {lon} {lat}, GDAL {glon} {glat} at {x} {y}")
    if framed and not neat:
        faults.append("GDAL reports no NEATLINE")
    kmz = list(tiles(f"{folder}/{name}.kmz"))
    if framed and not len(kmz) < plain_tiles:
        faults.append(f"{len(kmz)} tiles with --frame, {plain_tiles} without")
    boundary, collar_dark, map_white = ring.Boundary(), 0, 0
    for box, pixels in kmz:
        inside = 0
        for j in range(4, pixels.shape[1], 24):
            for i in range(4, pixels.shape[2], 24):
                lon = box["west"] + (i + 0.5) / pixels.shape[2] * (box["east"] - box["west"])
                lat = box["north"] - (j + 0.5) / pixels.shape[1] * (box["north"] - box["south"])
                p = ogr.Geometry(ogr.wkbPoint)
                p.AddPoint_2D(*to_scan(lon, lat))
                if boundary.Distance(p) < 4:
                    continue
                white = pixels[:, j, i].min() > 240
                if ring.Contains(p):
                    inside += 1
                    map_white += white
                elif framed:
                    collar_dark += not white
        if framed and inside == 0:
            faults.append(f"a tile {box} lies wholly in the collar")
    if collar_dark or map_white:
        faults.append(f"{collar_dark} collar pixels not white, {map_white} map pixels white")
    feature = features.get(name)
    if feature is None or feature.GetField("frame") != framed:
        faults.append("no feature, or its frame is wrong")
    elif framed:
        shape = feature.GetGeometryRef()
        for k in range(0, 800, 25):
            lon, lat = ring_lonlat(sheet, k)
            p = ogr.Geometry(ogr.wkbPoint)
            p.AddPoint_2D(lon if lon <= 180 or shape.GetGeometryCount() < 2 else lon - 360, lat)
            if shape.Boundary().Distance(p) > 0.5 * sheet[6] / 111000:
                faults.append(f"overview misses the frame at {lon} {lat}")
    print(f"{name:14} {len(kmz):3} tiles  mmpxy {mmpxy}")
    return [f"{name}: {f}" for f in faults]


def ring_lonlat(sheet, k):
    _, _, west, south, dlon, dlat, *_ = sheet
    t = (k % 200) / 199
    return [(west + t * dlon, south + dlat), (west + dlon, south + dlat - t * dlat),
            (west + dlon - t * dlon, south), (west, south + t * dlat)][k // 200]


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
    layer = overview.GetLayer(0)
    features = {f.GetField("kal"): f for f in layer}
    faults = [] if len(features) == len(SHEETS) else [f"{len(features)} features"]
    features = {k[:-4]: f for k, f in features.items()}
    for f in features.values():
        shape = f.GetGeometryRef()
        parts = [shape] if shape.GetGeometryType() == ogr.wkbPolygon else list(shape)
        for part in parts:
            ring = part.GetGeometryRef(0).GetPoints()
            area = sum((a[0] - b[0]) * (a[1] + b[1]) for a, b in zip(ring[1:], ring[:-1]))
            if ring[0] != ring[-1] or area >= 0 or not part.IsValid():
                faults.append(f"{f.GetField('kal')}: ring not closed, counter-clockwise, valid")
    if features["fiji-50k"].GetGeometryRef().GetGeometryCount() != 2:
        faults.append("fiji-50k: not split at 180")
    for sheet in SHEETS:
        faults += check(work, sheet, *made[sheet[0]], plain[sheet[0]], features)
    print("\n".join(faults) or "frames found, traced and used as they should be")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
