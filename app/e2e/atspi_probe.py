#!/usr/bin/python3
"""Reads the accessibility tree (AT-SPI) of one application, as a screen
reader sees it.

    atspi_probe.py enable              turn the desktop's screen-reader switch on
    atspi_probe.py dump APP            print APP's tree as JSON
    atspi_probe.py watch APP FILE      append APP's focus, selection and window
                                       activation events to FILE as JSON lines
                                       ("ready" first)

Needs the session bus of the desktop in DBUS_SESSION_BUS_ADDRESS and the
accessibility bus it leads to (at-spi-bus-launcher), and the system's python3
with the AT-SPI bindings (python3-gi, gir1.2-atspi-2.0).
"""
import json
import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, Gio, GLib  # noqa: E402


def enable():
    # What a screen reader does when it starts: toolkits look at these two
    # properties to decide whether to expose their tree.
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    for prop in ("IsEnabled", "ScreenReaderEnabled"):
        bus.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
                      GLib.Variant("(ssv)", ("org.a11y.Status", prop, GLib.Variant("b", True))),
                      None, Gio.DBusCallFlags.NONE, 20000, None)


def states(acc):
    found = acc.get_state_set().get_states()
    return sorted(s.value_nick for s in found)


def node(acc, depth=0):
    entry = {
        "role": acc.get_role_name(),
        "name": acc.get_name() or "",
        "description": acc.get_description() or "",
        "states": states(acc),
    }
    if "Text" in acc.get_interfaces():
        entry["text"] = Atspi.Text.get_text(acc, 0, Atspi.Text.get_character_count(acc))
    if depth < 40:
        entry["children"] = [node(acc.get_child_at_index(i), depth + 1) for i in range(acc.get_child_count())]
    return entry


def application(name):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_name() == name:
            return app
    return None


def dump(name):
    app = application(name)
    print(json.dumps(node(app) if app else None))


def watch(name, path):
    out = open(path, "a", buffering=1)

    def seen(event):
        source = event.source
        try:
            if source.get_application().get_name() != name:
                return
            out.write(json.dumps({"type": event.type, "detail": event.detail1, "role": source.get_role_name(),
                                  "name": source.get_name() or ""}) + "\n")
        except GLib.Error:
            pass  # the object went away meanwhile

    listener = Atspi.EventListener.new(seen)
    for kind in ("object:state-changed:selected", "object:state-changed:focused", "focus:", "window:activate",
                 "window:deactivate"):
        listener.register(kind)
    out.write('"ready"\n')
    Atspi.event_main()


if __name__ == "__main__":
    command = sys.argv[1] if len(sys.argv) > 1 else ""
    if command == "enable":
        enable()
    elif command == "dump" and len(sys.argv) == 3:
        dump(sys.argv[2])
    elif command == "watch" and len(sys.argv) == 4:
        watch(sys.argv[2], sys.argv[3])
    else:
        sys.exit(__doc__)
