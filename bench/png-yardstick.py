#!/usr/bin/env python3
"""png-yardstick.py BATCH [BATCH_B] [--corpus DIR] [--rounds N]

The png/inflate yardstick of ../shared/bench/yardsticks.py on its own, for one binary or
two compared: the album of the corpus's 14 PNGs (1 worker, JPEG 120x90 thumbnails) against
zlib alone inflating their IDAT streams (best of 3 per file). On a shared machine the
floor is measured again in every round, next to the albums, and with two binaries the
rounds alternate A, floor, B, so that each ratio is paired with the load of its moment.
Prints per round the wall ratio and the album's CPU seconds, then the medians and the
load average.
"""
import glob, os, resource, shutil, statistics, struct, subprocess, sys, tempfile, time, zlib

args = [a for a in sys.argv[1:]]
rounds, corpus = 5, os.path.expanduser("~/.cache/lumigal-bench/corpus")
if "--rounds" in args:
    i = args.index("--rounds"); rounds = int(args[i + 1]); del args[i:i + 2]
if "--corpus" in args:
    i = args.index("--corpus"); corpus = args[i + 1]; del args[i:i + 2]
if not args:
    print(__doc__); sys.exit(2)
batches = [os.path.abspath(a) for a in args[:2]]
w = tempfile.mkdtemp(prefix="png-yardstick")
env = dict(os.environ, XDG_CONFIG_HOME=w + "/cfg", HOME=w + "/home", LC_ALL="C.UTF-8")
os.makedirs(env["HOME"])
pngs = w + "/pngs"; os.makedirs(pngs)
for p in sorted(glob.glob(corpus + "/photos/*")):
    if p.lower().endswith(".png"):
        shutil.copy(p, pngs)

def album(batch):
    o = tempfile.mkdtemp(dir=w)
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    t = time.perf_counter()
    subprocess.run([batch, "-q", "--jobs=1", "-m", "thumbnails", "--format", "jpeg", "-s", "120x90",
                    "-o", o + "/index.html", pngs], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    t = time.perf_counter() - t
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    shutil.rmtree(o)
    return t, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)

def idat(path):
    data = open(path, "rb").read(); pos = 8; parts = []
    while pos < len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        if kind == b"IDAT":
            parts.append(data[pos + 8:pos + 8 + n])
        pos += 12 + n
    return b"".join(parts)

blobs = [idat(p) for p in sorted(glob.glob(pngs + "/*"))]

def floor():
    total = 0.0
    for blob in blobs:
        best = 1e9
        for _ in range(3):
            t = time.perf_counter(); zlib.decompress(blob); best = min(best, time.perf_counter() - t)
        total += best
    return total

try:
    for b in batches:
        album(b)  # the page cache
    ratios = [[] for _ in batches]; cpus = [[] for _ in batches]
    for r in range(rounds):
        line = []
        for i, b in enumerate(batches):
            t, cpu = album(b)
            f = floor()
            ratios[i].append(t / f); cpus[i].append(cpu)
            line.append("%s %.3f (%.2f s / %.2f s, cpu %.2f s)" % ("AB"[i], t / f, t, f, cpu))
        print("round %d: " % (r + 1) + "; ".join(line), flush=True)
finally:
    shutil.rmtree(w, ignore_errors=True)
for i, b in enumerate(batches):
    print("%s png/inflate %.3f (%.3f-%.3f), album cpu %.2f s  %s" % (
        "AB"[i], statistics.median(ratios[i]), min(ratios[i]), max(ratios[i]), statistics.median(cpus[i]), b))
if len(batches) == 2:
    paired = [a / b for a, b in zip(ratios[0], ratios[1])]
    print("A/B per round: median %.3f (%.3f-%.3f)" % (statistics.median(paired), min(paired), max(paired)))
print("load " + open("/proc/loadavg").read().split()[0])
