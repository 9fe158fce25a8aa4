#!/usr/bin/env python3
"""Counts what a database client asks of a PostgreSQL server, between the two on loopback.

    bench/pg_wire_count.py LISTEN_PORT SERVER_PORT STATS_FILE

Forwards every connection made to 127.0.0.1:LISTEN_PORT to 127.0.0.1:SERVER_PORT and keeps, over
all connections, the client's round trips (a run of bytes from the client that the server
answers before the client sends again is one) and the client's protocol messages by type (Parse,
Bind, Execute, Sync, Query, Close, ...). The totals are rewritten to STATS_FILE, one "name value"
a line, after each round trip. Runs until killed.
"""
import asyncio
import os
import struct
import sys

NAMES = {b"P": "parse", b"B": "bind", b"E": "execute", b"S": "sync", b"Q": "query",
         b"C": "close", b"D": "describe", b"H": "flush", b"X": "terminate"}
totals = {"round_trips": 0}


def write_stats(path):
    text = "".join(f"{k} {v}\n" for k, v in sorted(totals.items()))
    tmp = path + ".tmp"
    with open(tmp, "w") as f:
        f.write(text)
    os.replace(tmp, path)


class ClientStream:
    """Splits the client's bytes into protocol messages (after the untyped start-up ones)."""

    def __init__(self):
        self.buffer = b""
        self.started = False

    def feed(self, data):
        self.buffer += data
        while True:
            if not self.started:
                if len(self.buffer) < 8:
                    return
                length, code = struct.unpack("!ii", self.buffer[:8])
                if len(self.buffer) < length:
                    return
                self.buffer = self.buffer[length:]
                # An SSL or GSS request is answered with one byte; the start-up message follows.
                if code not in (80877103, 80877104):
                    self.started = True
                continue
            if len(self.buffer) < 5:
                return
            kind = self.buffer[:1]
            (length,) = struct.unpack("!i", self.buffer[1:5])
            if len(self.buffer) < 1 + length:
                return
            self.buffer = self.buffer[1 + length:]
            name = NAMES.get(kind, "other")
            totals[name] = totals.get(name, 0) + 1


async def handle(reader, writer, server_port, stats):
    try:
        up_reader, up_writer = await asyncio.open_connection("127.0.0.1", server_port)
    except OSError:
        writer.close()
        return
    state = {"client_turn": False}
    stream = ClientStream()

    async def client_to_server():
        while data := await reader.read(65536):
            stream.feed(data)
            if not state["client_turn"]:
                state["client_turn"] = True
                totals["round_trips"] += 1
                write_stats(stats)
            up_writer.write(data)
            await up_writer.drain()
        up_writer.close()

    async def server_to_client():
        while data := await up_reader.read(65536):
            state["client_turn"] = False
            writer.write(data)
            await writer.drain()
        writer.close()

    try:
        await asyncio.gather(client_to_server(), server_to_client())
    except (ConnectionError, OSError):
        pass
    finally:
        writer.close()
        up_writer.close()


async def main():
    listen_port, server_port, stats = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    write_stats(stats)
    server = await asyncio.start_server(
        lambda r, w: handle(r, w, server_port, stats), "127.0.0.1", listen_port)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit("usage: pg_wire_count.py LISTEN_PORT SERVER_PORT STATS_FILE")
    asyncio.run(main())
