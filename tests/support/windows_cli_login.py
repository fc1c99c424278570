#!/usr/bin/env python3
"""The Windows server under Wine serves a login from the Linux tavrin-cli on loopback.

windows_cli_login.py WINE TAVRIN_EXE DEMO_FOLDER HOST_CLI

The server runs headless on a port the system chooses, over a copy of the demo data
folder; its port comes from its start-up lines. The Linux client logs in as admin, the
server's log must show the session, and Ctrl+C (SIGINT, which Wine hands to the
program's console handler) must end it with exit code 0. Every wait has a time limit.
"""

import os
import queue
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

PORT_CAPTION = "Porta em uso: "
START_UP_END = "N\u00e3o dispon\u00edvel"
# Refused at once: the internet lookup must not leave the machine.
NO_ADDRESS_SERVICE = "http://127.0.0.1:1/"
# Wine's first start in a fresh prefix takes a while.
START_PATIENCE = 90
PATIENCE = 20
# The log lines of the session, each after its time stamp, in this order.
SESSION_LOG = [
    " - Conex\u00e3o do endere\u00e7o 127.0.0.1",
    ' - Usu\u00e1rio "admin" fazendo login',
    " - Banco de dados conectado",
    " - Login OK",
    " - Banco de dados desconectado",
    " - Desconectado do IP 127.0.0.1",
]


class Failed(Exception):
    pass


class LineReader:
    """The lines of a stream, read on a thread of their own so they can be waited for
    with a time limit."""

    def __init__(self, stream):
        self.lines = queue.Queue()
        self.seen = []
        thread = threading.Thread(target=self._read, args=(stream,), daemon=True)
        thread.start()

    def _read(self, stream):
        for raw in stream:
            self.lines.put(raw.decode("utf-8", "replace").rstrip("\r\n"))
        self.lines.put(None)

    def next(self, patience):
        """The next line, or None when the stream ended or nothing came in time."""
        try:
            line = self.lines.get(timeout=patience)
        except queue.Empty:
            return None
        if line is not None:
            self.seen.append(line)
        return line

    def until(self, awaited, patience):
        """The lines up to and including the first that ends with awaited (a text), or
        for which awaited (a test of a line) is true."""
        matches = awaited if callable(awaited) else lambda line: line.endswith(awaited)
        deadline = time.monotonic() + patience
        lines = []
        while True:
            line = self.next(max(0.0, deadline - time.monotonic()))
            if line is None:
                raise Failed(f"no awaited line ({awaited!r}) within {patience} s; got {lines}")
            lines.append(line)
            if matches(line):
                return lines


def windows_path(wine, path):
    """path as the Windows program sees it."""
    answer = subprocess.run([wine, "winepath", "-w", path], capture_output=True, timeout=PATIENCE, check=True)
    return answer.stdout.decode().strip()


def run(wine, server_exe, demo_folder, host_cli, work):
    data = os.path.join(work, "demo-data")
    shutil.copytree(demo_folder, data)
    server = subprocess.Popen(
        [wine, server_exe, "--headless", "--port", "0", "--data-folder", windows_path(wine, data),
         "--address-service", NO_ADDRESS_SERVICE],
        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    out = LineReader(server.stdout)
    err = LineReader(server.stderr)
    try:
        port = ""
        for line in out.until(START_UP_END, START_PATIENCE):
            if line.startswith(PORT_CAPTION):
                port = line[len(PORT_CAPTION):]
        if not port.isdigit():
            raise Failed(f"no port in the start-up lines {out.seen}")

        cli = subprocess.run([host_cli, "--port", port, "login", "admin", "zul123"],
                             stdin=subprocess.DEVNULL, capture_output=True, timeout=PATIENCE)
        said = cli.stdout.decode("utf-8", "replace").splitlines()
        if cli.returncode != 0 or said != ["9 - login OK, user level 9"]:
            raise Failed(f"tavrin-cli ended with {cli.returncode}, said {said}, "
                         f"errors {cli.stderr.decode('utf-8', 'replace')!r}")

        log = out.until(SESSION_LOG[-1], PATIENCE)
        if len(log) != len(SESSION_LOG) or not all(l.endswith(e) for l, e in zip(log, SESSION_LOG)):
            raise Failed(f"the server logged {log}, expected lines ending with {SESSION_LOG}")

        server.send_signal(signal.SIGINT)
        try:
            code = server.wait(timeout=PATIENCE)
        except subprocess.TimeoutExpired:
            raise Failed(f"the server did not stop within {PATIENCE} s of Ctrl+C") from None
        if code != 0:
            raise Failed(f"the server ended with {code} after Ctrl+C")
    except Failed:
        while err.next(0.5) is not None:
            pass
        print(f"server errors: {err.seen}", file=sys.stderr)
        raise
    finally:
        if server.poll() is None:
            server.kill()
            server.wait(timeout=PATIENCE)


def main():
    if len(sys.argv) != 5:
        print("usage: windows_cli_login.py WINE TAVRIN_EXE DEMO_FOLDER HOST_CLI", file=sys.stderr)
        return 2
    wine, server_exe, demo_folder, host_cli = sys.argv[1:]
    if not (os.path.isfile(host_cli) and os.access(host_cli, os.X_OK)):
        print(f"FAILED: the Linux tavrin-cli is missing at {host_cli}: build the default preset first, "
              "or point TAVRIN_HOST_CLI at one", file=sys.stderr)
        return 1
    if not os.path.isfile(os.path.join(demo_folder, "tabelas.db")):
        print(f"FAILED: no demo data folder at {demo_folder}", file=sys.stderr)
        return 1
    with tempfile.TemporaryDirectory(prefix="tavrin-cross-") as work:
        try:
            run(wine, server_exe, demo_folder, host_cli, work)
        except (Failed, subprocess.SubprocessError, OSError) as problem:
            print(f"FAILED: {problem}", file=sys.stderr)
            return 1
    print("the Windows server served the Linux client's login and stopped on Ctrl+C")
    return 0


if __name__ == "__main__":
    sys.exit(main())
