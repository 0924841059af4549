"""Runs the Windows tallix.exe under Wine the way VORNAX starts it, and
reads and answers its message boxes.

A session owns a throw-away Wine prefix and, for the runs whose boxes are
answered, an Xvfb display. Without a display every MessageBoxA returns at
once (-1), which TALLIX takes as giving up: that is the headless run. On the
display, the test-only Windows program tallix_boxes starts tallix.exe, finds
each of its boxes (dialog class #32770), reports the caption, the text and
the buttons' captions exactly as Windows holds them, and presses the answer
it is given (WM_COMMAND with IDRETRY, IDCANCEL or IDOK); files are mended
while the box waits.

Every wine, wineserver and Xvfb call is bounded in time, and `close()`
ends the wineserver and Xvfb it started.
"""
import os
import select
import shutil
import subprocess
import tempfile
import threading
import time

import harness

BOX_TIMEOUT = 20      # seconds to wait for the next box or the end of the run
TOOL_TIMEOUT = 10     # seconds any one screenshot call may take
PREFIX_TIMEOUT = 180  # seconds creating the prefix may take


class WineError(Exception):
    pass


class Session:
    def __init__(self, scratch=None, box_reader=None):
        self.scratch = scratch or tempfile.mkdtemp(prefix="tallix-wine-")
        self.prefix = os.path.join(self.scratch, "prefix")
        self.xvfb = None
        self.display = None
        self.box_reader = box_reader

    # ------------------------------------------------------------ set-up
    def env(self, display=None):
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
        env.update(WINEPREFIX=self.prefix, WINEDEBUG="-all", WINEARCH="win64",
                   WINEDLLOVERRIDES="mscoree,mshtml=")
        if display:
            env["DISPLAY"] = display
        return env

    def _run(self, argv, timeout, display=None, check=True):
        p = subprocess.run(argv, env=self.env(display), stdin=subprocess.DEVNULL,
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout)
        if check and p.returncode != 0:
            raise WineError("%s: status %d: %s" % (" ".join(argv), p.returncode,
                                                    p.stdout.decode("latin-1", "replace")))
        return p

    def create_prefix(self):
        """A fresh prefix: boxes answered without the ~2 s a managed window
        takes, and a decoy initialization file in the Windows folder, where
        the profile API looks a bare file name up."""
        shutil.rmtree(self.prefix, ignore_errors=True)  # a scratch folder used before
        os.makedirs(self.scratch, exist_ok=True)
        self._run(["wineboot", "-i"], PREFIX_TIMEOUT)
        self._run(["wineserver", "-w"], PREFIX_TIMEOUT)
        self._run(["wine", "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed",
                   "/d", "N", "/f"], 60)
        # Read by mistake, the decoy would make every lookup of A7 succeed
        # on an exchange file of its own.
        drive_c = os.path.join(self.prefix, "drive_c")
        harness.lay_out(drive_c, {
            "windows/vornax.ini": "[Startup]\r\nprocdir=C:\\DECOY\r\nuser_data_dir=C:\\decoy\r\n",
            "decoy/dosdose.dat": "\r\n".join(["0", "1", "decoy"] + ["0"] * 20) + "\r\n"})

    def start_display(self):
        """Starts Xvfb on a free display number (Xvfb picks it)."""
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(write_end)
        with open(os.path.join(self.scratch, "xvfb.pid"), "w") as f:
            f.write("%d\n" % self.xvfb.pid)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([read_end], [], [], 0.5)
            if ready:
                chunk = os.read(read_end, 16)
                if not chunk:
                    break
                number += chunk
        os.close(read_end)
        if not number.strip().isdigit():
            self.close()
            raise WineError("Xvfb did not start")
        self.display = ":" + number.strip().decode()

    def end_wineserver(self):
        """Ends the wineserver of the prefix and waits for it to be gone."""
        if os.path.isdir(self.prefix):
            try:
                self._run(["wineserver", "-k"], 30, check=False)
                self._run(["wineserver", "-w"], 30, check=False)
            except subprocess.TimeoutExpired:
                pass

    def close(self):
        self.end_wineserver()
        if self.xvfb is not None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()
            self.xvfb = None
        shutil.rmtree(self.scratch, ignore_errors=True)

    # ------------------------------------------------------------ boxes
    def screenshot(self, path):
        """Saves the whole screen as a PNG; returns True when it worked."""
        import xwd_png
        try:
            p = subprocess.run(["xwd", "-root", "-silent", "-display", self.display],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=TOOL_TIMEOUT)
        except (FileNotFoundError, subprocess.TimeoutExpired):
            return False
        if p.returncode != 0:
            return False
        with open(path, "wb") as f:
            f.write(xwd_png.xwd_to_png(p.stdout))
        return True


def windows_path(path):
    """A Linux path as Wine's programs see it, on drive Z:."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def answer_for(box, buttons):
    """The answer a box gets. A box that no operator could see (None) gives
    up: Cancel on a Retry/Cancel box; on an OK box the answer is not looked
    at, so OK stands for it."""
    if box is not None and box.answer is not None:
        return box.answer
    return "cancel" if "Cancel" in buttons else "ok"


def command(exe, args):
    return ["wine", exe] + (args.split(" ") if args else [])


def run_headless(session, exe, args, folder):
    """Runs tallix.exe without a display: every box gives up at once."""
    with tempfile.TemporaryFile() as log:
        proc = subprocess.Popen(command(exe, args), cwd=folder, env=session.env(), stdin=subprocess.DEVNULL,
                                stdout=log, stderr=log)
        try:
            status = proc.wait(BOX_TIMEOUT)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            raise WineError("headless run did not end within %d s" % BOX_TIMEOUT)
        log.seek(0)
        return harness.Run(status, None, log.read().decode("latin-1", "replace"))


def run_answered(session, exe, args, folder, boxes, on_box=None):
    """Runs tallix.exe with the command-line text `args` on the session's
    display through tallix_boxes, and answers its boxes in order from
    `boxes` (objects with `answer` and `mend`); a box beyond them gives up.
    `on_box(index)` is called while each box waits. Fails when neither a box
    nor the end comes within BOX_TIMEOUT."""
    shown = []
    status = None
    argv = ["wine", session.box_reader, str(BOX_TIMEOUT), windows_path(exe),
            args.encode("latin-1").hex() or "-"]
    with tempfile.TemporaryFile() as log:
        proc = subprocess.Popen(argv, cwd=folder, env=session.env(session.display), stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE, stderr=log)
        # tallix_boxes bounds every wait itself; this is for a Wine that hangs.
        watchdog = threading.Timer(BOX_TIMEOUT * (len(boxes) + 3), proc.kill)
        watchdog.start()
        try:
            for raw in proc.stdout:
                word = raw.decode("latin-1").split()
                if word and word[0] == "box" and len(word) == 4:
                    caption, text, buttons = (bytes.fromhex(f if f != "-" else "").decode("latin-1")
                                              for f in word[1:])
                    shown.append((caption, text, buttons))
                    i = len(shown) - 1
                    box = boxes[i] if i < len(boxes) else None
                    if on_box:
                        on_box(i)
                    if box is not None:
                        harness.lay_out(folder, box.mend)
                    proc.stdin.write((answer_for(box, buttons) + "\n").encode())
                    proc.stdin.flush()
                elif word and word[0] == "exit":
                    status = int(word[1])
                elif word and word[0] == "timeout":
                    raise WineError("no box and no end within %d s after box %d" % (BOX_TIMEOUT, len(shown)))
                elif word:
                    raise WineError("tallix_boxes: " + raw.decode("latin-1"))
            proc.wait()
        finally:
            watchdog.cancel()
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        log.seek(0)
        output = log.read().decode("latin-1", "replace")
        if status is None:
            raise WineError("tallix_boxes ended without the run's status: " + output)
        return harness.Run(status, shown, output)
