"""The command line shared by the end-to-end test files: one --NAME PATH
per program under test (--tallix by default), a unittest run of the calling
module, and "N passed, N failed" at the end."""
import argparse
import os
import sys
import unittest


def main(module_name, programs=("tallix",)):
    """Runs the module's tests; each program's path is set as the module's
    upper-case global of that name (--tallix PATH sets TALLIX)."""
    parser = argparse.ArgumentParser()
    for name in programs:
        parser.add_argument("--" + name, required=True)
    parser.add_argument("-k", dest="pattern", help="run only tests whose name contains this")
    opts = parser.parse_args()
    module = sys.modules[module_name]
    for name in programs:
        setattr(module, name.upper(), os.path.abspath(getattr(opts, name)))
    suite = unittest.defaultTestLoader.loadTestsFromModule(module)
    if opts.pattern:
        suite = unittest.TestSuite(t for s in suite for t in s if opts.pattern in t.id())
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    failed = len(result.failures) + len(result.errors)
    print("%d passed, %d failed" % (result.testsRun - failed, failed))
    sys.exit(0 if result.wasSuccessful() else 1)
