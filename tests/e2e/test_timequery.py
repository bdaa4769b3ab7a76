"""The time query program as a user runs it, against a time server of the test's own on
loopback. The program always asks port 123, so the peer must bind 127.0.0.1:123, which
needs root (or CAP_NET_BIND_SERVICE); the program's own socket is bound to port 1024.

    QUIETWATCH_TIMEQUERY=build/timequery/quietwatch-timequery /usr/bin/python3 test_timequery.py
"""

import errno
import os
import socket
import time

from harness import Case, ci, main

TITLE = '時刻合わせ'
NEW_YEAR_LINES = ['2023/12/31 20:15:07', '2024/01/01 05:15:07']


def reply(seconds_bytes):
    """48 bytes, all zero but the transmit seconds at offsets 40 to 43."""
    return bytes(40) + seconds_bytes + bytes(4)


class TimeQuery(Case):
    system_bus = False

    def setUp(self):
        # The port first: without it nothing else is worth starting.
        self.peer = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.addCleanup(self.peer.close)
        try:
            self.peer.bind(('127.0.0.1', 123))
        except OSError as error:
            if error.errno not in (errno.EACCES, errno.EPERM):
                raise
            message = ('cannot bind UDP port 123 on 127.0.0.1 (%s): the time query program always asks port 123, '
                       'so this test needs root or CAP_NET_BIND_SERVICE' % error.strerror)
            if ci():
                self.fail(message)
            self.skipTest(message)

        super().setUp()
        self.program = self.start('QUIETWATCH_TIMEQUERY')
        self.window = self.program.window('.')
        self.assertEqual(self.display.title(self.window), TITLE)
        # The focus starts on cmdGetTime; three Tabs reach the server field (txtlog,
        # cmdCancel, txtServer). Enter presses cmdGetTime, the default button.
        self.display.keys(self.window, 'Tab', 'Tab', 'Tab', 'ctrl+a')
        self.display.type(self.window, '127.0.0.1')

    def take_request(self, timeout=20):
        self.peer.settimeout(timeout)
        try:
            data, sender = self.peer.recvfrom(65535)
        except socket.timeout:
            self.fail('no request within %d s' % timeout)
        self.assertEqual(len(data), 48)
        self.assertEqual(data, b'\x0b' + bytes(47))
        self.assertEqual(sender, ('127.0.0.1', 1024))
        return sender

    def assertLog(self, expected):
        # Two Shift+Tabs from the server field reach txtlog; select it all and copy it.
        self.display.keys(self.window, 'shift+Tab', 'shift+Tab', 'ctrl+a', 'ctrl+c')
        text = self.wait_for_clipboard(expected)
        self.assertEqual(text.splitlines() if text else text, expected)

    def test_reply_is_logged_as_utc_then_japan_time(self):
        self.display.keys(self.window, 'Return')
        sender = self.take_request()
        self.peer.sendto(reply(b'\xe9\x3c\x4a\x4b'), sender)
        self.assertLog(NEW_YEAR_LINES)

    def test_unanswered_query_leaves_the_window_usable(self):
        self.display.keys(self.window, 'Return')
        self.take_request()
        # No answer, and the program neither repeats the request nor gives up on its own.
        self.peer.settimeout(1.5)
        with self.assertRaises(socket.timeout):
            self.peer.recvfrom(65535)
        # A second press still works and its answer is logged, with nothing before it.
        self.display.keys(self.window, 'Return')
        sender = self.take_request()
        self.peer.sendto(reply(b'\xe9\x3c\x4a\x4b'), sender)
        self.assertLog(NEW_YEAR_LINES)
        self.assertIsNone(self.program.exit_code(0), 'the program ended')


class Start(Case):
    """The program's window and lifetime; no query reaches the network."""
    system_bus = False

    def test_placed_by_the_window_system_and_takes_no_options(self):
        # Qt's own options would place the window and mirror its layout; the program takes none.
        program = self.start('QUIETWATCH_TIMEQUERY', args=['-geometry', '+10+10', '-reverse'])
        window = program.window('.')
        # It neither centres itself nor claims a place the user chose.
        hints = self.display.run('xprop', '-id', str(window), 'WM_NORMAL_HINTS')
        self.assertNotIn('specified location', hints)
        self.assertNotEqual(self.display.geometry(window)[:2], (10, 10))

    def test_closing_during_a_name_lookup_ends_the_program_at_once(self):
        env = {'LD_PRELOAD': os.path.abspath(os.environ['QUIETWATCH_HANGING_RESOLVER'])}
        if 'ASAN_OPTIONS' in os.environ:
            env['ASAN_OPTIONS'] = os.environ['ASAN_OPTIONS'] + ':verify_asan_link_order=0'
        program = self.start('QUIETWATCH_TIMEQUERY', env)
        window = program.window('.')
        # The server field (three Tabs), a name the resolver never answers for, Enter, then Esc.
        self.display.keys(window, 'Tab', 'Tab', 'Tab', 'ctrl+a')
        self.display.type(window, 'time.example.org')
        self.display.keys(window, 'Return')
        time.sleep(0.5)
        self.display.keys(window, 'Escape')
        self.assertExitCode(program, 0, timeout=2)
        self.assertNotIn('LD_PRELOAD', program.output())  # the resolver that never answers was in place


if __name__ == '__main__':
    main()
