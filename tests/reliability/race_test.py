#!/usr/bin/env python3
"""One name flipped every few milliseconds between a valid PNG, nothing, a
FIFO, a folder, a truncated PNG and a link to /dev/zero while lumigal-batch
makes pages from it: no run may hang (each is bounded by a timeout), crash
or fail to write its page.

usage: race_test.py LUMIGAL_BATCH SCRATCH_DIR
"""
import os
import shutil
import signal
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
from test_images import png  # noqa: E402

BATCH, SCRATCH = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
READS, LIMIT_S = 150, 10.0


shutil.rmtree(SCRATCH, ignore_errors=True)
os.makedirs(SCRATCH + '/out')
NAME = SCRATCH + '/flip.png'
GOOD = png(200, 150)


def clear():
    try:
        if os.path.isdir(NAME) and not os.path.islink(NAME):
            os.rmdir(NAME)
        else:
            os.unlink(NAME)
    except FileNotFoundError:
        pass


def write(data):
    with open(NAME, 'wb') as f:
        f.write(data)


STATES = [lambda: write(GOOD), lambda: None, lambda: os.mkfifo(NAME), lambda: os.mkdir(NAME),
          lambda: write(GOOD[:len(GOOD) // 3]), lambda: os.symlink('/dev/zero', NAME)]
stop = threading.Event()
flips = 0


def flipper():
    global flips
    i = 0
    while not stop.is_set():
        clear()
        STATES[i % len(STATES)]()
        i += 1
        flips += 1
        time.sleep(0.003)


thread = threading.Thread(target=flipper)
thread.start()
hangs = crashes = no_page = 0
slowest = 0.0
# The caller's stored settings stay out of it.
env = dict(os.environ, HOME=SCRATCH + '/out', XDG_CONFIG_HOME=SCRATCH + '/out/config')
try:
    for n in range(READS):
        page = SCRATCH + '/out/page.htm'
        if os.path.exists(page):
            os.remove(page)
        mode = ('thumbnails', 'details', 'plain')[n % 3]
        start = time.monotonic()
        proc = subprocess.Popen([BATCH, '-q', '-m', mode, '--thumb-dir', SCRATCH + '/out', '-o', page, NAME],
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                env=env, start_new_session=True)
        try:
            _, err = proc.communicate(timeout=LIMIT_S)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.communicate()
            hangs += 1
            print('FAIL: read %d (%s) hung' % (n, mode), file=sys.stderr)
            continue
        slowest = max(slowest, time.monotonic() - start)
        if proc.returncode < 0:
            crashes += 1
            print('FAIL: read %d (%s) killed by signal %d' % (n, mode, -proc.returncode), file=sys.stderr)
        elif proc.returncode not in (0, 3) or not os.path.exists(page):  # 3: written without it
            no_page += 1
            print('FAIL: read %d (%s) no page, exit %d: %s' % (n, mode, proc.returncode, err.decode()[-300:]),
                  file=sys.stderr)
finally:
    stop.set()
    thread.join()
    clear()

print('race: %d reads while the name flipped %d times' % (READS, flips))
print('hangs: %d (slowest read %.2f s)' % (hangs, slowest))
print('crashes: %d' % crashes)
print('reads without a page: %d' % no_page)
sys.exit(1 if hangs or crashes or no_page or flips < READS else 0)
