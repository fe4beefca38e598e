#!/usr/bin/env python3
"""The forecast file under faults: complete runs of the real program for 福州, each broken at one
of its system calls (strace -e inject=NAME:ACTION:when=N), the file checked after every break.

  fault_sweep.py [--every N] [--part kill|errors|power]... PROGRAM EMULATOR

Faults: SIGKILL at each call (execve cannot be injected), SIGTERM, ENOSPC, EIO, EACCES and EINTR at
each file call, on the replacement path and on the in-place path (the program run as nobody, the
folder of mode 0555); power cuts after each call of the file phase on a loop-mounted ext4 image
(default and noauto_da_alloc, a first run and a later one, in place): the program killed, the
journal committed, the file system shut down without its log (EXT4_IOC_SHUTDOWN, NOLOGFLUSH) and
mounted again. A later run starts from 17 old values, a comment, a host key and a host section.
Each point: the file is UTF-8 without NUL whose non-blank lines are the start file's with the
first k keys new, the rest old (absent); k = 17 unless the run was broken or reported "Unable to
write to <path>." (never for EINTR); the next complete run leaves all keys new, no other file.
--every N: per call name its first call and every Nth after it. Needs root; exit 1 when a point
failed, 77 when a part cannot run here (saying why).
"""
import argparse, fcntl, os, re, select, shutil, signal, struct, subprocess, sys, time
from pathlib import Path

INI, SKIP = 'qeloweather.ini', 77
FILE_CALLS = {'openat', 'read', 'write', 'pwrite64', 'newfstatat', 'fstat', 'statx', 'access',
              'faccessat2', 'readlink', 'linkat', 'rename', 'renameat2', 'unlink', 'unlinkat',
              'fchmod', 'fchown', 'fsync', 'fdatasync', 'ftruncate', 'fallocate', 'getdents64',
              'lseek', 'close'}
EXT4_IOC_SHUTDOWN, EXT4_GOING_FLAGS_NOLOGFLUSH = 0x8004587D, 2


class Fault(Exception):
    pass


def sh(*command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def synced(*paths):
    for path in paths:
        if path.exists():
            fd = os.open(path, os.O_RDONLY)
            os.fsync(fd)
            os.close(fd)


class Run:
    """The program in its folder, run by root or, in place, by nobody; a first run or a later one."""

    def __init__(self, folder, program, in_place=False, first=False):
        self.folder, self.in_place, self.first = Path(folder), in_place, first
        self.folder.mkdir(parents=True, exist_ok=True)
        self.program = self.folder / 'qeloweather'
        shutil.copy(program, self.program)
        os.chmod(self.folder, 0o555 if in_place else 0o755)
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
        command = ['strace', '-f', '-qq', '-o', str(trace)] + (['-u', 'nobody'] if self.in_place else [])
        if fault:
            command += ['-e', f'trace={fault[0]}', '-e', f'inject={fault[0]}:{fault[1]}:when={fault[2]}']
        elif trace == '/dev/null':
            command += ['-e', 'trace=none']
        process = subprocess.Popen(command + [str(self.program), '福州'], stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                   start_new_session=True, cwd=self.folder.parent)
        report, deadline = b'', time.monotonic() + 60
        while select.select([process.stderr], [], [], max(0, deadline - time.monotonic()))[0]:
            chunk = os.read(process.stderr.fileno(), 4096)
            if not chunk:
                break
            report += chunk
            if report.endswith(b'\n'):  # reported: the program now only waits for its watchdog
                os.killpg(process.pid, signal.SIGTERM)
        else:
            os.killpg(process.pid, signal.SIGKILL)
            raise Fault('the run did not end')
        return process.wait(), report.decode(errors='replace')

    def points(self, phase_only, names=None):
        """The calls of an unbroken run as (name, n), its nth call of that name; the file phase
        begins where the program reads its own path."""
        self.reset()
        trace = self.folder.parent / 'trace'
        self.start(trace=trace)
        calls = [(m[1], '"/proc/self/exe"' in m[2]) for m in
                 (re.match(r'(?:\d+ +)?(\w+)\((.*)', line) for line in trace.read_text().splitlines()) if m]
        first = [marker for _, marker in calls].index(True) if phase_only else 0
        seen, points = {}, []
        for index, (name, _) in enumerate(calls):
            seen[name] = seen.get(name, 0) + 1
            if index >= first and name != 'execve' and (names is None or name in names):
                points.append((name, seen[name]))
        return points

    def written(self):
        """How many of the 17 keys the file holds new, the rest old; Fault when neither."""
        path = self.folder / INI
        if not path.exists():
            if self.first:
                return 0
            raise Fault('the file is gone')
        data = path.read_bytes()
        try:
            text = data.decode('utf-8')
        except UnicodeDecodeError:
            text = '\0'
        if '\0' in text:
            raise Fault(f'not UTF-8 without NUL: {data!r}')
        lines = [line.rstrip('\r') for line in text.split('\n') if line.strip()]
        lines = [f'{KEYS[0]}=new' if line.startswith(KEYS[0] + '=') and line != START[2] else line
                 for line in lines]
        for k in range(1 if self.first else 0, 18):
            if lines == expected(k, self.first):
                return k
        raise Fault(f'torn: {lines}')

    def check(self, action, status, report):
        k = self.written()
        # A program that cannot read its own path names the file without a folder.
        failures = [f'qeloweather: Unable to write to {path}.\n' for path in (self.folder / INI, INI)]
        if report and (report not in failures or k == 17 or action == 'error=EINTR'):
            raise Fault(f'reported {report!r} with {k} keys new')
        if not report and 'signal' not in action and (status != 0 or k != 17):
            raise Fault(f'ended with {status}, no report, {k} keys new')
        if action == 'signal=SIGTERM':
            self.only_the_file('after SIGTERM')
        status, report = self.start()
        if report or self.written() != 17:
            raise Fault(f'the next complete run: {report!r}, {self.written()} keys new')
        self.only_the_file('after the next complete run')

    def only_the_file(self, when):
        left = sorted(set(os.listdir(self.folder)) - {INI, self.program.name})
        if left:
            raise Fault(f'{when}: {left} left in the folder')


def expected(k, first):
    if first:
        return ['[qelo]'] + [f'{KEYS[i]}={NEW[i]}' for i in range(k)]
    lines = list(START)
    for i in range(k):
        lines[START.index(f'{KEYS[i]}={OLD[i]}')] = f'{KEYS[i]}={NEW[i]}'
    return lines


def sweep(label, run, points, action, every, cut=lambda: None):
    points = [p for p in points if (p[1] - 1) % every == 0] + ([None] if action == 'cut' else [])
    survived, failures = 0, []
    for point in points:
        fault = (point[0], 'signal=SIGKILL' if action == 'cut' else action, point[1]) if point else None
        try:
            run.reset()
            status, report = run.start(fault)
            cut()
            run.check(fault[1] if fault else '', status, report)
            survived += 1
        except Fault as found:
            failures.append(f'  {label} at {point}: {found}')
    print(f'{label:<46} {len(points):>6} {survived:>9}', *failures[:10], sep='\n' if failures else '',
          flush=True)
    return not failures


def kill_and_errors(work, program, every, kinds):
    ok = True
    for path, run in (('replacement path', Run(work / 'r/app', program)),
                      ('in-place path', Run(work / 'i/app', program, in_place=True))):
        file_calls = run.points(True, FILE_CALLS)
        for kind in kinds:
            points = run.points(False) if kind == 'SIGKILL' else file_calls
            where = 'call' if kind == 'SIGKILL' else 'file call'
            action = f'signal={kind}' if kind.startswith('SIG') else f'error={kind}'
            ok &= sweep(f'{kind} at each {where}, {path}', run, points, action, every)
    return ok


def power_cuts(work, program, every):
    image, mount_point = work / 'ext4.img', work / 'mnt'
    mount_point.mkdir()
    try:
        sh('mkfs.ext4', '-q', '-F', str(image), '32M')
        sh('mount', '-o', 'loop', str(image), str(mount_point))
        sh('umount', str(mount_point))
    except (OSError, subprocess.CalledProcessError) as error:
        print(f'SKIP power cuts: no ext4 image on a loop device here ({error})')
        return None
    ok = True
    for options, in_place, first in (('', False, True), ('', False, False), ('noauto_da_alloc', False, True),
                                     ('noauto_da_alloc', False, False), ('', True, False)):
        mount = ('mount', '-o', ','.join(['loop'] + ([options] if options else [])), str(image), str(mount_point))

        def cut():
            marker = mount_point / 'commit'
            marker.write_bytes(b'x')
            synced(marker)  # commits the journal with every change made so far
            root = os.open(mount_point, os.O_RDONLY)
            fcntl.ioctl(root, EXT4_IOC_SHUTDOWN, struct.pack('I', EXT4_GOING_FLAGS_NOLOGFLUSH))
            os.close(root)
            sh('umount', str(mount_point))
            sh(*mount)

        sh('mkfs.ext4', '-q', '-F', str(image), '32M')
        sh(*mount)
        run = Run(mount_point / 'app', program, in_place=in_place, first=first)
        label = (f'power cut, ext4{" " + options if options else ""}, '
                 f'{"in-place path" if in_place else "first run" if first else "later run"}')
        ok &= sweep(label, run, run.points(True), 'cut', every, cut)  # and one after the last call
        sh('umount', str(mount_point))
    return ok


def inside(args):
    global KEYS, NEW, OLD, START
    served = subprocess.run([args.emulator, '--print-expected', '福州'], check=True,
                            capture_output=True, text=True).stdout.splitlines()
    KEYS = [line.split('=', 1)[0] for line in served]
    NEW = ['new'] + [line.split('=', 1)[1] for line in served[1:]]
    OLD = [f'旧{i}' for i in range(17)]
    keys = [f'{key}={old}' for key, old in zip(KEYS, OLD)]
    START = ["; the host's own comment", '[qelo]'] + keys[:6] + ['皮肤=蓝色'] + keys[6:] + ['[host]', 'x=1']
    work = Path(os.environ.get('TMPDIR', '/tmp')) / 'fault-sweep'
    work.mkdir()
    os.chmod(work, 0o755)
    print(f'{"fault class":<46} {"points":>6} {"survived":>9}', flush=True)
    parts = {'kill': lambda: kill_and_errors(work, args.program, args.every, ('SIGKILL', 'SIGTERM')),
             'errors': lambda: kill_and_errors(work, args.program, args.every,
                                               ('ENOSPC', 'EIO', 'EACCES', 'EINTR')),
             'power': lambda: power_cuts(work, args.program, args.every)}
    results = [parts[part]() for part in args.part]
    return 1 if False in results else SKIP if None in results else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--every', type=int, default=1)
    parser.add_argument('--part', action='append', choices=('kill', 'errors', 'power'))
    parser.add_argument('--inside', action='store_true')
    parser.add_argument('program')
    parser.add_argument('emulator')
    args = parser.parse_args()
    args.part = args.part or ['kill', 'errors', 'power']
    if args.inside:
        return inside(args)
    probe = ['strace', '-qq', '-o', '/dev/null', '-e', 'inject=getppid:error=ENOSYS:when=1', 'true']
    if os.geteuid() != 0:
        print('SKIP: the sweep needs root (a user of its own, a loop-mounted image)')
        return SKIP
    if shutil.which('strace') is None or subprocess.run(probe, capture_output=True).returncode != 0:
        print('SKIP: strace with fault injection (-e inject=) is needed')
        return SKIP
    runner = Path(__file__).resolve().parent.parent / 'e2e' / 'in_forecast_netns.sh'
    forwarded = [f'--part={part}' for part in args.part] + [f'--every={args.every}']
    return subprocess.run([runner, '--real-ids', '--emulator', args.emulator, '--lifetime-seconds', '7200',
                           '--', sys.executable, __file__, '--inside', *forwarded, args.program,
                           args.emulator]).returncode


if __name__ == '__main__':
    sys.exit(main())
