#!/usr/bin/python3
"""Test-only: a backend of the global shortcuts portal for xdg-desktop-portal, which binds
what a program asks for and tells it when a shortcut is pressed.

  portal_backend.py BUS_NAME RECORD [--refuse NAME]...

Owns BUS_NAME on the session bus and serves org.freedesktop.impl.portal.GlobalShortcuts at
/org/freedesktop/portal/desktop. Each shortcut a program asks to bind is written to RECORD
as "bind <name>|<description>|<preferred trigger>"; all are bound but those named with
--refuse. A test presses a bound shortcut with

  gdbus call --session --dest BUS_NAME --object-path /org/velmorin/test \
      --method org.velmorin.test.Press NAME

which sends Activated, then Deactivated, to every session that bound it.
"""
import sys
import time

from gi.repository import Gio, GLib

PATH = "/org/freedesktop/portal/desktop"
IMPL = "org.freedesktop.impl.portal.GlobalShortcuts"
XML = """<node>
  <interface name="org.freedesktop.impl.portal.GlobalShortcuts">
    <method name="CreateSession">
      <arg type="o" direction="in"/><arg type="o" direction="in"/>
      <arg type="s" direction="in"/><arg type="a{sv}" direction="in"/>
      <arg type="u" direction="out"/><arg type="a{sv}" direction="out"/>
    </method>
    <method name="BindShortcuts">
      <arg type="o" direction="in"/><arg type="o" direction="in"/>
      <arg type="a(sa{sv})" direction="in"/><arg type="s" direction="in"/>
      <arg type="a{sv}" direction="in"/>
      <arg type="u" direction="out"/><arg type="a{sv}" direction="out"/>
    </method>
    <method name="ListShortcuts">
      <arg type="o" direction="in"/><arg type="o" direction="in"/>
      <arg type="u" direction="out"/><arg type="a{sv}" direction="out"/>
    </method>
    <signal name="Activated">
      <arg type="o"/><arg type="s"/><arg type="t"/><arg type="a{sv}"/>
    </signal>
    <signal name="Deactivated">
      <arg type="o"/><arg type="s"/><arg type="t"/><arg type="a{sv}"/>
    </signal>
    <signal name="ShortcutsChanged"><arg type="o"/><arg type="a(sa{sv})"/></signal>
    <property name="version" type="u" access="read"/>
  </interface>
  <interface name="org.freedesktop.impl.portal.Session">
    <method name="Close"/>
    <signal name="Closed"/>
    <property name="version" type="u" access="read"/>
  </interface>
  <interface name="org.velmorin.test">
    <method name="Press"><arg type="s" direction="in"/></method>
  </interface>
</node>"""

bus_name, record = sys.argv[1], sys.argv[2]
refused = {sys.argv[i + 1] for i in range(3, len(sys.argv) - 1) if sys.argv[i] == "--refuse"}
node = Gio.DBusNodeInfo.new_for_xml(XML)
bound = {}  # session handle -> {name: description}
session_objects = {}


def shortcut_list(shortcuts):
    return [(name, {"description": GLib.Variant("s", description),
                    "trigger_description": GLib.Variant("s", "test")})
            for name, description in shortcuts.items()]


def on_call(connection, sender, path, interface, method, params, invocation):
    if method == "CreateSession":
        _, session, _, _ = params.unpack()
        bound[session] = {}
        session_objects[session] = connection.register_object(
            session, node.interfaces[1], on_call, None, None)
        invocation.return_value(GLib.Variant("(ua{sv})", (0, {})))
    elif method == "BindShortcuts":
        _, session, shortcuts, _, _ = params.unpack()
        with open(record, "a") as out:
            for name, details in shortcuts:
                out.write("bind %s|%s|%s\n" % (name, details.get("description", ""),
                                                details.get("preferred_trigger", "")))
        granted = {name: details.get("description", "") for name, details in shortcuts
                   if name not in refused}
        bound.setdefault(session, {}).update(granted)
        invocation.return_value(GLib.Variant(
            "(ua{sv})", (0, {"shortcuts": GLib.Variant("a(sa{sv})", shortcut_list(granted))})))
    elif method == "ListShortcuts":
        _, session = params.unpack()
        invocation.return_value(GLib.Variant(
            "(ua{sv})", (0, {"shortcuts": GLib.Variant("a(sa{sv})",
                                                       shortcut_list(bound.get(session, {})))})))
    elif method == "Close":
        bound.pop(path, None)
        connection.unregister_object(session_objects.pop(path))
        invocation.return_value(None)
    elif method == "Press":
        (name,) = params.unpack()
        stamp = int(time.monotonic() * 1000)
        for session, shortcuts in bound.items():
            if name in shortcuts:
                for signal in ("Activated", "Deactivated"):
                    connection.emit_signal(None, PATH, IMPL, signal,
                                           GLib.Variant("(osta{sv})", (session, name, stamp, {})))
        invocation.return_value(None)


def on_get(connection, sender, path, interface, prop):
    return GLib.Variant("u", 1)


def on_bus(connection, name):
    connection.register_object(PATH, node.interfaces[0], on_call, on_get, None)
    connection.register_object("/org/velmorin/test", node.interfaces[2], on_call, None, None)


Gio.bus_own_name(Gio.BusType.SESSION, bus_name, Gio.BusNameOwnerFlags.NONE, on_bus, None, None)
GLib.MainLoop().run()
