"""The benchmark's harness: runs commands timed or untimed, checks their output, keeps their
times and peak memory, and prints tables of them. bench/run says what to run."""

import json
import os
import re
import shlex
import shutil
import statistics
import subprocess
import sys

import measure

NULL = os.devnull


def die(message):
    """Stops the run with MESSAGE on stderr and exit status 1."""
    sys.exit("bench/run: " + message)


def untimed(cmd, stdout=None):
    """Runs CMD, its stdout to file STDOUT or else captured; returns the captured text. Stops if
    CMD fails."""
    with open(stdout or NULL, "wb") as out:
        done = subprocess.run(cmd, stdout=out if stdout else subprocess.PIPE, text=not stdout)
    if done.returncode != 0:
        die("%s exited %d" % (shlex.join(cmd), done.returncode))
    return done.stdout


def same_bytes(a, b):
    """Returns whether files A and B both exist and hold the same bytes."""
    return subprocess.call(["cmp", "-s", a, b]) == 0


def read_text(path):
    """Returns the text of file PATH, or "" if it cannot be read."""
    try:
        with open(path, errors="replace") as f:
            return f.read()
    except OSError:
        return ""


def evict(path):
    """Writes every dirty page of the machine back (os.sync) and then drops file PATH's pages
    from the page cache, so that the next read of it comes from the disk."""
    # Checked on the 2-core VM (ext4 on virtio): after this, fincore counts
    # none of a 100 MB file's bytes as cached, and reading it takes 18 to
    # 25 ms against 4 to 7 ms warm. Pages a process has mapped or dirtied
    # are not dropped; after the sync nothing here holds either.
    os.sync()
    fd = os.open(path, os.O_RDONLY)
    try:
        os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
    finally:
        os.close(fd)


def cached_bytes(path):
    """Returns how many bytes of file PATH the page cache holds, by fincore (util-linux), or
    None where fincore is missing."""
    if not shutil.which("fincore"):
        return None
    return int(untimed(["fincore", "--bytes", "--noheadings", "--output", "RES", path]))


def mount_of(path):
    """Returns where PATH is mounted, as "POINT (TYPE)", and whether with the discard option
    (from /proc/mounts; ("unknown", False) without it)."""
    real, found, depth = os.path.realpath(path), ("unknown", False), -1
    for fields in (line.split() for line in read_text("/proc/mounts").splitlines()):
        point = fields[1].replace("\\040", " ") if len(fields) > 3 else "-"
        if len(point) >= depth and (real + "/").startswith(point.rstrip("/") + "/"):
            depth = len(point)
            found = ("%s (%s)" % (point, fields[2]), "discard" in fields[3].split(","))
    return found


def report_lines(path):
    """Returns the number of non-blank lines in file PATH, and the first and the last of them
    (cut to 150 bytes, control and non-ASCII bytes escaped as \\xNN; "" for none)."""
    count, first, last = 0, None, b""
    with open(path, "rb") as f:
        for line in f:
            if line.strip():
                count, first, last = count + 1, first or line, line
    return (count, *(line.rstrip(b"\n")[:150].decode("latin-1").encode("unicode_escape").decode()
                     for line in (first or b"", last)))


def table(title, headings, formats, rows, foot=None):
    """Prints TITLE, then ROWS under HEADINGS in aligned columns, each value in its column's
    %-format from FORMATS (split at spaces; None printed as -), then FOOT in brackets."""
    cells = [headings] + [[f % v if v is not None else "-" for f, v in zip(formats.split(), row)]
                          for row in rows]
    widths = [max(map(len, column)) for column in zip(*cells)]
    print(title)
    for row in cells:
        print("  " + " ".join(c.rjust(w) if i else c.ljust(w)
                              for i, (c, w) in enumerate(zip(row, widths))))
    if foot:
        print("  (%s)" % foot)


class Bench:
    """The temporary directory, every run timed so far, the notes, and the settings."""

    def __init__(self, tmp, rounds, limit, **settings):
        """Keeps the temporary directory TMP, the ROUNDS of alternate(), the LIMIT in seconds
        of each timed run, and SETTINGS as attributes."""
        self.tmp, self.rounds, self.limit = tmp, rounds, limit
        self.times = {}  # (section, input, command) -> [(seconds, peak RSS in KiB)]
        self.notes, self.failed = [], False
        vars(self).update(settings)

    def file(self, name):
        """Returns the path of NAME in the temporary directory."""
        return os.path.join(self.tmp, name)

    def size(self, name):
        """Returns the size in bytes of file NAME in the temporary directory."""
        return os.path.getsize(self.file(name))

    def note(self, text):
        """Adds TEXT, once, to the notes printed at the end."""
        if text not in self.notes:
            self.notes.append(text)

    def check(self, what, got, want):
        """Returns if files GOT and WANT hold the same bytes; else prints where they differ and
        stops."""
        if not same_bytes(got, want):
            print("\nOUTPUT MISMATCH: " + what, flush=True)
            subprocess.call(["cmp", got, want])
            wrote = os.path.getsize(got) if os.path.exists(got) else "no"
            print("  decbytes wrote %s bytes, expected %d bytes" % (wrote, os.path.getsize(want)))
            sys.exit(1)

    def run(self, key, cmd, out=None, want=None, ok=("0",), noted=False, stdout=NULL,
            stderr=None, fresh=(), cold=()):
        """Times CMD once, recorded under KEY, (section, input, command); returns (seconds,
        peak RSS KiB). Stops unless its status is in OK (with NOTED, any exit status is only
        noted) and, given WANT, its output file OUT holds WANT's bytes. Removes FRESH first,
        then evicts COLD from the page cache."""
        for path in fresh:
            if os.path.exists(path):
                os.remove(path)
        for path in cold:
            evict(path)
        secs, rss, status = measure.measure(cmd, stdout=stdout, stderr=stderr, timeout=self.limit)
        what = "%s on %s (%s)" % (key[2], key[1], key[0])
        if status not in ok:
            if not (noted and status.isdigit()):
                die("%s: %s" % (what, status))
            self.note("%s exited %s" % (what, status))
        if want:
            self.check(what, out, want)
        self.times.setdefault(key, []).append((secs, rss))
        return secs, rss

    def alternate(self, label, groups):
        """Runs the rounds of every job (a call) in GROUPS (lists of jobs), each group starting
        a round one job further on; prints LABEL and a dot a round."""
        print("%s: %d rounds " % (label, self.rounds), end="", flush=True)
        for r in range(self.rounds):
            for jobs in groups:
                for k in range(len(jobs)):
                    jobs[(r + k) % len(jobs)]()
            print(".", end="", flush=True)
        print(" done")

    def figures(self, key, name=None):
        """Returns, of the runs under KEY: the median speed in MB/s of input NAME (KEY's own by
        default), the speeds' (max - min) / median in percent, and the median peak RSS in MiB."""
        speeds = [self.size(name or key[1]) / 1e6 / secs for secs, _ in self.times[key]]
        median = statistics.median(speeds)
        rss = statistics.median(rss for _, rss in self.times[key]) / 1024
        return median, (max(speeds) - min(speeds)) / median * 100, rss

    def speed(self, key, name=None):
        """Returns the median speed of the runs under KEY, in MB/s (None if there are none)."""
        return self.figures(key, name)[0] if key in self.times else None

    def hyperfine(self, commands, runs, warmup, prepare=(), output=None):
        """Runs COMMANDS (argument lists) under hyperfine -N, RUNS times each, each run after its
        command's in PREPARE; returns the times of each, in seconds, in order."""
        report = self.file("hyperfine.json")
        cmd = ["hyperfine", "-N", "-w", str(warmup), "-r", str(runs), "--style", "none",
               "--export-json", report] + (["--output", output] if output else [])
        for words in prepare:
            cmd += ["--prepare", shlex.join(words)]
        done = subprocess.run(cmd + [shlex.join(c) for c in commands], stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE, text=True)
        if done.returncode != 0:
            print(done.stderr)
            die("hyperfine failed on " + shlex.join(commands[0]))
        with open(report) as f:
            return [result["times"] for result in json.load(f)["results"]]

    def instructions(self, cmd, out, want):
        """Returns the instructions CMD executes under callgrind (None if it cannot run there);
        stops if its output file OUT does not then hold WANT's bytes."""
        profile = self.file("callgrind.out")
        with open(self.file("callgrind.log"), "wb") as log:
            if subprocess.call(["valgrind", "--tool=callgrind", "--callgrind-out-file=" + profile]
                               + cmd, stdout=subprocess.DEVNULL, stderr=log) != 0:
                return None
        self.check(shlex.join(cmd[:2]) + " under callgrind", out, want)
        found = re.search(r"^(?:summary|totals): (\d+)", read_text(profile), re.M)
        return int(found.group(1)) if found else None
