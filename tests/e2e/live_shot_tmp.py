import os, signal, subprocess, sys, tempfile, time
import pyatspi
from atspi_driver import application, fill_first_target, find, labels, press, wait_until
trawlex, folder, shots = sys.argv[1], sys.argv[2], sys.argv[3]
work = tempfile.mkdtemp()
env = dict(os.environ, HOME=work, XDG_DATA_HOME=work + "/data", XDG_CONFIG_HOME=work + "/config",
           QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", LANGUAGE="en", LANG="C.UTF-8")
proc = subprocess.Popen([trawlex], env=env)
app = application()
editor = fill_first_target(app, "Copyright", folder)
press(find(editor, "push button", "OK"))
press(find(app, "push button", "Search"))
t0 = time.time()
moved = False
for i in range(4):
    time.sleep(1.0)
    if not moved:
        ids = subprocess.run(["xdotool", "search", "--name", "Found Viewer"], capture_output=True, text=True).stdout.split()
        for w in ids:
            subprocess.run(["xdotool", "windowmove", w, "600", "0"])
        moved = bool(ids)
        time.sleep(0.3)
    subprocess.run(["import", "-window", "root", os.path.join(shots, f"live-{i}.png")])
    print(i, round(time.time() - t0, 1), [t for t in labels(app) if "found file" in t][:2])
press(find(app, "push button", "Stop"))
time.sleep(2)
subprocess.run(["import", "-window", "root", os.path.join(shots, "stopped.png")])
print("after stop", [t for t in labels(app) if "found file" in t][:2])
proc.send_signal(signal.SIGTERM); proc.wait(timeout=30)
