"""A judge at one station: where the controls are, what the screen shows, and the ways a judge
enters marks (mouse, arrow keys, Tab, Enter, Space, mixed at random)."""

import time

from xstation import Failure, near

# Main window, client coordinates.
SEAT_LEFT = {"A": 8, "B": 112, "C": 224, "D": 328, "E": 432}
PANEL1 = (96, 256)
CLAIM = (PANEL1[0] + 232 + 37, PANEL1[1] + 48 + 12)
NOTICE = (96, 128)  # the yellow "seat taken" panel
NOTICE_SPOT = (NOTICE[0] + 10, NOTICE[1] + 100)  # the panel itself, clear of its label and button
NOTICE_OK = (NOTICE[0] + 232 + 40, NOTICE[1] + 64 + 16)
NOTICE_PROBE = (NOTICE[0] + 10, NOTICE[1] + 60)
CLOSE = (328 + 40, 424 + 12)
PROFILES = (30, 362, 290, 118)  # both profile groups and the connection line under them

# Point input window, client coordinates.
START = (776 + 10 + 35, 11 + 17)
END = (776 + 98 + 35, 11 + 17)
ROWS = [(8, 8, 11), (8, 120, 11), (8, 232, 15)]  # panel left, top, buttons
ROW_NAMES = ["flight", "landing", "outrun"]
CONFIRM = (328 + 104 + 70, 392 + 16 + 30)
YES = (192 + 104 + 88, 344 + 72 + 40)
NO = (192 + 344 + 88, 344 + 72 + 40)
BIB = (184, 524, 57, 35)
NOT_READY_PROBE = (815, 500)  # inside the not-ready notice, outside the question panel
QUESTION_PROBE = (197, 349)
BANNER_PROBE = (334, 472)

DOUBLE_CLICK_GAP = 0.6  # seconds; Qt's double-click time on X is 400 ms

PINK = (0xFF, 0x80, 0xFF)
NAVY = (0x00, 0x00, 0x80)
AQUA = (0x00, 0xFF, 0xFF)
YELLOW = (0xFF, 0xFF, 0x00)
BLACK = (0x00, 0x00, 0x00)

CANNOT_CONNECT = "データベースに接続できません。データベースが立ち上がっているか確認してください。"
NOT_REGISTERED = ("登録できませんでした。データベースが立ち上がっているか確認して、"
                  "もう一度確定してください。")


def value_text(column):
    return str(column // 2) + (".5" if column % 2 else "")


def mark_text(columns):
    halves = 40 - sum(columns)
    return f"{halves // 2}.{5 if halves % 2 else 0}"


def value_button(row, column):
    left, top, _ = ROWS[row]
    return (left + 8 + 64 * column + 28, top + 32 + 28)


def chosen_probe(row, column):
    # The strip the enlarged button adds above the normal one, clear of its neighbours' enlarged
    # places: the row's black unless this button is chosen (blue, red once Enter confirmed it,
    # or the plain face of flight 0 grown by its click).
    left, top, _ = ROWS[row]
    return (left + 64 * column + 36, top + 24 + 5)


def same_text(a, b):
    return "".join(a.split()) == "".join(b.split())


class Terminal:
    def __init__(self, station, selection_tool, log):
        self.st = station
        self.seat = station.seat
        self.selection_tool = selection_tool
        self.log = log
        self.main = None
        self.pointin = None
        self._last_click = (None, 0.0)

    def say(self, text):
        self.log(f"[{self.seat}] {text}")

    def fail(self, text):
        raise Failure(f"station {self.seat}: {text}")

    # --- main window ---------------------------------------------------------------------------

    def wait_main(self, timeout=40):
        self.main = self.st.wait_window("Fmain", timeout, "the main window")
        return self.main

    def seat_button(self):
        return (PANEL1[0] + SEAT_LEFT[self.seat] + 47, PANEL1[1] + 8 + 8)

    def press_claim(self, keyboard=False):
        """Picks the seat and presses 確認 (for seat A optionally by Tab and Enter)."""
        self.st.click(self.main, *self.seat_button())
        if keyboard and self.seat == "A":
            # Of the seat buttons only the selected one is a tab stop; 確認 follows RbA.
            self.keys("Tab", "Return", window=self.main)
        else:
            self.st.click(self.main, *CLAIM)

    def claim(self, keyboard=False, timeout=15):
        self.press_claim(keyboard)
        self.wait_pointin(timeout, "the point input window after 確認")

    def wait_pointin(self, timeout, what="the point input window"):
        def shown():
            self.no_boxes()
            ws = self.st.windows("Fpointin")
            return ws[0] if ws else None
        self.pointin = self.st.wait_for(shown, timeout, what)
        return self.pointin

    def pointin_shown(self):
        return bool(self.st.windows("Fpointin"))

    def notice_shown(self):
        return near(self.st.pixel(self.main, *NOTICE_PROBE), YELLOW)

    def profiles_image(self):
        return self.st.grab(self.main, PROFILES)

    def close_main(self, timeout=30):
        self.st.click(self.main, *CLOSE)
        return self.st.wait_exit(timeout)

    # --- input ---------------------------------------------------------------------------------

    def keys(self, *keys, window=None):
        target = window or self.pointin
        focused = self.st.xdo("getwindowfocus", check=False).strip()
        if focused != str(target):
            self.st.focus(target)
        self.st.key(*keys)

    def click(self, xy):
        # Two clicks on one spot within the double-click time are a double click, which
        # presses a button without clicking it; a judge's second click comes later.
        last_xy, last_at = self._last_click
        wait = DOUBLE_CLICK_GAP - (time.monotonic() - last_at)
        if last_xy == xy and wait > 0:
            time.sleep(wait)
        self.st.click(self.pointin, *xy)
        self._last_click = (xy, time.monotonic())

    def probe(self, xy):
        return self.st.pixel(self.pointin, *xy)

    # --- message boxes -------------------------------------------------------------------------

    def no_boxes(self):
        boxes = self.st.message_boxes()
        if boxes:
            texts = self.st.read_and_dismiss_boxes(self.selection_tool)
            self.fail("unexpected message: " + " | ".join(texts))

    def wait_box(self, timeout, what):
        return self.st.wait_for(lambda: self.st.message_boxes(), timeout, what)

    def take_boxes(self):
        """Reads and closes every message box on the screen; their texts."""
        texts = self.st.read_and_dismiss_boxes(self.selection_tool)
        if self.pointin and self.pointin_shown():
            self.st.focus(self.pointin)
        for text in texts:
            self.say(f"message: {text}")
        return texts

    # --- what the point input window shows -----------------------------------------------------

    def not_ready_shown(self):
        return near(self.probe(NOT_READY_PROBE), PINK)

    def question_shown(self):
        return near(self.probe(QUESTION_PROBE), NAVY)

    def banner(self):
        colour = self.probe(BANNER_PROBE)
        if near(colour, AQUA):
            return "registered"
        if near(colour, YELLOW):
            return "already registered"
        return None

    def bib_image(self):
        return self.st.grab(self.pointin, BIB)

    def chosen_in_row(self, row):
        """Columns of a row drawn at the chosen size."""
        found = []
        for column in range(ROWS[row][2]):
            colour = self.probe(chosen_probe(row, column))
            if colour is not None and not near(colour, BLACK, 40):
                found.append(column)
        return found

    def wait_competitor(self, last_bib, timeout, finished=None, on_box=None):
        """Waits until the window follows the run and shows a bib other than `last_bib` (pixels
        of the bib field); returns that picture, or None when `finished()` says the run is over."""
        deadline = time.monotonic() + timeout
        next_look = 0.0
        previous = None
        while True:
            self.st.check_running()
            if self.st.message_boxes():
                if on_box is None:
                    self.no_boxes()
                else:
                    on_box(self, self.take_boxes())
            image = self.bib_image()
            if image is None:
                self.fail("the point input window cannot be read (closed?)")
            if not image.is_plain() and image.rgb != last_bib and not self.not_ready_shown():
                if image.rgb == previous:
                    return image  # the same twice: not caught halfway through a repaint
                previous = image.rgb
            else:
                previous = None
            now = time.monotonic()
            if finished and now >= next_look:
                if finished():
                    return None
                next_look = now + 1.0
            if now > deadline:
                self.fail(f"no new competitor on the screen within {timeout} s")
            if self.st.stop_event.wait(0.2):
                self.st.check_running()

    def wait_question(self, shown=True, timeout=8):
        what = "the question 指定したデータを登録してよろしいですか？" + ("" if shown else " to go")
        self.st.wait_for(lambda: self.no_boxes() or self.question_shown() == shown, timeout, what)

    def wait_registered(self, moved_on, timeout=10):
        """`moved_on()` tells whether the operator has put up the next competitor, which it does
        only once every seat has registered."""
        asked = [time.monotonic()]

        def done():
            self.no_boxes()
            if self.question_shown():
                return False
            # The operator may end the run at once after the last marks; the not-ready notice
            # then covers the banner. The tables tell whether the marks are in.
            if self.banner() == "registered" or self.not_ready_shown():
                return True
            # The last seat's banner lasts until its next poll, which may come a moment after
            # the operator moved on: too short to be seen. Asked now and then: it is slow.
            if time.monotonic() - asked[0] < 1:
                return False
            asked[0] = time.monotonic()
            return moved_on()
        try:
            self.st.wait_for(done, timeout, "the banner Registered / 登録しました。")
        except Failure as e:
            shown = "the question" if self.question_shown() else f"banner {self.banner()!r}"
            raise Failure(f"{e} (the window shows {shown})") from None

    # --- entering marks ------------------------------------------------------------------------

    def press_start(self, rng):
        if rng.random() < 0.25:
            # Loading a competitor puts the focus on Start.
            key = rng.choice(["Return", "space"])
            self.keys(key)
            return f"Start by {key}"
        self.click(START)
        return "Start by mouse"

    def enter_marks(self, rng, columns):
        """Start, then the three values, each row reached and chosen in a way picked at random.
        Leaves the focus where the last step put it; returns how it was done, for the log."""
        steps = [self.press_start(rng)]
        row, column, chosen = 0, 0, False  # Start leaves the focus on flight 0, not chosen
        enter_chooses_flight_zero = False
        for r in range(3):
            target = columns[r]
            count = ROWS[r][2]
            if r > 0:
                # Reach row r from row r - 1.
                ways = ["enter", "enter", "mouse"]
                if column == ROWS[r - 1][2] - 1:
                    ways.append("tab")
                way = rng.choice(ways)
                if enter_chooses_flight_zero and r == 1:
                    way = "enter"
                if way == "mouse":
                    self.click(value_button(r, target))
                    steps.append(f"{ROW_NAMES[r]} {value_text(target)} by mouse")
                    row, column, chosen = r, target, True
                    continue
                self.keys("Return" if way == "enter" else "Tab")
                steps.append("Enter" if way == "enter" else "Tab")
                if enter_chooses_flight_zero and r == 1:
                    steps.append("(flight 0 by Enter)")
                row, column, chosen = r, 0, True
            if rng.random() < 0.2:
                wrong = rng.choice([c for c in range(count) if c != target])
                self.click(value_button(r, wrong))
                steps.append(f"{ROW_NAMES[r]} {value_text(wrong)} by mouse first")
                column, chosen = wrong, True
            if column == target and chosen:
                continue
            ways = ["mouse", "arrows", "arrows"]
            if target > column:
                ways.append("tab")
            if r == 0 and target == 0 and not chosen:
                ways += ["space", "enter"]
            way = rng.choice(ways)
            if way == "mouse":
                self.click(value_button(r, target))
            elif way == "tab":
                self.keys(*["Tab"] * (target - column))
            elif way == "space":
                self.keys("space")
            elif way == "enter":
                enter_chooses_flight_zero = True
            else:
                right = (target - column) % count
                left = (column - target) % count
                if right == 0:
                    self.keys(*rng.choice([["Right", "Left"], ["Left", "Right"]]))
                elif right <= left:
                    self.keys(*["Right"] * right)
                else:
                    self.keys(*["Left"] * left)
            if way != "enter":
                steps.append(f"{ROW_NAMES[r]} {value_text(target)} by {way}")
            column, chosen = target, True
        self.expect_chosen(columns, steps)
        return steps, column

    def expect_chosen(self, columns, steps):
        def right():
            return all(self.chosen_in_row(r) == [columns[r]] for r in range(3))
        try:
            self.st.wait_for(lambda: self.no_boxes() or right(), 5, "the chosen values")
        except Failure:
            shown = [[value_text(c) for c in self.chosen_in_row(r)] for r in range(3)]
            self.fail(f"wanted {[value_text(c) for c in columns]}, the rows show {shown} "
                      f"after: {', '.join(steps)}")

    def ask(self, rng, last_column, steps):
        """From the outrun row to 確定 and its question."""
        ways = ["enter", "enter", "mouse"]
        if last_column == ROWS[2][2] - 1:
            ways.append("tab")
        way = rng.choice(ways)
        if way == "mouse":
            self.click(CONFIRM)
            steps.append("確定 by mouse")
        else:
            self.keys("Return" if way == "enter" else "Tab")
            press = rng.choice(["Return", "space", "mouse"])
            if press == "mouse":
                self.click(CONFIRM)
            else:
                self.keys(press)
            steps.append(f"{'Enter' if way == 'enter' else 'Tab'} to 確定, {press}")
        try:
            self.wait_question(True)
        except Failure as e:
            raise Failure(f"{e} after: {', '.join(steps)}") from None

    def answer_yes(self, rng, steps):
        way = rng.choice(["Return", "Return", "space", "mouse", "round trip"])
        if way == "mouse":
            self.click(YES)
        elif way == "round trip":
            self.keys("Right", "Left", "Return")
        else:
            self.keys(way)
        steps.append(f"はい by {way}")

    def answer_no(self, rng, steps):
        if rng.random() < 0.5:
            self.click(NO)
            steps.append("いいえ by mouse")
        else:
            self.keys("Right", "Return")
            steps.append("いいえ by Right, Enter")
        self.wait_question(False)

    def end(self, timeout=15):
        self.click(END)
        self.st.wait_for(lambda: not self.pointin_shown(), timeout,
                         "the point input window to close after End")
