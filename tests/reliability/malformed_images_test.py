#!/usr/bin/env python3
"""Runs lumigal-batch over the malformed-image corpus, files one by one and the
folder scanned with -r, in every page mode, and checks the figures: no crash,
no run over 10 s, peak memory under 300 MB, every bad file named on standard
error, the page written every time, no coder outside the six formats.

Started as root (root ignores permissions), it runs the program as uid 65534
in a scratch folder of its own below the system's temporary folder, made
reachable for that user and removed afterwards: the checkout may lie where
that user cannot enter. When that user cannot run the program there, it says
so and runs the cases as root, the permission cases then unchecked; with
LUMIGAL_DROP_REQUIRED=1 it then stops with status 77 (skipped) instead.

usage: malformed_images_test.py LUMIGAL_BATCH SCRATCH_DIR
"""
import atexit
import os
import re
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time

BATCH, SCRATCH = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
HERE = os.path.dirname(os.path.abspath(__file__))
# Looser bounds only under the sanitizers (scripts/sanitize-and-fuzz.sh).
LIMIT_S = float(os.environ.get('LUMIGAL_RUN_SECONDS', '10'))
LIMIT_MB = int(os.environ.get('LUMIGAL_PEAK_MB', '300'))
ALLOWED_CODERS = {'png', 'jpeg', 'gif', 'bmp', 'dib', 'xbm', 'webp', 'heic', 'tiff'}
RUNNER = 65534
AS_RUNNER = ['setpriv', '--reuid=%d' % RUNNER, '--regid=%d' % RUNNER, '--clear-groups']
os.umask(0o022)  # whatever the caller's umask, the runner must read the corpus


def lay_out(scratch, owner):
    """The corpus and the program's home, settings and output folders below
    scratch. The folders the program writes to (the corpus too: the MSL marker
    goes there) belong to owner when given."""
    for sub in ('out/thumbs', 'home', 'config'):
        os.makedirs(scratch + '/' + sub)
    subprocess.run([sys.executable, HERE + '/make_malformed_corpus.py', scratch + '/corpus'], check=True)
    if owner is not None:
        for sub in ('corpus', 'out', 'out/thumbs', 'home', 'config'):
            os.chown(scratch + '/' + sub, owner, owner)


def environment(scratch):
    return dict(os.environ, HOME=scratch + '/home', XDG_CONFIG_HOME=scratch + '/config', MAGICK_DEBUG='Coder',
                MAGICK_TEMPORARY_PATH=scratch + '/out', LC_ALL='C.UTF-8')


def runner_scratch():
    """As root: (scratch folder, program copy) the runner can use, or (None, why not)."""
    why = []
    for base in dict.fromkeys((tempfile.gettempdir(), '/tmp')):
        scratch = tempfile.mkdtemp(prefix='lumigal-malformed-', dir=base)
        atexit.register(shutil.rmtree, scratch, True)
        os.chmod(scratch, 0o755)
        program = scratch + '/lumigal-batch'
        shutil.copy(BATCH, program)
        os.chmod(program, 0o755)
        lay_out(scratch, RUNNER)
        page = scratch + '/out/probe.htm'
        try:
            probe = subprocess.run(AS_RUNNER + [program, '-q', '-o', page, scratch + '/corpus/tree/good.png'],
                                   stdin=subprocess.DEVNULL, capture_output=True, env=environment(scratch))
            said = probe.stderr.decode('utf-8', 'replace').strip()[-200:]
        except OSError as e:
            probe, said = None, str(e)
        if probe and probe.returncode == 0 and os.path.exists(page) and os.stat(page).st_uid == RUNNER:
            os.remove(page)
            return scratch, program
        why.append('%s: %s' % (base, said or 'no page written'))
    return None, '; '.join(why)


SCRATCH_OWN, PROGRAM = runner_scratch() if os.geteuid() == 0 else (None, BATCH)
if SCRATCH_OWN:
    SCRATCH, BATCH, RUN_PREFIX = SCRATCH_OWN, PROGRAM, AS_RUNNER
else:
    RUN_PREFIX = []
    if os.geteuid() == 0:
        print('NOTE: uid %d cannot run lumigal-batch here (%s): the cases run as root, the unreadable '
              'entries unchecked' % (RUNNER, PROGRAM))
        if os.environ.get('LUMIGAL_DROP_REQUIRED') == '1':
            sys.exit(77)
    shutil.rmtree(SCRATCH, ignore_errors=True)
    lay_out(SCRATCH, None)
# Root reads unreadable files and enters locked folders: those cases hold only for another user.
PERMISSIONS_HOLD = bool(RUN_PREFIX) or os.geteuid() != 0
CORPUS, OUT, ENV = SCRATCH + '/corpus', SCRATCH + '/out', environment(SCRATCH)
MUST_FAIL = set(open(CORPUS + '/must_fail.txt').read().split())
SPECIALS = set(open(CORPUS + '/specials.txt').read().split())
if not PERMISSIONS_HOLD:
    SPECIALS.discard('unreadable.png')
FILES = sorted(n for n in os.listdir(CORPUS) if not n.endswith('.txt') and n != 'tree')

fig = dict(runs=0, as_runner=0, crashes=0, slow=0, over_memory=0, unnamed=0, no_page=0, foreign_coder=0)
worst_s, worst_mb = 0.0, 0
FAILS = []


def fail(what):
    FAILS.append(what)
    print('FAIL:', what, file=sys.stderr)


def run(args, page):
    """Runs one lumigal-batch; returns (status, stderr, seconds, peak MB)."""
    global worst_s, worst_mb
    err_path = OUT + '/stderr.txt'
    with open(err_path, 'wb') as err:
        start = time.monotonic()
        proc = subprocess.Popen(RUN_PREFIX + [BATCH, '-q', '-o', page] + args, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=err, env=ENV, start_new_session=True)
        status = None
        while status is None:
            pid, st, usage = os.wait4(proc.pid, os.WNOHANG)
            if pid:
                status = st
                break
            if time.monotonic() - start > LIMIT_S * 3:
                os.killpg(proc.pid, signal.SIGKILL)
            time.sleep(0.01)
        proc.returncode = 0
        seconds = time.monotonic() - start
    mb = usage.ru_maxrss // 1024
    worst_s, worst_mb = max(worst_s, seconds), max(worst_mb, mb)
    return status, open(err_path, 'rb').read().decode('utf-8', 'replace'), seconds, mb


def one(label, mode, args, expect_named, expect_absent=()):
    page = OUT + '/page.htm'
    if os.path.exists(page):
        os.remove(page)
    status, err, seconds, mb = run(args, page)
    fig['runs'] += 1
    if os.WIFSIGNALED(status):
        fig['crashes'] += 1
        fail('%s: killed by signal %d' % (label, os.WTERMSIG(status)))
    if seconds > LIMIT_S:
        fig['slow'] += 1
        fail('%s: %.1f s' % (label, seconds))
    if mb >= LIMIT_MB:
        fig['over_memory'] += 1
        fail('%s: %d MB' % (label, mb))
    if not (os.WIFEXITED(status) and os.WEXITSTATUS(status) in (0, 3) and os.path.exists(page)):
        fig['no_page'] += 1
        fail('%s: page not written (status %r) %s' % (label, status, err[-300:]))
    elif RUN_PREFIX:
        if os.stat(page).st_uid == RUNNER:
            fig['as_runner'] += 1
        else:
            fail('%s: page written by uid %d, not %d' % (label, os.stat(page).st_uid, RUNNER))
    # MAGICK_DEBUG=Coder logs every coder entered as "Coder prog[pid]: png.c/ReadPNGImage/...":
    # only the formats' own coders may ever appear.
    coders = set(re.findall(r' Coder \S+\[\d+\]: (\w+)\.c/', err)) - ALLOWED_CODERS
    if os.path.exists(CORPUS + '/MSL-RAN.png'):
        coders.add('MSL (marker written)')
    if coders:
        fig['foreign_coder'] += 1
        fail('%s: foreign coders %s' % (label, sorted(coders)))
    said = '\n'.join(l for l in err.splitlines() if l.startswith('lumigal-batch'))
    page_text = open(page, 'rb').read().decode('utf-8', 'replace') if os.path.exists(page) else ''
    for name in expect_named:
        if name in SPECIALS or (name in MUST_FAIL and mode == 'thumbnails'):
            # Decoded in full: refused, so named.
            ok = name in said
        else:
            ok = name in said or name in page_text
        if not ok:
            fig['unnamed'] += 1
            fail('%s: %s neither named on stderr nor on the page' % (label, name))
    for path in expect_absent:
        if ('file://' + path + '"') in page_text:
            fail('%s: %s is on the page' % (label, path))
    return page_text


# The coder log must be able to see a foreign coder: ImageMagick's own tool renders the SVG case.
if shutil.which('convert'):
    probe = subprocess.run(['convert', CORPUS + '/svg-named.png', OUT + '/probe.png'], capture_output=True,
                           env=dict(os.environ, MAGICK_DEBUG='Coder'))
    if not re.search(r' Coder \S+\[\d+\]: (svg|msvg)\.c/', probe.stderr.decode('utf-8', 'replace')):
        fail('MAGICK_DEBUG=Coder does not log coders: the foreign-coder figure would be blind')

for mode in ('thumbnails', 'details', 'plain'):
    common = ['-m', mode, '--thumb-dir', OUT + '/thumbs', '-s', '64x64', '-j', '2']
    for name in FILES:
        # Thumbnails decode every image: each bad one is refused and named. Details read only
        # the header: a bad file is named or shown with what its header says. Plain mode does not
        # open the images: a bad file must still be named or linked, never dropped silently.
        named = [name]
        one('%s %s' % (mode, name), mode, common + [CORPUS + '/' + name], named)
    # The scan collects regular files only: the FIFO and the device link are not images and
    # are left out; the unreadable file is collected and named.
    one('%s -r folder' % mode, mode, common + ['-r', CORPUS], sorted(MUST_FAIL | {'unreadable.png'}),
        [CORPUS + '/fifo.png', CORPUS + '/dev-zero.bmp'])
    # The loop, the link to .. and the link to . are not followed: only good.png, once.
    page_text = one('%s -r tree' % mode, mode, common + ['-r', CORPUS + '/tree'], [],
                    [CORPUS + '/tree/up/tree/good.png', CORPUS + '/tree/self/good.png', CORPUS + '/tree/loop-a.png'])
    urls = set(re.findall(r'"file://(' + re.escape(CORPUS) + r'/tree/[^"]*)"', page_text))
    if not PERMISSIONS_HOLD:
        urls.discard(CORPUS + '/tree/locked/inside.png')
    if urls != {CORPUS + '/tree/good.png'}:
        fail('%s -r tree: links %s, want good.png only' % (mode, sorted(urls)))

print('malformed images: %d cases, %d runs' % (len(FILES), fig['runs']))
print('runs as uid %d in %s: %d' % (RUNNER, SCRATCH, fig['as_runner']) if RUN_PREFIX else
      'runs as the calling user (uid %d): %d' % (os.geteuid(), fig['runs']))
print('crashes: %d' % fig['crashes'])
print('runs over %d s: %d (slowest %.2f s)' % (LIMIT_S, fig['slow'], worst_s))
print('runs at or over %d MB peak: %d (largest %d MB)' % (LIMIT_MB, fig['over_memory'], worst_mb))
print('bad files not named on stderr: %d' % fig['unnamed'])
print('runs without a page: %d' % fig['no_page'])
print('runs with a foreign coder: %d' % fig['foreign_coder'])
if len(FILES) < 50:
    fail('only %d cases' % len(FILES))
sys.exit(1 if FAILS else 0)
