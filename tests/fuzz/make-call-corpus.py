#!/usr/bin/env python3
"""Writes the seed inputs of the call-sequence fuzzer into call-corpus/.

Each call is its code (the CallCode values of tests/CallSequenceHarness.h)
followed by the bytes its arguments take, in the order the harness reads
them; a zero byte mostly chooses the ordinary case, and bytes missing at the
end read as zeros.
"""
import os
import struct

(CREATE, FACTORY_INFO, INITIALIZE, TERMINATE, CONNECT, DISCONNECT, NOTIFY,
 QUERY_INTERFACE, PARAMETER_INFO, STRING_BY_VALUE, VALUE_BY_STRING,
 SET_NORMALIZED, GET_NORMALIZED, CONVERSIONS, MIDI_MAPPING, BUSES,
 ROUTING_INFO, SETUP_PROCESSING, SET_ACTIVE, SET_PROCESSING, PROCESS, TAIL,
 GET_STATE, SET_STATE, CREATE_VIEW, RELEASE, COMPONENT_HANDLER, ARRANGEMENTS,
 SAMPLE_SIZE) = range(29)

# Both objects created, initialized (with a counting context and with the
# host's context), connected both ways, set up at 48 kHz, active, processing.
PROLOGUE = [CREATE, 0, 0, CREATE, 9, 0,
            INITIALIZE, 2, INITIALIZE, 5,
            CONNECT, 0, CONNECT, 1,
            SETUP_PROCESSING, 0, 0, 0, 0, 0, 0, 1,
            SET_ACTIVE, 1, SET_PROCESSING, 1]


def value_raw(x):
    """A value argument given as the bits of a double."""
    return [0] + list(struct.pack('<d', x))


def hidden(n):
    """An ID argument naming hidden parameter 100 + n."""
    return [3, n]


def block_of_256(lying):
    """A 256-sample, 32-bit block into one stereo bus: one note-on and two
    points of the output level, handed over honestly or through lists that
    claim INT32_MAX entries."""
    call = [PROCESS, 5] + [0] * 7
    for _ in range(3):  # buses: two channels, no silence flags, buffers present
        call += [2] + [0] * 8 + [0]
    call += [1]                                      # one event:
    call += [0, 0, 1, 1, 1, 0, 1, 60, 1, 200, 0, 0, 0, 0]  # note-on at 1, channel 0, pitch 60
    call += [1] if lying else [0, 0]                 # count the event list claims
    call += [1, 2, 0, 0, 1, 128, 0, 2, 1, 64]        # one queue: points at 0 and 2
    call += [2] if lying else [0, 0]                 # count the queue claims
    call += [0, 12]                                  # ... of the output level
    call += [0] if lying else [1]                    # count the parameter list claims
    call += [1, 0, 1, 0] + [0] * 12                  # a process context
    call += [0, 1, 0, (2 if lying else 1) + 3 + 24]  # mode, outputs, inputs, which lists
    return call


def padded(call, size):
    return call + [0] * (size - len(call))


SEEDS = {
    # Everything set up, one block, state saved and restored, torn down.
    'lifecycle': PROLOGUE + block_of_256(False) + [GET_STATE, 4, 0, 0]
    + [SET_STATE, 0] + [0, 77] * 16 + [0, 0, 0, 0, 0, TAIL],
    # Lists whose counts lie, then an absurd sample rate and its tail.
    'lying-lists': PROLOGUE + block_of_256(True)
    + [SETUP_PROCESSING, 0, 0, 0, 0, 0, 0, 4, TAIL],
    # Texts of the hidden parameters at huge and non-finite values, texts
    # that are not numbers, non-finite values set.
    'texts': [CREATE, 9, 0, INITIALIZE, 3]
    + [STRING_BY_VALUE] + hidden(0) + value_raw(1e308) + [0]
    + [STRING_BY_VALUE] + hidden(2) + value_raw(float('inf')) + [0]
    + [VALUE_BY_STRING] + hidden(1) + [0, 9]
    + [VALUE_BY_STRING] + hidden(3) + [3] + [1] * 128
    + [SET_NORMALIZED] + hidden(0) + value_raw(float('nan'))
    + [GET_NORMALIZED] + hidden(0),
    # Indices out of range everywhere.
    'indices': PROLOGUE
    + [FACTORY_INFO, 0, 0, 0, FACTORY_INFO, 1, 2, 0, FACTORY_INFO, 2, 3, 0]
    + [PARAMETER_INFO, 0, PARAMETER_INFO, 1, PARAMETER_INFO, 2]
    + [BUSES, 0, 1, 1, 0, BUSES, 1, 0, 4, 1]
    + [MIDI_MAPPING, 0, 0, 1, 1, 1, 0, ROUTING_INFO, 0, 0, 0],
    # Null out-pointers and messages without attributes.
    'nulls': PROLOGUE
    + [QUERY_INTERFACE, 1, 2, 2, QUERY_INTERFACE, 2, 7, 2, QUERY_INTERFACE, 0, 8, 2]
    + [NOTIFY, 0, 0, 0, 0, 0, 0, 0, 0, 0, NOTIFY, 9, 0, 0, 0, 0, 0, 0, 0, 0]
    + [CREATE_VIEW, 0] + [0] * 15 + [0, CREATE_VIEW, 0] + [0] * 15 + [1]
    + [STRING_BY_VALUE, 0, 3, 2, 3, 15],
    # A second initialize, calls after terminate, and a connected pair
    # released without disconnect or terminate.
    'teardown': PROLOGUE
    + [INITIALIZE, 0, INITIALIZE, 1, TERMINATE, 0, TERMINATE, 1]
    + padded([PROCESS, 3], 64) + [PARAMETER_INFO, 6, INITIALIZE, 2, INITIALIZE, 3]
    + [CONNECT, 0, CONNECT, 1, RELEASE, 0, RELEASE, 1],
}


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'call-corpus')
    os.makedirs(folder, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(folder, name + '.bin'), 'wb') as f:
            f.write(bytes(b & 0xFF for b in data))


if __name__ == '__main__':
    main()
