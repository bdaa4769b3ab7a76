"""Misbehaving message buses for the power tests, on loopback or a Unix socket.

    fakebus.py MODE SOCKET_DIR UPSTREAM

Prints the D-Bus address to connect to on its first line, then serves until killed.
MODE is one of:
  silent-unix   takes connections on a Unix socket and never says a word (a hung daemon)
  silent-tcp    the same on a TCP port of 127.0.0.1
  stall         completes the authentication handshake, then never answers the Hello
  slow          relays to UPSTREAM (a real bus) but holds the bus's first answer back 0.7 s
  refuse-first  closes the first connection at once and relays the later ones to UPSTREAM
  full-unix     a Unix listener whose queue is full and that never accepts (a stopped daemon):
                a blocking connect to it never returns
"""

import asyncio
import os
import signal
import socket
import sys

HELD_CONNECTIONS = []  # silent and stalled peers are kept open, never read


def unix_path(address):
    for pair in address.split(':', 1)[1].split(','):
        key, _, value = pair.partition('=')
        if key == 'path':
            return value
    raise SystemExit('fakebus.py: the upstream must be a unix:path= address')


async def pipe(reader, writer, delay=0.0):
    try:
        first = True
        while data := await reader.read(65536):
            if first and delay:
                await asyncio.sleep(delay)
            first = False
            writer.write(data)
            await writer.drain()
    except ConnectionError:
        pass
    finally:
        writer.close()


def serve_full(path):
    listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    listener.bind(path)
    listener.listen(0)
    fillers = []
    while True:  # until the kernel turns the next one away: the queue is full
        filler = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        filler.setblocking(False)
        try:
            filler.connect(path)
        except BlockingIOError:
            break
        fillers.append(filler)
    print('unix:path=' + path, flush=True)
    while True:
        signal.pause()


async def main(mode, socket_dir, upstream):
    accepted = 0

    async def serve(reader, writer):
        nonlocal accepted
        accepted += 1
        if mode.startswith('silent'):
            HELD_CONNECTIONS.append(writer)
            return
        if mode == 'stall':
            HELD_CONNECTIONS.append(writer)
            await reader.readexactly(1)  # the credentials byte
            while line := await reader.readline():
                if line.startswith(b'AUTH'):
                    writer.write(b'OK 0123456789abcdef0123456789abcdef\r\n')
                elif line.startswith(b'NEGOTIATE_UNIX_FD'):
                    writer.write(b'AGREE_UNIX_FD\r\n')
                elif line.startswith(b'BEGIN'):
                    return  # the Hello that follows is never answered
                await writer.drain()
            return
        if mode == 'refuse-first' and accepted == 1:
            writer.close()
            return
        bus_reader, bus_writer = await asyncio.open_unix_connection(unix_path(upstream))
        delay = 0.7 if mode == 'slow' else 0.0
        await asyncio.gather(pipe(reader, bus_writer), pipe(bus_reader, writer, delay))

    if mode == 'silent-tcp':
        server = await asyncio.start_server(serve, '127.0.0.1', 0)
        address = 'tcp:host=127.0.0.1,port=%d' % server.sockets[0].getsockname()[1]
    else:
        path = os.path.join(socket_dir, 'fakebus-' + mode)
        server = await asyncio.start_unix_server(serve, path)
        address = 'unix:path=' + path
    print(address, flush=True)
    async with server:
        await server.serve_forever()


if __name__ == '__main__':
    if sys.argv[1] == 'full-unix':
        serve_full(os.path.join(sys.argv[2], 'fakebus-full-unix'))
    asyncio.run(main(*sys.argv[1:4]))
