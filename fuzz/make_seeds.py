#!/usr/bin/env python3
"""Writes the fuzz seed corpus: a few tiny WAV files covering the header
walk's paths (plain, extra and padded chunks, fmt after data, 8/24-bit,
extensible, a truncated data chunk). Usage: make_seeds.py [folder]."""
import os
import struct
import sys


def chunk(cid, body, pad=False, declared=None):
    size = len(body) if declared is None else declared
    data = cid + struct.pack('<I', size) + body
    if pad and len(body) % 2:
        data += b'\0'
    return data


def fmt(tag, channels, rate, bits, extra=b''):
    align = channels * (bits // 8)
    return chunk(b'fmt ', struct.pack('<HHIIHH', tag, channels, rate, rate * align, align, bits) + extra)


def riff(*chunks):
    inner = b'WAVE' + b''.join(chunks)
    return b'RIFF' + struct.pack('<I', len(inner)) + inner


def samples16(frames, channels):
    return b''.join(struct.pack('<h', (f * 997 + c * 31) % 65536 - 32768)
                    for f in range(frames) for c in range(channels))


SEEDS = {
    'plain16.wav': riff(fmt(1, 2, 44100, 16), chunk(b'data', samples16(24, 2))),
    'mono8.wav': riff(fmt(1, 1, 8000, 8), chunk(b'data', bytes(range(0, 256, 5)))),
    'list_padded.wav': riff(chunk(b'LIST', b'INFOabc', pad=True), fmt(1, 1, 22050, 16),
                            chunk(b'data', samples16(16, 1))),
    'fmt_after_data.wav': riff(chunk(b'data', samples16(8, 1)), fmt(1, 1, 11025, 16)),
    'pcm24.wav': riff(fmt(1, 2, 48000, 24, b'\0\0'), chunk(b'data', bytes(range(60)))),
    'extensible.wav': riff(fmt(0xFFFE, 2, 44100, 16, b'\x16\0' + bytes(22)), chunk(b'data', bytes(16))),
    'truncated.wav': riff(fmt(1, 1, 8000, 16), chunk(b'data', samples16(10, 1), declared=0xFFFFFFFF)),
}


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), 'seeds')
    os.makedirs(folder, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(folder, name), 'wb') as out:
            out.write(data)


if __name__ == '__main__':
    main()
