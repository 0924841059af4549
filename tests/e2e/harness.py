"""Runs the native tallix the way VORNAX does and answers its message boxes.

The POSIX program shows a box as a line "<caption>: <text>" and a line
"[OK]" or "[Retry/Cancel]" on standard error, and reads the answer from
standard input; closing standard input means no box could be shown.
"""
import os
import re
import resource
import shutil
import signal
import subprocess
import tempfile
import threading

ANSWER_LINES = {"ok": "o", "retry": "r", "cancel": "c"}
BOX_TIMEOUT = 20  # seconds to wait for the next box or the end of the run


FOLDER = object()  # in `lay_out`: an empty folder of that name
FIFO = object()    # in `lay_out`: a FIFO (named pipe) that nobody writes
STALE_SECONDS = 300  # how old `age_files` makes a file


SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def project_version():
    """The version the sources build: project() in CMakeLists.txt."""
    with open(os.path.join(SOURCE_DIR, "CMakeLists.txt")) as f:
        return re.search(r"project\(TALLIX VERSION (\d+\.\d+\.\d+)", f.read()).group(1)


def lay_out(folder, files):
    """Writes `files` (relative name -> text, None: absent, FOLDER: an empty
    folder) into `folder`. Whatever is in the way (a file where a folder is
    wanted, a folder where a file is) is removed first."""
    for name, content in files.items():
        path = os.path.join(folder, name)
        if content is FIFO:
            if os.path.lexists(path):
                os.remove(path)
            os.mkfifo(path)
            continue
        if content is None or (content is FOLDER) != os.path.isdir(path):
            if os.path.isdir(path):
                shutil.rmtree(path)
            elif os.path.lexists(path):
                os.remove(path)
        if content is None:
            continue
        if content is FOLDER:
            os.makedirs(path, exist_ok=True)
            continue
        os.makedirs(os.path.dirname(path) or folder, exist_ok=True)
        with open(path, "wb") as f:
            f.write(content.encode("latin-1") if isinstance(content, str) else content)


def age_files(folder, names):
    """Makes the files `names` in `folder` as old as a killed run's leftovers."""
    import time
    then = time.time() - STALE_SECONDS
    for name in names:
        os.utime(os.path.join(folder, name), (then, then))


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


def _limit_file_size(limit=0):
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))


def _drop_roots_rights():
    """Root may add files to any folder; a locked-down folder needs a user
    whom its rights stop (nobody)."""
    if os.geteuid() == 0:
        os.setgid(65534)
        os.setuid(65534)


def _file_size_limit(fill_disk, file_size_limit, without_root=False):
    """The child's start-up: no limit, a full disk, or a disk that fills
    after `file_size_limit` bytes of any one file; `without_root`: then
    without root's rights."""
    limit = None
    if file_size_limit is not None:
        limit = lambda: _limit_file_size(file_size_limit)  # noqa: E731
    elif fill_disk:
        limit = _limit_file_size
    if not without_root:
        return limit
    return lambda: (limit and limit(), _drop_roots_rights())


class Run:
    """One finished run of tallix, natively or under Wine: its exit status,
    the boxes shown as (caption, text, buttons) in order (None when a run
    under Wine had no display to show them on), and what the program or
    Wine printed, for the messages of failed tests."""

    def __init__(self, status, boxes, log):
        self.status = status
        self.boxes = boxes
        self.log = log

    @property
    def captions(self):
        return None if self.boxes is None else [b[0] for b in self.boxes]


def run_tallix(tallix, args, folder, boxes, fill_disk=False, argv=None, file_size_limit=None,
               without_root=False):
    """Starts tallix in `folder` with the command-line text `args` (split at
    spaces as a shell would) and answers each box from `boxes`: a list of
    objects with `answer` (None: close standard input) and `mend` (files to
    lay out before answering). `fill_disk`: no file can grow at all;
    `file_size_limit`: no file can grow past that many bytes; `without_root`:
    run as nobody when the tests run as root."""
    argv = argv if argv is not None else [tallix] + args.split(" ") if args else [tallix]
    proc = subprocess.Popen(argv, cwd=folder, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE,
                            preexec_fn=_file_size_limit(fill_disk, file_size_limit, without_root))
    shown = []
    log = []
    pending = None
    timer = threading.Timer(BOX_TIMEOUT * (len(boxes) + 1), proc.kill)
    timer.start()
    try:
        for raw in proc.stderr:
            line = raw.decode("latin-1").rstrip("\n")
            log.append(line)
            if line in ("[OK]", "[Retry/Cancel]"):
                if pending is None:
                    proc.stdin.close() if not proc.stdin.closed else None
                    continue
                shown.append((pending[0], pending[1], line[1:-1]))
                pending = None
                i = len(shown) - 1
                box = boxes[i] if i < len(boxes) else None
                if box is None or box.answer is None or proc.stdin.closed:
                    if not proc.stdin.closed:
                        proc.stdin.close()
                    continue
                lay_out(folder, box.mend)
                # "ok" on a Retry/Cancel box is the button id an automation
                # tool sends (IDOK), as tallix_boxes posts it under Wine.
                reply = "1" if box.answer == "ok" and line == "[Retry/Cancel]" else ANSWER_LINES[box.answer]
                proc.stdin.write((reply + "\n").encode())
                proc.stdin.flush()
            elif ": " in line:
                caption, text = line.split(": ", 1)
                pending = (caption, text)
        status = proc.wait()
    finally:
        timer.cancel()
        if proc.poll() is None:
            proc.kill()
            proc.wait()
        if not proc.stdin.closed:
            try:
                proc.stdin.close()
            except BrokenPipeError:
                pass
    return Run(status, shown, "\n".join(log))


def scratch():
    return tempfile.mkdtemp(prefix="tallix-e2e-")


# What only developers need, which the README that ships must not hold.
DEVELOPER_MATTER = ["scripts/", ".ci/", "tests/README.md", "bench/", "docs/design.md", "cmake ", "build/",
                    "apt-get", "<!--", "fuzz"]


def shipped_readme_problems(shipped, source, package_names):
    """What is wrong with `shipped`, the README in a package whose files
    are `package_names` (paths with "/"), made from the project's README
    `source`: developer matter, a link to a file the package lacks, a
    section of the source missing, or a line that is not the source's."""
    problems = ["holds %r" % word for word in DEVELOPER_MATTER if word in shipped]
    if re.search(r"(?<!\r)\n", shipped) or not shipped.endswith("\r\n"):
        problems.append("a line that does not end in CR LF (Notepad on older Windows shows one long line)")
    for target in re.findall(r"\]\(([^)#]+)\)", shipped):
        if "://" not in target and target not in package_names:
            problems.append("links to %s, which is not in the package" % target)
    sections = [l for l in source.splitlines() if l.startswith("## ")]
    problems += ["section %r missing" % s for s in sections if s not in shipped.splitlines()]
    # Every line is the source's, in the source's order: derived, not rewritten.
    source_lines = iter(source.splitlines())
    for line in shipped.splitlines():
        if line and not any(line == l for l in source_lines):
            problems.append("line not from the source README, or out of its order: %r" % line)
            break
    return problems
