"""Runs the Windows tallix.exe under Wine the way VORNAX starts it, and
answers its message boxes.

A session owns a throw-away Wine prefix and, for the runs whose boxes are
answered, an Xvfb display. Without a display every MessageBoxA returns at
once (-1), which TALLIX takes as giving up: that is the headless run. On the
display a box is found by its caption with xdotool, files are mended while
it waits, and it is answered with a key: Return takes the default button
(Retry, or OK), Escape is Cancel.

Every wine, wineserver, Xvfb and xdotool call is bounded in time, and
`close()` ends the wineserver and Xvfb it started.
"""
import os
import re
import select
import shutil
import subprocess
import tempfile
import time

import harness

BOX_TIMEOUT = 20      # seconds to wait for the next box or the end of the run
TOOL_TIMEOUT = 10     # seconds any one xdotool or reg call may take
PREFIX_TIMEOUT = 180  # seconds creating the prefix may take
REPRESS_AFTER = 3.0   # seconds a box may stay up after its key before the key is sent again

CAPTIONS = ("TALLIX Error", "TALLIX Internal Error", "Error")
CAPTION_PATTERN = "^(" + "|".join(re.escape(c) for c in CAPTIONS) + ")$"


class WineError(Exception):
    pass


class Run:
    """One finished run: exit status, the captions of the boxes in the order
    they were shown (None when the run was headless), and Wine's output."""

    def __init__(self, status, captions, log):
        self.status = status
        self.captions = captions
        self.log = log


class Session:
    def __init__(self, scratch=None):
        self.scratch = scratch or tempfile.mkdtemp(prefix="tallix-wine-")
        self.prefix = os.path.join(self.scratch, "prefix")
        self.xvfb = None
        self.display = None

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
    def xdotool(self, *args, check=False):
        p = subprocess.run(["xdotool"] + list(args), env=self.env(self.display), stdin=subprocess.DEVNULL,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=TOOL_TIMEOUT)
        if check and p.returncode != 0:
            raise WineError("xdotool %s failed" % " ".join(args))
        return p.stdout.decode("latin-1").split()

    def visible_boxes(self):
        return self.xdotool("search", "--onlyvisible", "--name", CAPTION_PATTERN)

    def caption_of(self, wid):
        p = subprocess.run(["xdotool", "getwindowname", wid], env=self.env(self.display),
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=TOOL_TIMEOUT)
        return p.stdout.decode("latin-1").rstrip("\n")

    def press(self, wid, key):
        self.xdotool("windowfocus", "--sync", wid)
        self.xdotool("key", "--clearmodifiers", key)

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


def key_for(box):
    """The key that gives the box's answer. A box that no operator could
    see (answer None) gives up: Cancel on a Retry/Cancel box; on an OK box
    the answer is not looked at, so OK stands for it."""
    if box is None:
        return "Escape"
    if box.buttons == "Retry/Cancel":
        return "Return" if box.answer == "retry" else "Escape"
    return "Return"


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
        return Run(status, None, log.read().decode("latin-1", "replace"))


def run_answered(session, exe, args, folder, boxes, on_box=None):
    """Runs tallix.exe on the session's display and answers its boxes in
    order from `boxes` (objects with `answer`, `buttons` and `mend`); a box
    beyond them is cancelled. `on_box(index, wid)` is called while each box
    waits. Fails when neither a box nor the end comes within BOX_TIMEOUT."""
    captions = []
    answered = {}
    with tempfile.TemporaryFile() as log:
        proc = subprocess.Popen(command(exe, args), cwd=folder, env=session.env(session.display),
                                stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        try:
            deadline = time.monotonic() + BOX_TIMEOUT
            while proc.poll() is None:
                now = time.monotonic()
                if now > deadline:
                    raise WineError("no box and no end within %d s after box %d" % (BOX_TIMEOUT, len(captions)))
                waiting = [w for w in session.visible_boxes()]
                fresh = [w for w in waiting if w not in answered]
                if fresh:
                    wid = fresh[0]
                    i = len(captions)
                    captions.append(session.caption_of(wid))
                    box = boxes[i] if i < len(boxes) else None
                    if on_box:
                        on_box(i, wid)
                    if box is not None:
                        harness.lay_out(folder, box.mend)
                    key = key_for(box)
                    session.press(wid, key)
                    answered[wid] = (key, time.monotonic())
                    deadline = time.monotonic() + BOX_TIMEOUT
                    continue
                for wid in waiting:
                    key, when = answered[wid]
                    if now - when > REPRESS_AFTER:
                        session.press(wid, key)
                        answered[wid] = (key, time.monotonic())
                time.sleep(0.05)
            status = proc.wait()
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        log.seek(0)
        return Run(status, captions, log.read().decode("latin-1", "replace"))
