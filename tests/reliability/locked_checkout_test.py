#!/usr/bin/env python3
"""As root, runs the malformed-image test as it runs from a checkout in a
folder no other user may enter (a home folder of mode 700): the program, the
test scripts, the scratch folder and the settings all lie below such a folder.
Its cases must still run as the unprivileged user, every one of them, pass,
and leave no scratch folder behind. Skipped (77) when not run as root, or when
this system cannot run a program as another user at all.

usage: locked_checkout_test.py LUMIGAL_BATCH SCRATCH_DIR
"""
import os
import re
import shutil
import subprocess
import sys

BATCH, SCRATCH = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
HERE = os.path.dirname(os.path.abspath(__file__))
if os.geteuid() != 0:
    print('not root: every program runs as the calling user, nothing to show')
    sys.exit(77)

shutil.rmtree(SCRATCH, ignore_errors=True)
LOCKED = SCRATCH + '/locked'
for sub in ('src', 'build', 'home', 'config'):
    os.makedirs(LOCKED + '/' + sub)
os.chmod(LOCKED, 0o700)
for name in ('malformed_images_test.py', 'make_malformed_corpus.py'):
    shutil.copy(HERE + '/' + name, LOCKED + '/src/')
shutil.copy(BATCH, LOCKED + '/build/')
fails = []
try:
    # Without this the folder would not be locked for that user, and the test would show nothing.
    try:
        if subprocess.run(['setpriv', '--reuid=65534', '--regid=65534', '--clear-groups',
                           'test', '-x', LOCKED]).returncode == 0:
            fails.append('uid 65534 can enter %s' % LOCKED)
    except OSError:
        pass  # no setpriv: the malformed-image test says so and stops with 77
    env = dict(os.environ, HOME=LOCKED + '/home', XDG_CONFIG_HOME=LOCKED + '/config', LUMIGAL_DROP_REQUIRED='1')
    proc = subprocess.run([sys.executable, LOCKED + '/src/malformed_images_test.py',
                           LOCKED + '/build/' + os.path.basename(BATCH), LOCKED + '/build/tmp'],
                          env=env, capture_output=True, text=True)
    sys.stdout.write(proc.stdout)
    sys.stderr.write(proc.stderr[-3000:])
    if proc.returncode == 77:
        sys.exit(77)
    runs = re.search(r'^malformed images: \d+ cases, (\d+) runs$', proc.stdout, re.M)
    as_runner = re.search(r'^runs as uid 65534 in (\S+): (\d+)$', proc.stdout, re.M)
    if proc.returncode != 0:
        fails.append('the malformed-image test failed (status %d)' % proc.returncode)
    if not (runs and as_runner and as_runner.group(2) == runs.group(1) and int(runs.group(1)) > 0):
        fails.append('not every run was made as uid 65534')
    elif os.path.exists(as_runner.group(1)):
        fails.append('scratch folder %s left behind' % as_runner.group(1))
finally:
    shutil.rmtree(SCRATCH, ignore_errors=True)
for what in fails:
    print('FAIL:', what, file=sys.stderr)
print('locked checkout: %d failures' % len(fails))
sys.exit(1 if fails else 0)
