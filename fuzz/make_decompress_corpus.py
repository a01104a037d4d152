#!/usr/bin/env python3
# Makes the decompressor fuzz target's seed corpus: valid zlib streams of
# several sizes, levels, strategies and window sizes, so that mutations start
# from inputs that reach the inflate paths past the stream header. Each seed
# is laid out as the target reads it: the expected length divided by 16 as
# two big-endian bytes, then the stream.
# Usage: make_decompress_corpus.py [DIR]
import os
import random
import sys
import zlib

out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__),
                                                          "decompress_corpus")
os.makedirs(out, exist_ok=True)
rng = random.Random(8)

text = b"".join(b"line %d of a catalogue entry, author %d\n" % (i, i % 7) for i in range(200))
noise = bytes(rng.getrandbits(8) for _ in range(1500))
runs = b"".join(bytes([c]) * rng.randint(1, 40) for c in b"aaabbbcdeffff" * 20)


def stream(data, level=1, strategy=zlib.Z_DEFAULT_STRATEGY, wbits=15, zdict=None, flushes=1):
    packer = zlib.compressobj(level, zlib.DEFLATED, wbits, 8, strategy,
                              **({"zdict": zdict} if zdict else {}))
    step = max(1, len(data) // flushes)
    packed = b""
    for at in range(0, len(data), step):
        packed += packer.compress(data[at:at + step])
        if flushes > 1:
            packed += packer.flush(zlib.Z_FULL_FLUSH)
    return packed + packer.flush()


def seed(name, data, packed, slack=0):
    expected = (len(data) + slack + 15) // 16
    with open(os.path.join(out, name), "wb") as f:
        f.write(expected.to_bytes(2, "big") + packed)


seed("empty", b"", stream(b""), slack=16)
seed("short_level1", b"abc", stream(b"abc"))
seed("text_level1", text[:3000], stream(text[:3000]))
seed("text_level9", text, stream(text, level=9))
seed("text_bound_larger", text[:2000], stream(text[:2000]), slack=4000)
# A bound shorter than the output: the decompressor must stop at it.
seed("text_bound_shorter", text[:3000], stream(text[:3000]), slack=-1000)
seed("noise_stored", noise, stream(noise, level=0))
seed("noise_level6", noise, stream(noise, level=6))
seed("runs_rle", runs, stream(runs, strategy=zlib.Z_RLE))
seed("runs_huffman_only", runs, stream(runs, strategy=zlib.Z_HUFFMAN_ONLY))
seed("text_fixed_codes", text[:2500], stream(text[:2500], strategy=zlib.Z_FIXED))
seed("text_small_window", text, stream(text, level=9, wbits=9))
seed("text_full_flushes", text[:3000], stream(text[:3000], flushes=5))
# Long output from a short stream: a back-reference chain that inflates to
# 60000 bytes.
seed("zeros_60000", bytes(60000), stream(bytes(60000), level=9))
# A stream that asks for a preset dictionary, which the decompressor has not.
seed("needs_dictionary", text[:500], stream(text[:500], zdict=text[500:900]))
