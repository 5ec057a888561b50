#!/usr/bin/env python3
"""Load for scripts/measure-tunnel.sh: a loopback origin and the clients that measure a path
to it, either straight (a forwarder's port, or the origin itself) or through a SOCKS5 proxy.

    tunnel-load.py origin                       prints its port, serves until killed
    tunnel-load.py bulk  PATH BYTES             seconds to read BYTES from the origin
    tunnel-load.py ttfb  PATH COUNT             median and p90 ms to the first byte, COUNT requests
    tunnel-load.py idle  PATH COUNT             opens COUNT idle connections, says "open", waits
    tunnel-load.py engines BIN_DIR [ROUNDS]     compares the forwarders of BIN_DIR

PATH is "direct:PORT" (connect to 127.0.0.1:PORT, which reaches the origin) or
"socks:PORT:ORIGIN_PORT" (a SOCKS5 proxy on 127.0.0.1:PORT, asked for 127.0.0.1:ORIGIN_PORT).
The origin answers "GET /bytes/N" with N bytes and holds "GET /idle" open without answering.
"""
import asyncio
import os
import socket
import statistics
import subprocess
import struct
import sys
import time

CHUNK = memoryview(b"\x5a" * (1 << 20))


async def serve(reader, writer):
    try:
        head = await reader.readuntil(b"\r\n\r\n")
    except (asyncio.IncompleteReadError, asyncio.LimitOverrunError, ConnectionError):
        writer.close()
        return
    path = head.split(b" ", 2)[1].decode()
    if path == "/idle":
        await reader.read()
        writer.close()
        return
    size = int(path.rsplit("/", 1)[1])
    writer.write(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\nConnection: close\r\n\r\n" % size)
    try:
        while size > 0:
            part = CHUNK[:min(size, len(CHUNK))]
            writer.write(part)
            size -= len(part)
            await writer.drain()
        writer.close()
    except ConnectionError:
        pass


async def origin():
    server = await asyncio.start_server(serve, "127.0.0.1", 0, backlog=4096)
    print(server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()


def open_path(path):
    kind, *ports = path.split(":")
    sock = socket.create_connection(("127.0.0.1", int(ports[0])))
    sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    if kind == "socks":
        sock.sendall(b"\x05\x01\x00")
        if sock.recv(2) != b"\x05\x00":
            raise RuntimeError("the SOCKS5 proxy refused the greeting")
        sock.sendall(b"\x05\x01\x00\x01" + socket.inet_aton("127.0.0.1") +
                     struct.pack(">H", int(ports[1])))
        reply = b""
        while len(reply) < 10:
            part = sock.recv(10 - len(reply))
            if not part:
                raise RuntimeError("the SOCKS5 proxy closed the connection")
            reply += part
        if reply[1] != 0:
            raise RuntimeError("the SOCKS5 proxy answered %d" % reply[1])
    return sock


def request(sock, path):
    sock.sendall(b"GET %s HTTP/1.1\r\nHost: origin\r\n\r\n" % path.encode())


def bulk(path, size):
    buffer = bytearray(1 << 20)
    start = time.monotonic()
    sock = open_path(path)
    request(sock, "/bytes/%d" % size)
    received = 0
    while True:
        n = sock.recv_into(buffer)
        if n == 0:
            break
        received += n
    elapsed = time.monotonic() - start
    sock.close()
    if received < size:
        raise RuntimeError("only %d of %d bytes arrived" % (received, size))
    print("%.3f" % elapsed)


def ttfb(path, count):
    times = []
    for _ in range(count):
        start = time.monotonic()
        sock = open_path(path)
        request(sock, "/bytes/64")
        if not sock.recv(1):
            raise RuntimeError("no answer")
        times.append((time.monotonic() - start) * 1000)
        sock.close()
    times.sort()
    print("%.3f %.3f" % (statistics.median(times), times[int(len(times) * 0.9)]))


def idle(path, count):
    sockets = []
    for _ in range(count):
        sock = open_path(path)
        request(sock, "/idle")
        sockets.append(sock)
    print("open", flush=True)
    sys.stdin.read()


class Process:
    """A program under measurement: its start, the port it prints, its CPU time and memory."""

    def __init__(self, argv, port_line=True):
        self.popen = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                      text=True)
        self.port = int(self.popen.stdout.readline()) if port_line else None

    def cpu_seconds(self):
        with open("/proc/%d/stat" % self.popen.pid) as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def rss_kib(self):
        with open("/proc/%d/status" % self.popen.pid) as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        return 0

    def stop(self):
        self.popen.terminate()
        self.popen.wait()


def run_load(*arguments):
    done = subprocess.run([sys.executable, __file__, *map(str, arguments)],
                          capture_output=True, text=True)
    if done.returncode != 0:
        raise RuntimeError("tunnel-load.py %s failed: %s" % (" ".join(map(str, arguments)),
                                                            done.stderr.strip()))
    return done.stdout.split()


def idle_cost(path, ends, count):
    """Resident KiB per idle connection, summed over `ends`."""
    before = sum(end.rss_kib() for end in ends)
    holder = subprocess.Popen([sys.executable, __file__, "idle", path, str(count)],
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    if holder.stdout.readline().strip() != "open":
        raise RuntimeError("the idle connections did not open")
    time.sleep(0.5)
    after = sum(end.rss_kib() for end in ends)
    holder.stdin.close()
    holder.wait()
    return (after - before) / count


def measure(paths, rounds, size):
    """paths: name -> (path, [Process]); alternates the paths within each round."""
    results = {name: {"mbs": [], "cpu": [], "ttfb": [], "p90": [], "idle": []} for name in paths}
    for _ in range(rounds):
        for name, (path, ends) in paths.items():
            cpu = [end.cpu_seconds() for end in ends]
            seconds = float(run_load("bulk", path, size)[0])
            used = sum(end.cpu_seconds() for end in ends) - sum(cpu)
            results[name]["mbs"].append(size / seconds / 1e6)
            results[name]["cpu"].append(used / (size / 1e9))
            median, p90 = map(float, run_load("ttfb", path, 1000))
            results[name]["ttfb"].append(median)
            results[name]["p90"].append(p90)
            if ends:
                results[name]["idle"].append(idle_cost(path, ends, 1000))
    print("| Path | MB/s (1 GB) | CPU s/GB | first byte, median ms | p90 ms | KiB per idle connection |")
    print("|---|---|---|---|---|---|")
    for name, figures in results.items():
        value = {key: statistics.median(v) if v else None for key, v in figures.items()}
        idle_text = "%.1f" % value["idle"] if value["idle"] is not None else "-"
        print("| %s | %.0f | %.2f | %.3f | %.3f | %s |" % (
            name, value["mbs"], value["cpu"], value["ttfb"], value["p90"], idle_text))


def engines(bin_dir, rounds):
    origin_process = Process([sys.executable, __file__, "origin"])
    forwarders = {name: Process([os.path.join(bin_dir, name), str(origin_process.port)])
                  for name in ("forward_epoll", "forward_asio", "forward_qt")}
    try:
        paths = {"direct": ("direct:%d" % origin_process.port, [])}
        for name, process in forwarders.items():
            paths[name] = ("direct:%d" % process.port, [process])
        measure(paths, rounds, 1000000000)
    finally:
        for process in [origin_process, *forwarders.values()]:
            process.stop()


def main():
    command = sys.argv[1]
    if command == "origin":
        asyncio.run(origin())
    elif command == "bulk":
        bulk(sys.argv[2], int(sys.argv[3]))
    elif command == "ttfb":
        ttfb(sys.argv[2], int(sys.argv[3]))
    elif command == "idle":
        idle(sys.argv[2], int(sys.argv[3]))
    elif command == "engines":
        engines(sys.argv[2], int(sys.argv[3]) if len(sys.argv) > 3 else 3)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
