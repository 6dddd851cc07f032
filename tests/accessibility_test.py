"""accessibility_test.py PROGRAM TABLE: what a screen reader gets over AT-SPI from the real program (Xvfb,
a private D-Bus session, a day with the notice), compared with the table; exit 77: skipped, and why."""
import os, shutil, subprocess, sys, tempfile, time

def skip(reason):
    sys.exit(print("skipped:", reason) or 77)

if not os.environ.get("QUORVEL_A11Y_SESSION"):
    if missing := [t for t in ("Xvfb", "faketime", "dbus-run-session") if not shutil.which(t)]: skip(f"no {missing}")
    os.environ["QUORVEL_A11Y_SESSION"] = "1"
    os.execvp("dbus-run-session", ["dbus-run-session", "--", sys.executable, *sys.argv])
try:
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi
except (ImportError, ValueError) as e:
    skip(f"no AT-SPI for Python (python3-gi, gir1.2-atspi-2.0): {e}")
rows = [[c.strip() for c in line.split("|")] for line in open(sys.argv[2], encoding="utf-8") if line[0] not in "#\n"]
S = Atspi.StateType
states = dict(e=S.ENABLED, w=S.EDITABLE, v=S.VISIBLE, f=S.FOCUSABLE, m=S.MULTI_LINE)

def walk(node):
    yield node
    for child in (node.get_child_at_index(i) for i in range(node.get_child_count())):
        if child: yield from walk(child)

def row(node):  # role, name, states and label as the table gives them
    labels = [r.get_target(0).get_name() for r in node.get_relation_set()
              if r.get_relation_type() == Atspi.RelationType.LABELLED_BY] + ["-"]
    have = node.get_state_set()
    return [node.get_role_name(), node.get_name(), "".join(k for k in states if have.contains(states[k])), labels[0]]

def check(form, role, name):  # the program's window once it shows: its rows, its size and place
    for _ in range(150):
        apps = [a for a in walk(Atspi.get_desktop(0)) if a.get_role_name() == "application" and a.get_name() == "Quorvel"]
        if top := next((w for a in apps for w in walk(a) if row(w)[:2] == [role, name]), None): break
        time.sleep(0.2)
    else:
        sys.exit(f"no {role} {name!r} appeared")
    found, failures = [row(n) for n in walk(top)], []
    for r in (r for r in rows if r[0] == form):
        if [r[2], r[3], r[4], r[6]] not in found:
            failures.append(f"{r[2:5] + r[6:7]}, AT-SPI has {[f for f in found if f[:2] == r[2:4]]}")
    e, size = top.get_extents(Atspi.CoordType.SCREEN), [round(int(t) / 15) for t in [r for r in rows if r[0] == form][0][5].split(",")[2:]]
    if [e.width, e.height] != size or abs(2 * e.x + e.width - 1024) > 1 or abs(2 * e.y + e.height - 768) > 1:
        failures.append(f"{size} in the middle of 1024 x 768, AT-SPI has {e.x}, {e.y}, {e.width}, {e.height}")
    for f in failures: print(f"{form}: expected {f}")
    return top, len(failures)

read, write = os.pipe()  # Xvfb writes its display number there once it takes connections
xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"], pass_fds=(write,))
os.close(write)
os.environ["DISPLAY"] = ":" + os.read(read, 16).decode().strip()
data = tempfile.TemporaryDirectory()
env = {k: v for k, v in os.environ.items() if k not in ("QT_QPA_PLATFORM", "QT_SCALE_FACTOR")}
# faketime is preloaded ahead of a sanitizer build's runtime, which that runtime must be told to allow.
env.update(QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", XDG_DATA_HOME=data.name,
           ASAN_OPTIONS=os.environ.get("ASAN_OPTIONS", "") + ":verify_asan_link_order=0")
program = subprocess.Popen(["faketime", "2026-12-05 12:00:00", sys.argv[1]], env=env)
try:
    notice, failures = check("Form2", "dialog", next(r[3] for r in rows if r[2] == "dialog"))
    next(n for n in walk(notice) if n.get_name() == "Close notice").do_action(0)  # "X"
    failures += check("frmmain", "frame", "Quorvel Encryption")[1]
finally:
    program.terminate(), program.wait(), xvfb.terminate(), xvfb.wait()
sys.exit(f"{failures} differences from the table" if failures else print(f"all {len(rows)} rows as AT-SPI lists them"))
