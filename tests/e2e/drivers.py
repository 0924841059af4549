"""The two ways the end-to-end suites run the programs under test: the native
build (boxes on the terminal, answered on standard input), or the Windows
programs under Wine (real boxes read and answered by tallix_boxes.exe on the
session's display, or headless, where every box gives up at once). Every
suite runs through the driver in use (`use`, `current`), which the suite's
main sets up (e2e_main), so one suite serves both; the paths of the
programs under test are kept here too (`program`).

A driver's `run` returns a harness.Run (`status`, `boxes`, `log`); `check`
returns tallix-check's (status, standard output with LF line ends, standard
error). Where Windows words a box otherwise, the table says so in the box's
`text_win`; `expected_boxes` and `worded` are the one place that applies it.
"""
import os
import subprocess
import unittest

import harness
import wine_driver

_programs = {}
_current = None


def set_program(name, path):
    """Records the path of a program under test (None: not given)."""
    _programs[name] = path


def program(name):
    """The path of the program under test named `name`, or None."""
    return _programs.get(name)


def use(driver):
    """Makes `driver` the one every suite runs through."""
    global _current
    _current = driver


def current():
    """The driver in use."""
    return _current


class Native:
    windows = False
    answered = True

    def __init__(self, tallix, check=None):
        self.tallix = tallix
        self.check_program = check

    def start_group(self):
        pass

    def run(self, args, folder, boxes, **faults):
        """Runs tallix with the command-line text `args` in `folder`,
        answering `boxes`. `faults` are harness.run_tallix's (fill_disk,
        file_size_limit, without_root, argv)."""
        return harness.run_tallix(self.tallix, args, folder, boxes, **faults)

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

    def start_group(self):
        # The first program of a wineserver decides whether Wine's desktop
        # has a display: each group of tests starts with a wineserver of
        # its own.
        self.session.end_wineserver()

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


class SuiteCase(unittest.TestCase):
    """A test class of a suite that runs through the driver in use: each
    class is a group of the driver's."""

    @classmethod
    def setUpClass(cls):
        current().start_group()


def worded(box, text, windows):
    """`text`, as a program on Windows shows it when `windows`: the table's
    `text_win` where the table says Windows words `box` otherwise."""
    return box.text_win if windows and box.text_win and text == box.text else text


def expected_boxes(driver, boxes):
    """The boxes of a table or fault case as `driver`'s program words them."""
    return [(b.caption, worded(b, b.text, driver.windows), b.buttons) for b in boxes]


def exists(path):
    return bool(path) and os.path.exists(path)
