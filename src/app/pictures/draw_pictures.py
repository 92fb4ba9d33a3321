#!/usr/bin/env python3
"""Draws the button pictures and the program icon, pixel by pixel.

Nine button pictures of 24 x 24 pixels as BMP files (btnChoiceFile at 24 bits
per pixel, the others at 8 bits with a palette) and the program icon of
32 x 32 pixels at 32 bits per pixel (PNG with an alpha channel). The button
pictures are painted on a background colour that the window draws as
transparent: the colour of the bottom-left pixel.

Only the Python standard library is used. Run it from any folder:
    python3 src/app/pictures/draw_pictures.py
The outputs land beside this script and are kept in the repository.
"""

import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# The colour drawn transparent; no picture uses it for anything else.
BACKGROUND = (255, 0, 255)

BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
PAPER = (250, 250, 244)
GREY = (128, 128, 128)
LIGHT_GREY = (196, 196, 196)
DARK_GREY = (72, 72, 72)
GRID_GREEN = (120, 176, 120)
HEADER_GREEN = (46, 125, 50)
TICK_GREEN = (30, 150, 40)
TICK_DARK = (10, 90, 20)
RED = (200, 30, 30)
DARK_RED = (130, 10, 10)
BLUE = (40, 90, 190)
DARK_BLUE = (20, 50, 120)
LIGHT_BLUE = (120, 160, 230)
YELLOW = (250, 210, 70)
DARK_YELLOW = (190, 140, 20)
PENCIL_TIP = (230, 190, 140)
ORANGE = (230, 120, 40)


class Canvas:
    def __init__(self, size, background):
        self.size = size
        self.pixels = [[background] * size for _ in range(size)]

    def put(self, x, y, colour):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.pixels[y][x] = colour

    def fill(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, colour)

    def frame(self, x0, y0, x1, y1, colour):
        for x in range(x0, x1 + 1):
            self.put(x, y0, colour)
            self.put(x, y1, colour)
        for y in range(y0, y1 + 1):
            self.put(x0, y, colour)
            self.put(x1, y, colour)

    def line(self, x0, y0, x1, y1, colour, width=1):
        """Bresenham's line; a wider line is the same line stamped as a square."""
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx = 1 if x0 < x1 else -1
        sy = 1 if y0 < y1 else -1
        err = dx + dy
        lo = -(width // 2)
        hi = lo + width - 1
        while True:
            self.fill(x0 + lo, y0 + lo, x0 + hi, y0 + hi, colour)
            if x0 == x1 and y0 == y1:
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def disc(self, cx, cy, r, colour):
        for y in range(self.size):
            for x in range(self.size):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.put(x, y, colour)

    def ring(self, cx, cy, r_outer, r_inner, colour, skip=None):
        for y in range(self.size):
            for x in range(self.size):
                d = (x - cx) ** 2 + (y - cy) ** 2
                if r_inner * r_inner < d <= r_outer * r_outer:
                    if skip is None or not skip(x, y):
                        self.put(x, y, colour)

    def pattern(self, x0, y0, rows, colours):
        """Stamps a small picture given as strings; '.' leaves a pixel as it is."""
        for dy, row in enumerate(rows):
            for dx, ch in enumerate(row):
                if ch != ".":
                    self.put(x0 + dx, y0 + dy, colours[ch])


# --- pieces shared by several pictures ------------------------------------

def sheet(c, x0, y0, x1, y1, grid=True):
    """A page of a spreadsheet form: white paper, a dog-ear, a green grid."""
    c.fill(x0, y0, x1, y1, PAPER)
    c.frame(x0, y0, x1, y1, DARK_GREY)
    # the dog-ear at the top right corner
    for i in range(4):
        for j in range(4 - i):
            c.put(x1 - j, y0 + i, BACKGROUND)
    c.line(x1 - 4, y0, x1, y0 + 4, DARK_GREY)
    c.line(x1 - 4, y0, x1 - 4, y0 + 4, DARK_GREY)
    c.line(x1 - 4, y0 + 4, x1, y0 + 4, DARK_GREY)
    if grid:
        c.fill(x0 + 2, y0 + 6, x1 - 2, y0 + 7, HEADER_GREEN)
        for y in range(y0 + 10, y1 - 1, 3):
            c.line(x0 + 2, y, x1 - 2, y, GRID_GREEN)
        for x in (x0 + 2, (x0 + x1) // 2, x1 - 2):
            c.line(x, y0 + 8, x, y1 - 2, GRID_GREEN)


def check_mark(c, x, y, colour=TICK_GREEN, width=3, scale=1):
    """A tick whose short stroke starts at (x, y)."""
    c.line(x, y, x + 3 * scale, y + 3 * scale, colour, width)
    c.line(x + 3 * scale, y + 3 * scale, x + 9 * scale, y - 3 * scale, colour, width)


def tick_box(c, x, y, ticked):
    """A 7 x 7 tick box as the list draws one, with or without its tick."""
    c.fill(x, y, x + 6, y + 6, WHITE)
    c.frame(x, y, x + 6, y + 6, DARK_GREY)
    if ticked:
        c.pattern(x + 1, y + 1, [
            ".....",
            "....k",
            "k..kk",
            "kkkk.",
            ".kk..",
        ], {"k": TICK_DARK})


def list_line(c, x, y, length):
    c.line(x, y + 3, x + length, y + 3, DARK_BLUE)


# --- the nine button pictures ---------------------------------------------

def fill_form():
    """Заполнить форму: a form sheet with a pencil writing on it."""
    c = Canvas(24, BACKGROUND)
    sheet(c, 2, 1, 16, 22)
    # the pencil, lying from the bottom left towards the top right
    c.line(11, 19, 20, 10, YELLOW, 3)
    c.line(12, 20, 21, 11, DARK_YELLOW)
    c.line(19, 8, 22, 11, PENCIL_TIP, 2)  # the eraser end
    c.line(20, 8, 22, 10, RED, 2)
    c.pattern(8, 19, [
        ".tt..",
        "ttt..",
        "kt...",
        "k....",
    ], {"t": PENCIL_TIP, "k": BLACK})
    return c


def choice_file():
    """Выбор файлов: an open folder with two sheets in it (24 bits: shaded)."""
    c = Canvas(24, BACKGROUND)
    # back of the folder with its tab
    c.fill(1, 5, 8, 7, DARK_YELLOW)
    c.fill(1, 7, 19, 20, DARK_YELLOW)
    # two sheets sticking out
    c.fill(5, 3, 15, 12, WHITE)
    c.frame(5, 3, 15, 12, GREY)
    c.fill(8, 1, 18, 10, PAPER)
    c.frame(8, 1, 18, 10, DARK_GREY)
    for y in (3, 5, 7):
        c.line(10, y, 16, y, GRID_GREEN)
    # the front flap, shaded from light at the top to darker at the bottom
    for y in range(11, 21):
        t = (y - 11) / 9.0
        shade = (int(255 - 25 * t), int(226 - 60 * t), int(120 - 80 * t))
        x_left = 4 - (y - 11) // 3
        x_right = 22 - (y - 11) // 3
        c.line(x_left, y, x_right, y, shade)
    c.line(4, 11, 22, 11, (255, 240, 170))
    c.line(1, 20, 19, 20, (140, 95, 10))
    c.line(22, 11, 19, 20, (140, 95, 10))
    return c


def verification_data():
    """Проверка по ВЕРС: a form sheet with a large green tick over it."""
    c = Canvas(24, BACKGROUND)
    sheet(c, 2, 1, 17, 22)
    check_mark(c, 7, 14, TICK_DARK, 5)
    check_mark(c, 7, 14, TICK_GREEN, 3)
    return c


def quit_program():
    """Завершить работу: the power symbol, a broken red ring with a bar."""
    c = Canvas(24, BACKGROUND)
    cx, cy = 11.5, 12.5
    gap = lambda x, y: y < cy and abs(x - cx) < 3.5
    c.ring(cx, cy, 10, 5.5, DARK_RED, gap)
    c.ring(cx, cy, 9, 6.5, RED, gap)
    c.fill(10, 1, 13, 12, DARK_RED)
    c.fill(11, 2, 12, 11, RED)
    return c


def check_all():
    """Выбрать все: three list lines, every tick box ticked."""
    c = Canvas(24, BACKGROUND)
    for i, y in enumerate((1, 9, 17)):
        tick_box(c, 2, y, True)
        list_line(c, 11, y, 10 - 2 * (i % 2))
    return c


def uncheck_all():
    """Отменить все: three list lines, every tick box empty."""
    c = Canvas(24, BACKGROUND)
    for i, y in enumerate((1, 9, 17)):
        tick_box(c, 2, y, False)
        list_line(c, 11, y, 10 - 2 * (i % 2))
    return c


def invert_check():
    """Инвертировать выбранное: ticked becomes empty and empty becomes ticked."""
    c = Canvas(24, BACKGROUND)
    tick_box(c, 1, 3, True)
    tick_box(c, 16, 3, False)
    tick_box(c, 1, 14, False)
    tick_box(c, 16, 14, True)
    arrow = [
        "......o..",
        "......oo.",
        "ooooooooo",
        "......oo.",
        "......o..",
    ]
    c.pattern(8, 4, arrow, {"o": ORANGE})
    c.pattern(8, 15, arrow, {"o": ORANGE})
    return c


def clean_list():
    """Удалить выделенные файлы из списка: a list with a red cross over it."""
    c = Canvas(24, BACKGROUND)
    c.fill(1, 1, 17, 18, WHITE)
    c.frame(1, 1, 17, 18, DARK_GREY)
    c.fill(2, 7, 16, 11, LIGHT_BLUE)  # the selected line
    for y in (2, 7, 12):
        list_line(c, 4, y, 11)
    c.line(12, 12, 21, 21, DARK_RED, 4)
    c.line(21, 12, 12, 21, DARK_RED, 4)
    c.line(12, 12, 21, 21, RED, 2)
    c.line(21, 12, 12, 21, RED, 2)
    return c


def help_manual():
    """Руководство пользователя: a blue disc with a white question mark."""
    c = Canvas(24, BACKGROUND)
    c.disc(11.5, 11.5, 10.5, DARK_BLUE)
    c.disc(11.5, 11.5, 9.5, BLUE)
    c.disc(10, 8, 4, LIGHT_BLUE)
    c.disc(11.5, 11.5, 7.8, BLUE)
    c.pattern(8, 5, [
        ".wwwwww.",
        "wwwwwwww",
        "ww....ww",
        "......ww",
        ".....www",
        "....www.",
        "...www..",
        "...ww...",
        "...ww...",
        "........",
        "...ww...",
        "...ww...",
    ], {"w": WHITE})
    return c


# --- the program icon ------------------------------------------------------

def program_icon():
    """A form sheet with its grid, a green tick and a red mark for a failed check."""
    clear = (0, 0, 0, 0)
    c = Canvas(32, clear)
    opaque = lambda rgb: rgb + (255,)
    c.fill(4, 1, 25, 30, opaque(PAPER))
    c.frame(4, 1, 25, 30, opaque(DARK_GREY))
    for i in range(6):
        for j in range(6 - i):
            c.put(25 - j, 1 + i, clear)
    c.line(19, 1, 25, 7, opaque(DARK_GREY))
    c.line(19, 1, 19, 7, opaque(DARK_GREY))
    c.line(19, 7, 25, 7, opaque(DARK_GREY))
    c.fill(6, 9, 23, 11, opaque(HEADER_GREEN))
    for y in range(15, 29, 4):
        c.line(6, y, 23, y, opaque(GRID_GREEN))
    for x in (6, 12, 23):
        c.line(x, 12, x, 28, opaque(GRID_GREEN))
    # a small red cross in one cell: a failed check
    c.line(8, 20, 10, 22, opaque(RED), 2)
    c.line(10, 20, 8, 22, opaque(RED), 2)
    # the big tick over the lower right
    c.line(13, 22, 18, 27, opaque(TICK_DARK), 5)
    c.line(18, 27, 29, 14, opaque(TICK_DARK), 5)
    c.line(13, 22, 18, 27, opaque(TICK_GREEN), 3)
    c.line(18, 27, 29, 14, opaque(TICK_GREEN), 3)
    return c


# --- file writers -----------------------------------------------------------

def bmp_bytes(canvas, bits):
    """A bottom-up BMP with a BITMAPINFOHEADER, 24 bits or 8 bits with a palette."""
    size = canvas.size
    if bits == 8:
        palette = []
        for row in canvas.pixels:
            for rgb in row:
                if rgb not in palette:
                    palette.append(rgb)
        assert len(palette) <= 256, "too many colours for a palette"
        index = {rgb: i for i, rgb in enumerate(palette)}
        table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
        row_bytes = (size + 3) & ~3
        rows = []
        for row in reversed(canvas.pixels):
            data = bytes(index[rgb] for rgb in row)
            rows.append(data + b"\0" * (row_bytes - size))
        colours_used = len(palette)
    else:
        table = b""
        row_bytes = (size * 3 + 3) & ~3
        rows = []
        for row in reversed(canvas.pixels):
            data = b"".join(struct.pack("<BBB", b, g, r) for (r, g, b) in row)
            rows.append(data + b"\0" * (row_bytes - size * 3))
        colours_used = 0
    pixels = b"".join(rows)
    offset = 14 + 40 + len(table)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info_header = struct.pack("<IiiHHIIiiII", 40, size, size, 1, bits, 0,
                              len(pixels), 3780, 3780, colours_used, 0)
    return file_header + info_header + table + pixels


def png_bytes(canvas):
    """An 8-bit-per-channel RGBA PNG: 32 bits per pixel."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    size = canvas.size
    raw = b"".join(b"\0" + b"".join(bytes(px) for px in row) for row in canvas.pixels)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


BUTTONS = [
    ("btnFillForm.bmp", fill_form, 8),
    ("btnChoiceFile.bmp", choice_file, 24),
    ("btnVerificationData.bmp", verification_data, 8),
    ("btnQuit.bmp", quit_program, 8),
    ("btnCheckAll.bmp", check_all, 8),
    ("btnUncheckAll.bmp", uncheck_all, 8),
    ("btnInvertCheck.bmp", invert_check, 8),
    ("btnCleanList.bmp", clean_list, 8),
    ("btnHelp.bmp", help_manual, 8),
]


def main():
    for name, draw, bits in BUTTONS:
        canvas = draw()
        assert canvas.pixels[-1][0] == BACKGROUND, name + ": bottom-left pixel must be the background"
        with open(os.path.join(HERE, name), "wb") as out:
            out.write(bmp_bytes(canvas, bits))
    with open(os.path.join(HERE, "vers.png"), "wb") as out:
        out.write(png_bytes(program_icon()))


if __name__ == "__main__":
    main()
