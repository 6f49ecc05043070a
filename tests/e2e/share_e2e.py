#!/usr/bin/env python3
"""End-to-end share: the real tumbla, driven through the accessibility tree, against a
loopback server that plays the login page and the photo endpoint.

Run under a display with a D-Bus session (tests/support/run-under-xvfb.sh starts both):
    share_e2e.py --binary build/app/tumbla [unittest options]
"""

import http.server
import shutil
import tempfile
import threading
import time
import unittest
import urllib.parse
from email.parser import BytesParser
from email.policy import HTTP
from pathlib import Path

import pyatspi

import tumbla_e2e
from tumbla_e2e import Run, make_bundle

RESOURCES = Path(__file__).resolve().parents[2] / "resources"
TOKEN = "E2E+TOKEN|1"


class Service(http.server.ThreadingHTTPServer):
    """The login page and the Graph endpoint, on 127.0.0.1 with a port of its own."""

    def __init__(self, login_redirects_by):
        super().__init__(("127.0.0.1", 0), ServiceHandler)
        self.login_redirects_by = login_redirects_by
        self.logins = []
        self.uploads = []
        self.thread = threading.Thread(target=self.serve_forever, daemon=True)
        self.thread.start()

    def base(self):
        return f"http://127.0.0.1:{self.server_address[1]}/"

    def stop(self):
        self.shutdown()
        self.server_close()


class ServiceHandler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        if url.path != "/graph/oauth/authorize":
            self.send_error(404)
            return
        self.server.logins.append(urllib.parse.parse_qs(url.query))
        success = "fbconnect://success#access_token=%s&expires_in=0" % urllib.parse.quote(TOKEN, safe="")
        if self.server.login_redirects_by == "server":
            self.send_response(302)
            self.send_header("Location", success)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        page = ("<html><head><title>Log In</title></head><body>Logging in"
                "<script>setTimeout(function(){location.href='%s';}, 300);</script>"
                "</body></html>" % success).encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(page)))
        self.end_headers()
        self.wfile.write(page)

    def do_POST(self):
        url = urllib.parse.urlsplit(self.path)
        body = self.rfile.read(int(self.headers["Content-Length"]))
        message = BytesParser(policy=HTTP).parsebytes(
            b"Content-Type: " + self.headers["Content-Type"].encode() + b"\r\n\r\n" + body)
        parts = {}
        for part in message.iter_parts():
            disposition = part.get("Content-Disposition", "")
            params = dict(part.get_params(header="content-disposition") or [])
            parts[params.get("name") or params.get("filename")] = (
                part.get_content_type(), part.get_payload(decode=True), disposition)
        self.server.uploads.append({
            "path": url.path, "query": urllib.parse.parse_qs(url.query),
            "user_agent": self.headers["User-Agent"], "parts": parts})
        answer = b'{"id":"1234"}'
        self.send_response(200)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        self.wfile.write(answer)


def find(role_names, name, timeout=60.0, showing=True):
    """The first accessible of tumbla's with that name and one of the roles."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            if app is None or app.name != "tumbla":
                continue
            found = pyatspi.findDescendant(
                app, lambda a: a is not None and a.name == name and a.getRoleName() in role_names
                and (not showing or a.getState().contains(pyatspi.STATE_SHOWING)))
            if found is not None:
                return found
        time.sleep(0.2)
    raise AssertionError(f"no {name!r} ({role_names}) on screen")


def press(accessible):
    action = accessible.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("click", "press", "activate"):
            action.doAction(i)
            return
    action.doAction(0)


class ShareEndToEnd(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="tumbla-share-")
        self.root = Path(self.tmp.name)
        self.data = self.root / "data"
        self.data.mkdir()
        self.run_ = None
        self.service = None

    def tearDown(self):
        if self.run_ and self.run_.process.poll() is None:
            self.run_.process.kill()
            self.run_.process.wait()
        if self.service:
            self.service.stop()
        self.tmp.cleanup()

    def share(self, login_redirects_by):
        self.service = Service(login_redirects_by)
        bundle = make_bundle(self.root, info={
            "HTML": "index", "CFBundleName": "Fizzpaw", "TumblaFacebookAppID": "4242",
            "TumblaFacebookGraphURL": self.service.base() + "graph/",
            "TumblaFacebookLoginURL": self.service.base(),
            "TumblaUpgradeURL": "http://store.example/fizzpaw"})
        for image in ["share.png", "facebook.png", "3242.png", "shexiangtou.png"]:
            shutil.copy(RESOURCES / image, bundle / image)
        shutil.copytree(RESOURCES / "FBDialog.bundle", bundle / "FBDialog.bundle")
        self.run_ = Run(bundle, self.data)
        self.run_.wait_started()

        press(find(["push button", "button"], "Snapshot"))
        press(find(["push button", "button"], "Yes"))
        field = find(["text", "entry"], "Message")
        field.queryEditableText().setTextContents("Beat level 7 \u2713")
        press(find(["push button", "button"], "Share on Facebook"))
        find(["push button", "button"], "Sure", timeout=90)

        self.assertEqual(len(self.service.logins), 1)
        login = self.service.logins[0]
        self.assertEqual(login["client_id"], ["4242"])
        self.assertEqual(login["scope"], ["publish_stream,offline_access"])
        self.assertEqual(login["redirect_uri"], ["fbconnect://success"])
        self.assertEqual(len(self.service.uploads), 1)
        upload = self.service.uploads[0]
        self.assertEqual(upload["path"], "/graph/me/photos")
        self.assertEqual(upload["user_agent"], "FacebookConnect")
        self.assertEqual(upload["query"]["access_token"], [TOKEN])
        expected = "Beat level 7 \u2713 (via @Fizzpaw) http://store.example/fizzpaw"
        self.assertEqual(upload["query"]["message"], [expected])
        kind, text, _ = upload["parts"]["message"]
        self.assertEqual(text.decode(), expected)
        kind, png, disposition = upload["parts"]["picture"]
        self.assertEqual(kind, "image/png")
        self.assertIn('filename="picture"', disposition)
        self.assertEqual(png[:8], b"\x89PNG\r\n\x1a\n")
        width, height = int.from_bytes(png[16:20], "big"), int.from_bytes(png[20:24], "big")
        self.assertEqual((width, height), (480, 320))
        self.assertIn("received response", self.run_.stderr())
        self.assertNotIn(TOKEN, self.run_.stderr())
        self.assertEqual(self.run_.terminate(), 0)

    def test_share_with_a_login_page_that_redirects_from_its_script(self):
        self.share("script")

    def test_share_with_a_login_server_that_redirects(self):
        self.share("server")


if __name__ == "__main__":
    tumbla_e2e.run_suite()
