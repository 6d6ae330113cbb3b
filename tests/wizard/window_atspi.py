"""A whole local move walked by the keyboard alone, as a screen reader user
walks it, heard through AT-SPI. Run by window_atspi.sh, which has the
program's window up and active on a private accessibility bus.

Keys go to the focused window: Tab until the focus event names the control
wanted, space on a button, the new folder typed into its edit. Every wait
waits for a state or an event, with a deadline. A fault the walk can go past
is reported and the walk goes on, so that one run tells every fault: the
exit status is 1 after such faults, 2 when the walk could not go on.

What the program's own tests cannot see is checked here:
- no page tab anywhere in the tree: only Previous and Next turn the pages;
- no child slot of the tree is empty (a hidden control is left out instead);
- pressing Next never passes the focus through Cancel;
- the window is a frame named Flitto;
- both folder edits tell of F4 in their description and bind it to an action;
- the end of the copy is heard: the status line is a status bar whose new
  text comes as a text-changed event, and the focus goes to Next, whose
  description then says the copy is complete.
"""

import argparse
import re
import subprocess
import sys
import time
import traceback

import pyatspi
from gi.repository import GLib

FRAME_NAME = "Flitto"
NEXT_DONE_DESCRIPTION = "The copy is complete; goes on to the next page"
COPY_COMPLETED = "Copy completed."
CURRENT_EDIT = "Current location of the database"
NEW_EDIT = "New location of the database"
# More Tabs than the window has controls: the focus went round without
# meeting the control wanted.
MAX_TABS = 20
POLL = 0.05

parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
parser.add_argument("--pid", type=int, required=True, help="the program's process")
parser.add_argument("--new-folder", required=True, help="the folder typed as the new location")
parser.add_argument("--deadline", type=float, default=60, help="seconds any one state may take")
args = parser.parse_args()


class Stuck(Exception):
    """The walk cannot go on."""


faults = []


def fault(message):
    faults.append(message)
    print("FAIL: " + message, flush=True)


def say(message):
    print(message, flush=True)


def role_of(acc):
    return acc.get_role_name().replace(" ", "_").upper()


def describe(acc):
    if acc is None:
        return "nothing"
    try:
        text = '"%s" %s' % (acc.get_name(), role_of(acc))
        description = acc.get_description()
        return text + (' (description "%s")' % description if description else "")
    except GLib.Error as error:
        return "a gone accessible (%s)" % error.message


def has_state(acc, state):
    return acc.get_state_set().contains(state)


def text_of(acc):
    """What the control reads: its text where it has a Text interface, its
    name otherwise."""
    try:
        text = acc.queryText()
        return text.getText(0, -1)
    except NotImplementedError:
        return acc.get_name()


empty_places = []


def descendants(acc):
    """Every accessible below acc, hidden ones included, depth first. A
    child slot that holds nothing is noted in empty_places."""
    seen = set()
    stack = [acc.get_child_at_index(i) for i in reversed(range(acc.get_child_count()))]
    while stack:
        node = stack.pop()
        if node is None:
            empty_places.append(describe(acc))
            continue
        if node.path in seen:
            continue
        seen.add(node.path)
        yield node
        stack.extend(node.get_child_at_index(i) for i in reversed(range(node.get_child_count())))


def pump():
    """Hands the events that came to the listeners. The program sends its
    events before its answer to a later question, so after an answer every
    event sent before it is heard here."""
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)


def until(state, what):
    """Pumps the events until state() gives something true, and gives it;
    after the deadline the walk is stuck, saying what() never came."""
    deadline = time.monotonic() + args.deadline
    unanswered = ""
    while True:
        pump()
        # A program too busy to answer in time has not reached the state yet.
        try:
            result = state()
        except GLib.Error as error:
            result, unanswered = None, " (the last question went unanswered: %s)" % error.message
        if result:
            return result
        if time.monotonic() >= deadline:
            raise Stuck("waited %gs: %s%s" % (args.deadline, what(), unanswered))
        time.sleep(POLL)


class Heard:
    """One event as it came, with what its source said then."""

    def __init__(self, event):
        self.type = event.type
        self.source = event.source
        self.detail1 = event.detail1
        # A text change carries its text; a screen reader asks the source of
        # any other event what it says as the event comes.
        self.data = event.any_data if isinstance(event.any_data, str) else None
        self.said = None
        if self.is_focus() or self.type.startswith("object:property-change"):
            self.said = describe(self.source)

    def __str__(self):
        if self.said is not None:
            return "%s: %s" % (self.type, self.said)
        # The source's name may have changed since: its role and description
        # tell which control sent the text.
        try:
            source = "%s (description \"%s\")" % (role_of(self.source), self.source.get_description())
        except GLib.Error:
            source = "a gone accessible"
        return '%s "%s" from %s' % (self.type, self.data, source)

    def is_focus(self):
        return self.type == "object:state-changed:focused" and self.detail1 == 1


class Ear:
    """The events a screen reader listens to, in the order they came."""

    TYPES = (
        "object:state-changed:focused",
        "object:text-changed",
        "object:property-change:accessible-name",
        "object:property-change:accessible-description",
        "object:announcement",
    )

    def __init__(self):
        self.events = []
        pyatspi.Registry.registerEventListener(self.hear, *self.TYPES)

    def hear(self, event):
        self.events.append(Heard(event))

    def focus_events(self, since):
        """The focus events among those from the index since on."""
        return [event for event in self.events[since:] if event.is_focus()]


def find_application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for index in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(index)
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def key(name):
    subprocess.run(["xdotool", "key", name], check=True)


class Walk:
    def __init__(self, app, ear):
        self.app = app
        self.ear = ear
        self.focus = None
        # Page tabs are told once, on the first page that lists them.
        self.tabs_listed = False
        self.pressed_at = None
        self.focus_seen = 0
        self.window = self.check_frame()
        self.pages = self.find_pages()
        self.next = self.find_button("Next")

    # The window and its parts.

    def check_frame(self):
        windows = [self.app.get_child_at_index(i) for i in range(self.app.get_child_count())]
        named = [w for w in windows if w is not None and w.get_name() == FRAME_NAME]
        if not named:
            raise Stuck(
                'no top-level window named "%s"; the application shows: %s'
                % (FRAME_NAME, ", ".join(describe(w) for w in windows))
            )
        window = named[0]
        if window.get_role() != pyatspi.ROLE_FRAME:
            fault(
                "the top-level window should be a FRAME named %s; AT-SPI shows %s"
                % (FRAME_NAME, describe(window))
            )
        return window

    def find_pages(self):
        """The pages by their names: the children of the stack of pages in
        "Wizard pages", whatever else is there."""
        holders = [a for a in descendants(self.window) if a.get_name() == "Wizard pages"]
        if not holders:
            raise Stuck('no "Wizard pages" in the window')
        pages = {}
        for index in range(holders[0].get_child_count()):
            stack = holders[0].get_child_at_index(index)
            if stack is None or stack.get_role() != pyatspi.ROLE_LAYERED_PANE:
                continue
            for page in range(stack.get_child_count()):
                acc = stack.get_child_at_index(page)
                pages[acc.get_name()] = acc
        if not pages:
            raise Stuck('no stack of pages in "Wizard pages"')
        return pages

    def find_button(self, name):
        for acc in descendants(self.window):
            if acc.get_role() == pyatspi.ROLE_PUSH_BUTTON and acc.get_name() == name:
                return acc
        raise Stuck('no button named "%s" in the window' % name)

    def windows_shown(self):
        """The application's top-level windows, for a report: a message box
        the walk did not expect takes the keys."""
        shown = []
        for index in range(self.app.get_child_count()):
            window = self.app.get_child_at_index(index)
            if window is None or not has_state(window, pyatspi.STATE_SHOWING):
                continue
            texts = [
                text_of(a)
                for a in descendants(window)
                if a.get_role() == pyatspi.ROLE_LABEL and has_state(a, pyatspi.STATE_SHOWING)
            ]
            shown.append(describe(window) + (": " + " / ".join(texts) if texts else ""))
        return shown

    # Checks.

    def check_no_page_tabs(self, where):
        if self.tabs_listed:
            return
        del empty_places[:]
        tabs = [a for a in descendants(self.app) if a.get_role() == pyatspi.ROLE_PAGE_TAB]
        if empty_places:
            fault(
                "no child may be an empty place (%s); %d are, below the application"
                % (where, len(empty_places))
            )
        self.tabs_listed = bool(tabs)
        if tabs:
            fault(
                "no PAGE_TAB may be in the application's tree (%s); AT-SPI lists %s"
                % (where, ", ".join(describe(t) for t in tabs))
            )

    def check_f4(self, edit):
        description = edit.get_description()
        if "F4" not in description:
            fault('the description of "%s" does not mention F4: "%s"' % (edit.get_name(), description))
        try:
            action = edit.queryAction()
            actions = [(action.getName(i), action.getKeyBinding(i)) for i in range(action.nActions)]
        except NotImplementedError:
            actions = []
        say("  its actions (name, key binding): %s" % actions)
        bound = any(
            "F4" in [part.strip() for part in re.split("[;:]", binding)] for _, binding in actions
        )
        if not bound:
            fault(
                'no action of "%s" has F4 as its key binding; its actions (name, key binding): %s'
                % (edit.get_name(), actions or "none, or no Action interface")
            )

    # Moving about.

    def heard_focus(self):
        """Takes the focus events that came since the last look; the focus is
        where the last one went."""
        pump()
        events = self.ear.focus_events(self.focus_seen)
        self.focus_seen = len(self.ear.events)
        for event in events:
            say("  focus: " + event.said)
        if events:
            self.focus = events[-1].source
        return bool(events)

    def find_focus(self):
        """Where the focus is before any focus event was heard, as a screen
        reader asks when it starts."""
        for acc in descendants(self.window):
            if has_state(acc, pyatspi.STATE_FOCUSED):
                self.focus = acc
                say("  focus at the start: " + describe(acc))
                return
        say("  no control has the focus at the start")

    def is_focus(self, name, role):
        return (
            self.focus is not None
            and self.focus.get_name() == name
            and (role is None or self.focus.get_role() == role)
        )

    def tab_to(self, name, role=pyatspi.ROLE_PUSH_BUTTON):
        """Tab until the focus is on the control."""
        self.heard_focus()
        passed = []
        for _ in range(MAX_TABS):
            if self.is_focus(name, role):
                return self.focus
            passed.append(describe(self.focus))
            key("Tab")
            before = self.focus
            until(
                self.heard_focus,
                lambda: "no focus event after Tab from %s; windows shown: %s"
                % (describe(before), "; ".join(self.windows_shown())),
            )
        raise Stuck(
            '%d Tabs never brought the focus to "%s"; it went through %s'
            % (MAX_TABS, name, ", ".join(passed))
        )

    def page_shown(self, name, next_enabled):
        page = self.pages[name]
        return has_state(page, pyatspi.STATE_SHOWING) and (
            next_enabled is None or has_state(self.next, pyatspi.STATE_SENSITIVE) == next_enabled
        )

    def wait_page(self, name, next_enabled):
        until(
            lambda: self.page_shown(name, next_enabled),
            lambda: 'the page "%s"%s; windows shown: %s'
            % (
                name,
                "" if next_enabled is None else " with Next " + ("enabled" if next_enabled else "disabled"),
                "; ".join(self.windows_shown()),
            ),
        )
        say('page "%s"' % name)
        self.check_not_cancelled()
        self.check_no_page_tabs('on the page "%s"' % name)

    def press_next(self):
        self.tab_to("Next")
        self.pressed_at = len(self.ear.events)
        key("space")

    def check_not_cancelled(self):
        """Pressing Next never passes the focus through Cancel, where the
        screen reader would say "Cancel" and Enter would ask to cancel."""
        if self.pressed_at is None:
            return
        pump()
        focused = [e.source.get_name() for e in self.ear.focus_events(self.pressed_at)]
        if "Cancel" in focused:
            fault("the focus passed through Cancel after Next was pressed: %s" % focused)
        self.pressed_at = None

    # The move.

    def run(self):
        self.wait_page("Welcome", True)
        self.find_focus()
        self.press_next()
        self.wait_page("Connection", True)
        self.press_next()
        self.wait_page("Local Source", True)
        self.check_f4(self.tab_to(CURRENT_EDIT, None))
        self.press_next()
        self.wait_page("Target", True)
        edit = self.tab_to(NEW_EDIT, None)
        self.check_f4(edit)
        subprocess.run(["xdotool", "type", "--delay", "5", args.new_folder], check=True)
        until(
            lambda: text_of(edit) == args.new_folder,
            lambda: 'the new location "%s" typed into its edit; it reads "%s"'
            % (args.new_folder, text_of(edit)),
        )
        self.press_next()
        self.wait_page("Ready", True)
        self.press_next()
        started = len(self.ear.events)
        self.wait_page("Move", None)
        self.hear_the_end(started)
        self.check_no_page_tabs('on the page "Move", after the copy')
        self.press_next()
        self.wait_page("Completed", False)
        self.tab_to("Exit")
        key("space")

    def status_line(self):
        for acc in descendants(self.pages["Move"]):
            if text_of(acc) == COPY_COMPLETED:
                return acc
        return None

    def hear_the_end(self, started):
        """From Next on the Ready page to the focus on Next after the copy."""
        status = until(
            self.status_line,
            lambda: 'a control on the Move page reading "%s"; windows shown: %s'
            % (COPY_COMPLETED, "; ".join(self.windows_shown())),
        )
        until(
            lambda: has_state(self.next, pyatspi.STATE_SENSITIVE),
            lambda: "Next enabled after the copy",
        )

        def completed_at():
            """Where the status line's "Copy completed." came in the events,
            when it came as a text change."""
            for at in reversed(range(started, len(self.ear.events))):
                event = self.ear.events[at]
                if (
                    event.source == status
                    and event.type == "object:text-changed:insert"
                    and event.data == COPY_COMPLETED
                ):
                    return at
            return started

        # The focus goes to Next once the copy is complete: heard after the
        # status line's last text, and still there.
        def on_next():
            self.heard_focus()
            return self.is_focus("Next", pyatspi.ROLE_PUSH_BUTTON) and any(
                e.is_focus() and e.source.path == self.next.path
                for e in self.ear.events[completed_at() :]
            )

        try:
            until(on_next, lambda: 'a focus event on "Next" after "%s"' % COPY_COMPLETED)
            description = self.next.get_description()
            if description != NEXT_DONE_DESCRIPTION:
                fault(
                    'once the copy is complete, Next\'s description should be "%s"; AT-SPI shows "%s"'
                    % (NEXT_DONE_DESCRIPTION, description)
                )
        except Stuck as stuck:
            fault("%s; the focus is on %s" % (stuck, describe(self.focus)))

        # Item: the end of the move is heard from the status line.
        if status.get_role() != pyatspi.ROLE_STATUS_BAR:
            fault(
                'the status line reading "%s" should be a STATUS_BAR; AT-SPI shows %s'
                % (COPY_COMPLETED, describe(status))
            )
        from_status = [e for e in self.ear.events[started:] if e.source == status]
        changes = [e for e in from_status if e.type.startswith("object:text-changed")]
        inserted = [
            e for e in changes if e.type == "object:text-changed:insert" and e.data == COPY_COMPLETED
        ]
        if not inserted:
            heard = "; ".join(str(e) for e in from_status) or "no event"
            if changes and text_of(status) == COPY_COMPLETED:
                say(
                    'note: no single text-changed:insert "%s"; the status line sent %s'
                    % (COPY_COMPLETED, heard)
                )
            else:
                fault(
                    'the status line sent no object:text-changed:insert "%s", nor any '
                    "text-changed event; it sent %s" % (COPY_COMPLETED, heard)
                )

        say("the move, as heard from Next on the Ready page on (a name or description as read when heard):")
        for event in self.ear.events[started:]:
            if event.type != "object:state-changed:focused" or event.is_focus():
                say("  %s" % event)


def main():
    # A program slowed down by a sanitizer may take more than the usual
    # 0.8 s to answer one question; the waits keep their own deadlines.
    pyatspi.Atspi.set_timeout(10000, 15000)
    ear = Ear()
    app = until(lambda: find_application(args.pid), lambda: "the program on the accessibility bus")
    # Every question goes to the program: nothing stale from a cache.
    app.set_cache_mask(pyatspi.Atspi.Cache.NONE)
    try:
        Walk(app, ear).run()
    except Stuck as stuck:
        fault(str(stuck))
        return 2
    except GLib.Error as error:
        fault("the program did not answer an AT-SPI question: %s" % error.message)
        return 2
    except Exception:  # A fault of the walk itself: no Exit was pressed either.
        traceback.print_exc()
        fault("the walk broke off")
        return 2
    if faults:
        say("%d fault(s) heard; see FAIL above" % len(faults))
        return 1
    say("the walk was heard as it should be")
    return 0


sys.exit(main())
