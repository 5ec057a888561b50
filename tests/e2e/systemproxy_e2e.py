#!/usr/bin/env python3
"""The system proxy mode against the real thing: corvanectl, the helper and the window on a
private D-Bus session with dconf, read by a headless Firefox ESR with a fresh profile at its
default (network.proxy.type 5, the system's settings).

The page is outside loopback, since ignore-hosts and browsers send loopback direct: the demo
service, its relay and the page run in a network namespace of this test's own, reached over a
veth pair on 198.18.0.0/30 (a benchmarking range, outside ignore-hosts). Inside it the relay
leaves from its exit address (on the namespace's loopback), so the page tells a request through the tunnel
from a direct one (198.18.0.1). Needs root; exits 77 (a skip) without it or the tools.
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
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

SKIP = 77
OUTSIDE, INSIDE = "198.18.0.1", "198.18.0.2"
PAGE_PORT = 8080
SCHEMA = "org.gnome.system.proxy"
# Firefox's own services stay quiet or call a closed port on loopback (they would reach outside);
# its proxy settings stay at their default.
QUIET = """app.update.auto app.normandy.enabled browser.safebrowsing.malware.enabled
    browser.safebrowsing.phishing.enabled browser.safebrowsing.downloads.enabled
    datareporting.healthreport.uploadEnabled datareporting.policy.dataSubmissionEnabled
    network.captive-portal-service.enabled network.connectivity-service.enabled
    dom.push.connection.enabled extensions.update.enabled toolkit.telemetry.enabled
    network.prefetch-next browser.region.update.enabled browser.newtabpage.enabled""".split()
NOWHERE = """browser.region.network.url services.settings.server geo.provider.network.url
    browser.safebrowsing.provider.mozilla.updateURL""".split()


class Failure(Exception):
    pass


def say(line):
    print(line, flush=True)


def wait_for(what, probe, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = probe()
        if found:
            return found
        time.sleep(0.1)
    raise Failure(f"gave up after {seconds} s waiting for {what}")


def serve_inside(ports):
    """In the namespace: the page, which answers with who asked, and the demo service's ports
    forwarded from the veth address to its loopback."""
    class Page(BaseHTTPRequestHandler):
        def do_GET(self):
            body = self.client_address[0].encode()
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            print(f"{self.path} {self.client_address[0]}", flush=True)

        def log_message(self, *_):
            pass

    def pump(src, dst):
        try:
            while data := src.recv(65536):
                dst.sendall(data)
        except OSError:
            pass
        for s in (src, dst):
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    def forward(port):
        listener = socket.create_server((INSIDE, port))
        while True:
            client, _ = listener.accept()
            upstream = socket.create_connection(("127.0.0.1", port))
            for a, b in ((client, upstream), (upstream, client)):
                threading.Thread(target=pump, args=(a, b), daemon=True).start()

    for port in ports:
        threading.Thread(target=forward, args=(int(port),), daemon=True).start()
    print("ready", flush=True)
    ThreadingHTTPServer((INSIDE, PAGE_PORT), Page).serve_forever()


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def sh(*command, **options):
    return subprocess.run(command, check=True, capture_output=True, text=True, **options).stdout


class Run:
    def __init__(self, args, home, namespace):
        self.bin = args.bin_dir
        self.namespace = namespace
        self.children = []
        inside = ["ip", "netns", "exec", namespace]
        # Its relay says each tunnel's exit address there.
        self.service_log = os.path.join(home, "service.log")
        self.service = self.start(inside + [os.path.join(self.bin, "corvane-demo-service"),
                                            "--port", "0"], stderr=open(self.service_log, "w"))
        url = self.service.stdout.readline().split()[-1]
        relay = self.service.stdout.readline().strip().rsplit(":", 1)[1]
        plain = self.service.stdout.readline().strip().rsplit(":", 1)[1]
        self.mobile, self.password = self.service.stdout.readline().split()[1:4:2]
        port = url.rsplit(":", 1)[1]
        self.page = self.start(inside + [sys.executable, __file__, "--inside", port, relay, plain])
        if self.page.stdout.readline().strip() != "ready":
            raise Failure("the namespace's servers did not start")
        rules = os.path.join(home, "rules")
        os.makedirs(rules)
        with open(os.path.join(rules, "rules.json"), "w") as f:
            f.write('{"rules": [{"type": "final", "action": "proxy"}]}')
        os.makedirs(os.path.join(home, "config", "corvane"), 0o700)
        with open(os.path.join(home, "config", "corvane", "settings.json"), "w") as f:
            # Fixed, as a person's are: a change of IP keeps them, and so keeps the setting.
            f.write(json.dumps({"socksPort": free_port(), "httpProxyPort": free_port()}))
        service = f"http://{INSIDE}:{port}"
        self.env = dict(os.environ, XDG_DATA_HOME=f"{home}/data", XDG_CONFIG_HOME=f"{home}/config",
                        XDG_RUNTIME_DIR=f"{home}/runtime", HOME=home, QT_QPA_PLATFORM="offscreen",
                        CORVANE_TUNNEL_HELPER=os.path.join(self.bin, "corvane-tunnel-helper"),
                        CORVANE_SERVICE_URL=service, CORVANE_LOOKUP_URL=service,
                        CORVANE_TUNNEL_HOST=INSIDE, CORVANE_TUNNEL_PORT=relay,
                        CORVANE_RELAY_HOST=INSIDE, CORVANE_RELAY_PORT=plain,
                        CORVANE_RULES_DIR=rules)
        for folder in ("data", "runtime"):
            os.mkdir(os.path.join(home, folder), 0o700)
        self.home, self.pages = home, 0

    def start(self, command, **options):
        child = subprocess.Popen(command, stdout=subprocess.PIPE, text=True, **options)
        self.children.append(child)
        return child

    def ctl(self, *arguments, stdin=None):
        done = subprocess.run([os.path.join(self.bin, "corvanectl"), *arguments], env=self.env,
                              input=stdin, capture_output=True, text=True, timeout=90)
        if done.returncode != 0:
            raise Failure(f"corvanectl {' '.join(arguments)} exited {done.returncode}: "
                          f"{done.stderr}")
        return done.stdout

    def gsettings(self, *arguments):
        return sh("gsettings", *arguments, env=self.env).strip()

    def firefox(self):
        """Who the page saw asking, for one load by a headless Firefox with a fresh profile."""
        self.pages += 1
        path = f"/page-{self.pages}"
        profile = tempfile.mkdtemp(dir=self.home)
        with open(os.path.join(profile, "user.js"), "w") as f:
            f.writelines([f'user_pref("{p}", false);\n' for p in QUIET] +
                         [f'user_pref("{p}", "http://127.0.0.1:9/");\n' for p in NOWHERE])
        subprocess.run(["firefox-esr", "--headless", "--no-remote", "--profile", profile,
                        "--screenshot", os.path.join(profile, "shot.png"),
                        f"http://{INSIDE}:{PAGE_PORT}{path}"],
                       env=dict(self.env, XDG_CURRENT_DESKTOP="GNOME"), timeout=120,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        while line := self.page.stdout.readline():
            asked, who = line.split()
            if asked == path:
                return who
        raise Failure("the page's server ended")

    def helper_pid(self):
        """The helper on this test's channel, found by its command line."""
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                words = open(f"/proc/{pid}/cmdline", "rb").read().split(b"\0")
            except OSError:
                continue
            if words[0].endswith(b"corvane-tunnel-helper") and \
                    any(w.startswith(self.env["XDG_RUNTIME_DIR"].encode()) for w in words):
                return int(pid)
        return None

    def close(self):
        for child in reversed(self.children):
            if child.poll() is None:
                child.kill()
            child.wait()
        if pid := self.helper_pid():
            os.kill(pid, signal.SIGKILL)


def holds_journal(pid):
    try:
        return any(os.readlink(f"/proc/{pid}/fd/{fd}").endswith("system-proxy.journal.in-use")
                   for fd in os.listdir(f"/proc/{pid}/fd"))
    except OSError:
        return False


def walk(run):
    mode = lambda: run.gsettings("get", SCHEMA, "mode")
    dump = lambda: run.gsettings("list-recursively", SCHEMA)
    before = dump()
    run.ctl("login", "--mobile", run.mobile, "--password-stdin", stdin=run.password + "\n")
    orders = json.loads(run.ctl("orders", "--json"))["orders"]
    order = next(o["orderId"] for o in orders if o["kind"] == "bandwidth")
    if json.loads(run.ctl("mode", "system", "--json"))["mode"] != "system":
        raise Failure("corvanectl mode system did not keep it")

    say("connect, and corvanectl exits before the tunnel is up: the helper points the desktop")
    run.ctl("connect", "--order", order)
    wait_for("mode 'manual'", lambda: mode() == "'manual'")
    http = run.gsettings("get", SCHEMA + ".http", "port")
    ignored = run.gsettings("get", SCHEMA, "ignore-hosts")
    say(f"  mode 'manual', http port {http}, ignore-hosts {ignored}")
    seen = run.firefox()
    say(f"  Firefox through the tunnel: the page saw {seen}")
    with open(run.service_log) as log:
        if f"exit address {seen}\n" not in log.read():
            raise Failure(f"the page saw {seen}, not the relay's exit address")

    say("change IP: the setting never goes back meanwhile")
    monitor = run.start(["stdbuf", "-oL", "gsettings", "monitor", SCHEMA, "mode"], env=run.env)
    run.ctl("change-ip", "--wait")
    monitor.send_signal(signal.SIGTERM)
    changes = monitor.communicate()[0]
    if changes.strip():
        raise Failure(f"the mode changed during the change of IP: {changes!r}")

    say("disconnect: given back byte for byte, and Firefox goes direct")
    run.ctl("disconnect")
    wait_for("the settings given back", lambda: dump() == before)
    seen = run.firefox()
    say(f"  Firefox after disconnect: the page saw {seen}")
    if seen != OUTSIDE:
        raise Failure(f"the page saw {seen}, not this machine's {OUTSIDE}")

    say("a person's own proxy, then kill -9 of the window and the helper while on")
    run.gsettings("set", SCHEMA + ".http", "host", "own.proxy.test")
    run.gsettings("set", SCHEMA, "mode", "'manual'")
    own = dump()
    run.ctl("connect", "--order", order, "--wait")
    wait_for("the tunnel's port", lambda: run.gsettings("get", SCHEMA + ".http", "host") ==
             "'127.0.0.1'")
    window = run.start([os.path.join(run.bin, "corvane")], env=run.env)
    wait_for("the window following the setting", lambda: holds_journal(window.pid))
    window.kill()
    os.kill(run.helper_pid(), signal.SIGKILL)
    window.wait()
    run.ctl("status")
    after = dump()
    say(f"  after corvanectl status: mode {mode()}, http host "
        f"{run.gsettings('get', SCHEMA + '.http', 'host')}")
    if after != own:
        raise Failure(f"the person's settings were not given back:\n{after}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin-dir")
    parser.add_argument("--inside", nargs="+")
    parser.add_argument("--in-session", action="store_true")
    args = parser.parse_args()
    if args.inside:
        return serve_inside(args.inside)
    if os.geteuid() != 0:
        say("skipped: network namespaces need root")
        return SKIP
    missing = [t for t in ("ip", "firefox-esr", "dbus-run-session", "gsettings")
               if not shutil.which(t)]
    if missing or not os.path.exists("/usr/libexec/dconf-service"):
        say(f"skipped: missing {', '.join(missing) or 'dconf-service'}")
        return SKIP
    if not args.in_session:
        home = tempfile.mkdtemp(prefix="corvane-sp-")
        env = dict(os.environ, GSETTINGS_BACKEND="dconf", XDG_CONFIG_HOME=f"{home}/config",
                   HOME=home, TMPDIR=home)
        return subprocess.run(["dbus-run-session", "--", sys.executable, __file__, "--bin-dir",
                               args.bin_dir, "--in-session"], env=env).returncode
    if SCHEMA not in sh("gsettings", "list-schemas"):
        say(f"skipped: the schema {SCHEMA} is not installed")
        return SKIP
    namespace = f"corvane-sp-{os.getpid()}"
    outer, inner = f"csp{os.getpid() % 100000}a", f"csp{os.getpid() % 100000}b"
    sh("ip", "netns", "add", namespace)
    run = None
    try:
        sh("ip", "link", "add", outer, "type", "veth", "peer", "name", inner)
        sh("ip", "link", "set", inner, "netns", namespace)
        sh("ip", "addr", "add", f"{OUTSIDE}/30", "dev", outer)
        sh("ip", "link", "set", outer, "up")
        for command in (("addr", "add", f"{INSIDE}/30", "dev", inner), ("link", "set", inner, "up"),
                        ("link", "set", "lo", "up")):
            sh("ip", "netns", "exec", namespace, "ip", *command)
        run = Run(args, os.environ["HOME"], namespace)
        walk(run)
        say("passed")
        return 0
    except Failure as failure:
        say(f"FAILED: {failure}")
        return 1
    finally:
        if run:
            run.close()
        # Deleting the namespace takes its end of the pair, and the pair with it.
        subprocess.run(["ip", "netns", "del", namespace])
        subprocess.run(["ip", "link", "del", outer], stderr=subprocess.DEVNULL)


if __name__ == "__main__":
    sys.exit(main())
