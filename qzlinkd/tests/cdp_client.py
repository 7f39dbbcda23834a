#!/usr/bin/env python3
"""Drives the operator page in headless Chromium through the DevTools
protocol (python3-websockets): waits until the page is online with the
camera list, holds the pad's right-hand button with the mouse, releases it,
and saves a screenshot.

usage: cdp_client.py DEVTOOLS_ACTIVE_PORT_FILE PAGE_URL SCREENSHOT HOLD_S
Prints "pressed" when the button is down and "released" after; one line per
finding; exit status 0 when all held."""
import asyncio
import base64
import json
import os
import sys
import time
import urllib.request

import websockets


def fail(text):
    print("FAILED: " + text, flush=True)
    sys.exit(1)


def devtools_port(path, timeout=15.0):
    # Chromium writes its port (chosen by itself with port 0) to this file.
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            with open(path) as f:
                first = f.readline().strip()
                if first:
                    return int(first)
        except (OSError, ValueError):
            pass
        time.sleep(0.05)
    fail("Chromium did not write %s" % path)


def page_target(port, timeout=10.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            with urllib.request.urlopen("http://127.0.0.1:%d/json/list" % port, timeout=2) as r:
                for target in json.load(r):
                    if target.get("type") == "page":
                        return target["webSocketDebuggerUrl"]
        except OSError:
            pass
        time.sleep(0.05)
    fail("no page target in Chromium")


class Session:
    def __init__(self, ws):
        self.ws = ws
        self.next_id = 1

    async def send(self, method, params=None, timeout=10.0):
        ident = self.next_id
        self.next_id += 1
        await self.ws.send(json.dumps({"id": ident, "method": method, "params": params or {}}))
        deadline = time.monotonic() + timeout
        while True:
            message = json.loads(await asyncio.wait_for(
                self.ws.recv(), max(0.01, deadline - time.monotonic())))
            if message.get("id") == ident:
                if "error" in message:
                    fail("%s: %r" % (method, message["error"]))
                return message.get("result", {})

    async def evaluate(self, expression):
        result = await self.send("Runtime.evaluate",
                                 {"expression": expression, "returnByValue": True})
        return result.get("result", {}).get("value")

    async def wait_for(self, expression, what, timeout=10.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            value = await self.evaluate(expression)
            if value:
                return value
            await asyncio.sleep(0.05)
        shown = await self.evaluate("location.href + ' | ' + document.body?.innerText")
        fail("the page never showed %s; it shows: %s" % (what, shown))

    async def mouse(self, kind, x, y):
        await self.send("Input.dispatchMouseEvent",
                        {"type": kind, "x": x, "y": y, "button": "left",
                         "buttons": 1 if kind != "mouseReleased" else 0, "clickCount": 1})


async def run(port_file, url, screenshot, hold):
    port = devtools_port(port_file)
    async with websockets.connect(page_target(port), max_size=64 * 1024 * 1024) as ws:
        s = Session(ws)
        # A tablet in landscape.
        await s.send("Emulation.setDeviceMetricsOverride",
                     {"width": 1024, "height": 768, "deviceScaleFactor": 1, "mobile": False})
        await s.send("Page.navigate", {"url": url})
        await s.wait_for("document.getElementById('conn')?.className === 'up'",
                         "the WebSocket online")
        cameras = await s.wait_for(
            "document.querySelectorAll('#cameras button').length", "the camera list")
        print("ok: the page is online with %d cameras" % cameras, flush=True)
        shown = await s.evaluate("location.href")
        if "token" in shown:
            fail("the token stays in the address bar: %r" % shown)
        print("ok: the token is taken out of the address bar", flush=True)
        rect = await s.evaluate(
            "(() => { const r = document.querySelector('#pad [data-pan=\"1\"][data-tilt=\"0\"]')"
            ".getBoundingClientRect(); return [r.x + r.width / 2, r.y + r.height / 2]; })()")
        x, y = rect
        await s.send("Input.dispatchMouseEvent", {"type": "mouseMoved", "x": x, "y": y})
        await s.mouse("mousePressed", x, y)
        print("pressed", flush=True)
        await asyncio.sleep(hold)
        held = await s.evaluate("document.querySelector('#pad button.held') !== null")
        if not held:
            fail("the pad button does not show as held")
        print("ok: the pad button shows as held", flush=True)
        if screenshot:
            shot = await s.send("Page.captureScreenshot", {"format": "png"})
            tmp = screenshot + ".tmp"
            with open(tmp, "wb") as f:
                f.write(base64.b64decode(shot["data"]))
            os.replace(tmp, screenshot)
            print("ok: screenshot saved", flush=True)
        await s.mouse("mouseReleased", x, y)
        print("released", flush=True)
        # The stop goes out over the page's WebSocket; give it a moment to leave.
        await asyncio.sleep(0.3)
        errors = await s.evaluate("document.getElementById('log').textContent")
        if errors and "error" in errors:
            fail("the page logged an error: %s" % errors)


def main():
    port_file, url, screenshot, hold = sys.argv[1:5]
    asyncio.run(run(port_file, url, screenshot, float(hold)))


if __name__ == "__main__":
    main()
