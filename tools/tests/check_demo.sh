#!/usr/bin/env bash
# Runs the installed tool's demo at an odd picture size (rows then need
# padding) and at the default size, and checks the bitmaps with the tool's
# own reader and with Pillow, an independent one.
set -uo pipefail
T=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail=0
check() { if ! eval "$1"; then echo "failed: $1"; fail=1; fi; }

# Pillow as Debian installs it; a python3 earlier on PATH may lack it.
python=
for candidate in /usr/bin/python3 python3; do
  if "$candidate" -c 'import PIL' 2>/dev/null; then python=$candidate; break; fi
done
if [ -z "$python" ]; then
  echo "no python3 with Pillow (Debian package python3-pil)"
  exit 1
fi

check '"$T" demo --out odd.bmp --size 203 151 > report.txt'
cat report.txt
# The network is built with integer arithmetic and chained by node keys, so
# these counts are the same on every target.
check 'grep -Eq "^links in: +3821 \(highway 64, main 661, minor 3096\)$" report.txt'
check 'grep -Eq "^lines out: +381 \(highway 2, main 20, minor 359\)$" report.txt'
check 'grep -Eq "read back through CDIB: identical$" report.txt'
check '"$T" bmp info odd.bmp | head -n 3 | tr "\n" " " | grep -qx "width: 203 height: 151 depth: 24 "'

read -r tipX tipY < <(sed -n 's/^marker: *pixel \([0-9]*\) \([0-9]*\)$/\1 \2/p' report.txt)
[ -n "${tipX:-}" ] || { echo "no marker position in the report"; exit 1; }
# Pixels that Pillow and the tool must agree on: corners, the middle, and
# the marker's white eye and red head, 21 and 15 rows above its tip.
points="0 0,202 0,0 150,202 150,101 75,$tipX $((tipY - 21)),$tipX $((tipY - 15))"
tool_rgb=
IFS=, read -ra list <<<"$points"
for p in "${list[@]}"; do
  tool_rgb+="$("$T" bmp pixel --raw odd.bmp $p | sed 's/.* rgb //') "
done
check '"$python" - odd.bmp "$points" "$tool_rgb" <<"PY"
import sys
from PIL import Image
image = Image.open(sys.argv[1])
ok = image.size == (203, 151) and image.mode == "RGB"
points = [tuple(int(v) for v in p.split()) for p in sys.argv[2].split(",")]
tool = [int(v, 16) for v in sys.argv[3].split()]
for (x, y), value in zip(points, tool):
    r, g, b = image.getpixel((x, y))
    if (r << 16) | (g << 8) | b != value:
        print("pixel", x, y, "Pillow", (r, g, b), "tool", hex(value))
        ok = False
eye = image.getpixel(points[5])
head = image.getpixel(points[6])
if eye != (255, 255, 255) or head != (0xD7, 0x26, 0x3D):
    print("marker eye", eye, "head", head)
    ok = False
sys.exit(0 if ok else 1)
PY'

check '"$T" demo > default.txt'
check '"$T" bmp info tarnutil-demo.bmp | head -n 2 | tr "\n" " " | grep -qx "width: 800 height: 600 "'
check '"$python" -c "from PIL import Image; import sys; sys.exit(Image.open(\"tarnutil-demo.bmp\").size != (800, 600))"'
exit $fail
