#!/usr/bin/env python3
"""Writes a corpus of damaged, lying and unusual WAV files with a manifest of what reading
each one must give.

    hostile_wavs.py OUTPUT_FOLDER

The manifest, OUTPUT_FOLDER/manifest.tsv, has one line per file with tab-separated
fields: the file name, the source choice the file is read with (1 L+R, 2 L, 3 R, 4 L-R),
the outcome, either "loads N" (N blocks of 64 samples) or "message TEXT" (the one
message the reader shows), and for some files that load, the name of another file of the
corpus that holds the same sound and must give the very same blocks. Only the Python
standard library is used, so the corpus can be made on any machine that builds the
program.
"""

import math
import os
import random
import struct
import sys

NOT_READABLE = "Cannot read file!"
NOT_WAVE = "Bad Wave Format! Probably not a WAV file."
NO_FORMAT = "Bad Riff Format!"
BAD_PCM = "Bad PCM Format!"
UNSUPPORTED = "UnSupported Wave Format!"
NO_DATA = "Bad Format in Wave file!"
EMPTY_DATA = "No wave data!"
SHORT_DATA = "Failed to read data chunk!"

BLOCK = 64
ENGINE_RATE = 11025
# Rates the half-band filters bring down, with how many input frames make one block.
HALF_BAND_FACTORS = {11025: 1, 22050: 2, 44100: 4}

PCM_GUID_TAIL = bytes([0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                       0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71])


def u16(v):
    return struct.pack("<H", v & 0xFFFF)


def u32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def fmt_record(tag=1, channels=1, rate=11025, bits=16, block_align=None, size=16):
    """A format record of `size` bytes; block align follows from channels and width."""
    width = (bits + 7) // 8
    align = channels * width if block_align is None else block_align
    record = u16(tag) + u16(channels) + u32(rate) + u32(rate * align) + u16(align) + u16(bits)
    return (record + bytes(max(0, size - len(record))))[:size]


def extensible_record(subformat, channels=1, rate=11025, bits=16, size=40):
    record = fmt_record(0xFFFE, channels, rate, bits) + u16(22) + u16(bits) + u32(0)
    record += u16(subformat) + PCM_GUID_TAIL
    return record[:size]


def chunk(ident, content, claimed=None, pad=True):
    size = len(content) if claimed is None else claimed
    out = ident + u32(size) + content
    if pad and len(content) % 2:
        out += b"\0"
    return out


def riff(chunks, claimed=None, form=b"WAVE", magic=b"RIFF"):
    body = form + b"".join(chunks)
    return magic + u32(len(body) if claimed is None else claimed) + body


def pcm16(samples):
    return b"".join(struct.pack("<h", s) for s in samples)


def tone(count, period=37, level=8000):
    return [int(level * math.sin(2 * math.pi * i / period)) for i in range(count)]


def wav(data, **format_fields):
    return riff([chunk(b"fmt ", fmt_record(**format_fields)), chunk(b"data", data)])


def ceil_div(a, b):
    return -(-a // b)


def half_band_blocks(data_bytes, channels=1, rate=11025, bits=16):
    """Blocks a file of `data_bytes` bytes gives on the half-band route. Data is read in
    pieces of e x 128 bytes (e x 64 samples of more than 8 bits); an 8-bit piece always
    makes two buffers, and every `channels` buffers make one block, the missing ones at the
    end counting as silence. A frame cut off by the end of the data is completed."""
    width = min(max((bits + 7) // 8, 1), 4)
    factor = HALF_BAND_FACTORS[rate]
    buffers_per_piece = 2 if width == 1 else 1
    piece = buffers_per_piece * factor * BLOCK * width
    pieces = ceil_div(data_bytes, piece)
    frames = ceil_div(ceil_div(data_bytes, width), channels)
    from_frames = ceil_div(frames, factor * BLOCK)
    from_layout = ceil_div(pieces * buffers_per_piece, channels)
    return max(from_frames, from_layout)


def converted_blocks(frames, rate):
    """Blocks a file at a rate the sinc converter takes gives: its length at 11025 Hz. The
    corpus picks lengths that end mid-block, so the converter's rounding cannot change it."""
    samples = frames * ENGINE_RATE / rate
    assert 8 < samples % BLOCK < BLOCK - 8, (frames, rate)
    return max(1, math.ceil(samples / BLOCK))


class Corpus:
    def __init__(self, folder):
        self.folder = folder
        self.lines = []
        self.names = set()

    def add(self, name, content, outcome, choice=2, same_as=None):
        assert name not in self.names, name
        assert same_as is None or same_as in self.names, same_as
        self.names.add(name)
        with open(os.path.join(self.folder, name + ".wav"), "wb") as out:
            out.write(content)
        fields = [f"{name}.wav", str(choice), outcome] + ([f"{same_as}.wav"] if same_as else [])
        self.lines.append("\t".join(fields) + "\n")

    def loads(self, name, content, blocks, choice=2, same_as=None):
        self.add(name, content, f"loads {blocks}", choice, same_as)

    def fails(self, name, content, message, choice=2):
        self.add(name, content, f"message {message}", choice)

    def write_manifest(self):
        with open(os.path.join(self.folder, "manifest.tsv"), "w", newline="\n") as out:
            out.writelines(self.lines)


def build(c):
    samples = tone(300)
    data = pcm16(samples)
    good = wav(data)
    good_blocks = half_band_blocks(len(data))

    # The file as it should be, for comparison with everything else.
    c.loads("plain", good, good_blocks)

    def same_as_plain(name, content):
        c.loads(name, content, good_blocks, same_as="plain")

    # Headers cut short: nothing to descend into until the form type is there; then no
    # format chunk follows.
    for length in range(0, 12):
        c.fails(f"truncated-header-{length:02d}", good[:length], NOT_READABLE)
    c.fails("truncated-header-12", good[:12], NO_FORMAT)
    c.fails("truncated-in-fmt-header", good[:17], NO_FORMAT)
    c.fails("truncated-in-fmt-record", good[:30], BAD_PCM)
    c.fails("truncated-in-data", good[:100], SHORT_DATA)

    # Other containers and plain noise.
    c.fails("magic-rifx", b"RIFX" + good[4:], NOT_WAVE)
    c.fails("magic-rf64", b"RF64" + u32(0xFFFFFFFF) + good[8:], NOT_WAVE)
    c.fails("magic-aiff", b"FORM" + struct.pack(">I", len(good) - 8) + b"AIFF" + good[12:], NOT_WAVE)
    c.fails("magic-riff-avi", riff([chunk(b"fmt ", fmt_record()), chunk(b"data", data)], form=b"AVI "),
            NOT_WAVE)
    noise = random.Random(1702)
    c.fails("magic-random", b"X" + bytes(noise.randrange(256) for _ in range(511)), NOT_WAVE)
    c.fails("magic-lowercase", b"riff" + good[4:], NOT_WAVE)

    # RIFF sizes that lie. The chunks' own sizes decide what is read; the outer size only
    # bounds the search, and a search that runs into the end of the file just stops.
    fmt_chunk = chunk(b"fmt ", fmt_record())
    data_chunk = chunk(b"data", data)
    chunks = [fmt_chunk, data_chunk]
    c.fails("riff-size-zero", riff(chunks, claimed=0), NO_FORMAT)
    c.fails("riff-size-four", riff(chunks, claimed=4), NO_FORMAT)
    same_as_plain("riff-size-too-large", riff(chunks, claimed=0xFFFFFFFF))
    same_as_plain("riff-size-ends-inside-data", riff(chunks, claimed=4 + 24 + 8 + 10))
    c.fails("riff-size-ends-inside-fmt-header", riff(chunks, claimed=4 + 3), NO_FORMAT)
    c.fails("riff-size-ends-before-data", riff(chunks, claimed=4 + 12), NO_DATA)

    # Odd chunk sizes: with the pad byte they should have, and without it (a common fault
    # of writers, which the reader forgives when the byte after the chunk starts a header).
    odd_list = b"INFOabcde"
    same_as_plain("odd-chunk-padded", riff([chunk(b"LIST", odd_list)] + chunks))
    same_as_plain("odd-chunk-unpadded", riff([chunk(b"LIST", odd_list, pad=False)] + chunks))
    same_as_plain("odd-chunks-unpadded-twice",
                  riff([chunk(b"junk", b"123", pad=False), fmt_chunk,
                        chunk(b"note", b"x", pad=False), data_chunk]))
    same_as_plain("odd-fmt-chunk-padded", riff([chunk(b"fmt ", fmt_record(size=17)), data_chunk]))
    odd_data = data[:201]
    c.loads("odd-data-padded-then-chunk",
            riff([chunk(b"fmt ", fmt_record()), chunk(b"data", odd_data), chunk(b"junk", b"zz")]),
            half_band_blocks(len(odd_data)))
    c.loads("odd-data-unpadded-at-end",
            riff([chunk(b"fmt ", fmt_record()), chunk(b"data", odd_data, pad=False)]),
            half_band_blocks(len(odd_data)))

    # Sizes near the top of the 32-bit range must not wrap around.
    c.fails("huge-chunk-before-fmt", riff([chunk(b"junk", b"abcd", claimed=0xFFFFFFFF)] + chunks), NO_FORMAT)
    c.fails("huge-chunk-before-data",
            riff([chunk(b"fmt ", fmt_record()), chunk(b"junk", b"abcd", claimed=0xFFFFFFFE),
                  chunk(b"data", data)]), NO_DATA)
    c.fails("huge-fmt-size", riff([chunk(b"fmt ", fmt_record(), claimed=0xFFFFFFFF), chunk(b"data", data)]),
            NO_DATA)
    c.fails("huge-data-size", riff([fmt_chunk, chunk(b"data", data, claimed=0xFFFFFFFF)]), SHORT_DATA)
    c.fails("huge-data-size-even", riff([fmt_chunk, chunk(b"data", data, claimed=0xFFFFFFF0)]), SHORT_DATA)

    # RF64: the 32-bit sizes say 0xFFFFFFFF and the ds64 chunk, first in the form, has the
    # real ones. Its sizes may lie like any other; huge ones must not wrap around.
    def u64(v):
        return struct.pack("<Q", v)

    def ds64(riff_size, data_size, table=b""):
        return chunk(b"ds64", u64(riff_size) + u64(data_size) + u64(data_size // 2) + u32(len(table) // 12) + table)

    def rf64(ds64_chunk, data_chunk, riff_claimed=0xFFFFFFFF):
        body = [ds64_chunk, fmt_chunk, data_chunk]
        return riff(body, claimed=riff_claimed, magic=b"RF64")

    rf64_size = 4 + 36 + len(fmt_chunk) + 8 + len(data)
    rf64_data = chunk(b"data", data, claimed=0xFFFFFFFF)
    same_as_plain("rf64", rf64(ds64(rf64_size, len(data)), rf64_data))
    same_as_plain("rf64-data-size-in-its-own-header", rf64(ds64(rf64_size, 0), chunk(b"data", data)))
    same_as_plain("rf64-riff-size-in-its-own-header", rf64(ds64(0, len(data)), rf64_data, riff_claimed=rf64_size))
    same_as_plain("rf64-ds64-with-a-table", rf64(ds64(rf64_size + 12, len(data), b"junk" + u64(3)), rf64_data))
    c.fails("rf64-ds64-not-first", riff([fmt_chunk, ds64(rf64_size, len(data)), rf64_data], claimed=0xFFFFFFFF,
                                        magic=b"RF64"), NOT_WAVE)
    c.fails("rf64-ds64-cut-short", riff([chunk(b"ds64", u64(rf64_size) + u32(len(data))), fmt_chunk, rf64_data],
                                        claimed=0xFFFFFFFF, magic=b"RF64"), NOT_WAVE)
    c.fails("rf64-data-size-too-large", rf64(ds64(rf64_size, len(data) + 1000), rf64_data), SHORT_DATA)
    c.fails("rf64-data-size-huge", rf64(ds64(rf64_size, 0xFFFFFFFFFFFFFFF0), rf64_data), SHORT_DATA)
    same_as_plain("rf64-riff-size-huge", rf64(ds64(0xFFFFFFFFFFFFFFFF, len(data)), rf64_data))
    c.fails("rf64-riff-size-zero", rf64(ds64(0, len(data)), rf64_data), NO_FORMAT)
    c.fails("rf64-data-size-zero", rf64(ds64(rf64_size, 0), rf64_data), EMPTY_DATA)

    # Thousands of tiny chunks: the search walks them all, neither loops nor gives up.
    tiny = [chunk(b"tiny", b"") for _ in range(5000)]
    same_as_plain("many-empty-chunks-before-fmt", riff(tiny + chunks))
    odd_tiny = [chunk(b"byte", bytes([i & 0x7F])) for i in range(3000)]
    same_as_plain("many-one-byte-chunks-between", riff([chunks[0]] + odd_tiny + [chunks[1]]))
    c.fails("many-chunks-and-no-data", riff([chunks[0]] + tiny * 2), NO_DATA)

    # The format chunk: missing, too short, oversized, twice.
    c.fails("fmt-missing", riff([chunk(b"data", data)]), NO_FORMAT)
    c.fails("fmt-empty", riff([chunk(b"fmt ", b""), chunk(b"data", data)]), BAD_PCM)
    c.fails("fmt-14-bytes", riff([chunk(b"fmt ", fmt_record(size=14)), chunk(b"data", data)]), BAD_PCM)
    c.fails("fmt-15-bytes", riff([chunk(b"fmt ", fmt_record(size=15)), chunk(b"data", data)]), BAD_PCM)
    same_as_plain("fmt-oversized", riff([chunk(b"fmt ", fmt_record(size=300)), data_chunk]))
    same_as_plain("fmt-twice-first-wins",
                  riff([fmt_chunk, chunk(b"fmt ", fmt_record(channels=2, rate=44100)), data_chunk]))
    c.fails("fmt-twice-first-broken",
            riff([chunk(b"fmt ", fmt_record(tag=3, bits=32)), fmt_chunk, data_chunk]),
            UNSUPPORTED)
    c.fails("fmt-only-inside-list", riff([chunk(b"LIST", b"INFO" + chunks[0]), chunks[1]]), NO_FORMAT)

    # Format tags: floating point, extensible, compressed.
    c.fails("tag-float", wav(data, tag=3, bits=32), UNSUPPORTED)
    same_as_plain("tag-extensible-pcm", riff([chunk(b"fmt ", extensible_record(1)), data_chunk]))
    c.fails("tag-extensible-float", riff([chunk(b"fmt ", extensible_record(3, bits=32)), data_chunk]),
            UNSUPPORTED)
    c.fails("tag-extensible-cut-short", riff([chunk(b"fmt ", extensible_record(1, size=18)), data_chunk]),
            BAD_PCM)
    for tag, name in ((0, "unknown"), (2, "ms-adpcm"), (6, "alaw"), (7, "mulaw"), (0x11, "ima-adpcm"),
                      (0x55, "mpeg-layer3")):
        c.fails(f"tag-{name}", wav(data, tag=tag), UNSUPPORTED)

    # Channels.
    c.fails("channels-0", wav(data, channels=0, block_align=2), BAD_PCM)
    c.fails("channels-65535-16-bit", wav(data, channels=65535), BAD_PCM)
    wide = bytes((i * 7) & 0xFF for i in range(2 * 65535))
    c.loads("channels-65535-8-bit", wav(wide, channels=65535, bits=8),
            half_band_blocks(len(wide), 65535, bits=8))
    stereo = pcm16(tone(2 * 150))
    c.loads("channels-2-right", wav(stereo, channels=2), half_band_blocks(len(stereo), 2), choice=3)
    c.loads("channels-2-odd-sample-count", wav(stereo[:-2], channels=2), half_band_blocks(len(stereo) - 2, 2),
            choice=4)

    # Sample widths: below 8 bits a sample fills a byte, between byte sizes it is
    # left-justified in whole bytes; 64-bit samples are not read.
    c.fails("bits-0", wav(data, bits=0, block_align=2), UNSUPPORTED)
    for bits in (1, 4, 8, 12, 24, 32):
        width = (bits + 7) // 8
        raw = bytes((i * 37) & 0xFF for i in range(width * 250))
        c.loads(f"bits-{bits}", wav(raw, bits=bits), half_band_blocks(len(raw), bits=bits))
    c.fails("bits-64", wav(bytes(8 * 40), bits=64), UNSUPPORTED)
    c.fails("bits-64-extensible", riff([chunk(b"fmt ", extensible_record(1, bits=64)), chunk(b"data", data)]),
            UNSUPPORTED)

    # Block align.
    c.fails("block-align-0", wav(data, block_align=0), BAD_PCM)
    c.fails("block-align-3", wav(data, block_align=3), BAD_PCM)

    # Rates: the half-band ones, others through the sinc converter, and nonsense.
    c.fails("rate-0", wav(data, rate=0), BAD_PCM)
    c.fails("rate-1", wav(data, rate=1), UNSUPPORTED)
    c.fails("rate-max", wav(data, rate=0xFFFFFFFF), UNSUPPORTED)
    for rate, frames in ((8000, 1000), (48000, 3000)):
        content = pcm16(tone(frames))
        c.loads(f"rate-{rate}", wav(content, rate=rate), converted_blocks(frames, rate))
    c.loads("rate-8000-one-frame", wav(pcm16([1234]), rate=8000), 1)
    for rate in (22050, 44100):
        content = pcm16(tone(1000))
        c.loads(f"rate-{rate}", wav(content, rate=rate), half_band_blocks(len(content), rate=rate))

    # The data chunk: missing, empty, first, too long, odd, a single byte.
    c.fails("data-missing", riff([chunk(b"fmt ", fmt_record())]), NO_DATA)
    c.fails("data-missing-list-instead", riff([fmt_chunk, chunk(b"LIST", b"INFO")]), NO_DATA)
    c.fails("data-only-inside-list", riff([chunks[0], chunk(b"LIST", b"wavl" + chunks[1])]), NO_DATA)
    c.fails("data-empty", riff([chunk(b"fmt ", fmt_record()), chunk(b"data", b"")]), EMPTY_DATA)
    same_as_plain("data-before-fmt", riff([data_chunk, fmt_chunk]))
    c.fails("data-larger-than-file", riff([fmt_chunk, chunk(b"data", data, claimed=len(data) + 1)]),
            SHORT_DATA)
    c.loads("data-one-byte", wav(b"\x7f"), 1)
    c.loads("data-one-byte-8-bit", wav(b"\x80", bits=8), half_band_blocks(1, bits=8))
    c.loads("data-odd-8-bit-stereo", wav(bytes(range(255)), channels=2, bits=8),
            half_band_blocks(255, 2, bits=8), choice=1)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: hostile_wavs.py OUTPUT_FOLDER")
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    corpus = Corpus(folder)
    build(corpus)
    corpus.write_manifest()


if __name__ == "__main__":
    main()
