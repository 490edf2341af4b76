# A stand-in for PackageKit on the bus at argv[1]: it appends each call to the file
# argv[2], keeps a copy of the package it is handed (argv[2] + ".deb") and reports
# the installation a success. In a process of its own, away from the test's AT-SPI.

import shutil
import sys

from gi.repository import Gio, GLib

address, record = sys.argv[1:]
bus = Gio.DBusConnection.new_for_address_sync(address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
                                              Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
interfaces = Gio.DBusNodeInfo.new_for_xml("""<node><interface name="org.freedesktop.PackageKit">
  <method name="CreateTransaction"><arg type="o" direction="out"/></method></interface>
  <interface name="org.freedesktop.PackageKit.Transaction"><method name="SetHints"><arg type="as" direction="in"/></method>
  <method name="InstallFiles"><arg type="t" direction="in"/><arg type="as" direction="in"/></method></interface></node>""")


def called(connection, sender, path, interface, method, args, invocation):
    with open(record, "a") as log:
        print(method, *args.unpack(), file=log)
    invocation.return_value(GLib.Variant("(o)", ("/1",)) if method == "CreateTransaction" else None)
    if method == "InstallFiles":
        shutil.copy(args[1][0], record + ".deb")
        bus.emit_signal(None, path, interface, "Finished", GLib.Variant("(uu)", (1, 20)))


for path, interface in zip(("/org/freedesktop/PackageKit", "/1"), interfaces.interfaces):
    bus.register_object(path, interface, called)
bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
              GLib.Variant("(su)", ("org.freedesktop.PackageKit", 4)), None, 0, -1)
print("ready", flush=True)
GLib.MainLoop().run()
