"""The one main of the end-to-end suites: the paths of the programs under
test from the command line (--NAME PATH, kept in drivers), the driver every
suite runs through (the native programs unless the suite sets up another),
a unittest run of the calling module's tests and of the suites it takes
in, and "N passed, N failed[, N skipped]" at the end.

    python3 SUITE.py --tallix build/dev/lookup/tallix [-k PATTERN]
"""
import argparse
import os
import sys
import unittest

import drivers


def _path(value, must_exist):
    if not value:
        return None
    path = os.path.abspath(value)
    return path if not must_exist or os.path.exists(path) else None


def main(module_name, programs=("tallix",), optional=(), built=(), also=(), session=None):
    """Runs the tests of the module `module_name` and of the modules `also`.
    `programs` are required --NAME paths; `optional` are (NAME, help) pairs
    of paths that may be left out; of those, a program named in `built`
    that does not exist (a native build named but not built yet) counts as
    not given. Each path is kept as drivers.program(NAME).
    The driver in use is the native one over --tallix and --check, unless
    `session` is given: a function called with the parsed options that sets
    up the driver itself and returns a function that ends what it set up."""
    parser = argparse.ArgumentParser()
    for name in programs:
        parser.add_argument("--" + name, required=True)
    for name, help_text in optional:
        parser.add_argument("--" + name, help=help_text)
    parser.add_argument("-k", dest="pattern", help="run only tests whose name contains this")
    opts = parser.parse_args()
    for name in programs:
        drivers.set_program(name, _path(getattr(opts, name), False))
    for name, _ in optional:
        drivers.set_program(name, _path(getattr(opts, name.replace("-", "_")), name in built))

    end = None
    if session:
        end = session(opts)
    else:
        drivers.use(drivers.Native(drivers.program("tallix"), drivers.program("check")))
    try:
        loader = unittest.defaultTestLoader
        suite = unittest.TestSuite(loader.loadTestsFromModule(m)
                                   for m in [sys.modules[module_name]] + list(also))
        if opts.pattern:
            suite = unittest.TestSuite(t for s in _flat(suite) for t in [s] if opts.pattern in t.id())
        result = unittest.TextTestRunner(verbosity=2).run(suite)
    finally:
        if end:
            end()
    failed = len(result.failures) + len(result.errors)
    skipped = len(result.skipped)
    print("%d passed, %d failed" % (result.testsRun - failed - skipped, failed)
          + (", %d skipped" % skipped if skipped else ""))
    sys.exit(0 if result.wasSuccessful() else 1)


def _flat(suite):
    for t in suite:
        if isinstance(t, unittest.TestSuite):
            yield from _flat(t)
        else:
            yield t
