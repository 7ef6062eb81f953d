#!/usr/bin/env python3
"""Crash-safe settings: a helper saves the settings in a loop and is killed
with SIGKILL at a random point, 200 times. After each kill the settings file
must be present and readable, and hold exactly the last generation the helper
reported saved or the one it was saving (every typed value compared).

usage: settings_kill_test.py SETTINGS_SAVER SCRATCH_DIR
"""
import os
import random
import shutil
import signal
import subprocess
import sys
import time

SAVER, SCRATCH = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
RUNS = 200
shutil.rmtree(SCRATCH, ignore_errors=True)
os.makedirs(SCRATCH)
STORE = SCRATCH + '/store'
FILE = STORE + '/Software/Lumigal.reg'
rng = random.Random(int(os.environ.get('LUMIGAL_KILL_SEED', '7')))

damaged = missing = wrong = 0
committed = None  # generation known to be stored
first = 1
saves = 0
for run in range(RUNS):
    proc = subprocess.Popen([SAVER, 'save', STORE, str(first)], stdout=subprocess.PIPE)
    out = []
    if run % 2:
        # Every other run is killed only after a first save, however slow the machine.
        out.append(proc.stdout.readline())
    time.sleep(rng.uniform(0.0, 0.03))
    proc.send_signal(signal.SIGKILL)
    out = b''.join(out + [proc.communicate()[0]]).split()
    if proc.returncode not in (-signal.SIGKILL, ):
        print('FAIL: run %d: helper ended with %d before the kill' % (run, proc.returncode), file=sys.stderr)
        wrong += 1
    printed = [int(x) for x in out]
    saves += len(printed)
    last = printed[-1] if printed else committed
    pending = (last + 1) if printed else first
    if not os.path.exists(FILE):
        # Before the first save ever the key may not be there yet.
        if committed is not None or printed:
            missing += 1
            print('FAIL: run %d: settings file missing' % run, file=sys.stderr)
        first = pending + 1
        continue
    check = subprocess.run([SAVER, 'check', STORE, str(last if last is not None else pending), str(pending)],
                           capture_output=True)
    if check.returncode == 2:
        damaged += 1
        print('FAIL: run %d: settings unreadable: %s' % (run, check.stderr.decode(errors='replace')),
              file=sys.stderr)
    elif check.returncode != 0:
        if committed is None and not printed:
            pass  # only the empty key created before any save: nothing to compare
        else:
            wrong += 1
            print('FAIL: run %d: stored values are neither generation %s nor %d' % (run, last, pending),
                  file=sys.stderr)
    else:
        committed = int(check.stdout.split()[0])
    first = pending + 1
print('settings kills: %d runs, %d saves completed' % (RUNS, saves))
print('damaged settings files: %d' % damaged)
print('missing settings files: %d' % missing)
print('values not round-tripped: %d' % wrong)
sys.exit(1 if damaged or missing or wrong or saves < RUNS // 2 else 0)
