#!/usr/bin/env python3
"""What `corvanectl change-ip --wait` adds to the road's own waits.

Runs two builds side by side against their own demo service and stand-in helper (a baseline and
the build to measure, alternating so both see the same load) and prints, per build, the wall time
of each change minus the three 1.0 s steps (stop, reconnect, lookup) and minus the helper's own
time from launch to "connected", taken from its channel files' timestamps.

    scripts/measure-change-ip.py BASELINE_BIN_DIR BIN_DIR [ROUNDS]
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

STEPS = 3 * 1.0


class Road:
    def __init__(self, bin_dir):
        self.bin_dir = bin_dir
        self.home = tempfile.mkdtemp(prefix="corvane-measure-")
        for folder in ("data", "config", "run"):
            os.mkdir(os.path.join(self.home, folder), 0o700)
        self.service = subprocess.Popen([bin_dir + "/corvane-demo-service", "--port", "0"],
                                        stdout=subprocess.PIPE, text=True)
        url = self.service.stdout.readline().strip()[len("listening on "):]
        relay_port = self.service.stdout.readline().strip().rsplit(":", 1)[1]
        # The two roads run side by side: their proxies take free ports.
        os.mkdir(self.home + "/config/corvane", 0o700)
        with open(self.home + "/config/corvane/settings.json", "w") as settings:
            settings.write('{"socksPort": 0, "httpProxyPort": 0}')
        self.env = dict(os.environ, XDG_DATA_HOME=self.home + "/data",
                        XDG_CONFIG_HOME=self.home + "/config", XDG_RUNTIME_DIR=self.home + "/run",
                        CORVANE_SERVICE_URL=url, CORVANE_LOOKUP_URL=url,
                        CORVANE_TUNNEL_HOST="127.0.0.1", CORVANE_TUNNEL_PORT=relay_port,
                        CORVANE_TUNNEL_HELPER=bin_dir + "/corvane-tunnel-helper")
        # No keyring: the password stays in the settings file of this throwaway home.
        self.env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        self.ctl("login", "--mobile", "13800000001", "--password-stdin", stdin="corvane1\n")
        self.ctl("connect", "--order", "D1Q", "--wait")
        self.overheads = []

    def ctl(self, *arguments, stdin=None):
        run = subprocess.run([self.bin_dir + "/corvanectl", *arguments], env=self.env,
                             input=stdin, capture_output=True, text=True)
        if run.returncode != 0:
            sys.exit("corvanectl %s failed: %s" % (" ".join(arguments), run.stderr))

    def change(self):
        started = time.monotonic()
        self.ctl("change-ip", "--wait", "--json")
        wall = time.monotonic() - started
        channels = self.home + "/run/corvane/"
        owner = next(name for name in os.listdir(channels) if name.endswith(".owner"))
        helper = (os.stat(channels + owner[:-len(".owner")] + ".status").st_mtime -
                  os.stat(channels + owner).st_mtime)
        self.overheads.append((wall - STEPS - helper) * 1000)

    def close(self):
        self.ctl("disconnect")
        self.service.kill()


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 15
    roads = [Road(sys.argv[1]), Road(sys.argv[2])]
    try:
        for _ in range(rounds):
            for road in roads:
                road.change()
    finally:
        for road in roads:
            road.close()
    print("| build | median ms | min | max | runs |")
    print("|---|---|---|---|---|")
    for name, road in zip(("baseline", "measured"), roads):
        values = road.overheads
        print("| %s | %.1f | %.1f | %.1f | %d |" % (name, statistics.median(values), min(values),
                                                   max(values), len(values)))


if __name__ == "__main__":
    main()
