"""The scheduler program as a user runs it: keyboard input on a private X server, power
requests seen by a logind mock on a private system bus, and a fake wall clock put a few
seconds before the target. No window manager runs, so no window has a frame.

    QUIETWATCH=build/app/quietwatch /usr/bin/python3 test_scheduler.py [Class[.test]]
"""

import os
import socket
import time

from harness import (CLIENT_HEIGHT, CLIENT_LEFT, CLIENT_TOP, CLIENT_WIDTH, Case, FakeClock, main, sleep_until, utc,
                     wait_for)

NEW_YEAR = utc(2031, 1, 1)  # the target: midnight after the fake clock's start day, 2030/12/31
ABOUT_TITLE = 'ﾊﾞｰｼﾞｮﾝ情報'


class Start(Case):
    def test_title_size_place_and_icon(self):
        program, main_window = self.start_quietwatch()
        self.assertEqual(self.display.title(main_window), 'Quietwatch')
        left, top, width, height = self.display.geometry(main_window)
        # Without a window manager the X window is the whole window: the client area and
        # the menu bar above it.
        menu_bar = height - CLIENT_HEIGHT
        self.assertEqual(width, CLIENT_WIDTH)
        self.assertTrue(12 <= menu_bar <= 40, 'menu bar %d px high' % menu_bar)
        self.assertEqual((left, top + menu_bar), (CLIENT_LEFT, CLIENT_TOP))
        # The size is fixed: the hints ask for a minimum equal to the maximum.
        hints = self.display.run('xprop', '-id', str(main_window), 'WM_NORMAL_HINTS')
        self.assertIn('minimum size: %d by %d' % (width, height), hints)
        self.assertIn('maximum size: %d by %d' % (width, height), hints)
        icon = self.display.run('xprop', '-id', str(main_window), '_NET_WM_ICON')
        self.assertIn('Icon (32 x 32)', icon)
        self.assertIsNone(program.exit_code(0.5), 'the program ended by itself')

    def test_qt_options_are_not_taken(self):
        # The program takes no options; Qt's own would move the window and mirror its layout.
        program, main_window = self.start_quietwatch(args=['-geometry', '+10+10', '-reverse'])
        left, top, width, height = self.display.geometry(main_window)
        self.assertEqual((left, top + height - CLIENT_HEIGHT), (CLIENT_LEFT, CLIENT_TOP))


class Schedule(Case):
    """A target for the next midnight, set through the keyboard."""

    def set_new_year_target(self):
        self.clock = FakeClock(self.workdir)
        self.clock.set(NEW_YEAR - 40)  # 2030/12/31 23:59:20: the date list starts on the 31st
        program, main_window = self.start_quietwatch(self.clock)
        # The focus starts on com1; five Tabs reach cmDate (txt1, txt2, comC, comWide, cmDate).
        # Down picks tomorrow; the hour, minute and second lists stay on 0, 00 and 00. Alt+H is Set.
        self.display.keys(main_window, *['Tab'] * 5, 'Down', 'alt+h')
        # Read the target back as a user can: Set leaves the focus on cmDate, four Shift+Tabs
        # go back to txt1; select it and copy it, then the same for txt2.
        self.display.keys(main_window, *['shift+Tab'] * 4, 'ctrl+a', 'ctrl+c')
        self.assertEqual(self.wait_for_clipboard(['2031/01/01']), '2031/01/01', 'txt1 after Set')
        self.display.keys(main_window, 'Tab', 'ctrl+a', 'ctrl+c')
        self.assertEqual(self.wait_for_clipboard(['0:00:00']), '0:00:00', 'txt2 after Set')
        return program, main_window  # the focus is on txt2

    def run_up_to_midnight(self, seconds_before):
        """Puts the fake clock seconds_before the target and waits until 3 s after it. Checks
        that no power request arrives before the target's second; returns the real time at
        which that second began and the power requests made since the clock was moved."""
        before = self.bus.power_calls()
        self.clock.set(NEW_YEAR - seconds_before)
        midnight = self.clock.real(NEW_YEAR)
        while time.time() < midnight - 0.05:
            self.assertEqual(self.bus.power_calls(), before,
                             'a power request %.1f s before the target' % (midnight - time.time()))
            time.sleep(0.1)
        sleep_until(midnight + 3)
        after = self.bus.power_calls()
        return midnight, {method: calls[len(before[method]):] for method, calls in after.items()}

    def assertFiredInItsSecond(self, calls, midnight):
        # One or two ticks fall within the second. The mock stamps a call with the real time
        # in whole seconds when it handles it, so a call made late in the second may carry
        # the next one; none may carry an earlier one.
        self.assertIn(len(calls), (1, 2), calls)
        for stamp, args in calls:
            self.assertEqual(args, [True])
            self.assertIn(stamp - midnight, (0, 1), 'call stamped %+d s from the target second' % (stamp - midnight))

    def test_shut_down_at_midnight_and_again_after_the_clock_is_set_back(self):
        self.set_new_year_target()
        midnight, calls = self.run_up_to_midnight(6)
        self.assertFiredInItsSecond(calls['PowerOff'], midnight)
        self.assertEqual(calls['Reboot'], [])

        # The fake clock now reads 0:00:03; set it back across the target, which fires again.
        again, calls = self.run_up_to_midnight(3)
        self.assertGreaterEqual(again, midnight + 3)
        self.assertFiredInItsSecond(calls['PowerOff'], again)
        self.assertEqual(calls['Reboot'], [])

    def test_restart_chosen_after_set_reboots(self):
        program, main_window = self.set_new_year_target()
        # From txt2, nine Tabs reach the option group (comC, comWide, cmDate, comD, comRe,
        # cmTime(0), cmTime(1), cmTime(2), op1(0)); Down selects op1(1), restart. No new Set.
        self.display.keys(main_window, *['Tab'] * 9, 'Down')
        midnight, calls = self.run_up_to_midnight(6)
        self.assertFiredInItsSecond(calls['Reboot'], midnight)
        self.assertEqual(calls['PowerOff'], [])

    def test_clear_prevents_firing(self):
        program, main_window = self.set_new_year_target()
        self.display.keys(main_window, 'alt+c')
        midnight, calls = self.run_up_to_midnight(4)
        self.assertEqual(calls, {'PowerOff': [], 'Reboot': []})
        self.assertIsNone(program.exit_code(0), 'the program ended')


class MenuNow(Case):
    def test_shut_down_now_and_restart_now_ask_once_each(self):
        program, main_window = self.start_quietwatch()
        self.display.keys(main_window, 'alt+f', 's')
        self.assertTrue(wait_for(lambda: self.bus.calls('PowerOff'), 20), 'no PowerOff call')
        time.sleep(1)  # room for a second call, which must not come
        self.assertEqual([args for _, args in self.bus.calls('PowerOff')], [[True]])
        self.assertEqual(self.bus.calls('Reboot'), [])

        self.display.keys(main_window, 'alt+f', 'r')
        self.assertTrue(wait_for(lambda: self.bus.calls('Reboot'), 20), 'no Reboot call')
        time.sleep(1)
        self.assertEqual([args for _, args in self.bus.calls('Reboot')], [[True]])
        self.assertEqual(len(self.bus.calls('PowerOff')), 1)
        self.assertIsNone(program.exit_code(0), 'the program ended')


class Toggle(Case):
    def test_halves_and_restores_the_width(self):
        program, main_window = self.start_quietwatch()
        left, top, width, height = self.display.geometry(main_window)
        # Four Tabs from com1 reach comWide (txt1, txt2, comC, comWide); Space presses it.
        self.display.keys(main_window, *['Tab'] * 4, 'space')
        narrow = wait_for(lambda: (g := self.display.geometry(main_window))[2] != width and g, 20)
        self.assertEqual(narrow, (left, top, width // 2, height))
        self.display.keys(main_window, 'space')
        wide = wait_for(lambda: (g := self.display.geometry(main_window))[2] != width // 2 and g, 20)
        self.assertEqual(wide, (left, top, width, height))


def about_window(case, program, main_window):
    """The About window of program once it has appeared (the one visible window that is not main_window)."""
    others = wait_for(lambda: [w for w in case.display.windows(program.pid) if w != main_window], 20, 0.1)
    case.assertEqual(len(others), 1, 'About windows: %s' % others)
    return others[0]


class About(Case):
    def test_placed_against_the_right_edge_in_both_layouts(self):
        program, main_window = self.start_quietwatch()
        left, top, width, height = self.display.geometry(main_window)
        self.display.keys(main_window, 'alt+i', 'v')
        about = about_window(self, program, main_window)
        self.assertEqual(self.display.title(about), ABOUT_TITLE)
        self.assertEqual(self.display.geometry(about)[:2], (left + width, top))

        # Esc closes it; in the narrow layout it lands against the narrow window's edge.
        self.display.keys(about, 'Escape')
        self.assertTrue(wait_for(lambda: self.display.windows(program.pid) == [main_window], 20), 'About stayed open')
        self.display.keys(main_window, *['Tab'] * 4, 'space')
        self.assertTrue(wait_for(lambda: self.display.geometry(main_window)[2] == width // 2, 20), 'not narrowed')
        self.display.keys(main_window, 'alt+i', 'v')
        about = about_window(self, program, main_window)
        self.assertEqual(self.display.geometry(about)[:2], (left + width // 2, top))


class Exit(Case):
    def test_exit_button_ends_the_program_with_0(self):
        program, main_window = self.start_quietwatch()
        self.display.keys(main_window, 'space')  # com1 holds the focus at start
        self.assertExitCode(program, 0)

    def test_exit_button_leaves_the_about_window_running_until_it_closes(self):
        program, main_window = self.start_quietwatch()
        self.display.keys(main_window, 'alt+i', 'v')
        about = about_window(self, program, main_window)
        self.display.keys(main_window, 'space')
        self.assertTrue(wait_for(lambda: self.display.windows(program.pid) == [about], 20),
                        'windows left: %s' % self.display.windows(program.pid))
        self.assertIsNone(program.exit_code(1.5), 'the program ended with the About window open')
        self.display.keys(about, 'Escape')
        self.assertExitCode(program, 0)

    def test_file_exit_closes_the_about_window_too(self):
        program, main_window = self.start_quietwatch()
        self.display.keys(main_window, 'alt+i', 'v')
        about_window(self, program, main_window)
        self.display.keys(main_window, 'alt+f', 'x')
        self.assertExitCode(program, 0)


class PowerUnavailable:
    """Power requests where nothing can act on them: the window must stay responsive."""

    def test_requests_are_silent_and_the_window_keeps_working(self):
        program, main_window = self.start_quietwatch()
        left, top, width, height = self.display.geometry(main_window)
        started = time.monotonic()
        self.display.keys(main_window, 'alt+f', 's', 'alt+f', 'r', *['Tab'] * 4, 'space')
        narrowed = wait_for(lambda: self.display.geometry(main_window)[2] == width // 2, 15)
        self.assertTrue(narrowed, 'the window stopped answering after the power requests')
        self.assertLess(time.monotonic() - started, 10)
        self.assertEqual(self.display.windows(program.pid), [main_window])
        self.assertIsNone(program.exit_code(0), 'the program ended')


class NoSystemBus(PowerUnavailable, Case):
    system_bus = False


class NoLogind(PowerUnavailable, Case):
    logind_mock = False


class HungSystemBus(PowerUnavailable, Case):
    """A bus socket that takes connections and never says a word (a hung or stopped daemon)."""

    system_bus = False

    def setUp(self):
        super().setUp()
        path = os.path.join(self.workdir, 'hung-bus')
        listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.addCleanup(listener.close)
        listener.bind(path)
        listener.listen(16)  # the kernel completes connections; nobody ever accepts or reads them
        self.system_bus_address = 'unix:path=' + path


if __name__ == '__main__':
    main()
