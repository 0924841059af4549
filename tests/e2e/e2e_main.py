"""The command line shared by the end-to-end test files: --tallix PATH,
a unittest run of the calling module, and "N passed, N failed" at the end."""
import argparse
import os
import sys
import unittest


def main(module_name):
    parser = argparse.ArgumentParser()
    parser.add_argument("--tallix", required=True)
    parser.add_argument("-k", dest="pattern", help="run only tests whose name contains this")
    opts = parser.parse_args()
    module = sys.modules[module_name]
    module.TALLIX = os.path.abspath(opts.tallix)
    suite = unittest.defaultTestLoader.loadTestsFromModule(module)
    if opts.pattern:
        suite = unittest.TestSuite(t for s in suite for t in s if opts.pattern in t.id())
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    failed = len(result.failures) + len(result.errors)
    print("%d passed, %d failed" % (result.testsRun - failed, failed))
    sys.exit(0 if result.wasSuccessful() else 1)
