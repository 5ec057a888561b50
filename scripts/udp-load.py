#!/usr/bin/env python3
"""Runs scripts/measure-tunnel.sh --udp: direct, ss-local -u and the helper, to ss-server -u,
and other builds of the helper (a baseline), alternating within each round.

    udp-load.py compare UDP_LOAD HELPER [ROUNDS [OTHER_HELPER...]]

UDP_LOAD is bench/tunnel/udp_load's build: the echo server and the clients that measure a path
to it, straight or through a SOCKS5 proxy's UDP ASSOCIATE.
"""
import importlib.util
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

_spec = importlib.util.spec_from_file_location(
    "tunnel_load", os.path.join(os.path.dirname(os.path.abspath(__file__)), "tunnel-load.py"))
tunnel_load = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(tunnel_load)

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


def socket_inodes(pid):
    inodes = set()
    folder = "/proc/%d/fd" % pid
    for name in os.listdir(folder):
        try:
            target = os.readlink(os.path.join(folder, name))
        except OSError:
            continue
        if target.startswith("socket:["):
            inodes.add(target[8:-1])
    return inodes


def udp_drops():
    """Each UDP socket's count of datagrams its full receive buffer refused, by inode."""
    drops = {}
    for table in ("/proc/net/udp", "/proc/net/udp6"):
        with open(table) as rows:
            next(rows)
            for row in rows:
                fields = row.split()
                drops[fields[9]] = int(fields[-1])
    return drops


class DropWatch:
    """Counts what the sockets of some processes drop while a load runs. A socket's count
    goes with it when it closes, so the counts are sampled throughout and the last seen kept."""

    def __init__(self, processes):
        self.pids = {name: process.popen.pid for name, process in processes.items()}
        self.seen = {name: {} for name in processes}
        self.done = threading.Event()
        self.sample()
        self.before = {name: dict(seen) for name, seen in self.seen.items()}
        self.thread = threading.Thread(target=self.run)
        self.thread.start()

    def sample(self):
        drops = udp_drops()
        for name, pid in self.pids.items():
            for inode in socket_inodes(pid) & drops.keys():
                self.seen[name][inode] = drops[inode]

    def run(self):
        while not self.done.wait(0.05):
            self.sample()

    def stop(self):
        self.done.set()
        self.thread.join()
        self.sample()
        return {name: sum(count - self.before[name].get(inode, 0)
                          for inode, count in seen.items())
                for name, seen in self.seen.items()}


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
    os.makedirs(folder)
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


def run_load(load, *arguments):
    done = subprocess.run([load, *map(str, arguments)], capture_output=True, text=True)
    if done.returncode != 0:
        raise RuntimeError("udp_load %s failed: %s" % (" ".join(map(str, arguments)),
                                                      done.stderr.strip()))
    return done.stdout.split()


def compare(load, helper, rounds, others=(), rate=20000, seconds=10):
    password = "measure-udp-password"
    method = "chacha20-ietf-poly1305"
    folder = tempfile.mkdtemp(prefix="measure-udp-")
    started = []
    try:
        echo_server = Process([load, "echo"])
        started.append(echo_server)
        servers = []
        for _ in range(2 + len(others)):
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
        started += [*servers, local]
        programs = [helper, *others]
        helpers = [start_helper(program, "%s/%d" % (folder, index), servers[1 + index].port,
                                password) for index, program in enumerate(programs)]
        started += helpers
        paths = {
            "(a) direct": ("direct:%d" % echo_server.port, None, None),
            "(b) ss-local -u -> ss-server -u": ("socks:%d:%d" % (local.port, echo_server.port),
                                                local, servers[0]),
        }
        for index, corvane in enumerate(helpers):
            name = ("(c) corvane helper" if index == 0 else
                    "(%s) %s" % (chr(ord("c") + index), os.path.basename(programs[index])))
            paths[name + " -> ss-server -u"] = (
                "socks:%d:%d" % (corvane.port, echo_server.port), corvane, servers[1 + index])
        results = {name: {"median": [], "p99": [], "loss": [], "client": [], "server": [],
                          "cpu": []} for name in paths}
        for _ in range(rounds):
            figures = run_load(load, "rtt", 10000, *(path for path, _, _ in paths.values()))
            for index, name in enumerate(paths):
                results[name]["median"].append(float(figures[2 * index]))
                results[name]["p99"].append(float(figures[2 * index + 1]))
            for name, (path, client, server) in paths.items():
                before = client.cpu_seconds() if client else 0
                watch = DropWatch({"client": client, "server": server}) if client else None
                sent, answered = map(int, run_load(load, "flood", path, rate, seconds))
                results[name]["loss"].append(100 * (sent - answered) / sent)
                if client:
                    results[name]["cpu"].append(client.cpu_seconds() - before)
                    for end, dropped in watch.stop().items():
                        results[name][end].append(100 * dropped / sent)
        print("\n%s, %d rounds, medians (and range): RTT of 10,000 sequential 32-byte datagrams;"
              " loss and the client end's CPU at %d datagrams/s for %d s\n" % (
                  method, rounds, rate, seconds))
        print("| Path | median RTT µs | p99 RTT µs | loss % | dropped at the client end's "
              "sockets % | at ss-server's % | CPU s, client end | CPU µs per datagram |")
        print("|---|---|---|---|---|---|---|---|")
        for name, figures in results.items():
            figures["per"] = [cpu * 1e6 / (rate * seconds) for cpu in figures["cpu"]]
            print("| %s | %s |" % (name, tunnel_load.row(figures, {
                "median": "%.1f", "p99": "%.1f", "loss": "%.2f", "client": "%.2f",
                "server": "%.2f", "cpu": "%.2f", "per": "%.1f"})))
    finally:
        for process in started:
            process.stop()
        shutil.rmtree(folder, ignore_errors=True)


def main():
    if len(sys.argv) < 4 or sys.argv[1] != "compare":
        sys.exit(__doc__)
    compare(sys.argv[2], sys.argv[3], int(sys.argv[4]) if len(sys.argv) > 4 else 3, sys.argv[5:])


if __name__ == "__main__":
    main()
