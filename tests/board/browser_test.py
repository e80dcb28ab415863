#!/usr/bin/env python3
"""The plant board in headless Chromium (Selenium), serving a store that
`trevolo-cli store push` fills as a plant does: live alarms on the overview
on PostgreSQL and SQLite, chart marks equal to `trevolo-cli judge`'s, hostile
store texts shown as inert text (also after a live update), and a page that
recovers by itself from a database or board restart.

    browser_test.py --cli TREVOLO_CLI --pg-state STATE --pg-script SCRIPT

STATE holds the address of the suite's shared test server; the restart case
starts a server of its own with SCRIPT, so the shared one is never stopped.
"""
import argparse
import json
import os
import socket
import sqlite3
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.error
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

ARGS = None

UNREACHABLE = "工場データベースに接続できません（再試行中）"

# Typed control limits: the three-sigma limits of LOT_MEANS, fixed so that the
# store and judge judge every lot against the same lines.
LIMITS = {"editUcl3": "10.0339", "editUcl2": "10.0226", "editUcl1": "10.0114", "editLcl3": "9.9663",
          "editLcl2": "9.9776", "editLcl1": "9.9889", "editXcl": "10.0001", "editRcl": "0.0207",
          "editRsUcl3": "0.0545", "editRsUcl2": "0.0433", "editRsUcl1": "0.0320"}
# Lot means in hundredths from 10 and spreads of twenty lots that break no run
# rule against LIMITS on X or R; a mean of 5 is beyond the upper limit (X①).
LOT_MEANS = [0.2, -0.5, 1.3, 0.4, -1.2, 0.1, 0.6, -0.3, 1.1, -0.8,
             0.0, 0.5, -1.4, 0.3, -0.2, 1.2, -0.6, 0.2, -1.1, 0.4]
LOT_SPREADS = [1.0, 0.4, 1.3, 0.9, 1.8, 0.6, 1.4, 1.0, 0.3, 1.2,
               1.0, 1.7, 0.4, 0.9, 1.1, 0.35, 1.4, 1.0, 1.75, 1.2]
OFFSETS = [-0.010, 0.006, 0.0, 0.010, -0.006]
OUT_OF_LIMITS = 5.0

SHAFT = ["軸", "研削", "1号機", "外径"]
BORE = ["軸", "研削", "1号機", "内径"]
# Each text aims at one place a name can land in a page: HTML text, an
# attribute, the SVG of a chart, a client-side template, the reading order.
HOSTILE = [
    '<script>alert("product")</script>', '"><img src=x onerror=alert("process")>',
    "</svg><script>alert('machine')</script>{{7*7}}",
    "\u202eevil\u202c '-alert(1)-' {{constructor.constructor('alert(2)')()}}",
]
HOSTILE_NOTE = '</textarea></title><svg onload=alert("note")><!--'
HOSTILE_CAUSE = "<iframe src=javascript:alert('cause')></iframe>"
HOSTILE_ACTION = "${alert('action')} `<b onmouseover=alert(1)>`"
HOSTILE_COMMENT = '</script><script>alert("comment")</script>\u200f'

# Records what the page tries to show in a box instead of showing it; set
# before any script of the page runs, on every page load.
HOOK = """
window.__dialogs = [];
for (const name of ['alert', 'confirm', 'prompt', 'print'])
  window[name] = (m) => { window.__dialogs.push(name + ':' + String(m)); };
"""

BIDI_CONTROLS = {0x061C, 0x200E, 0x200F, *range(0x202A, 0x202F), *range(0x2066, 0x206A)}


def as_shown(text):
    """A store text as the page shows it: reordering controls by their code
    point, so a name cannot turn the words after it around."""
    return "".join(f"[U+{ord(c):04X}]" if ord(c) in BIDI_CONTROLS else c for c in text)


def csv_field(text):
    return '"' + text.replace('"', '""') + '"' if any(c in text for c in ',"\r\n') else text


def exchange_csv(names, means, labels="L"):
    """A CSV file of the exchange layout (UTF-8): names are product, process,
    machine and item; one lot of five values per mean."""
    rows = ["品種名称,工程名称,装置名称,項目名称,測定単位,規格種別,小数点桁,規格上限,規格下限",
            ",".join(csv_field(n) for n in names) + ",mm,公差規格,3,10.100,9.900", "", "ﾛｯﾄ№,N1,N2,N3,N4,N5"]
    spreads = LOT_SPREADS * (len(means) // len(LOT_SPREADS) + 1)
    for i, (m, s) in enumerate(zip(means, spreads), 1):
        values = [10 + 0.01 * m + o * s for o in OFFSETS]
        rows.append(f"{labels}{i:02d}," + ",".join(f"{v:.3f}" for v in values))
    return "\r\n".join(rows) + "\r\n"


def run(args, check=True, **kw):
    r = subprocess.run(args, capture_output=True, text=True, timeout=120, **kw)
    if check and r.returncode != 0:
        raise AssertionError(f"{args[:3]} ended with {r.returncode}:\n{r.stdout}{r.stderr}")
    return r


def cli(*args, check=True):
    return run([ARGS.cli, *args], check=check)


def psql(url, sql, **variables):
    """Runs sql on url; texts go in as psql variables (:'name'), never into
    the statement itself."""
    args = ["psql", url, "-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1"]
    args += [a for k, v in variables.items() for a in ("-v", f"{k}={v}")]
    return run(args + ["-f", "-"], input=sql).stdout.strip()


def server_url(state):
    with open(os.path.join(state, "url")) as f:
        return f.read().strip()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Plant:
    """A store on one engine, set up as a plant's is, with a board in front of
    it that reads through an auditor's login."""

    def __init__(self, work, admin_url=None, name="p"):
        self.files = os.path.join(work, name)
        os.makedirs(self.files, exist_ok=True)
        self.board = None
        if admin_url:
            base, _ = admin_url.rsplit("/", 1)
            database = f"board_{name}_{os.getpid()}"
            psql(admin_url, f"CREATE DATABASE {database};")
            self.url = f"{base}/{database}"
            cli("store", "init", "--roles", "--db", self.url)
            cli("store", "init", "--db", self.url)
            reader = f"board_reader_{os.getpid()}"
            psql(self.url, f"DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = '{reader}') "
                           f"THEN CREATE ROLE {reader} LOGIN; END IF; END $$; "
                           f"GRANT trevolo_auditor TO {reader};")
            host = base.split("@", 1)[1]
            self.board_url = f"postgresql://{reader}@{host}/{database}"
        else:
            self.path = os.path.join(self.files, "plant.sqlite")
            self.url = "sqlite:" + self.path
            cli("store", "init", "--db", self.url)
            self.board_url = self.url
        self.limits = self.write("limits.json", json.dumps(LIMITS))

    def write(self, name, text):
        path = os.path.join(self.files, name)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        return path

    def push(self, names, means, file):
        """Publishes the lots of means for names with the typed limits; the
        lots already stored are skipped, so a longer list adds its tail."""
        path = self.write(file, exchange_csv(names, means))
        cli("store", "push", path, "--db", self.url, "--station", "st1", "--limits", self.limits)
        return path

    def characteristic_id(self, names):
        sql = "SELECT id FROM characteristic WHERE product = ? AND process = ? AND machine = ? AND item = ?"
        if self.url.startswith("sqlite:"):
            with sqlite3.connect(self.path) as db:
                return db.execute(sql, names).fetchone()[0]
        return int(psql(self.url, sql.replace("?", ":'n{}'").format(*range(4)) + ";",
                        **{f"n{i}": n for i, n in enumerate(names)}))

    def start_board(self, port=None):
        self.port = port or free_port()
        self.log = open(os.path.join(self.files, "board.log"), "w")
        self.board = subprocess.Popen([ARGS.cli, "board", "--db", self.board_url,
                                       "--listen", f"127.0.0.1:{self.port}"],
                                      stdout=self.log, stderr=subprocess.STDOUT)

        def answers():
            if self.board.poll() is not None:
                raise AssertionError(f"the board ended with {self.board.returncode}: {self.board_log()}")
            try:
                urllib.request.urlopen(self.page("/"), timeout=2).close()
            except urllib.error.HTTPError:
                pass  # an answer all the same
            except OSError:
                return False
            return True
        wait_for(lambda: "the board's first answer; its log: " + self.board_log(), answers, 20)

    def board_log(self):
        with open(self.log.name, encoding="utf-8", errors="replace") as f:
            return f.read()[-2000:]

    def page(self, path):
        return f"http://127.0.0.1:{self.port}{path}"

    def stop_board(self):
        if self.board and self.board.poll() is None:
            self.board.terminate()
            try:
                self.board.wait(10)
            except subprocess.TimeoutExpired:
                self.board.kill()
                self.board.wait()
        if self.board:
            self.log.close()


def wait_for(what, probe, seconds):
    """Polls probe until it returns something true; returns it and the time
    it took, or fails naming what did not happen."""
    start = time.monotonic()
    while True:
        last = probe()
        if last:
            return last, time.monotonic() - start
        if time.monotonic() - start > seconds:
            what = what() if callable(what) else what
            raise AssertionError(f"{what}: not within {seconds} s (last seen: {last!r})")
        time.sleep(0.05)


class BoardInBrowser(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="board-browser-")
        cls.work = cls.tmp.name
        cls.admin_url = server_url(ARGS.pg_state)
        options = webdriver.ChromeOptions()
        options.binary_location = ARGS.chromium
        for a in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                  "--window-size=1920,1080", "--lang=ja", "--no-first-run",
                  f"--user-data-dir={os.path.join(cls.work, 'chromium')}"):
            options.add_argument(a)
        cls.driver = webdriver.Chrome(service=Service(ARGS.chromedriver), options=options)
        cls.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": HOOK})
        cls.plants = []

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        for p in cls.plants:
            p.stop_board()
        cls.tmp.cleanup()

    def plant(self, engine, name):
        p = Plant(self.work, self.admin_url if engine == "postgresql" else None, name)
        self.plants.append(p)
        return p

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def open(self, url):
        self.driver.get(url)
        # Set after the load: a reload of the page would lose it.
        self.js("window.__sameLoad = true")

    def same_load(self):
        return self.js("return window.__sameLoad === true")

    def tile_text(self, cid):
        """The text of characteristic cid's tile on the overview: the nearest
        element around its link that tells one state, or ''."""
        return self.js("""
            const a = document.querySelector('main a[href$="/c/' + arguments[0] + '"]');
            for (let e = a; e; e = e.parentElement) {
              const t = e.innerText || '';
              const states = (t.match(/管理状態|未対応アラーム|対応済み|データなし/g) || []).length;
              if (states === 1) return t;
              if (states > 1) return '';
            }
            return '';""", cid)

    def chart_points(self, chart):
        """[(lot label, marked by a rule)] of the X chart's points or of the
        spread chart's (drawn second), in the order drawn."""
        return [tuple(p) for p in self.js("""
            const svg = document.querySelectorAll('main svg.chart')[arguments[0] === 'x' ? 0 : 1];
            if (!svg) return [];
            return [...svg.querySelectorAll('[data-lot]')].map(
              e => [e.getAttribute('data-lot'), e.classList.contains('marked')]);""", chart)]

    def assert_nothing_ran(self, where):
        """Nothing the store said became markup: no dialog was asked for, no
        script but the board's own, no handler attribute, no frame."""
        self.assertEqual(self.js("return window.__dialogs"), [], where)
        found = self.js("""
            const bad = [];
            for (const s of document.scripts)
              if (!s.src.endsWith('/static/board.js') && s.type !== 'application/json') bad.push(s.outerHTML);
            for (const e of document.querySelectorAll('*'))
              for (const a of e.attributes)
                if (/^on/i.test(a.name) || /javascript:/i.test(a.value)) bad.push(e.outerHTML.slice(0, 120));
            for (const e of document.querySelectorAll('iframe, img[src="x"], object, embed, textarea'))
              bad.push(e.outerHTML.slice(0, 120));
            return bad;""")
        self.assertEqual(found, [], where)
        # The console since last asked, beyond the missing icon: refused by
        # the page's own policy, script errors.
        self.assertEqual([e["message"] for e in self.driver.get_log("browser")
                          if e["level"] == "SEVERE" and "favicon.ico" not in e["message"]], [], where)

    def text(self):
        return self.js("return document.body.innerText")

    def test_overview_follows_alarms_live(self):
        # Each engine tells the board of a new lot its own way.
        for engine in ("postgresql", "sqlite"):
            with self.subTest(engine=engine):
                p = self.plant(engine, "live_" + engine)
                p.push(SHAFT, LOT_MEANS, "shaft.csv")
                p.push(BORE, LOT_MEANS, "bore.csv")
                shaft, bore = p.characteristic_id(SHAFT), p.characteristic_id(BORE)
                p.start_board()
                self.open(p.page("/"))
                for cid in (shaft, bore):
                    text, _ = wait_for(f"tile of {cid}", lambda c=cid: self.tile_text(c), 5)
                    self.assertIn("管理状態", text)
                    self.assertIn("外径" if cid == shaft else "内径", text)

                p.push(SHAFT, LOT_MEANS + [OUT_OF_LIMITS], "shaft2.csv")
                text, took = wait_for("the alarm on the overview",
                                      lambda: "未対応アラーム" in self.tile_text(shaft) and self.tile_text(shaft), 2)
                self.assertIn("1 件", text)
                self.assertIn("管理状態", self.tile_text(bore))
                self.assertTrue(self.same_load(), "the page was reloaded instead of updated")
                print(f"{engine}: the tile showed the alarm {took:.2f} s after the push", file=sys.stderr)
                p.stop_board()

    def test_charts_mark_what_judge_marks(self):
        p = self.plant("postgresql", "charts")
        # A second lot beyond the limits after a lot back inside them.
        means = LOT_MEANS + [OUT_OF_LIMITS, 0.1, -OUT_OF_LIMITS, 0.3]
        path = p.push(SHAFT, means, "shaft.csv")
        cid = p.characteristic_id(SHAFT)
        judged = json.loads(cli("judge", "--json", "--limits", p.limits, path, check=False).stdout)["files"][0]
        rows = judged["sheets"][0]["spc"]["rows"]
        # Columns 1-8 hold the rules on X, 9-16 on R: "×" where one marks the lot.
        expected = {"x": [(r[0], "×" in r[1:9]) for r in rows], "r": [(r[0], "×" in r[9:17]) for r in rows]}
        self.assertEqual([lot for lot, marked in expected["x"] if marked], ["L21", "L23"])
        p.start_board()
        for lots, shown in ((None, means), (2, means[-2:]), (1000, means)):
            with self.subTest(lots=lots):
                self.open(p.page(f"/c/{cid}" + (f"?lots={lots}" if lots else "")))
                for chart in ("x", "r"):
                    points = self.chart_points(chart)
                    self.assertEqual(len(points), len(shown), chart)
                    self.assertEqual(points, expected[chart][len(means) - len(shown):], chart)

    def test_hostile_texts_stay_text(self):
        p = self.plant("postgresql", "hostile")
        p.push(HOSTILE, LOT_MEANS + [OUT_OF_LIMITS, 0.2, -OUT_OF_LIMITS], "hostile.csv")
        cid = p.characteristic_id(HOSTILE)
        lot = psql(p.url, f"SELECT id FROM lot WHERE characteristic_id = {cid} AND label = 'L20';")
        psql(p.url, "INSERT INTO lot_note (lot_id, characteristic_id, note, received_at, received_by) "
                    f"VALUES (:'lot', {cid}, :'note', 0, '');", lot=lot, note=HOSTILE_NOTE)
        first = psql(p.url, f"SELECT min(seq) FROM alarm WHERE characteristic_id = {cid};")
        psql(p.url, "INSERT INTO alarm_answer (alarm_seq, cause, action, comment, received_at, received_by) "
                    f"VALUES ({first}, :'cause', :'action', :'comment', 0, '');",
             cause=HOSTILE_CAUSE, action=HOSTILE_ACTION, comment=HOSTILE_COMMENT)
        p.start_board()

        for path, texts in {"/": HOSTILE, f"/c/{cid}": HOSTILE + [HOSTILE_NOTE, HOSTILE_CAUSE, HOSTILE_COMMENT],
                            "/alarms": HOSTILE}.items():
            with self.subTest(page=path):
                self.open(p.page(path))
                self.assert_nothing_ran(path)
                shown = self.text()
                for t in texts:  # as typed, braces not filled in
                    self.assertIn(as_shown(t), shown, path)
                self.assertFalse(BIDI_CONTROLS & {ord(c) for c in shown}, path)

        # A live update swaps the page's content in; the texts stay inert there too.
        self.open(p.page(f"/c/{cid}"))
        self.js("document.querySelector('main').insertAdjacentHTML('beforeend', '<i id=probe></i>')")
        p.push(HOSTILE, LOT_MEANS + [OUT_OF_LIMITS, 0.2, -OUT_OF_LIMITS, 0.1], "hostile2.csv")
        wait_for("the live update of the hostile page",
                 lambda: not self.js("return document.getElementById('probe')"), 2)
        self.assertTrue(self.same_load())
        self.assert_nothing_ran("after the live update")
        self.assertIn(as_shown(HOSTILE_NOTE), self.text())

    def test_page_recovers_after_the_database_restarts(self):
        state = os.path.join(self.work, "pg-restart")
        run([ARGS.pg_script, "start", state])
        p = None
        try:
            p = Plant(self.work, server_url(state), "restart")
            p.push(SHAFT, LOT_MEANS, "shaft.csv")
            cid = p.characteristic_id(SHAFT)
            p.start_board()
            self.open(p.page("/"))
            wait_for("the tile", lambda: self.tile_text(cid), 5)

            run([ARGS.pg_script, "pause", state])
            _, down = wait_for("the banner while the database is away", lambda: UNREACHABLE in self.text(), 15)
            run([ARGS.pg_script, "resume", state])
            _, up = wait_for("the tiles back with the database",
                             lambda: UNREACHABLE not in self.text() and self.tile_text(cid), 15)
            self.assertTrue(self.same_load(), "the page recovered only by a reload")
            print(f"the banner showed {down:.2f} s after the stop, went {up:.2f} s after the start",
                  file=sys.stderr)

            # Live again: a new alarm shows without a reload.
            p.push(SHAFT, LOT_MEANS + [OUT_OF_LIMITS], "shaft2.csv")
            wait_for("the alarm after the restart", lambda: "未対応アラーム 1 件" in self.tile_text(cid), 2)

            # The board itself restarted: the page's event stream connects
            # again and the page catches up on the alarms stored meanwhile.
            p.stop_board()
            p.push(SHAFT, LOT_MEANS + [OUT_OF_LIMITS, 0.1, -OUT_OF_LIMITS], "shaft3.csv")
            p.start_board(p.port)
            wait_for("the alarms stored while the board was away",
                     lambda: "未対応アラーム" in self.tile_text(cid) and "未対応アラーム 1 件" not in self.tile_text(cid), 5)
            self.assertTrue(self.same_load(), "the page caught up only by a reload")
        finally:
            if p:
                p.stop_board()
            run([ARGS.pg_script, "stop", state], check=False)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for name in ("--cli", "--pg-state", "--pg-script"):
        parser.add_argument(name, required=True)
    parser.add_argument("--chromium", default="/usr/bin/chromium")
    parser.add_argument("--chromedriver", default="/usr/bin/chromedriver")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], "-v", *rest])


if __name__ == "__main__":
    main()
