#!/usr/bin/python3
"""Prints what the game hears of sound files: each is decoded with libsndfile into 16-bit samples,
as the game decodes it (MP3s included, with the encoder's lead-in and padding dropped by
libsndfile), without any scaling.

    sound-stats.py FILE...          one line a file: frames, rate, channels, seconds,
                                    peak and RMS in dBFS, seam step and 99th percentile of steps
    sound-stats.py --peak FILE      prints the peak in dBFS only
    sound-stats.py --rms FILE       prints the RMS in dBFS only
    sound-stats.py --float-peak FILE
                                    prints the peak in dBFS of the file read as floating point, so a
                                    floating-point file that passes full scale shows above 0
    sound-stats.py --seam FILE      exit status 1 when the jump from the last frame back to the
                                    first is larger than the 99th percentile of the file's
                                    sample-to-sample steps (on any channel)

Needs: python3 and libsndfile1 (loaded through ctypes; no other package).
"""

import array
import ctypes
import ctypes.util
import math
import sys


class SfInfo(ctypes.Structure):
    _fields_ = [("frames", ctypes.c_int64), ("samplerate", ctypes.c_int), ("channels", ctypes.c_int),
                ("format", ctypes.c_int), ("sections", ctypes.c_int), ("seekable", ctypes.c_int)]


_lib = ctypes.CDLL(ctypes.util.find_library("sndfile") or "libsndfile.so.1")
_lib.sf_open.restype = ctypes.c_void_p
_lib.sf_open.argtypes = [ctypes.c_char_p, ctypes.c_int, ctypes.POINTER(SfInfo)]
_lib.sf_readf_short.restype = ctypes.c_int64
_lib.sf_readf_short.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int64]
_lib.sf_readf_float.restype = ctypes.c_int64
_lib.sf_readf_float.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int64]
_lib.sf_close.argtypes = [ctypes.c_void_p]
SFM_READ = 0x10


def _read(path, ctype, readf, each):
    """Decodes the file block by block as ctype, calling each(buffer, samples in it); returns its SfInfo."""
    info = SfInfo()
    f = _lib.sf_open(path.encode(), SFM_READ, ctypes.byref(info))
    if not f:
        raise SystemExit(f"sound-stats: libsndfile cannot read {path}")
    block = 4096
    buf = (ctype * (block * info.channels))()
    try:
        while (got := readf(f, buf, block)) > 0:
            each(buf, got * info.channels)
    finally:
        _lib.sf_close(f)
    return info


def decode(path):
    """(rate, channels, interleaved samples as array('h'))."""
    out = array.array("h")
    info = _read(path, ctypes.c_short, _lib.sf_readf_short,
                 lambda buf, n: out.frombytes(bytes(memoryview(buf).cast("B")[: n * 2])))
    return info.samplerate, info.channels, out


def float_peak(path):
    """The largest absolute sample value of the file read as floating point (1.0 is full scale)."""
    top = 0.0

    def widen(buf, n):
        nonlocal top
        top = max(top, max(abs(v) for v in buf[:n]))

    _read(path, ctypes.c_float, _lib.sf_readf_float, widen)
    return top


def db(x):
    return 20 * math.log10(x) if x > 0 else -math.inf


def peak(samples):
    return db(max((abs(s) for s in samples), default=0) / 32768)


def rms(samples):
    if not samples:
        return -math.inf
    return db(math.sqrt(sum(s * s for s in samples) / len(samples)) / 32768)


def seam(samples, channels):
    """(largest jump at the seam over all channels, smallest 99th percentile of steps over all channels)."""
    worst_jump, p99 = 0, math.inf
    for c in range(channels):
        x = samples[c::channels]
        steps = sorted(abs(x[i + 1] - x[i]) for i in range(len(x) - 1))
        p99 = min(p99, steps[int(0.99 * (len(steps) - 1))])
        worst_jump = max(worst_jump, abs(x[0] - x[-1]))
    return worst_jump, p99


def main():
    args = sys.argv[1:]
    if len(args) == 2 and args[0] == "--float-peak":
        print(f"{db(float_peak(args[1])):.2f}")
        return
    if len(args) == 2 and args[0] in ("--peak", "--rms", "--seam"):
        rate, channels, s = decode(args[1])
        if args[0] == "--peak":
            print(f"{peak(s):.2f}")
        elif args[0] == "--rms":
            print(f"{rms(s):.2f}")
        else:
            jump, p99 = seam(s, channels)
            print(f"seam step {jump}, 99th percentile of steps {p99}")
            sys.exit(0 if jump <= p99 else 1)
        return
    if not args or args[0].startswith("-"):
        sys.exit(__doc__)
    for path in args:
        rate, channels, s = decode(path)
        frames = len(s) // channels
        line = (f"{path.rsplit('/', 1)[-1]:18} {frames:8d} frames {rate:5d} Hz {channels} ch "
                f"{frames / rate:6.2f} s  peak {peak(s):6.2f} dBFS  RMS {rms(s):6.2f} dBFS")
        if path.endswith(".mp3"):
            jump, p99 = seam(s, channels)
            line += f"  seam {jump} (p99 {p99})"
        print(line)


if __name__ == "__main__":
    main()
