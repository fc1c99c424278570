#!/usr/bin/env python3
"""The Windows installer under Wine, in a prefix of its own made afresh.

windows_installer.py WINE MAKE_PREFIX MSI WIXL WXS BUILD_DIR HOST_CLI

  - `msiexec /i MSI /qn` installs both programs under Program Files and the Start-menu
    shortcut;
  - the installed tavrin.exe --headless serves a login from the Linux tavrin-cli over a
    data folder beside the program files (windows_cli_login.py's run);
  - a second MSI with a higher version, built here with wixl, upgrades in place while
    the installed TAVRIN runs with its window: the program is closed first (exit code
    0) and one TAVRIN, the newer, is registered afterwards;
  - `msiexec /x`, while a headless TAVRIN runs (no window to close), ends it and removes
    the program files and the shortcut; the data folder stays.
"""

import getpass
import os
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # no cache files in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import windows_cli_login  # noqa: E402

PATIENCE = 120
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
HIGHER_VERSION = "99.0.0"


class Failed(Exception):
    pass


def wine_run(wine, *arguments, patience=PATIENCE):
    return subprocess.run([wine, *arguments], capture_output=True, timeout=patience)


def installed_versions(wine):
    """The DisplayVersion of every product named TAVRIN in the uninstall entries."""
    listing = wine_run(wine, "reg", "query", UNINSTALL_KEY, "/s").stdout.decode("utf-8", "replace")
    versions, name, version = [], None, None
    for line in listing.splitlines() + ["HKEY_END"]:
        if line.startswith("HKEY_"):
            if name == "TAVRIN":
                versions.append(version)
            name, version = None, None
            continue
        parts = line.split(None, 2)
        if len(parts) == 3 and parts[0] == "DisplayName":
            name = parts[2]
        if len(parts) == 3 and parts[0] == "DisplayVersion":
            version = parts[2]
    return versions


def msiexec(wine, *arguments):
    done = wine_run(wine, "msiexec", *arguments, "/qn", patience=300)
    if done.returncode != 0:
        raise Failed(f"msiexec {' '.join(arguments)} ended with {done.returncode}: "
                     f"{done.stderr.decode('utf-8', 'replace')[-500:]!r}")


def run(wine, msi, wixl, wxs, build_dir, host_cli, work):
    prefix = os.environ["WINEPREFIX"]
    program_dir = os.path.join(prefix, "drive_c", "Program Files", "TAVRIN")
    programs = [os.path.join(program_dir, name) for name in ("tavrin.exe", "tavrin-cli.exe")]
    # The common Start menu on Windows; Wine's installer may put it in the user's.
    menus = [os.path.join(prefix, "drive_c", "ProgramData", "Microsoft", "Windows", "Start Menu", "Programs"),
             os.path.join(prefix, "drive_c", "users", getpass.getuser(), "AppData", "Roaming",
                          "Microsoft", "Windows", "Start Menu", "Programs")]
    shortcuts = [os.path.join(menu, "TAVRIN.lnk") for menu in menus]

    msiexec(wine, "/i", msi)
    missing = [path for path in programs if not os.path.isfile(path)]
    if not any(os.path.isfile(path) for path in shortcuts):
        missing.append("the Start-menu shortcut TAVRIN.lnk")
    if missing:
        raise Failed(f"not installed: {missing}")
    if len(installed_versions(wine)) != 1:
        raise Failed(f"installed TAVRIN versions: {installed_versions(wine)}")

    # The data folder beside the program files, served by the installed program.
    windows_cli_login.run(wine, programs[0], os.path.join(build_dir, "demo-data"), host_cli, program_dir)
    data = os.path.join(program_dir, "demo-data")

    newer = os.path.join(work, "tavrin-newer.msi")
    icons = os.path.relpath(os.path.join(os.path.dirname(wxs), "..", "src", "app", "window_win32"), build_dir)
    made = subprocess.run([wixl, "-a", "x64", "-D", f"Version={HIGHER_VERSION}", "-D", "BinDir=bin",
                           "-D", f"ResourceDir={icons}", "-o", newer, wxs], cwd=build_dir, capture_output=True,
                          timeout=PATIENCE)
    if made.returncode != 0:
        raise Failed(f"wixl could not make the newer package: {made.stderr.decode('utf-8', 'replace')[-500:]!r}")

    # The installed program runs with its window (invisible on the prefix's null display).
    running = subprocess.Popen([wine, programs[0], "--port", "0", "--data-folder",
                                windows_cli_login.windows_path(wine, data),
                                "--address-service", windows_cli_login.NO_ADDRESS_SERVICE],
                               stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    try:
        lines = windows_cli_login.LineReader(running.stdout)
        lines.until(" - Servidor inicializado", windows_cli_login.START_PATIENCE)
        msiexec(wine, "/i", newer)
        try:
            ended = running.wait(timeout=PATIENCE)
        except subprocess.TimeoutExpired:
            raise Failed("the running TAVRIN was not closed by the upgrade") from None
        if ended != 0:
            raise Failed(f"the running TAVRIN ended with {ended} when the upgrade closed it")
    finally:
        if running.poll() is None:
            running.kill()
            running.wait(timeout=PATIENCE)
    if installed_versions(wine) != [HIGHER_VERSION]:
        raise Failed(f"after the upgrade the installed versions are {installed_versions(wine)}")
    if not all(os.path.isfile(path) for path in programs):
        raise Failed("the upgrade left the program files missing")

    # A headless TAVRIN has no window to close: the uninstall ends it rather than leave
    # its files behind.
    headless = subprocess.Popen([wine, programs[0], "--headless", "--port", "0", "--data-folder",
                                 windows_cli_login.windows_path(wine, data),
                                 "--address-service", windows_cli_login.NO_ADDRESS_SERVICE],
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    try:
        windows_cli_login.LineReader(headless.stdout).until(" - Servidor inicializado",
                                                            windows_cli_login.START_PATIENCE)
        msiexec(wine, "/x", newer)
        try:
            headless.wait(timeout=PATIENCE)
        except subprocess.TimeoutExpired:
            raise Failed("the running headless TAVRIN was not ended by the uninstall") from None
    finally:
        if headless.poll() is None:
            headless.kill()
            headless.wait(timeout=PATIENCE)
    left = [path for path in programs + shortcuts if os.path.exists(path)]
    if left:
        raise Failed(f"uninstalling left {left}")
    if installed_versions(wine):
        raise Failed(f"uninstalling left the entries {installed_versions(wine)}")
    if not os.path.isfile(os.path.join(data, "tabelas.db")):
        raise Failed("uninstalling touched the data folder beside the program files")


def main():
    if len(sys.argv) != 8:
        print("usage: windows_installer.py WINE MAKE_PREFIX MSI WIXL WXS BUILD_DIR HOST_CLI", file=sys.stderr)
        return 2
    wine, make_prefix, msi, wixl, wxs, build_dir, host_cli = sys.argv[1:]
    prefix = os.environ.get("WINEPREFIX", "")
    if not prefix.endswith("wine-prefix-msi"):
        print(f"FAILED: WINEPREFIX must name the installer's own prefix, not {prefix!r}", file=sys.stderr)
        return 2
    shutil.rmtree(prefix, ignore_errors=True)
    subprocess.run([make_prefix, wine], check=True, timeout=300)
    with tempfile.TemporaryDirectory(prefix="tavrin-msi-") as work:
        try:
            run(wine, msi, wixl, wxs, build_dir, host_cli, work)
        except (Failed, windows_cli_login.Failed, subprocess.SubprocessError, OSError) as problem:
            print(f"FAILED: {problem}", file=sys.stderr)
            return 1
    print("installed, served a login, upgraded in place closing the running program, uninstalled "
          "leaving the data folder")
    return 0


if __name__ == "__main__":
    sys.exit(main())
