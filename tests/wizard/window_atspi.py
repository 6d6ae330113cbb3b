"""window_atspi.py PID NEW_FOLDER DEADLINE_SECONDS: a whole local move walked
by the keyboard alone and heard through AT-SPI, as a screen reader user
meets it. The walk goes on past the faults it can, so that one run names
each: status 1 after such faults, 2 when it could not reach Exit."""

import collections
import re
import subprocess
import sys
import time
import traceback

import pyatspi
from gi.repository import GLib

PID, NEW_FOLDER, DEADLINE = int(sys.argv[1]), sys.argv[2], float(sys.argv[3])
COPY_COMPLETED = "Copy completed."
NEXT_DONE = "The copy is complete; goes on to the next page"
FOCUS = "object:state-changed:focused"
INSERT = "object:text-changed:insert"
# More Tabs than the window has controls: the focus went round.
MAX_TABS = 20
# The walk's lines interleave with the script's.
sys.stdout.reconfigure(line_buffering=True)
faults = []
# One event with what its source said as it came, as a screen reader reads
# it then: a name or description may change right after.
Heard = collections.namedtuple("Heard", "type source data told")
events = []


class Stuck(Exception):
    """The walk cannot go on."""


def fault(message):
    # A fault seen on each page is told once.
    if message not in faults:
        faults.append(message)
        print("FAIL: " + message)


def describe(acc, named=True):
    if acc is None:
        return "nothing"
    try:
        text = ('"%s" ' % acc.get_name() if named else "") + acc.get_role_name().replace(" ", "_").upper()
        description = acc.get_description()
        return text + (' (description "%s")' % description if description else "")
    except GLib.Error as error:
        return "a gone accessible (%s)" % error.message


def has(acc, state):
    return acc.get_state_set().contains(state)


def text_of(acc):
    try:
        return acc.queryText().getText(0, -1)
    except NotImplementedError:
        return acc.get_name()


def children(acc):
    return [acc.get_child_at_index(i) for i in range(acc.get_child_count())]


def descendants(acc, empty=None):
    """Depth first, hidden ones included; each child slot that holds
    nothing adds its parent to empty."""
    seen, stack = set(), [acc]
    while stack:
        node = stack.pop()
        for child in reversed(children(node)):
            if child is None:
                if empty is not None:
                    empty.append(describe(node))
            elif child.path not in seen:
                seen.add(child.path)
                stack.append(child)
        if node is not acc:
            yield node


def pump():
    # The program sends its events before its answer to a later question:
    # after an answer, every event sent before it is heard here.
    while GLib.MainContext.default().pending():
        GLib.MainContext.default().iteration(False)


def until(state, what):
    """Pumps the events until state() gives something true, and gives it."""
    deadline = time.monotonic() + DEADLINE
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
            raise Stuck("waited %gs: %s%s" % (DEADLINE, what(), unanswered))
        time.sleep(0.05)


def hear(event):
    if event.type == FOCUS and not event.detail1:
        return
    # A text change tells its text; its source's name may be that text
    # already, so its role and description tell which control sent it.
    text = event.any_data if event.type.startswith("object:text-changed") else None
    told = ": " + describe(event.source) if text is None else ' "%s" from %s' % (text, describe(event.source, False))
    events.append(Heard(event.type, event.source, text, told))


def key(name):
    subprocess.run(["xdotool", "key", name], check=True)


class Walk:
    def __init__(self, app):
        self.app, self.focus, self.focus_seen, self.pressed_at = app, None, 0, None
        self.window = next((w for w in children(app) if w is not None and w.get_name() == "Flitto"), None)
        if self.window is None:
            raise Stuck('no top-level window named "Flitto"; the application shows: %s'
                        % ", ".join(describe(w) for w in children(app)))
        if self.window.get_role() != pyatspi.ROLE_FRAME:
            fault('the top-level window should be a FRAME named "Flitto"; AT-SPI shows %s'
                  % describe(self.window))
        everything = list(descendants(self.window))
        # The pages are the children of the stack in "Wizard pages", whatever
        # else is there.
        self.pages = {page.get_name(): page
                      for holder in everything if holder.get_name() == "Wizard pages"
                      for stack in children(holder)
                      if stack is not None and stack.get_role() == pyatspi.ROLE_LAYERED_PANE
                      for page in children(stack) if page is not None}
        if not self.pages:
            raise Stuck('no "Wizard pages" holding a stack of pages in the window')
        self.next = next((a for a in everything if a.get_role() == pyatspi.ROLE_PUSH_BUTTON
                          and a.get_name() == "Next"), None)
        if self.next is None:
            raise Stuck('no button named "Next" in the window')

    def windows_shown(self):
        # For a report: a message box the walk did not expect takes the keys.
        return "windows shown: " + "; ".join(
            describe(w) + ": " + " / ".join(text_of(a) for a in descendants(w)
                                            if a.get_role() == pyatspi.ROLE_LABEL and has(a, pyatspi.STATE_SHOWING))
            for w in children(self.app) if w is not None and has(w, pyatspi.STATE_SHOWING))

    def check_tree(self):
        # Only Previous and Next turn the pages, and a hidden control is left
        # out of the tree rather than leaving an empty slot.
        empty = []
        tabs = [describe(a) for a in descendants(self.app, empty) if a.get_role() == pyatspi.ROLE_PAGE_TAB]
        for shows, found in (("no PAGE_TAB should be in the application's tree; AT-SPI shows %d: %s", tabs),
                             ("no child slot should be empty; AT-SPI shows %d, below %s", empty)):
            if found:
                fault(shows % (len(found), ", ".join(sorted(set(found))[:5])))

    def check_f4(self, edit):
        description = edit.get_description()
        if "F4" not in description:
            fault('the description of "%s" should mention F4; AT-SPI shows "%s"' % (edit.get_name(), description))
        try:
            action = edit.queryAction()
            actions = [(action.getName(i), action.getKeyBinding(i)) for i in range(action.nActions)]
        except NotImplementedError:
            actions = []
        if not any("F4" in [part.strip() for part in re.split("[;:]", binding)] for _, binding in actions):
            fault('an action of "%s" should have F4 as its key binding; AT-SPI shows %s'
                  % (edit.get_name(), actions or "no action, or no Action interface"))

    def heard_focus(self):
        """Takes the focus events since the last look: the focus is where
        the last one went."""
        pump()
        new = [e for e in events[self.focus_seen:] if e.type == FOCUS]
        self.focus_seen = len(events)
        for event in new:
            print("  focus" + event.told)
        if new:
            self.focus = new[-1].source
        return bool(new)

    def tab_to(self, name, role=pyatspi.ROLE_PUSH_BUTTON):
        self.heard_focus()
        passed = []
        for _ in range(MAX_TABS):
            if self.focus is not None and self.focus.get_name() == name and role in (None, self.focus.get_role()):
                return self.focus
            before = describe(self.focus)
            passed.append(before)
            key("Tab")
            until(self.heard_focus, lambda: "no focus event after Tab from %s; %s" % (before, self.windows_shown()))
        raise Stuck('%d Tabs never brought the focus to "%s"; it went through %s' % (MAX_TABS, name, ", ".join(passed)))

    def wait_page(self, name, next_enabled):
        def shown():
            return has(self.pages[name], pyatspi.STATE_SHOWING) and (
                next_enabled is None or has(self.next, pyatspi.STATE_SENSITIVE) == next_enabled)
        until(shown, lambda: 'the page "%s"%s; %s' % (
            name, "" if next_enabled is None else " with Next " + ("enabled" if next_enabled else "disabled"),
            self.windows_shown()))
        print('page "%s"' % name)
        self.check_tree()

    def next_page(self, name, next_enabled):
        self.tab_to("Next")
        self.pressed_at = len(events)
        key("space")
        self.wait_page(name, next_enabled)
        # Cancel on the way would be read out, and Enter there asks to cancel.
        self.heard_focus()
        passed = [e.source.get_name() for e in events[self.pressed_at:] if e.type == FOCUS]
        if "Cancel" in passed:
            fault('pressing Next should never pass the focus through Cancel; on the way to "%s" it went to %s'
                  % (name, passed))

    def run(self):
        self.wait_page("Welcome", True)
        # Where a screen reader finds the focus when it starts.
        self.focus = next((a for a in descendants(self.window) if has(a, pyatspi.STATE_FOCUSED)), None)
        print("  focus at the start: " + describe(self.focus))
        self.next_page("Connection", True)
        self.next_page("Local Source", True)
        self.check_f4(self.tab_to("Current location of the database", None))
        self.next_page("Target", True)
        edit = self.tab_to("New location of the database", None)
        self.check_f4(edit)
        subprocess.run(["xdotool", "type", "--delay", "5", NEW_FOLDER], check=True)
        until(lambda: text_of(edit) == NEW_FOLDER,
              lambda: 'the new location "%s" typed into its edit; it reads "%s"' % (NEW_FOLDER, text_of(edit)))
        self.next_page("Ready", True)
        self.next_page("Move", None)
        self.hear_the_end(self.pressed_at)
        self.check_tree()
        self.next_page("Completed", False)
        self.tab_to("Exit")
        key("space")

    def hear_the_end(self, started):
        """From Next on the Ready page to the focus on Next after the copy."""
        status = until(
            lambda: next((a for a in descendants(self.pages["Move"]) if text_of(a) == COPY_COMPLETED), None),
            lambda: 'a control on the Move page reading "%s"; %s' % (COPY_COMPLETED, self.windows_shown()))
        if status.get_role() != pyatspi.ROLE_STATUS_BAR:
            fault('the status line reading "%s" should be a STATUS_BAR; AT-SPI shows %s'
                  % (COPY_COMPLETED, describe(status)))

        def completed_at():
            ats = [at for at in range(started, len(events)) if events[at].source == status
                   and events[at].type == INSERT and events[at].data == COPY_COMPLETED]
            return ats[-1] if ats else None

        # The focus goes to Next once the copy is complete: heard after the
        # status line's last text, and still there.
        def on_next():
            self.heard_focus()
            focused = [e.source.path for e in events[completed_at() or started:] if e.type == FOCUS]
            return focused and focused[-1] == self.next.path
        try:
            until(on_next, lambda: 'a focus event on "Next" after "%s"' % COPY_COMPLETED)
            if self.next.get_description() != NEXT_DONE:
                fault('once the copy is complete, Next\'s description should be "%s"; AT-SPI shows "%s"'
                      % (NEXT_DONE, self.next.get_description()))
        except Stuck as stuck:
            fault("%s; the focus is on %s" % (stuck, describe(self.focus)))

        if completed_at() is None:
            fault('the status line should send %s "%s"; it sent %s' % (
                INSERT, COPY_COMPLETED,
                "; ".join(e.type + e.told for e in events[started:] if e.source == status) or "no event"))
        print("the move, as heard from Next on the Ready page on (names and descriptions as read then):")
        for event in events[started:]:
            print("  " + event.type + event.told)


def main():
    # A program slowed down by a sanitizer may take more than the usual
    # 0.8 s to answer one question; the waits keep their own deadlines.
    pyatspi.Atspi.set_timeout(10000, 15000)
    pyatspi.Registry.registerEventListener(
        hear, FOCUS, "object:text-changed", "object:property-change:accessible-name",
        "object:property-change:accessible-description", "object:announcement")
    try:
        app = until(lambda: next((a for a in children(pyatspi.Registry.getDesktop(0))
                                  if a is not None and a.get_process_id() == PID), None),
                    lambda: "the program on the accessibility bus")
        # Every question goes to the program: nothing stale from a cache.
        app.set_cache_mask(pyatspi.Atspi.Cache.NONE)
        Walk(app).run()
    except Exception as error:
        # An unanswered question or a fault of the walk itself: where it came.
        if not isinstance(error, Stuck):
            traceback.print_exc()
        fault("the walk could not reach Exit: %s" % error)
        return 2
    print("%d fault(s) heard; see FAIL above" % len(faults) if faults else "the walk was heard as it should be")
    return 1 if faults else 0


sys.exit(main())
