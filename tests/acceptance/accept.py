#!/usr/bin/env python3
"""Acceptance test of the whole terminal: real `tollivane` processes, one per judge seat, each
with its own settings folder and its own X server, driven from outside with mouse clicks and key
presses as a judge would, on one competition database together with the simulated operator of
`jumpdb`. Nothing inside the program knows it is being tested.

Scenarios:
  flow      five stations judge every competitor of two rounds; every judge table and every
            race row must hold exactly the marks entered for that seat and competitor
  faults    the database server (seen through a relay the test can stop) is down when the
            stations start, stops while they poll, and stops between 確定 and はい
  hostile   the operator's side writes hostile values (quotes, SQL text, NULLs, odd deductions,
            500-character and Japanese names, a bib that is no number)
  settings  station settings files that are missing, empty, garbage, very large, or in a
            read-only folder

Exit status: 0 passed, 1 failed, 77 skipped (a server or tool is missing outside CI; in CI,
with CI=true, that is a failure).
"""

import argparse
import fcntl
import glob
import hashlib
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import traceback

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from dbclient import ROUTES, literal  # noqa: E402
from proxy import Proxy  # noqa: E402
from terminal import (CANNOT_CONNECT, CONFIRM, NOT_REGISTERED, NOTICE_OK, NOTICE_SPOT,  # noqa: E402
                      Terminal, mark_text, same_text, value_text)
from xstation import (Failure, Image, Station, Stopped, Wine, Xvfb, stop_process,  # noqa: E402
                      tool_missing)

SKIP = 77
SEATS = "ABCDE"


class Skip(Exception):
    pass


def in_ci():
    return os.environ.get("CI", "").strip().lower() in ("true", "1", "yes")


class Run:
    """One scenario on one route: the processes it started and what it found."""

    def __init__(self, args, route):
        self.args = args
        self.route = route
        self.db = route.db
        self.workdir = args.workdir
        self.stop = threading.Event()
        self.displays = []
        self.terminals = []
        self.operator = None
        self.proxy = None
        self.started = time.monotonic()
        self._log_lock = threading.Lock()
        self._lock = threading.Lock()
        self.bib_pictures = {}
        self.marks = {}  # (round, bib, seat) -> columns
        self.wine = Wine(args.wine, args.tollivane) if args.wine else None

    def log(self, text):
        with self._log_lock:
            print(f"{time.monotonic() - self.started:7.1f}s {text}", flush=True)

    # --- processes -----------------------------------------------------------------------------

    def jumpdb(self, *args):
        env = {**os.environ, **self.route.jumpdb_env()}
        result = subprocess.run([self.args.jumpdb, *args, *self.route.jumpdb_args()], env=env,
                                capture_output=True, text=True, timeout=120)
        if result.returncode != 0:
            raise Failure(f"jumpdb {' '.join(args)}: {result.stderr.strip()}")
        return result.stdout

    def new_competition(self, competitors):
        self.route.prepare()
        self.jumpdb("create", "--replace")
        self.jumpdb("seed", "--competitors", str(competitors))

    def start_operator(self):
        env = {**os.environ, **self.route.jumpdb_env()}
        log = open(os.path.join(self.workdir, "operator.log"), "wb")
        self.operator = subprocess.Popen(
            [self.args.jumpdb, "operator", "--interval", "300", *self.route.jumpdb_args()],
            env=env, stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
        self.log("operator started")

    def wait_operator(self, timeout=30):
        try:
            code = self.operator.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the operator did not finish the competition")
        if code != 0:
            raise Failure(f"the operator ended with code {code}; see operator.log")

    def start_station(self, seat, env, settings=None, settings_bytes=None, run_as=None,
                      display=None):
        if display is None:
            display = Xvfb(os.path.join(self.workdir, f"xvfb{seat}.log"))
            self.displays.append(display)
        home = os.path.join(self.workdir, f"station{seat}")
        prefix = None
        if self.wine:
            os.makedirs(home, exist_ok=True)
            prefix = self.wine.new_prefix(os.path.join(home, "prefix"))
            # A Windows program names the host's files by their Windows names.
            env = {k: Wine.path(v) if k == "TOLLIVANE_ALIASES" else v for k, v in env.items()}
        path = self.settings_path(seat)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if settings:
            settings_bytes = ("[Tollvn]\r\nDbType=%s\r\nDbdir=%s\r\n" % settings).encode()
        if settings_bytes is not None:
            with open(path, "wb") as f:
                f.write(settings_bytes)
        env = {"FONTCONFIG_FILE": self.args.fontconfig, **env}
        station = Station(seat, display, home, self.args.tollivane, env, run_as, self.stop,
                          self.wine, prefix)
        station.start()
        terminal = Terminal(station, self.args.selection, self.log)
        self.terminals.append(terminal)
        self.log(f"station {seat} started on display {display.name}")
        return terminal

    def settings_path(self, seat):
        if self.wine:
            return Wine.settings_file(self.prefix(seat))
        return os.path.join(self.workdir, f"station{seat}", "VELMOR", "Tollivane",
                            "Tollivane.ini")

    def prefix(self, seat):
        return os.path.join(self.workdir, f"station{seat}", "prefix")

    def cleanup(self):
        self.stop.set()
        for t in self.terminals:
            t.st.kill()
        stop_process(self.operator)
        if self.proxy:
            self.proxy.stop()
        for d in self.displays:
            d.stop()

    def keep_evidence(self):
        for i, d in enumerate(self.displays):
            if d.process.poll() is None:
                d.screenshot(os.path.join(self.workdir, f"screen{i + 1}.png"))
        try:
            with open(os.path.join(self.workdir, "tables.txt"), "w") as f:
                f.write(self.jumpdb("state"))
        except Exception as e:  # the database may be the thing that failed
            self.log(f"could not dump the tables: {e}")
        self.log_station_state()
        self.log(f"screenshots, logs and tables are in {self.args.evidence}")

    def log_main_thread(self, t):
        """Where a Linux station's window thread is, by gdb where it is installed: a station
        that shows nothing may be held there."""
        process = t.st.process
        if self.wine or process is None or process.poll() is not None or not shutil.which("gdb"):
            return
        try:
            result = subprocess.run(["gdb", "-p", str(process.pid), "-batch", "-ex", "bt 25"],
                                    capture_output=True, text=True, timeout=60)
        except (OSError, subprocess.TimeoutExpired) as e:
            self.log(f"[{t.seat}] no stack: {e}")
            return
        with open(os.path.join(self.workdir, f"stack{t.seat}.txt"), "w") as f:
            f.write(result.stdout + result.stderr)
        frames = [x for x in result.stdout.splitlines() if x.startswith("#")]
        for frame in frames[:12]:
            self.log(f"[{t.seat}] {frame[:160]}")

    def log_station_state(self):
        """What each station showed and last wrote in its journal: the CI log is often all that
        is left of a failure."""
        for t in self.terminals:
            try:
                titles = t.st.xdo("search", "--onlyvisible", "--name", ".", "getwindowname",
                                  "%@", check=False).split("\n")
                self.log(f"[{t.seat}] windows: {[x for x in titles if x]}")
            except Exception as e:
                self.log(f"[{t.seat}] windows unknown: {e}")
            self.log_main_thread(t)
            folder = os.path.join(self.workdir, f"station{t.seat}", "data", "VELMOR", "Tollivane",
                                  "journal")
            if self.wine:
                folder = (Wine.journal_folders(self.prefix(t.seat)) or [folder])[0]
            for path in sorted(glob.glob(os.path.join(folder, "*.csv")))[-1:]:
                with open(path, encoding="utf-8", errors="replace") as f:
                    for line in f.readlines()[-3:]:
                        self.log(f"[{t.seat}] journal: {line.rstrip()}")

    # --- the judges' work ----------------------------------------------------------------------

    def check_bib_picture(self, seat, bib, image):
        """Every station draws the same bib the same way, and different bibs differently."""
        with self._lock:
            known = self.bib_pictures.get(bib)
            if known is None:
                for other, (picture, who) in self.bib_pictures.items():
                    if picture == image.rgb:
                        raise Failure(f"station {seat} shows bib {other} (as station {who} "
                                      f"drew it) while its judge table holds {bib}")
                self.bib_pictures[bib] = (image.rgb, seat)
            elif known[0] != image.rgb:
                known_image = Image(image.width, image.height, known[0])
                known_image.save(os.path.join(self.workdir, f"bib{bib}-{known[1]}.ppm"))
                image.save(os.path.join(self.workdir, f"bib{bib}-{seat}-now.ppm"))
                raise Failure(f"station {seat} draws bib {bib} unlike station {known[1]}: "
                              "it shows another competitor")

    def check_registered(self, seat, bib, round_, columns):
        row = self.db.judge(seat)
        if row["zek"] != bib:
            return  # every seat has registered and the operator has moved on; race tells
        want = {"ap": value_text(columns[0]), "op": value_text(columns[1]),
                "lp": value_text(columns[2]), "tp": mark_text(columns), "sumi": "T"}
        got = {k: row[k] for k in want}
        if got != want:
            raise Failure(f"judge{seat} after registering bib {bib} round {round_}: {got}, "
                          f"entered {want}")

    def record(self, round_, bib, seat, columns):
        with self._lock:
            self.marks[(round_, bib, seat)] = columns

    def check_not_registered(self, seat, bib, when):
        row = self.db.judge(seat)
        if row["zek"] == bib and row["sumi"] == "T":
            raise Failure(f"judge{seat} {when}: sumi is T already ({row})")

    def judge_one(self, t, rng, last_image, finished=None, on_box=None, decline_rate=0.1,
                  timeout=40, banner=None):
        image = t.wait_competitor(last_image, timeout, finished, on_box)
        if image is None:
            return None
        if banner and t.banner() != banner:
            raise Failure(f"station {t.seat}: shows {t.banner()!r} for the new competitor, "
                          f"expected {banner!r}")
        row = self.db.judge(t.seat)
        bib, round_ = row["zek"], row["hon"]
        self.check_bib_picture(t.seat, bib, image)
        columns = (rng.randrange(11), rng.randrange(11), rng.randrange(15))
        steps, last_column = t.enter_marks(rng, columns)
        t.ask(rng, last_column, steps)
        if rng.random() < decline_rate:
            t.answer_no(rng, steps)
            self.check_not_registered(t.seat, bib, "after いいえ")
            t.click(CONFIRM)
            steps.append("確定 again by mouse")
            t.wait_question(True)
        t.answer_yes(rng, steps)
        t.wait_registered(lambda: self.db.judge(t.seat)["zek"] != bib)
        self.check_registered(t.seat, bib, round_, columns)
        self.record(round_, bib, t.seat, columns)
        t.say(f"bib {bib} round {round_}: {'/'.join(value_text(c) for c in columns)} "
              f"= {mark_text(columns)}  ({', '.join(steps)})")
        return image

    def finish_stations(self, settings_after=None):
        """End on every station, then close it; `settings_after` maps a seat to the profile its
        settings file must name afterwards (the route's own expectation by default)."""
        for t in self.terminals:
            if t.pointin_shown():
                t.end()
        for t in self.terminals:
            row = self.db.judge(t.seat)
            if row["ent"] != "False":
                raise Failure(f"judge{t.seat}: ent is {row['ent']!r} after End")
        for t in self.terminals:
            code = t.close_main()
            if code != 0:
                raise Failure(f"station {t.seat} ended with code {code}; see {t.st.log_path}")
            expected = (settings_after or {}).get(t.seat)
            self.check_settings_file(t.seat,
                                     expected or self.route.expected_settings_after(t.seat))
        self.log("every station released its seat and closed normally")

    def audit_journals(self, seats, jumps):
        """Each station's mark journal holds every jump it registered, and jumpdb audit of the
        stations' journal folders together finds all of them in the database, and nothing in
        race that no journal accounts for."""
        folders = []
        for seat in seats:
            folder = os.path.join(self.workdir, f"station{seat}", "data", "VELMOR", "Tollivane",
                                  "journal")
            if self.wine:
                folder = (Wine.journal_folders(self.prefix(seat)) or [folder])[0]
            if not glob.glob(os.path.join(folder, "*.csv")):
                raise Failure(f"station {seat} kept no mark journal in {folder}")
            folders += ["--journal", folder]
        env = {**os.environ, **self.route.jumpdb_env()}
        result = subprocess.run([self.args.jumpdb, "audit", *folders, *self.route.jumpdb_args()],
                                env=env, capture_output=True, text=True, timeout=120)
        if result.returncode != 0:
            raise Failure(f"jumpdb audit of the stations' journals (exit {result.returncode}):\n"
                          f"{result.stdout}{result.stderr}")
        checked = int(result.stdout.strip().splitlines()[-1].split()[0])
        if checked != jumps * len(seats):
            raise Failure(f"the audit checked {checked} marks, expected {jumps} a seat")
        self.log(f"jumpdb audit: every journal matches the database ({jumps} marks a seat)")

    def check_settings_file(self, seat, expected):
        values = read_settings(self.settings_path(seat))
        want = {"dbtype": expected[0], "dbdir": expected[1]}
        if values != want:
            raise Failure(f"station {seat}: the settings file holds {values} after closing, "
                          f"expected {want}")

    def check_race(self, bibs, seats):
        """Every race column of both rounds holds what its seat entered for that bib; the
        columns of seats nobody took stay NULL."""
        columns = ["zno"] + [f"{s}{c}{r}" for s in SEATS for r in "12" for c in "aol"]
        rows = {row["zno"]: row for row in self.db.rows("race", columns, order="zno")}
        if sorted(rows) != sorted(bibs):
            raise Failure(f"race holds the bibs {sorted(rows)}, expected {sorted(bibs)}")
        wrong = []
        for bib in bibs:
            for seat in SEATS:
                for r in "12":
                    marks = self.marks.get((r, bib, seat))
                    got = [rows[bib][f"{seat}{c}{r}"] for c in "aol"]
                    if seat in seats and marks is None:
                        wrong.append(f"{seat} never registered bib {bib} round {r}")
                        continue
                    want = [value_text(c) for c in marks] if marks else [None, None, None]
                    if got != want:
                        wrong.append(f"race {bib} {seat}a{r}/o{r}/l{r}: {got}, entered {want}")
        if wrong:
            raise Failure("; ".join(wrong[:12]) + (" ..." if len(wrong) > 12 else ""))
        self.log(f"race holds exactly the entered marks: {len(bibs)} competitors, 2 rounds, "
                 f"seats {''.join(seats)}")

    def check_last_jump(self, seats, bib):
        for seat in seats:
            row = self.db.judge(seat)
            columns = self.marks.get(("2", bib, seat))
            want = {"zek": bib, "hon": "X", "sumi": "T", "ap": value_text(columns[0]),
                    "op": value_text(columns[1]), "lp": value_text(columns[2]),
                    "tp": mark_text(columns)}
            got = {k: row[k] for k in want}
            if got != want:
                raise Failure(f"judge{seat} at the end: {got}, expected {want}")
        self.log("the judge tables hold the last competitor's marks of each seat")


def file_digest(path_or_bytes):
    if isinstance(path_or_bytes, bytes):
        return hashlib.sha256(path_or_bytes).hexdigest()
    with open(path_or_bytes, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def read_settings(path):
    """DbType and Dbdir of the [Tollvn] section, keys in lower case."""
    try:
        with open(path, "rb") as f:
            text = f.read().decode("utf-8", "replace")
    except OSError:
        return None
    values = {}
    section = None
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            section = line[1:-1].strip().lower()
        elif section == "tollvn" and "=" in line:
            key, _, value = line.partition("=")
            values[key.strip().lower()] = value.strip()
    return values


# --- scenarios ----------------------------------------------------------------------------------

def scenario_flow(run):
    competitors = run.args.competitors
    run.new_competition(competitors)
    env = run.route.write_station_files()
    terminals = [run.start_station(seat, env, run.route.settings.get(seat)) for seat in SEATS]
    for t in terminals:
        t.wait_main()
    for t in terminals:
        t.claim(keyboard=True)
    for seat in SEATS:
        if run.db.judge(seat)["ent"] != "True":
            raise Failure(f"judge{seat}: the seat claim did not set ent")
    run.log("five seats claimed")
    run.start_operator()

    errors = []
    counts = {}

    def judge(t):
        rng = random.Random(f"{run.args.seed}-{t.seat}")
        last = None
        jumps = 0
        try:
            while True:
                image = run.judge_one(t, rng, last,
                                      finished=lambda: run.db.judge(t.seat)["hon"] == "X")
                if image is None:
                    break
                last = image.rgb
                jumps += 1
            counts[t.seat] = jumps
        except Stopped:
            pass
        except Exception as e:
            errors.append(e if isinstance(e, Failure) else Failure(traceback.format_exc()))
            run.stop.set()

    threads = [threading.Thread(target=judge, args=(t,), daemon=True) for t in terminals]
    for th in threads:
        th.start()
    deadline = time.monotonic() + 60 + 30 * 2 * competitors
    for th in threads:
        th.join(max(1, deadline - time.monotonic()))
    if errors:
        raise errors[0]
    if any(th.is_alive() for th in threads):
        run.stop.set()
        raise Failure("the stations did not finish the competition in time")
    for seat in SEATS:
        if counts.get(seat) != 2 * competitors:
            raise Failure(f"station {seat} judged {counts.get(seat)} jumps, "
                          f"expected {2 * competitors}")
    run.wait_operator()
    bibs = [f"{i:03d}" for i in range(1, competitors + 1)]
    run.check_race(bibs, SEATS)
    run.check_last_jump(SEATS, bibs[-1])
    if run.db.rows("judgeent", ["jikko"]) != [{"jikko": "0"}]:
        raise Failure("judgeent.jikko is not 0 after the competition")
    run.finish_stations()
    run.audit_journals(SEATS, 2 * competitors)


def scenario_faults(run):
    """Three stations behind a relay that plays the stopped server."""
    route = run.route
    if route.server_address() is None:
        raise Skip("no server on this route")
    competitors = 2
    run.new_competition(competitors)
    run.proxy = Proxy(route.server_address())
    run.proxy.start()
    env = route.write_station_files(via=run.proxy.address())
    seats = "ACE"
    rng = random.Random(f"{run.args.seed}-faults")

    # The server is down when the stations start.
    run.proxy.down()
    terminals = [run.start_station(seat, env, route.settings.get(seat)) for seat in seats]
    for t in terminals:
        t.wait_main()
    run.log("stations started with the server down")
    for t in terminals:
        t.press_claim()
        t.wait_box(15, "the database message after 確認 with the server down")
        texts = t.take_boxes()
        if not any(same_text(x, CANNOT_CONNECT) for x in texts):
            raise Failure(f"station {t.seat}: after 確認 with the server down it said {texts}, "
                          f"expected 「{CANNOT_CONNECT}」")
        if t.pointin_shown():
            raise Failure(f"station {t.seat}: the point input window opened without a server")
    run.proxy.up()
    for seat in seats:
        if run.db.judge(seat)["ent"] != "False":
            raise Failure(f"judge{seat}: a failed claim changed ent")
    for t in terminals:
        t.claim()
    run.log("claims work once the server is back")
    run.start_operator()

    last = {}

    def one_round(ts, **kwargs):
        for t in ts:
            last[t.seat] = run.judge_one(t, rng, last.get(t.seat), decline_rate=0, **kwargs).rgb

    # Jump 1 as usual.
    one_round(terminals)

    # Jump 2: the server stops while the stations poll.
    shown = {t.seat: t.wait_competitor(last[t.seat], 30).rgb for t in terminals}
    run.proxy.down()
    run.log("server down while the stations poll")
    down_at = time.monotonic()
    for t in terminals:
        t.wait_box(12, "a report that the database cannot be reached")
        t.say(f"reported the failure within {time.monotonic() - down_at:.1f} s")
    time.sleep(7)  # two more polls
    for t in terminals:
        boxes = t.st.message_boxes()
        if len(boxes) != 1:
            raise Failure(f"station {t.seat}: {len(boxes)} messages open after three failed "
                          "polls; it should report the failure once")
        t.take_boxes()
    time.sleep(7)
    for t in terminals:
        if t.st.message_boxes():
            texts = t.take_boxes()
            raise Failure(f"station {t.seat}: reported the failure again: {texts}")
        if not t.pointin_shown():
            raise Failure(f"station {t.seat}: the point input window closed during the outage")
    run.proxy.up()
    run.log("server back")
    for t in terminals:
        # Still the same competitor: judge it without waiting for a change.
        last[t.seat] = run.judge_one(t, rng, None, decline_rate=0).rgb
        if last[t.seat] != shown[t.seat]:
            raise Failure(f"station {t.seat}: the competitor changed during the outage")

    # Jump 3: the server stops between 確定 and はい on station C.
    a, c, e = terminals
    one_round([a, e])
    image = c.wait_competitor(last["C"], 30)
    row = run.db.judge("C")
    bib, round_ = row["zek"], row["hon"]
    run.check_bib_picture("C", bib, image)
    columns = (rng.randrange(11), rng.randrange(11), rng.randrange(15))
    steps, last_column = c.enter_marks(rng, columns)
    c.ask(rng, last_column, steps)
    run.proxy.down()
    run.log("server down between 確定 and はい")
    c.answer_yes(rng, steps)
    texts = []
    for _ in range(2):
        c.wait_box(15, f"「{NOT_REGISTERED}」 after: {', '.join(steps)}")
        time.sleep(1)
        texts += c.take_boxes()
        if any(same_text(x, NOT_REGISTERED) for x in texts) or not c.question_shown():
            break
        # A poll noticed the outage first and its message took the answer: answer again.
        c.answer_yes(rng, steps)
    if not any(same_text(x, NOT_REGISTERED) for x in texts):
        raise Failure(f"station C: after はい with the server down it said {texts}, expected "
                      f"「{NOT_REGISTERED}」")
    run.check_not_registered("C", bib, "after a failed registration")
    if run.db.judge("C")["ap"] not in ("", None):
        raise Failure("judgeC: a failed registration left marks behind")
    run.proxy.up()
    run.log("server back")
    time.sleep(3.5)  # a poll that failed during the outage may still be reporting it
    for t in terminals:
        reports = t.take_boxes() + (texts if t is c else [])
        reports = [x for x in reports if not same_text(x, NOT_REGISTERED)]
        if len(reports) > 1:
            raise Failure(f"station {t.seat}: reported one outage {len(reports)} times: {reports}")
    c.click(CONFIRM)
    c.wait_question(True)
    c.answer_yes(rng, steps)
    c.wait_registered(lambda: run.db.judge("C")["zek"] != bib)
    run.check_registered("C", bib, round_, columns)
    run.record(round_, bib, "C", columns)
    last["C"] = image.rgb
    c.say(f"bib {bib} round {round_}: registered on the second 確定 after the outage")

    # Jump 4 as usual; then the competition is over.
    one_round(terminals)
    run.wait_operator()
    bibs = [f"{i:03d}" for i in range(1, competitors + 1)]
    run.check_race(bibs, seats)
    # Both InterBase locations failed at start-up, so the station kept the second one it tried.
    flipped = {}
    for seat in seats:
        db_type, db_dir = route.expected_settings_after(seat)
        if db_type == "Interbase":
            flipped[seat] = (db_type, "local" if db_dir == "server" else "server")
    run.finish_stations(flipped)


HOSTILE_MARK = "Zq7x"  # every hostile value carries it; no statement of a station may


def hostile_text(n, body):
    return f"{HOSTILE_MARK}{n} {body}"


def scenario_hostile(run):
    route = run.route
    run.new_competition(2)
    server = route.server_address()
    if server:
        run.proxy = Proxy(server, record=True)
        run.proxy.start()
        env = route.write_station_files(via=run.proxy.address())
    else:
        env = route.write_station_files()
    seats = "ACE"
    rng = random.Random(f"{run.args.seed}-hostile")
    terminals = [run.start_station(seat, env, route.settings.get(seat)) for seat in seats]
    for t in terminals:
        t.wait_main()
        t.claim()

    def put_up(values):
        sets = ", ".join(f"{k}={literal(v)}" for k, v in values.items())
        run.db.execute(["update judgeent set jikko='1'"] +
                       [f"update judge{s} set {sets}" for s in SEATS])

    long_name = (hostile_text(1, "O'Brien\"; drop table race; -- 表ソ能～①\\ ") * 40)[:500]
    long_team = (hostile_text(2, "'); delete from judgeA; /* 𠮷野家 ") + "あ" * 500)[:500]
    # Deductions are at most 10 characters on the servers.
    odd = {"A": ("1.0", "0.50", " 1"), "C": (f"'--{HOSTILE_MARK}7", f"1;{HOSTILE_MARK}8",
                                             f"表ソ{HOSTILE_MARK}9"),
           "E": (f"{HOSTILE_MARK}3'", "", "7.0")}
    race_sets = []
    for seat, (a, o, l) in odd.items():
        race_sets += [f"{seat}a1={literal(a)}", f"{seat}o1={literal(o)}",
                      f"{seat}l1={literal(l)}"]
    run.db.execute([f"update race set {', '.join(race_sets)} where zno='001'"])
    race_before = run.db.rows("race", ["zno", "Aa1", "Ao1", "Al1", "Ca1", "Co1", "Cl1", "Ea1",
                                       "Eo1", "El1"], order="zno")

    last = {}

    def judge_all(what, banner=None):
        for t in terminals:
            last[t.seat] = run.judge_one(t, rng, last.get(t.seat), decline_rate=0,
                                         banner=banner).rgb
        run.log(f"{what}: every station judged it normally")

    # Quotes, semicolons, SQL and Japanese text, 500 characters, odd deductions, and marks
    # already registered in race under those odd texts.
    put_up({"zek": "001", "hon": "1", "tstno": hostile_text(4, "1' or 'a'='a"),
            "name": long_name, "team": long_team, "sumi": "T", "ap": "1.0", "op": "0.50",
            "lp": " 1", "tp": f"{HOSTILE_MARK}5');--"})
    judge_all("quotes, SQL text, Japanese, 500 characters, deductions 1.0 / 0.50 / ' 1'",
              banner="already registered")

    # Every column NULL but the bib.
    put_up({"zek": "002", "hon": None, "tstno": None, "name": None, "team": None,
            "sumi": None, "ap": None, "op": None, "lp": None, "tp": None})
    judge_all("NULL columns")

    # Markup where the window shows database text: it must show as it stands.
    put_up({"zek": "001", "hon": "<b>7</b>", "tstno": "<img src=x>",
            "name": hostile_text(10, "<i>Kasai</i> &amp; <u>Co</u>"),
            "team": hostile_text(11, "<table><tr><td>x"), "sumi": "", "ap": "", "op": "",
            "lp": "", "tp": ""})
    judge_all("markup in the round, trial text, name and team")

    # A bib that is no number, with SQL in it: the check fails on every station, which keeps
    # its window and its seat and says so once.
    put_up({"zek": f"{HOSTILE_MARK}6'or'1", "hon": "1", "tstno": "", "name": "x",
            "team": "y", "sumi": "", "ap": "", "op": "", "lp": "", "tp": ""})
    time.sleep(7)  # two polls
    for t in terminals:
        t.st.check_running()
        if not t.pointin_shown():
            raise Failure(f"station {t.seat}: the point input window closed on a failed check")
        texts = t.take_boxes()
        if len(texts) != 1:
            raise Failure(f"station {t.seat}: expected one message about the failed check, "
                          f"saw {texts}")
        if run.db.judge(t.seat)["ent"] != "True":
            raise Failure(f"station {t.seat}: the seat was freed by a failed check")
    run.log("a bib that is no number: every station kept its window and told it once")
    put_up({"zek": "002", "hon": "2", "tstno": "", "name": "山川 翔太", "team": "白馬",
            "sumi": "", "ap": "", "op": "", "lp": "", "tp": ""})
    judge_all("back to a normal competitor")

    if run.db.rows("race", ["zno", "Aa1", "Ao1", "Al1", "Ca1", "Co1", "Cl1", "Ea1", "Eo1",
                            "El1"], order="zno") != race_before:
        raise Failure("race changed although no operator ran")
    for table, column, rows in (("judgeent", "jikko", 1), ("race", "zno", 2),
                                ("entries", "zno", 2), ("judgep", "TDap", 1)):
        if run.db.count(table, column) != rows:
            raise Failure(f"{table} holds {run.db.count(table, column)} rows, expected {rows}")
    for seat in SEATS:
        run.db.judge(seat)
    run.finish_stations()
    if run.proxy:
        check_statements(run, run.proxy.sent())


def check_statements(run, streams):
    data = b"\n".join(streams)
    if b"judgeent" not in data.lower():
        if run.route.name == "firebird":
            run.log("Firebird encrypts the wire: the statements are checked on the ODBC route")
            return
        raise Failure("the relay saw no statement text; cannot check what the stations sent")
    if HOSTILE_MARK.encode() in data:
        at = data.index(HOSTILE_MARK.encode())
        raise Failure("a value written by the operator's side reached a statement: "
                      f"...{data[max(0, at - 80):at + 40]!r}...")
    run.log(f"none of the hostile values reached a statement ({len(data)} bytes sent)")


def scenario_settings(run):
    route = run.route
    run.new_competition(1)
    env = route.write_station_files()
    display = Xvfb(os.path.join(run.workdir, "xvfb.log"))
    run.displays.append(display)
    as_nobody = os.geteuid() == 0
    if as_nobody:
        # Root writes anywhere; a read-only folder needs a user it applies to.
        os.chmod(run.workdir, 0o755)
        os.chmod(route.path, 0o666)
        os.chmod(os.path.dirname(route.path), 0o777)

    cases = [
        ("missing", None),
        ("empty", b""),
        ("garbage", bytes(random.Random(7).randrange(256) for _ in range(8192))),
        ("very large", b"".join(b"[section%d]\r\nkey=%s\r\n" % (i, b"v" * 200)
                                for i in range(80000))),
        ("read-only folder", None),
        ("MySQL local, the control", b"[Tollvn]\r\nDbType=MySQL\r\nDbdir=local\r\n"),
    ]
    reference = None
    for number, (name, content) in enumerate(cases):
        seat = SEATS[number % 5] + str(number)
        run_as = None
        home = os.path.join(run.workdir, f"station{seat}")
        folder = os.path.join(home, "VELMOR", "Tollivane")
        os.makedirs(folder, exist_ok=True)
        if name == "read-only folder":
            if as_nobody:
                run_as = (65534, 65534)
            os.chmod(folder, 0o555)
        t = run.start_station(seat, env, settings_bytes=content, run_as=run_as,
                              display=display)
        t.wait_main(60)
        time.sleep(1)  # the first show connects
        t.no_boxes()
        picture = t.profiles_image()
        if name == "missing":
            reference = picture.rgb
        elif name.endswith("control"):
            if picture.rgb == reference:
                raise Failure("the profile groups look the same for MySQL Local as for the "
                              "defaults: this check cannot tell them apart")
        elif picture.rgb != reference:
            raise Failure(f"settings file {name}: the station did not start on the default "
                          "profile (InterBase, Server)")
        code = t.close_main(60)
        if code != 0:
            raise Failure(f"settings file {name}: the station ended with code {code}")
        path = run.settings_path(seat)
        if name == "read-only folder":
            if os.path.exists(path):
                raise Failure("a settings file appeared in the read-only folder")
        elif name == "very large" and file_digest(path) == file_digest(content):
            pass  # a file that big may be left as it was
        else:
            expected = ("MySQL", "local") if name.endswith("control") else ("Interbase",
                                                                             "server")
            run.check_settings_file(seat, expected)
        run.terminals.remove(t)
        run.log(f"settings file {name}: started on the "
                f"{'given' if name.endswith('control') else 'default'} profile, closed normally")


def open_to_all(path):
    """Whether every user can reach the path: each folder on the way lets others through."""
    path = os.path.abspath(path)
    while True:
        if not os.stat(path).st_mode & 0o001:
            return False
        parent = os.path.dirname(path)
        if parent == path:
            return True
        path = parent


def stage_for_other_users(args):
    """A work folder that a station run as another user can reach, with copies of the program
    and the fontconfig file: a build folder inside a checkout under /root (mode 700) is closed
    to them. main() copies the folder back to the work folder afterwards."""
    stage = tempfile.mkdtemp(prefix="tollivane-accept-")
    os.chmod(stage, 0o755)
    if not open_to_all(stage):
        shutil.rmtree(stage)
        raise Failure(f"{stage} is closed to other users; set TMPDIR to a folder open to all")
    shared = os.path.join(stage, "shared")
    try:
        os.mkdir(shared)
        args.tollivane = shutil.copy2(args.tollivane, shared)
        args.fontconfig = shutil.copy2(args.fontconfig, shared)
    except OSError as e:
        shutil.rmtree(stage, ignore_errors=True)
        raise Failure(f"cannot copy the program into {stage}: {e}")
    return stage


def bring_back(stage, evidence):
    """The stage's files into the work folder, without the copies of stage_for_other_users."""
    shutil.copytree(stage, evidence, dirs_exist_ok=True, symlinks=True,
                    ignore=lambda folder, names: ["shared"] if folder == stage else [])
    shutil.rmtree(stage, ignore_errors=True)


SCENARIOS = {"flow": scenario_flow, "faults": scenario_faults, "hostile": scenario_hostile,
             "settings": scenario_settings}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--route", choices=sorted(ROUTES), required=True)
    parser.add_argument("--scenario", choices=sorted(SCENARIOS), default="flow")
    # CTest's command lines carry no --competitors or --seed: both can come from the environment.
    parser.add_argument("--competitors", type=int,
                        default=os.environ.get("TOLLIVANE_ACCEPT_COMPETITORS", "3"),
                        help="flow: competitors in each of the two rounds (1 to 30)")
    parser.add_argument("--tollivane", required=True)
    parser.add_argument("--jumpdb", required=True)
    parser.add_argument("--selection", required=True, help="the accept_selection helper")
    parser.add_argument("--workdir", required=True)
    parser.add_argument("--fontconfig",
                        default=os.path.join(here, "..", "..", "resources", "fontconfig",
                                             "fonts.conf"))
    parser.add_argument("--seed", default=os.environ.get("TOLLIVANE_ACCEPT_SEED", "1"))
    parser.add_argument("--wine", metavar="PREFIX",
                        help="flow: run each station as a Windows program under Wine, in a copy "
                             "of this Wine prefix (its own PC); --tollivane names tollivane.exe "
                             "installed in it")
    parser.add_argument("--displays-from", type=int, metavar="N",
                        help="X displays from :N up (default: the first free ones)")
    parser.add_argument("--odbc-database", metavar="NAME",
                        help="odbc: the MariaDB database of the competition "
                             "(default TollivaneAccept)")
    args = parser.parse_args()
    args.fontconfig = os.path.abspath(args.fontconfig)
    Xvfb.first = args.displays_from
    if args.wine and args.scenario != "flow":
        parser.error("--wine runs the flow scenario only")

    # Runs from other build folders use the same server databases, and five stations fill the
    # machine: one run at a time.
    lock = os.open(os.path.join(tempfile.gettempdir(), "tollivane-acceptance.lock"),
                   os.O_RDONLY | os.O_CREAT, 0o666)
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        print("acceptance: waiting for another acceptance run to finish", flush=True)
        fcntl.flock(lock, fcntl.LOCK_EX)

    args.evidence = os.path.abspath(args.workdir)
    shutil.rmtree(args.evidence, ignore_errors=True)
    os.makedirs(args.evidence)
    args.workdir = args.evidence
    route_options = {"database": args.odbc_database} if args.route == "odbc" else {}
    route = ROUTES[args.route](args.workdir, **route_options)
    print(f"acceptance: {args.scenario} on {args.route}, seed {args.seed}, "
          f"work folder {args.evidence}" + (", Windows stations under Wine" if args.wine else ""),
          flush=True)

    missing = tool_missing("Xvfb", "xdotool", "import")
    if args.scenario == "settings" and os.geteuid() == 0:
        missing += tool_missing("setpriv")
    reason = (f"missing tools: {', '.join(missing)}" if missing else route.unavailable())
    if args.wine and not reason:
        try:
            reason = Wine(args.wine, args.tollivane).missing()
        except Failure as e:
            reason = str(e)
    for path in (args.jumpdb, args.selection) + (() if args.wine else (args.tollivane,)):
        if not os.access(path, os.X_OK):
            reason = reason or f"{path} is not built"
    if reason:
        if in_ci():
            print(f"acceptance: FAILED: {reason}", flush=True)
            return 1
        print(f"acceptance: skipped: {reason}", flush=True)
        return SKIP

    stage = None
    if args.scenario == "settings" and os.geteuid() == 0:
        # Its read-only folder case runs a station as nobody.
        try:
            stage = stage_for_other_users(args)
        except Failure as e:
            print(f"acceptance: FAILED: {e}", flush=True)
            return 1
        print(f"acceptance: the stations work in {stage} until the end", flush=True)
        args.workdir = stage
        route = ROUTES[args.route](stage, **route_options)

    run = Run(args, route)
    # CTest ends a test that runs too long with SIGTERM: leave no station or X server behind.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    try:
        SCENARIOS[args.scenario](run)
    except Skip as e:
        print(f"acceptance: skipped: {e}", flush=True)
        return SKIP
    except (Failure, RuntimeError, subprocess.TimeoutExpired) as e:
        run.log(f"FAILED: {e}")
        run.keep_evidence()
        return 1
    except Exception:
        run.log("FAILED:\n" + traceback.format_exc())
        run.keep_evidence()
        return 1
    finally:
        run.cleanup()
        if stage:
            bring_back(stage, args.evidence)
    run.log("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
