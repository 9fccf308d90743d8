#!/usr/bin/python3
"""GDAL reads complete maps in the plane they declare: for scanned sheets drawn in transverse
Mercator, Lambert conic or Mercator, its affine fit of the map's points must put every inner pixel
within a pixel of where the sheet's own plane puts it, and the border lines must be its corners.

    sheet_planes_test.py KAL2MAP-CLI WORK-FOLDER
"""
import math
import os
import shutil
import subprocess
import sys

import numpy
from osgeo import gdal, osr

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "kmz"))
import kmz_test  # noqa: E402  (its read-back of a KMZ's tiles and marks)

gdal.UseExceptions()
osr.UseExceptions()


def crs(text):
    ref = osr.SpatialReference()
    ref.SetFromUserInput(text)
    ref.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
    return ref


WGS84 = crs("EPSG:4326")
BESSEL_GK3 = "+proj=tmerc +lon_0={} +k=1 +x_0={}500000 +ellps=bessel +towgs84=598.1,73.7,418.2,0.202,0.045,-2.455,6.7"


def mpp(scale, dpi):
    return scale * 0.0254 / dpi


# name, plane the sheet was drawn in, west, south, longitude and latitude span, metres (or degrees)
# per pixel, turn of the scan in degrees, error allowed in pixels. Regional maps are far from
# affine in any single plane kal2map can choose from the points alone, hence their wider bound.
SHEETS = [
    ("gk-25k", "EPSG:31468", 12.0 + 1 / 6, 48.0, 1 / 6, 0.1, mpp(25000, 300), 0.8, 1),
    ("gk-50k", BESSEL_GK3.format(9, 3), 9.5, 50.75, 0.5, 0.25, mpp(50000, 200), -1.1, 1),
    ("utm-100k-ne", "EPSG:32633", 14.0, 47.0, 1.0, 0.5, mpp(100000, 150), 1.0, 1),
    ("utm-250k-nw", "EPSG:32618", -77.0, 44.0, 3.0, 2.0, mpp(250000, 100), -0.9, 1),
    ("utm-100k-sw", "EPSG:32719", -70.5, -33.5, 0.5, 0.5, mpp(100000, 300), 1.2, 1),
    ("utm-250k-se", "EPSG:32755", 146.0, -38.0, 1.5, 1.0, mpp(250000, 100), 0.7, 1),
    ("fiji-50k-antimeridian", "EPSG:32760", 179.8, -17.0, 0.4, 0.4, mpp(50000, 200), -1.0, 1),
    ("lcc-250k", "+proj=lcc +lat_1=45 +lat_2=53 +lat_0=49 +lon_0=3 +datum=WGS84", 2.0, 48.5,
     2.0, 1.0, mpp(250000, 150), 1.0, 1),
    ("lcc-region-1m", "EPSG:2154", -1.0, 43.0, 8.0, 6.0, mpp(1000000, 100), -0.8, 3),
    ("webmerc-screen", "EPSG:3857", 7.0, 49.0, 1.0, 2.0, 38.2185, 0.0, 1),
    ("merc-chart-150k-s", "EPSG:3395", -65.0, -42.0, 1.0, 0.75, mpp(150000, 200), 1.1, 1),
    ("degrees-grid", "EPSG:4326", 13.0, 52.0, 0.5, 0.25, 1 / 2400, 0.0, 1),
]


def wrap(lon):
    return (lon + 180.0) % 360.0 - 180.0


def make_sheet(folder, name, plane, west, south, dlon, dlat, size, turn):
    """Scans the sheet bounded by two meridians and two parallels and calibrates it at its four
    corners and centre, in whole pixels and degrees to 6 decimals, as a user types them."""
    to_plane = osr.CoordinateTransformation(WGS84, crs(plane))
    c, s = math.cos(math.radians(turn)), math.sin(math.radians(turn))

    def scan(lon, lat):
        e, n = to_plane.TransformPoint(wrap(lon), lat)[:2]
        return (c * e + s * n) / size, (s * e - c * n) / size

    steps = [i / 24 for i in range(25)]
    border = [scan(west + t * dlon, south + f * dlat) for t in steps for f in (0, 1)]
    border += [scan(west + f * dlon, south + t * dlat) for t in steps for f in (0, 1)]
    xs, ys = [p[0] for p in border], [p[1] for p in border]
    # The degree grid is scanned without paper margin so that its points stay exactly affine.
    margin = 0 if plane == "EPSG:4326" else 0.03 * max(max(xs) - min(xs), max(ys) - min(ys))
    x0, y0 = min(xs) - margin, min(ys) - margin
    width, height = round(max(xs) + margin - x0), round(max(ys) + margin - y0)
    points = []
    for fx, fy in ((0, 0), (1, 0), (1, 1), (0, 1), (0.5, 0.5)):
        lon, lat = west + fx * dlon, south + (1 - fy) * dlat
        x, y = scan(lon, lat)
        points.append((round(x - x0), round(y - y0), round(wrap(lon), 6), round(lat, 6)))
    subprocess.run(["gdal_create", "-q", "-outsize", str(width), str(height), "-bands", "1",
                    "-co", "SPARSE_OK=TRUE", "-of", "GTiff", f"{folder}/{name}.tif"], check=True)
    with open(f"{folder}/{name}.kal", "w", newline="") as kal:
        kal.write(f"[Map]\r\nBitmap = {name}.tif\r\n")
        for i, (x, y, lon, lat) in enumerate(points, 1):
            kal.write(f"[Calibration Point{i}]\r\nLatitude = {lat:.6f}\r\n"
                      f"Longitude = {lon:.6f}\r\nPixel = ({x}, {y})\r\n")
    return width, height, points


def affine_fit(pixels, planes):
    """Least-squares plane = a + b x + c y per coordinate, from the normal equations."""
    rows = [(1.0, x, y) for x, y in pixels]
    ata = [[sum(r[i] * r[j] for r in rows) for j in range(3)] for i in range(3)]
    coefficients = []
    for k in range(2):
        atb = [sum(r[i] * p[k] for r, p in zip(rows, planes)) for i in range(3)]
        coefficients.append(solve3(ata, atb))
    return coefficients


def solve3(m, v):
    det = lambda a: (a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1])
                     - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0])
                     + a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]))
    d = det(m)
    return [det([[v[r] if col == i else m[r][col] for col in range(3)] for r in range(3)]) / d
            for i in range(3)]


def check(folder, sheet, width, height, points):
    name, plane, *_, bound = sheet
    faults = []
    to_plane = osr.CoordinateTransformation(WGS84, crs(plane))
    planes = [to_plane.TransformPoint(lon, lat)[:2] for _, _, lon, lat in points]
    (a, b, c), (d, e, f) = affine_fit([p[:2] for p in points], planes)
    pixel_size = math.sqrt(abs(b * f - c * e))
    with open(f"{folder}/{name}.map", encoding="latin-1") as map_file:
        lines = map_file.read().splitlines()
    declared = lines[8].split(",")[1]
    if plane == "EPSG:4326" and declared != "Latitude/Longitude":
        faults.append(f"points affine in degrees, but the map declares {declared}")
    ds = gdal.Open(f"{folder}/{name}.map")
    to_lonlat = gdal.Transformer(ds, None, ["MAX_GCP_ORDER=1", "DST_SRS=EPSG:4326"])
    worst = 0.0
    for x in (width * i / 6 for i in range(1, 6)):
        for y in (height * j / 6 for j in range(1, 6)):
            lon, lat = to_lonlat.TransformPoint(0, x, y)[1][:2]
            pe, pn = to_plane.TransformPoint(wrap(lon), lat)[:2]
            worst = max(worst, math.hypot(pe - (a + b * x + c * y), pn - (d + e * x + f * y))
                        / pixel_size)
    if worst > bound:
        faults.append(f"GDAL places inner pixels up to {worst:.2f} px off (allowed {bound})")
    mmpll = [tuple(map(float, l.split(",")[2:4])) for l in lines if l.startswith("MMPLL")]
    corners = [(0, 0), (width, 0), (width, height), (0, height)]
    corner_error = 0.0
    for (x, y), (lon, lat) in zip(corners, mmpll):
        glon, glat = to_lonlat.TransformPoint(0, x, y)[1][:2]
        corner_error = max(corner_error, abs(wrap(glon - lon)), abs(glat - lat))
    if len(mmpll) != 4 or corner_error > 1e-6:
        faults.append(f"MMPLL lines {mmpll} differ from GDAL's corners by {corner_error:.2g} deg")
    print(f"{name:24} {declared:32} worst {worst:5.2f} px   corners {corner_error:.1e} deg")
    return [f"{name}: {fault}" for fault in faults]


def grid(lons, lats):
    return [(lon, lat) for lat in lats for lon in lons]


# Sheets as people calibrate them: name, plane, points (lon, lat), metres (or degrees) per pixel,
# turn, margin in pixels, the points as typed (from index, lon, lat), what the run must say.
CLICKED = [(2, -3), (-3, 1), (1, 2), (-2, -2), (3, 0), (0, 3), (-1, -3), (21, -6), (2, 2)]
LCC_EQUATOR = "+proj=lcc +lat_1=30 +lat_2=60 +lat_0=0 +lon_0=90 +datum=WGS84"
AS_PEOPLE_HAVE_THEM = [
    ("merc-world", "EPSG:3395", grid([-180, 180], [80, -80]), 20000, 0, 0, None, None),
    ("degree-world", "EPSG:4326", grid([-180, 0, 180], [75, 15, -45]), 0.2, 0, 0, None, None),
    ("two-point-world", "EPSG:4326", [(-170, 85), (170, -85)], 0.17, 0, 54, None, None),
    ("gk-clicked", BESSEL_GK3.format(9, 3), grid([9.5, 9.75, 10], [51, 50.875, 50.75]),
     mpp(50000, 100), 0.6, 60, lambda i, lon, lat: (lon, lat, CLICKED[i]), None),
    ("lcc-equator", LCC_EQUATOR, grid([45, 52.5, 60], [10, 1, -8]), 2500, 0, 40, None, None),
    ("lcc-equator-typo", LCC_EQUATOR, grid([45, 52.5, 60], [10, 1, -8]), 2500, 0, 40,
     lambda i, lon, lat: (lon, lat + (i == 0), (0, 0)), "Punkt 1 liegt"),
    ("one-parallel", "EPSG:25833", grid([13, 14, 15], [53, 52]), 200, 0, 30,
     lambda i, lon, lat: (lon, 52.5, (0, 0)), "Die Punkte ergeben keine Lage des Bildes"),
]


def check_as_people_have_them(cli, folder):
    faults, made = [], {}
    for name, plane, points, size, turn, margin, typed, says in AS_PEOPLE_HAVE_THEM:
        to_plane = osr.CoordinateTransformation(WGS84, crs(plane))
        to_wgs = osr.CoordinateTransformation(crs(plane), WGS84)
        c, s = math.cos(math.radians(turn)), math.sin(math.radians(turn))
        e0, n0 = to_plane.TransformPoint(*points[0])[:2]
        def scan(lon, lat):
            e, n = to_plane.TransformPoint(lon, lat)[:2]
            return (c * (e - e0) + s * (n - n0)) / size, (s * (e - e0) - c * (n - n0)) / size
        xy = [scan(*p) for p in points]
        x0, y0 = min(x for x, _ in xy) - margin, min(y for _, y in xy) - margin
        w, h = round(max(x for x, _ in xy) + margin - x0), round(max(y for _, y in xy) + margin - y0)
        pixels = numpy.full((h, w, 3), 235, numpy.uint8)
        marks = [(round(fx * w), round(fy * h)) for fx, fy in ((0.3, 0.3), (0.7, 0.4), (0.4, 0.7))]
        for x, y in marks:
            pixels[y - 2:y + 3, x - 2:x + 3] = 0
        mem = gdal.GetDriverByName("MEM").Create("", w, h, 3, gdal.GDT_Byte)
        for band in range(3):
            mem.GetRasterBand(band + 1).WriteArray(pixels[:, :, band])
        gdal.GetDriverByName("PNG").CreateCopy(f"{folder}/{name}.png", mem)
        typed_points = []
        with open(f"{folder}/{name}.kal", "w", newline="") as kal:
            kal.write(f"[Map]\r\nBitmap = {name}.png\r\n")
            for i, ((lon, lat), (x, y)) in enumerate(zip(points, xy)):
                lon, lat, (dx, dy) = typed(i, lon, lat) if typed else (lon, lat, (0, 0))
                x, y = round(x - x0 + dx), round(y - y0 + dy)
                typed_points.append((x, y, lon, lat))
                kal.write(f"[Calibration Point{i + 1}]\r\nLatitude = {lat:.6f}\r\nLongitude = "
                          f"{lon:.6f}\r\nPixel = ({x}, {y})\r\n")
        # The truth readers can know: the points' least-squares fit in the sheet's own plane.
        placed = len(points) >= 3 and not says
        fit = placed and affine_fit([p[:2] for p in typed_points],
                                    [to_plane.TransformPoint(p[2], p[3])[:2] for p in typed_points])
        def lonlat(x, y, to_wgs=to_wgs, fit=fit):
            (a, b, c), (d, e, f) = fit
            return to_wgs.TransformPoint(a + b * x + c * y, d + e * x + f * y)[:2]
        made[name] = (w, h, lonlat, marks, says, placed)
    run = subprocess.run([cli, "--complete", "--kmz", folder], capture_output=True, text=True)
    for name, (w, h, lonlat, marks, says, placed) in made.items():
        said = [line for line in run.stderr.splitlines() if f"/{name}.kal" in line]
        if (says is None and said) or (says and not any(says in line for line in said)):
            faults.append(f"{name}: says {said}, not {says}")
        with open(f"{folder}/{name}.map", encoding="latin-1") as map_file:
            mmpll = [tuple(map(float, l.split(",")[2:4])) for l in map_file if l.startswith("MMPLL")]
        if "keine Lage" in (says or ""):
            if mmpll or os.path.exists(f"{folder}/{name}.kmz"):
                faults.append(f"{name}: a border or KMZ from points that place nothing")
            continue
        to_lonlat = gdal.Transformer(gdal.Open(f"{folder}/{name}.map"), None,
                                     ["MAX_GCP_ORDER=1", "DST_SRS=EPSG:4326"])
        def gdal_at(x, y):
            lon, lat = to_lonlat.TransformPoint(0, x, y)[1][:2]
            return lon, max(-90, min(90, lat))
        corners = [gdal_at(x, y) for x, y in ((0, 0), (w, 0), (w, h), (0, h))]
        if len(mmpll) != 4 or max(max(abs(wrap(a - c)), abs(b - d))
                                  for (a, b), (c, d) in zip(mmpll, corners)) > 1e-6:
            faults.append(f"{name}: MMPLL {mmpll}, GDAL {corners}")
        if not os.path.exists(f"{folder}/{name}.kmz"):
            faults.append(f"{name}: no KMZ")
            continue
        inner = [(w * i / 6, h * j / 6) for i in range(1, 6) for j in range(1, 6)]
        worst = max(pixels_apart(lonlat, x, y, *gdal_at(x, y)) for x, y in inner) if placed else 0
        if worst > 1:
            faults.append(f"{name}: GDAL places inner pixels up to {worst:.2f} px off")
        kmz_faults = []
        truth = lonlat if placed else gdal_at  # too few points to know more: as readers place it
        for x, y in marks:
            lon, lat = truth(x + 0.5, y + 0.5)
            metres = math.hypot(*[(a - b) * 111320 * f for a, b, f in zip(
                truth(x + 1.5, y + 0.5), (lon, lat), (math.cos(math.radians(lat)), 1))])
            kmz_test.check(f"{folder}/{name}.kmz", [(lon, lat)], metres, 100, kmz_faults)
        faults += kmz_faults
        print(f"{name:24} inner pixels up to {worst:.2f} px off, {len(said)} warnings")
    return faults


def pixels_apart(lonlat, x, y, lon, lat):
    """Distance in pixels between pixel (x, y) and the pixel of the scan that shows (lon, lat)."""
    a, b = lonlat(x, y), lonlat(x + 1, y)
    k = math.cos(math.radians(lat))
    step = math.hypot(wrap(b[0] - a[0]) * k, b[1] - a[1])
    return math.hypot(wrap(lon - a[0]) * k, lat - a[1]) / step


def main():
    cli, folder = sys.argv[1], sys.argv[2]
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    made = [(sheet, make_sheet(folder, *sheet[:-1])) for sheet in SHEETS]
    subprocess.run([cli, "--complete", folder], check=True, stdout=subprocess.DEVNULL)
    faults = [fault for sheet, sheet_made in made for fault in check(folder, sheet, *sheet_made)]
    os.makedirs(f"{folder}/people")
    faults += check_as_people_have_them(cli, f"{folder}/people")
    for fault in faults:
        print(fault, file=sys.stderr)
    if faults:
        return 1
    print(f"GDAL reads all {len(SHEETS)} sheets within their bounds in the planes kal2map declares")
    return 0


if __name__ == "__main__":
    sys.exit(main())
