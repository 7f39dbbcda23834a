#!/usr/bin/env python3
"""A WebSocket client of qzlinkd written against the published messages only
(python3-websockets), with the habits of a generic show-control client: a
CR LF after each JSON message and binary pings.

usage: ws_client.py snapshot URL SIM_FIFO   the snapshot, then "power 1 off"
                                            at the simulator as an event
       ws_client.py hang URL                starts a long move, then waits to
                                            be killed
       ws_client.py lock URL                two clients, one lock
Prints one line per finding; exit status 0 when all held."""
import asyncio
import json
import sys
import time

import websockets


async def recv_json(ws, timeout=5.0):
    while True:
        message = await asyncio.wait_for(ws.recv(), timeout)
        if isinstance(message, str):
            return json.loads(message)


async def call(ws, ident, method, params):
    # As a generic WebSocket module sends it: the JSON and CR LF.
    await ws.send(json.dumps({"jsonrpc": "2.0", "id": ident, "method": method,
                              "params": params}) + "\r\n")
    while True:
        message = await recv_json(ws)
        if message.get("id") == ident:
            return message


async def wait_event(ws, method, predicate, timeout=5.0):
    deadline = time.monotonic() + timeout
    while True:
        message = await recv_json(ws, max(0.01, deadline - time.monotonic()))
        if message.get("method") == method and predicate(message["params"]):
            return message


def fail(text):
    print("FAILED: " + text)
    sys.exit(1)


async def snapshot(url, fifo):
    async with websockets.connect(url) as ws:
        hello = await recv_json(ws)
        if hello.get("method") != "hello":
            fail("the first message is not the snapshot: %r" % hello)
        camera = hello["params"]["cameras"]["1"]["1"]
        print("ok: the snapshot has camera 1 of COM1 under cameras.1.1 (power %s)"
              % camera.get("power"))
        await ws.send(b"\x00")  # a binary ping is ignored, the socket stays open
        pong = await call(ws, 1, "camera.get", {"line": 1, "camera": 1})
        if "result" not in pong:
            fail("camera.get after a binary frame: %r" % pong)
        print("ok: a binary frame is ignored; camera.get answers")
        with open(fifo, "w") as control:
            start = time.monotonic()
            control.write("power 1 off\n")
        event = await wait_event(ws, "camera.notify",
                                 lambda p: p.get("kind") == "power")
        latency = (time.monotonic() - start) * 1000
        if event["params"]["cameras"]["1"]["1"].get("power") is not False:
            fail("the event's camera state does not say power off: %r" % event)
        print("ok: 'power 1 off' at the simulator came as camera.notify, seq %d"
              % event["params"]["seq"])
        print("latency: %.1f ms from the simulator's input to the event" % latency)


async def hang(url):
    async with websockets.connect(url) as ws:
        await recv_json(ws)
        answer = await call(ws, 1, "move", {"line": 1, "camera": 2, "pan": 0.5,
                                            "timeout_ms": 10000})
        if "result" not in answer:
            fail("move: %r" % answer)
        print("moving", flush=True)
        await asyncio.sleep(60)


async def lock(url):
    async with websockets.connect(url + "&client=first") as a, \
            websockets.connect(url + "&client=second") as b:
        await recv_json(a)
        await recv_json(b)
        taken = await call(a, 1, "lock", {"line": 1, "camera": 3, "ttl_s": 30})
        if "result" not in taken:
            fail("lock: %r" % taken)
        seen = await wait_event(b, "lock.changed", lambda p: p.get("holder"))
        print("ok: the other client sees lock.changed (holder %s)" % seen["params"]["holder"])
        refused = await call(b, 2, "move", {"line": 1, "camera": 3, "pan": 0.5,
                                            "timeout_ms": 300})
        if refused.get("error", {}).get("code") != 409:
            fail("the other client's move was not refused with 409: %r" % refused)
        print("ok: the other client's move is refused with 409")
        stop = await call(b, 3, "stop", {"line": 1, "camera": 3})
        if "result" not in stop:
            fail("a stop must always go: %r" % stop)
        print("ok: its stop goes all the same")
        mine = await call(a, 4, "move", {"line": 1, "camera": 3, "pan": 0.5,
                                         "timeout_ms": 300})
        if "result" not in mine:
            fail("the holder's move: %r" % mine)
        print("ok: the holder moves the camera")
        await call(a, 5, "unlock", {"line": 1, "camera": 3})


def main():
    mode, url = sys.argv[1], sys.argv[2]
    if mode == "snapshot":
        asyncio.run(snapshot(url, sys.argv[3]))
    elif mode == "hang":
        asyncio.run(hang(url))
    elif mode == "lock":
        asyncio.run(lock(url))


if __name__ == "__main__":
    main()
