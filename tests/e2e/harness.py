"""What the end-to-end tests stand on: the built programs run as a user runs them, on a
private X server, with a private system bus, a logind mock on it and, where a case needs
it, a fake wall clock.

- Xvfb picks a free display itself (-displayfd). No window manager runs, so windows have no
  frames: a window's outer size is its X window's size, and focus is set with
  `xdotool windowfocus --sync` (windowactivate would need a window manager).
- Keys are real input: xdotool sends them through the XTEST extension to the focused window.
- The system bus is a dbus-daemon of our own; python-dbusmock's logind template answers on
  it and records every call with the real time in whole seconds.
- libfaketime fakes the wall clock only (the monotonic clock stays real, so Qt's timers keep
  their pace). The fake time is a whole-second offset kept in a file that the library reads
  on every call, so a test can move the clock while the program runs.

Every process started here is ended when the test ends, failed or not.
"""

import calendar
import math
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

import dbus

FAKETIME_LIBRARY = '/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1'
LOGIND = 'org.freedesktop.login1'
LOGIND_PATH = '/org/freedesktop/login1'

# What the windows look like from outside (pixels at 96 dots per inch). The client area of
# the scheduler window is 378 x 207 below its menu bar, with its top-left corner at 248,285.
CLIENT_WIDTH = 378
CLIENT_HEIGHT = 207
CLIENT_LEFT = 248
CLIENT_TOP = 285


def wait_for(predicate, timeout, interval=0.05):
    """Polls until predicate() gives a true value or the time is up; returns its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


def sleep_until(real_epoch):
    """Sleeps until the wall clock (real time) reaches real_epoch."""
    while True:
        left = real_epoch - time.time()
        if left <= 0:
            return
        time.sleep(min(left, 0.1))


def utc(year, month, day, hour=0, minute=0, second=0):
    return calendar.timegm((year, month, day, hour, minute, second))


def ci():
    return os.environ.get('CI', '').lower() in ('1', 'true', 'yes')


class Processes:
    """Starts processes in sessions of their own and ends each one (and whatever it
    started in its group) when cleaned up."""

    def __init__(self):
        self._started = []

    def start(self, args, log=None, **kwargs):
        """Starts args; with log, its standard error (and output, unless redirected) goes to that file."""
        if log is None:
            process = subprocess.Popen(args, start_new_session=True, **kwargs)
        else:
            with open(log, 'wb') as f:
                kwargs.setdefault('stdout', f)
                process = subprocess.Popen(args, start_new_session=True, stderr=f, **kwargs)
        self._started.append(process)
        return process

    def stop(self, process, grace=3.0):
        if process.poll() is None:
            try:
                os.killpg(process.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            try:
                process.wait(grace)
            except subprocess.TimeoutExpired:
                try:
                    os.killpg(process.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
                process.wait(5)

    def stop_all(self):
        while self._started:
            process = self._started.pop()
            self.stop(process)
            if process.stdout:
                process.stdout.close()


def read_line(stream, timeout):
    """One line from a pipe, or '' when none comes within timeout seconds."""
    deadline = time.monotonic() + timeout
    data = b''
    fd = stream.fileno()
    while not data.endswith(b'\n'):
        left = deadline - time.monotonic()
        if left <= 0:
            break
        ready, _, _ = select.select([fd], [], [], left)
        if not ready:
            break
        chunk = os.read(fd, 1)
        if not chunk:
            break
        data += chunk
    return data.decode().strip()


class Display:
    """A private Xvfb: no window manager, and no reset when its last client leaves."""

    def __init__(self, processes, workdir):
        read_end, write_end = os.pipe()
        self.process = processes.start(
            ['Xvfb', '-displayfd', str(write_end), '-screen', '0', '1280x1024x24', '-nolisten', 'tcp', '-noreset'],
            pass_fds=(write_end,), log=os.path.join(workdir, 'xvfb.log'))
        self.log = os.path.join(workdir, 'xvfb.log')
        os.close(write_end)
        with os.fdopen(read_end, 'rb', buffering=0) as pipe:
            number = read_line(pipe, 20)
        if not number:
            raise RuntimeError('Xvfb did not report a display')
        self.name = ':' + number
        self.env = dict(os.environ, DISPLAY=self.name)
        # The server answers a client before any program of the test needs it.
        if not wait_for(lambda: self.run('xdpyinfo', check=False, with_status=True)[0] == 0, 20, 0.1):
            raise RuntimeError('Xvfb on %s does not answer\n%s' % (self.name, self.state()))

    def state(self):
        """What the X server is doing, for a failure message."""
        with open(self.log, errors='replace') as f:
            log = f.read()[-2000:]
        return 'Xvfb %s on %s (exit code %s); its log:\n%s' % (self.process.pid, self.name, self.process.poll(), log)

    def run(self, *args, check=True, timeout=20, with_status=False):
        result = subprocess.run(args, env=self.env, capture_output=True, timeout=timeout)
        if check and result.returncode != 0:
            raise RuntimeError('%s failed: %s' % (' '.join(args), result.stderr.decode(errors='replace')))
        output = result.stdout.decode(errors='replace')
        return (result.returncode, output) if with_status else output

    def windows(self, pid, name='.'):
        """The visible, titled windows of a process whose title matches the regular expression name."""
        out = self.run('xdotool', 'search', '--onlyvisible', '--pid', str(pid), '--name', name, check=False)
        return [int(w) for w in out.split()]

    def title(self, window):
        return self.run('xdotool', 'getwindowname', str(window)).rstrip('\n')

    def geometry(self, window):
        """(left, top, width, height) of an X window on the screen."""
        out = self.run('xwininfo', '-id', str(window))
        values = {}
        for key, pattern in (('left', r'Absolute upper-left X:\s+(-?\d+)'), ('top', r'Absolute upper-left Y:\s+(-?\d+)'),
                             ('width', r'\bWidth:\s+(\d+)'), ('height', r'\bHeight:\s+(\d+)')):
            values[key] = int(re.search(pattern, out).group(1))
        return values['left'], values['top'], values['width'], values['height']

    def focus(self, window):
        self.run('xdotool', 'windowfocus', '--sync', str(window))

    def keys(self, window, *keys):
        """Gives window the input focus, then presses the keys one after the other."""
        self.focus(window)
        self.run('xdotool', 'key', '--delay', '40', *keys)

    def type(self, window, text):
        self.focus(window)
        self.run('xdotool', 'type', '--delay', '40', text)

    def clipboard(self):
        result = subprocess.run(['xclip', '-o', '-selection', 'clipboard'], env=self.env, capture_output=True,
                                timeout=10)
        return result.stdout.decode(errors='replace') if result.returncode == 0 else None


BUS_CONFIG = """<busconfig>
  <type>session</type>
  <listen>unix:dir={dir}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


class SystemBus:
    """A private dbus-daemon standing in for the system bus; optionally with the logind mock."""

    def __init__(self, processes, workdir):
        self._processes = processes
        self._workdir = workdir
        config = os.path.join(workdir, 'bus.conf')
        with open(config, 'w') as f:
            f.write(BUS_CONFIG.format(dir=workdir))
        self.daemon = processes.start(['dbus-daemon', '--config-file=' + config, '--nofork', '--print-address=1'],
                                      stdout=subprocess.PIPE, log=os.path.join(workdir, 'dbus-daemon.log'))
        self.address = read_line(self.daemon.stdout, 20)
        if not self.address:
            raise RuntimeError('dbus-daemon did not report its address')
        self._connection = dbus.bus.BusConnection(self.address)

    def start_logind_mock(self):
        env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=self.address)
        self._processes.start(['/usr/bin/python3', '-m', 'dbusmock', '--system', '--template', 'logind'], env=env,
                              log=os.path.join(self._workdir, 'logind-mock.log'))
        if not wait_for(lambda: self._connection.name_has_owner(LOGIND), 30, 0.1):
            raise RuntimeError('the logind mock did not appear on the bus')

    def _mock(self):
        return dbus.Interface(self._connection.get_object(LOGIND, LOGIND_PATH), 'org.freedesktop.DBus.Mock')

    def calls(self, method):
        """[(whole real seconds, [arguments])] of each call of a logind Manager method, oldest first."""
        return [(int(stamp), [bool(a) if isinstance(a, dbus.Boolean) else a for a in args])
                for stamp, args in self._mock().GetMethodCalls(method)]

    def power_calls(self):
        return {'PowerOff': self.calls('PowerOff'), 'Reboot': self.calls('Reboot')}


class FakeClock:
    """The wall clock a program under libfaketime sees: the real time plus a whole number of
    seconds, so a fake second begins exactly when a real one does."""

    def __init__(self, workdir):
        self.path = os.path.join(workdir, 'faketime.rc')
        self.offset = 0

    def set(self, fake_epoch):
        """Moves the fake clock so that it reads fake_epoch (and the fraction of the real
        second now) at once."""
        self.offset = int(fake_epoch) - math.floor(time.time())
        temporary = self.path + '.new'
        with open(temporary, 'w') as f:
            f.write('%+d\n' % self.offset)
        os.replace(temporary, self.path)  # the library never reads a half-written file

    def real(self, fake_epoch):
        """The real time at which the fake clock reads fake_epoch."""
        return fake_epoch - self.offset

    def env(self):
        env = {
            'LD_PRELOAD': ' '.join(filter(None, [os.environ.get('LD_PRELOAD'), FAKETIME_LIBRARY])),
            'FAKETIME_TIMESTAMP_FILE': self.path,
            'FAKETIME_NO_CACHE': '1',
            'FAKETIME_DONT_FAKE_MONOTONIC': '1',
        }
        # An AddressSanitizer build wants its runtime first among the libraries; the preloaded
        # clock comes before it and is harmless to it.
        if 'ASAN_OPTIONS' in os.environ:
            env['ASAN_OPTIONS'] = os.environ['ASAN_OPTIONS'] + ':verify_asan_link_order=0'
        return env


class Program:
    """One run of a built program."""

    def __init__(self, case, path, extra_env, args=()):
        self.case = case
        self.name = os.path.basename(path)
        self.log = os.path.join(case.workdir, '%s-%d.log' % (self.name, len(case.programs)))
        env = dict(case.display.env)
        env.update({
            'TZ': 'UTC',
            'LANG': 'C.UTF-8',
            'XDG_RUNTIME_DIR': case.runtime_dir,
            # No session bus: without this libdbus would start one of its own (autolaunch).
            'DBUS_SESSION_BUS_ADDRESS': 'unix:path=' + os.path.join(case.workdir, 'no-session-bus'),
            'DBUS_SYSTEM_BUS_ADDRESS': case.system_bus_address,
        })
        env.pop('QT_QPA_PLATFORM', None)
        env.pop('WAYLAND_DISPLAY', None)
        env.update(extra_env)
        self.process = case.processes.start([path, *args], env=env, stdout=subprocess.DEVNULL, log=self.log)
        case.programs.append(self)

    @property
    def pid(self):
        return self.process.pid

    def output(self):
        with open(self.log, errors='replace') as f:
            return f.read()

    def window(self, name, timeout=30):
        """The one visible window whose title matches name, once it has appeared."""
        wait_for(lambda: self.case.display.windows(self.pid, name) or self.process.poll() is not None, timeout, 0.1)
        windows = self.case.display.windows(self.pid, name)
        if not windows:
            raise AssertionError('%s: no window titled %r (exit code %s)\n%s\n%s'
                                 % (self.name, name, self.process.poll(), self.output(), self.case.display.state()))
        return windows[0]

    def exit_code(self, timeout):
        """The exit code once the program has ended, or None if it still runs after timeout seconds."""
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None


class Case(unittest.TestCase):
    """A test with its own X server and its own system bus (with the logind mock unless
    the class says otherwise); every program it starts is its own process."""

    logind_mock = True
    system_bus = True

    def setUp(self):
        require('Xvfb', 'xdpyinfo', 'xdotool', 'xwininfo', 'xprop', 'xclip', 'dbus-daemon', FAKETIME_LIBRARY)
        self.processes = Processes()
        self.addCleanup(self.processes.stop_all)
        temporary = tempfile.TemporaryDirectory(prefix='quietwatch-e2e-')
        self.addCleanup(temporary.cleanup)
        self.workdir = temporary.name
        self.runtime_dir = os.path.join(self.workdir, 'runtime')
        os.mkdir(self.runtime_dir, 0o700)
        self.programs = []
        self.addCleanup(self._report_output)
        self.display = Display(self.processes, self.workdir)
        self.bus = None
        self.system_bus_address = 'unix:path=' + os.path.join(self.workdir, 'no-system-bus')
        if self.system_bus:
            self.bus = SystemBus(self.processes, self.workdir)
            self.system_bus_address = self.bus.address
            if self.logind_mock:
                self.bus.start_logind_mock()

    def _report_output(self):
        for program in self.programs:
            text = program.output().strip()
            if text:
                sys.stderr.write('--- %s said:\n%s\n' % (program.name, text))

    def start(self, variable, extra_env=None, args=()):
        path = os.environ.get(variable)
        if not path:
            self.fail('%s must name the built program' % variable)
        return Program(self, path, extra_env or {}, args)

    def start_quietwatch(self, clock=None, args=()):
        """Starts the scheduler program and returns it with its main window."""
        program = self.start('QUIETWATCH', clock.env() if clock else None, args)
        return program, program.window('^Quietwatch$')

    def wait_for_clipboard(self, expected, timeout=10):
        """Waits until the clipboard holds the lines expected; returns what it last held."""
        def holds():
            text = self.display.clipboard()
            return text if text is not None and text.splitlines() == expected else None
        return wait_for(holds, timeout, 0.1) or self.display.clipboard()

    def assertExitCode(self, program, expected, timeout=20):
        code = program.exit_code(timeout)
        self.assertIsNotNone(code, '%s still runs after %d s' % (program.name, timeout))
        self.assertEqual(code, expected, program.output())


def require(*tools):
    """Fails on CI, and skips elsewhere, when a tool the test needs is missing."""
    missing = [tool for tool in tools if not (shutil.which(tool) or os.path.exists(tool))]
    if missing:
        message = 'not installed: %s (scripts/setup-debian.sh installs them)' % ', '.join(missing)
        if ci():
            raise AssertionError(message)
        raise unittest.SkipTest(message)


def main():
    """Runs the tests named on the command line. Exit code 77 (CTest's skip) when every
    test that ran was skipped, so a skipped case never shows as passed."""
    result = unittest.main(module='__main__', verbosity=2, exit=False).result
    if not result.wasSuccessful():
        sys.exit(1)
    sys.exit(77 if result.testsRun and len(result.skipped) == result.testsRun else 0)
