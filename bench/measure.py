#!/usr/bin/env python3
"""Run one command and measure it.

usage: measure.py [--stdin FILE] [--stdout FILE] [--stderr FILE] [--timeout SECONDS]
                  -- CMD [ARG...]
       measure.py --method

Runs CMD with stdin and stdout redirected as asked (default: both
/dev/null; stderr is left alone unless --stderr is given), waits for it
and prints one line:
  SECONDS MAXRSS_KIB STATUS
SECONDS is wall-clock time from just before the start to just after the
end (time.perf_counter). MAXRSS_KIB is the peak resident set size.
STATUS is the exit code, "sig<N>" if the command was killed by a signal,
"timeout" if it ran past the timeout and was killed, or "nostart" if GNU
time could not start it.
measure.py itself exits 0 whenever it could start the command.
bench/run imports it and calls measure() for each run.

Peak RSS: Linux carries a process's peak RSS across exec, so a command
started straight from this (large) Python process would report at least
Python's own RSS. When /usr/bin/time (GNU) is there, the command is run
under it (a small process) and its %M is used; otherwise the child's own
wait4 figure is used, which then has Python's RSS as a floor.
`measure.py --method` prints which of the two is in use.
Set BENCH_NO_GNU_TIME=1 to force the fallback.

bare() times a command with nothing between it and this process (no GNU
time, no Python between the clock and the exec: posix_spawn, then wait4),
for comparisons where a wrapper's milliseconds would narrow the ratio; it
gives no peak RSS.
"""

import functools
import os
import re
import signal
import subprocess
import sys
import tempfile
import threading
import time

GNU_TIME = "/usr/bin/time"


@functools.lru_cache(maxsize=None)
def gnu_time_usable():
    """Returns whether peak RSS comes from GNU time (asked once a process)."""
    if os.environ.get("BENCH_NO_GNU_TIME") == "1":
        return False
    if not os.access(GNU_TIME, os.X_OK):
        return False
    with tempfile.NamedTemporaryFile("r") as tmp:
        rc = subprocess.call([GNU_TIME, "-f", "%M", "-o", tmp.name, "true"],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return rc == 0 and tmp.read().strip().isdigit()


def method():
    """Returns "gnu-time" or "wait4": where peak RSS figures come from."""
    return "gnu-time" if gnu_time_usable() else "wait4"


def kill_group(pid):
    """Kills the process group that PID leads, if it is still there."""
    try:
        os.killpg(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass


def measure(cmd, stdin=os.devnull, stdout=os.devnull, stderr=None, timeout=None):
    """Runs CMD once; returns (SECONDS, MAXRSS_KIB, STATUS) as described above.

    STDERR None leaves stderr alone. If this process is interrupted while
    CMD runs, CMD's process group is killed before the exception goes on.
    """
    rss_file = None
    if gnu_time_usable():
        fd, rss_file = tempfile.mkstemp(prefix="measure.")
        os.close(fd)
        cmd = [GNU_TIME, "-f", "%M", "-o", rss_file] + list(cmd)

    timed_out = threading.Event()
    try:
        with open(stdin, "rb") as fin, open(stdout, "wb") as fout, \
                open(stderr or os.devnull, "wb") as ferr:
            start = time.perf_counter()
            proc = subprocess.Popen(cmd, stdin=fin, stdout=fout,
                                    stderr=ferr if stderr else None,
                                    start_new_session=True)
            timer = None
            if timeout is not None:
                def kill():
                    timed_out.set()
                    kill_group(proc.pid)
                timer = threading.Timer(timeout, kill)
                timer.daemon = True
                timer.start()
            try:
                # Reap the child ourselves to get its own resource usage.
                _, status, usage = os.wait4(proc.pid, 0)
            except BaseException:
                kill_group(proc.pid)
                raise
            end = time.perf_counter()
            if timer is not None:
                timer.cancel()
            proc.returncode = 0  # already reaped: keep subprocess quiet

        if os.WIFSIGNALED(status):
            result = "sig%d" % os.WTERMSIG(status)
        else:
            result = str(os.WEXITSTATUS(status))
        maxrss = usage.ru_maxrss
        if rss_file is not None:
            with open(rss_file) as f:
                text = f.read()
            numbers = re.findall(r"^(\d+)$", text, re.M)
            maxrss = int(numbers[-1]) if numbers else -1
            m = re.search(r"terminated by signal (\d+)", text)
            if m:
                result = "sig" + m.group(1)
            elif result != "0" and not numbers:
                result = "nostart"  # GNU time could not run the command
    finally:
        if rss_file is not None:
            os.unlink(rss_file)

    if timed_out.is_set():
        result = "timeout"
    return end - start, maxrss, result


def bare(cmd, stdout=os.devnull, timeout=None):
    """Runs CMD once, its stdin /dev/null and its stdout to file STDOUT (opened, and so created
    or emptied, before the clock starts); returns (SECONDS, STATUS), STATUS as measure()'s."""
    fds = [os.open(os.devnull, os.O_RDONLY),
           os.open(stdout, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o666)]
    timed_out, timer = threading.Event(), None
    try:
        start = time.perf_counter()
        pid = os.posix_spawnp(cmd[0], cmd, os.environ, setsid=True, file_actions=[
            (os.POSIX_SPAWN_DUP2, fds[0], 0), (os.POSIX_SPAWN_DUP2, fds[1], 1)])
        if timeout is not None:
            timer = threading.Timer(timeout, lambda: (timed_out.set(), kill_group(pid)))
            timer.daemon = True
            timer.start()
        try:
            _, status, _ = os.wait4(pid, 0)
        except BaseException:
            kill_group(pid)
            raise
        end = time.perf_counter()
    finally:
        if timer is not None:
            timer.cancel()
        for fd in fds:
            os.close(fd)
    if timed_out.is_set():
        return end - start, "timeout"
    if os.WIFSIGNALED(status):
        return end - start, "sig%d" % os.WTERMSIG(status)
    return end - start, str(os.WEXITSTATUS(status))


def main(argv):
    """Parses ARGV as above, measures the command and prints its line; returns 0."""
    args = argv[1:]
    if args == ["--method"]:
        print(method())
        return 0

    redirect = {"--stdin": "stdin", "--stdout": "stdout", "--stderr": "stderr"}
    options = {}
    while args and args[0] != "--":
        opt = args.pop(0)
        if not args or opt not in list(redirect) + ["--timeout"]:
            sys.exit("measure.py: bad option %s\n%s" % (opt, __doc__))
        value = args.pop(0)
        if opt == "--timeout":
            options["timeout"] = float(value)
        else:
            options[redirect[opt]] = value
    cmd = args[1:]
    if not cmd:
        sys.exit(__doc__)
    print("%.6f %d %s" % measure(cmd, **options))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
