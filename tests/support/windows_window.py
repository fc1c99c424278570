#!/usr/bin/env python3
"""The real tavrin.exe's window under Wine on a virtual X display (Xvfb).

windows_window.py WINE TAVRIN_EXE PROBE_EXE DEMO_FOLDER HOST_CLI VERSION

WINEPREFIX names a prefix of its own (made here when missing), with Wine's X11 driver:
the window really exists on the display. Checks, each wait with a time limit:
  - the window "TAVRIN - Velmora" opens; every control has the form's class, text and
    bounds scaled to the system's dpi (96, then 120 set through Wine's registry);
  - a login from the Linux tavrin-cli puts its six log lines in the log box, in order;
  - WM_CLOSE ends the program with 0, and the port is free afterwards;
  - a folder without the marker shows the "Erro" box, and OK ends the program with 0;
  - the program's version resource carries the project's version.
"""

import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

import windows_cli_login
from windows_cli_login import NO_ADDRESS_SERVICE, PORT_CAPTION, SESSION_LOG

TITLE = "TAVRIN - Velmora"
LAN = "Endere\u00e7o para conex\u00e3o pela rede local: "
INTERNET = "Endere\u00e7o para conex\u00e3o pela internet: "
START_PATIENCE = 120
PATIENCE = 30
# The form at 120 dpi, in creation order: class, bounds, how the bounds are checked,
# and the text (None: checked on its own below).
FORM = [
    ("Static", (16, 18, 353, 25), "exact", "Mantenha esta aplica\u00e7\u00e3o sempre ativa"),
    ("Static", (16, 60, 536, 21), "exact", None),
    ("Static", (16, 86, 536, 21), "exact", None),
    ("Static", (16, 125, 331, 16), "text", "Porta que deve ser aberta para conex\u00e3o por internet: 211"),
    ("Static", (16, 143, 327, 16), "text", "Clique aqui para verificar se esta porta pode ser utilizada"),
    ("Static", (16, 180, 155, 16), "text", "Log de a\u00e7\u00f5es do aplicativo:"),
    ("Edit", (16, 202, 536, 216), "exact", None),
    ("msctls_statusbar32", (0, 428, 568, 19), "docked", None),
]
CLIENT = (568, 447)


class Failed(Exception):
    pass


def scale(value, dpi):
    return (value * dpi + 60) // 120


class Wine:
    def __init__(self, loader):
        self.loader = loader
        server = os.path.join(os.path.dirname(loader), "wineserver")
        self.server = server if os.access(server, os.X_OK) else "wineserver"

    def run(self, *arguments, patience=PATIENCE):
        return subprocess.run([self.loader, *arguments], capture_output=True, timeout=patience)

    def probe(self, probe_exe, *arguments, patience=PATIENCE):
        done = self.run(probe_exe, *arguments, patience=patience)
        return done.returncode, done.stdout.decode("utf-8", "replace").splitlines()

    def restart(self):
        subprocess.run([self.server, "-k"], capture_output=True, timeout=PATIENCE)
        subprocess.run([self.server, "-w"], capture_output=True, timeout=PATIENCE)

    def set_dpi(self, dpi):
        for key in (r"HKCU\Control Panel\Desktop",
                    r"HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts"):
            self.run("reg", "add", key, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f")
        self.restart()

    def windows_path(self, path):
        return self.run("winepath", "-w", path).stdout.decode().strip()


def start_display():
    """An Xvfb on a free display; returns (process, display name)."""
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    number = b""
    deadline = time.monotonic() + PATIENCE
    while not number.endswith(b"\n") and time.monotonic() < deadline:
        chunk = os.read(read, 16)
        if not chunk:
            break
        number += chunk
    os.close(read)
    if not number.strip():
        xvfb.kill()
        raise Failed("Xvfb did not start")
    return xvfb, ":" + number.decode().strip()


def controls(wine, probe_exe):
    code, lines = wine.probe(probe_exe, "dump", TITLE, "60", patience=90)
    if code != 0 or not lines or not lines[0].startswith("client "):
        raise Failed(f"no window {TITLE!r} (probe ended with {code}: {lines})")
    client = tuple(int(v) for v in lines[0].split()[1:])
    found = []
    for line in lines[1:]:
        parts = line.split("\t", 5)
        found.append((parts[0], tuple(int(v) for v in parts[1:5]), parts[5] if len(parts) > 5 else ""))
    return client, found


def check_form(client, found, dpi, folder):
    expected_client = (scale(CLIENT[0], dpi), scale(CLIENT[1], dpi))
    if client != expected_client:
        raise Failed(f"at {dpi} dpi the client area is {client}, expected {expected_client}")
    if len(found) != len(FORM):
        raise Failed(f"the window has {len(found)} controls, expected {len(FORM)}: {found}")
    for index, ((kind, design, how, text), (got_kind, bounds, got_text)) in enumerate(zip(FORM, found)):
        scaled = tuple(scale(v, dpi) for v in design)
        if got_kind != kind:
            raise Failed(f"control {index} is a {got_kind}, expected a {kind}")
        if how == "exact" and bounds != scaled:
            raise Failed(f"control {index} ({text or kind}) at {dpi} dpi: {bounds}, expected {scaled}")
        if how == "text" and (bounds[:2] != scaled[:2] or bounds[2] < scaled[2] or bounds[3] < scaled[3]):
            raise Failed(f"label {text!r} at {dpi} dpi: {bounds}, expected at least {scaled}")
        if how == "docked" and bounds != (0, client[1] - scaled[3], client[0], scaled[3]):
            raise Failed(f"the status bar at {dpi} dpi: {bounds}, expected docked at the bottom of {client}")
        if text is not None and got_text != text:
            raise Failed(f"control {index} says {got_text!r}, expected {text!r}")
    if not found[1][2].startswith(LAN) or len(found[1][2]) == len(LAN):
        raise Failed(f"the LAN label says {found[1][2]!r}")
    if found[2][2] != INTERNET + "N\u00e3o dispon\u00edvel":
        raise Failed(f"the internet label says {found[2][2]!r}")
    if found[7][2] != "Pasta de dados: " + folder:
        raise Failed(f"the status bar says {found[7][2]!r}")


def start_server(wine, server_exe, folder):
    server = subprocess.Popen([wine.loader, server_exe, "--port", "0", "--data-folder", folder,
                               "--address-service", NO_ADDRESS_SERVICE],
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    return server, windows_cli_login.LineReader(server.stdout)


def stop(server):
    if server.poll() is None:
        server.kill()
        server.wait(timeout=PATIENCE)


def port_is_free(port):
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            probe.bind(("0.0.0.0", port))
            probe.listen()
        except OSError:
            return False
    return True


def window_run(wine, server_exe, probe_exe, data, host_cli, dpi):
    folder = wine.windows_path(data)
    server, out = start_server(wine, server_exe, folder)
    try:
        port = int(out.until(lambda l: l.startswith(PORT_CAPTION), START_PATIENCE)[-1][len(PORT_CAPTION):])
        out.until(" - Servidor inicializado", START_PATIENCE)
        # The internet lookup ends the start-up work; the label then shows its outcome.
        deadline = time.monotonic() + PATIENCE
        while True:
            client, found = controls(wine, probe_exe)
            if len(found) > 2 and found[2][2] != INTERNET or time.monotonic() > deadline:
                break
            time.sleep(0.5)
        check_form(client, found, dpi, folder)

        if host_cli:
            cli = subprocess.run([host_cli, "--port", str(port), "login", "admin", "zul123"],
                                 stdin=subprocess.DEVNULL, capture_output=True, timeout=PATIENCE)
            if cli.returncode != 0:
                raise Failed(f"tavrin-cli ended with {cli.returncode}: {cli.stderr.decode('utf-8', 'replace')!r}")
            deadline = time.monotonic() + PATIENCE
            while True:
                log = controls(wine, probe_exe)[1][6][2].split("\\n")
                if log[-1].endswith(SESSION_LOG[-1]) or time.monotonic() > deadline:
                    break
                time.sleep(0.5)
            tail = log[-len(SESSION_LOG):]
            if len(log) < 1 + len(SESSION_LOG) or not all(l.endswith(e) for l, e in zip(tail, SESSION_LOG)):
                raise Failed(f"the log box shows {log}, expected its last lines to end with {SESSION_LOG}")
            if not log[0].endswith(" - Servidor inicializado"):
                raise Failed(f"the log box begins with {log[0]!r}")

        code, said = wine.probe(probe_exe, "close", TITLE)
        if code != 0:
            raise Failed(f"could not ask the window to close: {said}")
        try:
            ended = server.wait(timeout=PATIENCE)
        except subprocess.TimeoutExpired:
            raise Failed(f"the program did not end within {PATIENCE} s of WM_CLOSE") from None
        if ended != 0:
            raise Failed(f"the program ended with {ended} after WM_CLOSE")
        if not port_is_free(port):
            raise Failed(f"port {port} is still taken after the program ended")
    finally:
        stop(server)


def no_marker_run(wine, server_exe, probe_exe, work):
    empty = os.path.join(work, "empty")
    os.makedirs(empty)
    server, out = start_server(wine, server_exe, wine.windows_path(empty))
    try:
        out.until(lambda l: l.startswith(PORT_CAPTION), START_PATIENCE)
        code, lines = wine.probe(probe_exe, "dump", "Erro", "60", patience=90)
        message = "N\u00e3o foi localizado um banco de dados do software ZUL na pasta "
        if code != 0 or not any(message in line for line in lines):
            raise Failed(f"no \"Erro\" box with the message (probe ended with {code}: {lines}; "
                         f"the program said {out.seen}, has ended: {server.poll()})")
        wine.probe(probe_exe, "ok", "Erro")
        try:
            ended = server.wait(timeout=PATIENCE)
        except subprocess.TimeoutExpired:
            raise Failed("the program did not end after the \"Erro\" box") from None
        if ended != 0:
            raise Failed(f"the program ended with {ended} after the \"Erro\" box")
    finally:
        stop(server)


def main():
    if len(sys.argv) != 7:
        print("usage: windows_window.py WINE TAVRIN_EXE PROBE_EXE DEMO_FOLDER HOST_CLI VERSION", file=sys.stderr)
        return 2
    loader, server_exe, probe_exe, demo_folder, host_cli, version = sys.argv[1:]
    if not (os.path.isfile(host_cli) and os.access(host_cli, os.X_OK)):
        print(f"FAILED: the Linux tavrin-cli is missing at {host_cli}: build the default preset first", file=sys.stderr)
        return 1
    if shutil.which("Xvfb") is None:
        print("FAILED: Xvfb is missing (scripts/deps installs it)", file=sys.stderr)
        return 1
    wine = Wine(loader)
    xvfb, display = start_display()
    os.environ["DISPLAY"] = display
    try:
        with tempfile.TemporaryDirectory(prefix="tavrin-window-") as work:
            prefix = os.environ.get("WINEPREFIX", "")
            if not os.path.isdir(os.path.join(prefix, "drive_c")):
                wine.run("wineboot", "-i", patience=300)
                wine.run("reg", "add", r"HKCU\Software\Wine\WineDbg", "/v", "ShowCrashDialog", "/t", "REG_DWORD",
                         "/d", "0", "/f")
            wine.restart()  # the prefix's server starts again on this display
            code, said = wine.probe(probe_exe, "version", server_exe)
            if code != 0 or said != [version]:
                raise Failed(f"tavrin.exe's version resource says {said}, expected {version}")
            data = os.path.join(work, "demo-data")
            shutil.copytree(demo_folder, data)
            try:
                for dpi in (96, 120):
                    wine.set_dpi(dpi)
                    window_run(wine, server_exe, probe_exe, data, host_cli if dpi == 96 else "", dpi)
            finally:
                wine.set_dpi(96)
            no_marker_run(wine, server_exe, probe_exe, work)
    except (Failed, windows_cli_login.Failed, subprocess.SubprocessError, OSError, ValueError) as problem:
        print(f"FAILED: {problem}", file=sys.stderr)
        return 1
    finally:
        Wine(loader).restart()
        xvfb.kill()
        xvfb.wait()
    print("the window showed the form at 96 and 120 dpi, logged a login, closed with 0; "
          "a folder without the marker showed the \"Erro\" box and ended with 0")
    return 0


if __name__ == "__main__":
    sys.exit(main())
