#!/usr/bin/python3
"""Draws the 500 x 94 wordmark that the main window shows (app/images/TARN.png).

Run it again after changing the design: tools/make-logo.py app/images/TARN.png
Needs Debian's python3-pil and fonts-dejavu-core.
"""
import sys

from PIL import Image, ImageDraw, ImageFont

WIDTH, HEIGHT = 500, 94
INK = (22, 58, 96, 255)
ACCENT = (230, 126, 34, 255)
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"


def main(path):
    image = Image.new("RGBA", (WIDTH, HEIGHT), (0, 0, 0, 0))
    draw = ImageDraw.Draw(image)
    font = ImageFont.truetype(FONT, 64)
    text = "VORLAN"
    left, top, right, bottom = draw.textbbox((0, 0), text, font=font)
    x = (WIDTH - (right - left)) // 2 - left
    y = (HEIGHT - 14 - (bottom - top)) // 2 - top
    draw.text((x, y), text, font=font, fill=INK)
    # A bar under the word, broken like a flash page boundary.
    bar_y = HEIGHT - 12
    draw.rectangle((x + left, bar_y, WIDTH // 2 - 6, bar_y + 5), fill=INK)
    draw.rectangle((WIDTH // 2 + 6, bar_y, x + right, bar_y + 5), fill=ACCENT)
    image.save(path, "PNG", optimize=True)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "app/images/TARN.png")
