#!/usr/bin/env python3
"""formats-yardstick.py BATCH [BATCH_B] [--corpus DIR] [--rounds N] [--each] [--jobs N]

The formats/vips yardstick of ../shared/bench/yardsticks.py on its own, for one binary or two
compared: WebP, HEIC, AVIF and TIFF versions of the corpus's first three JPEG photos (made as
yardsticks.py makes them: convert -resize 1600x1600>), the album (2 workers, JPEG 120x90
thumbnails) against vipsthumbnail at its best on the same files (two processes, each given
half of the files in one command line, VIPS_CONCURRENCY=1). Each round runs A, the
yardstick, then B, so that every ratio is paired with the load of its moment.

--each also measures each format on its own (its three files, the same pairing).
--jobs N changes the album's workers (and the yardstick's processes) from 2.
Prints per round the wall ratios, then the medians and the load average.
"""
import glob, os, shutil, statistics, subprocess, sys, tempfile, time

args = sys.argv[1:]
rounds, corpus, each, jobs = 7, os.path.expanduser("~/.cache/lumigal-bench/corpus"), False, 2
if "--rounds" in args:
    i = args.index("--rounds"); rounds = int(args[i + 1]); del args[i:i + 2]
if "--corpus" in args:
    i = args.index("--corpus"); corpus = args[i + 1]; del args[i:i + 2]
if "--jobs" in args:
    i = args.index("--jobs"); jobs = int(args[i + 1]); del args[i:i + 2]
if "--each" in args:
    args.remove("--each"); each = True
if not args:
    print(__doc__); sys.exit(2)
batches = [os.path.abspath(a) for a in args[:2]]
w = tempfile.mkdtemp(prefix="formats-yardstick")
env = dict(os.environ, XDG_CONFIG_HOME=w + "/cfg", HOME=w + "/home", LC_ALL="C.UTF-8",
           VIPS_CONCURRENCY="1")
os.makedirs(env["HOME"])
EXTS = ("webp", "heic", "avif", "tif")


def timed(cmds):
    t = time.perf_counter()
    ps = [subprocess.Popen(c, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) for c in cmds]
    for p in ps:
        p.wait()
    return time.perf_counter() - t


def album(batch, folder):
    o = tempfile.mkdtemp(dir=w)
    t = timed([[batch, "-q", "--jobs=%d" % jobs, "-m", "thumbnails", "--format", "jpeg", "-s", "120x90",
                "-o", o + "/index.html", folder]])
    shutil.rmtree(o)
    return t


def vips(files):
    o = tempfile.mkdtemp(dir=w)
    parts = [files[i::jobs] for i in range(jobs)]
    t = timed([["vipsthumbnail", "--size", "120x90!", "-o", o + "/%s.jpg[Q=99]"] + p for p in parts if p])
    shutil.rmtree(o)
    return t


try:
    photos = sorted(glob.glob(corpus + "/photos/*"))
    sets = {"all": (w + "/formats", [])}
    os.makedirs(sets["all"][0])
    for i, p in enumerate([p for p in photos if p.lower().endswith(".jpg")][:3]):
        for ext in EXTS:
            f = "%s/f%d.%s" % (sets["all"][0], i, ext)
            if subprocess.run(["convert", p, "-resize", "1600x1600>", f], capture_output=True).returncode == 0:
                sets["all"][1].append(f)
    if each:
        for ext in EXTS:
            d = w + "/" + ext; os.makedirs(d)
            files = [shutil.copy(f, d) for f in sets["all"][1] if f.endswith("." + ext)]
            sets[ext] = (d, sorted(files))
    for name, (d, files) in sets.items():
        for b in batches:
            album(b, d)
        vips(sorted(files))
    ratios = {(n, i): [] for n in sets for i in range(len(batches))}
    for r in range(rounds):
        line = []
        for name, (d, files) in sets.items():
            a = album(batches[0], d)
            v = vips(sorted(files))
            ratios[(name, 0)].append(a / v)
            part = "%s A %.3f" % (name, a / v)
            if len(batches) == 2:
                b = album(batches[1], d)
                ratios[(name, 1)].append(b / v)
                part += " B %.3f" % (b / v)
            line.append(part + " (vips %.3f s)" % v)
        print("round %d: " % (r + 1) + "; ".join(line), flush=True)
finally:
    shutil.rmtree(w, ignore_errors=True)
for name in sets:
    for i, b in enumerate(batches):
        v = ratios[(name, i)]
        print("%s formats/vips %-5s %.3f (%.3f-%.3f)  %s" % (
            "AB"[i], name, statistics.median(v), min(v), max(v), b))
print("load " + open("/proc/loadavg").read().split()[0] + ", jobs %d" % jobs)
