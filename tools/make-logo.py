#!/usr/bin/python3
"""Draws the 500 x 94 wordmark that the main window shows (app/images/TARN.png, and twice as
large for screens scaled to 2x, TARN@2x.png), the 64 x 64 window icon
(app/images/vorlan-update.png, the same design as vorlan-update.svg) and the desktop's icons at
48, 64 and 128 pixels (app/images/icons/SIZE/vorlan-update.png).

Run it again after changing the design: tools/make-logo.py app/images
Needs Debian's python3-pil and fonts-dejavu-core.
"""
import os
import sys

from PIL import Image, ImageDraw, ImageFont

WIDTH, HEIGHT = 500, 94
INK = (22, 58, 96, 255)
ACCENT = (230, 126, 34, 255)
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"


def logo(path, scale=1):
    width, height = WIDTH * scale, HEIGHT * scale
    image = Image.new("RGBA", (width, height), (0, 0, 0, 0))
    draw = ImageDraw.Draw(image)
    font = ImageFont.truetype(FONT, 64 * scale)
    text = "VORLAN"
    left, top, right, bottom = draw.textbbox((0, 0), text, font=font)
    x = (width - (right - left)) // 2 - left
    y = (height - 14 * scale - (bottom - top)) // 2 - top
    draw.text((x, y), text, font=font, fill=INK)
    # A bar under the word, broken like a flash page boundary.
    bar_y = height - 12 * scale
    bar = 6 * scale - 1
    draw.rectangle((x + left, bar_y, width // 2 - 6 * scale, bar_y + bar), fill=INK)
    draw.rectangle((width // 2 + 6 * scale, bar_y, x + right, bar_y + bar), fill=ACCENT)
    image.save(path, "PNG", optimize=True)


def icon(path, size=64):
    # Drawn four times as large and scaled down, for smooth edges.
    scale = 4
    image = Image.new("RGBA", (64 * scale, 64 * scale), (0, 0, 0, 0))
    draw = ImageDraw.Draw(image)

    def box(x, y, w, h):
        return (x * scale, y * scale, (x + w) * scale - 1, (y + h) * scale - 1)

    draw.rounded_rectangle(box(2, 2, 60, 60), radius=10 * scale, fill=INK)
    vee = [(13, 12), (25, 12), (32, 36), (39, 12), (51, 12), (38, 46), (26, 46)]
    draw.polygon([(x * scale, y * scale) for x, y in vee], fill=(255, 255, 255, 255))
    draw.rectangle(box(13, 50, 17, 4), fill=(255, 255, 255, 255))
    draw.rectangle(box(34, 50, 17, 4), fill=ACCENT)
    image.resize((size, size), Image.LANCZOS).save(path, "PNG", optimize=True)


if __name__ == "__main__":
    folder = sys.argv[1] if len(sys.argv) > 1 else "app/images"
    logo(folder + "/TARN.png")
    logo(folder + "/TARN@2x.png", 2)
    icon(folder + "/vorlan-update.png")
    for size in (48, 64, 128):
        os.makedirs("%s/icons/%d" % (folder, size), exist_ok=True)
        icon("%s/icons/%d/vorlan-update.png" % (folder, size), size)
