#!/usr/bin/env python3
"""The desktop side of the real corvane, under Xvfb with a private D-Bus session: the tray icon
in a tray host (trayer) and its menu, driven with the mouse and the keyboard as a person would
(Qt keeps popup menus out of the accessibility tree), closing into the tray while the tunnel is
up, a second corvane handing over to the first, quitting from the tray, closing quitting where no
tray host runs, and, once signed in, connecting with the home screen's order and changing the
IP from the tray.

Exits 77 (a skip for ctest) when pyatspi, python3-xlib, trayer or Xvfb is missing. With
--shots DIR it also saves screenshots of the tray menu there.
"""

import argparse
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from road_e2e import (SKIP, Failure, Window, demo_environment, pick_bandwidth_order,  # noqa: E402
                      say, start_display, start_keyring, start_service, stop, stored_settings,
                      wait_for)


class Desktop:
    """The X server seen through python-xlib: windows by class, clicks and polite closes."""

    def __init__(self):
        from Xlib import X, display, protocol
        from Xlib.ext import xtest
        self.X, self.protocol, self.xtest = X, protocol, xtest
        self.display = display.Display()
        self.root = self.display.screen().root

    def windows(self):
        found = []

        def walk(window):
            try:
                children = window.query_tree().children
            except Exception:
                return
            for child in children:
                found.append(child)
                walk(child)

        walk(self.root)
        return found

    def tray_icon(self, pid):
        """corvane's icon window, embedded (so not a child of the root) in the tray host."""
        top = {w.id for w in self.root.query_tree().children}
        for window in self.windows():
            try:
                wm_class = window.get_wm_class()
                attributes = window.get_attributes()
            except Exception:
                continue
            if wm_class and "corvane" in wm_class and window.id not in top \
                    and attributes.map_state == self.X.IsViewable:
                return window
        return None

    def main_window(self, title="Corvane"):
        for window in self.root.query_tree().children:
            try:
                if window.get_wm_name() == title:
                    return window
            except Exception:
                continue
        return None

    def right_click(self, window):
        geometry = window.get_geometry()
        origin = window.translate_coords(self.root, 0, 0)
        x, y = -origin.x + geometry.width // 2, -origin.y + geometry.height // 2
        self.xtest.fake_input(self.display, self.X.MotionNotify, x=x, y=y)
        self.xtest.fake_input(self.display, self.X.ButtonPress, 3)
        self.xtest.fake_input(self.display, self.X.ButtonRelease, 3)
        self.display.sync()

    def focused(self, window):
        focus = self.display.get_input_focus().focus
        return not isinstance(focus, int) and focus.id == window.id

    def keys(self, *names):
        from Xlib import XK
        for name in names:
            code = self.display.keysym_to_keycode(XK.string_to_keysym(name))
            self.xtest.fake_input(self.display, self.X.KeyPress, code)
            self.xtest.fake_input(self.display, self.X.KeyRelease, code)
        self.display.sync()

    def popup_shown(self):
        """A mapped override-redirect window of corvane's: its open menu."""
        for window in self.root.query_tree().children:
            try:
                attributes = window.get_attributes()
                if attributes.override_redirect and attributes.map_state == self.X.IsViewable \
                        and "corvane" in (window.get_wm_class() or ()):
                    return window
            except Exception:
                continue
        return None

    def close(self, window):
        """What a window manager's close button sends: WM_DELETE_WINDOW."""
        protocols = self.display.intern_atom("WM_PROTOCOLS")
        delete = self.display.intern_atom("WM_DELETE_WINDOW")
        event = self.protocol.event.ClientMessage(window=window, client_type=protocols,
                                                  data=(32, [delete, self.X.CurrentTime, 0, 0,
                                                             0]))
        window.send_event(event)
        self.display.sync()


def open_tray_menu(desktop, pid):
    """Right-clicks the tray icon until its menu shows: a click that comes while Qt is still
    closing the last popup is swallowed."""
    icon = wait_for("corvane's icon in the tray", lambda: desktop.tray_icon(pid))
    for _ in range(10):
        desktop.right_click(icon)
        try:
            return wait_for("the tray menu", desktop.popup_shown, seconds=2)
        except Failure:
            continue
    raise Failure("the tray menu did not open")


def choose_from_tray(args, desktop, pid, keys, what, done, picture=None):
    """Opens the tray icon's menu and picks an item with the keyboard until `done` says it took
    effect: on a loaded machine Qt may take the keyboard for the menu after the first keys."""
    for _ in range(3):
        open_tray_menu(desktop, pid)
        time.sleep(0.3)
        if picture:
            shot(args, picture)
        desktop.keys(*keys, "Return")
        if desktop.popup_shown():
            desktop.keys("Escape")
        try:
            return wait_for(what, done, seconds=5)
        except Failure:
            continue
    raise Failure(f"the tray menu never brought {what}")


def tunnel_status(runtime):
    folder = os.path.join(runtime, "corvane")
    for name in os.listdir(folder) if os.path.isdir(folder) else []:
        if name.endswith(".status"):
            with open(os.path.join(folder, name)) as f:
                return f.read().strip()
    return "disconnected"


def expect(what, found, wanted):
    if found != wanted:
        raise Failure(f"{what}: {found!r}, not {wanted!r}")


def shot(args, name):
    """The screen's top right corner, where the tray and its menu are, as a PNG: read with
    python3-xlib and written with zlib alone."""
    if not args.shots:
        return
    from Xlib import X, display
    screen = display.Display()
    root = screen.screen().root
    width, height = 250, 190
    left = root.get_geometry().width - width
    # A 24-bit screen gives four bytes a pixel, blue first.
    pixels = root.get_image(left, 0, width, height, X.ZPixmap, 0xffffffff).data
    rgb = bytearray(width * height * 3)
    rgb[0::3], rgb[1::3], rgb[2::3] = pixels[2::4], pixels[1::4], pixels[0::4]
    rows = b"".join(b"\0" + bytes(rgb[y * width * 3:(y + 1) * width * 3]) for y in range(height))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xffffffff))
    with open(os.path.join(args.shots, name + ".png"), "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n"
                  + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                  + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
    screen.close()


def walk(pyatspi, args, home, env):
    runtime = env["XDG_RUNTIME_DIR"]
    corvane = os.path.join(args.bin_dir, "corvane")
    desktop = Desktop()
    trayer = subprocess.Popen(["trayer", "--edge", "top", "--align", "right", "--widthtype",
                               "request", "--height", "32", "--SetDockType", "false"],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    app = subprocess.Popen([corvane], env=env, stdout=subprocess.DEVNULL)
    try:
        Window(pyatspi, app.pid)
        say("connect through the quick connect relay from the tray menu")
        # 显示窗口, 连接, 切换IP and 复制代理地址 (off: skipped), 登录时启动, 退出
        choose_from_tray(args, desktop, app.pid, ["Down", "Down"], "the tunnel up",
                         lambda: tunnel_status(runtime) == "connected", "tray_menu_off")
        open_tray_menu(desktop, app.pid)
        shot(args, "tray_menu_on")
        desktop.keys("Escape")
        wait_for("the tray menu closed", lambda: not desktop.popup_shown())

        say("close the window: the application stays in the tray")
        desktop.close(wait_for("the main window", desktop.main_window))
        wait_for("the window hidden", lambda: desktop.main_window().get_attributes().map_state
                 != desktop.X.IsViewable)
        time.sleep(0.5)  # a quit would take effect by now
        if app.poll() is not None:
            raise Failure("closing the window quit although the tunnel is up")

        say("a second corvane shows the first one's window and ends")
        second = subprocess.run([corvane], env=env, timeout=20, stdout=subprocess.DEVNULL)
        expect("the second corvane's exit code", second.returncode, 0)
        wait_for("the window shown again", lambda: desktop.main_window().get_attributes()
                 .map_state == desktop.X.IsViewable)
        # Taking the focus closes any open menu: let the window have it first.
        wait_for("the window focused", lambda: desktop.focused(desktop.main_window()))

        say("quit from the tray: the tunnel goes down with it")
        # 显示窗口, 断开, 切换IP (not signed in: skipped), 复制代理地址, 代理模式, 登录时启动,
        # 自动重连, 退出
        choose_from_tray(args, desktop, app.pid, ["Down"] * 7, "corvane's end",
                         lambda: app.poll() is not None)
        expect("corvane's exit code", app.wait(), 0)
        wait_for("the tunnel down", lambda: tunnel_status(runtime) == "disconnected")
    finally:
        stop(app)
        stop(trayer)

    say("without a tray host, closing the window quits even with the tunnel up")
    app = subprocess.Popen([corvane, "--quick-connect"], env=env, stdout=subprocess.DEVNULL)
    try:
        window = Window(pyatspi, app.pid)
        window.press_button("连接")
        wait_for("the tunnel up", lambda: tunnel_status(runtime) == "connected")
        desktop.close(wait_for("the main window", desktop.main_window))
        expect("corvane's exit code", app.wait(20), 0)
        wait_for("the tunnel down", lambda: tunnel_status(runtime) == "disconnected")
    finally:
        stop(app)


def signed_in(pyatspi, args, env, accounts):
    """Signed in against the demo service, the tray connects with the home screen's order and
    changes the IP."""
    runtime = env["XDG_RUNTIME_DIR"]
    desktop = Desktop()
    trayer = subprocess.Popen(["trayer", "--edge", "top", "--align", "right", "--widthtype",
                               "request", "--height", "32", "--SetDockType", "false"],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    app = subprocess.Popen([os.path.join(args.bin_dir, "corvane")], env=env,
                           stdout=subprocess.DEVNULL)
    try:
        window = Window(pyatspi, app.pid)
        mobile, password = accounts[0]
        window.type_into("手机号码", mobile)
        window.type_into("密码", password)
        window.press_button("登录")
        pick_bandwidth_order(window)
        # 显示窗口, 连接, 切换IP and 复制代理地址 (off: skipped), 登录时启动, 退出
        choose_from_tray(args, desktop, app.pid, ["Down", "Down"], "the order's tunnel up",
                         lambda: tunnel_status(runtime) == "connected", "tray_menu_signed_off")
        first = wait_for("the public address", window.address)
        say(f"  当前IP：{first}")
        # 显示窗口, 断开, 切换IP, ...
        choose_from_tray(args, desktop, app.pid, ["Down"] * 3, "a new public address",
                         lambda: (lambda a: a and a != first)(window.address()),
                         "tray_menu_signed_on")
        say(f"  当前IP：{window.address()}")
        say("SIGTERM ends it, tunnel and all, although the window would stay in the tray")
        app.send_signal(signal.SIGTERM)
        expect("corvane's exit code after SIGTERM", app.wait(10), 0)
        wait_for("the tunnel down", lambda: tunnel_status(runtime) == "disconnected")

        say("退出登录: the window's tunnel goes down and the sign-in screen comes back, number kept")
        app = subprocess.Popen([os.path.join(args.bin_dir, "corvane")], env=env,
                               stdout=subprocess.DEVNULL)
        window = Window(pyatspi, app.pid)
        window.press_button("登录")
        pick_bandwidth_order(window)
        window.press_button("连接")
        wait_for("the order's tunnel up", lambda: tunnel_status(runtime) == "connected")
        # 显示窗口, 断开, 切换IP, 复制代理地址, 代理模式, 登录时启动, 自动重连, 退出登录
        choose_from_tray(args, desktop, app.pid, ["Down"] * 8, "the tunnel down",
                         lambda: tunnel_status(runtime) == "disconnected")
        window.wait("the sign-in screen", "push button", "登录")
        expect("the mobile field", window.field_text("text", "手机号码"), mobile)
        if "pwdNum" in stored_settings(env["XDG_CONFIG_HOME"]):
            raise Failure("the settings file still holds the password")

        say("corvanectl logout: the open window goes back to the sign-in screen too")
        window.type_into("密码", password)
        window.press_button("登录")
        pick_bandwidth_order(window)
        logout = subprocess.run([os.path.join(args.bin_dir, "corvanectl"), "logout"], env=env,
                                capture_output=True, text=True, timeout=30)
        expect("corvanectl logout's exit code", logout.returncode, 0)
        window.wait("the sign-in screen", "push button", "登录")
        expect("the mobile field", window.field_text("text", "手机号码"), mobile)
    finally:
        stop(app)
        stop(trayer)


def run(pyatspi, args, home):
    # The demo service's plain relay is the quick connect relay, its service relay the home
    # screen's.
    service, url, accounts = start_service(os.path.join(args.bin_dir, "corvane-demo-service"))
    env = dict(os.environ,
               XDG_DATA_HOME=os.path.join(home, "data"),
               XDG_CONFIG_HOME=os.path.join(home, "config"),
               XDG_RUNTIME_DIR=os.path.join(home, "runtime"),
               CORVANE_TUNNEL_HELPER=os.path.join(args.bin_dir, "corvane-tunnel-helper"),
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb",
               **demo_environment(service, url, home))
    # The sign-in screen asks the keyring for the password: let it find one of our own.
    keyring = start_keyring(env)
    try:
        walk(pyatspi, args, home, env)
        say("signed in: the tray connects with the home screen's order and changes the IP")
        signed_in(pyatspi, args, env, accounts)
    finally:
        stop(service)
        if keyring is not None:
            stop(keyring)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--bin-dir", required=True)
    parser.add_argument("--shots")
    parser.add_argument("--inner", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if not args.inner:
        missing = [tool for tool in ("Xvfb", "dbus-run-session", "trayer") if not shutil.which(tool)]
        if missing:
            say("skipped: " + ", ".join(missing) + " not installed")
            return SKIP
        xvfb, display = start_display()
        if xvfb is None:
            say("FAILED: Xvfb did not bring up a display in three tries")
            return 1
        try:
            env = dict(os.environ, DISPLAY=display)
            env.pop("XAUTHORITY", None)
            command = [sys.executable, __file__, "--bin-dir", args.bin_dir, "--inner"]
            if args.shots:
                command += ["--shots", os.path.abspath(args.shots)]
            return subprocess.call(["dbus-run-session", "--"] + command, env=env)
        finally:
            xvfb.terminate()
            xvfb.wait()
    try:
        import pyatspi
        import Xlib  # noqa: F401
    except ImportError as missing:
        say(f"skipped: {missing.name} is not installed")
        return SKIP
    home = tempfile.mkdtemp(prefix="corvane-tray-")
    for folder in ("data", "config", "runtime"):
        os.mkdir(os.path.join(home, folder), 0o700)
    try:
        run(pyatspi, args, home)
    except Failure as failure:
        say(f"FAILED: {failure}")
        return 1
    finally:
        shutil.rmtree(home, ignore_errors=True)
    say("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
