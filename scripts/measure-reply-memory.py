#!/usr/bin/env python3
"""Peak resident memory of corvanectl and the window while a server sends an endless body.

Starts a loopback server that answers every request with a chunked body that never ends, sent as
fast as the client takes it, and runs against it, each beside its baseline against the demo
service: `corvanectl login` (the sign-in), `corvanectl connect --wait` with the lookup pointed at
it (the public-address lookup), and `corvane --demo` whose demo service is the endless server
(the window's sign-in). Prints VmHWM of each run in MB.

    scripts/measure-reply-memory.py BIN_DIR
"""
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time

CHUNK = b"10000\r\n" + b" " * 0x10000 + b"\r\n"
HEAD = b"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n"


def endless_server():
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)

    def serve(client):
        try:
            client.recv(65536)
            client.sendall(HEAD)
            while True:
                client.sendall(CHUNK)
        except OSError:
            pass
        finally:
            client.close()

    def accept():
        while True:
            client, _ = listener.accept()
            threading.Thread(target=serve, args=(client,), daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()
    return "http://127.0.0.1:%d" % listener.getsockname()[1]


def peak_mb(command, env, stdin=None, timeout=120):
    """Runs `command` and samples its VmHWM until it ends; returns (MB, exit code)."""
    process = subprocess.Popen(command, env=env, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    if stdin is not None:
        process.stdin.write(stdin.encode())
    process.stdin.close()
    peak = 0
    started = time.time()
    while process.poll() is None and time.time() - started < timeout:
        try:
            with open("/proc/%d/status" % process.pid) as status:
                for line in status:
                    if line.startswith("VmHWM:"):
                        peak = max(peak, int(line.split()[1]))
        except OSError:
            pass
        time.sleep(0.005)
    if process.poll() is None:
        process.kill()
    return peak / 1024.0, process.wait()


RELAY_PORT = "0"


def home(bin_dir, service):
    root = tempfile.mkdtemp(prefix="corvane-memory-")
    for folder in ("data", "config", "run", "config/corvane"):
        os.mkdir(os.path.join(root, folder), 0o700)
    with open(root + "/config/corvane/settings.json", "w") as settings:
        settings.write('{"socksPort": 0, "httpProxyPort": 0}')
    env = dict(os.environ, XDG_DATA_HOME=root + "/data", XDG_CONFIG_HOME=root + "/config",
               XDG_RUNTIME_DIR=root + "/run", CORVANE_SERVICE_URL=service,
               CORVANE_LOOKUP_URL=service, CORVANE_TUNNEL_HOST="127.0.0.1",
               CORVANE_TUNNEL_PORT=RELAY_PORT, QT_QPA_PLATFORM="offscreen",
               CORVANE_TUNNEL_HELPER=bin_dir + "/corvane-tunnel-helper",
               DBUS_SESSION_BUS_ADDRESS="unix:path=/nonexistent")
    return env


def main():
    bin_dir = os.path.abspath(sys.argv[1])
    ctl = bin_dir + "/corvanectl"
    endless = endless_server()
    demo = subprocess.Popen([bin_dir + "/corvane-demo-service", "--port", "0"],
                            stdout=subprocess.PIPE, text=True)
    real = demo.stdout.readline().strip()[len("listening on "):]
    global RELAY_PORT
    RELAY_PORT = demo.stdout.readline().strip().rsplit(":", 1)[1]
    login = [ctl, "login", "--mobile", "13800000001", "--password-stdin"]
    rows = []

    rows.append(("sign-in (corvanectl login)", peak_mb(login, home(bin_dir, real), "corvane1\n"),
                 peak_mb(login, home(bin_dir, endless), "corvane1\n")))

    connect = [ctl, "connect", "--order", "D1Q", "--wait"]
    baseline_env = home(bin_dir, real)
    subprocess.run(login, env=baseline_env, input="corvane1\n", text=True, capture_output=True)
    baseline = peak_mb(connect, baseline_env)
    subprocess.run([ctl, "disconnect"], env=baseline_env, capture_output=True)
    lookup_env = home(bin_dir, real)
    subprocess.run(login, env=lookup_env, input="corvane1\n", text=True, capture_output=True)
    lookup_env["CORVANE_LOOKUP_URL"] = endless
    rows.append(("lookup (connect --wait)", baseline, peak_mb(connect, lookup_env)))
    subprocess.run([ctl, "disconnect"], env=lookup_env, capture_output=True)

    fake = tempfile.NamedTemporaryFile("w", suffix=".sh", delete=False)
    fake.write("#!/bin/sh\necho 'listening on %s'\nexec sleep 600\n" % endless)
    fake.close()
    os.chmod(fake.name, 0o755)
    window = [bin_dir + "/corvane", "--demo"]
    window_env = home(bin_dir, real)
    window_env["CORVANE_DEMO_SERVICE"] = fake.name
    rows.append(("window (corvane --demo)", peak_mb(window, home(bin_dir, real)),
                 peak_mb(window, window_env)))

    demo.kill()
    print("%-28s %14s %14s %6s" % ("run", "baseline MB", "endless MB", "exit"))
    for name, (base, _), (peak, code) in rows:
        print("%-28s %14.1f %14.1f %6d" % (name, base, peak, code))


if __name__ == "__main__":
    main()
