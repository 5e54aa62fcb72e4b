#!/usr/bin/env python3
"""Bitmap files from independent writers, and what an independent decoder sees.

ImageMagick's convert and Pillow write the files. Variants that neither
writes with a 40-byte header (16- and 32-bit bit fields, 5-5-5 without
masks, run-length 4-bit, top-down rows) are crafted here from a writer's
pixels, and Pillow must decode each crafted file to the pixels of its source.

Pillow decodes every file, and ImageMagick must agree with it to the top
five bits of every channel; manifest.txt records per file:
    bitmap <file> <format code> <width> <height> <bit count> <top-down 0/1> <pixel offset>
followed by <height> lines, top row first, of "r g b i" per pixel (i: the
colour index, -1 without a colour table), where the pixel offset is where
the file's rows start (the file header's offset field), and
    refused <file> <reason code>
for files the library must refuse, with the reason it must give. The format
code is the one the table of pixel formats gives for the header written.

Usage: make_bitmaps.py --out DIR [--convert PATH]
"""

import argparse
import os
import struct
import subprocess
import sys

try:
    from PIL import Image
except ImportError:
    sys.exit("make_bitmaps.py: Pillow is missing (Debian package python3-pil)")


def pattern(width, height, seed):
    """A colourful picture whose neighbouring pixels differ in every channel."""
    image = Image.new("RGB", (width, height))
    for y in range(height):
        for x in range(width):
            image.putpixel((x, y), ((x * 37 + y * 11 + seed * 13) % 256,
                                    (x * 5 + y * 53 + seed * 7) % 256,
                                    (x * 91 + y * 7 + seed * 29) % 256))
    return image


def blocks(width, height, seed):
    """Runs of equal pixels in few colours, for run-length files."""
    image = Image.new("RGB", (width, height))
    colours = [(200, 30, 40), (20, 180, 60), (30, 40, 220), (240, 240, 20), (10, 10, 10)]
    for y in range(height):
        for x in range(width):
            image.putpixel((x, y), colours[((x // (2 + y % 3)) + y + seed) % len(colours)])
    return image


def fields(data):
    """File-header and information-header fields of a bitmap file."""
    offset, header_bytes = struct.unpack_from("<II", data, 10)
    if header_bytes == 12:
        width, height, planes, bits = struct.unpack_from("<HHHH", data, 18)
        compression = 0
    else:
        width, height, planes, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    return dict(offset=offset, header_bytes=header_bytes, width=width, height=height,
                planes=planes, bits=bits, compression=compression)


def file_bytes(info_header, extra, pixels):
    """A bitmap file: the 14-byte file header, the header, masks or table, pixels."""
    offset = 14 + len(info_header) + len(extra)
    size = offset + len(pixels)
    return b"BM" + struct.pack("<IHHI", size, 0, 0, offset) + info_header + extra + pixels


def info_header(width, height, bits, compression, image_bytes, colours):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, image_bytes,
                       2835, 2835, colours, 0)


def row_bytes(width, bits):
    return (width * bits + 31) // 32 * 4


def v4_to_info_bitfields(data, masks=None):
    """A 124-byte-header bit-field file rewritten with the 40-byte header and
    its three masks (or other masks over the same pixels)."""
    f = fields(data)
    assert f["header_bytes"] == 124 and f["compression"] == 3
    own = struct.unpack_from("<III", data, 14 + 40)
    pixels = data[f["offset"]:]
    header = info_header(f["width"], f["height"], f["bits"], 3, len(pixels), 0)
    return file_bytes(header, struct.pack("<III", *(masks or own)), pixels)


def v4_to_plain_555(data):
    """A 5-5-5 bit-field file rewritten as 16 bits without compression."""
    f = fields(data)
    assert struct.unpack_from("<III", data, 14 + 40) == (0x7C00, 0x3E0, 0x1F)
    pixels = data[f["offset"]:]
    return file_bytes(info_header(f["width"], f["height"], 16, 0, len(pixels), 0), b"", pixels)


def bgrx_to_xbgr(data):
    """A 32-bit file without compression rewritten with the masks
    0xFF000000, 0xFF0000, 0xFF00: each pixel's bytes move up by one."""
    f = fields(data)
    assert f["header_bytes"] == 40 and f["bits"] == 32 and f["compression"] == 0
    source = data[f["offset"]:]
    pixels = bytearray(len(source))
    for i in range(0, len(source), 4):
        pixels[i + 1:i + 4] = source[i:i + 3]
    header = info_header(f["width"], f["height"], 32, 3, len(pixels), 0)
    return file_bytes(header, struct.pack("<III", 0xFF000000, 0xFF0000, 0xFF00), bytes(pixels))


def top_down(data):
    """A bottom-up file with a 40-byte header rewritten with top-down rows."""
    f = fields(data)
    assert f["header_bytes"] == 40 and f["height"] > 0 and f["compression"] in (0, 3)
    stride = row_bytes(f["width"], f["bits"])
    start = f["offset"]
    rows = [data[start + i * stride:start + (i + 1) * stride] for i in range(f["height"])]
    out = bytearray(data[:start]) + b"".join(reversed(rows))
    struct.pack_into("<i", out, 22, -f["height"])
    return bytes(out)


def longer_header(data, size, alpha=0):
    """A file with a 40-byte header rewritten with a header of size bytes
    (52, 56, 108 or 124): bit-field masks move inside it, the colour-space
    fields say sRGB, and the pixels keep following the table."""
    f = fields(data)
    assert f["header_bytes"] == 40
    masks = b""
    table_at = 14 + 40
    if f["compression"] == 3:
        masks = data[table_at:table_at + 12]
        table_at += 12
    header = bytearray(data[14:14 + 40]) + masks.ljust(12, b"\0")
    struct.pack_into("<I", header, 0, size)
    header += struct.pack("<I", alpha)
    if size >= 108:
        header += b"BGRs" + bytes(36) + bytes(12)  # sRGB: no endpoints, no gamma
    if size == 124:
        header += struct.pack("<IIII", 4, 0, 0, 0)  # intent, no profile
    header = bytes(header[:size])
    return file_bytes(header, data[table_at:f["offset"]], data[f["offset"]:])


def with_gap(data, gap):
    """The same file with gap bytes of filler between the table and the
    pixels, the offset field saying where the pixels are."""
    f = fields(data)
    start = f["offset"]
    out = bytearray(data[:start]) + bytes([0xA5]) * gap + data[start:]
    struct.pack_into("<II", out, 2, len(out), 0)
    struct.pack_into("<I", out, 10, start + gap)
    return bytes(out)


def with_offset(data, offset):
    out = bytearray(data)
    struct.pack_into("<I", out, 10, offset)
    return bytes(out)


def with_compression(data, compression, payload):
    """A 24-bit file whose pixels are replaced by an embedded image."""
    f = fields(data)
    header = info_header(f["width"], f["height"], f["bits"], compression, len(payload), 0)
    return file_bytes(header, b"", payload)


def sparse_rle8(width, height, picture_source):
    """A run-length 8-bit file of only the end-of-bitmap escape: every pixel
    colour 0, any number of rows in two bytes."""
    f = fields(picture_source)
    table = picture_source[14 + 40:f["offset"]]
    colours = len(table) // 4
    pixels = b"\0\1"
    return file_bytes(info_header(width, height, 8, 1, len(pixels), colours), table, pixels)


def rle4_from_4bit(data):
    """An uncompressed 4-bit file rewritten with run-length 4-bit rows: runs of
    equal pixels in encoded mode, other stretches in absolute mode (even
    lengths only, which every decoder reads alike)."""
    f = fields(data)
    assert f["header_bytes"] == 40 and f["bits"] == 4 and f["compression"] == 0
    width, height = f["width"], f["height"]
    colours = struct.unpack_from("<I", data, 14 + 32)[0] or 16
    table = data[14 + 40:14 + 40 + 4 * colours]
    stride = row_bytes(width, 4)
    out = bytearray()
    for y in range(height):
        row = data[f["offset"] + y * stride:]
        index = [(row[x // 2] >> (4 if x % 2 == 0 else 0)) & 15 for x in range(width)]
        x = 0
        while x < width:
            run = 1
            while x + run < width and index[x + run] == index[x] and run < 255:
                run += 1
            if run >= 3 or width - x < 4:
                out += bytes([run, index[x] << 4 | index[x]])
                x += run
                continue
            # A stretch of at least four pixels, an even count, in absolute mode.
            count = 4
            while x + count + 2 <= width and count < 252 and index[x + count] != index[x + count - 1]:
                count += 2
            out += bytes([0, count])
            packed = bytes(index[x + i] << 4 | index[x + i + 1] for i in range(0, count, 2))
            out += packed + (b"\0" if len(packed) % 2 else b"")
            x += count
        out += b"\0\0"
    out += b"\0\1"
    return file_bytes(info_header(width, height, 4, 2, len(out), colours), table, bytes(out))


# Header sizes Pillow does not read (it reads 12, 40, 64, 108 and 124).
PILLOW_UNREAD = (52, 56)

# Bits per pixel of each format code that a header can give.
FORMAT_BITS = {0: 1, 1: 2, 2: 4, 3: 4, 4: 8, 5: 8, 6: 16, 7: 16, 8: 24, 9: 32, 11: 16, 12: 32}


class Writer:
    def __init__(self, out_dir, convert):
        self.out_dir = out_dir
        self.convert = convert
        self.entries = []
        self.decoded_as = {}

    def path(self, name):
        return os.path.join(self.out_dir, name)

    def magick(self, name, picture, options, coder="BMP3"):
        source = self.path(name + ".source.png")
        picture.save(source)
        subprocess.run([self.convert, source] + options + [coder + ":" + self.path(name)],
                       check=True)
        os.remove(source)
        return self.read(name)

    def pillow(self, name, picture):
        picture.save(self.path(name), format="BMP")
        return self.read(name)

    def craft(self, name, data, source_name):
        self.write(name, data)
        if source_name is None:
            return data
        if fields(data)["header_bytes"] in PILLOW_UNREAD:
            # Pillow decodes the source in its place; ImageMagick still
            # decodes the file itself.
            self.decoded_as[name] = source_name
        else:
            expect_same_pixels(self.path(name), self.path(source_name))
        return data

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def expect(self, name, format_code):
        self.entries.append(("bitmap", name, format_code))

    def refuse(self, name, reason):
        self.entries.append(("refused", name, reason))

    def write(self, name, data):
        with open(self.path(name), "wb") as out:
            out.write(data)

    def write_manifest(self):
        lines = []
        for kind, name, format_code in self.entries:
            if kind == "refused":
                lines.append("refused %s %d" % (name, format_code))
                continue
            data = self.read(name)
            f = fields(data)
            if FORMAT_BITS[format_code] != f["bits"]:
                sys.exit("make_bitmaps.py: %s has %d bits per pixel, not the %d of format %d"
                         % (name, f["bits"], FORMAT_BITS[format_code], format_code))
            image = Image.open(self.path(self.decoded_as.get(name, name)))
            image.load()
            width, height = image.size
            assert (width, abs(f["height"])) == (f["width"], height), name
            indexed = image.mode in ("P", "L", "1")
            colours = image.convert("RGB")
            top = 1 if f["height"] < 0 else 0
            if not self.decoded_as.get(name, "").endswith(".png"):
                expect_magick_agrees(self.convert, self.path(name), colours)
            lines.append("bitmap %s %d %d %d %d %d %d" % (name, format_code, width, height,
                                                          f["bits"], top, pixel_offset(data)))
            for y in range(height):
                cells = []
                for x in range(width):
                    r, g, b = colours.getpixel((x, y))
                    cells.append("%d %d %d %d" % (r, g, b, colour_index(image, x, y)
                                                  if indexed else -1))
                lines.append(" ".join(cells))
        with open(self.path("manifest.txt"), "w") as out:
            out.write("\n".join(lines) + "\n")


def colour_index(image, x, y):
    """The stored index of a pixel. Pillow drops palettes that are a grey ramp
    (0 and 255 for two colours, else 0, 1, 2, ...) and gives grey levels."""
    value = image.getpixel((x, y))
    if image.mode == "1":
        return 1 if value else 0
    return value


def pixel_offset(data):
    """Where the rows start: the offset field, or when it is 0, right after
    the header, masks and colour table."""
    f = fields(data)
    if f["offset"] != 0:
        return f["offset"]
    if f["header_bytes"] == 12:
        return 14 + 12 + (3 << f["bits"] if f["bits"] <= 8 else 0)
    colours = struct.unpack_from("<I", data, 14 + 32)[0]
    if f["bits"] <= 8 and colours == 0:
        colours = 1 << f["bits"]
    return 14 + 40 + (12 if f["compression"] == 3 else 0) + 4 * colours


def expect_magick_agrees(convert, path, colours):
    """ImageMagick's decoding against Pillow's, to the top five bits of each
    channel (the two widen 5-bit channels to 8 bits differently)."""
    width, height = colours.size
    raw = subprocess.run([convert, path, "-depth", "8", "rgb:-"], capture_output=True,
                         check=True).stdout
    if len(raw) != 3 * width * height:
        sys.exit("make_bitmaps.py: ImageMagick decodes %s to %d bytes" % (path, len(raw)))
    mine = bytes(c >> 3 for pixel in colours.getdata() for c in pixel)
    if bytes(c >> 3 for c in raw) != mine:
        sys.exit("make_bitmaps.py: ImageMagick and Pillow disagree on " + path)


def expect_same_pixels(crafted, source):
    a = Image.open(crafted).convert("RGB")
    b = Image.open(source).convert("RGB")
    if a.size != b.size or list(a.getdata()) != list(b.getdata()):
        sys.exit("make_bitmaps.py: %s does not decode to the pixels of %s" % (crafted, source))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True)
    parser.add_argument("--convert", default="convert")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    try:
        version = subprocess.run([args.convert, "-version"], capture_output=True, text=True,
                                 check=True).stdout
    except (OSError, subprocess.CalledProcessError):
        version = ""
    if "ImageMagick" not in version:
        sys.exit("make_bitmaps.py: ImageMagick's convert is missing (Debian package imagemagick)")

    w = Writer(args.out, args.convert)

    # ImageMagick, 40-byte headers.
    for width, height in ((13, 7), (33, 3)):
        name = "im_1bit_%dx%d.bmp" % (width, height)
        w.magick(name, pattern(width, height, 1), ["-colors", "2", "-type", "palette"])
        w.expect(name, 0)
    for width, height in ((13, 7), (5, 4)):
        name = "im_4bit_%dx%d.bmp" % (width, height)
        w.magick(name, pattern(width, height, 2), ["-colors", "16", "-compress", "none"])
        w.expect(name, 2)
    # ImageMagick picks the bit count by the number of colours: more than 16.
    for width, height in ((13, 7), (17, 2), (6, 5)):
        name = "im_8bit_%dx%d.bmp" % (width, height)
        w.magick(name, pattern(width, height, 3), ["-colors", "200", "-compress", "none"])
        w.expect(name, 4)
    w.magick("im_rle8_19x6.bmp", blocks(19, 6, 0), ["-colors", "5", "-compress", "RLE"])
    w.expect("im_rle8_19x6.bmp", 5)
    for width, height in ((13, 7), (1, 1), (4, 3), (6, 2)):
        name = "im_24bit_%dx%d.bmp" % (width, height)
        w.magick(name, pattern(width, height, 4), ["-type", "truecolor"])
        w.expect(name, 8)

    # ImageMagick, 12-byte core headers.
    w.magick("im_core1_13x7.bmp", pattern(13, 7, 5), ["-colors", "2", "-type", "palette"], "BMP2")
    w.expect("im_core1_13x7.bmp", 0)
    w.magick("im_core4_9x5.bmp", pattern(9, 5, 6), ["-colors", "16"], "BMP2")
    w.expect("im_core4_9x5.bmp", 2)
    w.magick("im_core8_13x7.bmp", pattern(13, 7, 7), ["-colors", "200"], "BMP2")
    w.expect("im_core8_13x7.bmp", 4)
    w.magick("im_core24_3x4.bmp", pattern(3, 4, 8), ["-type", "truecolor"], "BMP2")
    w.expect("im_core24_3x4.bmp", 8)

    # ImageMagick's default writes a 124-byte header, with the bit-field masks
    # inside it; the same pixels behind a 40-byte header read alike.
    im565 = w.magick("im_v4_565_13x7.bmp", pattern(13, 7, 9), ["-define", "bmp:subtype=RGB565"],
                     "BMP")
    w.expect("im_v4_565_13x7.bmp", 7)
    im555 = w.magick("im_v4_555_7x3.bmp", pattern(7, 3, 10), ["-define", "bmp:subtype=RGB555"],
                     "BMP")
    w.expect("im_v4_555_7x3.bmp", 6)
    im32 = w.magick("im_v4_32bit_5x3.bmp", pattern(5, 3, 11), ["-alpha", "set"], "BMP")
    w.expect("im_v4_32bit_5x3.bmp", 9)
    for width, height in ((13, 7), (4, 3)):
        name = "im_default_24bit_%dx%d.bmp" % (width, height)
        w.magick(name, pattern(width, height, 18), ["-type", "truecolor"], "BMP")
        w.expect(name, 8)
    # By default ImageMagick compresses 8-bit pixels with run lengths.
    w.magick("im_default_rle8_13x7.bmp", pattern(13, 7, 19), ["-colors", "200"], "BMP")
    w.expect("im_default_rle8_13x7.bmp", 5)
    w.craft("crafted_565_13x7.bmp", v4_to_info_bitfields(im565), "im_v4_565_13x7.bmp")
    w.expect("crafted_565_13x7.bmp", 7)
    w.craft("crafted_555_7x3.bmp", v4_to_info_bitfields(im555), "im_v4_555_7x3.bmp")
    w.expect("crafted_555_7x3.bmp", 6)
    w.craft("crafted_555_plain_7x3.bmp", v4_to_plain_555(im555), "im_v4_555_7x3.bmp")
    w.expect("crafted_555_plain_7x3.bmp", 6)
    w.craft("crafted_888_masks_5x3.bmp", v4_to_info_bitfields(im32), "im_v4_32bit_5x3.bmp")
    w.expect("crafted_888_masks_5x3.bmp", 9)

    # Pillow.
    w.pillow("pil_1bit_17x5.bmp", pattern(17, 5, 12).convert("1"))
    w.expect("pil_1bit_17x5.bmp", 0)
    w.pillow("pil_grey_11x4.bmp", pattern(11, 4, 13).convert("L"))
    w.expect("pil_grey_11x4.bmp", 4)
    w.pillow("pil_palette_9x6.bmp",
             pattern(9, 6, 14).convert("P", palette=Image.Palette.ADAPTIVE, colors=40))
    w.expect("pil_palette_9x6.bmp", 4)
    w.pillow("pil_palette_1x1.bmp", pattern(1, 1, 17).convert("P"))
    w.expect("pil_palette_1x1.bmp", 4)
    w.pillow("pil_24bit_7x5.bmp", pattern(7, 5, 15))
    w.expect("pil_24bit_7x5.bmp", 8)
    for width, height in ((13, 7), (1, 2)):
        name = "pil_32bit_%dx%d.bmp" % (width, height)
        w.pillow(name, pattern(width, height, 16).convert("RGBA"))
        w.expect(name, 9)

    # Crafted from the writers' pixels.
    im4 = w.magick("im_4bit_blocks_21x6.bmp", blocks(21, 6, 1), ["-colors", "16", "-compress",
                                                                  "none"])
    w.expect("im_4bit_blocks_21x6.bmp", 2)
    w.craft("crafted_rle4_21x6.bmp", rle4_from_4bit(im4), "im_4bit_blocks_21x6.bmp")
    w.expect("crafted_rle4_21x6.bmp", 3)
    w.craft("crafted_xbgr_masks_13x7.bmp", bgrx_to_xbgr(w.read("pil_32bit_13x7.bmp")),
            "pil_32bit_13x7.bmp")
    w.expect("crafted_xbgr_masks_13x7.bmp", 12)
    for source, code in (("im_24bit_13x7.bmp", 8), ("pil_palette_9x6.bmp", 4),
                         ("im_4bit_13x7.bmp", 2), ("im_1bit_33x3.bmp", 0),
                         ("pil_32bit_13x7.bmp", 9), ("crafted_565_13x7.bmp", 7)):
        name = "crafted_topdown_" + source
        w.craft(name, top_down(w.read(source)), source)
        w.expect(name, code)

    # The later headers crafted from 40-byte files: masks inside them, rows
    # either way, 32 bits with an alpha mask.
    for size, source, code, alpha in ((52, "crafted_565_13x7.bmp", 7, 0),
                                      (56, "crafted_555_7x3.bmp", 6, 0),
                                      (108, "crafted_565_13x7.bmp", 7, 0),
                                      (124, "crafted_555_7x3.bmp", 6, 0),
                                      (108, "crafted_888_masks_5x3.bmp", 9, 0xFF000000),
                                      (124, "crafted_888_masks_5x3.bmp", 9, 0xFF000000),
                                      (124, "crafted_xbgr_masks_13x7.bmp", 12, 0xFF),
                                      (124, "pil_palette_9x6.bmp", 4, 0),
                                      (108, "im_24bit_13x7.bmp", 8, 0)):
        name = "crafted_h%d_%s" % (size, source.replace("crafted_", ""))
        w.craft(name, longer_header(w.read(source), size, alpha), source)
        w.expect(name, code)
    w.craft("crafted_h124_topdown_565_13x7.bmp",
            longer_header(w.read("crafted_topdown_crafted_565_13x7.bmp"), 124),
            "crafted_565_13x7.bmp")
    w.expect("crafted_h124_topdown_565_13x7.bmp", 7)

    # Gaps before the pixels, the offset field saying where they are.
    w.magick("im_8bit_127x64.bmp", pattern(127, 64, 20), ["-colors", "200", "-compress", "none"])
    w.expect("im_8bit_127x64.bmp", 4)
    for source, gap, code in (("im_8bit_127x64.bmp", 2, 4), ("im_24bit_4x3.bmp", 16, 8),
                              ("crafted_h124_555_7x3.bmp", 1000, 6),
                              ("im_1bit_13x7.bmp", 16, 0)):
        name = "gap%d_%s" % (gap, source)
        w.craft(name, with_gap(w.read(source), gap), source)
        w.expect(name, code)

    # Offsets the library must refuse: into the header, into the colour
    # table, past the end of the file.
    eight = w.read("pil_palette_9x6.bmp")
    w.write("offset_in_header.bmp", with_offset(eight, 20))
    w.refuse("offset_in_header.bmp", 5)
    w.write("offset_in_table.bmp", with_offset(eight, 14 + 40 + 8))
    w.refuse("offset_in_table.bmp", 5)
    w.write("offset_past_end.bmp", with_offset(eight, len(eight) + 1))
    w.refuse("offset_past_end.bmp", 5)

    # Embedded JPEG and PNG images, and 64-bit pixels.
    jpeg = os.path.join(args.out, "embedded.jpg")
    png = os.path.join(args.out, "embedded.png")
    pattern(8, 8, 21).save(jpeg, format="JPEG")
    pattern(8, 8, 21).save(png, format="PNG")
    rgb = w.read("im_24bit_13x7.bmp")
    for name, compression, path in (("embedded_jpeg.bmp", 4, jpeg), ("embedded_png.bmp", 5, png)):
        with open(path, "rb") as f:
            w.write(name, with_compression(rgb, compression, f.read()))
        os.remove(path)
        w.refuse(name, 4)
    wide = bytearray(w.read("pil_32bit_1x2.bmp"))
    struct.pack_into("<H", wide, 14 + 14, 64)
    w.write("bits64.bmp", bytes(wide) + bytes(8))
    w.refuse("bits64.bmp", 9)

    # Run-length files with far more rows than data bytes.
    # Neither Pillow nor ImageMagick reads a run-length file that ends
    # early, so the picture it stands for (colour 0 everywhere) is written
    # out for them; no pixel call serves run-length pixels anyway.
    for height in (200, 3000):
        name = "sparse_rle8_16x%d.bmp" % height
        w.craft(name, sparse_rle8(16, height, w.read("im_rle8_19x6.bmp")), None)
        Image.new("P", (16, height), 0).save(w.path(name + ".png"))
        w.decoded_as[name] = name + ".png"
        w.expect(name, 5)

    w.write_manifest()


if __name__ == "__main__":
    main()
