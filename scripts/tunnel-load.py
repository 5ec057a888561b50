#!/usr/bin/env python3
"""Load for scripts/measure-tunnel.sh: a loopback origin and the clients that measure a path
to it, either straight (a forwarder's port, or the origin itself) or through a SOCKS5 proxy.

    tunnel-load.py origin [HOST [PORT]]         prints its port, serves until killed
    tunnel-load.py bulk  PATH BYTES             seconds to read BYTES from the origin
    tunnel-load.py upload PATH BYTES            seconds to send BYTES to the origin
    tunnel-load.py ttfb  PATH COUNT             median and p90 ms to the first byte, COUNT requests
    tunnel-load.py idle  PATH COUNT             opens COUNT idle connections, says "open", waits
    tunnel-load.py engines BIN_DIR [ROUNDS]     compares the forwarders of BIN_DIR
    tunnel-load.py tunnel [--watch-traffic] HELPER [ROUNDS [OTHER_HELPER...]]
                                                direct, ss-local and the helper, to ss-server;
                                                and other builds of the helper (a baseline);
                                                with --watch-traffic, each helper has a window
                                                watching its traffic figures all along

PATH is "direct:PORT[:HOST]" (connect to HOST:PORT, 127.0.0.1 unless given, which reaches the
origin) or "socks:PORT:ORIGIN_PORT[:ORIGIN_HOST]" (a SOCKS5 proxy on 127.0.0.1:PORT, asked for
ORIGIN_HOST:ORIGIN_PORT). The origin answers "GET /bytes/N" with N bytes, reads N bytes after
"GET /upload/N" before it answers, and holds "GET /idle" open without answering.
"""
import asyncio
import json
import os
import shutil
import socket
import statistics
import subprocess
import struct
import sys
import tempfile
import threading
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
    if path.startswith("/upload/"):
        try:
            while size > 0:
                part = await reader.read(min(size, 1 << 20))
                if not part:
                    break
                size -= len(part)
        except ConnectionError:
            pass
        writer.write(b"HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n")
        writer.close()
        return
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


async def origin(host="127.0.0.1", port=0):
    server = await asyncio.start_server(serve, host, port, backlog=4096)
    print(server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()


def open_path(path):
    kind, *ports = path.split(":")
    host = ports[1] if kind == "direct" and len(ports) > 1 else "127.0.0.1"
    sock = socket.create_connection((host, int(ports[0])))
    sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    if kind == "socks":
        sock.sendall(b"\x05\x01\x00")
        if sock.recv(2) != b"\x05\x00":
            raise RuntimeError("the SOCKS5 proxy refused the greeting")
        origin_host = ports[2] if len(ports) > 2 else "127.0.0.1"
        sock.sendall(b"\x05\x01\x00\x01" + socket.inet_aton(origin_host) +
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


def upload(path, size):
    start = time.monotonic()
    sock = open_path(path)
    request(sock, "/upload/%d" % size)
    left = size
    while left > 0:
        left -= sock.send(CHUNK[:min(left, len(CHUNK))])
    if not sock.recv(12).startswith(b"HTTP/1.1 204"):
        raise RuntimeError("the origin did not take the upload")
    elapsed = time.monotonic() - start
    sock.close()
    print("%.3f" % elapsed)


def ttfb(count, *paths):
    """The first byte of `count` sequential small requests on each path; the paths take turns
    request by request, so the machine's load falls on all of them alike."""
    times = [[] for _ in paths]
    for _ in range(count):
        for index, path in enumerate(paths):
            start = time.monotonic()
            sock = open_path(path)
            request(sock, "/bytes/64")
            if not sock.recv(1):
                raise RuntimeError("no answer")
            times[index].append((time.monotonic() - start) * 1000)
            sock.close()
    for each in times:
        each.sort()
        print("%.3f %.3f" % (statistics.median(each), each[int(len(each) * 0.9)]))


def idle(path, count):
    sockets = []
    for _ in range(count):
        sock = open_path(path)
        request(sock, "/idle")
        sockets.append(sock)
    print("open", flush=True)
    sys.stdin.read()


class Process:
    """A program under measurement: its start, the port it listens on, its CPU time and memory.
    The port is the first line it prints, or else what the kernel says it listens on."""

    def __init__(self, argv, port_line=True):
        self.popen = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                      text=True)
        self.port = int(self.popen.stdout.readline()) if port_line else self.listening_port()

    def listening_port(self):
        for _ in range(100):
            listed = subprocess.run(["ss", "-ltnpH"], capture_output=True, text=True).stdout
            for line in listed.splitlines():
                if "pid=%d," % self.popen.pid in line:
                    return int(line.split()[3].rsplit(":", 1)[1])
            time.sleep(0.05)
        raise RuntimeError("%s listens on no port" % self.popen.args[0])

    def cpu_seconds(self):
        with open("/proc/%d/stat" % self.popen.pid) as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def rss_kib(self, field="VmRSS:"):
        with open("/proc/%d/status" % self.popen.pid) as status:
            for line in status:
                if line.startswith(field):
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
    """paths: name -> (path, [Process], memory_end or None); alternates the paths within each
    round. CPU counts both ends, and the client end alone, which is what differs; so does memory,
    measured first, while no transfer has left freed memory behind in it."""
    results = {name: {"mbs": [], "cpu": [], "client_cpu": [], "ttfb": [], "p90": [],
                      "connection_cpu": [], "idle": [], "peak": []} for name in paths}
    for name, (path, _, client) in paths.items():
        if client:
            results[name]["idle"].append(idle_cost(path, [client], 1000))
            results[name]["peak"].append(client.rss_kib("VmHWM:") / 1024)
    for _ in range(rounds):
        for name, (path, ends, client) in paths.items():
            cpu = [end.cpu_seconds() for end in ends]
            seconds = float(run_load("bulk", path, size)[0])
            used = [end.cpu_seconds() - before for end, before in zip(ends, cpu)]
            results[name]["mbs"].append(size / seconds / 1e6)
            results[name]["cpu"].append(sum(used) / (size / 1e9))
            if client:
                results[name]["client_cpu"].append(used[ends.index(client)] / (size / 1e9))
        requests = 1000
        clients = {name: client for name, (_, _, client) in paths.items() if client}
        cpu = {name: client.cpu_seconds() for name, client in clients.items()}
        figures = run_load("ttfb", requests, *(path for path, _, _ in paths.values()))
        for index, name in enumerate(paths):
            results[name]["ttfb"].append(float(figures[2 * index]))
            results[name]["p90"].append(float(figures[2 * index + 1]))
            if name in clients:
                results[name]["connection_cpu"].append(
                    (clients[name].cpu_seconds() - cpu[name]) * 1e6 / requests)
    print("| Path | MB/s (1 GB) | CPU s/GB, both ends | CPU s/GB, client end "
          "| first byte, median ms | p90 ms | CPU µs per connection, client end "
          "| KiB per idle connection | peak RSS MiB, 1,000 idle |")
    print("|---|---|---|---|---|---|---|---|---|")
    # Each figure is the median of the rounds, with their range when there are several: the
    # machine may be shared, and one number alone hides how far to trust it.
    formats = {"mbs": "%.0f", "cpu": "%.2f", "client_cpu": "%.2f", "ttfb": "%.3f",
               "p90": "%.3f", "connection_cpu": "%.0f", "idle": "%.1f", "peak": "%.1f"}
    for name, figures in results.items():
        print("| %s | %s |" % (name, row(figures, formats)))


def row(figures, formats):
    """A table row's cells: each figure's median of the rounds, with their range when there are
    several."""
    cells = []
    for key, form in formats.items():
        values = figures[key]
        if not values:
            cells.append("-")
        elif len(values) == 1:
            cells.append(form % values[0])
        else:
            cells.append((form + " (" + form + "–" + form + ")") % (
                statistics.median(values), min(values), max(values)))
    return " | ".join(cells)


def engines(bin_dir, rounds):
    origin_process = Process([sys.executable, __file__, "origin"])
    forwarders = {name: Process([os.path.join(bin_dir, name), str(origin_process.port)])
                  for name in ("forward_epoll", "forward_asio", "forward_qt")}
    try:
        paths = {"direct": ("direct:%d" % origin_process.port, [], None)}
        for name, process in forwarders.items():
            paths[name] = ("direct:%d" % process.port, [process], process)
        measure(paths, rounds, 1000000000)
    finally:
        for process in [origin_process, *forwarders.values()]:
            process.stop()


def watch_traffic(base):
    """A window's connection to the helper's channel asking for its traffic lines, read as they
    come for as long as the helper runs (a helper that does not know the request ignores it)."""
    channel = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    channel.connect(base + ".sock")
    channel.sendall(b"watch traffic\n")

    def drain():
        while channel.recv(4096):
            pass

    threading.Thread(target=drain, daemon=True).start()
    return channel


def start_helper(helper, folder, method, relay_port, password, watch=False):
    """corvane-tunnel-helper on its own channel, all traffic through ss-server."""
    os.makedirs(folder, exist_ok=True)
    base = os.path.join(folder, "tunnel")
    with open(base + ".conf", "w") as conf:
        json.dump({"ss_address": "127.0.0.1", "ss_port": relay_port, "ss_method": method,
                   "ss_password": password, "ss_ip": "", "ss_auth": "",
                   "json_conf": '{"rules": [{"type": "final", "action": "proxy"}]}'}, conf)
    process = Process([helper, "--channel", base, "--socks-port", "0", "--http-port", "0"],
                      port_line=False)
    for _ in range(200):
        if os.path.exists(base + ".proxy") and open(base + ".status").read() == "connected\n":
            process.port = int(open(base + ".proxy").read().split()[1])
            process.channel = watch_traffic(base) if watch else None
            return process
        time.sleep(0.05)
    raise RuntimeError("the helper did not come up")


def tunnel(helper, rounds, others=(), watch=False):
    password = "measure-tunnel-password"
    folder = tempfile.mkdtemp(prefix="measure-tunnel-")
    origin_process = Process([sys.executable, __file__, "origin"])
    started = [origin_process]
    try:
        for method in ("chacha20-ietf-poly1305", "chacha20"):
            print("\n%s, %d rounds, medians (and range)%s:\n" % (
                method, rounds, ", a window watching each helper's traffic" if watch else ""))
            servers = [Process(["ss-server", "-s", "127.0.0.1", "-p", "0", "-k", password,
                                "-m", method], port_line=False)
                       for _ in range(2 + len(others))]
            local = Process(["ss-local", "-s", "127.0.0.1", "-p", str(servers[0].port),
                             "-b", "127.0.0.1", "-l", "0", "-k", password, "-m", method],
                            port_line=False)
            form = "CHACHA20" if method == "chacha20" else method
            programs = [helper, *others]
            helpers = [start_helper(program, "%s/%d" % (folder, index), form,
                                    servers[1 + index].port, password, watch)
                       for index, program in enumerate(programs)]
            started += [*servers, local, *helpers]
            paths = {
                "(a) direct": ("direct:%d" % origin_process.port, [], None),
                "(b) ss-local -> ss-server": ("socks:%d:%d" % (local.port, origin_process.port),
                                              [local, servers[0]], local),
            }
            for index, corvane in enumerate(helpers):
                name = ("(c) corvane helper" if index == 0 else
                        "(%s) %s" % (chr(ord("c") + index), os.path.basename(programs[index])))
                paths[name + " -> ss-server"] = (
                    "socks:%d:%d" % (corvane.port, origin_process.port),
                    [corvane, servers[1 + index]], corvane)
            measure(paths, rounds, 1000000000)
            for process in (*servers, local, *helpers):
                process.stop()
                started.remove(process)
    finally:
        for process in started:
            process.stop()
        shutil.rmtree(folder, ignore_errors=True)


def main():
    command = sys.argv[1]
    if command == "origin":
        asyncio.run(origin(*sys.argv[2:3], *map(int, sys.argv[3:4])))
    elif command == "bulk":
        bulk(sys.argv[2], int(sys.argv[3]))
    elif command == "upload":
        upload(sys.argv[2], int(sys.argv[3]))
    elif command == "ttfb":
        ttfb(int(sys.argv[2]), *sys.argv[3:])
    elif command == "idle":
        idle(sys.argv[2], int(sys.argv[3]))
    elif command == "engines":
        engines(sys.argv[2], int(sys.argv[3]) if len(sys.argv) > 3 else 3)
    elif command == "tunnel":
        watch = "--watch-traffic" in sys.argv
        rest = [argument for argument in sys.argv[2:] if argument != "--watch-traffic"]
        tunnel(rest[0], int(rest[1]) if len(rest) > 1 else 3, rest[2:], watch)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
