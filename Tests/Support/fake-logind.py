#!/usr/bin/python3
"""A stand-in for systemd-logind on a private bus, for the suspend tests.

Serves org.freedesktop.login1.Manager at /org/freedesktop/login1 with the
calls the Studio and the tests use:
  Inhibit(what, who, why, mode) -> fd   the lock is held until every copy of
                                        the fd is closed, as with logind
  ListInhibitors() -> a(ssssuu)
  Suspend(interactive)                  announces PrepareForSleep(true),
                                        waits for the delay locks to go (at
                                        most --delay-max-s, logind's
                                        InhibitDelayMaxSec), "sleeps", then
                                        announces PrepareForSleep(false)
Every event is one line in the --events file, flushed at once, so that a test
can wait for it: "ready", "inhibit WHAT MODE WHO", "release WHAT MODE WHO",
"PrepareForSleep true", "sleep (delay released)", "sleep (delay timed out)",
"sleep (no delay)", "PrepareForSleep false", and "overriding N block lock(s)"
before a sleep while block locks are held: they do not stop Suspend, as a
request from root (or a critical battery) overrides them.
"""
import argparse
import os
import select
import signal
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

BUS_NAME = "org.freedesktop.login1"
OBJECT_PATH = "/org/freedesktop/login1"
MANAGER = "org.freedesktop.login1.Manager"
KNOWN_WHAT = {"shutdown", "sleep", "idle", "handle-power-key", "handle-suspend-key",
              "handle-hibernate-key", "handle-lid-switch", "handle-reboot-key"}


class Manager(dbus.service.Object):
    def __init__(self, bus, events, delay_max_s):
        super().__init__(bus, OBJECT_PATH)
        self.events = events
        self.delay_max_s = delay_max_s
        self.locks = {}  # read end of the lock's pipe -> (what, who, why, mode)
        self.watches = {}  # read end -> GLib source that sees the holder close it
        self.sleep_timer = None  # GLib source while a sleep waits for delay locks

    def log(self, line):
        self.events.write(line + "\n")
        self.events.flush()

    def held(self, mode, what="sleep"):
        return [lock for lock in self.locks.values() if lock[3] == mode and what in lock[0].split(":")]

    @dbus.service.method(MANAGER, in_signature="ssss", out_signature="h")
    def Inhibit(self, what, who, why, mode):
        if mode not in ("block", "delay") or not what or not set(what.split(":")) <= KNOWN_WHAT:
            raise dbus.exceptions.DBusException("Invalid what or mode",
                                                name="org.freedesktop.DBus.Error.InvalidArgs")
        if mode == "delay" and what != "sleep" and what != "shutdown":
            raise dbus.exceptions.DBusException("Delay inhibitors only for shutdown and sleep",
                                                name="org.freedesktop.DBus.Error.InvalidArgs")
        read_end, write_end = os.pipe()
        self.locks[read_end] = (str(what), str(who), str(why), str(mode))
        self.watches[read_end] = GLib.unix_fd_add_full(GLib.PRIORITY_DEFAULT, read_end,
                                                       GLib.IOCondition.HUP | GLib.IOCondition.ERR,
                                                       self.on_released)
        self.log("inhibit %s %s %s" % (what, mode, who))
        # UnixFd keeps its own copy, which goes with the reply.
        fd = dbus.types.UnixFd(write_end)
        os.close(write_end)
        return fd

    def release(self, fd):
        watch = self.watches.pop(fd, None)
        if watch is not None:
            GLib.source_remove(watch)
        what, who, _why, mode = self.locks.pop(fd)
        os.close(fd)
        self.log("release %s %s %s" % (what, mode, who))

    def sweep(self):
        """Releases now every lock whose holder has closed it, before the
        main loop gets round to its watch: a sleep must see the locks as they
        are at that moment."""
        for fd in [fd for fd in self.locks if self.hung_up(fd)]:
            self.release(fd)

    @staticmethod
    def hung_up(fd):
        poller = select.poll()
        poller.register(fd, select.POLLHUP)
        return any(event & (select.POLLHUP | select.POLLERR) for _, event in poller.poll(0))

    def on_released(self, fd, _condition):
        self.watches.pop(fd, None)  # this watch ends by returning False
        self.release(fd)
        self.sweep()
        if self.sleep_timer is not None and not self.held("delay"):
            GLib.source_remove(self.sleep_timer)
            self.sleep_timer = None
            self.sleep("delay released")
        return False  # the watch ends with the lock

    @dbus.service.method(MANAGER, in_signature="", out_signature="a(ssssuu)")
    def ListInhibitors(self):
        return dbus.Array([dbus.Struct((w, who, why, mode, dbus.UInt32(0), dbus.UInt32(0)))
                           for (w, who, why, mode) in self.locks.values()], signature="(ssssuu)")

    @dbus.service.method(MANAGER, in_signature="b", out_signature="")
    def Suspend(self, _interactive):
        if self.sleep_timer is not None:
            raise dbus.exceptions.DBusException("There's already a shutdown or sleep operation in progress",
                                                name="org.freedesktop.login1.OperationInProgress")
        self.PrepareForSleep(True)
        self.log("PrepareForSleep true")
        if self.held("delay"):
            self.sleep_timer = GLib.timeout_add(int(self.delay_max_s * 1000), self.on_delay_timeout)
        else:
            GLib.idle_add(self.sleep_now, "no delay")

    def on_delay_timeout(self):
        self.sleep_timer = None
        self.sleep("delay timed out")
        return False

    def sleep_now(self, reason):
        self.sleep(reason)
        return False

    def sleep(self, reason):
        self.sweep()
        blocks = len(self.held("block"))
        if blocks:
            self.log("overriding %d block lock(s)" % blocks)
        self.log("sleep (%s)" % reason)
        self.PrepareForSleep(False)
        self.log("PrepareForSleep false")

    @dbus.service.signal(MANAGER, signature="b")
    def PrepareForSleep(self, start):
        pass


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--address", required=True, help="address of the bus to serve on")
    parser.add_argument("--events", required=True, help="file that receives one line per event")
    parser.add_argument("--delay-max-s", type=float, default=5.0)
    args = parser.parse_args()

    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    events = open(args.events, "a", encoding="utf-8")
    bus = dbus.bus.BusConnection(args.address)
    loop = GLib.MainLoop()
    bus.call_on_disconnection(lambda _connection: loop.quit())
    name = dbus.service.BusName(BUS_NAME, bus, do_not_queue=True)
    manager = Manager(bus, events, args.delay_max_s)
    GLib.unix_signal_add(GLib.PRIORITY_HIGH, signal.SIGTERM, loop.quit)
    GLib.unix_signal_add(GLib.PRIORITY_HIGH, signal.SIGINT, loop.quit)
    manager.log("ready")
    loop.run()
    del name
    return 0


if __name__ == "__main__":
    sys.exit(main())
