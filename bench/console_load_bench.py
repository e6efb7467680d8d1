#!/usr/bin/env python3
"""Console load benchmark: a page writing console messages as fast as a hostile page might.

Inside the private network namespace, with Xvfb + openbox and the stand-in server, the program
opens a page served by this script that writes RATE console messages a second for SECONDS
seconds: mostly noise (short, long, with commas and quotes), one in ten a page command
(status texts, login parameters, close lock on and off, unknown and malformed commands). While
the page writes, the script measures:
  - how many messages the page really wrote (it reports its count every second);
  - the window's responsiveness: every 250 ms a debug-request notice goes to the program's
    notice socket; the program logs each on its window thread, and the delay from sending to
    the logged time is the time the window's loop took to get to it;
  - the memory of the program's own process (PSS) and of its whole process tree, each second.
Prints the figures: achieved rate, notice delay (median, 95th percentile, max), memory at the
start, middle and end of the load and the growth in the last two thirds.

Usage: bench/console_load_bench.py [--build DIR] [--rate N] [--seconds S]
       (re-runs itself in scripts/netns.sh)
"""

import argparse
import http.server
import json
import os
import statistics
import sys
import threading
import time
import urllib.parse

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import benchenv  # noqa: E402
from loop_probe import logged_notice_times, send_debug_notice  # noqa: E402

LOAD_PAGE = """<!DOCTYPE html><html><head><meta charset="utf-8"><title>Console load</title></head>
<body><p>console load</p><script>
var RATE = %(rate)d, SECONDS = %(seconds)d, TICK_MS = 10;
var perTick = Math.max(1, Math.round(RATE * TICK_MS / 1000));
var long = new Array(2001).join('x');
var noise = ['hello, world', 'noise "quoted, text" ' + long, 'a=1,b=2,c="3,4"', '错误: 未找到 ,,,',
             'zentcmd', 'ZENTCMD=', 'x ZENTCMD=CloseBrowser', '"unterminated, quote'];
var commands = ['ZENTCMD=ZentShop,MsgText=桌台 ', 'ZENTCMD=LumoLogin,"Params={""user"":""u"",""n"":',
                'ZENTCMD=RefuseCloseBrowser', 'ZENTCMD=AllowCloseBrowser', 'ZENTCMD=NoSuchCommand',
                'ZENTCMD=PlayADParam,Left=ten,Top=0,Width=1,Heigh=1,URL=/a.mp4',
                'ZENTCMD=FullScreenOn ', 'ZENTCMD=OPENURL( )'];
var written = 0, t0 = Date.now(), lastReport = t0;
function report(done) {
  var x = new XMLHttpRequest();
  x.open('GET', '/progress?written=' + written + '&done=' + (done ? 1 : 0), true); x.send();
}
var timer = setInterval(function () {
  var now = Date.now();
  if (now - t0 >= SECONDS * 1000) { clearInterval(timer); console.log('ZENTCMD=AllowCloseBrowser'); report(true); return; }
  // Catch up with the clock: the rate is per second of wall time, not per tick that ran.
  var due = Math.floor((now - t0) * RATE / 1000) - written;
  for (var i = 0; i < due; i++) {
    var n = written + i;
    if (n %% 10 === 0) {
      var c = commands[(n / 10) %% commands.length];
      console.log(c.indexOf('Params') >= 0 ? c + n + '}"' : c.indexOf('MsgText') >= 0 ? c + n : c);
    } else {
      console.log(noise[n %% noise.length] + ' ' + n);
    }
  }
  written += Math.max(0, due);
  if (now - lastReport >= 1000) { lastReport = now; report(false); }
}, TICK_MS);
</script></body></html>
"""


class Pages(http.server.BaseHTTPRequestHandler):
    rate = 10000
    seconds = 30
    progress = []  # (time, written, done)
    lock = threading.Lock()

    def do_GET(self):
        url = urllib.parse.urlparse(self.path)
        if url.path == "/load":
            body = (LOAD_PAGE % {"rate": self.rate, "seconds": self.seconds}).encode("utf-8")
            ctype = "text/html; charset=utf-8"
        elif url.path == "/progress":
            q = dict(urllib.parse.parse_qsl(url.query))
            with self.lock:
                self.progress.append((time.time(), int(q.get("written", 0)), q.get("done") == "1"))
            body, ctype = b"", "text/plain"
        else:
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", ctype)
        self.send_header("Cache-Control", "no-store")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    ap.add_argument("--rate", type=int, default=10000)
    ap.add_argument("--seconds", type=int, default=30)
    ap.add_argument("--bare", action="store_true",
                    help="run the yardstick (a bare WebEngine window) instead: memory only")
    args = ap.parse_args()
    args.build = os.path.abspath(args.build)  # the runs change the working folder

    harness, ours, bare = benchenv.prepare(__file__, args.build, bare=args.bare)

    Pages.rate, Pages.seconds = args.rate, args.seconds
    pages = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Pages)
    threading.Thread(target=pages.serve_forever, daemon=True).start()
    env = harness.Environment()
    try:
        page = f"http://127.0.0.1:{pages.server_address[1]}/load"
        if args.bare:
            prog = env.start(page, "--stay", exe=bare)
        else:
            prog = env.start("-url", page)
        prog.wait_window()
        harness.wait_for(lambda: Pages.progress, 90, "the load page's first report")
        start = time.time()
        sent = {}
        samples = []  # (seconds since start, own PSS KiB, tree PSS KiB)
        number, next_sample = 1, start
        while not any(done for _, _, done in Pages.progress):
            now = time.time()
            if now - start > args.seconds + 30:
                raise harness.HarnessError("the load page did not finish")
            if not args.bare:
                send_debug_notice(env.runtime, number)
                sent[number] = time.time()
                number += 1
            if now >= next_sample:
                samples.append((now - start, harness.pss_kib(prog.pid),
                                sum(harness.pss_kib(p) for p in prog.tree())))
                next_sample += 1.0
            time.sleep(0.25)
        if not prog.running():
            raise harness.HarnessError(f"the program ended under load: {prog.output()[-1500:]}")
        if sent:
            # Let the window take the last notices.
            harness.wait_for(lambda: max(sent) in logged_notice_times(env.log_text()), 30,
                             "the last notice in the log")
        logged = logged_notice_times(env.log_text())
        delays = [(logged[n] - sent[n]) * 1000.0 for n in sent if n in logged] or [0.0]
        lost = [n for n in sent if n not in logged]

        first, last = Pages.progress[0], [p for p in Pages.progress if p[2]][0]
        rate = (last[1] - first[1]) / max(0.001, last[0] - first[0])
        print(f"page wrote {last[1]} messages, {rate:.0f} per second (asked for {args.rate})")
        print(f"window loop delay for a notice over {len(delays)} notices: median "
              f"{statistics.median(delays):.1f} ms, 95th {benchenv.percentile(delays, 95):.1f} ms, "
              f"max {max(delays):.1f} ms; not handled: {len(lost)}")
        third = len(samples) // 3
        for label, idx in (("start", 0), ("1/3", third), ("middle", len(samples) // 2),
                           ("end", len(samples) - 1)):
            t, own, tree = samples[idx]
            print(f"memory at {label:6} ({t:5.1f} s): program {own / 1024:7.1f} MiB PSS, "
                  f"tree {tree / 1024:7.1f} MiB PSS")
        own_growth = (samples[-1][1] - samples[third][1]) / 1024
        tree_growth = (samples[-1][2] - samples[third][2]) / 1024
        print(f"growth over the last two thirds: program {own_growth:+.1f} MiB, tree {tree_growth:+.1f} MiB")
        print(json.dumps({"rate": rate, "delay_median_ms": statistics.median(delays),
                          "delay_p95_ms": benchenv.percentile(delays, 95), "delay_max_ms": max(delays),
                          "own_growth_mib": own_growth, "tree_growth_mib": tree_growth}))
    finally:
        env.close()
        pages.shutdown()


if __name__ == "__main__":
    main()
