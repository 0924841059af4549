#!/usr/bin/env python3
"""The MSI as Windows IT deploys it, and the signatures on what ships.

    test_msi.py --build-dir build/msi-test [--unsigned build/windows] --scratch DIR

Builds the Windows preset a second time in --build-dir, signed with a
throw-away code-signing certificate made here (its password only ever in
TALLIX_SIGN_PASSWORD), first at the project's version and then at the next
patch version (TALLIX_VERSION_OVERRIDE). Then, in a throw-away Wine prefix,
with Wine's own msiexec: a silent install, a real lookup with the installed
tallix.exe, an upgrade that fails part-way (the older TALLIX stays), the
upgrade to the newer package, the older package refused over it, and a
silent uninstall that leaves nothing behind.
"""
import argparse
import glob
import os
import re
import secrets
import shutil
import subprocess
import sys
import unittest
import uuid

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import cases  # noqa: E402
import harness  # noqa: E402
import wine_driver  # noqa: E402

SOURCE_DIR = harness.SOURCE_DIR
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
INSTALLED = r"C:\Program Files\TALLIX"
BUILD_TIMEOUT = 600

BUILD = None      # the signed build tree
UNSIGNED = None   # an unsigned Windows build tree, to check that nothing in it is signed
SCRATCH = None




def next_patch(version):
    major, minor, patch = version.split(".")
    return "%s.%s.%d" % (major, minor, int(patch) + 1)


def run(argv, env=None, timeout=BUILD_TIMEOUT, cwd=SOURCE_DIR):
    p = subprocess.run(argv, cwd=cwd, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT, timeout=timeout)
    return p.returncode, p.stdout.decode("latin-1", "replace")


def checked(argv, env=None):
    status, out = run(argv, env)
    if status != 0:
        raise AssertionError("%s: status %d\n%s" % (" ".join(argv), status, out))
    return out


def make_certificate(folder, password):
    """A self-signed code-signing certificate, as PEM (to verify against)
    and as PKCS#12 under `password` (to sign with)."""
    key, cert, pfx = (os.path.join(folder, n) for n in ("key.pem", "cert.pem", "sign.pfx"))
    checked(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
             "-days", "2", "-subj", "/CN=TALLIX throw-away test signing",
             "-addext", "keyUsage=critical,digitalSignature", "-addext", "extendedKeyUsage=codeSigning"])
    env = dict(os.environ, TALLIX_TEST_PFX_PASSWORD=password)
    checked(["openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out", pfx,
             "-passout", "env:TALLIX_TEST_PFX_PASSWORD"], env)
    return cert, pfx


def verify(path, ca):
    """osslsigncode's verdict on the signature of `path` against `ca`."""
    return run(["osslsigncode", "verify", "-CAfile", ca, "-in", path], timeout=60)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def build_env(password):
    env = dict(os.environ, VERBOSE="1")
    env.pop("TALLIX_SIGN_PASSWORD", None)
    if password is not None:
        env["TALLIX_SIGN_PASSWORD"] = password
    return env


def build_msi(password):
    return run(["cmake", "--build", BUILD, "--target", "msi", "-j2"], build_env(password))


def configure(pfx, version=""):
    checked(["cmake", "--preset", "windows", "-B", BUILD, "-DTALLIX_BUILD_WINDOWS_TESTS=OFF",
             "-DTALLIX_SIGN_PFX=" + pfx, "-DTALLIX_VERSION_OVERRIDE=" + version])


class Built:
    """What the signed builds left, made once by build_all(): the older and
    the newer {"msi", "tallix.exe", "tallix-check.exe"} copied aside, the
    failed builds' output, the successful builds' verbose log."""
    password = cert = old = new = None
    failures = {}
    logs = ""


def keep(version, folder):
    """Copies the MSI and the programs of the tree's current build aside."""
    os.makedirs(folder, exist_ok=True)
    kept = {"msi": os.path.join(folder, "tallix-%s-x64.msi" % version)}
    shutil.copy(os.path.join(BUILD, "tallix-%s-x64.msi" % version), kept["msi"])
    for name, sub in (("tallix.exe", "lookup"), ("tallix-check.exe", "check")):
        kept[name] = os.path.join(folder, name)
        shutil.copy(os.path.join(BUILD, sub, name), kept[name])
    return kept


def build_all():
    if Built.old is not None:
        return
    folder = os.path.join(SCRATCH, "signing")
    os.makedirs(folder, exist_ok=True)
    Built.password = "pw-" + secrets.token_hex(12)
    Built.cert, pfx = make_certificate(folder, Built.password)
    configure(pfx)
    # A failed signing must fail the build and leave no program behind that
    # the next build would take for finished.
    for why, password in (("unset", None), ("wrong", "not-" + Built.password)):
        status, out = build_msi(password)
        Built.failures[why] = (status, out, password,
                               os.path.exists(os.path.join(BUILD, "lookup", "tallix.exe")))
    version = harness.project_version()
    status, out = build_msi(Built.password)
    Built.logs += out
    if status != 0:
        raise AssertionError("signed build failed:\n" + out)
    Built.old = keep(version, os.path.join(SCRATCH, "old"))
    configure(pfx, next_patch(version))
    Built.logs += checked(["cmake", "--build", BUILD, "--target", "msi", "-j2"], build_env(Built.password))
    Built.new = keep(next_patch(version), os.path.join(SCRATCH, "new"))


class SignedBuilds(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        build_all()

    def test_every_program_and_package_is_signed_sha256_by_the_certificate(self):
        for kept in (Built.old, Built.new):
            for name, path in sorted(kept.items()):
                status, out = verify(path, Built.cert)
                self.assertEqual(status, 0, "%s: %s" % (name, out))
                self.assertIn("Signature verification: ok", out, name)
                self.assertRegex(out, r"Message digest algorithm\s*: SHA256", name)

    def test_a_missing_or_wrong_password_fails_the_build_clearly(self):
        for why, expected in (("unset", "TALLIX_SIGN_PASSWORD (the password of"),
                              ("wrong", "wrong password for")):
            status, out, password, exe_left = Built.failures[why]
            self.assertNotEqual(status, 0, why)
            self.assertIn(expected, re.sub(r"\s+", " ", out), why)
            self.assertFalse(exe_left, "%s: an unsigned tallix.exe was left for the next build" % why)
            if password:
                self.assertNotIn(password, out, why)

    def test_the_password_is_in_no_output_and_no_file_of_the_build(self):
        self.assertIn("Signing tallix", Built.logs)  # the verbose log is the real one
        self.assertNotIn(Built.password, Built.logs)
        needle = Built.password.encode()
        for root, _, files in os.walk(BUILD):
            for name in files:
                path = os.path.join(root, name)
                if os.path.isfile(path) and not os.path.islink(path):
                    self.assertNotIn(needle, read(path), path)
        self.assertEqual(glob.glob(os.path.join(BUILD, "**", ".tallix-sign-*"), recursive=True), [])

    def test_the_newer_build_carries_its_version_everywhere(self):
        version = next_patch(harness.project_version())
        wide = ("ProductVersion".encode("utf-16-le") + b"(\x00\x00)+"
                + version.encode("utf-16-le") + b"\x00\x00")
        for name in ("tallix.exe", "tallix-check.exe"):
            self.assertRegex(read(Built.new[name]), wide, name)
            self.assertNotEqual(read(Built.new[name]), read(Built.old[name]), name)
        # The programs carry their version in the package too, so a newer one
        # replaces an older one while the older TALLIX is still installed.
        files = checked(["msiinfo", "export", Built.new["msi"], "File"])
        for name in ("tallix.exe", "tallix-check.exe"):
            self.assertRegex(files, r"\t%s\t\d+\t%s\.0\t" % (re.escape(name), re.escape(version)), name)
        props = checked(["msiinfo", "export", Built.new["msi"], "Property"])
        self.assertRegex(props, r"ProductVersion\t%s\r?\n" % re.escape(version))

    def test_without_a_certificate_nothing_is_signed(self):
        if not UNSIGNED:
            self.skipTest("no unsigned build given")
        paths = [os.path.join(UNSIGNED, "lookup", "tallix.exe"), os.path.join(UNSIGNED, "check", "tallix-check.exe"),
                 os.path.join(UNSIGNED, "tallix-%s-x64.msi" % harness.project_version())]
        for path in paths:
            status, out = verify(path, Built.cert)
            self.assertNotEqual(status, 0, path)
            self.assertRegex(out, r"(?i)no signature", path)


class InstalledUnderWine(unittest.TestCase):
    """One prefix through a lab PC's life: install, upgrade, downgrade
    refused, reinstall of a rebuilt package, uninstall. The steps run in
    the order of their names, each on what the one before left."""

    session = None

    @classmethod
    def setUpClass(cls):
        build_all()
        cls.session = wine_driver.Session(os.path.join(SCRATCH, "wine"))
        os.makedirs(cls.session.scratch)
        try:
            cls.session.create_prefix()
        except BaseException:
            cls.session.close()  # tearDownClass does not run after a failed set-up
            raise
        cls.folder = os.path.join(cls.session.prefix, "drive_c", "Program Files", "TALLIX")

    @classmethod
    def tearDownClass(cls):
        if cls.session:
            cls.session.close()

    # ------------------------------------------------------------ helpers
    def msiexec(self, *args):
        log = os.path.join(SCRATCH, "msiexec.log")
        if os.path.exists(log):
            os.remove(log)
        p = subprocess.run(["wine", "msiexec"] + list(args) + ["/l*v", wine_driver.windows_path(log)],
                           env=self.session.env(), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT, timeout=120)
        text = read(log).decode("utf-16-le" if read(log)[:2] == b"\xff\xfe" else "latin-1", "replace") \
            if os.path.exists(log) else ""
        return p.returncode, text

    def entries(self):
        """The Add/Remove Programs entries named TALLIX: {key: {value: data}}."""
        p = subprocess.run(["wine", "reg", "query", UNINSTALL_KEY, "/s"], env=self.session.env(),
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                           timeout=60)
        return {k: v for k, v in parse_reg_query(p.stdout.decode("latin-1")).items()
                if v.get("DisplayName") == "TALLIX"}

    def installed_files(self):
        found = []
        for root, _, files in os.walk(self.folder):
            found += [os.path.relpath(os.path.join(root, n), self.folder).replace(os.sep, "/") for n in files]
        return sorted(found)

    def assert_installed(self, kept, version):
        samples = sorted("samples/" + n for n in os.listdir(os.path.join(SOURCE_DIR, "samples")))
        self.assertEqual(self.installed_files(),
                         sorted(["README.md", "tallix.exe", "tallix-check.exe"] + samples))
        for name in ("tallix.exe", "tallix-check.exe"):
            self.assertEqual(read(os.path.join(self.folder, name)), read(kept[name]), name)
        # The users' README: the project's without the developers' parts.
        shipped = read(os.path.join(self.folder, "README.md")).decode("utf-8")
        with open(os.path.join(SOURCE_DIR, "README.md"), encoding="utf-8") as f:
            self.assertEqual(harness.shipped_readme_problems(shipped, f.read(), self.installed_files()), [])
        for name in samples:
            self.assertEqual(read(os.path.join(self.folder, name)), read(os.path.join(SOURCE_DIR, name)), name)
        entries = self.entries()
        self.assertEqual(len(entries), 1, entries)
        entry = list(entries.values())[0]
        self.assertEqual(entry.get("DisplayVersion"), version)
        self.assertEqual(entry.get("Publisher"), "VORNAX")
        self.assertEqual(entry.get("InstallLocation", "").rstrip("\\").lower(), INSTALLED.lower())

    def assert_lookup_works(self):
        folder = harness.scratch()
        try:
            harness.lay_out(folder, cases.STD)
            run = wine_driver.run_headless(self.session, INSTALLED + "\\tallix.exe",
                                           "vornax.ini refs.dat A7 10", folder)
            self.assertEqual(run.status, 0, run.log)
            self.assertEqual(harness.read_bytes(os.path.join(folder, "dosdose.dat")),
                             cases.dose("10.00013", "1").encode())
        finally:
            shutil.rmtree(folder, ignore_errors=True)

    # ------------------------------------------------------------ steps
    def test_1_silent_install(self):
        status, log = self.msiexec("/i", wine_driver.windows_path(Built.old["msi"]), "/qn")
        self.assertEqual(status, 0, log[-3000:])
        # The installed programs are byte for byte the signed ones verified above.
        self.assert_installed(Built.old, harness.project_version())
        self.assert_lookup_works()

    def test_2_a_failed_upgrade_leaves_the_older_tallix_working(self):
        # The newer package with one step added that fails once the new
        # files are in place, as a full disk or a killed msiexec would.
        # A package of its own (its own ProductCode), as every build is.
        failing = os.path.join(SCRATCH, "failing-upgrade.msi")
        shutil.copy(Built.new["msi"], failing)
        checked(["msibuild", failing,
                 "-q", "UPDATE `Property` SET `Value` = '{%s}' WHERE `Property` = 'ProductCode'"
                       % str(uuid.uuid4()).upper(),
                 "-q", "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES "
                       "('TallixTestFailure', 1058, 'INSTALLDIR', '\"[INSTALLDIR]tallix-check.exe\" --no-such-option')",
                 "-q", "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('TallixTestFailure', 4001)"])
        sequence = checked(["msiinfo", "export", failing, "InstallExecuteSequence"])
        order = [line.split("\t")[0] for line in sorted(
            (l for l in sequence.splitlines() if re.search(r"\t\d+\r?$", l)), key=lambda l: int(l.split("\t")[-1]))]
        # The older TALLIX is removed inside the transaction (after
        # InstallInitialize); the failure comes part-way, after that removal
        # and the new files, so only a rollback can bring the older back.
        self.assertLess(order.index("InstallInitialize"), order.index("RemoveExistingProducts"))
        self.assertLess(order.index("RemoveExistingProducts"), order.index("TallixTestFailure"))
        self.assertLess(order.index("InstallFiles"), order.index("TallixTestFailure"))
        status, log = self.msiexec("/i", wine_driver.windows_path(failing), "/qn")
        # ERROR_INSTALL_FAILURE (Windows) or ERROR_FUNCTION_FAILED (Wine).
        self.assertIn(status, (1603 & 0xFF, 1627 & 0xFF), log[-3000:])
        self.assertIn("TallixTestFailure", log)
        self.assertNotIn(next_patch(harness.project_version()),
                         [e.get("DisplayVersion") for e in self.entries().values()], "the failed upgrade stayed")
        entries = self.entries()
        if not entries:
            # Wine runs RemoveExistingProducts as a separate uninstall
            # (msiexec /i {product} REMOVE=ALL) that commits at once, so its
            # rollback cannot bring the older TALLIX back; Windows Installer
            # removes it inside the transaction and restores it.
            self.skipTest("Wine removes the older product outside the installation's transaction")
        # One entry, the older version's, and its tallix.exe still looks up.
        self.assertEqual([e.get("DisplayVersion") for e in entries.values()], [harness.project_version()], entries)
        self.assert_lookup_works()

    def test_2_newer_package_upgrades_in_one_step(self):
        status, log = self.msiexec("/i", wine_driver.windows_path(Built.new["msi"]), "/qn")
        self.assertEqual(status, 0, log[-3000:])
        self.assert_installed(Built.new, next_patch(harness.project_version()))
        self.assert_lookup_works()

    def test_3_older_package_is_refused_over_the_newer(self):
        status, log = self.msiexec("/i", wine_driver.windows_path(Built.old["msi"]), "/qn")
        # ERROR_INSTALL_FAILURE; a Unix exit status keeps its low 8 bits.
        self.assertEqual(status, 1603 & 0xFF, log[-3000:])
        # Refused for the newer TALLIX, not for some other fault: the package
        # found it, and its launch condition is what stops the install (Wine
        # does not write the condition's message into a silent log; Windows
        # shows it, or logs it under /qn).
        newer = re.search(r"TALLIX_NEWER_FOUND = (\{[0-9A-F-]+\})", log)
        self.assertIsNotNone(newer, log[-3000:])
        self.assertIn(newer.group(1), " ".join(self.entries()))
        conditions = checked(["msiinfo", "export", Built.old["msi"], "LaunchCondition"])
        self.assertIn("NOT TALLIX_NEWER_FOUND\tA newer version of TALLIX is already installed.", conditions)
        self.assert_installed(Built.new, next_patch(harness.project_version()))

    def test_4_a_rebuilt_package_of_the_same_version_replaces_the_installed_one(self):
        # A rebuild gets a new ProductCode; it must not add a second entry.
        rebuilt = Built.new["msi"] + ".rebuilt.msi"
        os.remove(os.path.join(BUILD, os.path.basename(Built.new["msi"])))
        checked(["cmake", "--build", BUILD, "--target", "msi", "-j2"], build_env(Built.password))
        shutil.copy(os.path.join(BUILD, os.path.basename(Built.new["msi"])), rebuilt)
        code = re.compile(r"ProductCode\t(\{[0-9A-F-]+\})")
        self.assertNotEqual(code.search(checked(["msiinfo", "export", rebuilt, "Property"])).group(1),
                            code.search(checked(["msiinfo", "export", Built.new["msi"], "Property"])).group(1))
        before = set(self.entries())
        status, log = self.msiexec("/i", wine_driver.windows_path(rebuilt), "/qn")
        self.assertEqual(status, 0, log[-3000:])
        self.assert_installed(Built.new, next_patch(harness.project_version()))
        self.assertNotEqual(set(self.entries()), before, "the rebuilt package was not the one installed")

    def test_5_silent_uninstall_leaves_nothing(self):
        # By product code, as the entry's UninstallString does: whatever
        # package put TALLIX there.
        entries = self.entries()
        self.assertEqual(len(entries), 1, entries)
        product = re.search(r"\{[0-9A-F-]+\}$", list(entries)[0]).group(0)
        status, log = self.msiexec("/x", product, "/qn")
        self.assertEqual(status, 0, log[-3000:])
        self.assertFalse(os.path.exists(self.folder), self.installed_files() if os.path.isdir(self.folder) else "")
        self.assertEqual(self.entries(), {})


def parse_reg_query(text):
    """`reg query KEY /s` output as {subkey: {value name: data}}."""
    keys, current = {}, None
    for line in text.splitlines():
        if line.startswith("HKEY_"):
            current = keys.setdefault(line.strip(), {})
        elif current is not None and line.startswith("    "):
            parts = re.split(r"\s{4}", line.strip(), maxsplit=2)
            if len(parts) >= 2:
                current[parts[0]] = parts[2] if len(parts) == 3 else ""
    return keys


def main():
    global BUILD, UNSIGNED, SCRATCH
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True, help="build tree for the signed packages")
    parser.add_argument("--unsigned", help="the unsigned Windows build tree (build/windows)")
    parser.add_argument("--scratch", required=True, help="folder for certificates, packages and the prefix")
    opts, rest = parser.parse_known_args()
    BUILD = os.path.abspath(opts.build_dir)
    UNSIGNED = os.path.abspath(opts.unsigned) if opts.unsigned else None
    SCRATCH = os.path.abspath(opts.scratch)
    os.makedirs(SCRATCH, exist_ok=True)
    loader = unittest.defaultTestLoader
    suite = unittest.TestSuite(loader.loadTestsFromTestCase(c) for c in (SignedBuilds, InstalledUnderWine))
    if rest:
        suite = loader.loadTestsFromNames(rest, sys.modules[__name__])
    result = unittest.TextTestRunner(verbosity=2, failfast=False).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
