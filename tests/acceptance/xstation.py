"""Stations on X servers: an Xvfb per station, the terminal process, input through xdotool and
pixels read straight from the X server (libX11 through ctypes, no extra packages)."""

import ctypes
import ctypes.util
import glob
import os
import select
import shutil
import signal
import subprocess
import threading
import time


class Failure(Exception):
    """What the judge would have noticed: the test fails with this text."""


class Stopped(Exception):
    """Another station failed; this one gives up quietly."""


# --- pixels -------------------------------------------------------------------------------------

class _XImage(ctypes.Structure):
    _fields_ = [
        ("width", ctypes.c_int),
        ("height", ctypes.c_int),
        ("xoffset", ctypes.c_int),
        ("format", ctypes.c_int),
        ("data", ctypes.POINTER(ctypes.c_ubyte)),
        ("byte_order", ctypes.c_int),
        ("bitmap_unit", ctypes.c_int),
        ("bitmap_bit_order", ctypes.c_int),
        ("bitmap_pad", ctypes.c_int),
        ("depth", ctypes.c_int),
        ("bytes_per_line", ctypes.c_int),
        ("bits_per_pixel", ctypes.c_int),
        ("red_mask", ctypes.c_ulong),
        ("green_mask", ctypes.c_ulong),
        ("blue_mask", ctypes.c_ulong),
    ]


_ZPIXMAP = 2
_ALL_PLANES = ctypes.c_ulong(~0 & 0xFFFFFFFFFFFFFFFF)
_xlib = None
_xlib_lock = threading.Lock()
_x_errors = threading.local()


def _load_xlib():
    global _xlib, _error_handler
    with _xlib_lock:
        if _xlib is not None:
            return _xlib
        name = ctypes.util.find_library("X11") or "libX11.so.6"
        lib = ctypes.CDLL(name)
        lib.XInitThreads()
        lib.XOpenDisplay.restype = ctypes.c_void_p
        lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        lib.XCloseDisplay.argtypes = [ctypes.c_void_p]
        lib.XGetImage.restype = ctypes.POINTER(_XImage)
        lib.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                  ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        lib.XFree.argtypes = [ctypes.c_void_p]
        lib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        handler_type = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)

        def on_error(_display, _event):
            # A window that went away between finding and reading it: the read returns nothing.
            _x_errors.count = getattr(_x_errors, "count", 0) + 1
            return 0

        _error_handler = handler_type(on_error)
        lib.XSetErrorHandler(_error_handler)
        _xlib = lib
        return lib


_error_handler = None


class Image:
    def __init__(self, width, height, rgb):
        self.width = width
        self.height = height
        self.rgb = rgb  # bytes, 3 a pixel, row after row

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])

    def save(self, path):
        """As a PPM file (any image viewer or `convert` reads it)."""
        with open(path, "wb") as f:
            f.write(b"P6 %d %d 255\n" % (self.width, self.height) + self.rgb)

    def is_plain(self):
        first = self.rgb[:3]
        return all(self.rgb[i:i + 3] == first for i in range(0, len(self.rgb), 3))


class Screen:
    """One connection to one X display, used by one thread."""

    def __init__(self, display):
        self.lib = _load_xlib()
        self.handle = self.lib.XOpenDisplay(display.encode())
        if not self.handle:
            raise Failure(f"cannot open X display {display}")

    def close(self):
        if self.handle:
            self.lib.XCloseDisplay(self.handle)
            self.handle = None

    def grab(self, window, x, y, width, height):
        """The pixels of a rectangle of a window, or None when the window cannot be read."""
        image = self.lib.XGetImage(self.handle, int(window), x, y, width, height, _ALL_PLANES,
                                   _ZPIXMAP)
        self.lib.XSync(self.handle, 0)
        if not image:
            return None
        try:
            im = image.contents
            if im.bits_per_pixel != 32:
                raise Failure(f"X image with {im.bits_per_pixel} bits a pixel; run Xvfb at depth 24")
            shifts = [_mask_shift(im.red_mask), _mask_shift(im.green_mask),
                      _mask_shift(im.blue_mask)]
            raw = ctypes.string_at(im.data, im.bytes_per_line * im.height)
            out = bytearray(width * height * 3)
            o = 0
            for row in range(height):
                base = row * im.bytes_per_line
                for col in range(width):
                    v = int.from_bytes(raw[base + col * 4:base + col * 4 + 4], "little")
                    out[o] = (v >> shifts[0]) & 0xFF
                    out[o + 1] = (v >> shifts[1]) & 0xFF
                    out[o + 2] = (v >> shifts[2]) & 0xFF
                    o += 3
            return Image(width, height, bytes(out))
        finally:
            self.lib.XFree(ctypes.cast(image.contents.data, ctypes.c_void_p))
            self.lib.XFree(ctypes.cast(image, ctypes.c_void_p))


def _mask_shift(mask):
    shift = 0
    while mask and not mask & 1:
        mask >>= 1
        shift += 1
    return shift


def near(colour, expected, tolerance=24):
    return colour is not None and all(abs(a - b) <= tolerance for a, b in zip(colour, expected))


# --- X servers ----------------------------------------------------------------------------------

class Xvfb:
    # The first display number to try; None: the first free one from 0, as Xvfb picks it.
    first = None

    def __init__(self, log_path):
        read_end, write_end = os.pipe()
        self.log = open(log_path, "wb")
        number = [] if Xvfb.first is None else [f":{_free_display(Xvfb.first)}"]
        self.process = subprocess.Popen(
            ["Xvfb", *number, "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
             "-dpi", "96", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=self.log, stderr=subprocess.STDOUT,
            start_new_session=True)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([read_end], [], [], left)[0]:
                os.close(read_end)
                self.stop()
                raise Failure("Xvfb did not start; see " + log_path)
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        if not number.strip():
            self.stop()
            raise Failure("Xvfb did not start; see " + log_path)
        self.name = ":" + number.decode().strip()

    def screenshot(self, path):
        subprocess.run(["import", "-display", self.name, "-window", "root", path],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)

    def stop(self):
        stop_process(self.process)
        self.log.close()


_displays_taken = set()
_displays_lock = threading.Lock()


def _free_display(first):
    """A display number from `first` up that no X server (of this run or another) holds."""
    with _displays_lock:
        for n in range(first, first + 200):
            if n in _displays_taken or os.path.exists(f"/tmp/.X{n}-lock") or \
                    os.path.exists(f"/tmp/.X11-unix/X{n}"):
                continue
            _displays_taken.add(n)
            return n
    raise Failure(f"no free X display from :{first}")


def stop_process(process, grace=5.0):
    """Ends a process this driver started (its own session), TERM first."""
    if process is None or process.poll() is not None:
        return
    try:
        os.killpg(process.pid, signal.SIGTERM)
    except ProcessLookupError:
        return
    try:
        process.wait(grace)
    except subprocess.TimeoutExpired:
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        process.wait(5)


# --- Windows stations under Wine -----------------------------------------------------------------

class Wine:
    """Stations as Windows programs under Wine, each in a copy of a prepared prefix (the
    terminal installed in it): a PC of its own, with its own settings under Program Files and
    its own application data folders."""

    def __init__(self, template, program):
        self.template = os.path.abspath(template)
        self.program = os.path.abspath(program)  # tollivane.exe inside the template
        if os.path.commonpath([self.template, self.program]) != self.template:
            raise Failure(f"{program} is not installed in the Wine prefix {template}")
        self.loader = "/usr/lib/wine/wine64" if os.access("/usr/lib/wine/wine64", os.X_OK) \
            else shutil.which("wine64") or shutil.which("wine")
        self.server = os.path.join(os.path.dirname(self.loader), "wineserver")
        if not os.access(self.server, os.X_OK):
            self.server = shutil.which("wineserver") or "wineserver"

    def missing(self):
        if not self.loader:
            return "wine is missing (wine, wine64)"
        if not os.path.isfile(self.program):
            return f"{self.program} is not installed"
        return None

    def new_prefix(self, folder):
        """A copy of the template. The Windows folder's libraries, which nothing writes, are
        linked rather than copied (some 700 MB)."""
        if os.path.exists(folder):
            shutil.rmtree(folder)
        windows = os.path.join("drive_c", "windows")
        subprocess.run(["cp", "-a", "--no-target-directory", self.template, folder], check=True,
                       capture_output=True)
        for libraries in ("system32", "syswow64"):
            source = os.path.join(self.template, windows, libraries)
            if os.path.isdir(source):
                target = os.path.join(folder, windows, libraries)
                shutil.rmtree(target)
                subprocess.run(["cp", "-al", source, target], check=True, capture_output=True)
        return folder

    def program_in(self, prefix):
        return os.path.join(prefix, os.path.relpath(self.program, self.template))

    @staticmethod
    def path(unix_path):
        """The Windows name of a host path: Wine's drive Z: is the host's /."""
        return "Z:" + os.path.abspath(unix_path).replace("/", "\\")

    @staticmethod
    def settings_file(prefix):
        # The terminal's fixed C:\program files\VELMOR\Tollivane\Tollivane.ini
        return os.path.join(prefix, "drive_c", "Program Files", "VELMOR", "Tollivane",
                            "Tollivane.ini")

    @staticmethod
    def journal_folders(prefix):
        # %LOCALAPPDATA%\VELMOR\Tollivane\journal of the prefix's user
        return glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Local",
                                      "VELMOR", "Tollivane", "journal"))

    def end(self, prefix):
        """Ends every Windows process of the prefix, its wineserver included."""
        subprocess.run([self.server, "-k"], env={**os.environ, "WINEPREFIX": prefix},
                       capture_output=True, timeout=30)


# --- a station ----------------------------------------------------------------------------------

class Station:
    """One judge's PC: an X display, a settings folder, the terminal process."""

    def __init__(self, seat, display, home, tollivane, env, run_as=None, stop_event=None,
                 wine=None, prefix=None):
        self.seat = seat
        self.display = display
        self.home = home  # XDG_CONFIG_HOME of this station
        self.tollivane = tollivane
        self.extra_env = dict(env)
        self.run_as = run_as  # (uid, gid) to drop to, or None
        self.stop_event = stop_event or threading.Event()
        self.wine = wine  # a Wine: the station is a Windows program in its own prefix
        self.prefix = prefix
        self.process = None
        self.log_path = os.path.join(os.path.dirname(home), f"station{seat}.log")
        self._screen = None
        self._log = None

    # process

    def start(self):
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("QT_", "XDG_", "DISPLAY", "WAYLAND"))}
        runtime = os.path.join(os.path.dirname(self.home), f"runtime{self.seat}")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        env.update({
            "DISPLAY": self.display.name,
            "QT_QPA_PLATFORM": "xcb",
            "XDG_CONFIG_HOME": self.home,
            "XDG_DATA_HOME": os.path.join(self.home, "data"),  # the station's mark journal
            "XDG_RUNTIME_DIR": runtime,
        })
        env.update(self.extra_env)
        command = [self.tollivane]
        cwd = None
        stdin = None
        if self.wine:
            # Qt reads no QT_ variable under Wine, which keeps the host's to itself: the
            # Windows platform it is. A program started with the caller's standard input writes
            # its console output nowhere.
            env.update({"WINEPREFIX": self.prefix, "WINEDEBUG": "-all",
                        "WINEDLLOVERRIDES": "mscoree,mshtml="})
            command = [self.wine.loader, self.wine.program_in(self.prefix)]
            stdin = subprocess.DEVNULL
        if self.run_as:
            uid, gid = self.run_as
            os.chown(runtime, uid, gid)
            env["HOME"] = runtime
            cwd = runtime  # not the test's own folder, which the user may not enter
            command = ["setpriv", f"--reuid={uid}", f"--regid={gid}", "--clear-groups"] + command
        self._log = open(self.log_path, "ab")
        self.process = subprocess.Popen(command, env=env, cwd=cwd, stdin=stdin, stdout=self._log,
                                        stderr=subprocess.STDOUT, start_new_session=True)

    def wait_exit(self, timeout):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"station {self.seat}: the program did not end within {timeout} s "
                          "of closing the main window")

    def kill(self):
        stop_process(self.process)
        if self.wine:
            self.wine.end(self.prefix)
        if self._log:
            self._log.close()
            self._log = None
        if self._screen:
            self._screen.close()
            self._screen = None

    # windows and input

    def xdo(self, *args, check=True, timeout=20):
        result = subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True,
                                env={**os.environ, "DISPLAY": self.display.name},
                                timeout=timeout)
        if check and result.returncode != 0:
            raise Failure(f"station {self.seat}: xdotool {' '.join(map(str, args))} failed: "
                          f"{result.stderr.strip()}")
        return result.stdout

    def windows(self, name):
        """Visible windows whose title is exactly `name`."""
        out = self.xdo("search", "--onlyvisible", "--name", f"^{name}$", check=False)
        return [int(w) for w in out.split()]

    def wait_window(self, name, timeout, what=None):
        def found():
            self.check_running()
            ws = self.windows(name)
            return ws[0] if ws else None
        return self.wait_for(found, timeout, what or f"window {name} to appear")

    def click(self, window, x, y, repeat=1):
        self.check_running()
        args = ["mousemove", "--window", window, x, y, "click"]
        if repeat > 1:
            args += ["--repeat", repeat, "--delay", 80]
        self.xdo(*args, 1)

    def key(self, *keys):
        self.check_running()
        if keys:
            self.xdo("key", "--delay", 40, *keys)

    def focus(self, window):
        self.xdo("windowfocus", "--sync", window, check=False, timeout=5)

    @property
    def screen(self):
        if self._screen is None:
            self._screen = Screen(self.display.name)
        return self._screen

    def grab(self, window, rect):
        return self.screen.grab(window, *rect)

    def pixel(self, window, x, y):
        image = self.grab(window, (x, y, 1, 1))
        return image.pixel(0, 0) if image else None

    # waiting

    def check_running(self):
        if self.stop_event.is_set():
            raise Stopped()
        if self.process is not None and self.process.poll() is not None:
            raise Failure(f"station {self.seat}: the program ended unexpectedly with code "
                          f"{self.process.returncode}; see {self.log_path}")

    def wait_for(self, condition, timeout, what, interval=0.1):
        deadline = time.monotonic() + timeout
        while True:
            value = condition()
            if value:
                return value
            if time.monotonic() > deadline:
                raise Failure(f"station {self.seat}: waited {timeout} s for {what}")
            if self.stop_event.wait(interval):
                raise Stopped()

    # message boxes

    def message_boxes(self):
        return self.windows("Tollivane")

    def read_box(self, box, selection_tool):
        """The text of a message box: a triple click on its text selects it all. On Windows Qt
        copies the whole box with Ctrl+C instead, which Wine hands on as the X clipboard."""
        if self.wine:
            self.focus(box)
            self.key("ctrl+c")
            time.sleep(0.3)
        else:
            self.click(box, 70, 16, repeat=3)
            time.sleep(0.2)
        result = subprocess.run([selection_tool, *(["--clipboard"] if self.wine else [])],
                                capture_output=True,
                                env={**os.environ, "DISPLAY": self.display.name,
                                     "QT_QPA_PLATFORM": "xcb"}, timeout=20)
        text = result.stdout.decode("utf-8", "replace").strip()
        return windows_box_text(text) if self.wine else text

    def read_and_dismiss_boxes(self, selection_tool):
        """Reads and closes every message box, newest first: a box opened while another was
        up (a poll failing during a message) blocks the older one until it is closed."""
        texts = []
        for _ in range(20):
            boxes = self.message_boxes()
            if not boxes:
                return texts
            focused = self.xdo("getwindowfocus", check=False).strip()
            order = sorted(boxes, key=lambda b: (str(b) != focused, -boxes.index(b)))
            for box in order:
                # A blocked box ignores the triple click and Return alike, so a text counts
                # only when the box it was read from then closes.
                text = self.read_box(box, selection_tool)
                # The click may not move the X focus: Qt leaves it alone when it already takes
                # the box for the active window.
                self.focus(box)
                self.key("Return")
                if self.wait_gone(box, 2.0):
                    texts.append(text)
                    break
        raise Failure(f"station {self.seat}: cannot close the message boxes {self.message_boxes()}")

    def wait_gone(self, box, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if box not in self.message_boxes():
                return True
            time.sleep(0.1)
        return False


def windows_box_text(copied):
    """The message of a message box as Qt on Windows copies it: title, text and buttons
    between lines of dashes."""
    parts = [p.strip() for p in copied.replace("\r\n", "\n").split("---------------------------")]
    parts = [p for p in parts if p]
    return parts[1] if len(parts) >= 2 else copied


def tool_missing(*names):
    return [n for n in names if shutil.which(n) is None]
