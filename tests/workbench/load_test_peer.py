"""A load-test server for the tests: python3 asyncio on 127.0.0.1, port
chosen by the system (printed as "PORT n"). Each request frame (4 length
bytes, big-endian, then the body) gets the answer the mode names:

  echo         the request itself
  record FILE  the request itself, after a line with the frame's hex is
               appended to FILE
  huge         a length of 10,000,001 and nothing more
  zero         a length of 0
  partheader   2 of the 4 length bytes, then silence
  headerclose  a length of 100, then a close
  bodyclose    a length of 100 and 10 body bytes, then a close
  trickle      a length of 100, then one body byte every 50 ms
  silent       nothing
  authrsp      the request (security mode 0) as an "ep2:authrsp" whose
               ep2:AmtAuth became ep2:AuthCode "A" + the amount
  full         no server: a listener with a backlog of 0 that never
               accepts, its queue filled by two connections of its own

After every request and every close it prints
"T <requests> <bytes> <closes> <most connections open at once>".
"""
import asyncio
import os
import re
import socket
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "common"))
import mock_ep2_host  # noqa: E402

mode = sys.argv[1]
tally = {"requests": 0, "bytes": 0, "closes": 0, "open": 0, "most": 0}


def authorisation_response(frame):
    f = mock_ep2_host.parse_frame(frame)
    xml = re.sub(rb"<ep2:AmtAuth>([0-9]+)</ep2:AmtAuth>", rb"<ep2:AuthCode>A\1</ep2:AuthCode>",
                 f["xml"]).replace(b"ep2:authreq", b"ep2:authrsp")
    return mock_ep2_host.build_frame(xml, version=f["version"], spec_version=f["spec_version"])


def report():
    print("T %d %d %d %d" % (tally["requests"], tally["bytes"], tally["closes"], tally["most"]),
          flush=True)


async def handle(reader, writer):
    tally["open"] += 1
    tally["most"] = max(tally["most"], tally["open"])
    try:
        while True:
            try:
                head = await reader.readexactly(4)
                body = await reader.readexactly(int.from_bytes(head, "big"))
            except asyncio.IncompleteReadError:
                break
            tally["requests"] += 1
            tally["bytes"] += 4 + len(body)
            report()
            if mode == "record":
                with open(sys.argv[2], "a") as frames:
                    frames.write((head + body).hex() + "\n")
            if mode in ("echo", "record"):
                writer.write(head + body)
            elif mode == "authrsp":
                writer.write(authorisation_response(head + body))
            elif mode == "huge":
                writer.write((10000001).to_bytes(4, "big"))
            elif mode == "zero":
                writer.write(bytes(4))
            elif mode == "partheader":
                writer.write(bytes(2))
            elif mode in ("headerclose", "bodyclose"):
                writer.write((100).to_bytes(4, "big") + (b"x" * 10 if mode == "bodyclose" else b""))
                await writer.drain()
                break
            elif mode == "trickle":
                writer.write((100).to_bytes(4, "big"))
                for _ in range(100):
                    await writer.drain()
                    await asyncio.sleep(0.05)
                    writer.write(b"x")
            await writer.drain()
    except ConnectionError:
        pass
    finally:
        tally["open"] -= 1
        tally["closes"] += 1
        writer.close()
        report()


async def main():
    if mode == "full":
        listener = socket.socket()
        listener.bind(("127.0.0.1", 0))
        listener.listen(0)
        port = listener.getsockname()[1]
        fillers = []
        for _ in range(2):
            s = socket.socket()
            s.setblocking(False)
            s.connect_ex(("127.0.0.1", port))
            fillers.append(s)
        print("PORT %d" % port, flush=True)
        await asyncio.sleep(3600)
    server = await asyncio.start_server(handle, "127.0.0.1", 0, backlog=128)
    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
    async with server:
        await server.serve_forever()


asyncio.run(main())
