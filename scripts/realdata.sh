#!/usr/bin/env bash
# Prepares real map data as GeoJSON in build/data/ and draws two maps from it
# with the tarnutil tool:
#   - Natural Earth (public domain) land, coastlines, borders and countries of
#     East Asia at 1:50m and 1:10m, from the npm package world-atlas
#     (TopoJSON, read by scripts/topojson_layers.py so that borders stay the
#     arcs two countries share);
#   - the road network of Debian's mapnik-doc examples (roads.shp, GeoGratis
#     licence), converted with GDAL's ogr2ogr, with its road classes.
# Usage: scripts/realdata.sh
# Missing Debian packages are installed first (as root); without root the
# script prints the apt-get line to run and stops. world-atlas comes from the
# npm registry (npm pack), nothing else from the network.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${TARNUTIL_BUILD_ROOT:-$root/build}/data
build=${TARNUTIL_BUILD_ROOT:-$root/build}/demo
jobs=${TARNUTIL_JOBS:-2}
atlas_version=2.0.2

packages=(cmake make g++ nlohmann-json3-dev python3 gdal-bin mapnik-doc)
# npm from Debian unless some npm is already on the path.
command -v npm >/dev/null || packages+=(npm)
. "$root/scripts/packages.sh"
ensure_packages "${packages[@]}"
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3

mkdir -p "$out/src"
echo "== world-atlas $atlas_version from the npm registry"
if [ ! -f "$out/src/package/land-10m.json" ]; then
  (cd "$out/src" && npm pack --silent "world-atlas@$atlas_version" >/dev/null &&
   tar xzf "world-atlas-$atlas_version.tgz")
fi
atlas=$out/src/package

# East Asia: 70E to 150E, the equator to 60N.
box=(70 0 150 60)
for scale in 50m 10m; do
  echo "== Natural Earth 1:$scale"
  # Countries wholly inside the box, whole.
  $python "$root/scripts/topojson_layers.py" "$atlas/countries-$scale.json" countries polygons \
    "$out/ea-countries-$scale.geojson" --bbox "${box[@]}" --inside
  # Borders: arcs two countries share; coastlines: the arcs of the land;
  # land: each polygon of it. Every one that reaches into the box is kept
  # whole: the map clips them itself, Eurasia included.
  $python "$root/scripts/topojson_layers.py" "$atlas/countries-$scale.json" countries shared \
    "$out/ea-borders-$scale.geojson" --bbox "${box[@]}"
  $python "$root/scripts/topojson_layers.py" "$atlas/land-$scale.json" land arcs \
    "$out/ea-coast-$scale.geojson" --bbox "${box[@]}"
  $python "$root/scripts/topojson_layers.py" "$atlas/land-$scale.json" land parts \
    "$out/ea-land-$scale.geojson" --bbox "${box[@]}"
  # Whole sets, for the benchmarks.
  $python "$root/scripts/topojson_layers.py" "$atlas/land-$scale.json" land arcs \
    "$out/coast-$scale.geojson"
  $python "$root/scripts/topojson_layers.py" "$atlas/countries-$scale.json" countries polygons \
    "$out/countries-$scale.geojson"
done


echo "== Roads of mapnik-doc's examples"
shapes=/usr/share/doc/mapnik-doc/examples/data
# Projected metres; the projection as the examples name it (one parameter's
# misspelling, lat+1, corrected). GDAL cannot name it by an authority code,
# so the "crs" member is written here.
roads_proj="+proj=lcc +ellps=GRS80 +lat_0=49 +lon_0=-95 +lat_1=49 +lat_2=77 +datum=NAD83 +units=m +no_defs"
rm -f "$out/tmp-roads.geojson"
ogr2ogr -f GeoJSON -select CLASS,NAME "$out/tmp-roads.geojson" "$shapes/roads.shp"
$python - "$out/tmp-roads.geojson" "$out/roads.geojson" "$roads_proj" <<'PY'
import json, sys
doc = json.load(open(sys.argv[1]))
doc.pop("name", None)
doc["crs"] = {"type": "name", "properties": {"name": sys.argv[3]}}
with open(sys.argv[2], "w") as f:
    f.write('{"type":"FeatureCollection","crs":' + json.dumps(doc["crs"]) + ',"features":[\n')
    f.write(",\n".join(json.dumps(x, separators=(",", ":")) for x in doc["features"]))
    f.write("\n]}\n")
print(f"{sys.argv[2]}: {len(doc['features'])} features")
PY
rm -f "$out/tmp-roads.geojson"

echo "== Building the tool in $build"
mkdir -p "$build"
if ! cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARNUTIL_BUILD_TOOLS=ON \
    -DTARNUTIL_BUILD_TESTS=OFF >"$build.configure.log" 2>&1; then
  cat "$build.configure.log"
  exit 1
fi
if ! cmake --build "$build" -j"$jobs" --target tarnutil_cli >"$build.build.log" 2>&1; then
  tail -n 60 "$build.build.log"
  exit 1
fi
tool=$build/bin/tarnutil

echo "== East Asia at 1:10m"
# The Lambert plane from about 75E to 145E, 0 to 55N.
"$tool" map --out "$out/east-asia-10m.bmp" --size 1000 800 --background A9D3E4 \
  --view -3300000 -1700000 4000000 4140000 \
  --area "$out/ea-land-10m.geojson" --colour F2EFE9 \
  --line "$out/ea-borders-10m.geojson" --colour A0A0A0 \
  --line "$out/ea-coast-10m.geojson" --colour 4F7FA0
echo "== Roads by class"
"$tool" map --out "$out/roads.bmp" --size 1000 800 --background F7F5F0 \
  --roads "$out/roads.geojson" --class CLASS --colour C0392B
echo
echo "Data and pictures are in $out"

# The committed extract (data/extract/, see data/README.md) is made from the
# same files; "scripts/realdata.sh --extract" writes it again.
if [ "${1:-}" = "--extract" ]; then
  echo "== Extract into data/extract"
  mkdir -p "$root/data/extract"
  $python - "$out" "$root/data/extract" <<'PY'
import json, sys
src, dst = sys.argv[1], sys.argv[2]

def load(name):
    return json.load(open(f"{src}/{name}"))

def points(g):
    c = g["coordinates"]
    if g["type"] == "LineString":
        return c
    if g["type"] == "Polygon":
        return [p for r in c for p in r]
    if g["type"] == "MultiLineString":
        return [p for l in c for p in l]
    return [p for poly in c for r in poly for p in r]

def within(f, w, s, e, n):
    return all(w <= p[0] <= e and s <= p[1] <= n for p in points(f["geometry"]))

def save(name, features, crs=None):
    with open(f"{dst}/{name}", "w") as f:
        f.write('{"type":"FeatureCollection",')
        if crs:
            f.write('"crs":' + json.dumps(crs) + ',')
        f.write('"features":[\n')
        f.write(",\n".join(json.dumps(x, separators=(",", ":")) for x in features))
        f.write("\n]}\n")
    print(f"{dst}/{name}: {len(features)} features, {sum(len(points(x['geometry'])) for x in features)} points")

# Korea, Japan and Taiwan at 1:50m: coastline arcs and the countries.
coast = [f for f in load("ea-coast-50m.geojson")["features"] if within(f, 119, 20, 150, 46)]
save("ea-coast-50m.geojson", coast)
names = {"Japan", "South Korea", "North Korea", "Taiwan"}
save("ea-countries-50m.geojson",
     [f for f in load("ea-countries-50m.geojson")["features"] if f["properties"].get("name") in names])
roads = load("roads.geojson")
window = (1655000, -140000, 1700000, -100000)
save("roads-ottawa.geojson", [f for f in roads["features"] if within(f, *window)], roads["crs"])
PY
fi
