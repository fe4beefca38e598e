#!/usr/bin/env python3
"""The forecast file under faults: complete runs of the real program for 福州, each broken at one
of its system calls (strace -e inject=NAME:ACTION:when=N), the file checked after every break.

  fault_sweep.py [--every N] [--part kill|errors|power]... PROGRAM EMULATOR

kill: SIGKILL at each call (but execve), SIGTERM; errors: ENOSPC, EIO, EACCES and EINTR at each
file call; both on the replacement path and in place (as nobody in a folder of mode 0555 or a
sticky one). power: cuts after each call of the file phase on an ext4 image (default and
noauto_da_alloc, a first and a later run, in place): the program killed, the journal committed,
the file system shut down without its log, mounted again. A later run starts from 17 old values,
a comment and host lines. The file must be UTF-8 without NUL, its lines (blank ones aside) the
start file's with all 17 keys new or none; all new unless the run was broken or reported "Unable
to write to <path>." (never for EINTR), none new when it reported that; the next complete run
leaves all keys new and no other file within 10 s. --every N: each call name's first call and every Nth after it. Needs root; exit 1 when a
point failed, 77 when a part cannot run here (saying why).
"""
import argparse, fcntl, os, re, select, shutil, signal, struct, subprocess, sys, time
from pathlib import Path

INI, SKIP, EXT4_IOC_SHUTDOWN, EXT4_GOING_FLAGS_NOLOGFLUSH = 'qeloweather.ini', 77, 0x8004587D, 2
NEXT_RUN_SECONDS = 10
FILE_CALLS = set('openat read write pwrite64 newfstatat fstat statx access faccessat2 readlink linkat '
                 'rename renameat2 unlink unlinkat fchmod fchown fsync fdatasync ftruncate pwritev2 lseek '
                 'close flock'.split())


class Fault(Exception):
    """A point that did not survive."""


def sh(*command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def synced(*paths):
    for fd in [os.open(path, os.O_RDONLY) for path in paths if path.exists()]:
        os.fsync(fd)
        os.close(fd)


class Run:
    """The program in its folder (mode 0755 for root, else run by nobody), a first or later run."""

    def __init__(self, folder, program, mode=0o755, first=False):
        self.folder, self.nobody, self.first = Path(folder), mode != 0o755, first
        self.folder.mkdir(parents=True, exist_ok=True)
        self.program = Path(shutil.copy(program, self.folder / 'qeloweather'))
        os.chmod(self.folder, mode)
        synced(self.program, self.folder)

    def reset(self):
        for name in set(os.listdir(self.folder)) - {self.program.name}:
            os.unlink(self.folder / name)
        if not self.first:
            (self.folder / INI).write_text('\n'.join(START) + '\n', encoding='utf-8')
            os.chmod(self.folder / INI, 0o666)
        synced(self.folder / INI, self.folder)

    def start(self, fault=None, trace='/dev/null'):
        """Runs the program under strace with at most one fault; returns (status, report)."""
        command = ['strace', '-f', '-qq', '-o', str(trace)] + ['-u', 'nobody'] * self.nobody
        if fault:
            command += ['-e', f'trace={fault[0]}', '-e', f'inject={fault[0]}:{fault[1]}:when={fault[2]}']
        process = subprocess.Popen(command + ['-e', 'trace=none'] * (not fault and trace == '/dev/null')
                                   + [self.program, '福州'], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.PIPE, start_new_session=True, cwd=self.folder.parent)
        report, deadline = b'', time.monotonic() + 60
        while select.select([process.stderr], [], [], max(0, deadline - time.monotonic()))[0]:
            chunk = os.read(process.stderr.fileno(), 4096)
            if not chunk:
                return process.wait(), report.decode(errors='replace')
            report += chunk
            if report.endswith(b'\n'):  # reported: the program now only waits for its watchdog
                os.killpg(process.pid, signal.SIGTERM)
        os.killpg(process.pid, signal.SIGKILL)
        raise Fault('the run did not end')

    def points(self, phase_only, names=None):
        """The calls of an unbroken run as (name, n), its nth call of that name; the file phase
        begins where the program opens the file's folder for its lock."""
        self.reset()
        self.start(trace=self.folder.parent / 'trace')
        calls = [(m[1], 'O_DIRECTORY' in m[2]) for m in (re.match(r'(?:\d+ +)?(\w+)\((.*)', line)
                 for line in (self.folder.parent / 'trace').read_text().splitlines()) if m]
        first = [marker for _, marker in calls].index(True) if phase_only else 0
        seen, points = {}, []
        for index, (name, _) in enumerate(calls):
            seen[name] = seen.get(name, 0) + 1
            if index >= first and name != 'execve' and (names is None or name in names):
                points.append((name, seen[name]))
        return points

    def written(self):
        """17 when the file holds every key new, 0 when it holds them all old (or, before a first
        run, is absent); Fault for anything else, a mix of the two runs included."""
        if not (self.folder / INI).exists():
            if self.first:
                return 0
            raise Fault('the file is gone')
        text = (self.folder / INI).read_bytes().decode(errors='surrogateescape')
        if re.search('[\0\udc80-\udcff]', text):
            raise Fault(f'not UTF-8 without NUL: {text!r}')
        lines = [line.rstrip('\r') for line in text.split('\n') if line.strip()]
        lines = [f'{KEYS[0]}=new' if line.startswith(KEYS[0] + '=') and line != START[2] else line
                 for line in lines]
        for k in (0, 17):
            if lines == expected(k, self.first) and (k or not self.first):
                return k
        raise Fault(f'neither the old forecast nor the new one: {lines}')

    def check(self, action, status, report):
        k = self.written()
        # A program that cannot read its own path names the file without a folder.
        failures = [f'qeloweather: Unable to write to {path}.\n' for path in (self.folder / INI, INI)]
        if report and (report not in failures or k != 0 or action == 'error=EINTR'):
            raise Fault(f'reported {report!r} with {k} keys new')
        if not report and 'signal' not in action and (status != 0 or k != 17):
            raise Fault(f'ended with {status}, no report, {k} keys new')
        if action == 'signal=SIGTERM':
            self.only_the_file('after SIGTERM')
        began = time.monotonic()
        if self.start() != (0, '') or self.written() != 17:
            raise Fault(f'the next complete run left {self.written()} keys new')
        if time.monotonic() - began > NEXT_RUN_SECONDS:  # a lock left behind makes it wait
            raise Fault(f'the next complete run took {time.monotonic() - began:.1f} s')
        self.only_the_file('after the next complete run')

    def only_the_file(self, when):
        if set(os.listdir(self.folder)) - {INI, self.program.name}:
            raise Fault(f'{when}: {sorted(os.listdir(self.folder))} in the folder')


def expected(k, first):
    if first:
        return ['[qelo]'] + [f'{KEYS[i]}={NEW[i]}' for i in range(k)]
    lines = list(START)
    for i in range(k):
        lines[START.index(f'{KEYS[i]}={OLD[i]}')] = f'{KEYS[i]}={NEW[i]}'
    return lines


def sweep(label, run, points, action, every, cut=lambda: None):
    points = [p for p in points if (p[1] - 1) % every == 0] + [None] * (action == 'cut')
    survived, failures = 0, []
    for point in points:
        fault = point and (point[0], 'signal=SIGKILL' if action == 'cut' else action, point[1])
        try:
            run.reset()
            status, report = run.start(fault)
            cut()
            run.check(fault[1] if fault else '', status, report)
            survived += 1
        except Fault as found:
            failures.append(f'  {label} at {point}: {found}')
    print(f'{label:<50} {len(points):>6} {survived:>9}', *failures[:10], sep='\n', flush=True)
    return not failures


def kill_and_errors(work, program, every, kinds):
    ok, paths = True, [('replacement path', 0o755), ('in-place path', 0o555)]
    for path, mode in paths + [('in-place path, sticky', 0o1777)] * (kinds[0] == 'SIGKILL'):
        run = Run(work / path.replace(' ', '-') / 'app', program, mode)
        calls, file_calls = run.points(False), run.points(True, FILE_CALLS)
        for kind in kinds:
            action = f'signal={kind}' if kind.startswith('SIG') else f'error={kind}'
            ok &= sweep(f'{kind} at each {"call" if kind == "SIGKILL" else "file call"}, {path}', run,
                        calls if kind == 'SIGKILL' else file_calls, action, every)
    return ok


def power_cuts(work, program, every):
    image, mount_point = work / 'ext4.img', work / 'mnt'
    mount_point.mkdir()
    try:
        sh('mkfs.ext4', '-q', '-F', image, '32M')
        sh('mount', '-o', 'loop', image, mount_point)
        sh('umount', mount_point)
    except (OSError, subprocess.CalledProcessError) as error:
        print(f'SKIP power cuts: no ext4 image on a loop device here ({error})')
        return None
    ok = True
    for options, mode, first in (('loop', 0o755, True), ('loop', 0o755, False), ('loop,noauto_da_alloc', 0o755, True),
                                 ('loop,noauto_da_alloc', 0o755, False), ('loop', 0o555, False)):
        def cut():
            (mount_point / 'commit').write_bytes(b'x')
            synced(mount_point / 'commit')  # commits the journal with every change made so far
            root = os.open(mount_point, os.O_RDONLY)
            fcntl.ioctl(root, EXT4_IOC_SHUTDOWN, struct.pack('I', EXT4_GOING_FLAGS_NOLOGFLUSH))
            os.close(root)
            sh('umount', mount_point)
            sh('mount', '-o', options, image, mount_point)

        sh('mkfs.ext4', '-q', '-F', image, '32M')
        sh('mount', '-o', options, image, mount_point)
        run = Run(mount_point / 'app', program, mode, first)
        label = (f'power cut, ext4{options[4:].replace(",", " ")}, '
                 f'{"in-place path" if mode != 0o755 else "first run" if first else "later run"}')
        ok &= sweep(label, run, run.points(True), 'cut', every, cut)  # and one after the last call
        sh('umount', mount_point)
    return ok


def inside(args):
    global KEYS, NEW, OLD, START
    served = subprocess.run([args.emulator, '--print-expected', '福州'], check=True,
                            capture_output=True, text=True).stdout.splitlines()
    KEYS, NEW = [line.split('=')[0] for line in served], ['new'] + [line.split('=', 1)[1] for line in served[1:]]
    OLD = [f'旧{i}' for i in range(17)]
    keys = [f'{key}={old}' for key, old in zip(KEYS, OLD)]
    START = ["; the host's own comment", '[qelo]'] + keys[:6] + ['皮肤=蓝色'] + keys[6:] + ['[host]', 'x=1']
    work = Path(os.environ.get('TMPDIR', '/tmp')) / 'fault-sweep'
    work.mkdir()
    os.chmod(work, 0o755)
    print(f'{"fault class":<50} {"points":>6} {"survived":>9}', flush=True)
    parts = {'kill': lambda: kill_and_errors(work, args.program, args.every, ('SIGKILL', 'SIGTERM')),
             'errors': lambda: kill_and_errors(work, args.program, args.every, ('ENOSPC', 'EIO', 'EACCES', 'EINTR')),
             'power': lambda: power_cuts(work, args.program, args.every)}
    results = [parts[part]() for part in args.part]
    return 1 if False in results else SKIP if None in results else 0


def main():
    parser = argparse.ArgumentParser()
    for option, settings in (('program', {}), ('emulator', {}), ('--every', {'type': int, 'default': 1}),
                             ('--part', {'action': 'append', 'choices': ('kill', 'errors', 'power')}),
                             ('--inside', {'action': 'store_true'})):
        parser.add_argument(option, **settings)
    args = parser.parse_args()
    args.part = args.part or ['kill', 'errors', 'power']
    if args.inside:
        return inside(args)
    probe = ['strace', '-qq', '-o', '/dev/null', '-e', 'inject=getppid:error=ENOSYS:when=1', 'true']
    if os.geteuid() != 0:
        print('SKIP: the sweep needs root (a user of its own, a loop-mounted image)')
    elif shutil.which('strace') is None or subprocess.run(probe, capture_output=True).returncode != 0:
        print('SKIP: strace with fault injection (-e inject=) is needed')
    else:
        runner = Path(__file__).resolve().parent.parent / 'e2e' / 'in_forecast_netns.sh'
        return subprocess.run([runner, '--real-ids', '--emulator', args.emulator, '--lifetime-seconds', '7200',
                               '--', sys.executable, __file__, '--inside', f'--every={args.every}',
                               *[f'--part={part}' for part in args.part], args.program, args.emulator]).returncode
    return SKIP


if __name__ == '__main__':
    sys.exit(main())
