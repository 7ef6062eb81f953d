#!/usr/bin/env python3
"""thumbnail-psnr.py BATCH_A BATCH_B FOLDER [--size WxH]

The thumbnail album of FOLDER (JPEG thumbnails, 120x90 unless --size, 2 workers) made by two
builds of lumigal-batch, and the PSNR of each thumbnail of B against A's (compare -metric
PSNR; "inf" when they are the same pixels). Prints one line per photo, then the worst and the
median. Needs compare (imagemagick).
"""
import glob, math, os, shutil, statistics, subprocess, sys, tempfile

args = sys.argv[1:]
size = "120x90"
if "--size" in args:
    i = args.index("--size"); size = args[i + 1]; del args[i:i + 2]
if len(args) != 3:
    print(__doc__); sys.exit(2)
a, b, folder = [os.path.abspath(x) for x in args]
w = tempfile.mkdtemp(prefix="thumbnail-psnr")
env = dict(os.environ, XDG_CONFIG_HOME=w + "/cfg", HOME=w + "/home", LC_ALL="C.UTF-8")
os.makedirs(env["HOME"])


def album(batch, name):
    o = os.path.join(w, name)
    subprocess.run([batch, "-q", "--jobs=2", "-m", "thumbnails", "--format", "jpeg", "-s", size,
                    "-o", o + "/index.html", folder], env=env, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return {os.path.basename(p): p for p in glob.glob(o + "/**/*.jpg", recursive=True)}


try:
    ta, tb = album(a, "a"), album(b, "b")
    values = []
    for name in sorted(ta):
        if name not in tb:
            print("%-40s missing in B" % name); continue
        r = subprocess.run(["compare", "-metric", "PSNR", ta[name], tb[name], "null:"],
                           capture_output=True, text=True)
        text = r.stderr.strip().split()[0] if r.stderr.strip() else "?"
        v = math.inf if text == "inf" else float(text) if text.replace(".", "", 1).isdigit() else math.nan
        values.append(v)
        print("%-40s %s" % (name, text))
finally:
    shutil.rmtree(w, ignore_errors=True)
finite = [v for v in values if not math.isnan(v)]
if finite:
    print("thumbnails %d: PSNR worst %.2f dB, median %s dB" % (
        len(values), min(finite), "inf" if statistics.median(finite) == math.inf else "%.2f" % statistics.median(finite)))
