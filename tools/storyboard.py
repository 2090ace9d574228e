"""The demo's storyboard: one picture of the screen for each text the status window showed.

How a frame is caught. click.exe (tools/click) reads the helper's status window every 10 ms and
appends each new text, and the window's end, to its record with the milliseconds since the click;
`Storyboard` reads that record every 15 ms. Xvfb, started with -fbdir, keeps the screen in a file
as an XWD image and draws into it as it goes, so reading that file is a screenshot that costs a
file read. While a text is the newest entry of the record, and for at most a second after it
appeared there, every poll copies the screen. When the next entry (a text, or the window's end)
shows up, the text's frame is the last copy taken at least LAG_S before that moment: the record
lags the window by at most click.exe's 10 ms poll and our poll by 15 ms more, so that copy was
taken while the text was still on screen, and as late as possible, which gives the window time to
paint it. A text that stands longer gets the copy taken a second after it appeared; so the last
text's frame shows what followed it, the Dota window raised in front of the status window. A text
followed by the next entry too soon for such a copy (within a few tens of milliseconds), or whose
copy shows the bare desktop (its window hidden already) or is the very screen of the next text's
frame (on a loaded machine click.exe may note a text well after the window showed it), gets no
picture rather than a wrong one: its panel says so. No pixels are read back from Wine.

Frames are composed with Pillow (Debian's python3-pil, run by /usr/bin/python3) into one PNG: a
column of frames, each cropped to the part of the desktop where windows were seen, under a
caption with its time after the click and the text.
"""
import os
import struct
import threading
import time

POLL_S = 0.015
# A copy taken this long before the next entry was seen in the record shows the text before it.
LAG_S = 0.035
HOLD_S = 1.0
FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"  # fonts-wqy-microhei: Latin and CJK


def read_record(path):
    """click.exe's record as (milliseconds, text) for each text and (milliseconds, None) for each
    end of a window, in order."""
    entries = []
    try:
        with open(path, encoding="utf-8") as f:
            lines = f.read().splitlines()
    except FileNotFoundError:
        return entries
    for line in lines:
        ms, _, rest = line.partition(" ")
        event, _, value = rest.partition(" ")
        if not ms.isdigit():
            continue
        if event == "text":
            entries.append((int(ms), value.replace("\\r\\n", " ").replace("\\n", " ").replace("\\r", " ")))
        elif event == "gone":
            entries.append((int(ms), None))
    return entries


class FramePicker:
    """The choice of frames, apart from the clock and the files: observe() is called once a poll
    with the time, the record's entries so far (read_record) and a function that copies the
    screen; `frames` holds (ms, text, screen copy or None, ms of the next entry or None)."""

    def __init__(self):
        self.frames = []
        self._entries = []
        self._copies = []  # (time, copy) of the newest text, the last few only
        self._seen_at = 0.0

    def _choose(self, next_seen_at):
        """The last copy taken LAG_S before the next entry was seen, if any."""
        fitting = [data for taken, data in self._copies if taken <= next_seen_at - LAG_S]
        return fitting[-1] if fitting else None

    def _current_text(self):
        return self._entries[-1][1] if self._entries else None

    def _take_new_entries(self, now, entries):
        if len(entries) <= len(self._entries):
            return
        if self._current_text() is not None:
            ms, text = self._entries[-1]
            self.frames.append((ms, text, self._choose(now), entries[len(self._entries)][0]))
        # Entries that came and went between two polls: their texts get no picture.
        for index in range(len(self._entries), len(entries) - 1):
            ms, text = entries[index]
            if text is not None:
                self.frames.append((ms, text, None, entries[index + 1][0]))
        self._entries, self._copies, self._seen_at = list(entries), [], now

    def observe(self, now, entries, grab):
        self._take_new_entries(now, entries)
        if self._current_text() is not None and now - self._seen_at <= HOLD_S:
            data = grab()
            if data is not None:
                self._copies = (self._copies + [(now, data)])[-4:]

    def finish(self, now, entries):
        """The record as it stands at the end: a text still on screen gets its latest copy. Then a
        copy that is the very screen of a later text's frame is dropped: on a loaded machine
        click.exe may note a text well after the window showed it, and the copy then shows the
        next text already."""
        self._take_new_entries(now, entries)
        if self._current_text() is not None:
            ms, text = self._entries[-1]
            self.frames.append((ms, text, self._choose(now + LAG_S), None))
        self._entries = []
        later = None
        for index in range(len(self.frames) - 1, -1, -1):
            ms, text, copy, end = self.frames[index]
            if copy is not None and copy == later:
                self.frames[index] = (ms, text, None, end)
            elif copy is not None:
                later = copy


class Storyboard(threading.Thread):
    """Follows click.exe's record at `record` and copies Xvfb's frame buffer file `framebuffer`
    for each text; frames() gives FramePicker's frames, the copies XWD images, once stopped."""

    def __init__(self, record, framebuffer):
        super().__init__(daemon=True)
        self.record, self.framebuffer = record, framebuffer
        self.stop = threading.Event()
        self.error = None
        self.picker = FramePicker()

    def _grab(self):
        try:
            with open(self.framebuffer, "rb") as f:
                return f.read()
        except OSError as e:
            self.error = "cannot read the screen from %s: %s" % (self.framebuffer, e)
            return None

    def run(self):
        while not self.stop.is_set():
            self.picker.observe(time.monotonic(), read_record(self.record), self._grab)
            self.stop.wait(POLL_S)
        self.picker.finish(time.monotonic(), read_record(self.record))

    def frames(self):
        return list(self.picker.frames)


def xwd_image(data):
    """An XWD image of 32 bits a pixel (Xvfb's frame buffer file) as a Pillow RGB image."""
    from PIL import Image
    header = struct.unpack(">25I", data[:100])
    header_size, width, height = header[0], header[4], header[5]
    byte_order, bits_per_pixel, bytes_per_line, ncolors = header[7], header[11], header[12], header[19]
    if bits_per_pixel != 32:
        raise ValueError("the screen has %d bits a pixel, not 32" % bits_per_pixel)
    pixels = data[header_size + 12 * ncolors:header_size + 12 * ncolors + bytes_per_line * height]
    return Image.frombuffer("RGB", (width, height), pixels, "raw", "BGRX" if byte_order == 0 else "XRGB",
                            bytes_per_line, 1)


def compose(frames, target, title):
    """Writes the storyboard PNG; returns the number of frames with a picture."""
    from PIL import Image, ImageChops, ImageDraw, ImageFont

    images = [(ms, text, xwd_image(data) if data else None, end) for ms, text, data, end in frames]
    pictures = [image for _, _, image, _ in images if image is not None]
    if not pictures:
        raise ValueError("no frame was caught")
    # The part of the screen that differs from the bare desktop (the colour most of the first frame
    # has) in any frame, with a margin: the windows, wherever they were placed. A copy of the bare
    # desktop caught a text whose window was already off the screen (a window is hidden before it
    # is destroyed): it counts as no picture.
    width, height = pictures[0].size
    colours = pictures[0].getcolors(maxcolors=width * height)
    background = Image.new("RGB", (width, height), max(colours)[1])
    box = None
    for index, (ms, text, image, end) in enumerate(images):
        found = ImageChops.difference(image, background).getbbox() if image is not None else None
        if found is None:
            images[index] = (ms, text, None, end)
            continue
        box = found if box is None else (min(box[0], found[0]), min(box[1], found[1]),
                                         max(box[2], found[2]), max(box[3], found[3]))
    pictures = [image for _, _, image, _ in images if image is not None]
    if not pictures:
        raise ValueError("no frame shows a window")
    margin = 24
    box = (0, 0, width, height) if box is None else (max(box[0] - margin, 0), max(box[1] - margin, 0),
                                                     min(box[2] + margin, width), min(box[3] + margin, height))
    crop_w, crop_h = box[2] - box[0], box[3] - box[1]

    font = ImageFont.truetype(FONT, 15)
    title_font = ImageFont.truetype(FONT, 18)
    pad, caption_h, title_h = 10, 26, 34
    measure = ImageDraw.Draw(Image.new("RGB", (1, 1)))
    panel_w = max(crop_w, 480, int(measure.textlength(title, font=title_font)) + 1)
    sheet_w = panel_w + 2 * pad
    height = sum(caption_h + (crop_h if image is not None else caption_h) + pad for _, _, image, _ in images)
    sheet = Image.new("RGB", (sheet_w, title_h + height + pad), (250, 250, 250))
    draw = ImageDraw.Draw(sheet)
    draw.text((pad, 8), title, font=title_font, fill=(20, 20, 20))
    y = title_h
    for ms, text, image, end in images:
        caption = "%+.2f s   %s" % (ms / 1000.0, text)
        while draw.textlength(caption, font=font) > panel_w and len(caption) > 4:
            caption = caption[:-2] + "…"
        draw.text((pad, y + 3), caption, font=font, fill=(0, 0, 0))
        y += caption_h
        if image is not None:
            sheet.paste(image.crop(box), (pad, y))
            draw.rectangle((pad - 1, y - 1, pad + crop_w, y + crop_h), outline=(120, 120, 120))
            y += crop_h
        else:
            note = "(no picture caught: the window changed or was hidden %s)" % (
                "within %d ms" % (end - ms) if end is not None else "before the first copy")
            draw.text((pad + 12, y + 3), note, font=font, fill=(110, 110, 110))
            y += caption_h
        y += pad
    os.makedirs(os.path.dirname(os.path.abspath(target)), exist_ok=True)
    # A palette of 128 colours keeps the file small; the screen has few colours anyway.
    sheet.quantize(colors=128, dither=Image.Dither.NONE).save(target, optimize=True)
    return len(pictures)
