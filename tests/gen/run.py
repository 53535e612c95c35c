#!/usr/bin/env python3
"""Runs golden and generated programs through kiln and checks the outcomes.

    tests/gen/run.py diff   KILN [--count N | --seconds S] [--seed SEED] [--no-golden]
    tests/gen/run.py attack KILN [--count N | --seconds S] [--seed SEED]

diff: every golden program (tests/programs/**/*.kn, with its .args and .in
and run in its own directory, as run-case runs it) and then generated
programs run twice, with KILN_ENGINE=graph and with KILN_ENGINE=compiled;
stdout, stderr and the exit status must be identical. When they are not,
each engine runs the program again: if either then prints something else,
the output depends on the process (the address of a C stream under
address-space randomisation, the clock) and the program is counted apart.

attack: generated programs run once; a signal, an "ASSERTION FAILED" line
or a sanitizer report fails the run. The programs never ask for a signal.

Generated programs come from tests/gen/generate.py with the seed (printed
first; by default one drawn from the clock) and indexes from 0. A failing
program is written to the findings directory (--findings, default
gen-findings in the current directory) and printed with the command that
makes it again. A run that outlasts --timeout is counted as skipped: only
finished runs are compared.
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
import generate  # noqa: E402

SANITIZER_MARKS = (b"ERROR: AddressSanitizer", b"ERROR: LeakSanitizer", b"runtime error:",
                   b"ERROR: UndefinedBehaviorSanitizer", b"AddressSanitizer:DEADLYSIGNAL")


class Outcome:
    def __init__(self, status, out, err, timed_out, wall):
        self.status, self.out, self.err, self.timed_out = status, out, err, timed_out
        self.wall = wall

    def key(self):
        return (self.status, self.out, self.err)


def run_kiln(kiln, words, stdin=None, cwd=None, engine=None, timeout=10.0, extra_env=None):
    """Runs kiln with the words after it (the program file and its
    arguments)."""
    env = dict(os.environ, NO_COLOR="")
    env.pop("KILN_STATS", None)
    env.setdefault("ASAN_OPTIONS", "detect_leaks=0")
    env.setdefault("UBSAN_OPTIONS", "print_stacktrace=1")
    if engine:
        env["KILN_ENGINE"] = engine
    env.update(extra_env or {})
    start = time.monotonic()
    with open(stdin or os.devnull, "rb") as inp:
        child = subprocess.Popen([kiln] + list(words), stdin=inp, stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, cwd=cwd, env=env, start_new_session=True)
        try:
            out, err = child.communicate(timeout=timeout)
            return Outcome(child.returncode, out, err, False, time.monotonic() - start)
        except subprocess.TimeoutExpired:
            os.killpg(child.pid, signal.SIGKILL)
            out, err = child.communicate()
            return Outcome(child.returncode, out, err, True, time.monotonic() - start)


def golden_cases():
    cases = []
    for dirpath, _, files in os.walk(os.path.join(ROOT, "tests", "programs")):
        for f in sorted(files):
            if f.endswith(".kn"):
                cases.append(os.path.join(dirpath, f))
    return sorted(cases)


def lines_of(path):
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        lines = f.read().split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    return lines


def case_inputs(case):
    """The command words, standard input and environment of a golden case,
    as tests/programs/run-case makes them."""
    base = case[:-3]
    words, stdin, env = [case], None, {}
    if os.path.exists(base + ".cmd"):
        words, stdin = [], case
        for line in lines_of(base + ".cmd"):
            if line == "@FILE":
                words.append(case)
            elif line == "@TEXT":
                with open(case, encoding="utf-8", errors="surrogateescape") as f:
                    words.append(f.read().rstrip("\n"))
            else:
                words.append(line)
    if os.path.exists(base + ".args"):
        words += lines_of(base + ".args")
    if os.path.exists(base + ".in"):
        stdin = base + ".in"
    if os.path.exists(base + ".env"):
        for line in lines_of(base + ".env"):
            name, _, value = line.partition("=")
            env[name] = value
    return words, stdin, env


def show(outcome):
    def text(b):
        t = b.decode(errors="replace")
        return t if len(t) < 2000 else t[:2000] + "...(cut)"
    return "status %s%s\n--- stdout\n%s\n--- stderr\n%s" % (
        outcome.status, " (timed out)" if outcome.timed_out else "", text(outcome.out),
        text(outcome.err))


def faults_of(outcome):
    """What no program may do to kiln: end it by a signal, reach an
    assertion, or make a sanitizer report."""
    problems = []
    if outcome.status < 0:
        problems.append("ended by signal %d" % -outcome.status)
    if b"ASSERTION FAILED" in outcome.err:
        problems.append("an assertion failed")
    if any(m in outcome.err for m in SANITIZER_MARKS):
        problems.append("a sanitizer report")
    return problems


class Runner:
    def __init__(self, opts):
        self.o = opts
        self.kiln = os.path.abspath(opts.kiln)
        self.failures = 0
        self.ran = 0
        self.timeouts = 0
        self.varying = 0
        os.makedirs(opts.findings, exist_ok=True)
        self.work = tempfile.mkdtemp(prefix="kiln-gen-")

    def save(self, index, text, report):
        name = "%s-%s-%d" % (self.o.mode, self.o.seed, index)
        path = os.path.join(self.o.findings, name + ".kn")
        with open(path, "w", encoding="utf-8", errors="surrogateescape") as f:
            f.write(text)
        with open(os.path.join(self.o.findings, name + ".txt"), "w") as f:
            f.write(report + "\n")
        print("FAIL: generated program %d of seed %s (saved as %s)" % (index, self.o.seed, path))
        print("  make it again: tests/gen/generate.py %s %d" % (self.o.seed, index))
        print("--- program\n" + text)
        print(report)
        sys.stdout.flush()

    def differs(self, words, stdin=None, cwd=None, check=True, timeout=None, env=None):
        """Runs a program on both engines; answers a report of the
        difference (or, with check, of a fault), or None (also when either
        run timed out). Golden programs may ask for a signal."""
        timeout = timeout or self.o.timeout
        a = run_kiln(self.kiln, words, stdin, cwd, "graph", timeout, env)
        b = run_kiln(self.kiln, words, stdin, cwd, "compiled", timeout, env)
        if a.timed_out != b.timed_out:
            # One engine may just be much slower: give it six times longer.
            if a.timed_out:
                a = run_kiln(self.kiln, words, stdin, cwd, "graph", 6 * timeout, env)
            else:
                b = run_kiln(self.kiln, words, stdin, cwd, "compiled", 6 * timeout, env)
        if a.timed_out or b.timed_out:
            done = b if a.timed_out else a
            if done.timed_out or done.wall >= timeout / 4:
                self.timeouts += 1
                return None
            # One engine ran on long after the other had finished.
        faults = [(engine, faults_of(o) if check and not o.timed_out else [])
                  for engine, o in (("graph", a), ("compiled", b))]
        faults = ["%s on KILN_ENGINE=%s" % (f, engine) for engine, fs in faults for f in fs]
        if a.key() == b.key() and a.timed_out == b.timed_out and not faults:
            return None
        if not faults and not a.timed_out and not b.timed_out and self.varies(words, stdin, cwd, timeout, env, a, b):
            # What the program prints differs from run to run on one engine
            # (the address of a C stream, a clock): no difference between
            # the engines can be read from it.
            self.varying += 1
            return None
        title = ("=== " + ", ".join(faults) + "\n") if faults else ""
        return title + "=== KILN_ENGINE=graph: " + show(a) + "\n=== KILN_ENGINE=compiled: " + show(b)

    def varies(self, words, stdin, cwd, timeout, env, a, b):
        """Whether either engine, run again, prints something else: the
        output then depends on the process (addresses under address-space
        randomisation, times), not on the engine."""
        for engine, first in (("graph", a), ("compiled", b)):
            again = run_kiln(self.kiln, words, stdin, cwd, engine, timeout, env)
            if not again.timed_out and again.key() != first.key():
                return True
        return False

    def attacked(self, program):
        a = run_kiln(self.kiln, [program], timeout=self.o.timeout)
        if a.timed_out:
            self.timeouts += 1
            return None
        problems = faults_of(a)
        if not problems:
            return None
        return "=== " + ", ".join(problems) + ": " + show(a)

    def golden(self):
        for case in golden_cases():
            words, stdin, env = case_inputs(case)
            report = self.differs(words, stdin, os.path.dirname(case), check=False,
                                  timeout=max(self.o.timeout, 120.0), env=env)
            self.ran += 1
            if report:
                self.failures += 1
                print("FAIL: golden program %s differs between the engines" % os.path.relpath(case, ROOT))
                print(report)

    def generated(self):
        start = time.monotonic()
        index = 0
        path = os.path.join(self.work, "p.kn")
        while True:
            if self.o.count is not None and index >= self.o.count:
                break
            if self.o.seconds is not None and time.monotonic() - start >= self.o.seconds:
                break
            text = generate.program(self.o.seed, index)
            with open(path, "w", encoding="utf-8", errors="surrogateescape") as f:
                f.write(text)
            report = self.differs([path]) if self.o.mode == "diff" else self.attacked(path)
            self.ran += 1
            if report:
                self.failures += 1
                self.save(index, text, report)
                if self.failures >= self.o.max_failures:
                    print("stopping after %d failures" % self.failures)
                    break
            index += 1
        shutil.rmtree(self.work, ignore_errors=True)


def main():
    p = argparse.ArgumentParser(description="Differential and attack runs of kiln programs.")
    p.add_argument("mode", choices=["diff", "attack"])
    p.add_argument("kiln")
    p.add_argument("--count", type=int, default=None, help="generated programs to run")
    p.add_argument("--seconds", type=float, default=None, help="time for generated programs")
    p.add_argument("--seed", default=None, help="generator seed (default: from the clock)")
    p.add_argument("--timeout", type=float, default=10.0, help="seconds allowed for one run")
    p.add_argument("--no-golden", action="store_true", help="diff: skip the golden programs")
    p.add_argument("--findings", default=os.path.join(os.getcwd(), "gen-findings"),
                   help="directory for failing programs")
    p.add_argument("--max-failures", type=int, default=10)
    o = p.parse_args()
    if o.count is None and o.seconds is None:
        o.count = 200
    if o.seed is None:
        o.seed = str(int(time.time()))
    print("seed %s" % o.seed)
    sys.stdout.flush()
    r = Runner(o)
    if o.mode == "diff" and not o.no_golden:
        r.golden()
    r.generated()
    passed = r.ran - r.failures - r.timeouts - r.varying
    print("%s: %d programs, seed %s" % (o.mode, r.ran, o.seed))
    print("%d passed, %d failed, %d skipped (timed out), %d whose output varies from run to run"
          % (passed, r.failures, r.timeouts, r.varying))
    return 1 if r.failures else 0


if __name__ == "__main__":
    sys.exit(main())
