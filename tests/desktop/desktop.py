#!/usr/bin/python3
"""Both programs on real desktops, read back through the accessibility bus (AT-SPI).

  desktop.py accessibility QUIETWATCH TIMEQUERY   Xvfb: every focusable control of the three
                                                  windows has its name and its role
  desktop.py xwayland QUIETWATCH                  weston (headless) with Xwayland, a Wayland
                                                  session: X windows, each at its place
  desktop.py wayland QUIETWATCH                   weston without Xwayland: the program runs on
                                                  Wayland itself, ticks and answers

Everything runs on a private session bus with its own accessibility bus, and is stopped at the end.
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

work = tempfile.mkdtemp(prefix="quietwatch-desktop-")
os.chmod(work, 0o700)
started = []  # process groups this test started, stopped in reverse order
failures = []


def spawn(args, env=None, log=None, pass_fds=()):
    out = open(os.path.join(work, log), "w") if log else subprocess.DEVNULL
    process = subprocess.Popen(args, env=env, stdout=out, stderr=subprocess.STDOUT, start_new_session=True,
                               pass_fds=pass_fds)
    started.append(process)
    return process


def stop_all():
    for process in reversed(started):
        if process.poll() is None:
            os.killpg(process.pid, signal.SIGTERM)
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
    shutil.rmtree(work, ignore_errors=True)


def wait_for(what, predicate, seconds=15):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.1)
    raise TimeoutError(what)


def check(ok, what):
    print(("PASS: " if ok else "FAIL: ") + what, flush=True)
    if not ok:
        failures.append(what)


def start_buses():
    """A private session bus and the accessibility bus behind it, for the programs and for us."""
    # Its complaints go to nobody: a daemon holding the test's own output open would keep the
    # test from ending if the test itself died.
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address"], stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, start_new_session=True, text=True)
    started.append(bus)
    os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
    spawn(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], log="at-spi.log")
    # The AT-SPI library gives up for good (and ends the process) if the bus is not there yet
    # when it first asks: on a loaded machine the launcher can take its time.
    ready = lambda: subprocess.run(["dbus-send", "--session", "--print-reply", "--reply-timeout=2000",
                                    "--dest=org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
                                   capture_output=True, text=True).stdout.count("unix:") > 0
    wait_for("the accessibility bus", ready, 30)
    # Qt speaks to the accessibility bus only when it is asked to.
    os.environ["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    os.environ["NO_AT_BRIDGE"] = "0"


def start_xvfb():
    reader, writer = os.pipe()
    # -noreset: the accessibility bus launcher connects and leaves again, and a server that
    # resets then would refuse the program that connects next.
    spawn(["Xvfb", "-displayfd", str(writer), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"],
          log="xvfb.log", pass_fds=(writer,))
    os.close(writer)
    with os.fdopen(reader) as display:
        os.environ["DISPLAY"] = ":" + display.readline().strip()


def start_weston(xwayland):
    """weston's headless compositor on a socket of its own; with Xwayland, returns its X display."""
    runtime = os.path.join(work, "runtime")
    os.mkdir(runtime, 0o700)
    os.environ["XDG_RUNTIME_DIR"] = runtime
    if not os.path.isdir("/tmp/.X11-unix"):  # where Xwayland's socket goes; an X server makes it
        os.mkdir("/tmp/.X11-unix")
        os.chmod("/tmp/.X11-unix", 0o1777)
    log = os.path.join(work, "weston.log")
    args = ["weston", "--backend=headless-backend.so", "--socket=quietwatch-0", "--width=1024", "--height=768",
            "--idle-time=0", "--no-config", "--log=" + log]
    spawn(args + (["--xwayland"] if xwayland else []), log="weston.out")
    wait_for("weston's socket", lambda: os.path.exists(os.path.join(runtime, "quietwatch-0")))
    os.environ.update(WAYLAND_DISPLAY="quietwatch-0", XDG_SESSION_TYPE="wayland")
    os.environ.pop("QT_QPA_PLATFORM", None)
    os.environ.pop("DISPLAY", None)
    if xwayland:
        text = lambda: open(log).read() if os.path.exists(log) else ""
        os.environ["DISPLAY"] = wait_for("Xwayland's display",
                                         lambda: (re.findall(r"xserver listening on display (:\d+)", text()) or [""])[0])


def start_program(path):
    # A power request sent by mistake goes nowhere.
    env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS="unix:path=/nonexistent/quietwatch-test")
    return spawn([path], env=env, log=os.path.basename(path) + ".log")


def desktop_app(name):
    import pyatspi  # reads the session bus address set above

    def find():
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == name and app.childCount > 0:
                return app
        return None

    return wait_for("the program on the accessibility bus", find)


def window(app, title):
    return wait_for("the window " + title,
                    lambda: next((w for w in app if w is not None and w.name == title), None), 10)


def controls(root):
    """Every descendant of an accessible, depth first."""
    for child in root:
        if child is not None:
            yield child
            yield from controls(child)


def role_name(control):
    """A role's name from pyatspi's own table: at-spi2 2.5x names a push button "button", 2.46
    "push button", the role itself the same."""
    import pyatspi
    return pyatspi.role.ROLE_NAMES.get(control.getRole()) or control.getRoleName()


def find_control(root, name, role=None):
    return next((c for c in controls(root) if c.name == name and (role is None or role_name(c) == role)), None)


def press(control):
    control.queryAction().doAction(0)


def focusable(root):
    """(role, words) of each control that takes the focus. A list's name over AT-SPI is its
    selected entry, as in GTK; its own words are its description."""
    import pyatspi
    found = set()
    for c in root:
        if c is None:
            continue
        states = c.getState()
        if states.contains(pyatspi.STATE_FOCUSABLE) and states.contains(pyatspi.STATE_SHOWING):
            role = role_name(c)
            found.add((role, c.description if role == "combo box" and c.name else c.name))
        if role_name(c) != "combo box":  # its entries belong to its drop-down
            found |= focusable(c)
    return found


# What a screen reader hears for each control that takes the focus: its role and its name.
FORM1 = {
    ("push button", "終了(X)"), ("text", "日時"), ("text", "時刻"), ("push button", "クリア(C)"),
    ("push button", "<<"), ("combo box", "日時指定"), ("push button", "決定(H)"), ("push button", "元に戻す(D)"),
    ("combo box", "時間指定　時"), ("combo box", "時間指定　分"), ("combo box", "時間指定　秒"),
    ("radio button", "シャットダウン"), ("radio button", "再起動"),
}
ABOUT = {("push button", "OK"), ("image", "Quietwatch")}
FORM2 = {("push button", "時刻合わせ(G)"), ("text", "時刻合わせのログ"), ("push button", "キャンセル(C)"),
         ("text", "サーバー：")}
ABOUT_TITLE = "ﾊﾞｰｼﾞｮﾝ情報"


def open_about(app):
    main = window(app, "Quietwatch")
    press(wait_for("the Version item", lambda: find_control(main, "バージョン情報(V)")))
    return window(app, ABOUT_TITLE)


def accessibility(quietwatch, timequery):
    start_xvfb()
    start_buses()
    start_program(quietwatch)
    app = desktop_app("quietwatch")
    for title, expected in (("Quietwatch", FORM1), (ABOUT_TITLE, ABOUT)):
        w = open_about(app) if title == ABOUT_TITLE else window(app, title)
        found = focusable(w)
        check(found == expected, f"{title}: focusable controls named and with their roles: {sorted(found)}"
              + (f", missing {sorted(expected - found)}" if found != expected else ""))
    start_program(timequery)
    found = focusable(window(desktop_app("quietwatch-timequery"), "時刻合わせ"))
    check(found == FORM2, f"時刻合わせ: focusable controls named and with their roles: {sorted(found)}")


def platform_of(process):
    maps = open(f"/proc/{process.pid}/maps").read()
    return "wayland" if "libqwayland" in maps else "xcb" if "libqxcb" in maps else "unknown"


def x_window(title):
    """(client x, y, width, height, the place it asked for) of a visible X window, or None."""
    ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"], capture_output=True,
                         text=True).stdout.split()
    if not ids:
        return None
    info = subprocess.run(["xwininfo", "-id", ids[0]], capture_output=True, text=True).stdout
    hints = subprocess.run(["xprop", "-id", ids[0], "WM_NORMAL_HINTS"], capture_output=True, text=True).stdout
    field = lambda label: int(re.search(label + r":\s+(-?\d+)", info).group(1))
    asked = re.search(r"user specified location: (-?\d+), (-?\d+)", hints)
    return (field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height"),
            asked and (int(asked.group(1)), int(asked.group(2))))


def frame_extents(title):
    """(left, right, top, bottom) of the frame the window manager announces around a visible X
    window, or None where it announces none."""
    ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"], capture_output=True,
                         text=True).stdout.split()
    out = ids and subprocess.run(["xprop", "-id", ids[0], "_NET_FRAME_EXTENTS"], capture_output=True,
                                 text=True).stdout
    found = out and re.search(r"=\s*(\d+), (\d+), (\d+), (\d+)", out)
    return found and tuple(int(n) for n in found.groups())


def xwayland(quietwatch, _timequery=None):
    start_buses()
    start_weston(xwayland=True)
    program = start_program(quietwatch)
    app = desktop_app("quietwatch")
    wait_for("the main window on the X display", lambda: x_window("Quietwatch"))
    check(platform_of(program) == "xcb", f"in a Wayland session with Xwayland the program uses {platform_of(program)}")
    # The client area below the menu bar stands at 248,285 (378 x 207). weston puts the outer
    # edge of its frame (a border and a title bar) where the window asked its client to stand.
    top = lambda m: 285 - (m[3] - 207)  # where the window, menu bar included, asked to stand
    main = lambda: (m := x_window("Quietwatch")) and 248 < m[0] <= 260 and top(m) < m[1] <= top(m) + 40 and m
    try:
        x, y, width, height, _ = wait_for("the place", main, 5)
        check(width == 378, f"the main window is an X window at its place: {x},{y} {width}x{height}")
    except TimeoutError:
        x, y, width, height, _ = x_window("Quietwatch")
        check(False, f"the main window is an X window at its place: {x},{y} {width}x{height}")
    open_about(app)
    # weston 10 maps a new X window at the place it asks for only when its first frame reaches
    # the shell after the window manager has passed that place on, a race no client wins every
    # time. So the place the About window asks for is checked, and where it landed is shown.
    # Beside the main window's frame: weston 14 announces its frame (its shadow included), so
    # the program knows where that frame stands; weston 10 announced none, and the program took
    # the place it had asked for as the outer edge.
    extents = frame_extents("Quietwatch")
    if extents:
        _, right, frame_top, _ = extents
        want = (x + width + right, y - frame_top)
    else:
        want = (248 + width, 285 - (height - 207))
    about = wait_for("the About window on the X display", lambda: x_window(ABOUT_TITLE), 5)
    check(about[4] == want, f"the About window asks to stand beside it at {about[4]} (want {want}, the frame "
                            f"announced {extents or 'none'}); its client landed at {about[0]},{about[1]}")


def wayland(quietwatch, _timequery=None):
    start_buses()
    start_weston(xwayland=False)
    program = start_program(quietwatch)
    app = desktop_app("quietwatch")
    main = window(app, "Quietwatch")
    check(platform_of(program) == "wayland", f"without Xwayland the program runs on {platform_of(program)}")
    clock = wait_for("the clock", lambda: find_control(main, "00:00:00") is None and
                     any(re.fullmatch(r"\d{1,2}:\d\d:\d\d", c.name) for c in controls(main)), 5)
    check(bool(clock), "the clock ticks")
    press(find_control(main, "<<", "push button"))
    check(bool(wait_for("the narrow layout", lambda: find_control(main, ">>", "push button"), 5)),
          "the layout button answers")
    check(program.poll() is None, "the program is still running")


def main():
    case, programs = sys.argv[1], sys.argv[2:]

    def too_long(*_):
        raise TimeoutError("the end of the case (90 s)")

    # A call into a program that hangs would wait for D-Bus's own timeout, again and again:
    # the case ends itself in time, with its logs, and stops what it started.
    signal.signal(signal.SIGALRM, too_long)
    signal.alarm(90)
    try:
        {"accessibility": accessibility, "xwayland": xwayland, "wayland": wayland}[case](*programs)
    except TimeoutError as timeout:
        failures.append(f"timed out waiting for {timeout}")
        print(f"FAIL: timed out waiting for {timeout}")
        for log in sorted(os.listdir(work)):
            if log.endswith((".log", ".out")):
                print(f"--- {log}\n" + open(os.path.join(work, log), errors="replace").read()[-3000:])
    finally:
        stop_all()
    print(f"{len(failures)} failed" if failures else "all passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
