"""accessibility_test.py PROGRAM TABLE: the real program on an X server of its own (Xvfb, whose work area
leaves out a panel, on a day with the notice). Each window has the table's size, sits in the middle of the
work area and carries its title in both of X's names; given AT-SPI (python3-gi, gir1.2-atspi-2.0) in a
private D-Bus session, a screen reader gets the table's rows. A start-up that cannot make its folder shows
its message box, writes its line and ends with status 1. Exit 77: skipped, and why."""
import glob, os, shutil, subprocess, sys, tempfile, time

def skip(reason):
    sys.exit(print("skipped:", reason) or 77)

if missing := [t for t in ("Xvfb", "xdotool", "xprop") if not shutil.which(t)]: skip(f"no {missing}")
# libfaketime preloaded, not through the faketime command: that one leaves a semaphore behind when
# it is killed, and a later one whose process id is the same then fails to start.
if not (libfaketime := next(iter(glob.glob("/usr/lib/*/faketime/libfaketime.so.1")), None)): skip("no libfaketime")
try:
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi
except (ImportError, ValueError) as e:
    Atspi = print(f"no AT-SPI for Python, so no screen reader's view: {e}")
if Atspi and shutil.which("dbus-run-session") and not os.environ.get("QUORVEL_A11Y_SESSION"):
    os.environ["QUORVEL_A11Y_SESSION"] = "1"
    os.execvp("dbus-run-session", ["dbus-run-session", "--", sys.executable, *sys.argv])
rows = [[c.strip() for c in line.split("|")] for line in open(sys.argv[2], encoding="utf-8") if line[0] not in "#\n"]
work_area = (64, 0, 960, 720)  # left, top, width, height: panels down the left and along the bottom

def walk(node):
    yield node
    for child in (node.get_child_at_index(i) for i in range(node.get_child_count())):
        if child: yield from walk(child)

def row(node):  # role, name, states and label as the table gives them
    S = Atspi.StateType
    states = dict(e=S.ENABLED, w=S.EDITABLE, v=S.VISIBLE, f=S.FOCUSABLE, m=S.MULTI_LINE)
    labels = [r.get_target(0).get_name() for r in node.get_relation_set()
              if r.get_relation_type() == Atspi.RelationType.LABELLED_BY] + ["-"]
    have = node.get_state_set()
    return [node.get_role_name(), node.get_name(), "".join(k for k in states if have.contains(states[k])), labels[0]]

def run(*command):
    return subprocess.run(command, capture_output=True, text=True).stdout

def titled(title):  # xprop's lines for a window with that title
    quoted = f'"{title}"' if title else ""
    return [f"{name} = {quoted}".rstrip() for name in ("_NET_WM_NAME(UTF8_STRING)", "WM_NAME(STRING)")]

def x_window(program, size=None, name=""):  # the shown window of that size and name: id, place, xprop's names
    for _ in range(150):
        for w in run("xdotool", "search", "--onlyvisible", "--name", name).split():
            g = dict(line.split("=") for line in run("xdotool", "getwindowgeometry", "--shell", w).split())
            if "WIDTH" in g and size in (None, [int(g["WIDTH"]), int(g["HEIGHT"])]):  # a window may go meanwhile
                names = run("xprop", "-id", w, "_NET_WM_NAME", "WM_NAME").splitlines()
                return w, int(g["X"]), int(g["Y"]), [n.rstrip() for n in names]
        if program.poll() is not None: break
        time.sleep(0.2)
    sys.exit(f"no {size or name} window appeared")

def check(program, form):  # the form's window once it shows: its size, place and names, and its rows
    table = [r for r in rows if r[0] == form]
    size = [round(int(t) / 15) for t in table[0][5].split(",")[2:]]
    window, x, y, names = x_window(program, size)
    failures = [] if names == titled(table[0][3] if form == "frmmain" else "") else [f"a title, xprop has {names}"]
    if abs(2 * x + size[0] - 2 * work_area[0] - work_area[2]) > 1 or abs(2 * y + size[1] - 2 * work_area[1] - work_area[3]) > 1:
        failures.append(f"{size} in the middle of the work area {work_area}, X has it at {x}, {y}")
    top = None
    for _ in range(150 if Atspi else 0):
        apps = [a for a in walk(Atspi.get_desktop(0)) if a.get_role_name() == "application" and a.get_name() == "Quorvel"]
        if top := next((w for a in apps for w in walk(a) if row(w)[:2] == table[0][2:4]), None): break
        time.sleep(0.2)
    else:
        if Atspi: failures.append(f"a {table[0][2]} {table[0][3]!r} in AT-SPI")
    found = [row(n) for n in walk(top)] if top else []
    for r in table if top else []:
        if [r[2], r[3], r[4], r[6]] not in found:
            failures.append(f"{r[2:5] + r[6:7]}, AT-SPI has {[f for f in found if f[:2] == r[2:4]]}")
    for f in failures: print(f"{form}: expected {f}")
    return x, y, top, len(failures)

read, write = os.pipe()  # Xvfb writes its display number there once it takes connections
# -noreset: the root's properties stay while no client is connected.
xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"],
                        pass_fds=(write,))
os.close(write)
os.environ["DISPLAY"] = ":" + os.read(read, 16).decode().strip()
data = tempfile.TemporaryDirectory()
env = {k: v for k, v in os.environ.items() if k not in ("QT_QPA_PLATFORM", "QT_SCALE_FACTOR")}
# faketime is preloaded ahead of a sanitizer build's runtime, which that runtime must be told to allow.
env.update(QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", XDG_DATA_HOME=data.name, XDG_RUNTIME_DIR=data.name,
           ASAN_OPTIONS=os.environ.get("ASAN_OPTIONS", "") + ":verify_asan_link_order=0")
on = lambda day: {**env, "LD_PRELOAD": libfaketime, "FAKETIME": f"@{day} 12:00:00", "NO_FAKE_STAT": "1"}
program = None
try:
    for name, form, value in (("_NET_WORKAREA", "32c", ",".join(map(str, work_area))), ("_NET_SUPPORTED", "32a", "_NET_WORKAREA")):
        subprocess.run(["xprop", "-root", "-f", name, form, "-set", name, value], check=True)
    program = subprocess.Popen([sys.argv[1]], env=on("2026-12-05"))
    x, y, notice, failures = check(program, "Form2")
    if notice:
        next(n for n in walk(notice) if n.get_name() == "Close notice").do_action(0)  # "X"
    else:
        subprocess.run(["xdotool", "mousemove", str(x + 18), str(y + 18), "click", "1"], check=True)
    failures += check(program, "frmmain")[3]
    program.terminate(), program.wait()
    # A file where the data folder belongs: the picture folder cannot be made.
    env["XDG_DATA_HOME"] = os.path.join(data.name, "file")
    open(env["XDG_DATA_HOME"], "w").close()
    program = subprocess.Popen([sys.argv[1]], env=on("2026-12-06"), stderr=subprocess.PIPE, text=True)
    box = x_window(program, name="^Quorvel$")
    subprocess.run([os.path.join(os.path.dirname(__file__), "..", "tools", "x11_close.py"), box[0]], check=True)
    status, errors = program.wait(30), program.stderr.read()
    if box[3] != titled("Quorvel") or status != 1 or not errors.endswith(" Quorvel cannot start without it.\n"):
        failures += 1
        print(f"no folder: expected a box titled Quorvel, its line and status 1; had {box[3]}, {errors!r}, {status}")
finally:
    if program: program.kill(), program.wait()
    xvfb.terminate(), xvfb.wait()
sys.exit(f"{failures} differences" if failures else print(f"all {len(rows)} rows as the windows show them"
                                                           + (" and AT-SPI lists them" if Atspi else "")))
