"""The two ways the end-to-end suites run the programs under test: the native
build (boxes on the terminal, answered on standard input), or the Windows
programs under Wine (real boxes read and answered by tallix_boxes.exe on the
session's display, or headless, where every box gives up at once). The case
table, the fault suite and the checker suite each run through a driver, so
one suite serves both.

A driver's `run` returns an object with `status`, `boxes` ((caption, text,
buttons) in order; None headless) and `log`; `check` returns tallix-check's
(status, standard output with LF line ends, standard error).
"""
import os
import subprocess

import harness
import wine_driver


class Native:
    windows = False
    answered = True

    def __init__(self, tallix, check=None):
        self.tallix = tallix
        self.check_program = check

    def run(self, args, folder, boxes, **faults):
        """Runs tallix with the command-line text `args` in `folder`,
        answering `boxes`. `faults` are harness.run_tallix's (fill_disk,
        file_size_limit, without_root, argv)."""
        run = harness.run_tallix(self.tallix, args, folder, boxes, **faults)
        run.log = run.stderr
        return run

    def check(self, args, folder):
        p = subprocess.run([self.check_program] + args, cwd=folder, stdin=subprocess.DEVNULL,
                           capture_output=True, timeout=60)
        return p.returncode, p.stdout.decode("latin-1"), p.stderr.decode("latin-1")


class Wine:
    windows = True

    def __init__(self, session, exe, check=None, answered=True):
        self.session = session
        self.exe = exe
        self.check_program = check
        self.answered = answered

    def run(self, args, folder, boxes, **faults):
        """As Native.run; the faults that only a native run can set up are
        not offered (the caller skips those cases)."""
        if faults:
            raise ValueError("not under Wine: %s" % ", ".join(sorted(faults)))
        if self.answered:
            return wine_driver.run_answered(self.session, self.exe, args, folder, boxes)
        return wine_driver.run_headless(self.session, self.exe, args, folder)

    def check(self, args, folder):
        # On the display too, as answered runs are: the first program of a
        # wineserver decides whether Wine's desktop has one.
        p = subprocess.run(["wine", self.check_program] + args, cwd=folder,
                           env=self.session.env(self.session.display),
                           stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        # A console program on Windows ends its lines with CR LF.
        return (p.returncode, p.stdout.decode("latin-1").replace("\r\n", "\n"),
                p.stderr.decode("latin-1").replace("\r\n", "\n"))


def expected_boxes(driver, boxes):
    """The boxes of a table or fault case as `driver`'s program words them."""
    return [(b.caption, b.text_win if driver.windows and b.text_win else b.text, b.buttons) for b in boxes]


def exists(path):
    return bool(path) and os.path.exists(path)
