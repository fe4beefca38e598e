#!/usr/bin/env python3
"""Runs a command as a host starts a program, with a hard time limit, and records how it ended.

  timed_run.py --out DIR --limit SECONDS [--stderr-closed-pipe]
               [--signal NAME [--signal-on-stderr TEXT] [--signal-delay MS]] -- command...

Standard input is /dev/null; the signals a host leaves alone are at their defaults. Written
into DIR:
  stdout, stderr  what the command wrote (stderr stays empty with --stderr-closed-pipe, where the
                  command's standard error is a pipe whose reader has already gone)
  status          the exit code; 124 when the limit cut the command off (SIGTERM, SIGKILL 5 s
                  later); 128+N when signal N ended it
  ms              the time from start to exit, in milliseconds
  signal          with --signal: "sent MS" when the command was still running when the signal
                  was due (MS: from the signal to the exit), "not running" when it had ended
                  before. The signal is due --signal-delay ms (default 0) after the start, or
                  after the command's standard error first holds TEXT.
"""

import argparse
import os
import select
import signal
import subprocess
import sys
import time

kTimedOut = 124
kKillGraceSeconds = 5


class Child:
    def __init__(self, command, stdout, stderr):
        def host_defaults():
            for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT):
                signal.signal(number, signal.SIG_DFL)

        self.started = time.monotonic()
        self.process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=stdout,
                                        stderr=stderr, preexec_fn=host_defaults)
        self.exit_fd = os.pidfd_open(self.process.pid)
        self.ended = None

    def wait(self, seconds):
        """True once the command has ended, waiting at most `seconds`."""
        if self.ended is None and select.select([self.exit_fd], [], [], max(seconds, 0))[0]:
            self.ended = time.monotonic()
            self.process.wait()
        return self.ended is not None

    def status(self):
        code = self.process.returncode
        return 128 - code if code < 0 else code


def stderr_holds(path, text):
    try:
        with open(path, "rb") as file:
            return text in file.read()
    except FileNotFoundError:
        return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True)
    parser.add_argument("--limit", type=float, required=True)
    parser.add_argument("--stderr-closed-pipe", action="store_true")
    parser.add_argument("--signal")
    parser.add_argument("--signal-on-stderr")
    parser.add_argument("--signal-delay", type=int, default=0)
    parser.add_argument("command", nargs="+")
    options = parser.parse_args()

    out = options.out
    stderr_path = os.path.join(out, "stderr")
    with open(os.path.join(out, "stdout"), "wb") as stdout, open(stderr_path, "wb") as stderr:
        if options.stderr_closed_pipe:
            reader, writer = os.pipe()
            os.close(reader)
            child = Child(options.command, stdout, writer)
            os.close(writer)
        else:
            child = Child(options.command, stdout, stderr)
    deadline = child.started + options.limit

    signal_note = None
    if options.signal:
        number = getattr(signal, "SIG" + options.signal)
        if options.signal_on_stderr:
            text = options.signal_on_stderr.encode()
            while not stderr_holds(stderr_path, text) and not child.wait(0.01):
                if time.monotonic() >= deadline:
                    signal_note = "never due: no such text on stderr within the limit"
                    break
            due = time.monotonic() + options.signal_delay / 1000
        else:
            due = child.started + options.signal_delay / 1000
        if signal_note is None:
            if child.wait(due - time.monotonic()):
                signal_note = "not running"
            else:
                sent = time.monotonic()
                child.process.send_signal(number)
                if child.wait(deadline - time.monotonic()):
                    signal_note = "sent %d" % round((child.ended - sent) * 1000)
                else:
                    signal_note = "sent, still running at the limit"

    timed_out = not child.wait(deadline - time.monotonic())
    if timed_out:
        child.process.terminate()
        if not child.wait(kKillGraceSeconds):
            child.process.kill()
            child.wait(kKillGraceSeconds * 2)

    def write(name, text):
        with open(os.path.join(out, name), "w") as file:
            file.write(text + "\n")

    write("status", str(kTimedOut if timed_out else child.status()))
    ended = child.ended if child.ended is not None else time.monotonic()
    write("ms", str(round((ended - child.started) * 1000)))
    if signal_note is not None:
        write("signal", signal_note)


if __name__ == "__main__":
    sys.exit(main())
