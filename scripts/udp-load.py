#!/usr/bin/env python3
"""Load for scripts/measure-tunnel.sh --udp: a loopback UDP echo server and the clients that
measure a path to it, straight or through a SOCKS5 proxy's UDP ASSOCIATE.

    udp-load.py echo                        prints its port, echoes until killed
    udp-load.py rtt PATH COUNT              median and p99 µs of COUNT sequential datagrams
    udp-load.py flood PATH RATE SECONDS     sends RATE datagrams a second; prints sent, answered
    udp-load.py compare HELPER ROUNDS       direct, ss-local -u and the helper, to ss-server -u

PATH is "direct:PORT" (the echo server on 127.0.0.1:PORT) or "socks:PORT:ECHO_PORT" (a SOCKS5
proxy on 127.0.0.1:PORT, its datagrams to 127.0.0.1:ECHO_PORT).
"""
import importlib.util
import json
import os
import shutil
import socket
import statistics
import struct
import subprocess
import sys
import tempfile
import threading
import time

_spec = importlib.util.spec_from_file_location(
    "tunnel_load", os.path.join(os.path.dirname(os.path.abspath(__file__)), "tunnel-load.py"))
tunnel_load = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(tunnel_load)

PAYLOAD = b"\x5a" * 32


def echo():
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4 << 20)
    s.bind(("127.0.0.1", 0))
    print(s.getsockname()[1], flush=True)
    while True:
        data, peer = s.recvfrom(65535)
        s.sendto(data, peer)


class Path:
    """A UDP socket that sends to the echo server, through the proxy when there is one: the
    datagrams then carry RFC 1928's header, and the control connection stays open."""

    def __init__(self, path):
        kind, *ports = path.split(":")
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4 << 20)
        self.sock.bind(("127.0.0.1", 0))
        self.header = b""
        if kind == "direct":
            self.to = ("127.0.0.1", int(ports[0]))
            return
        self.control = socket.create_connection(("127.0.0.1", int(ports[0])))
        self.control.sendall(b"\x05\x01\x00\x05\x03\x00\x01" + socket.inet_aton("127.0.0.1") +
                             struct.pack(">H", self.sock.getsockname()[1]))
        reply = b""
        while len(reply) < 12:
            reply += self.control.recv(64)
        if reply[:4] != b"\x05\x00\x05\x00" or reply[5] != 1:
            raise RuntimeError("UDP ASSOCIATE refused: %r" % reply)
        host = socket.inet_ntoa(reply[6:10])
        self.to = ("127.0.0.1" if host == "0.0.0.0" else host, struct.unpack(">H", reply[10:12])[0])
        self.header = b"\x00\x00\x00\x01" + socket.inet_aton("127.0.0.1") + struct.pack(
            ">H", int(ports[1]))

    def send(self, payload):
        self.sock.sendto(self.header + payload, self.to)

    def receive(self):
        return self.sock.recv(65535)[len(self.header):]


def rtt(path, count):
    way = Path(path)
    way.sock.settimeout(5)
    times = []
    for _ in range(count):
        start = time.perf_counter_ns()
        way.send(PAYLOAD)
        if way.receive() != PAYLOAD:
            raise RuntimeError("a wrong answer")
        times.append((time.perf_counter_ns() - start) / 1000)
    times.sort()
    print("%.1f %.1f" % (statistics.median(times), times[int(len(times) * 0.99)]))


def flood(path, rate, seconds):
    way = Path(path)
    answered = [0]
    done = threading.Event()

    def count():
        way.sock.settimeout(0.2)
        while not done.is_set():
            try:
                way.receive()
                answered[0] += 1
            except socket.timeout:
                pass

    reader = threading.Thread(target=count)
    reader.start()
    total = rate * seconds
    start = time.perf_counter()
    # Sent in batches of a millisecond's worth, paced against the clock.
    batch = max(1, rate // 1000)
    for sent in range(0, total, batch):
        due = start + sent / rate
        while time.perf_counter() < due:
            pass
        for _ in range(min(batch, total - sent)):
            way.send(PAYLOAD)
    time.sleep(1)
    done.set()
    reader.join()
    print(total, answered[0])


class Process:
    def __init__(self, argv, port_line=True):
        self.popen = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                      text=True)
        self.port = int(self.popen.stdout.readline()) if port_line else 0

    def cpu_seconds(self):
        with open("/proc/%d/stat" % self.popen.pid) as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def stop(self):
        self.popen.terminate()
        self.popen.wait()


def free_port():
    """A port number free for both TCP and UDP: the relays serve both on one."""
    while True:
        tcp = socket.socket()
        tcp.bind(("127.0.0.1", 0))
        port = tcp.getsockname()[1]
        udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        try:
            udp.bind(("127.0.0.1", port))
            return port
        except OSError:
            pass
        finally:
            tcp.close()
            udp.close()


def wait_listening(port):
    for _ in range(200):
        try:
            socket.create_connection(("127.0.0.1", port)).close()
            return
        except OSError:
            time.sleep(0.05)
    raise RuntimeError("nothing listens on %d" % port)


def start_helper(helper, folder, relay_port, password):
    base = os.path.join(folder, "tunnel")
    with open(base + ".conf", "w") as conf:
        json.dump({"ss_address": "127.0.0.1", "ss_port": relay_port,
                   "ss_method": "chacha20-ietf-poly1305", "ss_password": password,
                   "ss_ip": "", "ss_auth": "",
                   "json_conf": '{"rules": [{"type": "final", "action": "proxy"}]}'}, conf)
    process = Process([helper, "--channel", base, "--socks-port", "0", "--http-port", "0"],
                      port_line=False)
    for _ in range(200):
        if os.path.exists(base + ".proxy") and open(base + ".status").read() == "connected\n":
            process.port = int(open(base + ".proxy").read().split()[1])
            return process
        time.sleep(0.05)
    raise RuntimeError("the helper did not come up")


def run_load(*arguments):
    done = subprocess.run([sys.executable, __file__, *map(str, arguments)],
                          capture_output=True, text=True)
    if done.returncode != 0:
        raise RuntimeError("udp-load.py %s failed: %s" % (" ".join(map(str, arguments)),
                                                         done.stderr.strip()))
    return done.stdout.split()


def compare(helper, rounds, rate=20000, seconds=10):
    password = "measure-udp-password"
    method = "chacha20-ietf-poly1305"
    folder = tempfile.mkdtemp(prefix="measure-udp-")
    started = []
    try:
        echo_server = Process([sys.executable, __file__, "echo"])
        started.append(echo_server)
        servers = []
        for _ in range(2):
            port = free_port()
            servers.append(Process(["ss-server", "-s", "127.0.0.1", "-p", str(port), "-k",
                                    password, "-m", method, "-u"], port_line=False))
            servers[-1].port = port
            wait_listening(port)
        local_port = free_port()
        local = Process(["ss-local", "-s", "127.0.0.1", "-p", str(servers[0].port), "-b",
                         "127.0.0.1", "-l", str(local_port), "-k", password, "-m", method, "-u"],
                        port_line=False)
        local.port = local_port
        wait_listening(local_port)
        corvane = start_helper(helper, folder, servers[1].port, password)
        started += [*servers, local, corvane]
        paths = {
            "(a) direct": ("direct:%d" % echo_server.port, None),
            "(b) ss-local -u -> ss-server -u": ("socks:%d:%d" % (local.port, echo_server.port),
                                                local),
            "(c) corvane helper -> ss-server -u": (
                "socks:%d:%d" % (corvane.port, echo_server.port), corvane),
        }
        results = {name: {"median": [], "p99": [], "loss": [], "cpu": []} for name in paths}
        for _ in range(rounds):
            for name, (path, client) in paths.items():
                median, p99 = map(float, run_load("rtt", path, 10000))
                results[name]["median"].append(median)
                results[name]["p99"].append(p99)
                before = client.cpu_seconds() if client else 0
                sent, answered = map(int, run_load("flood", path, rate, seconds))
                results[name]["loss"].append(100 * (sent - answered) / sent)
                if client:
                    results[name]["cpu"].append(client.cpu_seconds() - before)
        print("\n%s, %d rounds, medians (and range): RTT of 10,000 sequential 32-byte datagrams;"
              " loss and the client end's CPU at %d datagrams/s for %d s\n" % (
                  method, rounds, rate, seconds))
        print("| Path | median RTT µs | p99 RTT µs | loss % | CPU s, client end "
              "| CPU µs per datagram |")
        print("|---|---|---|---|---|---|")
        for name, figures in results.items():
            figures["per"] = [cpu * 1e6 / (rate * seconds) for cpu in figures["cpu"]]
            print("| %s | %s |" % (name, tunnel_load.row(figures, {
                "median": "%.1f", "p99": "%.1f", "loss": "%.2f", "cpu": "%.2f", "per": "%.1f"})))
    finally:
        for process in started:
            process.stop()
        shutil.rmtree(folder, ignore_errors=True)


def main():
    command = sys.argv[1]
    if command == "echo":
        echo()
    elif command == "rtt":
        rtt(sys.argv[2], int(sys.argv[3]))
    elif command == "flood":
        flood(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
    elif command == "compare":
        compare(sys.argv[2], int(sys.argv[3]) if len(sys.argv) > 3 else 3)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
