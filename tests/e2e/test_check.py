#!/usr/bin/env python3
"""End-to-end tests of the built tallix-check: real data files in a scratch
folder, the diagnostics and summaries on standard output, the reasons on
standard error, and the exit status. The --lookup mode is run beside the
real tallix on every shared case that finds a value or fails a search, and
the two must agree on the value and on the message.

    test_check.py --check build/dev/check/tallix-check --tallix build/dev/lookup/tallix
"""
import os
import re
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import cases  # noqa: E402
import drivers  # noqa: E402
import e2e_main  # noqa: E402
import harness  # noqa: E402

SAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "samples")


def driver():
    """The programs under test, natively or under Wine (e2e_main sets it up)."""
    return drivers.current()


def run_check(args, folder):
    return driver().check(args, folder)


def run_tallix(args, folder):
    """tallix with the command-line text `args`, no box answered: it gives
    up at the first one."""
    return driver().run(args, folder, [])


# One planted problem of each kind, each on a line of its own.
PLANTED_LINES = [
    "A7 10 10.00013",                               # 1 clean
    "AB12 ten 10.02",                               # 2 nominal not a number
    "B3 5",                                         # 3 no value
    "B4 5 5.0V",                                    # 4 value not a number
    "a7 10.0 9",                                    # 5 never found: line 1 is taken
    "C1 1 1" + " " * 248 + "  C2 2 2",              # 6 longer than 254 characters
    "E1 1 1\x002345",                               # 7 a NUL cuts the value
    "D1 1 1",                                       # 8 clean
    "D2 2 2\x1a",                                   # 9 Ctrl-Z hides what follows
]
PLANTED = "\r\n".join(PLANTED_LINES) + "\r\nD3 3 3\r\n"
PLANTED_FINDINGS = [
    'bad.dat:2: error: nominal "ten" is not a number; every lookup of AB12 that reaches this line '
    'stops here',
    'bad.dat:3: error: B3 at 5 has no value; its lookup stops here with "Can\'t get value."',
    'bad.dat:4: error: value "5.0V" of B4 at 5 is not a number; a unit glued to the number? write the number '
    'alone: 5.0',
    "bad.dat:5: error: a7 at 10.0 can never be found: a lookup of a7 at 10.0 takes line 1 "
    "(nominal 10) first, which records the value 10.00013, not 9: every lookup of a7 at 10.0 delivers 10.00013; "
    "delete the line that is out of date, or give each value its own nominal",
    "bad.dat:6: warning: line of 262 characters is read in pieces of 254: piece 2 starts at column "
    "255 and is read as a line for asset C2",
    "bad.dat:7: warning: a NUL character at column 7 ends the line; the text after it is never read",
    "bad.dat:9: warning: Ctrl-Z at column 7 ends the file; the 10 bytes after it are never read",
    "bad.dat: 9 lines, 9 assets, 6 nominals, 4 errors, 3 warnings",
]


class Diagnostics(drivers.SuiteCase):
    def setUp(self):
        self.folder = harness.scratch()

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def test_one_diagnostic_per_planted_problem_and_nothing_else(self):
        harness.lay_out(self.folder, {"bad.dat": PLANTED})
        status, out, err = run_check(["bad.dat"], self.folder)
        self.assertEqual(out.splitlines(), PLANTED_FINDINGS)
        self.assertEqual(err, "")
        self.assertEqual(status, 1)

    def test_each_problem_alone_is_found_at_its_line(self):
        # Each planted line after a clean first line: only its own finding.
        for i, line in enumerate(PLANTED_LINES[1:7], start=2):
            with self.subTest(line=i):
                harness.lay_out(self.folder, {"one.dat": PLANTED_LINES[0] + "\n" + line + "\n"})
                status, out, _ = run_check(["one.dat"], self.folder)
                findings = out.splitlines()[:-1]
                self.assertEqual(len(findings), 1, out)
                expected = PLANTED_FINDINGS[i - 2].replace("bad.dat:%d:" % i, "one.dat:2:")
                self.assertEqual(findings[0], expected)
                self.assertEqual(status, 1 if ": error: " in expected else 0)

    def test_a_clean_file_gets_only_its_summary(self):
        shutil.copy(os.path.join(SAMPLES, "refs.dat"), self.folder)
        status, out, err = run_check(["refs.dat"], self.folder)
        self.assertEqual(status, 0, out + err)
        self.assertRegex(out, r"\Arefs\.dat: \d+ lines, \d+ assets, \d+ nominals, 0 errors, 0 warnings\n\Z")

    def test_several_files_and_one_that_cannot_be_read(self):
        harness.lay_out(self.folder, {"good.dat": "A7 10 1\r\nA7 20 2\r\n", "bad.dat": PLANTED,
                                      "sub/x": ""})
        status, out, err = run_check(["good.dat", "bad.dat"], self.folder)
        self.assertEqual(status, 1)
        self.assertEqual(out.splitlines(), ["good.dat: 2 lines, 1 asset, 2 nominals, 0 errors, 0 warnings"]
                         + PLANTED_FINDINGS
                         + ["total of 2 files: 11 lines, 10 assets, 8 nominals, 4 errors, 3 warnings"])

        status, out, err = run_check(["good.dat", "none.dat", "sub"], self.folder)
        self.assertEqual(status, 2)
        folder_reason = "Permission denied." if driver().windows else "errno = 21."
        self.assertEqual(err.splitlines(), [
            'tallix-check: Can\'t open "none.dat".  No such file or directory.',
            'tallix-check: Can\'t open "sub".  ' + folder_reason])
        self.assertIn("good.dat: 2 lines", out)

    def test_output_is_the_same_every_time(self):
        harness.lay_out(self.folder, {"bad.dat": PLANTED})
        first = run_check(["bad.dat", "bad.dat"], self.folder)
        self.assertEqual(run_check(["bad.dat", "bad.dat"], self.folder), first)


# The samples of what spreadsheet programs and editors leave in data files:
# each is refused (status 1) or warned about, and every finding names what
# to write or do instead.
SHAPE_SAMPLES = [
    # file, status, findings, what every error or warning tells the writer to do
    ("flawed-decimal-comma.dat", 1, 6, r"write \d"),
    ("flawed-comma-csv.dat", 1, 5, r"[Ww]rite "),
    ("flawed-semicolon.dat", 1, 4, r"save the file as \"Text \(Tab delimited\)\"|delete the row"),
    ("flawed-quoted.dat", 1, 4, r"save the file without quotes|write one line per asset and nominal"),
    ("flawed-utf16.dat", 1, 1, r"save it as \"Text \(Tab delimited\)\""),
    ("flawed-utf8-bom.dat", 1, 1, r"save the file as ANSI text"),
    ("flawed-editor-notes.dat", 1, 6, r"delete the|never read|type a plain blank|write the number alone"),
    ("flawed-blank-groups.dat", 1, 5, r"is read with value [^;]+; .*: write \d"),
    ("flawed-export-gaps.dat", 1, 4, r"is read with value [^;]+; .*(: write \d|Fill in the empty cell)|delete the row"),
    ("flawed-invisible.dat", 1, 4, r"U\+[0-9A-F]{4} .* at column \d+.*(delete it|write \d|type the letters)|"
                                   r"before \"C301\".*type a plain blank"),
]


class DataFileShapes(drivers.SuiteCase):
    def test_each_flawed_sample_says_what_to_mend(self):
        folder = harness.scratch()
        try:
            for name, status, count, mend in SHAPE_SAMPLES:
                with self.subTest(sample=name):
                    shutil.copy(os.path.join(SAMPLES, name), folder)
                    got, out, err = run_check([name], folder)
                    findings = out.splitlines()[:-1]
                    self.assertEqual((got, err), (status, ""), out)
                    self.assertEqual(len(findings), count, out)
                    for line in findings:
                        self.assertRegex(line, r"^%s:\d+: (error|warning): " % re.escape(name))
                        self.assertRegex(line, mend)
        finally:
            shutil.rmtree(folder, ignore_errors=True)

    def test_every_other_data_file_sample_is_clean(self):
        samples = [n for n in os.listdir(SAMPLES)
                   if n.endswith(".dat") and not n.startswith("flawed") and n != "dosdose.dat"]
        self.assertIn("refs.dat", samples)
        flawed = [n for n in os.listdir(SAMPLES) if n.startswith("flawed-")]
        self.assertEqual(sorted(flawed), sorted(n for n, _, _, _ in SHAPE_SAMPLES))
        for name in samples:
            with self.subTest(sample=name):
                status, out, err = run_check([os.path.join(SAMPLES, name)], ".")
                self.assertEqual(status, 0, out + err)
                self.assertRegex(out, r"\A[^\n]*: \d+ lines, \d+ assets?, \d+ nominals?, 0 errors, 0 warnings\n\Z")

    def test_tallix_never_delivers_the_whole_number_before_a_decimal_comma(self):
        # Every lookup the writer meant in the tab-separated export fails with
        # the invalid-number report; none hands over a value.
        folder = harness.scratch()
        try:
            harness.lay_out(folder, {"vornax.ini": cases.INI, "dosdose.dat": cases.DOSE})
            shutil.copy(os.path.join(SAMPLES, "flawed-decimal-comma.dat"), folder)
            for asset, nominal, token in [("A7", "1", "1,000021"), ("A7", "10", "10,00013"),
                                          ("AB12", "10", "10,02"), ("R1", "1000", "1,000")]:
                with self.subTest(asset=asset, nominal=nominal):
                    run = run_tallix("vornax.ini flawed-decimal-comma.dat %s %s" % (asset, nominal), folder)
                    self.assertEqual(run.status, 1)
                    self.assertEqual(run.boxes[0][1], '"%s" contains an invalid NR3 number.' % token)
                    mem1 = harness.read_bytes(os.path.join(folder, "dosdose.dat")).split(b"\r\n")[1]
                    self.assertEqual(mem1, b"-1")
        finally:
            shutil.rmtree(folder, ignore_errors=True)


# Numbers that a blank, a comma or an empty cell cuts in two, written with
# each separator between cells: tallix takes a value that is not what the
# writer meant, and the checker says which (the value tallix delivers) and
# what to write.
CELL_SEPARATORS = [" ", "\t", ", ", ","]

# value as written, the value tallix takes, what to write
CUT_VALUES = [
    ("2 000.75", "2", "2000.75"),
    ("1 000 000.2", "1", "1000000.2"),
    ("-4 005", "-4", "-4005"),
    ("2.00004 E-3", "2.00004", "2.00004E-3"),
    ("5 e+01", "5", "5e+01"),
    ("1.5 D2", "1.5", "1.5D2"),
    ("2.5 x 10-2", "2.5", "2.5E-2"),
    ("7 *10^-3", "7", "7E-3"),
    ("10.5 05", "10.5", "10.505"),
]


def misread_lines():
    """(file text, asset, nominal argument, value tallix takes, the end of
    the finding: the number or line to write)."""
    rows = []
    for written, read, write in CUT_VALUES:
        for sep in CELL_SEPARATORS:
            rows.append(("R6%s%s%s%s\r\n" % (sep, write, sep, written), "R6", write, read, ": write " + write))
            # At the nominal: the line as it should be.
            first, rest = written.split(" ", 1)
            rows.append(("R7%s%s %s%s%s\r\n" % (sep, first, rest, sep, write), "R7", first, None,
                         ": write R7 %s %s" % (write, write)))
    # Line by line, on lines that commas cut: a group led by a zero, a
    # fraction after a group of three, a nominal cut too, a decimal comma
    # with nothing before it.
    for whole in ["20", "1", "-7"]:
        for group in ["00041", "05", "0013"]:
            meant = whole + "." + group
            for shape in ["B7,%s,%s", "B7,%s, %s", "B7, %s,%s"]:
                rows.append((shape % (meant, whole + "," + group) + "\r\n", "B7", meant, whole, ": write " + meant))
    for value, write in [("2,000.75", "2000.75"), ("1,000,000.2", "1000000.2"), ("12,500.5", "12500.5")]:
        rows.append(("R5,%s,%s\r\n" % (write, value), "R5", write, value.split(",")[0], ": write " + write))
    for whole, fraction in [("0", "5"), ("1", "75"), ("3", "125")]:
        rows.append(("B7,%s,%s,%s,%s0011\r\n" % (whole, fraction, whole, fraction), "B7", whole, fraction,
                     ": write B7 %s.%s %s.%s0011" % (whole, fraction, whole, fraction)))
    for digits in ["250031", "99987"]:
        for sep in [" ", "\t"]:
            rows.append(("B6%s0.%s%s,%s\r\n" % (sep, digits, sep, digits), "B6", "0." + digits, digits,
                         ": write 0." + digits))
    # An empty cell among the first three of an export.
    for sep, name in [(",", "comma"), ("\t", "tab")]:
        text = "".join(sep.join([a, n, n + ".00013", "x"]) + "\r\n" for a, n in [("A7", "10"), ("A8", "20"), ("A9", "30")])
        rows.append((text + sep.join(["B8", "20", "", "0.00007"]) + "\r\n", "B8", "20", "0.00007",
                     "Fill in the empty cell, or delete the line"))
    return rows


# Numbers that tallix refuses (a whole number glued by a lone comma to a
# group that goes on as a number, on a line with blanks or tabs between
# cells; quotes, parentheses, invisible characters): the checker names the
# number to write. (cell as written, the token tallix reports, the end of
# the finding)
REFUSED_VALUES = [
    ("1,000,000.2", "1,000,000.2", ": write 1000000.2"),
    ("2,000.75", "2,000.75", ": write 2000.75"),
    ("1,00027E+01", "1,00027E+01", ": write 1.00027E+01"),
    ("5,5e3", "5,5e3", ": write 5.5e3"),
    ("10,5V", "10,5V", ": write 10.5"),
    ("-1,250.5", "-1,250.5", ": write -1250.5"),
    ("(0,50001)", "(0", ": write -0.50001"),
    ("(12.5)", "(12.5)", ": write -12.5"),
    ('"10,5"', '"10', ": write 10.5"),
    ("1\xa0000,5", "1\xa0000", ": write 1000.5"),
    ("1'000.5", "1'000.5", ": write 1000.5"),
    ("10.0\xad013", "10.0\xad013", ": write 10.0013"),
    ("50,00%", "50,00%", ": write 50.00 if the value is meant in percent, or 0.5 as a fraction"),
]


class CutNumbers(drivers.SuiteCase):
    def setUp(self):
        self.folder = harness.scratch()

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def tallix_reads(self, text, asset, nominal):
        """What tallix hands over for `asset` at `nominal` in the data file
        `text`: (status, MEM as written, the first box's text or None)."""
        harness.lay_out(self.folder, {"vornax.ini": cases.INI, "dosdose.dat": cases.DOSE, "x.dat": text})
        run = run_tallix("vornax.ini x.dat %s %s" % (asset, nominal), self.folder)
        mem = harness.read_bytes(os.path.join(self.folder, "dosdose.dat")).split(b"\r\n")[0].decode("latin-1")
        return run.status, mem, run.boxes[0][1] if run.boxes else None

    def findings(self, text):
        harness.lay_out(self.folder, {"x.dat": text})
        status, out, err = run_check(["x.dat"], self.folder)
        self.assertEqual(err, "")
        return status, out.splitlines()[:-1]

    def test_a_misread_number_names_the_value_tallix_takes_and_what_to_write(self):
        rows = misread_lines()
        if driver().windows:
            # Each start of the console checker under Wine costs seconds:
            # there, a third of the tab-separated rows stand for the rest.
            rows = [r for r in rows if "\t" in r[0]][::3]
        for text, asset, nominal, value, write in rows:
            with self.subTest(text=text):
                status, found = self.findings(text)
                self.assertEqual(status, 1, found)
                line = [f for f in found if f.endswith(write)]
                self.assertEqual(len(line), 1, found)
                tallix_status, mem, box = self.tallix_reads(text, asset, nominal)
                refused = re.match(r'x\.dat:\d+: error: value "([^"]*)" of %s at %s is not a number; ' %
                                   (re.escape(asset), re.escape(nominal)), line[0])
                if refused:
                    # A value cell that only goes on the nominal: no number.
                    self.assertEqual((tallix_status, box),
                                     (1, '"%s" contains an invalid NR3 number.' % refused.group(1)))
                    continue
                self.assertRegex(line[0], r"^x\.dat:\d+: error: %s at %s is read with " %
                                 (re.escape(asset), re.escape(nominal)))
                # The value the finding names is the one tallix delivers.
                named = re.search(r" value (\S+?)[;, ]", line[0]).group(1)
                if value is not None:
                    self.assertEqual(named, value)
                self.assertEqual((tallix_status, box), (0, None), line[0])
                self.assertEqual(float(mem), float(named), line[0])

    def test_a_refused_number_names_the_number_to_write(self):
        for written, token, write in REFUSED_VALUES:
            for sep in [" ", "\t", ", "]:
                for at in ["value", "nominal"]:
                    if driver().windows and (sep, at) != ("\t", "value"):
                        continue
                    with self.subTest(written=written, sep=sep, at=at):
                        text = ("A7%s10%s%s\r\n" if at == "value" else "A7%s%s%s10\r\n") % (
                            (sep, sep, written) if at == "value" else (sep, written, sep)) + "A9 1 1\r\n"
                        status, found = self.findings(text)
                        self.assertEqual(status, 1, found)
                        self.assertEqual(len(found), 1, found)
                        what = 'value "%s" of A7 at 10' % token if at == "value" else 'nominal "%s"' % token
                        self.assertTrue(found[0].startswith("x.dat:1: error: %s is not a number" % what), found[0])
                        self.assertTrue(found[0].endswith(write), found[0])
                        tallix_status, _, box = self.tallix_reads(text, "A7", "10")
                        self.assertEqual(tallix_status, 1)
                        self.assertEqual(box, '"%s" contains an invalid NR3 number.' % token)

    def test_invisible_characters_in_an_asset_are_named_by_code_point_and_column(self):
        for char, named in [("\xe2\x80\x8b", "U+200B zero-width space"), ("\xc2\xad", "U+00AD soft hyphen"),
                            ("\xad", "U+00AD soft hyphen"), ("\xe2\x80\xaf", "U+202F narrow non-breaking space"),
                            ("\xef\xac\x81", "U+FB01 ligature fi")]:
            for asset, at in [("AB12", 4), ("A7", 0), ("C301", 2)]:
                if driver().windows and asset != "C301":
                    continue
                with self.subTest(char=char, asset=asset, at=at):
                    status, found = self.findings("%s%s%s\t10\t10.02\r\n" % (asset[:at], char, asset[at:]))
                    self.assertEqual(status, 1)
                    self.assertEqual(found, ["x.dat:1: error: %s at column %d is part of the asset \"%s%s%s\" to "
                                             "tallix, so no lookup of %s finds this line; %s" %
                                             (named, at + 1, asset[:at], char, asset[at:],
                                              asset[:at] + ("fi" if "FB01" in named else "") + asset[at:],
                                              "type the letters fi" if "FB01" in named else "delete it")])

    def test_a_non_breaking_space_before_the_asset_names_the_asset(self):
        for nbsp, bytes_named in [("\xa0", "byte A0"), ("\xc2\xa0", "bytes C2 A0")]:
            for asset in ["AB12", "A7", "C301"]:
                if driver().windows and asset != "A7":
                    continue
                with self.subTest(nbsp=nbsp, asset=asset):
                    status, found = self.findings("%s%s 10 5\r\nA9 1 1\r\n" % (nbsp, asset))
                    self.assertEqual(status, 0)
                    self.assertEqual(found, ['x.dat:1: warning: a non-breaking space (U+00A0, %s) before "%s" is no '
                                             'blank to tallix: the asset is read as "%s%s", so no lookup of %s finds '
                                             'this line; type a plain blank or tab, or nothing'
                                             % (bytes_named, asset, nbsp, asset, asset)])

    def test_files_written_as_documented_stay_clean(self):
        documented = [
            "AB12,10,10.02,calibrated 2026\r\nAB12,11,11,3\r\n",
            "A7\t\t10\t\t10.00013\r\nA7\t\t20\t\t20.5\r\nA8\t\t5\t\t5.01\r\n",
            "AB12 ,10 ,10.02\r\nAB12 ,11 ,11.02\r\n",
            "R1 10 10 100\r\nR1 20 20 7\r\n",
            "C1 250 2.5D2\r\nC1 0.025 2.5e-2 x\r\n",
            "A7 11 11.5,2026\r\nAB12 1,10\r\n",
            "A7,10,10.00013,x\r\nA8,20,20.00013,x\r\nA9\t30\t\t30.5\r\n",
        ]
        for text in documented:
            with self.subTest(text=text):
                status, found = self.findings(text)
                self.assertEqual((status, found), (0, []))


# --fix IN OUT on exports as editors write them: (input, the copy it
# writes or None when refused, a line it must print, whether the row also
# runs under Wine, where each start of the checker costs seconds).
def _utf16(text):
    return b"\xff\xfe" + text.encode("utf-16-le")


FIX_CASES = [
    # mended
    (b"Asset;Nominal;Value\r\nA7;10;10,00013\r\nA7;20;1.000,5\r\n", b"A7\t10\t10.00013\r\nA7\t20\t1000.5\r\n",
     'in.csv:1: header row dropped: "Asset;Nominal;Value"', True),
    (_utf16("A7\t10\t10,00013\r\nB1\t0,5\t\u22120,50011\r\n"), b"A7\t10\t10.00013\r\nB1\t0.5\t-0.50011\r\n",
     "in.csv: UTF-16LE text written as Windows-1252", True),
    (b"\xef\xbb\xbfA7;10;10,5\nB1;0,5;(0,50001)\n", b"A7\t10\t10.5\r\nB1\t0.5\t-0.50001\r\n",
     'in.csv:2: "(0,50001)" -> -0.50001', False),
    (b'"A7";"10,5";"10,52"\r\n"B1";"1";"2,25"\r\n', b"A7\t10.5\t10.52\r\nB1\t1\t2.25\r\n",
     "in.csv: quotes around cells removed on 2 lines", False),
    (b"A7\t10\t10.00013\rA7\t2000\t2'000.75\r", b"A7\t10\t10.00013\r\nA7\t2000\t2000.75\r\n",
     "in.csv: CR line ends written as CR LF", False),
    (b"# bench 3\r\nA7;1000;1\xa0000,5\r\nA7;1;1,25\r\n", b"A7\t1000\t1000.5\r\nA7\t1\t1.25\r\n",
     'in.csv:1: comment dropped: "# bench 3"', False),
    (b"A7 10 10.00013\r\nA8 1 1.5\r\n", b"A7 10 10.00013\r\nA8 1 1.5\r\n",
     "in.csv: already clean: copied unchanged to out.dat", False),
    # refused
    (b"A7,10,10,00013\r\nA7,20,20,00041\r\n", None, "in.csv:1: cannot mend: commas part the cells", True),
    (b"A7;10;1,000\r\nA7;20;2,000\r\n", None, 'in.csv:1: cannot mend: value "1,000": may be read with a decimal mark', False),
    (b"A7;10;10,5\r\nA7;20;20.25\r\n", None, 'in.csv:2: cannot mend: "20.25" has a decimal point', False),
    (b"A7;10;10,5\r\nA8;;3,5\r\n", None, "in.csv:2: cannot mend: the nominal cell is empty", False),
    (b"A7;10;50,00%\r\nA8;1;1,5\r\n", None, 'in.csv:1: cannot mend: value "50,00%": a percent sign', False),
    (b"A7;10;10,5\r\nA7;10;10,6\r\n", None, "in.csv:2: cannot mend: A7 at 10 records 10.6, but line 1 records 10.5", False),
]


class Fix(drivers.SuiteCase):
    def setUp(self):
        self.folder = harness.scratch()

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def test_each_export_is_mended_or_refused(self):
        for data, mended, line, wine in FIX_CASES:
            if driver().windows and not wine:
                continue
            with self.subTest(data=data):
                for old in os.listdir(self.folder):
                    os.remove(os.path.join(self.folder, old))
                harness.lay_out(self.folder, {"in.csv": ""})
                with open(os.path.join(self.folder, "in.csv"), "wb") as f:
                    f.write(data)
                status, out, err = run_check(["--fix", "in.csv", "out.dat"], self.folder)
                self.assertEqual(err, "")
                self.assertTrue([l for l in out.splitlines() if l.startswith(line)], out)
                self.assertEqual(harness.read_bytes(os.path.join(self.folder, "in.csv")), data)
                if mended is None:
                    self.assertEqual(status, 1, out)
                    self.assertFalse(os.path.exists(os.path.join(self.folder, "out.dat")))
                    self.assertRegex(out.splitlines()[-1], r"^in\.csv: nothing written to out\.dat: \d+ lines? needs? ")
                    continue
                self.assertEqual(status, 0, out)
                self.assertEqual(harness.read_bytes(os.path.join(self.folder, "out.dat")), mended)
                self.assertRegex(out.splitlines()[-1], r"^out\.dat: \d+ lines?, \d+ assets?, \d+ nominals?, 0 errors, 0 warnings$")
                self.assertEqual(sorted(os.listdir(self.folder)), ["in.csv", "out.dat"])

    def test_each_flawed_sample_is_mended_clean_or_refused_with_a_reason(self):
        for name, _, _, _ in SHAPE_SAMPLES:
            if driver().windows and name not in ("flawed-utf16.dat", "flawed-comma-csv.dat"):
                continue
            with self.subTest(sample=name):
                shutil.copy(os.path.join(SAMPLES, name), self.folder)
                out_name = "mended-" + name
                status, out, err = run_check(["--fix", name, out_name], self.folder)
                self.assertEqual(err, "")
                lines = out.splitlines()
                if status == 0:
                    self.assertRegex(lines[-1], r"^%s: .* 0 errors, 0 warnings$" % re.escape(out_name))
                    again, checked, _ = run_check([out_name], self.folder)
                    self.assertEqual((again, checked), (0, lines[-1] + "\n"))
                else:
                    self.assertEqual(status, 1, out)
                    self.assertFalse(os.path.exists(os.path.join(self.folder, out_name)))
                    refusals = [l for l in lines if l.startswith(name + ":") and ": cannot mend: " in l]
                    self.assertTrue(refusals, out)
                    for refusal in refusals:
                        self.assertRegex(refusal, r"^%s:\d+: cannot mend: .+[:;] .+" % re.escape(name))

    def test_never_over_its_input(self):
        harness.lay_out(self.folder, {"in.csv": "A7;10;10,5\r\n"})
        status, out, err = run_check(["--fix", "in.csv", "in.csv"], self.folder)
        self.assertEqual((status, out), (2, ""))
        self.assertEqual(err.splitlines()[0], 'tallix-check: --fix writes its copy to another file than the one it '
                         'mends: "in.csv" is "in.csv"')
        self.assertEqual(harness.read_bytes(os.path.join(self.folder, "in.csv")), b"A7;10;10,5\r\n")


class RegisterFileAmongDataFiles(drivers.SuiteCase):
    def test_the_register_exchange_file_is_skipped_with_a_note(self):
        folder = harness.scratch()
        try:
            for name in ["dosdose.dat", "DOSDOSE.DAT", "DosDose.dat"]:
                with self.subTest(name=name):
                    for old in os.listdir(folder):
                        os.remove(os.path.join(folder, old))
                    shutil.copy(os.path.join(SAMPLES, "dosdose.dat"), os.path.join(folder, name))
                    shutil.copy(os.path.join(SAMPLES, "refs.dat"), folder)
                    names = ["*.dat"] if driver().windows else sorted(os.listdir(folder))
                    status, out, err = run_check(names, folder)
                    self.assertEqual((status, err), (0, ""), out)
                    lines = out.splitlines()
                    self.assertIn("%s: skipped: VORNAX's register exchange file, not a data file" % name, lines)
                    self.assertRegex(out, r"refs\.dat: \d+ lines, \d+ assets, \d+ nominals, 0 errors, 0 warnings\n")
                    self.assertEqual(len(lines), 2, out)
                    # Named alone, too.
                    status, out, err = run_check([name], folder)
                    self.assertEqual((status, out, err),
                                     (0, "%s: skipped: VORNAX's register exchange file, not a data file\n" % name, ""))
        finally:
            shutil.rmtree(folder, ignore_errors=True)


class ReadmeExamples(drivers.SuiteCase):
    """The examples in the README are what the program prints."""

    def examples(self):
        with open(os.path.join(SAMPLES, "..", "README.md"), encoding="utf-8") as f:
            text = f.read()
        found = []
        for block in re.findall(r"((?:\n    .*)+)", text):
            lines = [l[4:] for l in block.strip("\n").split("\n")]
            command, output = None, []
            for line in lines + ["$ end"]:
                if line.startswith("$ "):
                    if command:
                        found.append((command, output))
                    command, output = None, []
                if line.startswith("$ tallix-check "):
                    command = line[len("$ tallix-check "):].split(" ")
                elif command:
                    output.append(line)
        return found

    def test_each_example(self):
        examples = self.examples()
        self.assertEqual(len(examples), 4)
        folder = harness.scratch()
        try:
            shutil.copy(os.path.join(SAMPLES, "flawed.dat"), folder)
            shutil.copy(os.path.join(SAMPLES, "flawed-semicolon.dat"), folder)
            for args, output in examples:
                with self.subTest(args=args):
                    _, out, _ = run_check(args, folder)
                    self.assertEqual(out.splitlines(), output)
        finally:
            shutil.rmtree(folder, ignore_errors=True)


class Usage(drivers.SuiteCase):
    def test_lookup_arguments_in_another_order_are_refused_with_the_right_one(self):
        for args, how in [(["refs.dat", "A7", "10"], 'the data file "refs.dat" last'),
                          (["A7", "refs.dat", "10"], 'the data file "refs.dat" last'),
                          (["vornax.ini", "refs.dat", "A7", "10"],
                           "not tallix's INI FILE ASSET NOMINAL: no initialization file")]:
            with self.subTest(args=args):
                folder = harness.scratch()
                try:
                    harness.lay_out(folder, cases.STD)
                    status, out, err = run_check(["--lookup"] + args, folder)
                    self.assertEqual((status, out), (2, ""))
                    self.assertEqual(err.splitlines()[0], "tallix-check: --lookup takes ASSET NOMINAL FILE, %s; "
                                     "type: tallix-check --lookup A7 10 refs.dat" % how)
                    status, out, err = run_check(["--lookup", "A7", "10", "refs.dat"], folder)
                    self.assertEqual((status, out.splitlines()[-1], err), (0, "value: 10.00013", ""))
                finally:
                    shutil.rmtree(folder, ignore_errors=True)

    def test_usage_errors_go_to_standard_error_with_status_2(self):
        for args, problem in [([], "no data file given"), (["-q", "a.dat"], "unknown option '-q'"),
                              (["--lookup", "A7"], "--lookup takes ASSET NOMINAL FILE, 1 given")]:
            with self.subTest(args=args):
                status, out, err = run_check(args, ".")
                self.assertEqual(status, 2)
                self.assertEqual(out, "")
                self.assertEqual(err.splitlines()[0], "tallix-check: " + problem)

    def test_help_and_version(self):
        status, out, err = run_check(["--help"], ".")
        self.assertEqual((status, err), (0, ""))
        self.assertIn("tallix-check --lookup ASSET NOMINAL FILE", out)
        self.assertIn("tallix-check --fix IN OUT", out)
        status, out, err = run_check(["--version"], ".")
        self.assertEqual((status, err), (0, ""))
        self.assertRegex(out, r"\Atallix-check \d+\.\d+\.\d+\n\Z")


def cut_like_tallix(args):
    """tallix's command-line cut: at every run of spaces and commas, except
    that a whole-number nominal after a run that holds a space runs on over
    a lone comma and a group that begins with a digit ("A7 0,5")."""
    tokens, i, n, blank = [], 0, len(args), False
    while len(tokens) < 4:
        while i < n and args[i] in " ,":
            blank = blank or args[i] == " "
            i += 1
        if i >= n:
            break
        start = i
        while i < n and args[i] not in " ,":
            i += 1
        if len(tokens) == 3 and blank and re.fullmatch(r"[+-]?\d+", args[start:i]):
            while i + 1 < n and args[i] == "," and args[i + 1].isdigit():
                i += 1
                while i < n and args[i] not in " ,":
                    i += 1
        tokens.append(args[start:i])
        blank = i < n and args[i] == " "
        i += 1
    return tokens


def agreeing_cases():
    """The shared cases in which tallix finds a value or fails a search
    (its first box is a Retry/Cancel question of its own)."""
    chosen = []
    for case in cases.CASES:
        if case.fill_disk or len(cut_like_tallix(case.args)) < 4:
            continue
        found = case.status == 0 and not case.boxes
        failed = bool(case.boxes) and case.boxes[0].caption == "TALLIX Error" \
            and case.boxes[0].buttons == "Retry/Cancel"
        if found or failed:
            chosen.append(case)
    return chosen


def one_case_of_each_kind():
    """The first agreeing case of each outcome: found, and each failure by
    the first words of its message."""
    kinds = {}
    for case in agreeing_cases():
        if case.native_only:
            continue
        kind = "found" if not case.boxes else " ".join(re.sub(r'"[^"]*"', "", case.boxes[0].text).split()[:2])
        kinds.setdefault(kind, case)
    return list(kinds.values())


class LookupAgreesWithTallix(drivers.SuiteCase):
    def test_the_selection_covers_both_outcomes(self):
        chosen = agreeing_cases()
        self.assertGreaterEqual(len([c for c in chosen if c.status == 0]), 10)
        self.assertGreaterEqual(len([c for c in chosen if c.status != 0]), 10)

    def run_both(self, case):
        if case.native_only and driver().windows:
            self.skipTest("a native-only case")
        if driver().windows and case not in one_case_of_each_kind():
            # Each start of the console checker under Wine costs seconds:
            # there, one case of each outcome stands for its kind.
            self.skipTest("another case of this kind runs under Wine")
        folder = harness.scratch()
        try:
            harness.lay_out(folder, case.files)
            before = sorted(os.listdir(folder)), harness.read_bytes(os.path.join(folder, case.dose_path))
            ini, data, asset, nominal = cut_like_tallix(case.args)[:4]
            status, out, err = run_check(["--lookup", asset, nominal, data], folder)
            after = sorted(os.listdir(folder)), harness.read_bytes(os.path.join(folder, case.dose_path))
            self.assertEqual(after, before, "--lookup must write nothing")
            self.assertEqual(err, "")

            lines = out.splitlines()
            if driver().windows:
                # tallix.exe shows the table's boxes and writes its registers
                # (the Wine suite's table cases); unanswered, it gives up at
                # the first box.
                found = not case.boxes
                expected = "value: " + case.after.split("\r\n")[0] if found else \
                    "message: " + drivers.expected_boxes(driver(), case.boxes)[0][1]
                self.assertEqual(status, 0 if found else 1, out)
            else:
                # tallix itself, with no box answered: it gives up at the first one.
                run = run_tallix(case.args, folder)
                self.assertEqual(status, run.status, out + run.log)
                found = run.status == 0
                if found:
                    mem = harness.read_bytes(os.path.join(folder, case.dose_path)).split(b"\r\n")[0]
                    expected = "value: " + mem.decode("latin-1")
                else:
                    self.assertEqual(run.boxes[0][0], "TALLIX Error")
                    expected = "message: " + run.boxes[0][1]
            self.assertEqual(lines[-1], expected)
            if found:
                place = re.match(r"(.+):(\d+): (piece \d+ from column \d+: )?(.*)\Z", lines[0])
                self.assertIsNotNone(place, out)
                self.assertEqual(place.group(1), data)
                if not place.group(3):
                    with open(os.path.join(folder, data), "rb") as f:
                        file_lines = f.read().decode("latin-1").split("\n")
                    self.assertEqual(place.group(4), file_lines[int(place.group(2)) - 1].rstrip("\r"))
        finally:
            shutil.rmtree(folder, ignore_errors=True)


# Asset and nominal as someone types them after --lookup, with the spaces
# and commas that tallix's own command line cuts at; tallix gets the same
# two arguments after vornax.ini and refs.dat. The cut line names what
# tallix reads (None: the two arguments are taken as they are).
CUT_ARGUMENTS = [
    # A nominal with a decimal comma or thousands separators after a blank:
    # one argument to tallix, and no number.
    ("A7", "10,5", None),
    ("A7", "1,000.5", None),
    ("A7,0,5", "", 'asset "A7" and nominal "0"; "5 " is ignored'),
    ("A7,10", "5", 'asset "A7" and nominal "10"; "5" is ignored'),
    ("AB12", "5 10", 'asset "AB12" and nominal "5"; "10" is ignored'),
    ("AB12,", ",11", 'asset "AB12" and nominal "11"'),
    ("", "A7,10", 'asset "A7" and nominal "10"'),
    ("", "A7", 'asset "A7" and no nominal'),
    ("A7", "10.0", None),
]


class LookupCutsAsTallixCuts(drivers.SuiteCase):
    def test_asset_and_nominal_are_cut_as_tallix_cuts_them(self):
        for asset, nominal, cut in CUT_ARGUMENTS:
            with self.subTest(asset=asset, nominal=nominal):
                folder = harness.scratch()
                try:
                    harness.lay_out(folder, cases.STD)
                    status, out, err = run_check(["--lookup", asset, nominal, "refs.dat"], folder)
                    # The command-line text tallix gets: the four arguments
                    # joined with blanks, as the native start-up joins them.
                    run = run_tallix(" ".join(["vornax.ini", "refs.dat", asset, nominal]), folder)
                    self.assertEqual(err, "")
                    self.assertEqual(status, run.status, out + run.log)
                    lines = out.splitlines()
                    if cut is None:
                        self.assertFalse(lines[0].startswith("cut: "), out)
                    else:
                        self.assertEqual(lines[0], 'cut: tallix reads "%s %s" as %s' % (asset, nominal, cut))
                    if run.status == 0:
                        mem = harness.read_bytes(os.path.join(folder, "dosdose.dat")).split(b"\r\n")[0]
                        self.assertEqual(lines[-1], "value: " + mem.decode("latin-1"))
                    else:
                        self.assertEqual(lines[-1], "message: " + run.boxes[0][1])
                finally:
                    shutil.rmtree(folder, ignore_errors=True)


def _add_agreeing_cases():
    for i, case in enumerate(agreeing_cases()):
        def test(self, case=case):
            self.run_both(case)
        name = "test_%02d_%s" % (i, "".join(c if c.isalnum() else "_" for c in case.name))
        setattr(LookupAgreesWithTallix, name, test)


_add_agreeing_cases()


if __name__ == "__main__":
    e2e_main.main(__name__, ("check", "tallix"))
