#!/usr/bin/env python3
"""Natural Earth TopoJSON (npm world-atlas) to GeoJSON layers.

TopoJSON stores each boundary once, as an arc shared by the polygons on its
two sides; this reader keeps that sharing, so that borders are the arcs two
countries share and coastlines are the arcs of the land object.

usage: topojson_layers.py TOPOJSON OBJECT KIND OUT [--bbox W S E N] [--inside]
  KIND polygons  the object's geometries as (Multi)Polygon features
       parts     each polygon of the object's geometries a feature of its own
       arcs      every arc the object uses, one LineString feature each
       shared    the arcs used by two different geometries (borders)
  --bbox         keep features touching the box (all points inside with --inside)
"""
import json
import sys


def decode_arcs(topology):
    transform = topology.get("transform")
    arcs = []
    for arc in topology["arcs"]:
        x = y = 0
        points = []
        for p in arc:
            if transform:
                x += p[0]
                y += p[1]
                sx, sy = transform["scale"]
                tx, ty = transform["translate"]
                points.append([x * sx + tx, y * sy + ty])
            else:
                points.append([p[0], p[1]])
        arcs.append(points)
    return arcs


def arc_points(arcs, index):
    return arcs[index] if index >= 0 else list(reversed(arcs[~index]))


def ring(arcs, indexes):
    points = []
    for i in indexes:
        a = arc_points(arcs, i)
        points.extend(a if not points else a[1:])
    return points


def polygons_of(geometry):
    if geometry["type"] == "Polygon":
        return [geometry["arcs"]]
    if geometry["type"] == "MultiPolygon":
        return geometry["arcs"]
    return []


def arc_indexes(geometry):
    for polygon in polygons_of(geometry):
        for r in polygon:
            for i in r:
                yield i if i >= 0 else ~i


def inside(points, box, whole):
    w, s, e, n = box
    tests = [w <= p[0] <= e and s <= p[1] <= n for p in points]
    return all(tests) if whole else any(tests)


def add_polygons(features, g, polys, box, whole):
    if not polys:
        return
    if box and not inside([q for p in polys for q in p[0]], box, whole):
        return
    props = dict(g.get("properties") or {})
    if "id" in g:
        props["id"] = g["id"]
    geometry = ({"type": "Polygon", "coordinates": polys[0]} if len(polys) == 1
                else {"type": "MultiPolygon", "coordinates": polys})
    features.append({"type": "Feature", "properties": props, "geometry": geometry})


def main(argv):
    path, name, kind, out = argv[1:5]
    box = None
    whole = "--inside" in argv
    if "--bbox" in argv:
        k = argv.index("--bbox")
        box = [float(v) for v in argv[k + 1:k + 5]]
    with open(path) as f:
        topology = json.load(f)
    arcs = decode_arcs(topology)
    geometries = topology["objects"][name]["geometries"]
    features = []
    if kind in ("polygons", "parts"):
        for g in geometries:
            polys = [[ring(arcs, r) for r in p] for p in polygons_of(g)]
            polys = [p for p in polys if len(p[0]) >= 4]
            groups = [[p] for p in polys] if kind == "parts" else [polys]
            for polys in groups:
                add_polygons(features, g, polys, box, whole)
    else:
        users = {}
        for n, g in enumerate(geometries):
            for i in arc_indexes(g):
                users.setdefault(i, set()).add(n)
        for i in sorted(users):
            if kind == "shared" and len(users[i]) < 2:
                continue
            points = arcs[i]
            if len(points) < 2 or (box and not inside(points, box, whole)):
                continue
            features.append({"type": "Feature", "properties": {"arc": i},
                             "geometry": {"type": "LineString", "coordinates": points}})
    with open(out, "w") as f:
        f.write('{"type":"FeatureCollection","features":[\n')
        f.write(",\n".join(json.dumps(x, separators=(",", ":")) for x in features))
        f.write("\n]}\n")
    print(f"{out}: {len(features)} features, "
          f"{sum(len(r) for x in features for r in rings_of(x['geometry']))} points")


def rings_of(g):
    if g["type"] == "LineString":
        return [g["coordinates"]]
    if g["type"] == "Polygon":
        return g["coordinates"]
    return [r for p in g["coordinates"] for r in p]


if __name__ == "__main__":
    main(sys.argv)
