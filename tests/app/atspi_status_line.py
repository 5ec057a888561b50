#!/usr/bin/python3
"""A screen reader's view of the quick connect screen.

Starts a private D-Bus session and an Xvfb display, opens the real `corvane --quick-connect` with
Qt's AT-SPI bridge switched on, and reads the screen through the accessibility bus as Orca would:
the status line must be a label whose name and text are the status, and when the connect button is
pressed through its accessible action, the label must announce each new status.

Usage: atspi_status_line.py <corvane> <corvane-tunnel-helper>
Exit codes: 0 passed, 1 failed, 77 skipped (Xvfb, dbus-launch, at-spi2-core or pyatspi missing).
"""
import ctypes
import importlib.util
import os
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

SKIP = 77
PR_SET_CHILD_SUBREAPER = 36
BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
# Waits are bounded; they cover a cold start of the accessibility bus on a loaded machine.
START_SECONDS = 60
STATUS_SECONDS = 30


def fail(message):
    print("FAIL: " + message, flush=True)
    sys.exit(1)


def missing_tools():
    missing = [tool for tool in ("Xvfb", "dbus-launch") if not shutil.which(tool)]
    if not os.path.exists(BUS_LAUNCHER):
        missing.append("at-spi2-core")
    if importlib.util.find_spec("pyatspi") is None:
        missing.append("python3-pyatspi")
    return missing


def read_line(fd, seconds):
    """One line from `fd`, read to its end: Xvfb gives up when it cannot write all of it."""
    data = b""
    deadline = time.monotonic() + seconds
    while not data.endswith(b"\n"):
        ready, _, _ = select.select([fd], [], [], max(0, deadline - time.monotonic()))
        chunk = os.read(fd, 64) if ready else b""
        if not chunk:
            break
        data += chunk
    return data.decode().strip()


def adopt_orphans():
    """Makes this process the reaper of its detached descendants: the bus daemon that
    dbus-launch forks off and the accessibility services the bus starts."""
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)


def reap_orphans(seconds=10):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            pid, _ = os.waitpid(-1, os.WNOHANG)
        except ChildProcessError:
            return
        if pid == 0:
            time.sleep(0.05)


class Session:
    """The private bus, the display and the application; all of it goes away on close()."""

    def __init__(self):
        self.env = dict(os.environ)
        self.bus_pid = None
        self.processes = []
        self.folders = []

    def start_bus(self):
        out = subprocess.run(["dbus-launch", "--sh-syntax"], capture_output=True, text=True,
                             env=self.env, timeout=30, check=True).stdout
        for line in out.splitlines():
            name, _, value = line.partition("=")
            value = value.strip().rstrip(";").strip("'")
            if name == "DBUS_SESSION_BUS_ADDRESS":
                self.env[name] = value
            elif name == "DBUS_SESSION_BUS_PID":
                self.bus_pid = int(value)
        if "DBUS_SESSION_BUS_ADDRESS" not in self.env or self.bus_pid is None:
            fail("dbus-launch printed no bus address:\n" + out)

    def start_display(self):
        # Another X server starting at the same moment can take the display this one reported;
        # such a server gives up, and a new one picks the next free display.
        for _ in range(3):
            read_end, write_end = os.pipe()
            xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "480x900x24",
                 "-nolisten", "tcp", "-noreset"], pass_fds=[write_end], stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL, start_new_session=True)
            os.close(write_end)
            display = read_line(read_end, 30)
            os.close(read_end)
            socket = "/tmp/.X11-unix/X" + display
            deadline = time.monotonic() + 10
            while display and xvfb.poll() is None and not os.path.exists(socket) \
                    and time.monotonic() < deadline:
                time.sleep(0.05)
            if display and xvfb.poll() is None and os.path.exists(socket):
                self.processes.append(xvfb)
                self.env["DISPLAY"] = ":" + display
                return
            if xvfb.poll() is None:
                os.killpg(xvfb.pid, signal.SIGKILL)
            xvfb.wait()
        fail("Xvfb did not bring up a display in three tries")

    def folder(self):
        path = tempfile.mkdtemp(prefix="corvane-atspi-")
        os.chmod(path, 0o700)
        self.folders.append(path)
        return path

    def start_application(self, corvane, helper):
        # The quick connect relay is a plain one, there once it takes a connection: a listening
        # socket will do. The tunnel's proxies take free ports.
        self.relay = socket.create_server(("127.0.0.1", 0))
        config = self.folder()
        os.makedirs(os.path.join(config, "corvane"), mode=0o700)
        with open(os.path.join(config, "corvane", "settings.json"), "w") as settings:
            settings.write('{"socksPort": 0, "httpProxyPort": 0}')
        self.env.update({
            "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "XDG_RUNTIME_DIR": self.folder(),
            "XDG_DATA_HOME": self.folder(),
            "XDG_CONFIG_HOME": config,
            "CORVANE_RELAY_HOST": "127.0.0.1",
            "CORVANE_RELAY_PORT": str(self.relay.getsockname()[1]),
            "CORVANE_TUNNEL_HELPER": helper,
        })
        self.processes.append(subprocess.Popen([corvane, "--quick-connect"], env=self.env,
                                               start_new_session=True))
        self.corvane = corvane

    def close(self):
        if hasattr(self, "corvane"):
            # The tunnel helper outlives windows on purpose; this stops it.
            subprocess.run([self.corvane, "--disconnect-and-exit"], env=self.env, timeout=30,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for process in reversed(self.processes):
            if process.poll() is None:
                os.killpg(process.pid, signal.SIGTERM)
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    os.killpg(process.pid, signal.SIGKILL)
                    process.wait()
        if self.bus_pid:
            try:
                os.kill(self.bus_pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
        reap_orphans()
        for path in self.folders:
            shutil.rmtree(path, ignore_errors=True)


def children(node):
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        if child is not None:
            yield child


def descendants(node):
    for child in children(node):
        yield child
        yield from descendants(child)


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    missing = missing_tools()
    if missing:
        print("SKIP: missing " + ", ".join(missing))
        return SKIP
    corvane, helper = sys.argv[1], sys.argv[2]

    adopt_orphans()
    session = Session()
    try:
        session.start_bus()
        session.start_display()
        session.start_application(corvane, helper)
        # pyatspi finds the accessibility bus through these when it is imported.
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = session.env["DBUS_SESSION_BUS_ADDRESS"]
        os.environ["DISPLAY"] = session.env["DISPLAY"]
        import pyatspi
        from gi.repository import GLib
        return read_status_line(session, pyatspi, GLib)
    finally:
        session.close()


def read_status_line(session, pyatspi, GLib):
    heard = []

    def on_event(event):
        # A name change is told with its source; an insertion carries the inserted text.
        try:
            said = event.source.name if event.type.minor == "accessible-name" \
                else str(event.any_data)
            heard.append((str(event.type), event.source.getRoleName(), said))
        except Exception as error:  # the source can be gone by the time the event is read
            heard.append((str(event.type), "?", repr(error)))

    def pump():
        context = GLib.MainContext.default()
        while context.iteration(False):
            pass

    def wait_for(what, seconds, find, explain=lambda: ""):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if session.processes[-1].poll() is not None:
                fail("corvane --quick-connect exited with %d while waiting for %s"
                     % (session.processes[-1].returncode, what))
            pump()
            found = find()
            if found is not None:
                return found
            time.sleep(0.05)
        fail("no %s within %d s%s" % (what, seconds, explain()))

    def application():
        for app in children(pyatspi.Registry.getDesktop(0)):
            if app.name == "corvane":
                return app
        return None

    app = wait_for("application called corvane on the accessibility bus", START_SECONDS,
                   application)
    # Registered once the application is on the bus: one that comes up while a registration is
    # under way can miss it, and would then send no events to anyone.
    pyatspi.Registry.registerEventListener(on_event, "object:property-change:accessible-name",
                                           "object:text-changed")

    def labelled(text):
        def find():
            for node in descendants(app):
                if node.getRole() == pyatspi.ROLE_LABEL and node.name == text:
                    return node
            return None
        return find

    def tree():
        lines = ["%s %r" % (node.getRoleName(), node.name) for node in descendants(app)]
        return "; the window holds: " + ", ".join(lines)

    status = wait_for("status label reading 未连接", START_SECONDS, labelled("未连接"), tree)
    shown = status.queryText().getText(0, -1)
    if shown != "未连接":
        fail("the status label's text is %r, its name 未连接" % shown)
    print("status line read as %r (%s)" % (status.name, status.getRoleName()), flush=True)

    def connect_button():
        for node in descendants(app):
            if node.getRole() == pyatspi.ROLE_PUSH_BUTTON and node.name == "连接":
                return node
        return None

    button = wait_for("push button 连接", START_SECONDS, connect_button)
    actions = button.queryAction()
    if actions.nActions < 1:
        fail("the connect button offers no action")
    actions.doAction(0)

    connected = wait_for("status label reading 已连接 after pressing 连接", STATUS_SECONDS,
                         labelled("已连接"), tree)
    print("after pressing 连接 the status line reads %r" % connected.name, flush=True)
    def announced():
        said = {(kind, role, text) for kind, role, text in heard}
        return True if ("object:property-change:accessible-name", "label", "已连接") in said \
            else None

    wait_for("announcement of 已连接", STATUS_SECONDS, announced, lambda: "; heard: %s" % heard)
    print("announced: " + ", ".join("%s (%s) %s" % event for event in heard), flush=True)
    pyatspi.Registry.deregisterEventListener(on_event, "object:property-change:accessible-name",
                                             "object:text-changed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
