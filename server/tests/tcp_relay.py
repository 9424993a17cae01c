"""Passes TCP connections from a port of 127.0.0.1 on to another port of 127.0.0.1, byte
for byte: python3 tcp_relay.py LISTEN_PORT TARGET_PORT. Stopping this process (SIGSTOP)
makes the server behind it stop answering without closing anything: the kernel still
accepts connections and takes bytes, and nothing comes back."""
import asyncio
import sys


async def pipe(reader, writer):
    try:
        while data := await reader.read(65536):
            writer.write(data)
            await writer.drain()
    except OSError:
        pass
    finally:
        writer.close()


async def relay(client_reader, client_writer):
    try:
        server_reader, server_writer = await asyncio.open_connection("127.0.0.1", int(sys.argv[2]))
    except OSError:
        client_writer.close()
        return
    await asyncio.gather(pipe(client_reader, server_writer), pipe(server_reader, client_writer))


async def main():
    server = await asyncio.start_server(relay, "127.0.0.1", int(sys.argv[1]))
    async with server:
        await server.serve_forever()


asyncio.run(main())
