#!/usr/bin/env python3
"""Writes message.wav: a soft two-tone chime (150 ms, 16-bit PCM, 44.1 kHz, mono).

Run once; the WAV it writes is kept next to this script.
"""
import math
import struct
import wave

RATE = 44100
LENGTH = 0.150
TONES = [(0.000, 1046.50), (0.055, 1318.51)]  # C6, then E6 55 ms later
PEAK = 0.28

frames = []
count = int(RATE * LENGTH)
for i in range(count):
    t = i / RATE
    value = 0.0
    for start, freq in TONES:
        if t < start:
            continue
        local = t - start
        attack = min(1.0, local / 0.004)  # 4 ms rise: no click at the onset
        decay = math.exp(-local * 28.0)
        value += attack * decay * math.sin(2 * math.pi * freq * local)
    tail = min(1.0, (LENGTH - t) / 0.010)  # 10 ms fade to silence at the end
    sample = max(-1.0, min(1.0, value * PEAK * tail))
    frames.append(struct.pack('<h', int(sample * 32767)))

with wave.open('message.wav', 'wb') as out:
    out.setnchannels(1)
    out.setsampwidth(2)
    out.setframerate(RATE)
    out.writeframes(b''.join(frames))
