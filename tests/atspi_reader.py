#!/usr/bin/python3
"""Reads a running program's accessibility tree over AT-SPI, as a screen
reader such as Orca does: what each object is (role), what it is called
(name, description), its states, and the text of text fields; it can also
listen to the events a screen reader hears.

The program and this script must share a session bus on which the AT-SPI
bus (at-spi-bus-launcher) runs; tests/gui_driver.sh starts a private one
(start_accessibility). Qt programs publish their tree when
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 is set.

Commands (all take --app NAME, the application's name on the bus):
  bus                     starts the AT-SPI bus if needed, prints its address
  wait --window TITLE     waits for a showing window of that title
  dump [--window TITLE]   the tree, one object a line, indented
  focusable [--window TITLE] [--unnamed]
                          the focusable objects on the screen, those a
                          keyboard user can reach (with --unnamed, only those
                          without a name; the exit status is 1 when any are;
                          the items of lists and tables are not counted: an
                          empty cell is data, not a control left unnamed)
  focused                 the object that has the focus
  text NAME...            the text of each text field so named, tab-separated
  relation NAME TYPE      the names of the objects NAME has a TYPE relation
                          with ("labelled-by", "label-for"...)
  listen [NAME] --seconds S [--event TYPE]
                          the events a screen reader hears from the objects
                          so named (from any object without NAME), by
                          default object:text-changed: one a line, seconds
                          since the start, the event's last part ("insert",
                          "delete", "focused"...), its data (the text
                          inserted or deleted...), its first detail (where
                          the text was; 1 or 0 for a state gained or lost),
                          the object's role and name
--role ROLE ("text", "push button"...) narrows down the objects NAME means.
Objects are printed one a line, tab-separated: role, name, description,
states, text (new lines and tabs escaped as \\n and \\t).
"""

import argparse
import sys
import time

try:
    import gi

    gi.require_version("Atspi", "2.0")
    import pyatspi
    from gi.repository import Gio, GLib
except (ImportError, ValueError) as error:  # checked by the tests, which skip
    print(f"atspi_reader: {error}", file=sys.stderr)
    sys.exit(77)

# A combo box's list holds every address the program has read; a screen
# reader reads the visible part, and so does this script.
MAX_CHILDREN = 64
ITEM_ROLES = ("list item", "table cell", "tree item")
STATES = ("focusable", "focused", "editable", "showing", "enabled", "checked", "selectable")


def one_line(text):
    return text.replace("\\", "\\\\").replace("\n", "\\n").replace("\t", "\\t")


def states_of(acc):
    try:
        state = acc.getState()
    except Exception:
        return []
    return [pyatspi.stateToString(s) for s in state.getStates() if pyatspi.stateToString(s) in STATES]


def text_of(acc):
    try:
        text = acc.queryText()
    except NotImplementedError:
        return None
    return text.getText(0, -1)


def children(acc):
    count = min(acc.childCount, MAX_CHILDREN)
    for i in range(count):
        child = acc.getChildAtIndex(i)
        if child is not None:
            yield child


def walk(acc, depth=0):
    yield acc, depth
    for child in children(acc):
        yield from walk(child, depth + 1)


def describe(acc):
    text = text_of(acc)
    fields = [acc.getRoleName(), acc.name or "", acc.description or "", ",".join(states_of(acc)),
              "" if text is None else text]
    return "\t".join(one_line(f) for f in fields)


def applications(name):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == name:
            yield app


def windows(app_name, title=None):
    for app in applications(app_name):
        for window in children(app):
            if title is None or window.name == title:
                yield window


def find_named(roots, name, role=None):
    for root in roots:
        for acc, _ in walk(root):
            if acc.name == name and (role is None or acc.getRoleName() == role):
                yield acc


def cmd_bus(args):
    session = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    reply = session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None,
                              GLib.VariantType("(s)"), Gio.DBusCallFlags.NONE, int(args.timeout * 1000), None)
    print(reply.unpack()[0])
    return 0


def cmd_wait(args):
    deadline = time.monotonic() + args.timeout
    while time.monotonic() < deadline:
        try:
            if any("showing" in states_of(w) for w in windows(args.app, args.window)):
                return 0
        except Exception:
            pass  # the application is still registering
        time.sleep(0.1)
    print(f"no showing window {args.window!r} of {args.app!r} on the accessibility bus", file=sys.stderr)
    return 1


def cmd_dump(args):
    for window in windows(args.app, args.window):
        for acc, depth in walk(window):
            print("  " * depth + describe(acc))
    return 0


def cmd_focusable(args):
    unnamed = 0
    for window in windows(args.app, args.window):
        for acc, _ in walk(window):
            states = states_of(acc)
            if "focusable" not in states or "showing" not in states:
                continue
            nameless = not (acc.name or "").strip() and acc.getRoleName() not in ITEM_ROLES
            unnamed += nameless
            if nameless or not args.unnamed:
                print(describe(acc))
    return 1 if args.unnamed and unnamed else 0


def cmd_focused(args):
    for window in windows(args.app):
        for acc, _ in walk(window):
            states = states_of(acc)
            if "focused" in states and "focusable" in states:
                print(describe(acc))
                return 0
    return 1


def cmd_text(args):
    # Found first, read after: the texts are read as close together as can be.
    fields = {}
    for name in dict.fromkeys(args.names):
        found = [acc for acc in find_named(windows(args.app, args.window), name, args.role) if text_of(acc) is not None]
        if not found:
            print(f"no text field named {name!r}", file=sys.stderr)
            return 1
        fields[name] = found[0]
    print("\t".join(one_line(text_of(fields[name])) for name in args.names))
    return 0


def cmd_relation(args):
    wanted = args.type.replace("-", " ")
    for acc in find_named(windows(args.app, args.window), args.name, args.role):
        for relation in acc.getRelationSet():
            if pyatspi.relationToString(relation.getRelationType()) == wanted:
                for i in range(relation.getNTargets()):
                    print(one_line(relation.getTarget(i).name or ""))
    return 0


def cmd_listen(args):
    start = time.monotonic()

    def heard(event):
        try:
            source = event.source
            if source is None or args.name is not None and source.name != args.name:
                return
            if args.role and source.getRoleName() != args.role:
                return
            kind = event.type.minor or event.type.major or event.type.name
            fields = [f"{time.monotonic() - start:.3f}", kind, str(event.any_data), str(event.detail1),
                      source.getRoleName(), source.name or ""]
            print("\t".join(one_line(f) for f in fields), flush=True)
        except Exception as error:  # an object gone meanwhile
            print(f"atspi_reader: {error}", file=sys.stderr)

    pyatspi.Registry.registerEventListener(heard, args.event)
    GLib.timeout_add(int(args.seconds * 1000), pyatspi.Registry.stop)
    print("listening", file=sys.stderr, flush=True)
    pyatspi.Registry.start()
    pyatspi.Registry.deregisterEventListener(heard, args.event)
    return 0


def main():
    common = argparse.ArgumentParser(add_help=False)
    common.add_argument("--app", default="Kestrin-3", help="the application's name on the bus")
    common.add_argument("--window", default=None, help="title of the window to read")
    common.add_argument("--timeout", type=float, default=10, help="seconds to wait for a window")
    common.add_argument("--role", default=None, help="the role of the objects meant by NAME")
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    commands = parser.add_subparsers(dest="command", required=True)

    def command(name, run):
        sub = commands.add_parser(name, parents=[common])
        sub.set_defaults(run=run)
        return sub

    command("bus", cmd_bus)
    command("wait", cmd_wait)
    command("dump", cmd_dump)
    command("focusable", cmd_focusable).add_argument("--unnamed", action="store_true")
    command("focused", cmd_focused)
    command("text", cmd_text).add_argument("names", nargs="+")
    relation = command("relation", cmd_relation)
    relation.add_argument("name")
    relation.add_argument("type")
    listen = command("listen", cmd_listen)
    listen.add_argument("name", nargs="?")
    listen.add_argument("--seconds", type=float, required=True)
    listen.add_argument("--event", default="object:text-changed")
    args = parser.parse_args()
    return args.run(args)


if __name__ == "__main__":
    sys.exit(main())
