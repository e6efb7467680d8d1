"""End-to-end acceptance of the server connection: the search on the network, the direct
query of a configured or fixed host, the retry of each, a late server, the window that ends
up maximised, the disconnect notice on close, and hostile answers on both ways in.

The stand-in runs on the far side of the namespace's veth pair (10.77.0.1), so the search
really leaves as a broadcast. Run from tests/e2e inside scripts/netns.sh:
    python3 -m unittest -v test_server_connection
"""

import time

from harness import PEER_HOST, SERVER_PORT, E2ETestCase, header_values, wait_for

DISCONNECT_PATH = "/lumo7/dbi/lumo7server/product/disconnect"


class FarSideCase(E2ETestCase):
    server_far_side = True

    def stored_server(self):
        cp = self.env.config()
        if not cp.has_section("LumoServer"):
            return None
        s = cp["LumoServer"]
        return (s.get("host"), s.get("port"), s.get("url"))

    def search_requests(self, server=None):
        return [r for r in (server or self.server).records()
                if r["kind"] == "udp_in" and r.get("msg_type") == 10]

    def wait_page(self, since=0, timeout=90):
        """Waits until a page of the stand-in has loaded and seen the program's flag."""
        return self.server.wait_report("flag", "true", since=since, timeout=timeout)

    def close_window(self, prog):
        """Closes the program's window the way a person does, with one Alt+F4 through the
        window manager, and waits for the program to end (the disconnect notice's own
        time-outs bound that)."""
        self.display.xdotool("windowactivate", "--sync", prog.window())
        self.display.key("alt+F4")
        return prog.wait_exit(60)

    def config_bytes(self):
        with open(self.env.config_path, "rb") as f:
            return f.read()


class SearchTests(FarSideCase):

    def test_no_configuration_search_finds_the_server_opens_its_page_and_stores_it(self):
        prog = self.env.start()
        self.wait_page()
        searches = self.search_requests()
        self.assertTrue(searches, "no search request reached the server")
        self.assertTrue(all(r["peer"].startswith("10.77.0.2:") for r in searches), searches)
        self.assertTrue(self.server.requests(path="/lumo7/", listener="main"))
        wait_for(lambda: self.stored_server() == (PEER_HOST, str(SERVER_PORT), "lumo7/"), 10,
                 f"the found server in the configuration (now {self.stored_server()})")

        wid = prog.wait_window()
        wait_for(lambda: {"_NET_WM_STATE_MAXIMIZED_HORZ", "_NET_WM_STATE_MAXIMIZED_VERT"}
                 <= self.display.window_state(wid), 15, "the main window to be maximised")
        self.env.wait_log(r"已连接服务器: \[10\.77\.0\.1\]", timeout=15)

    def test_configured_broadcast_address_is_searched_for_instead(self):
        self.env.write_config("[LumoServer]\nHost=10.77.0.255\nPort=8080\nUrl=lumo7/\n")
        self.env.start()
        self.wait_page()
        self.assertTrue(self.search_requests())
        self.assertEqual(self.server.requests(listener="directional"), [])
        wait_for(lambda: self.stored_server() == (PEER_HOST, str(SERVER_PORT), "lumo7/"), 10,
                 f"the found server in the configuration (now {self.stored_server()})")

    def test_malformed_search_answers_are_dropped_and_a_later_good_one_counts(self):
        # Cut short, oversized and of another type: none may count, none may hurt.
        self.server.configure(udp={"sequence": ["short", "oversized", "wrong_type"]})
        prog = self.env.start()
        self.env.wait_log("查找服务器失败: ", timeout=60)
        self.assertTrue(prog.running(), prog.output()[-2000:])
        self.assertFalse(self.server.requests(listener="main"), "a page was asked for")
        self.assertFalse(self.env.config().has_section("LumoServer"))

        since = self.server.last_seq()
        self.server.configure(udp={"sequence": ["short", "oversized", "wrong_type", "valid"]})
        self.wait_page(since=since)
        self.assertTrue(prog.running())


class DirectQueryTests(FarSideCase):

    def test_configured_host_answer_replaces_the_configured_values(self):
        self.env.write_config(f"[LumoServer]\nHost={PEER_HOST}\nPort=9999\nUrl=elsewhere/\n")
        self.env.start()
        self.wait_page()
        self.assertTrue(self.server.requests(path="/Directional", listener="directional"))
        self.assertEqual(self.search_requests(), [], "a search was made for a host that answered")
        self.assertTrue(self.server.requests(path="/lumo7/", listener="main"))
        wait_for(lambda: self.stored_server() == (PEER_HOST, str(SERVER_PORT), "lumo7/"), 10,
                 f"the answer in the configuration (now {self.stored_server()})")

    def test_fixed_host_without_answer_is_asked_every_second_and_never_searched_for(self):
        self.server.configure(directional={"mode": "http_500"})
        prog = self.env.start("-ip", PEER_HOST)
        asked = self.server.wait_request("/Directional", count=5, listener="directional", timeout=60)
        self.assertTrue(prog.running())
        # Repeated once a second, not in a burst.
        self.assertGreaterEqual(asked[4]["time"] - asked[0]["time"], 3.0,
                                [r["time_text"] for r in asked])
        self.assertEqual(self.search_requests(), [], "a broadcast went out for a fixed host")

    def test_hostile_directional_answers_fail_cleanly_and_leave_the_configuration(self):
        original = f"[LumoServer]\nHost={PEER_HOST}\nPort=8080\nUrl=lumo7/\n"
        # No search answer either: nothing may replace the configured server.
        self.server.configure(udp={"mode": "never"})
        for mode in ("short_fields", "not_number", "wrong_type", "empty", "close", "http_500"):
            with self.subTest(mode=mode):
                self.env.write_config(original)
                before = self.config_bytes()
                self.server.configure(directional={"mode": mode})
                since = self.server.last_seq()
                prog = self.env.start()
                self.server.wait_request("/Directional", since=since, listener="directional")
                # The failed query sends the window searching; the search finds nobody.
                self.env.wait_log("查找服务器失败: ", count=len(self.env.programs), timeout=60)
                self.assertTrue(prog.running(), prog.output()[-2000:])
                self.assertEqual(self.server.requests(listener="main", since=since), [])
                self.assertEqual(self.config_bytes(), before)
                prog.stop()


class LateServerTests(FarSideCase):
    server_at_start = False

    def test_page_opens_soon_after_the_server_starts(self):
        prog = self.env.start()
        # At least one whole search went by without an answer.
        self.env.wait_log("查找服务器失败: ", timeout=60)
        self.assertTrue(prog.running())
        self.server = self.env.start_server()
        self.wait_page(timeout=20)
        self.assertTrue(self.search_requests())


class DisconnectTests(FarSideCase):

    def test_closing_sends_the_disconnect_notice_with_the_device_and_login_parameters(self):
        prog = self.env.start()
        self.wait_page()
        wait_for(lambda: self.stored_server() == (PEER_HOST, str(SERVER_PORT), "lumo7/"), 10,
                 "the found server in the configuration")
        since = self.server.last_seq()
        self.assertEqual(self.close_window(prog), 0)
        notice = self.server.wait_request(DISCONNECT_PATH, since=since, listener="main", timeout=30)
        self.assertEqual(len(notice), 1)
        self.assertEqual(header_values(notice[0], "OSID"), [self.env.device_id()])
        self.assertEqual(header_values(notice[0], "Params"), ["{}"])
        self.assertEqual(notice[0]["method"], "GET")
        self.assertEqual(len(self.server.requests(path=DISCONNECT_PATH)), 1)

    def test_closing_without_a_configured_server_sends_nothing(self):
        self.server.configure(udp={"mode": "never"})
        prog = self.env.start()
        self.env.wait_log("查找服务器失败: ", timeout=60)
        prog.wait_window()
        self.assertEqual(self.close_window(prog), 0)
        self.assertEqual(self.server.requests(path=DISCONNECT_PATH), [])


if __name__ == "__main__":
    import unittest
    unittest.main()
