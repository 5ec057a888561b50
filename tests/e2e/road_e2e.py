#!/usr/bin/env python3
"""The whole road through the real corvane window, the real demo service and the real tunnel
helper, driven through the accessibility tree as a screen-reader user would drive it.

Runs itself under Xvfb with a private D-Bus session (xvfb-run, dbus-run-session). Exits 77 (a
skip for ctest) when pyatspi or those tools are missing.
"""

import argparse
import json
import os
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

SKIP = 77
STEP_SECONDS = 25
ADDRESS = re.compile(r"^当前IP：(\d+\.\d+\.\d+\.\d+)$")
PROXY = re.compile(r"^本地代理 socks5://127\.0\.0\.1:\d+ · http://127\.0\.0\.1:\d+"
                   r"(\n↑ \S+ \S+ ↓ \S+ \S+ · 本次 \S+ \S+)?$")


class Failure(Exception):
    pass


def say(line):
    print(line, flush=True)


def wait_for(what, probe, seconds=STEP_SECONDS):
    """Polls `probe` until it returns something true; fails naming `what` at the deadline."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            found = probe()
        except Exception:  # the tree changes under our feet; try again
            found = None
        if found:
            return found
        time.sleep(0.1)
    raise Failure(f"gave up after {seconds} s waiting for {what}")


class Window:
    """The accessible tree of one corvane process."""

    def __init__(self, pyatspi, pid):
        self.pyatspi = pyatspi
        self.pid = pid
        self.app = wait_for("corvane on the accessibility bus", self._find_app)

    def _find_app(self):
        desktop = self.pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == "corvane" and app.get_process_id() == self.pid:
                return app
        return None

    def all(self):
        # The client's cache of names and states follows the application's change events; under
        # load one can be missed, and the cache would then show a button's old name for good.
        self.app.clear_cache()
        found = []

        def walk(node):
            if node is None:
                return
            found.append(node)
            for i in range(node.childCount):
                walk(node.getChildAtIndex(i))

        walk(self.app)
        return found

    def find(self, role, name=None, match=None):
        for node in self.all():
            if node.getRoleName() != role:
                continue
            if name is not None and node.name != name:
                continue
            if match is not None and not match(node.name):
                continue
            if not node.getState().contains(self.pyatspi.STATE_SHOWING):
                continue
            return node
        return None

    def wait(self, what, role, name=None, match=None):
        return wait_for(what, lambda: self.find(role, name, match))

    def press(self, node, action="Press"):
        actions = node.queryAction()
        for i in range(actions.nActions):
            if actions.getName(i) == action:
                actions.doAction(i)
                return
        raise Failure(f"{node.getRoleName()} {node.name!r} cannot be pressed")

    def pick(self, item):
        """A list item is picked as a screen reader picks it: its toggle selects it."""
        self.press(item, "Toggle")

    def press_button(self, name=None, match=None):
        button = self.wait(f"the button {name or 'matching'}", "push button", name, match)
        self.press(button)
        return button

    def type_into(self, name, text):
        field = wait_for(f"the field {name}",
                         lambda: self.find("text", name) or self.find("password text", name))
        field.queryEditableText().setTextContents(text)

    def field_text(self, role, name):
        field = self.wait(f"the field {name}", role, name)
        text = field.queryText()
        return text.getText(0, -1)

    def address(self):
        label = self.find("label", match=lambda n: ADDRESS.match(n or ""))
        return ADDRESS.match(label.name).group(1) if label else None


def start_service(program, *options, log=None):
    """The demo service; its relays' ports go with the process (relay_port, plain_relay_port).
    With `log`, a file, its log lines go there."""
    service = subprocess.Popen([program, "--port", "0", *options], stdout=subprocess.PIPE,
                               stderr=log, text=True,
                               env=dict(os.environ, QT_FORCE_STDERR_LOGGING="1") if log else None)
    line = service.stdout.readline().strip()
    if not line.startswith("listening on "):
        service.kill()
        raise Failure(f"the demo service said {line!r}")
    service.relay_port = service.stdout.readline().strip().rsplit(":", 1)[1]
    service.plain_relay_port = service.stdout.readline().strip().rsplit(":", 1)[1]
    accounts = []
    for _ in range(3):
        parts = service.stdout.readline().split()
        accounts.append((parts[1], parts[3]))
    return service, line[len("listening on "):], accounts


def start_keyring(env):
    """An unlocked GNOME Keyring of our own on the private session bus, or None where it is not
    installed. Left to D-Bus activation it would ask, in a dialog nobody answers, for the
    password of a new keyring."""
    if not shutil.which("gnome-keyring-daemon"):
        return None
    keyring = subprocess.Popen(["gnome-keyring-daemon", "--foreground", "--unlock",
                                "--components=secrets"], env=env, stdin=subprocess.PIPE,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    keyring.stdin.write(b"e2e")
    keyring.stdin.close()
    owned = ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/",
             "org.freedesktop.DBus.NameHasOwner", "string:org.freedesktop.secrets"]
    wait_for("the keyring on the session bus",
             lambda: b"boolean true" in subprocess.run(owned, capture_output=True).stdout)
    return keyring


def demo_environment(service, url, home):
    """What points corvane at the demo service and its relays, with the demo's rules (its
    lookup on loopback goes through the tunnel) and free ports for the tunnel's proxies."""
    os.makedirs(os.path.join(home, "rules"), exist_ok=True)
    with open(os.path.join(home, "rules", "rules.json"), "w", encoding="utf-8") as rules:
        rules.write('{"rules": [{"type": "final", "action": "proxy"}]}')
    os.makedirs(os.path.join(home, "config", "corvane"), mode=0o700, exist_ok=True)
    with open(os.path.join(home, "config", "corvane", "settings.json"), "w",
              encoding="utf-8") as settings:
        settings.write('{"socksPort": 0, "httpProxyPort": 0}')
    return dict(CORVANE_SERVICE_URL=url, CORVANE_LOOKUP_URL=url,
                CORVANE_TUNNEL_HOST="127.0.0.1", CORVANE_TUNNEL_PORT=service.relay_port,
                CORVANE_RELAY_HOST="127.0.0.1", CORVANE_RELAY_PORT=service.plain_relay_port,
                CORVANE_RULES_DIR=os.path.join(home, "rules"))


def stored_settings(config):
    """The settings files under the config folder, as text."""
    texts = []
    for folder, _, files in os.walk(config):
        if "settings.json" in files:
            with open(os.path.join(folder, "settings.json"), encoding="utf-8") as f:
                texts.append(f.read())
    return "\n".join(texts)


def run_ctl(ctl, env, *arguments):
    """corvanectl's standard output; its exit code must be 0."""
    done = subprocess.run([ctl, *arguments], env=env, capture_output=True, text=True,
                          timeout=STEP_SECONDS * 2)
    if done.returncode != 0:
        raise Failure(f"corvanectl {' '.join(arguments)} exited {done.returncode}: {done.stderr}")
    return done.stdout


def start_app(binary, env):
    return subprocess.Popen([binary], env=env, stdout=subprocess.DEVNULL)


def stop(process):
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def pick_bandwidth_order(window):
    window.press_button(match=lambda n: n == "订单：请选择订单")
    order = window.press_button(match=lambda n: (n or "").startswith("带宽订单-"))
    window.wait("the chosen order", "push button", "订单：" + order.name)


def connect_fails_with(pyatspi, binary, env, toast):
    """Signs in with the stored password, connects, and expects `toast` and the connect button
    back: a tunnel that cannot be had is never left looking like progress."""
    app = start_app(binary, env)
    try:
        window = Window(pyatspi, app.pid)
        window.press_button("登录")
        pick_bandwidth_order(window)
        window.press_button("连接")
        window.wait(f"the toast {toast}", "label", toast)
        window.wait("the connect button back", "push button", "连接")
    finally:
        stop(app)


def walk_the_road(pyatspi, args):
    home = tempfile.mkdtemp(prefix="corvane-e2e-")
    for folder in ("data", "config", "runtime"):
        os.mkdir(os.path.join(home, folder), 0o700)
    service, url, accounts = start_service(os.path.join(args.bin_dir, "corvane-demo-service"))
    mobile, password = accounts[0]
    env = dict(os.environ,
               XDG_DATA_HOME=os.path.join(home, "data"),
               XDG_CONFIG_HOME=os.path.join(home, "config"),
               XDG_RUNTIME_DIR=os.path.join(home, "runtime"),
               CORVANE_TUNNEL_HELPER=os.path.join(args.bin_dir, "corvane-tunnel-helper"),
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb",
               **demo_environment(service, url, home))
    keyring = start_keyring(env)
    try:
        app = start_app(os.path.join(args.bin_dir, "corvane"), env)
        try:
            window = Window(pyatspi, app.pid)
            say("sign in with a wrong password")
            window.type_into("手机号码", mobile)
            window.type_into("密码", password + "x")
            window.press_button("登录")
            window.wait("the toast 密码错误，请重新输入", "label", "密码错误，请重新输入")

            say("sign in")
            window.type_into("密码", password)
            window.press_button("登录")
            window.press_button(match=lambda n: n == "订单：请选择订单")
            if keyring is not None:
                say("  the password went into the keyring, not into the settings file")
                settings = stored_settings(env["XDG_CONFIG_HOME"])
                if mobile not in settings or "pwdNum" in settings or password in settings:
                    raise Failure(f"the settings file holds {settings!r}")

            say("pick a bandwidth order")
            order = window.press_button(match=lambda n: (n or "").startswith("带宽订单-"))
            title = order.name
            window.wait("the chosen order", "push button", "订单：" + title)

            say("pick a province")
            window.press_button(match=lambda n: (n or "").startswith("省份："))
            province = window.wait("the province 上海", "list item", "上海，未选中")
            window.pick(province)
            window.wait("the mark on 上海", "list item", "上海，已选中")
            window.press_button("保存")
            window.wait("the chosen province", "push button", "省份：上海")

            say("connect")
            window.press_button("连接")
            first = wait_for("the public address", window.address)
            window.wait("the place", "label", "上海")
            say(f"  当前IP：{first} 上海")
            # The lookup went through the tunnel: the service saw 上海's exit address.
            if not first.startswith("127.108.0."):
                raise Failure(f"the public address {first} is not an exit address of 上海")
            proxy = window.wait("the local proxy line with the tunnel's figures", "label",
                                match=lambda n: (lambda m: m and m.group(1))(PROXY.match(n or "")))
            say("  " + proxy.name.replace("\n", " / "))

            say("change IP")
            window.press_button("切换IP")
            second = wait_for("a new public address",
                              lambda: (lambda a: a if a and a != first else None)(window.address()))
            say(f"  当前IP：{second}")

            say("disconnect")
            window.press_button("断开")
            window.wait("the connect button", "push button", "连接")
            wait_for("the proxy line gone",
                     lambda: window.find("label", match=lambda n: PROXY.match(n or "")) is None)
        finally:
            stop(app)

        say("start again: both inputs are filled in")
        app = start_app(os.path.join(args.bin_dir, "corvane"), env)
        try:
            window = Window(pyatspi, app.pid)
            filled = window.field_text("text", "手机号码")
            if filled != mobile:
                raise Failure(f"the mobile field holds {filled!r}, not {mobile!r}")
            # A screen reader is not told a password; signing in without typing proves it is there.
            window.press_button("登录")
            window.wait("the home screen, signed in with the stored password", "push button",
                        "订单：请选择订单")

            say("corvanectl connects: the open window follows")
            ctl = os.path.join(args.bin_dir, "corvanectl")
            orders = json.loads(run_ctl(ctl, env, "orders", "--json"))["orders"]
            order_id = next(o["orderId"] for o in orders if o["kind"] == "bandwidth")
            up = json.loads(run_ctl(ctl, env, "connect", "--order", order_id, "--province", "上海",
                                    "--wait", "--json"))
            scripted = up["publicAddress"]["ip"]
            window.wait("the disconnect button", "push button", "断开")
            shown = wait_for("the public address", window.address)
            if shown != scripted:
                raise Failure(f"the window shows {shown}, corvanectl got {scripted}")
            say(f"  当前IP：{shown}")
            run_ctl(ctl, env, "disconnect")
            window.wait("the connect button", "push button", "连接")
        finally:
            stop(app)

        say("a missing tunnel helper says why at once")
        connect_fails_with(pyatspi, os.path.join(args.bin_dir, "corvane"),
                           dict(env, CORVANE_TUNNEL_HELPER=os.path.join(home, "no-such-helper")),
                           "无法启动隧道：找不到隧道程序")

        say("a tunnel the relay refuses says why")
        refusing, _, _ = start_service(os.path.join(args.bin_dir, "corvane-demo-service"),
                                       "--refuse-tunnels", "订单已暂停")
        try:
            connect_fails_with(pyatspi, os.path.join(args.bin_dir, "corvane"),
                               dict(env, CORVANE_TUNNEL_PORT=refusing.relay_port),
                               "隧道被服务拒绝：订单已暂停")
        finally:
            stop(refusing)

        say("the relay restarted under the tunnel: the window brings it back by itself")
        reconnect_after_relay_restart(pyatspi, args, env, home)

        say("a window launched while corvanectl's tunnel is up leaves it up and shows it")
        up = json.loads(run_ctl(ctl, env, "connect", "--order", order_id, "--wait", "--json"))
        app = start_app(os.path.join(args.bin_dir, "corvane"), env)
        try:
            window = Window(pyatspi, app.pid)
            window.press_button("登录")
            window.wait("the disconnect button", "push button", "断开")
            shown = wait_for("the public address", window.address)
            if shown != up["publicAddress"]["ip"]:
                raise Failure(f"the window shows {shown}, corvanectl got {up['publicAddress']['ip']}")
            status = json.loads(run_ctl(ctl, env, "status", "--json"))
            if status["status"] != "on":
                raise Failure(f"corvanectl status says {status['status']} with the window open")
        finally:
            stop(app)
            status = json.loads(run_ctl(ctl, env, "status", "--json"))
            run_ctl(ctl, env, "disconnect")
    finally:
        # A service left running would hold the test runner's output open.
        stop(service)
        if keyring is not None:
            stop(keyring)
        shutil.rmtree(home, ignore_errors=True)
    if status["status"] != "on":
        raise Failure(f"quitting the window took corvanectl's tunnel down ({status['status']})")


def reconnect_after_relay_restart(pyatspi, args, env, home):
    """The restarted relay no longer knows the tunnel, so the helper's own resume cannot bring it
    back: the window connects again, with a freshly signed string the new relay accepts."""
    demo = os.path.join(args.bin_dir, "corvane-demo-service")
    relay, _, _ = start_service(demo)
    app = start_app(os.path.join(args.bin_dir, "corvane"),
                    dict(env, CORVANE_TUNNEL_PORT=relay.relay_port))
    log_path = os.path.join(home, "restarted-relay.log")
    restarted = None
    try:
        window = Window(pyatspi, app.pid)
        window.press_button("登录")
        pick_bandwidth_order(window)
        window.press_button("连接")
        first = wait_for("the public address", window.address)
        relay.kill()
        relay.wait()
        with open(log_path, "w") as log:
            restarted, _, _ = start_service(demo, "--relay-port", relay.relay_port,
                                            "--plain-relay-port", relay.plain_relay_port,
                                            log=log)

        def accepted():
            with open(log_path) as log:
                lines = log.read()
            found = re.search(r"Accepted a tunnel from \S+; exit address (\S+)", lines)
            return found and "Refused to resume an unknown tunnel" in lines and found.group(1)
        exit_address = wait_for("a new tunnel at the restarted relay", accepted)
        again = wait_for("the public address again",
                         lambda: (lambda a: a if a == exit_address else None)(window.address()))
        window.wait("the disconnect button", "push button", "断开")
        say(f"  当前IP：{first}, then {again} from the new tunnel without a click")
        window.press_button("断开")
        window.wait("the connect button", "push button", "连接")
    finally:
        stop(app)
        stop(relay)
        if restarted is not None:
            stop(restarted)


def greets(address):
    """Whether an X server on this socket completes a connection setup: a listening socket
    alone is not enough, a server going away or one of someone else's may still refuse."""
    probe = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    probe.settimeout(5)
    try:
        probe.connect(address)
        # Little-endian setup request, protocol 11.0, no authorisation.
        probe.sendall(b"l\0" + (11).to_bytes(2, "little") + bytes(8))
        return probe.recv(1) == b"\1"
    except OSError:
        return False
    finally:
        probe.close()


def start_display():
    """An Xvfb of our own on a free display, which greets a client the way libxcb reaches it
    (the abstract socket first, then the file). A server that does not is kept until the end so
    that the next one picks another display."""
    refused = []
    try:
        for _ in range(3):
            read_end, write_end = os.pipe()
            xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                                     "800x1000x24", "-nolisten", "tcp", "-noreset"],
                                    pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL, start_new_session=True)
            os.close(write_end)
            display = b""
            deadline = time.monotonic() + 30
            while not display.endswith(b"\n") and time.monotonic() < deadline:
                ready, _, _ = select.select([read_end], [], [], max(0, deadline - time.monotonic()))
                chunk = os.read(read_end, 32) if ready else b""
                if not chunk:
                    break
                display += chunk
            os.close(read_end)
            display = display.decode().strip()
            path = "/tmp/.X11-unix/X" + display
            deadline = time.monotonic() + 10
            while display and xvfb.poll() is None and not os.path.exists(path) \
                    and time.monotonic() < deadline:
                time.sleep(0.05)
            if display and xvfb.poll() is None and greets("\0" + path) and greets(path):
                return xvfb, ":" + display
            refused.append(xvfb)
        return None, None
    finally:
        for xvfb in refused:
            if xvfb.poll() is None:
                xvfb.kill()
            xvfb.wait()


def run_inside_private_session(args):
    """Runs this script again on a display and a D-Bus session of its own."""
    xvfb, display = start_display()
    if xvfb is None:
        say("FAILED: Xvfb did not bring up a display in three tries")
        return 1
    try:
        env = dict(os.environ, DISPLAY=display)
        env.pop("XAUTHORITY", None)
        return subprocess.call(["dbus-run-session", "--", sys.executable, __file__,
                                "--bin-dir", args.bin_dir, "--inner"], env=env)
    finally:
        xvfb.terminate()
        xvfb.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--bin-dir", required=True)
    parser.add_argument("--inner", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if not args.inner:
        missing = [tool for tool in ("Xvfb", "dbus-run-session") if not shutil.which(tool)]
        if missing:
            say("skipped: " + ", ".join(missing) + " not installed")
            return SKIP
        return run_inside_private_session(args)
    try:
        import pyatspi
    except ImportError:
        say("skipped: pyatspi (python3-pyatspi) is not installed")
        return SKIP
    try:
        walk_the_road(pyatspi, args)
    except Failure as failure:
        say(f"FAILED: {failure}")
        return 1
    say("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
