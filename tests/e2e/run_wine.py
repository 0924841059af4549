#!/usr/bin/env python3
"""End-to-end tests of the Windows tallix.exe under Wine: the shared cases
of the native program (real initialization, exchange and data files in a
scratch folder, the rewritten exchange file and the exit status checked byte
for byte), the checks of the executable itself, and the cases only Windows
has (the profile API's own way of finding a bare file name).

    run_wine.py --exe build/windows/lookup/tallix.exe [--artifacts DIR]

Cases whose first box gets no answer run headless, where every box gives up
at once. Every case also runs on an Xvfb display, where each box is read
word for word (caption, text, buttons) and answered while the files are
mended; the boxes are compared with the table and with those of the native
program run on the same files, byte for byte.
"""
import os
import re
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import cases  # noqa: E402
import drivers  # noqa: E402
import e2e_main  # noqa: E402
import harness  # noqa: E402
import table  # noqa: E402
import test_check  # noqa: E402
import test_faults  # noqa: E402
import wine_driver  # noqa: E402

SOURCE_DIR = harness.SOURCE_DIR


def session():
    """The Wine session of this run: its prefix and display."""
    return drivers.current().session


# DLLs every Windows has; anything else beside tallix.exe would have to ship with it.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "msvcrt.dll", "advapi32.dll", "ntdll.dll", "gdi32.dll",
               "shell32.dll", "ole32.dll", "comctl32.dll", "ucrtbase.dll"}


def wide(s):
    """`s` as a version resource holds it: UTF-16LE."""
    return s.encode("utf-16-le")




def wine_cases():
    return [c for c in cases.CASES if not c.native_only]


def headless_case(case):
    """Without a display every box gives up at once, so only a case whose
    first box gets no answer (or that shows none) can run headless."""
    return not case.boxes or case.boxes[0].answer is None


def windows_wording(case, boxes):
    """The native program's boxes, with the texts the table says Windows
    words otherwise (an error number both systems name differently)."""
    return [(caption, drivers.worded(case.boxes[i], text, True) if i < len(case.boxes) else text, buttons)
            for i, (caption, text, buttons) in enumerate(boxes)]


def dos_attributes(folder, env):
    """The DOS attribute letters of dosdose.dat in `folder`, as Wine's attrib
    lists them."""
    p = subprocess.run(["wine", "cmd", "/c", "attrib", "dosdose.dat"], cwd=folder, env=env,
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=30)
    lines = p.stdout.decode("latin-1").strip().splitlines()
    return lines[-1].split("Z:")[0].upper() if lines else ""


def set_dos_attribute(folder, letter, env):
    """Sets one DOS attribute of dosdose.dat in `folder`; False where the file
    system keeps none."""
    subprocess.run(["wine", "cmd", "/c", "attrib", "+" + letter, "dosdose.dat"], cwd=folder, env=env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
    return letter.upper() in dos_attributes(folder, env)


def native_boxes(case):
    """The boxes the native program shows for the same case."""
    folder = harness.scratch()
    try:
        harness.lay_out(folder, case.files)
        harness.age_files(folder, case.stale)
        return harness.run_tallix(drivers.program("native"), case.args, folder, case.boxes).boxes
    finally:
        shutil.rmtree(folder, ignore_errors=True)


class WineGroup(drivers.SuiteCase):
    """Tests of the Windows programs only; each class, as every class of the
    shared suites, starts with a wineserver of its own."""


class Headless(WineGroup):
    pass


class Answered(WineGroup):
    pass


def wine(answered=True):
    """The Windows programs of this run under the session's Wine."""
    return drivers.Wine(session(), drivers.program("exe"), drivers.program("check"), answered)


def _also_native(test, case):
    """Where a native build is given, the boxes the Windows program shows are
    also those the native program shows for the same case."""
    if not drivers.program("native"):
        return None
    return lambda run: test.assertEqual(run.boxes, windows_wording(case, native_boxes(case)), run.log)


def _add_table_cases():
    table.add_cases(Headless, lambda: wine(answered=False),
                    select=lambda case: not case.native_only and headless_case(case))
    table.add_cases(Answered, lambda: wine(answered=True), select=lambda case: not case.native_only,
                    also_of=_also_native)


_add_table_cases()


class WindowsOnly(WineGroup):
    """What only the Windows program has to get right. Headless and answered
    runs mix here, so each test has a wineserver of its own."""

    def setUp(self):
        session().end_wineserver()

    def test_relative_ini_is_read_from_the_current_folder_not_the_windows_folder(self):
        # The prefix has a valid decoy vornax.ini in C:\windows, with its own
        # dosdose.dat; a local one without procdir must be found invalid, not
        # the decoy read instead.
        case = cases.Case("local ini without procdir", "vornax.ini refs.dat A7 10",
                          cases.with_files(vornax_ini="[Startup]\r\nuser_cwd=\r\n"),
                          [cases.lib_error('"vornax.ini" is not a valid VORNAX initialization file.'),
                           cases.internal("Function <get_dose> failed!")], 1)
        table.run_case(self, wine(answered=True), case)

    def test_relative_ini_in_a_subfolder_with_backslash(self):
        files = dict(cases.STD)
        files["cfg/vornax.ini"] = files.pop("vornax.ini")
        case = cases.Case("ini in a subfolder", "cfg\\vornax.ini refs.dat A7 10", files, [], 0,
                          cases.dose("10.00013", "1"))
        table.run_case(self, wine(answered=False), case)

    def test_the_command_line_is_not_expanded(self):
        # tallix.exe's command line is its own: *.dat is a name, not the
        # files it would match.
        case = cases.Case("data file named *.dat", "vornax.ini *.dat A7 10", cases.STD,
                          [cases.tallix_error('Can\'t open "*.dat".  No such file or directory.', "cancel",
                                              text_win='Can\'t open "*.dat".  errno = 22.')],
                          1, cases.dose(mem1="-1"))
        table.run_case(self, wine(answered=True), case)

    def test_exchange_file_in_an_absolute_windows_folder(self):
        folder = harness.scratch()
        try:
            exch = "Z:" + os.path.join(folder, "exch").replace("/", "\\")
            ini = cases.INI.replace("user_data_dir=", "user_data_dir=" + exch + "\\")
            harness.lay_out(folder, {"vornax.ini": ini, "exch/dosdose.dat": cases.DOSE,
                                     "refs.dat": cases.STD["refs.dat"]})
            run = wine_driver.run_headless(session(), drivers.program("exe"), "vornax.ini refs.dat AB12 10", folder)
            self.assertEqual(run.status, 0, run.log)
            self.assertEqual(harness.read_bytes(os.path.join(folder, "exch", "dosdose.dat")),
                             cases.dose("10.02", "1").encode())
            self.assertEqual(sorted(os.listdir(os.path.join(folder, "exch"))), ["dosdose.dat"])
        finally:
            shutil.rmtree(folder, ignore_errors=True)

    def test_exchange_file_at_the_longest_paths(self):
        # The temporary file's name is no longer than dosdose.dat's, so
        # every exchange path the read takes, up to 259 characters, is
        # written too.
        for length in (250, 255, 258, 259):
            folder = harness.scratch()
            try:
                base = wine_driver.windows_path(folder) + "\\"
                deep = "d" * (length - len(base) - len("\\dosdose.dat"))
                exch = base + deep
                self.assertEqual(len(exch + "\\dosdose.dat"), length)
                ini = cases.INI.replace("user_data_dir=", "user_data_dir=" + exch)
                harness.lay_out(folder, {"vornax.ini": ini, deep + "/dosdose.dat": cases.DOSE,
                                         "refs.dat": cases.STD["refs.dat"]})
                run = wine_driver.run_headless(session(), drivers.program("exe"), "vornax.ini refs.dat AB12 10", folder)
                self.assertEqual(run.status, 0, "%d: %s" % (length, run.log))
                self.assertEqual(harness.read_bytes(os.path.join(folder, deep, "dosdose.dat")),
                                 cases.dose("10.02", "1").encode(), length)
                self.assertEqual(os.listdir(os.path.join(folder, deep)), ["dosdose.dat"], length)
            finally:
                shutil.rmtree(folder, ignore_errors=True)

    def test_hidden_exchange_file_stays_hidden(self):
        # Wine keeps the DOS attributes of a file in an extended attribute;
        # where the file system has none, there is nothing to compare.
        folder = harness.scratch()
        try:
            harness.lay_out(folder, cases.STD)
            if not set_dos_attribute(folder, "h", session().env()):
                self.skipTest("no DOS attributes on this file system")
            run = wine_driver.run_headless(session(), drivers.program("exe"), "vornax.ini refs.dat A7 10", folder)
            self.assertEqual(run.status, 0, run.log)
            self.assertEqual(harness.read_bytes(os.path.join(folder, "dosdose.dat")),
                             cases.dose("10.00013", "1").encode())
            self.assertIn("H", dos_attributes(folder, session().env()),
                          "the rewritten dosdose.dat lost its hidden attribute")
        finally:
            shutil.rmtree(folder, ignore_errors=True)

    def test_screenshot_of_a_real_box(self):
        if not drivers.program("artifacts"):
            self.skipTest("no artifacts folder given")
        folder = harness.scratch()
        shots = []

        def shoot(i):
            path = os.path.join(drivers.program("artifacts"), "wine-retry-box.png")
            if session().screenshot(path):
                shots.append(path)

        try:
            harness.lay_out(folder, cases.with_files(refs_dat=None))
            box = cases.tallix_error('Can\'t open "refs.dat".  No such file or directory.', "cancel")
            # The screenshot is an artifact; the boxes themselves are checked by
            # every answered case. One more try when a loaded machine let the
            # run end before its box was seen.
            for _ in range(2):
                run = wine_driver.run_answered(session(), drivers.program("exe"), "vornax.ini refs.dat A7 10", folder, [box], shoot)
                if run.captions:
                    break
                harness.lay_out(folder, cases.with_files(refs_dat=None))
            self.assertEqual(run.captions, ["TALLIX Error"], run.log)
            self.assertEqual(run.status, 1)
            if not shots:
                self.skipTest("xwd is not installed")
            self.assertGreater(os.path.getsize(shots[0]), 1000)
        finally:
            shutil.rmtree(folder, ignore_errors=True)


class Holders(WineGroup):
    """Other Windows programs holding dosdose.dat while tallix.exe writes it:
    held for a moment, held throughout sharing read and write, held against
    every writer, and a read-only dosdose.dat. tallix_hold holds the file;
    its hold starts once it has seen tallix.exe's temporary file, so the
    write is always met while the file is held."""

    FOUND = cases.dose("10.00013", "1")
    PUT_DOSE_FAILED = ("TALLIX Internal Error", "Function <put_dose> failed!", "OK")

    def setUp(self):
        if not drivers.program("hold"):
            self.skipTest("no tallix_hold.exe given")
        self.folder = harness.scratch()
        harness.lay_out(self.folder, cases.STD)
        self.dose = os.path.join(self.folder, "dosdose.dat")
        self.holder = None

    def tearDown(self):
        if self.holder is not None and self.holder.poll() is None:
            self.holder.kill()
            self.holder.wait()
        shutil.rmtree(self.folder, ignore_errors=True)

    def hold(self, share, seconds, name="dosdose.dat", after="dosdose~*"):
        """Holds `name` sharing `share` for `seconds`, counted from when a
        file matching `after` appears (None: at once)."""
        self.holder = subprocess.Popen(["wine", drivers.program("hold"), name, share, str(seconds)] + ([after] if after else []),
                                       cwd=self.folder, env=session().env(session().display),
                                       stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                       stderr=subprocess.DEVNULL)
        first = self.holder.stdout.readline().decode("latin-1").strip()
        self.assertEqual(first, "held")

    def set_attribute(self, letter):
        if not set_dos_attribute(self.folder, letter, session().env(session().display)):
            self.skipTest("no DOS attributes on this file system")

    def lookup(self, boxes, status, contents, in_place, bound):
        """One found lookup of A7 at 10 while the file is held as set up:
        its boxes word for word, the status, dosdose.dat ("new" or "old"),
        whether it is still the same file (written in place) and the time
        it may take at most."""
        old = harness.read_bytes(self.dose)
        inode = os.stat(self.dose).st_ino
        started = time.monotonic()
        run = wine_driver.run_answered(session(), drivers.program("exe"), "vornax.ini refs.dat A7 10", self.folder,
                                       [cases.Box(*b, answer="ok") for b in boxes])
        took = time.monotonic() - started
        self.assertEqual(run.boxes, boxes, run.log)
        self.assertEqual(run.status, status, run.log)
        self.assertEqual(harness.read_bytes(self.dose), self.FOUND.encode() if contents == "new" else old)
        self.assertEqual(os.stat(self.dose).st_ino == inode, in_place)
        self.assertEqual(cases.temp_files(self.folder), [], "temporary file left")
        self.assertLess(took, bound, "the write took longer than its bound")

    def test_held_a_moment_sharing_read_and_write_the_value_is_delivered(self):
        self.hold("rw", 0.5)
        # Replaced in one step once the holder let go, not written in place.
        self.lookup([], 0, "new", False, 8)
        out = self.holder.communicate(timeout=30)[0].decode("latin-1")
        self.assertIn("seen", out, "the hold did not meet the write")

    def test_held_throughout_sharing_read_and_write_the_value_is_written_in_place(self):
        self.hold("rw", 30)
        self.lookup([], 0, "new", True, 8)

    def test_held_against_every_writer_the_old_file_is_kept(self):
        self.hold("r", 30)
        # A found value that was not handed over ends with status 1.
        self.lookup([("Error", 'Cannot write "dosdose.dat".', "OK"), self.PUT_DOSE_FAILED], 1, "old", True, 10)

    def test_read_only_exchange_file_is_refused_at_once(self):
        self.set_attribute("r")
        self.lookup([("Error", 'Cannot open "dosdose.dat" for writing.', "OK"), self.PUT_DOSE_FAILED], 1, "old",
                    True, 5)

    def test_exchange_file_held_at_the_start_is_waited_for(self):
        # Held against every reader for a second when tallix starts: its
        # read waits, as the write does.
        self.hold("-", 1, after=None)
        self.lookup([], 0, "new", False, 8)

    def test_initialization_file_held_at_the_start_is_waited_for(self):
        self.hold("-", 1, name="vornax.ini", after=None)
        self.lookup([], 0, "new", False, 10)

    def test_hidden_exchange_file_stays_hidden_when_written_in_place(self):
        self.set_attribute("h")
        self.hold("rw", 30)
        self.lookup([], 0, "new", True, 8)
        self.holder.kill()
        self.holder.wait()
        self.assertIn("H", dos_attributes(self.folder, session().env(session().display)))


class Executable(unittest.TestCase):
    """tallix.exe as it ships: 64-bit GUI program, system DLLs only, with
    version information and manifest."""

    @classmethod
    def setUpClass(cls):
        objdump = shutil.which("x86_64-w64-mingw32-objdump") or "objdump"
        cls.dump = subprocess.run([objdump, "-p", drivers.program("exe")], stdout=subprocess.PIPE, check=True,
                                  timeout=60).stdout.decode("latin-1")
        with open(drivers.program("exe"), "rb") as f:
            cls.image = f.read()

    def test_pe32_plus_gui_subsystem(self):
        self.assertRegex(self.dump, r"Magic\s+020b\s+\(PE32\+\)")
        self.assertRegex(self.dump, r"Subsystem\s+00000002\s+\(Windows GUI\)")

    def test_imports_only_system_dlls(self):
        dlls = {d.lower() for d in re.findall(r"DLL Name: (\S+)", self.dump)}
        self.assertIn("user32.dll", dlls)
        self.assertEqual(dlls - SYSTEM_DLLS, set())

    def test_version_and_manifest_resources(self):
        types = re.findall(r"^\S+\s{3}Entry: ID: 0x0000([0-9a-f]{2})", self.dump, re.M)
        self.assertIn("10", types, "no version resource")
        self.assertIn("18", types, "no manifest resource")

        version = harness.project_version()
        for key, value in (("ProductName", "TALLIX"), ("FileVersion", version), ("ProductVersion", version)):
            self.assertRegex(self.image, re.escape(wide(key)) + b"(\x00\x00)+" + re.escape(wide(value)) + b"\x00\x00",
                             key)
        self.assertIn(wide("FileDescription"), self.image)

    def test_manifest_says_as_invoker_dpi_aware_common_controls_6(self):
        m = re.search(rb"<assembly.*?</assembly>", self.image, re.S)
        self.assertIsNotNone(m, "no manifest text in the image")
        manifest = m.group(0).decode("utf-8")
        self.assertIn('level="asInvoker"', manifest)
        self.assertRegex(manifest, r'<assemblyIdentity type="win32" name="VORNAX\.TALLIX" ')
        self.assertRegex(manifest, r"<description>TALLIX - [^<]+</description>")
        self.assertRegex(manifest, r"<dpiAware[^>]*>true")
        self.assertRegex(manifest, r'name="Microsoft.Windows.Common-Controls"\s+version="6\.0\.0\.0"')

    def test_zip_holds_the_program_the_readme_and_the_samples_with_no_folder_around_them(self):
        if not drivers.program("zip"):
            self.skipTest("no ZIP given")
        import zipfile
        with zipfile.ZipFile(drivers.program("zip")) as z:
            # Extracted into C:\VORNAX\TALLIX, tallix.exe is C:\VORNAX\TALLIX\tallix.exe.
            names = sorted(n for n in z.namelist() if not n.endswith("/"))
            samples = sorted("samples/" + n for n in os.listdir(os.path.join(SOURCE_DIR, "samples")))
            self.assertEqual(names, sorted(["README.md", "tallix.exe", "tallix-check.exe"] + samples))
            for name, path in (("tallix.exe", drivers.program("exe")), ("tallix-check.exe", drivers.program("check"))):
                if path:
                    with open(path, "rb") as f:
                        self.assertEqual(z.read(name), f.read(), name)
            for name in samples:
                with open(os.path.join(SOURCE_DIR, name), "rb") as f:
                    self.assertEqual(z.read(name), f.read(), name)
            shipped = z.read("README.md").decode("utf-8")
        with open(os.path.join(SOURCE_DIR, "README.md"), encoding="utf-8") as f:
            source = f.read()
        self.assertEqual(harness.shipped_readme_problems(shipped, source, names), [])
        # The install path the README gives is the one the ZIP gives.
        self.assertIn("C:\\VORNAX\\TALLIX\\tallix.exe", shipped)


class CheckerUnderWine(unittest.TestCase):
    """tallix-check.exe: a console program with only system DLLs, printing
    exactly what the native checker prints."""

    def setUp(self):
        if not drivers.program("check") or not drivers.program("native-check"):
            self.skipTest("no tallix-check.exe or native tallix-check given")
        self.folder = harness.scratch()
        for name in os.listdir(os.path.join(SOURCE_DIR, "samples")):
            shutil.copy(os.path.join(SOURCE_DIR, "samples", name), self.folder)

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def both(self, args):
        win = subprocess.run(["wine", drivers.program("check")] + args, cwd=self.folder, env=session().env(),
                             stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                             timeout=60)
        native = subprocess.run([drivers.program("native-check")] + args, cwd=self.folder, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=60)
        return win, native

    def test_console_subsystem_and_system_dlls_only(self):
        objdump = shutil.which("x86_64-w64-mingw32-objdump") or "objdump"
        dump = subprocess.run([objdump, "-p", drivers.program("check")], stdout=subprocess.PIPE, check=True,
                              timeout=60).stdout.decode("latin-1")
        self.assertRegex(dump, r"Subsystem\s+00000003\s+\(Windows CUI\)")
        dlls = {m.lower() for m in re.findall(r"DLL Name: (\S+)", dump)}
        self.assertTrue(dlls and dlls <= SYSTEM_DLLS, dlls)

    def test_the_same_version_information_as_tallix_exe_and_a_manifest_of_its_own(self):
        with open(drivers.program("check"), "rb") as f:
            image = f.read()
        m = re.search(rb"<assembly.*?</assembly>", image, re.S)
        self.assertIsNotNone(m, "no manifest text in the image")
        manifest = m.group(0).decode("utf-8")
        self.assertRegex(manifest, r'<assemblyIdentity type="win32" name="VORNAX\.TALLIX-CHECK" ')
        self.assertIn("<description>TALLIX data-file checker</description>", manifest)
        self.assertIn('level="asInvoker"', manifest)
        version = harness.project_version()
        for key, value in (("CompanyName", "VORNAX"), ("ProductName", "TALLIX"), ("FileVersion", version),
                           ("ProductVersion", version), ("OriginalFilename", "tallix-check.exe")):
            self.assertRegex(image, re.escape(wide(key)) + b"(\x00\x00)+" + re.escape(wide(value)) + b"\x00\x00",
                             key)
        objdump = shutil.which("x86_64-w64-mingw32-objdump") or "objdump"
        dump = subprocess.run([objdump, "-p", drivers.program("check")], stdout=subprocess.PIPE, check=True,
                              timeout=60).stdout.decode("latin-1")
        types = re.findall(r"^\S+\s{3}Entry: ID: 0x0000([0-9a-f]{2})", dump, re.M)
        self.assertIn("10", types, "no version resource")

    def test_file_patterns_are_expanded_as_windows_console_tools_do(self):
        names = sorted((n for n in os.listdir(self.folder) if n.lower().endswith(".dat")), key=str.lower)
        self.assertGreater(len(names), 1)
        win = subprocess.run(["wine", drivers.program("check"), "*.dat"], cwd=self.folder, env=session().env(),
                             stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                             timeout=60)
        native = subprocess.run([drivers.program("native-check")] + names, cwd=self.folder, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=60)
        # dosdose.dat, VORNAX's register file, is skipped with a note.
        data_files = [n for n in names if n.lower() != "dosdose.dat"]
        self.assertIn(b"total of %d files" % len(data_files), native.stdout)
        self.assertEqual(win.returncode, native.returncode)
        self.assertEqual(win.stdout.replace(b"\r\n", b"\n"), native.stdout)

    def test_a_pattern_that_matches_nothing_is_a_file_that_cannot_be_opened(self):
        p = subprocess.run(["wine", drivers.program("check"), "*.none", "refs.dat"], cwd=self.folder, env=session().env(),
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        self.assertEqual(p.returncode, 2)
        self.assertRegex(p.stderr.decode("latin-1"), r'^tallix-check: Can\'t open "\*\.none"\.  ')
        self.assertIn(b"refs.dat: ", p.stdout)


class WindowsUnitTests(WineGroup):
    """The GoogleTest program of the Windows platform verbs, run headless."""

    def test_unit_tests_pass_under_wine(self):
        if not drivers.program("unit"):
            self.skipTest("no unit-test program given")
        p = subprocess.run(["wine", drivers.program("unit")], env=session().env(), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT, timeout=300)
        out = p.stdout.decode("latin-1", "replace")
        self.assertEqual(p.returncode, 0, out)
        self.assertRegex(out, r"\[  PASSED  \] \d+ tests?\.")


def start_session(opts):
    """Sets up the Wine session (a prefix of its own and an Xvfb display)
    and the Windows programs as the driver every suite runs through;
    returns what ends them."""
    if drivers.program("artifacts"):
        os.makedirs(drivers.program("artifacts"), exist_ok=True)
    wine_session = wine_driver.Session(opts.scratch, drivers.program("boxes"))
    drivers.use(drivers.Wine(wine_session, drivers.program("exe"), drivers.program("check")))
    wine_session.create_prefix()
    wine_session.start_display()
    return wine_session.close


if __name__ == "__main__":
    # The Windows-only tests here, and the checker suite and the fault
    # suite of the native program, run through the Windows programs.
    e2e_main.main(__name__, programs=("exe", "boxes"),
                  optional=(("native", "the native tallix, whose boxes every answered case compares"),
                            ("native-check", "the native tallix-check"),
                            ("hold", "tallix_hold.exe, which holds a file open for the holder tests"),
                            ("unit", "tallix_win32_tests.exe, to run under Wine too"),
                            ("zip", "the operators' ZIP, to check what it holds"),
                            ("check", "tallix-check.exe, compared with --native-check"),
                            ("artifacts", "folder for the screenshot of a box"),
                            ("scratch", "folder for the Wine prefix (removed afterwards)")),
                  built=("native", "native-check"),
                  also=(test_check, test_faults), session=start_session)
