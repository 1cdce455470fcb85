#!/usr/bin/env python3
"""Draws the dust particle texture "dust2.rgb": a soft, cloudy white puff whose alpha falls off towards the
edge, in the SGI image format (RGBA, uncompressed) that the particle system loads from the working folder.
The particle colour tints it, so its colour channels stay near white.

The build runs it:
    python3 tools/textures/make_dust.py OUTPUT.rgb
"""
import math
import random
import struct
import sys

SIZE = 64


def cloud_noise(size, seed):
    """Smooth value noise: a few octaves of a random lattice, bilinearly interpolated, in 0 to 1."""
    rng = random.Random(seed)
    total = [[0.0] * size for _ in range(size)]
    weight_sum = 0.0
    for octave, cells in enumerate((4, 8, 16)):
        lattice = [[rng.random() for _ in range(cells + 1)] for _ in range(cells + 1)]
        weight = 0.5 ** octave
        weight_sum += weight
        for y in range(size):
            v = y / size * cells
            j, fv = int(v), v - int(v)
            for x in range(size):
                u = x / size * cells
                i, fu = int(u), u - int(u)
                top = lattice[j][i] * (1 - fu) + lattice[j][i + 1] * fu
                bottom = lattice[j + 1][i] * (1 - fu) + lattice[j + 1][i + 1] * fu
                total[y][x] += weight * (top * (1 - fv) + bottom * fv)
    return [[value / weight_sum for value in row] for row in total]


def dust_pixels(size=SIZE, seed=2):
    noise = cloud_noise(size, seed)
    centre = (size - 1) / 2.0
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            distance = math.hypot(x - centre, y - centre) / centre
            falloff = max(0.0, 1.0 - distance) ** 1.5
            alpha = round(255 * falloff * (0.55 + 0.45 * noise[y][x]))
            grey = round(225 + 30 * noise[y][x])
            row.append((grey, grey, grey, alpha))
        pixels.append(row)
    return pixels


def sgi_bytes(pixels):
    """An uncompressed SGI image: a 512-byte header, then each channel's rows from the bottom up."""
    height = len(pixels)
    width = len(pixels[0])
    channels = len(pixels[0][0])
    header = struct.pack(">hbbHHHHii4s80si", 474, 0, 1, 3, width, height, channels, 0, 255, b"\0" * 4,
                         b"dust".ljust(80, b"\0"), 0)
    header = header.ljust(512, b"\0")
    planes = bytearray()
    for channel in range(channels):
        for row in reversed(pixels):
            planes.extend(pixel[channel] for pixel in row)
    return header + bytes(planes)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_dust.py OUTPUT.rgb")
    with open(sys.argv[1], "wb") as out:
        out.write(sgi_bytes(dust_pixels()))


if __name__ == "__main__":
    main()
