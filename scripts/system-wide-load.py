#!/usr/bin/env python3
"""Load for scripts/measure-system-wide.sh: the end-to-end road's two namespaces (a "machine"
with corvane-netd and the helper, a "world" with ss-server, dnsmasq and tunnel-load.py's origin),
and the same client programs run in the machine three ways, alternating within each round:
(a) direct, (b) the proxy mode (the helper's SOCKS5 port), (c) the system-wide mode (no proxy
setting at all). Prints one Markdown table of medians (and ranges).

    system-wide-load.py BUILD_DIR SOURCE_DIR [ROUNDS [BYTES]]
    system-wide-load.py dns SERVER COUNT    (run inside the machine) median and p99 ms of COUNT
                                            sequential queries
"""
import importlib.util
import os
import socket
import statistics
import struct
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import systemwide_e2e as road_e2e  # noqa: E402

LOAD = os.path.join(ROOT, "scripts", "tunnel-load.py")
_spec = importlib.util.spec_from_file_location("tunnel_load", LOAD)
tunnel_load = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(tunnel_load)
ORIGIN_PORT = 9000


def dns(server, count):
    name = b"".join(bytes([len(part)]) + part for part in road_e2e.NAME.encode().split(b".")) + b"\0"
    times = []
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sock:
        sock.settimeout(5)
        for number in range(count):
            query = struct.pack(">HHHHHH", number, 0x0100, 1, 0, 0, 0) + name + b"\0\1\0\1"
            start = time.monotonic()
            sock.sendto(query, (server, 53))
            while True:
                answer = sock.recv(4096)
                if answer[:2] == query[:2]:
                    break
            times.append((time.monotonic() - start) * 1000)
    times.sort()
    print("%.3f %.3f" % (statistics.median(times), times[int(len(times) * 0.99)]))


def inside(*arguments, script=LOAD):
    done = subprocess.run(["ip", "netns", "exec", road_e2e.MACHINE, sys.executable, script,
                           *map(str, arguments)], capture_output=True, text=True)
    if done.returncode != 0:
        raise RuntimeError(f"{' '.join(map(str, arguments))} failed: {done.stderr.strip()}")
    return [float(figure) for figure in done.stdout.split()]


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def up(road, system_wide):
    road.helper(system_wide)
    road_e2e.wait_for("the tunnel", lambda: road.status() == "connected")
    with open(road.channel + ".proxy") as proxy:
        return int(proxy.read().split()[1])


def measure(build, source, rounds, size):
    road = road_e2e.Road(build, source)
    keys = ("down", "up", "cpu", "ttfb", "p90", "dns", "dns99")
    results = {name: {key: [] for key in keys} for name in ("a", "b", "c")}
    try:
        road.networks()
        road.world(log_dns=False)
        road.start("origin", [sys.executable, LOAD, "origin", road_e2e.PAGE, str(ORIGIN_PORT)],
                   namespace=road_e2e.WORLD)
        road.service()
        direct = f"direct:{ORIGIN_PORT}:{road_e2e.PAGE}"
        for _ in range(rounds):
            for name in ("a", "b", "c"):
                figures = results[name]
                helper = None
                path = direct
                if name != "a":
                    port = up(road, system_wide=name == "c")
                    helper = road.processes["helper"].pid
                    if name == "b":
                        path = f"socks:{port}:{ORIGIN_PORT}:{road_e2e.PAGE}"
                before = cpu_seconds(helper) if helper else 0
                seconds = inside("bulk", path, size)[0]
                if helper:
                    figures["cpu"].append((cpu_seconds(helper) - before) / (size / 1e9))
                figures["down"].append(size / seconds / 1e6)
                figures["up"].append(size / inside("upload", path, size)[0] / 1e6)
                median, p90 = inside("ttfb", 1000, path)
                figures["ttfb"].append(median)
                figures["p90"].append(p90)
                # The proxy mode carries no datagrams of programs that do not ask it to.
                if name != "b":
                    median, p99 = inside("dns", road_e2e.WORLD_ADDRESS, 1000, script=__file__)
                    figures["dns"].append(median)
                    figures["dns99"].append(p99)
                if helper:
                    road.stop("helper")
    finally:
        road.close()
    titles = {"a": "(a) direct", "b": "(b) proxy mode (SOCKS5)", "c": "(c) system-wide"}
    forms = {"down": "%.0f", "up": "%.0f", "cpu": "%.2f", "ttfb": "%.3f", "p90": "%.3f",
             "dns": "%.3f", "dns99": "%.3f"}
    print(f"\n{rounds} rounds of {size / 1e9:g} GB each way, medians (and range):\n")
    print("| Path | download MB/s | upload MB/s | helper CPU s/GB (download) "
          "| first byte, median ms | p90 ms | DNS, median ms | p99 ms |")
    print("|---|---|---|---|---|---|---|---|")
    for name, figures in results.items():
        print(f"| {titles[name]} | {tunnel_load.row(figures, forms)} |")


def main():
    if sys.argv[1] == "dns":
        dns(sys.argv[2], int(sys.argv[3]))
        return
    measure(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]),
            int(sys.argv[3]) if len(sys.argv) > 3 else 3,
            int(sys.argv[4]) if len(sys.argv) > 4 else 1000000000)


if __name__ == "__main__":
    main()
