"""The Win32 programs under Wine on a private Xvfb (no window manager, so an X window is a
Windows window's client area with its menu bar), driven by real keys (xdotool), one row of
the table per case. The prefix is the one of windows.wine-start; its font replacements map
the Japanese faces onto the IPA fonts.

  QUIETWATCH_EXE, QUIETWATCH_TIMEQUERY_EXE: the programs; QUIETWATCH_INSTALLER: the NSIS
  installer; WINEPREFIX: the prefix.
"""

import datetime
import os
import re
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', 'e2e'))
from harness import Display, Processes, wait_for  # noqa: E402

EXE = os.environ['QUIETWATCH_EXE']
TIMEQUERY = os.environ['QUIETWATCH_TIMEQUERY_EXE']
PREFIX = os.environ['WINEPREFIX']
INSTALLER = os.environ.get('QUIETWATCH_INSTALLER', '')
ABOUT_TITLE = 'ﾊﾞｰｼﾞｮﾝ情報'
NEW_YEAR = '2023/12/31 20:15:07\r\n2024/01/01 05:15:07\r\n'


def twips(value, dpi=96):
    return (value * dpi + 720) // 1440


class Wine:
    def __init__(self, processes, display, workdir):
        self.processes, self.display, self.workdir = processes, display, workdir
        self.env = dict(display.env, WINEPREFIX=PREFIX, WINEDEBUG='-all', WINEDLLOVERRIDES='winemenubuilder.exe=d')
        for name in [n for n in self.env if n.startswith('LC_') or n in ('LANG', 'LANGUAGE')]:
            del self.env[name]

    def reg(self, key, name, kind, value):
        subprocess.run(['wine', 'reg', 'add', key, '/v', name, '/t', kind, '/d', str(value), '/f'], env=self.env,
                       capture_output=True, timeout=60, check=True)

    session_dpi = None  # the LogPixels the prefix's Wine session started with, once set here

    def set_dpi(self, dpi):
        """LogPixels, read by a fresh Wine session: Wine 10 fixes a monitor's DPI (the one a
        per-monitor aware window gets) when the session starts; Wine 8 read it in each process."""
        if Wine.session_dpi == dpi:
            return
        self.reg(r'HKCU\Control Panel\Desktop', 'LogPixels', 'REG_DWORD', dpi)
        subprocess.run(['wineserver', '-k'], env=self.env, capture_output=True, timeout=30, check=False)
        subprocess.run(['wineserver', '-w'], env=self.env, capture_output=True, timeout=60, check=False)
        Wine.session_dpi = dpi

    def start(self, exe, relay=False):
        log = os.path.join(self.workdir, 'wine-%d.log' % time.monotonic_ns())
        env = dict(self.env, WINEDEBUG='+relay') if relay else self.env
        process = self.processes.start(['wine', exe], log=log, env=env, stdin=subprocess.DEVNULL)
        process.log = log
        return process

    def menu(self, window, menu_key, item_key):
        """Opens a menu and picks an item by their access keys (a focus change would close it)."""
        self.display.keys(window, menu_key)
        time.sleep(0.5)
        self.display.run('xdotool', 'key', item_key)

    def activate(self, window, x, y):
        """Clicks a spot of the window where no control lies, as a user does to switch windows.
        Wine routes keys to its own active window, and without a window manager nothing but a
        click (or the program) changes it: moving the X focus alone does not."""
        self.display.run('xdotool', 'mousemove', '--window', str(window), str(x), str(y), 'click', '1')
        time.sleep(0.4)

    def activate_scheduler(self, window):
        _, _, _, height = self.display.geometry(window)
        self.activate(window, twips(1900), height - twips(3105) + twips(300))  # right of the clock

    def activate_about(self, about):
        self.activate(about, twips(2400), twips(1200))  # below the version line

    def window(self, title, present=True, timeout=30):
        found = []

        def look():
            found[:] = [w for w in self.display.windows_named(title)]
            return bool(found) == present
        if not wait_for(look, timeout, 0.1):
            raise AssertionError('window %r %s' % (title, 'never shown' if present else 'still shown'))
        time.sleep(0.5)  # until Wine has made it the active window
        return found[0] if present else None

    def copy(self, window, *keys, timeout=5):
        """The text the focused box gives to the clipboard after keys (Tab selects a box's text)."""
        subprocess.run(['xclip', '-selection', 'clipboard', '-i', '/dev/null'], env=self.display.env, timeout=10)
        self.display.keys(window, *keys, 'ctrl+c')
        text = []
        wait_for(lambda: text.append(self.display.clipboard()) or text[-1], timeout, 0.1)
        return text[-1]


def keys(display, window, *names):
    """Focuses window, waits until Wine has activated it, then presses the keys."""
    display.focus(window)
    time.sleep(0.4)
    display.run('xdotool', 'key', '--delay', '60', *names)


def type_text(display, window, text):
    display.focus(window)
    time.sleep(0.4)
    display.run('xdotool', 'type', '--delay', '60', text)


Display.keys = keys
Display.type = type_text


def windows_named(display, title):
    # Every titled window, compared here: xdotool's pattern does not match these titles.
    # A window may go between the search and the question (check=False).
    out = display.run('xdotool', 'search', '--onlyvisible', '--name', '.', check=False)
    return [int(w) for w in out.split() if display.run('xdotool', 'getwindowname', w, check=False) == title + '\n']


Display.windows_named = windows_named


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def snapshot(wine, window):
    """The window's pixels as they are on the screen: a function of x, y giving (r, g, b)."""
    data = subprocess.run(['import', '-window', str(window), '-depth', '8', 'ppm:-'], env=wine.display.env, capture_output=True,
                          timeout=30, check=True).stdout
    header = re.match(rb'P6\s+(\d+)\s+(\d+)\s+255\s', data)
    width = int(header.group(1))
    return lambda x, y: tuple(data[header.end() + 3 * (y * width + x):][:3])


def check_action_line(wine, window, dpi=96):
    """l3 after Set shows its whole line: ink from "行動" to the end of "シャットダウン", no gap wider
    than a character between (a label painted at its old width shows the start and a sliver)."""
    time.sleep(0.5)
    _, _, _, height = wine.display.geometry(window)
    top = height - twips(3105, dpi) + twips(2160, dpi)
    pixel = snapshot(wine, window)
    ink = [x for x in range(twips(360, dpi), twips(2500, dpi))
           if any(sum(pixel(x, y)) < 384 for y in range(top, top + twips(210, dpi)))]
    em = twips(180, dpi)
    check(ink and ink[-1] - ink[0] >= 7 * em, 'l3 inked over %r' % (ink[:1] + ink[-1:]))
    gap = max(b - a for a, b in zip(ink, ink[1:]))
    check(gap <= em, 'l3 has a blank of %d px' % gap)


def case_start(wine, dpi=96):
    """Title, place and client size at a DPI; the initial texts."""
    wine.set_dpi(dpi)
    try:
        program = wine.start(EXE)
        window = wine.window('Quietwatch')
        left, top, width, height = wine.display.geometry(window)
        menu = height - twips(3105, dpi)
        check((left, width) == (twips(3720, dpi), twips(5670, dpi)), 'left, width %d, %d at %d dpi' % (left, width, dpi))
        check(top + menu == twips(4275, dpi) and 0 < menu < 60, 'top %d, menu %d at %d dpi' % (top, menu, dpi))
        check(wine.copy(window, 'Tab') == '未設定', 'txt1 before Set')
        return program
    finally:
        wine.set_dpi(96)


def case_layout_144(wine):
    case_start(wine, 144)


def case_set_from_lists(wine):
    wine.start(EXE)
    window = wine.window('Quietwatch')
    # Focus starts on com1; eight Tabs reach the hour list, Down picks 1; back to comD (Set).
    wine.display.keys(window, *['Tab'] * 8, 'Down', 'shift+Tab', 'shift+Tab', 'space')
    today = datetime.date.today().strftime('%Y/%m/%d')
    date = wine.copy(window, *['shift+Tab'] * 5)
    check(date == today, 'txt1 after Set: %r' % date)
    time_text = wine.copy(window, 'Tab')
    check(time_text == '1:00:00', 'txt2 after Set: %r' % time_text)
    check_action_line(wine, window)


def case_about_pixels(wine):
    """The About window at 96 and 144 dpi: the etched rule a grey band with a white one below it,
    starting further right; the picture's box at its design size, the picture reaching its border."""
    for dpi in (96, 144):
        wine.set_dpi(dpi)
        try:
            program = wine.start(EXE)
            window = wine.window('Quietwatch')
            wine.menu(window, 'alt+i', 'v')
            about = wine.window(ABOUT_TITLE)
            time.sleep(0.5)
            pixel = snapshot(wine, about)
            grey, white, thick = twips(2445, dpi), twips(2460, dpi), (2 * dpi + 48) // 96
            x = twips(2000, dpi)
            check(pixel(x, grey) == (128, 128, 128), 'rule at %d dpi: %r where grey' % (dpi, pixel(x, grey)))
            rows = [pixel(x, white + i) for i in range(thick)]
            check(rows == [(255, 255, 255)] * thick, 'rule at %d dpi: %r where white' % (dpi, rows))
            start = pixel(twips(90, dpi), white)
            check(start != (255, 255, 255) and pixel(twips(105, dpi), white) == (255, 255, 255),
                  'rule at %d dpi: the white band does not start further right' % dpi)
            # The sunken border's light outer edge at the design's right and bottom; the picture inside it.
            right, bottom, border = twips(780, dpi) - 1, twips(1680, dpi) - 1, (2 * dpi + 48) // 96
            face = pixel(twips(900, dpi), twips(1800, dpi))
            edges = [pixel(right, twips(900, dpi)), pixel(twips(390, dpi), bottom)]
            check(all(edge != face for edge in edges), 'picture box at %d dpi: edges %r' % (dpi, edges))
            corner = pixel(right - border, bottom - border)
            check(corner != face, 'picture at %d dpi: its inner corner is the window colour' % dpi)
            wine.display.keys(about, 'Escape')
            wine.window(ABOUT_TITLE, present=False)
            wine.activate_scheduler(window)
            wine.display.keys(window, 'alt+x')
            program.wait(15)
        finally:
            wine.set_dpi(96)


def case_toggle(wine):
    wine.start(EXE)
    window = wine.window('Quietwatch')
    _, _, wide, _ = wine.display.geometry(window)
    wine.display.keys(window, *['Tab'] * 4, 'space')  # comWide: half the outer width
    time.sleep(0.5)
    _, _, narrow, _ = wine.display.geometry(window)
    check(abs(narrow - wide / 2) <= 8, 'narrow %d of %d' % (narrow, wide))
    wine.display.keys(window, 'space')
    time.sleep(0.5)
    check(wine.display.geometry(window)[2] == wide, 'widened again')


def case_about_and_exit_rules(wine):
    program = wine.start(EXE)
    window = wine.window('Quietwatch')
    left, top, width, _ = wine.display.geometry(window)
    wine.menu(window, 'alt+i', 'v')
    about = wine.window(ABOUT_TITLE)
    a_left, a_top, a_width, a_height = wine.display.geometry(about)
    # Against the scheduler window's outer right edge, tops aligned (frames are not X windows here).
    check(0 <= a_left - (left + width) <= 16 and abs(a_top - top) <= 40, 'About at %d,%d' % (a_left, a_top))
    check((a_width, a_height) == (twips(4095), twips(3060)), 'About client %dx%d' % (a_width, a_height))
    # Esc and Enter close it, and the scheduler window has the focus back on its control.
    for close in ('Escape', 'Return'):
        wine.display.keys(about, close)
        wine.window(ABOUT_TITLE, present=False)
        wine.activate_scheduler(window)
        check(wine.copy(window, 'Tab') == '未設定', 'no control has the focus back after %s' % close)
        wine.menu(window, 'alt+i', 'v')
        about = wine.window(ABOUT_TITLE)
    # The Exit button closes the scheduler window only; the About window keeps the program.
    wine.activate_scheduler(window)
    wine.display.keys(window, 'alt+x')
    wine.window('Quietwatch', present=False)
    time.sleep(1)
    check(program.poll() is None, 'the program ended with the About window open')
    ok_left, ok_top = twips(2640), twips(2640)
    wine.activate(about, ok_left + twips(690), ok_top + twips(170))  # a click on OK
    program.wait(15)


def case_file_exit_closes_both(wine):
    program = wine.start(EXE)
    window = wine.window('Quietwatch')
    wine.menu(window, 'alt+i', 'v')
    wine.window(ABOUT_TITLE)
    wine.activate_scheduler(window)
    wine.menu(window, 'alt+f', 'x')
    program.wait(15)


def menu_now(wine, key, flags):
    wine.reg(r'HKCU\Software\Wine\Debug', 'RelayInclude', 'REG_SZ', 'user32.ExitWindowsEx')
    program = wine.start(EXE, relay=True)
    window = wine.window('Quietwatch')
    wine.menu(window, 'alt+f', key)
    call = 'Call user32.ExitWindowsEx(%08x,00000000)' % flags

    def logged():
        with open(program.log, errors='replace') as f:
            return call in f.read()
    check(wait_for(logged, 20, 0.2), call + ' not in the relay trace')
    # The call ends the prefix's Wine session; the next case starts a fresh one.
    program.wait(20)
    subprocess.run(['wineserver', '-w'], env=wine.env, capture_output=True, timeout=60, check=False)


def case_keep_awake(wine):
    """A target ahead holds off idle sleep and sets a timer that wakes the machine; Clear lets go
    of both: the real calls, in Wine's relay trace. Where PowerCreateRequest makes no request
    (Wine 8's is a stub) the execution state stands in. Wine keeps the timer but never wakes a
    machine, and the due time is behind a pointer here (windows.keepawake reads it)."""
    names = ['SetThreadExecutionState', 'PowerCreateRequest', 'PowerSetRequest', 'PowerClearRequest',
             'SetWaitableTimerEx', 'SetWaitableTimer', 'CancelWaitableTimer']
    wine.reg(r'HKCU\Software\Wine\Debug', 'RelayInclude', 'REG_SZ',
             ';'.join('kernel32.' + name for name in names))
    program = wine.start(EXE, relay=True)
    window = wine.window('Quietwatch')
    # Five Tabs reach the date list, two Downs pick the day after tomorrow (midnight tonight
    # would put the wake behind a test run in its last two minutes), Tab and Space press Set;
    # three Shift+Tabs go back to Clear.
    wine.display.keys(window, *['Tab'] * 5, 'Down', 'Down', 'Tab', 'space')

    def calls():
        """Each call as name(arguments), and PowerCreateRequest's answer as PowerCreateRequest=handle."""
        with open(program.log, errors='replace') as trace:
            found = re.findall(r'^[0-9a-f]+:(Call|Ret) +KERNEL32\.(\w+)\(([^)]*)\)(?: retval=(\w+))?',
                               trace.read(), re.I | re.M)
        return [name + '(' + args + ')' if kind == 'Call' else 'PowerCreateRequest=' + retval
                for kind, name, args, retval in found if kind == 'Call' or name == 'PowerCreateRequest']

    def shape(call):
        name, args = call.split('(', 1)
        args = args.rstrip(')').split(',')
        if name == 'SetWaitableTimerEx':  # a wake context, not a plain timer
            return name + ('+wake' if int(args[5], 16) != 0 else '-no-wake')
        if name in ('PowerSetRequest', 'PowerClearRequest'):
            return name + '(' + args[1] + ')'
        return call if name == 'SetThreadExecutionState' else name
    check(wait_for(lambda: len(calls()) >= 4, 20, 0.2), 'after Set: %r' % calls())
    made = calls()[:2]
    check(made[0].startswith('PowerCreateRequest(') and made[1].startswith('PowerCreateRequest='), repr(made))
    stub = made[1] == 'PowerCreateRequest=ffffffffffffffff'
    held, let_go = (['SetThreadExecutionState(80000001)'], ['SetThreadExecutionState(80000000)']) if stub else \
        (['PowerSetRequest(00000001)'], ['PowerClearRequest(00000001)'])
    after_set = ['PowerCreateRequest', 'PowerCreateRequest='] + held + ['SetWaitableTimerEx+wake']

    def shapes():
        return ['PowerCreateRequest=' if c.startswith('PowerCreateRequest=') else shape(c) for c in calls()]
    check(wait_for(lambda: shapes() == after_set, 20, 0.2), 'after Set: %r' % calls())
    wine.display.keys(window, *['shift+Tab'] * 3, 'space')
    after_clear = after_set + ['CancelWaitableTimer'] + let_go
    check(wait_for(lambda: shapes() == after_clear, 20, 0.2), 'after Clear: %r' % calls())
    wine.display.keys(window, 'alt+x')
    program.wait(15)
    check(shapes() == after_clear, 'a window closed while let go asks nothing more: %r' % calls())


def case_shut_now(wine):
    menu_now(wine, 's', 8)


def case_reboot_now(wine):
    menu_now(wine, 'r', 2)


def time_query(wine, family, server):
    """An answer from a peer at server, port 123, typed into the box as the address it is."""
    peer = socket.socket(family, socket.SOCK_DGRAM)
    peer.bind((server, 123))
    peer.settimeout(20)
    try:
        program = wine.start(TIMEQUERY)
        window = wine.window('時刻合わせ')
        # Three Tabs reach the server box (its text selected), typing replaces it, Enter queries.
        wine.display.keys(window, *['Tab'] * 3)
        wine.display.type(window, server)
        wine.display.keys(window, 'Return')
        request, sender = peer.recvfrom(1000)
        check(len(request) == 48 and request[0] == 0x0B and sender[1] == 1024, 'request %r from %r' % (request, sender))
        answer = bytearray(48)
        answer[40:44] = bytes.fromhex('E93C4A4B')
        peer.sendto(bytes(answer[:43]), sender)  # too short: rejected with a line, still waiting
        peer.sendto(bytes(answer), sender)
        time.sleep(1)
        log = wine.copy(window, 'shift+Tab', 'shift+Tab')
        # Wine's clipboard gives X the lines with LF endings.
        check(log == ('応答が短すぎます（43 バイト）\r\n' + NEW_YEAR).replace('\r\n', '\n'), 'log %r' % log)
        wine.display.keys(window, 'Escape')
        program.wait(15)
    finally:
        peer.close()


def case_time_query(wine):
    time_query(wine, socket.AF_INET, '127.0.0.1')


def case_time_query_ipv6(wine):
    time_query(wine, socket.AF_INET6, '::1')


def case_time_query_long_log(wine):
    """150 lines of over 200 characters each, past the edit control's default 30 000: all kept."""
    name = 'x' * 190 + '.invalid'  # never resolves, so each press logs at once
    with open(os.path.join(wine.workdir, 'name.txt'), 'w') as f:
        f.write(name)
    subprocess.run(['xclip', '-selection', 'clipboard', '-i', f.name], env=wine.display.env, timeout=10)
    program = wine.start(TIMEQUERY)
    window = wine.window('時刻合わせ')
    wine.display.keys(window, *['Tab'] * 3, 'ctrl+v')
    wine.display.keys(window, *['Return'] * 150)
    log = wine.copy(window, 'shift+Tab', 'shift+Tab', timeout=30)  # after all 150, however slow
    lines = log.split('\n')
    check(lines[-1] == '' and lines[:-1] == ['サーバー「%s」が見つかりません' % name] * 150,
          '%d lines, %d characters, ending %r' % (len(lines) - 1, len(log), log[-40:]))
    wine.display.keys(window, 'Escape')
    program.wait(15)


def case_installer(wine):
    """/S installs both programs, their Start-menu entries and the Programs and Features record;
    the installed program runs; the uninstaller's /S takes everything away again."""
    folder = os.path.join(PREFIX, 'drive_c', 'Program Files', 'Quietwatch')
    menu = os.path.join(PREFIX, 'drive_c', 'ProgramData', 'Microsoft', 'Windows', 'Start Menu', 'Programs',
                        'Quietwatch')
    record = r'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quietwatch'
    vendor = r'HKLM\Software\The Quietwatch developers'

    def query():
        out = subprocess.run(['wine', 'reg', 'query', record], env=wine.env, capture_output=True, timeout=60)
        return dict(re.findall(r'^\s+(\w+)\s+REG_SZ\s+(.*?)\r?$', out.stdout.decode(errors='replace'), re.M))

    def exists(key):
        return subprocess.run(['wine', 'reg', 'query', key], env=wine.env, capture_output=True, timeout=60).returncode == 0

    # Wine writes a Japanese file name (the time query's entry) only under a UTF-8 Unix locale.
    env = dict(wine.env, LANG='C.UTF-8')
    subprocess.run(['wine', INSTALLER, '/S'], env=env, capture_output=True, timeout=120, check=True)
    try:
        check(sorted(os.listdir(folder)) == ['Quietwatch.exe', 'Uninstall.exe', 'quietwatch-timequery.exe'],
              'installed: %r' % os.listdir(folder))
        check(sorted(os.listdir(menu)) == ['Quietwatch.lnk', 'Uninstall.lnk', '時刻合わせ.lnk'],
              'Start menu: %r' % os.listdir(menu))
        entry = query()
        check((entry.get('DisplayName'), entry.get('DisplayVersion')) == ('Quietwatch', '1.00'), 'record %r' % entry)
        check(exists(vendor + r'\Quietwatch'), 'no key under the vendor\'s')
        program = wine.start(r'C:\Program Files\Quietwatch\Quietwatch.exe')
        wine.display.keys(wine.window('Quietwatch'), 'alt+x')
        program.wait(15)
    finally:
        # The uninstaller copies itself away and starts the copy: wait until the session ends.
        subprocess.run(['wine', os.path.join(folder, 'Uninstall.exe'), '/S'], env=env, capture_output=True,
                       timeout=120, check=False)
        subprocess.run(['wineserver', '-w'], env=wine.env, capture_output=True, timeout=60, check=False)
    check(not os.path.exists(folder) and not os.path.exists(menu), 'left after uninstalling')
    check(query() == {}, 'the Programs and Features record is still there')
    check(not exists(vendor), 'the vendor\'s key is still there')


CASES = [case_start, case_layout_144, case_set_from_lists, case_toggle, case_about_and_exit_rules, case_about_pixels,
         case_file_exit_closes_both, case_keep_awake, case_time_query, case_time_query_ipv6,
         case_time_query_long_log, case_shut_now, case_reboot_now,
         case_installer]


def main():
    import tempfile
    selected = [c for c in CASES if not sys.argv[1:] or c.__name__[5:] in sys.argv[1:]]
    failed = 0
    server = Processes()
    # The prefix's desktop process (and with it the clipboard) must belong to this display:
    # a fresh server, ended again afterwards.
    wine_env = dict(os.environ, WINEPREFIX=PREFIX)
    subprocess.run(['wineserver', '-k'], env=wine_env, capture_output=True, timeout=30, check=False)
    subprocess.run(['wineserver', '-w'], env=wine_env, capture_output=True, timeout=60, check=False)
    with tempfile.TemporaryDirectory() as workdir:
        try:
            # One display for all cases: the prefix's desktop process stays on the first one.
            display = Display(server, workdir)
            for case in selected:
                processes = Processes()
                try:
                    case(Wine(processes, display, workdir))
                    print('PASS', case.__name__[5:], flush=True)
                except Exception as error:  # noqa: BLE001 - every failure is reported, the rest still run
                    failed += 1
                    print('FAIL', case.__name__[5:] + ':', error, flush=True)
                finally:
                    processes.stop_all()
        finally:
            subprocess.run(['wineserver', '-k'], env=wine_env, capture_output=True, timeout=30, check=False)
            server.stop_all()
    print('%d passed, %d failed' % (len(selected) - failed, failed))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
