#!/usr/bin/env python3
"""Writes demo/demo.mid, the demonstration phrase for Tarnovelle.

A Standard MIDI File, format 1, 480 ticks per quarter note, about 21 seconds:

  track 0  tempo map: 120 BPM, slowing to 104 BPM for the last two bars
  track 1  channel 1, the lead line
  track 2  channel 2, an answering line

What it plays, in order (times at 120 BPM):
   0 - 4 s   legato line: every note starts before the previous one ends, so
             a monophonic synth glides between them when Glissando is set
             (render with --set "Glissando=120")
   4 - 6 s   a held note with a pitch bend sweep up two semitones and back
   6 - 10 s  a long note under a mod wheel (CC 1) ramp up and down: vibrato
  10 - 14 s  sustain pedal (CC 64) held under short detached notes, released
             at 13.5 s
  14 - 18 s  channel 2 answers, overlapping the last lead note, with a
             downward pitch bend dip; channel 1 stays silent meanwhile
  18 - 21 s  a final note with vibrato, cut by CC 123 (all notes off) on both
             channels instead of a note-off

Run from anywhere: python3 demo/make-demo-midi.py [OUTPUT]
The output is byte-for-byte reproducible (no timestamps, no randomness).

To hear it (paths of a native build):
  build/linux/tools/tarnovelle-render --set "Glissando=120" \
      build/linux/Tarnovelle.vst3 demo/demo.mid demo.wav
"""

import os
import struct
import sys

PPQ = 480
Q = PPQ          # quarter note
E = PPQ // 2     # eighth note
S = PPQ // 4     # sixteenth note
BAR = 4 * Q

CH1 = 0
CH2 = 1


def vlq(value):
    """Variable-length quantity, as used for delta times and lengths."""
    if value < 0 or value > 0x0FFFFFFF:
        raise ValueError("value out of range for a variable-length quantity")
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


class Track:
    def __init__(self):
        self.events = []  # (tick, order, bytes); order keeps insertion order at equal ticks

    def add(self, tick, data):
        self.events.append((tick, len(self.events), bytes(data)))

    def meta(self, tick, kind, payload):
        self.add(tick, bytes([0xFF, kind]) + vlq(len(payload)) + bytes(payload))

    def note(self, channel, key, start, length, velocity=96):
        self.add(start, [0x90 | channel, key, velocity])
        # Note-on with velocity 0 as the note-off: lets running status
        # carry whole passages.
        self.add(start + length, [0x90 | channel, key, 0])

    def cc(self, channel, tick, controller, value):
        self.add(tick, [0xB0 | channel, controller, value])

    def bend(self, channel, tick, value):
        value = max(0, min(16383, int(round(value))))
        self.add(tick, [0xE0 | channel, value & 0x7F, value >> 7])

    def encode(self):
        body = bytearray()
        last_tick = 0
        running = None
        for tick, _, data in sorted(self.events, key=lambda e: (e[0], e[1])):
            body += vlq(tick - last_tick)
            last_tick = tick
            status = data[0]
            if status < 0xF0 and status == running:
                body += data[1:]  # running status
            else:
                body += data
                # Meta and sysex events cancel running status.
                running = status if status < 0xF0 else None
        body += vlq(0) + bytes([0xFF, 0x2F, 0x00])
        return b"MTrk" + struct.pack(">I", len(body)) + bytes(body)


def ramp(track, channel, start, length, step, function):
    """Adds points of function(fraction 0..1) every `step` ticks, end included."""
    tick = 0
    while tick <= length:
        function(track, channel, start + tick, tick / length)
        tick += step


def legato(track, channel, start, notes, overlap=E // 2):
    """Plays (key, length) pairs back to back, each held `overlap` ticks into the next."""
    tick = start
    for i, (key, length) in enumerate(notes):
        last = i == len(notes) - 1
        track.note(channel, key, tick, length + (0 if last else overlap))
        tick += length
    return tick


def build():
    tempo = Track()
    tempo.meta(0, 0x03, b"Tarnovelle demo")
    tempo.meta(0, 0x58, [4, 2, 24, 8])                   # 4/4
    tempo.meta(0, 0x51, struct.pack(">I", 500000)[1:])   # 120 BPM
    tempo.meta(9 * BAR, 0x51, struct.pack(">I", 576923)[1:])  # 104 BPM

    lead = Track()
    lead.meta(0, 0x03, b"Lead (channel 1)")
    lead.cc(CH1, 0, 1, 0)        # mod wheel off
    lead.cc(CH1, 0, 64, 0)       # pedal up
    lead.bend(CH1, 0, 8192)      # bend centred

    # Bars 1-2: legato line in A minor.
    legato(lead, CH1, 0, [(57, E), (60, E), (64, Q), (62, E), (60, E), (64, E), (69, E),
                          (67, Q), (64, E), (62, E), (60, Q), (64, Q)])

    # Bar 3: held E4, pitch bend up two semitones (assuming a +-2 range:
    # full scale) over a half note, then back.
    start = 2 * BAR
    lead.note(CH1, 64, start, BAR - S)
    ramp(lead, CH1, start + Q // 2, Q + E, 20,
         lambda t, c, tick, f: t.bend(c, tick, 8192 + f * 8191))
    ramp(lead, CH1, start + 2 * Q + E, Q, 20,
         lambda t, c, tick, f: t.bend(c, tick, 16383 - f * 8191))

    # Bars 4-5: A4 held for two bars under a mod wheel swell.
    start = 3 * BAR
    lead.note(CH1, 69, start, 2 * BAR - S)
    ramp(lead, CH1, start + Q, 3 * Q, 30,
         lambda t, c, tick, f: t.cc(c, tick, 1, int(round(f * 127))))
    ramp(lead, CH1, start + BAR + Q, 2 * Q, 30,
         lambda t, c, tick, f: t.cc(c, tick, 1, int(round((1 - f) * 127))))

    # Bars 6-7: sustain pedal under short notes; the pedal lifts near the end.
    start = 5 * BAR
    lead.cc(CH1, start - S, 64, 127)
    for i, key in enumerate([57, 64, 60, 67, 64, 72, 69, 67]):
        lead.note(CH1, key, start + i * E + (i // 4) * BAR // 2, S, velocity=70 + 6 * (i % 4))
    lead.cc(CH1, start + BAR + 3 * Q, 64, 0)

    # Bar 8: the lead ends a line that channel 2 picks up before it stops.
    start = 7 * BAR
    legato(lead, CH1, start, [(64, Q), (62, Q), (60, Q + E)], overlap=S)

    # Bars 8-9: channel 2 answers from the middle of the last lead note.
    answer = Track()
    answer.meta(0, 0x03, b"Answer (channel 2)")
    answer.bend(CH2, 0, 8192)
    start = 7 * BAR + 2 * Q + Q // 2
    end = legato(answer, CH2, start, [(55, E), (57, E), (60, Q), (59, E), (57, E), (55, Q + E),
                                      (52, Q), (55, Q)], overlap=S)
    # Downward bend dip on the held G3 (the sixth note, 3 quarters in).
    dip = start + 3 * Q
    ramp(answer, CH2, dip, Q, 20, lambda t, c, tick, f: t.bend(c, tick, 8192 - f * 4096))
    ramp(answer, CH2, dip + Q, E, 20, lambda t, c, tick, f: t.bend(c, tick, 4096 + f * 4096))

    # Bar 10: the last note, vibrato from the mod wheel, cut by all notes off.
    start = max(9 * BAR, end)
    lead.note(CH1, 69, start, 10 * BAR)  # its note-off comes long after CC 123
    ramp(lead, CH1, start + E, Q + E, 30,
         lambda t, c, tick, f: t.cc(c, tick, 1, int(round(f * 100))))
    cut = start + 3 * Q + E
    lead.cc(CH1, cut, 123, 0)
    answer.cc(CH2, cut, 123, 0)
    lead.cc(CH1, cut + S, 1, 0)
    # Strip everything after the cut from the lead: the held note's
    # note-off would otherwise come 10 bars later.
    lead.events = [e for e in lead.events if e[0] <= cut + S]

    tracks = [tempo, lead, answer]
    header = b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks), PPQ)
    return header + b"".join(t.encode() for t in tracks)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "demo.mid")
    data = build()
    with open(out, "wb") as f:
        f.write(data)
    print(f"wrote {out} ({len(data)} bytes)")


if __name__ == "__main__":
    main()
