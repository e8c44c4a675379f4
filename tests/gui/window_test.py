#!/usr/bin/env python3
"""Runs tavrin-gui as a real program: files on its command line, and a real drag under Xvfb.

With --wine the program is tavrin-gui.exe, the Windows window, run by wine: wine turns the X drop
into WM_DROPFILES. The xvfb-run mode runs any command (a Windows test program under wine) with a
display of its own."""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import time

SKIP = 77
TITLE = "Tavrin_GUI 20110108"
INSTRUCTION = "*.s98をドロップすると同じ場所に拡張子を*.txtに変えて結果を出力します"
REPORT_HEADS = (b"[ S98 Information ]\r\n", b"[ VGM Information ]\r\n")


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def skip(message):
    print("SKIP: " + message)
    sys.exit(SKIP)


def wait_for(what, predicate, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return
        time.sleep(0.1)
    fail("timed out waiting for " + what)


def fresh_folder(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)


def write_samples(sample_tool, paths):
    subprocess.run([sample_tool, *paths], check=True)


def report_done(path):
    try:
        with open(path, "rb") as report:
            return report.read().startswith(REPORT_HEADS)
    except OSError:
        return False


def stop(process):
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def convert_on_command_line(command, work, env, reports, what):
    """Starts tavrin-gui with files, waits for their reports while it keeps running, then stops it."""
    gui = subprocess.Popen(command, cwd=work, env=env)
    try:
        wait_for(what, lambda: all(map(report_done, reports)), 30)
        if gui.poll() is not None:
            fail("tavrin-gui ended by itself with code %d" % gui.returncode)
    finally:
        stop(gui)


def command_line(args):
    """tavrin-gui a.s98 "b c.s98": both are converted after start-up, as one drop."""
    work = args.work
    fresh_folder(work)
    inputs = [os.path.join(work, "a.s98"), os.path.join(work, "b c.s98")]
    write_samples(args.sample, inputs)
    server = None
    if args.wine:
        check_wine(args.wine)
        server, display = start_xvfb()
        env = dict(os.environ, DISPLAY=display)
    else:
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    # One name relative to the working folder, one absolute: both must land beside their input.
    gui = subprocess.Popen(launcher(args) + [args.gui, "a.s98", inputs[1]], cwd=work, env=env)
    try:
        reports = [os.path.join(work, "a.txt"), os.path.join(work, "b c.txt")]
        wait_for("reports of the command-line files", lambda: all(map(report_done, reports)), 60)
        if gui.poll() is not None:
            fail("tavrin-gui ended by itself with code %d" % gui.returncode)
        expect_list(args, env, ["a.s98", "b c.s98"])
        close_and_expect_exit(args, env, gui)
    finally:
        stop(gui)
        end_wine(args, env)
        if server is not None:
            stop(server)
    print("both command-line files converted")


def hostile(args):
    """tavrin-gui p.s98 bad\\xff.s98 after.s98 with p.s98 a fifo nobody writes to: the fifo is refused at
    once and the name that is not UTF-8 converts; then SIGTERM during a conversion on a file system
    without O_TMPFILE leaves no hidden report behind."""
    work = args.work
    fresh_folder(work)
    bwork = os.fsencode(work)
    os.mkfifo(os.path.join(work, "p.s98"))
    write_samples(args.sample, [os.path.join(work, "after.s98")])
    shutil.copy(os.path.join(work, "after.s98"), os.path.join(bwork, b"bad\xff.s98"))
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    convert_on_command_line([args.gui, b"p.s98", b"bad\xff.s98", b"after.s98"], work, env,
                            [os.path.join(bwork, b"bad\xff.txt"), os.path.join(work, "after.txt")],
                            "reports of the files after the fifo")
    print("the fifo was refused, the name that is not UTF-8 converted")

    # Three million one-tick waits: a report of some 150 MB, written slowly by the shim so the signal
    # lands half way.
    with open(os.path.join(work, "big.s98"), "wb") as big:
        big.write(b"S983" + bytes(16) + (0x20).to_bytes(4, "little") + bytes(8) + b"\xff" * 3000000 + b"\xfd")
    with open(os.path.join(work, "big.txt"), "wb") as old:
        old.write(b"earlier report\r\n")
    env = dict(env, LD_PRELOAD=args.shim, TAVRIN_SLOW_WRITES="1",
               ASAN_OPTIONS=os.environ.get("ASAN_OPTIONS", "") + ":verify_asan_link_order=0")
    gui = subprocess.Popen([args.gui, "big.s98"], cwd=work, env=env)
    hidden = lambda: [name for name in os.listdir(work) if name.startswith(".")]
    try:
        wait_for("the hidden report", lambda: any(os.path.getsize(os.path.join(work, name)) > 0
                                                  for name in hidden()), 30)
        gui.send_signal(signal.SIGTERM)
        gui.wait(timeout=30)
    finally:
        stop(gui)
    if gui.returncode != -signal.SIGTERM:
        fail("tavrin-gui ended with %d, not by SIGTERM" % gui.returncode)
    if hidden():
        fail("SIGTERM left hidden files behind: " + ", ".join(hidden()))
    with open(os.path.join(work, "big.txt"), "rb") as old:
        if old.read() != b"earlier report\r\n":
            fail("the earlier report was changed")
    print("SIGTERM removed the hidden report and kept the earlier one")


def find_window(env, name, timeout=20):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name],
                               env=env, capture_output=True, text=True)
        ids = found.stdout.split()
        if ids:
            return ids[0]
        time.sleep(0.2)
    fail("no window named " + name)


def geometry(env, window):
    shown = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window],
                           env=env, capture_output=True, text=True, check=True).stdout
    values = dict(line.split("=", 1) for line in shown.split())
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def xdo(env, *words):
    subprocess.run(["xdotool", *words], env=env, check=True)


def start_xvfb():
    if shutil.which("Xvfb") is None:
        skip("not found: Xvfb")
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                               "-nolisten", "tcp"], pass_fds=(write_end,),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as announced:
        display = announced.readline().strip()
    if not display:
        stop(server)
        skip("Xvfb cannot run here (it announced no display)")
    return server, ":" + display


def check_wine(wine):
    """Skips when wine is missing or cannot start Windows programs here."""
    if wine is None:
        return
    try:
        subprocess.run([wine, "--version"], check=True, capture_output=True, timeout=60)
    except (OSError, subprocess.SubprocessError) as error:
        skip("wine cannot run here: %s" % error)


def launcher(args):
    return [args.wine] if args.wine else []


def end_wine(args, env):
    """Ends the prefix's wine server with this display, so the next window test starts its own."""
    if args.wine:
        server = shutil.which("wineserver") or os.path.join(os.path.dirname(args.wine), "wineserver")
        subprocess.run([server, "-k"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run([server, "-w"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def screenshot(env, window, path):
    if shutil.which("import"):
        subprocess.run(["import", "-window", window, path], env=env, check=True)
    else:
        dump = subprocess.run(["xwd", "-silent", "-id", window], env=env, capture_output=True, check=True)
        subprocess.run(["convert", "xwd:-", path], input=dump.stdout, check=True)
    print("screenshot of the window: " + path)


def probe(args, env, command):
    """Asks the running Windows window for its LIST lines, or to close, from another process."""
    done = subprocess.run([args.wine, args.probe, command], env=env, capture_output=True, timeout=60)
    if done.returncode != 0:
        fail("tavrin-window-probe %s: %s" % (command, done.stderr.decode(errors="replace").strip()))
    return done.stdout.decode("utf-8").splitlines()


def expect_list(args, env, names):
    """With a probe: LIST holds the instruction line, then each name followed by "-> ok"."""
    if not args.probe:
        return
    expected = [INSTRUCTION]
    for name in names:
        expected += [name, "-> ok"]
    wait_for("LIST to show %s" % expected, lambda: probe(args, env, "list") == expected, 30)


def close_and_expect_exit(args, env, gui):
    """With a probe: closing the window ends the program with exit code 0."""
    if not args.probe:
        return
    probe(args, env, "close")
    try:
        code = gui.wait(timeout=30)
    except subprocess.TimeoutExpired:
        fail("tavrin-gui.exe did not end after its window was closed")
    if code != 0:
        fail("tavrin-gui.exe ended with code %d after its window was closed" % code)


def xvfb_drop(args):
    """A real drag of two files, an S98 and a VGZ, from a separate X client onto the window, driven by
    xdotool."""
    if shutil.which("Xvfb") is None:
        skip("not found: Xvfb")
    missing = [tool for tool in ("xdotool",) if shutil.which(tool) is None]
    if not (shutil.which("import") or (shutil.which("xwd") and shutil.which("convert"))):
        missing.append("import (or xwd and convert)")
    if missing and args.wine:
        fail("not found: %s (make test-windows installs it)" % ", ".join(missing))
    if missing:
        skip("not found: " + ", ".join(missing))
    check_wine(args.wine)

    work = args.work
    fresh_folder(work)
    inputs = [os.path.join(work, "first song.s98"), os.path.join(work, "second.vgz")]
    reports = [os.path.join(work, "first song.txt"), os.path.join(work, "second.txt")]
    write_samples(args.sample, inputs)

    server, display = start_xvfb()
    env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb")
    gui = source = None
    try:
        gui = subprocess.Popen(launcher(args) + [args.gui], env=env)
        target = find_window(env, "^%s$" % TITLE, timeout=120 if args.wine else 20)
        source = subprocess.Popen([args.source, *inputs], env=env, stdout=subprocess.PIPE, text=True)
        origin = find_window(env, "^tavrin drag source$")
        time.sleep(0.5)

        tx, ty, tw, th = geometry(env, target)
        if (tw, th) != (469, 346):
            fail("window client area is %dx%d, not 469x346" % (tw, th))
        sx, sy, sw, sh = geometry(env, origin)
        start = (sx + sw // 2, sy + sh // 2)
        end = (tx + tw // 2, ty + 49 + (th - 49) // 2)  # over LIST

        xdo(env, "mousemove", str(start[0]), str(start[1]))
        time.sleep(0.3)
        xdo(env, "mousedown", "1")
        time.sleep(0.3)
        steps = 20
        for step in range(1, steps + 1):
            x = start[0] + (end[0] - start[0]) * step // steps
            y = start[1] + (end[1] - start[1]) * step // steps
            xdo(env, "mousemove", str(x), str(y))
            time.sleep(0.05)
        time.sleep(0.3)
        xdo(env, "mouseup", "1")

        finished = source.stdout.readline().strip()
        if finished != "drag finished: copied":
            fail("the drag source reports: " + (finished or "nothing"))
        wait_for("both reports of the drop", lambda: all(map(report_done, reports)), 30)
        expect_list(args, env, ["first song.s98", "second.vgz"])
        time.sleep(0.5)  # let the window paint its new lines
        if args.screenshot:
            screenshot(env, target, args.screenshot)
        if gui.poll() is not None:
            fail("tavrin-gui ended during the drop with code %d" % gui.returncode)
        close_and_expect_exit(args, env, gui)
    finally:
        for process in (source, gui):
            if process is not None:
                stop(process)
        end_wine(args, env)
        stop(server)
    print("both dropped files converted")


def xvfb_run(args):
    """Runs a command with a display of its own and ends with its exit code."""
    check_wine(args.wine)
    server, display = start_xvfb()
    env = dict(os.environ, DISPLAY=display)
    try:
        code = subprocess.run(launcher(args) + args.command, env=env).returncode
    finally:
        end_wine(args, env)
        stop(server)
    sys.exit(code)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    modes = parser.add_subparsers(dest="mode", required=True)
    for mode in ("command-line", "xvfb-drop"):
        program = modes.add_parser(mode)
        program.add_argument("--gui", required=True)
        program.add_argument("--sample", required=True)
        program.add_argument("--source", required=True)
        program.add_argument("--work", required=True)
        program.add_argument("--screenshot")
        program.add_argument("--wine", help="run the Windows program GUI with this wine")
        program.add_argument("--probe", help="with --wine: the program that reads the window's LIST")
    hostile_mode = modes.add_parser("hostile")
    for name in ("--gui", "--sample", "--source", "--work"):
        hostile_mode.add_argument(name, required=True)
    hostile_mode.add_argument("--shim", help="LD_PRELOAD library that refuses O_TMPFILE")
    run = modes.add_parser("xvfb-run")
    run.add_argument("--wine", help="run the command with this wine")
    run.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    if args.mode == "xvfb-run":
        if args.command[:1] == ["--"]:
            args.command = args.command[1:]
        xvfb_run(args)
    elif args.mode == "command-line":
        command_line(args)
    elif args.mode == "hostile":
        hostile(args)
    else:
        xvfb_drop(args)


if __name__ == "__main__":
    main()
