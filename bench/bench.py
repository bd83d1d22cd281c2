"""Times plaken against the tools a user would pick instead for the same
splice, on a fixed generated workload.
Usage: bench.py PLAKEN DATA_DIR [ROUNDS [WORKLOAD...]]
WORKLOAD is standard, line or small; all three by default.

Needs python3, GNU sed, mawk and/or gawk, cmp, cat and GNU time
(/usr/bin/time, Debian package "time"). Prints, for each
workload, the median wall time, the peak resident memory and the time as a
ratio to plaken's, all measured in one run with the commands alternating.
"""
import os
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))


class Random:
    """A small linear congruential generator: the same bytes on every
    machine and every Python."""

    def __init__(self, seed):
        self.state = seed

    def next(self, bound):
        self.state = (self.state * 6364136223846793005 + 1442695040888963407) % (1 << 64)
        return (self.state >> 33) % bound


WORDS = [b"lorem", b"ipsum", b"dolor", b"sit", b"amet", b"<b>", b"</b>",
         b"<a href=\"#x\">", b"</a>", b"&amp;", b"caf\xe9", b"na\xefve",
         b"<span class=\"k\">", b"</span>", b"42", b"\t", b"<br>", b"x"]


def text_line(rng, length):
    parts = []
    size = 0
    while size < length:
        word = WORDS[rng.next(len(WORDS))]
        parts.append(word)
        parts.append(b" ")
        size += len(word) + 1
    return b"".join(parts)[:length]


def write_if_missing(path, make):
    if os.path.exists(path):
        return
    with open(path + ".part", "wb") as f:
        make(f)
    os.replace(path + ".part", path)


def make_standard_template(f):
    # 400 000 lines of 10 to 130 bytes; a text-area line every 400 lines;
    # every seventh line ends in CR LF, the others in LF.
    rng = Random(1)
    chunk = []
    for n in range(400000):
        if n % 400 == 399:
            line = b'<p><textarea rows=4 name="t%d">old</textarea></p>' % n
        else:
            line = text_line(rng, 10 + max(rng.next(121), rng.next(121)))
        chunk.append(line + (b"\r\n" if n % 7 == 0 else b"\n"))
        if len(chunk) == 10000:
            f.write(b"".join(chunk))
            chunk = []
    f.write(b"".join(chunk))


def make_notes(count, seed):
    def make(f):
        rng = Random(seed)
        for n in range(count):
            f.write(text_line(rng, 10 + rng.next(40)) + b"\r\n")
    return make


def make_one_line(f):
    # 200 MiB without a line end and without a text area.
    rng = Random(3)
    block = b"".join(text_line(rng, 100) for _ in range(10486))[:1 << 20]
    for _ in range(200):
        f.write(block)


def make_small_page(f):
    rng = Random(4)
    lines = [b"<html><body><form>"]
    size = len(lines[0])
    n = 0
    while size < 2000:
        if n % 12 == 5:
            line = b'<p><textarea name="n%d">old</textarea></p>' % n
        else:
            line = text_line(rng, 20 + rng.next(60))
        lines.append(line)
        size += len(line) + 1
        n += 1
    lines.append(b"</form></body></html>")
    f.write(b"\n".join(lines) + b"\n")


def generate(data):
    """Each workload in a folder of its own: page.html and notes.txt."""
    workloads = {
        "standard": (make_standard_template, make_notes(200, 2)),
        "line": (make_one_line, make_notes(200, 2)),
        "small": (make_small_page, make_notes(14, 5)),
    }
    for folder, (page, notes) in workloads.items():
        os.makedirs(os.path.join(data, folder), exist_ok=True)
        write_if_missing(os.path.join(data, folder, "page.html"), page)
        write_if_missing(os.path.join(data, folder, "notes.txt"), notes)


TIME = "/usr/bin/time"


def run(command, cwd):
    """Runs one command; returns (wall seconds, peak resident KiB).
    The peak comes from /usr/bin/time -f %M: a child forked straight from
    this Python would count Python's own memory as its peak."""
    peak_file = os.path.join(cwd, "peak")
    # The page cache's dirty pages are written out first: a command should
    # not pay for the output that the one before it left to be written.
    os.sync()
    start = time.perf_counter()
    result = subprocess.run([TIME, "-f", "%M", "-o", peak_file] + command, cwd=cwd,
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit("failed (%d): %s" % (result.returncode, " ".join(command)))
    with open(peak_file) as f:
        return elapsed, int(f.read().split()[-1])


def shell(script):
    return ["sh", "-c", script]


def splice_commands(plaken, repeat=1, leave_out=()):
    """The splice as each tool does it, page.html and notes.txt into out,
    and cat copying plaken's finished output as the floor."""
    awk = os.path.join(HERE, "splice.awk")
    sed = os.path.join(HERE, "splice.sed")
    py = os.path.join(HERE, "splice.py")
    forms = [
        ("plaken", plaken + " page.html notes.txt out"),
        ("mawk", "LC_ALL=C mawk -v notes=notes.txt -f %s page.html > out" % awk),
        ("gawk", "LC_ALL=C gawk -v notes=notes.txt -f %s page.html > out" % awk),
        ("sed", "LC_ALL=C sed -f %s page.html > out" % sed),
        ("python3", "python3 %s page.html notes.txt out" % py),
        ("cat", "cat finished > out"),
    ]
    commands = []
    for name, line in forms:
        if name in leave_out:
            continue
        if name not in ("plaken", "cat") and shutil.which(name) is None:
            print("(%s is not installed: left out)" % name)
            continue
        if repeat > 1:
            line = "i=0; while [ $i -lt %d ]; do %s || exit 1; i=$((i+1)); done" % (repeat, line)
        commands.append((name, shell(line)))
    return commands


def benchmark(title, commands, data, rounds, peers_same):
    # First pass: every peer's output is compared with plaken's.
    notes = []
    for name, command in commands:
        run(command, data)
        if name == "plaken":
            os.replace(os.path.join(data, "out"), os.path.join(data, "reference"))
            # The finished output, for cat to copy.
            shutil.copyfile(os.path.join(data, "reference"), os.path.join(data, "finished"))
        elif name != "cat":
            same = subprocess.run(["cmp", "-s", "out", "reference"], cwd=data).returncode == 0
            if same != peers_same.get(name, True):
                notes.append("%s: output %s plaken's, which was not expected"
                             % (name, "matches" if same else "differs from"))
            notes.append("%s: %s" % (name, "same bytes as plaken (cmp)" if same
                                     else "cannot give the same bytes: " + peers_same.get(name + " why", "differs")))
    times = {name: [] for name, _ in commands}
    peaks = {name: 0 for name, _ in commands}
    for _ in range(rounds):
        for name, command in commands:
            elapsed, peak = run(command, data)
            times[name].append(elapsed)
            peaks[name] = max(peaks[name], peak)
    base = statistics.median(times["plaken"])
    print()
    print("%s (median of %d rounds)" % (title, rounds))
    print("  %-9s %10s %12s %9s" % ("command", "time (s)", "peak RSS", "/ plaken"))
    for name, _ in commands:
        median = statistics.median(times[name])
        print("  %-9s %10.4f %9.1f MiB %9.2f" % (name, median, peaks[name] / 1024.0, median / base))
    for note in notes:
        print("  " + note)
    os.remove(os.path.join(data, "out"))
    os.remove(os.path.join(data, "peak"))


def main():
    plaken = os.path.abspath(sys.argv[1])
    data = os.path.abspath(sys.argv[2])
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    chosen = sys.argv[4:] or ["standard", "line", "small"]
    for name in chosen:
        if name not in ("standard", "line", "small"):
            sys.exit("unknown workload %s: standard, line or small" % name)
    generate(data)
    print("machine: %d processors (nproc)" % os.cpu_count())

    def size(folder, name):
        return os.path.getsize(os.path.join(data, folder, name))

    if "standard" in chosen:
        benchmark("Standard workload: %.1f MB template, %.1f KB notes"
                  % (size("standard", "page.html") / 1e6, size("standard", "notes.txt") / 1e3),
                  splice_commands(plaken), os.path.join(data, "standard"), rounds, {})
    if "line" in chosen:
        benchmark("One line of %d MiB without a line end" % (size("line", "page.html") >> 20),
                  splice_commands(plaken, leave_out=("mawk",)), os.path.join(data, "line"),
                  rounds, {"sed": False, "sed why": "sed leaves a last line without its LF"})
        print("  (mawk left out: it takes about three minutes on this line)")
    if "small" in chosen:
        benchmark("Small page (%d bytes, %d-byte notes), 200 runs in a row"
                  % (size("small", "page.html"), size("small", "notes.txt")),
                  splice_commands(plaken, repeat=200), os.path.join(data, "small"), rounds, {})


main()
