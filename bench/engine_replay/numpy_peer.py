#!/usr/bin/python3
"""The script a user would write instead of the engine, timed on the same
recording as bench_engine_replay: read the sample datagrams, Sv and TS of
every sample, and the strongest echo as the bottom; in float32 and float64.

    /usr/bin/python3 bench/engine_replay/numpy_peer.py build/bench/engine_replay/bench_engine_replay

Runs the benchmark on a recording it keeps in a temporary folder, times
numpy (Debian's python3-numpy) on that file and prints the ratios: above 1
the engine is faster.
"""
import json
import os
import subprocess
import sys
import tempfile
import time

import numpy as np

DB_PER_UNIT = 0.011758984
RAW0 = int.from_bytes(b"RAW0", "little")


def read_channels(data):
    """The power words of every channel as one array of pings x samples,
    with the header values of its first sample datagram."""
    view = memoryview(data)
    heads, counts, offsets = {}, {}, {}
    at = 0
    while at + 8 <= len(data):
        n = int.from_bytes(view[at:at + 4], "little")
        body = at + 4
        if body + n + 4 > len(data):
            break
        if n >= 84 and int.from_bytes(view[body:body + 4], "little") == RAW0:
            channel = int.from_bytes(view[body + 12:body + 14], "little")
            if channel not in heads:
                heads[channel] = np.frombuffer(data, dtype="<f4", count=17, offset=body + 16)
                counts[channel] = int.from_bytes(view[body + 80:body + 84], "little")
                offsets[channel] = []
            offsets[channel].append(body + 84)
        at = body + n + 4
    for channel, h in heads.items():
        power = np.stack([np.frombuffer(data, dtype="<i2", count=counts[channel], offset=o)
                          for o in offsets[channel]])
        yield h, power


def process(data, dtype):
    """Sv, TS and the bottom of every ping, a whole channel at a time, as a
    user's script does; the number of channel pings."""
    pings = 0
    for h, power in read_channels(data):
        frequency, transmit, pulse = h[1], h[2], h[3]
        interval, velocity, absorption = h[5], h[6], h[7]
        r = np.arange(1, power.shape[1] + 1, dtype=dtype) * dtype(interval * velocity * 0.5)
        wavelength = velocity / frequency
        c_ts = -(10 * np.log10(transmit) + 2 * 26.0 + 20 * np.log10(wavelength / (4 * np.pi)))
        c_sv = c_ts - (-21.0) - 10 * np.log10(pulse * velocity / 2)
        loss = dtype(2) * dtype(absorption) * r
        tvg_sv = (dtype(20) * np.log10(r) + loss + dtype(c_sv)).astype(dtype)
        tvg_ts = (dtype(40) * np.log10(r) + loss + dtype(c_ts)).astype(dtype)
        db = power.astype(dtype) * dtype(DB_PER_UNIT)
        sv = db + tvg_sv
        ts = db + tvg_ts
        bottom = np.argmax(sv[:, 10:], axis=1) + 10
        del ts
        pings += bottom.size
    return pings


def time_peer(path, dtype, rounds=7):
    # A first round warms numpy and the page cache; the best round counts.
    with open(path, "rb") as f:
        process(f.read(), dtype)
    best = None
    pings = 0
    for _ in range(rounds):
        start = time.perf_counter()
        with open(path, "rb") as f:
            data = f.read()
        pings = process(data, dtype)
        took = time.perf_counter() - start
        best = took if best is None else min(best, took)
    return best / pings  # seconds a channel ping


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    bench = sys.argv[1]
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "engine.raw")
        env = dict(os.environ, ZV_BENCH_ENGINE_FILE=path)
        run = subprocess.run([bench, "--benchmark_filter=BM_EngineReplay|BM_MemcpyPing", "--benchmark_format=json"],
                             env=env, check=True, capture_output=True, text=True)
        results = {b["name"]: b for b in json.loads(run.stdout)["benchmarks"]}
        engine = {}
        for name, b in results.items():
            if name.startswith("BM_EngineReplay"):
                # CPU seconds for one ping of every channel.
                engine[name.split("/")[1]] = b["cpu_time"] * 1e-6 / 4
        peers = {"float32": time_peer(path, np.float32), "float64": time_peer(path, np.float64)}
    memcpy = next(b for n, b in results.items() if n.startswith("BM_MemcpyPing"))
    replay = next(b for n, b in results.items() if n.startswith("BM_EngineReplay/0"))
    print("engine, one channel ping: bottom only %.1f us, with Sv and TS %.1f us"
          % (engine["0"] * 1e6, engine["1"] * 1e6))
    for kind, seconds in peers.items():
        print("numpy %s, one channel ping: %.1f us; engine with Sv and TS is %.2fx as fast"
              % (kind, seconds * 1e6, seconds / engine["1"]))
    print("bottom only: %.1f %% of memcpy bandwidth"
          % (100.0 * replay["bytes_per_second"] / memcpy["bytes_per_second"]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
