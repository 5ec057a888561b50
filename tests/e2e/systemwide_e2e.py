#!/usr/bin/env python3
"""The system-wide mode against the real thing: corvane-netd on a private bus with the real
polkitd, the tunnel helper with --system-wide, Debian's ss-server as the relay, and curl with no
proxy setting at all.

Two network namespaces of this test's own: "machine" (10.99.0.2, its default route via the
veth) holds the bus, the service and the helper; "world" (10.99.0.1) holds the relay on
198.51.100.7, a page on 203.0.113.80 that answers with the address it was reached from, and
dnsmasq, both as the rules document's DNS server (203.0.113.53) and as the machine's own resolver
on the LAN (10.99.0.1, named in the machine's resolv.conf). The page must see the relay's side,
never the machine's own address; a destination the rules send direct (10.99.0.1, a private
range) must see the machine's; every DNS query, over UDP and TCP and even to the LAN's
resolver, must reach the DNS server from the relay's side only; with the relay gone nothing may
leave; once the helper stops, the machine's rules, routes and firewall are as before. Needs
root; exits 77 (a skip) without it or the tools.
"""

import argparse
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

SKIP = 77
MACHINE, WORLD = f"corvane-swm-{os.getpid()}", f"corvane-sww-{os.getpid()}"
MACHINE_ADDRESS, WORLD_ADDRESS = "10.99.0.2", "10.99.0.1"
RELAY, PAGE, DNS = "198.51.100.7", "203.0.113.80", "203.0.113.53"
# The machine's own global IPv6 address, and a page on the world's side that sees who calls.
MACHINE6, WORLD6, PAGE6 = "2001:db8:99::2", "2001:db8:99::1", "2001:db8:80::80"
NAME = "page.corvane.test"
RELAY_PORT, PAGE_PORT = 8388, 8080
PASSWORD = "system-wide-road"
POLKITD = "/usr/lib/polkit-1/polkitd"
BIG = 8 * 1024 * 1024

PAGE_SERVER = r"""
import socket, sys
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
if ":" in sys.argv[1]:
    ThreadingHTTPServer.address_family = socket.AF_INET6
log = open(sys.argv[3], "a", buffering=1)
class Page(BaseHTTPRequestHandler):
    def do_GET(self):
        log.write(self.client_address[0] + "\n")
        body = b"x" * int(sys.argv[4]) if self.path == "/big" else self.client_address[0].encode()
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    def log_message(self, *args):
        pass
ThreadingHTTPServer((sys.argv[1], int(sys.argv[2])), Page).serve_forever()
"""

# Answers each datagram with the address it came from.
UDP_ECHO = r"""
import socket, sys
echo = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
echo.bind((sys.argv[1], int(sys.argv[2])))
while True:
    data, sender = echo.recvfrom(65535)
    echo.sendto(sender[0].encode(), sender)
"""

UDP_CLIENT = r"""
import socket, sys
client = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
client.settimeout(3)
client.sendto(b"who am I", (sys.argv[1], int(sys.argv[2])))
try:
    print(client.recv(100).decode())
except socket.timeout:
    print("no answer")
"""
ECHO_PORT = 9999

BUS_CONFIG = """<busconfig>
  <listen>{address}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <deny own="*"/>
    <deny send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"/>
    <allow send_destination="org.freedesktop.PolicyKit1"/>
  </policy>
  <policy user="polkitd"><allow own="org.freedesktop.PolicyKit1"/></policy>
  <include>{policy}</include>
</busconfig>
"""


class Failure(Exception):
    pass


def say(line):
    print(line, flush=True)


def run(*command, namespace=MACHINE, check=True):
    result = subprocess.run(["ip", "netns", "exec", namespace, *command], capture_output=True,
                            text=True, timeout=60)
    if check and result.returncode != 0:
        raise Failure(f"{' '.join(command)} failed: {result.stderr.strip()}")
    return result.stdout


def wait_for(what, probe, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = probe()
        if found:
            return found
        time.sleep(0.1)
    raise Failure(f"gave up after {seconds} s waiting for {what}")


def snapshot():
    return run("sh", "-c", "ip rule; ip -6 rule; ip route show table all;"
               " ip -6 route show table all; nft list ruleset")


def fetch(url, seconds=10):
    """What curl, knowing nothing of proxies, got from the machine: (exit code, body)."""
    result = subprocess.run(["ip", "netns", "exec", MACHINE, "curl", "-sS", "--noproxy", "*",
                             "--max-time", str(seconds), url], capture_output=True, timeout=60)
    return result.returncode, result.stdout


class Road:
    def __init__(self, build, source):
        self.build, self.source = build, source
        self.scratch = tempfile.mkdtemp(prefix="corvane-systemwide-")
        os.chmod(self.scratch, 0o755)
        self.processes = {}
        self.page_log = os.path.join(self.scratch, "page.log")

    def start(self, name, command, namespace=MACHINE, environment=None):
        log = open(os.path.join(self.scratch, name + ".log"), "w")
        self.processes[name] = subprocess.Popen(
            ["ip", "netns", "exec", namespace, *command], stdout=log, stderr=subprocess.STDOUT,
            env={**os.environ, **(environment or {})}, start_new_session=True)

    def stop(self, name, how=signal.SIGTERM):
        process = self.processes.pop(name, None)
        if process and process.poll() is None:
            os.killpg(process.pid, how)
            process.wait(timeout=30)

    def log(self, name):
        with open(os.path.join(self.scratch, name + ".log")) as text:
            return text.read()

    def networks(self):
        subprocess.run(["ip", "netns", "add", MACHINE], check=True)
        # ip netns exec puts this over /etc/resolv.conf for everything run in the machine.
        os.makedirs(f"/etc/netns/{MACHINE}", exist_ok=True)
        with open(f"/etc/netns/{MACHINE}/resolv.conf", "w") as resolv:
            resolv.write(f"nameserver {WORLD_ADDRESS}\n")
        subprocess.run(["ip", "netns", "add", WORLD], check=True)
        for command in (
                f"ip link add m0 netns {MACHINE} type veth peer name w0 netns {WORLD}",
                f"ip -n {MACHINE} link set lo up", f"ip -n {WORLD} link set lo up",
                f"ip -n {MACHINE} addr add {MACHINE_ADDRESS}/24 dev m0",
                f"ip -n {WORLD} addr add {WORLD_ADDRESS}/24 dev w0",
                f"ip -n {MACHINE} link set m0 addrgenmode none",
                f"ip -n {WORLD} link set w0 addrgenmode none",
                f"ip -n {MACHINE} link set m0 up", f"ip -n {WORLD} link set w0 up",
                f"ip -n {MACHINE} route add default via {WORLD_ADDRESS}",
                f"ip -n {WORLD} addr add {RELAY}/32 dev lo",
                f"ip -n {WORLD} addr add {PAGE}/32 dev lo",
                f"ip -n {WORLD} addr add {DNS}/32 dev lo",
                f"ip -n {MACHINE} -6 addr add {MACHINE6}/64 dev m0 nodad",
                f"ip -n {WORLD} -6 addr add {WORLD6}/64 dev w0 nodad",
                f"ip -n {WORLD} -6 addr add {PAGE6}/128 dev lo",
                f"ip -n {MACHINE} -6 route add default via {WORLD6}"):
            subprocess.run(command.split(), check=True)

    def world(self, log_dns=True):
        for host in (PAGE, WORLD_ADDRESS, PAGE6):
            self.start(f"page-{host}", [sys.executable, "-c", PAGE_SERVER, host, str(PAGE_PORT),
                                        self.page_log, str(BIG)], namespace=WORLD)
        self.start("echo", [sys.executable, "-c", UDP_ECHO, PAGE, str(ECHO_PORT)],
                   namespace=WORLD)
        self.dns_log = os.path.join(self.scratch, "dns.log")
        # dnsmasq's log of a query over TCP costs it some 5 ms, more than the rest of the way.
        logging = ["--log-queries=extra", f"--log-facility={self.dns_log}"] if log_dns else []
        self.start("dns", ["dnsmasq", "--keep-in-foreground", "--no-resolv", "--no-hosts",
                           "--bind-interfaces", f"--listen-address={DNS},{WORLD_ADDRESS}",
                           "--port=53", f"--address=/{NAME}/{PAGE}", *logging, "--user=root"],
                   namespace=WORLD)
        wait_for("dnsmasq", lambda: f"{DNS}:53" in run("ss", "-Hlun", namespace=WORLD))
        self.relay()

    def relay(self):
        self.start("relay", ["ss-server", "-u", "-s", RELAY, "-p", str(RELAY_PORT), "-k",
                             PASSWORD, "-m", "chacha20-ietf-poly1305"], namespace=WORLD)
        wait_for("the relay", lambda: f"{RELAY}:{RELAY_PORT}" in run(
            "ss", "-Hltn", namespace=WORLD))

    def service(self):
        self.bus = "unix:path=" + os.path.join(self.scratch, "bus")
        config = os.path.join(self.scratch, "bus.conf")
        with open(config, "w") as text:
            text.write(BUS_CONFIG.format(address=self.bus, policy=os.path.join(
                self.source, "data/netd/com.corvane.Corvane.Network.conf")))
        self.start("bus", ["dbus-daemon", "--config-file", config, "--nofork"])
        wait_for("the bus", lambda: os.path.exists(os.path.join(self.scratch, "bus")))
        # polkitd reads its actions from one folder: this one's, in a mount namespace of its own.
        actions = os.path.join(self.scratch, "actions")
        os.mkdir(actions)
        os.chmod(actions, 0o755)
        shutil.copy(os.path.join(self.source, "data/netd/com.corvane.Corvane.system-wide.policy"),
                    actions)
        bus = {"DBUS_SYSTEM_BUS_ADDRESS": self.bus}
        self.start("polkitd", ["unshare", "--mount", "sh", "-c",
                               'mount --make-rprivate / && mount --bind "$0" '
                               '/usr/share/polkit-1/actions && exec "$1" --no-debug',
                               actions, POLKITD], environment=bus)
        self.start("netd", [os.path.join(self.build, "bin/corvane-netd")], environment=bus)
        wait_for("the service on the bus", lambda: all(name in run(
            "env", f"DBUS_SYSTEM_BUS_ADDRESS={self.bus}", "busctl", "--system", "list",
            "--no-pager", check=False) for name in ("org.freedesktop.PolicyKit1",
                                                    "com.corvane.Corvane.Network")))

    def helper(self, system_wide=True):
        channel = os.path.join(self.scratch, "run")
        os.makedirs(channel, 0o700, exist_ok=True)
        self.channel = os.path.join(channel, "road")
        with open(os.path.join(self.source, "resources/data/rules.json")) as rules:
            document = json.load(rules)
        document["dns"] = {"servers": [DNS]}
        document = json.dumps(document)
        with open(self.channel + ".conf", "w") as conf:
            json.dump({"ss_address": RELAY, "ss_port": RELAY_PORT,
                       "ss_method": "chacha20-ietf-poly1305", "ss_password": PASSWORD,
                       "ss_ip": "", "ss_auth": "", "json_conf": document}, conf)
        os.chmod(self.channel + ".conf", 0o600)
        self.start("helper", [os.path.join(self.build, "bin/corvane-tunnel-helper"), "--channel",
                              self.channel, *(["--system-wide"] if system_wide else []),
                              "--socks-port", "0", "--http-port", "0"],
                   environment={"DBUS_SYSTEM_BUS_ADDRESS": self.bus})

    def status(self):
        try:
            with open(self.channel + ".status") as text:
                return text.read().strip()
        except FileNotFoundError:
            return "gone"

    def close(self):
        for name in list(self.processes):
            self.stop(name, signal.SIGKILL)
        for namespace in (MACHINE, WORLD):
            subprocess.run(["ip", "netns", "delete", namespace], stderr=subprocess.DEVNULL)
        shutil.rmtree(f"/etc/netns/{MACHINE}", ignore_errors=True)
        shutil.rmtree(self.scratch, ignore_errors=True)


def seen_by_page(road):
    with open(road.page_log) as text:
        return text.read().split()


def expect_blocked(road, when):
    """A request now gets nowhere, and the page sees nobody."""
    open(road.page_log, "w").close()
    code, _ = fetch(f"http://{PAGE}:{PAGE_PORT}/", seconds=5)
    if code == 0 or seen_by_page(road):
        raise Failure(f"{when} a request went out: curl {code}, the page saw {seen_by_page(road)}")


def dns_askers(road):
    """Who dnsmasq says each query came from."""
    with open(road.dns_log) as text:
        return [line.split(" from ")[1].split()[0] for line in text if " from " in line]


def echoed():
    """What the world's UDP echo says the machine's datagram came from."""
    return run(sys.executable, "-c", UDP_CLIENT, PAGE, str(ECHO_PORT)).strip()


def dig(*options):
    result = subprocess.run(["ip", "netns", "exec", MACHINE, "dig", "+short", "+time=3",
                             "+tries=1", *options, NAME], capture_output=True, text=True,
                            timeout=60)
    return result.stdout.strip()


def walk(road):
    road.networks()
    road.world()
    road.service()
    before = snapshot()
    code, body = fetch(f"http://{PAGE}:{PAGE_PORT}/")
    if code != 0 or body.decode() != MACHINE_ADDRESS:
        raise Failure(f"without the mode the page should see {MACHINE_ADDRESS}: {code} {body!r}")
    code, body6 = fetch(f"http://[{PAGE6}]:{PAGE_PORT}/")
    if code != 0 or body6.decode() != MACHINE6:
        raise Failure(f"without the mode the IPv6 page should see {MACHINE6}: {code} {body6!r}")
    if echoed() != MACHINE_ADDRESS:
        raise Failure(f"without the mode the UDP echo should see {MACHINE_ADDRESS}")
    say(f"direct: the pages see {body.decode()} and {body6.decode()}, the UDP echo too")

    road.helper()
    wait_for("the tunnel to be up", lambda: road.status() == "connected")
    open(road.page_log, "w").close()
    for _ in range(20):
        code, body = fetch(f"http://{PAGE}:{PAGE_PORT}/")
        if code != 0 or body.decode() in ("", MACHINE_ADDRESS):
            raise Failure(f"through the mode: curl {code}, the page saw {body!r}")
    code, body = fetch(f"http://{PAGE}:{PAGE_PORT}/big", seconds=60)
    if code != 0 or body != b"x" * BIG:
        raise Failure(f"8 MiB through the mode: curl {code}, {len(body)} bytes")
    code, body = fetch(f"http://[{PAGE6}]:{PAGE_PORT}/")
    if code != 0 or body.decode() in ("", MACHINE6, MACHINE_ADDRESS):
        raise Failure(f"IPv6 through the mode: curl {code}, the page saw {body!r}")
    say(f"system-wide: 20 requests, 8 MiB and an IPv6 page with no proxy setting; the pages saw "
        f"{sorted(set(seen_by_page(road)))}")
    if {MACHINE_ADDRESS, MACHINE6} & set(seen_by_page(road)):
        raise Failure("a page saw the machine's own address while the mode was up")
    code, body = fetch(f"http://{WORLD_ADDRESS}:{PAGE_PORT}/")
    if code != 0 or body.decode() != MACHINE_ADDRESS:
        raise Failure(f"a direct destination should see {MACHINE_ADDRESS}: {code} {body!r}")
    seen = echoed()
    if seen in (MACHINE_ADDRESS, "no answer"):
        raise Failure(f"a datagram through the mode: the UDP echo saw {seen}")
    say(f"a datagram with no proxy setting reaches the UDP echo from {seen}")
    say("a destination the rules send direct sees the machine's own address")

    open(road.dns_log, "w").close()
    answers = [dig(), dig("+tcp"), dig(f"@{WORLD_ADDRESS}"), dig("@192.0.2.1")]
    if answers != [PAGE] * 4:
        raise Failure(f"dig through the mode (UDP, TCP, the LAN's resolver, any server): {answers}")
    code, body = fetch(f"http://{NAME}:{PAGE_PORT}/")
    if code != 0 or body.decode() in ("", MACHINE_ADDRESS):
        raise Failure(f"curl by name through the mode: {code} {body!r}")
    askers = dns_askers(road)
    if not askers or MACHINE_ADDRESS in askers:
        raise Failure(f"the DNS server should see the relay's side only: {askers}")
    say(f"DNS: dig over UDP and TCP, to the LAN's resolver and to any server, and curl by name "
        f"resolve through the relay; the DNS server saw {sorted(set(askers))}")

    road.stop("relay", signal.SIGKILL)
    expect_blocked(road, "with the relay gone")
    road.relay()
    wait_for("the helper to find its relay again", lambda: fetch(
        f"http://{PAGE}:{PAGE_PORT}/", seconds=5)[0] == 0, seconds=60)
    say("relay killed: traffic blocked while the helper tries, and carried again once the relay "
        "is back")

    road.stop("helper")
    road.stop("relay", signal.SIGKILL)
    road.helper()
    wait_for("a helper without its relay to give up", lambda: road.processes["helper"].poll()
             is not None, seconds=60)
    expect_blocked(road, "once the helper gave up")
    if not os.path.exists(road.channel + ".block"):
        raise Failure("the helper that gave up left no block behind")
    road.relay()
    road.helper()
    wait_for("the next tunnel", lambda: road.status() == "connected")
    code, body = fetch(f"http://{PAGE}:{PAGE_PORT}/")
    if code != 0 or body.decode() in ("", MACHINE_ADDRESS) or os.path.exists(
            road.channel + ".block"):
        raise Failure(f"the next tunnel should take the block over: curl {code}, {body!r}")
    say("a tunnel that gave up leaves traffic blocked; the next one takes the block over")

    # A change of address as the window makes it: hand-over and stop, then the next tunnel, on
    # the same device.
    device = run("cat", "/sys/class/net/corvane0/ifindex")
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as channel:
        channel.connect(road.channel + ".sock")
        channel.sendall(b"hand-over\nstop\n")
        handed_over = road.processes["helper"]
        wait_for("the handed-over helper to end", lambda: handed_over.poll() is not None)
    expect_blocked(road, "between the two tunnels of a change of address")
    road.helper()
    wait_for("the tunnel after the change of address", lambda: road.status() == "connected")
    code, body = fetch(f"http://{PAGE}:{PAGE_PORT}/")
    if code != 0 or body.decode() in ("", MACHINE_ADDRESS):
        raise Failure(f"after the change of address: curl {code}, {body!r}")
    if run("cat", "/sys/class/net/corvane0/ifindex") != device:
        raise Failure("the change of address made the device again")
    say("a change of address: nothing leaves between the two tunnels, the next carries traffic "
        "on the same device")

    road.stop("helper")
    if road.processes.get("netd") and road.processes["netd"].poll() is not None:
        raise Failure("corvane-netd ended: " + road.log("netd"))
    after = snapshot()
    if after != before:
        raise Failure("after the stop the machine differs:\n--- before\n" + before +
                      "--- after\n" + after)
    say("after the stop: ip rule, ip -6 rule, every route table and nft ruleset as before")

    road.helper()
    wait_for("the tunnel to be up again", lambda: road.status() == "connected")
    road.stop("helper", signal.SIGKILL)
    road.stop("netd", signal.SIGKILL)
    code, _ = fetch(f"http://{PAGE}:{PAGE_PORT}/", seconds=5)
    if code == 0:
        raise Failure("with the helper and the service killed a request went out")
    road.start("netd", [os.path.join(road.build, "bin/corvane-netd")],
               environment={"DBUS_SYSTEM_BUS_ADDRESS": road.bus})
    wait_for("the machine given back by the service's next start", lambda: snapshot() == before)
    say("kill -9 of helper and service: blocked meanwhile; the service's next start gives the "
        "machine back")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("source")
    arguments = parser.parse_args()
    if os.geteuid() != 0:
        say("skipped: needs root for network namespaces and a TUN device")
        return SKIP
    missing = [tool for tool in ("ip", "nft", "dbus-daemon", "busctl", "ss-server", "curl",
                                 "unshare", "dnsmasq", "dig") if not shutil.which(tool)]
    if missing or not os.path.exists(POLKITD) or not os.path.exists("/dev/net/tun"):
        say(f"skipped: missing {missing or POLKITD + ' or /dev/net/tun'}")
        return SKIP
    road = Road(os.path.abspath(arguments.build), os.path.abspath(arguments.source))
    try:
        walk(road)
    except Failure as failure:
        for name in ("helper", "netd"):
            if os.path.exists(os.path.join(road.scratch, name + ".log")):
                say(f"--- {name}'s log\n" + road.log(name))
        say(f"FAILED: {failure}")
        return 1
    finally:
        road.close()
    say("PASSED")
    return 0


if __name__ == "__main__":
    sys.exit(main())
