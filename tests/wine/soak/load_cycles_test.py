#!/usr/bin/env python3
"""Memory that load/unload cycles of a library leave behind, under Wine.

Runs load_cycles.exe in the Wine session of MRV_WINE_DIR and reads RssAnon of
its process from /proc at each checkpoint: inside Wine neither
GetProcessMemoryInfo nor Z:\\proc\\self tells the program's own memory. The
wine64 process that subprocess starts keeps its PID.

  load_cycles_test.py BIN_DIR SCRATCH_DIR TABLE_FILE

Each case runs WARM_UP cycles, then MEASURED, and gives the growth per
measured cycle. The baseline makes only the platform calls of a cycle's two
requests: what Wine itself keeps of them (its DXGI keeps about 11 KB a
factory). A plain C library that holds nothing must stay within LIMIT, and one
that loses 4 KiB per load must exceed it, so the figures can tell a leak
from Wine's own growth. The real library, with the adapter table in the
working directory, without it, with its log file set, and with a table
that fails to parse (so that every load throws and catches), may exceed the
baseline by LIMIT at most. No case may keep a TLS slot: the process has
1,088, and a library that keeps one per load aborts its host in the end."""
import functools
import os
import shutil
import subprocess
import sys

WARM_UP = 10
MEASURED = 200
CHECKPOINT_EVERY = 50
LIMIT = 1024

print = functools.partial(print, flush=True)


def wine_environment():
    env = dict(os.environ)
    with open(os.path.join(env["MRV_WINE_DIR"], "session.env"), encoding="utf-8") as lines:
        for line in lines:
            if line.startswith("export "):
                name, _, value = line[len("export "):].strip().partition("=")
                env[name] = value.strip('"')
    return env


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def rss_anon_bytes(pid):
    with open(f"/proc/{pid}/status", encoding="ascii") as status:
        for line in status:
            if line.startswith("RssAnon:"):
                return int(line.split()[1]) * 1024
    raise RuntimeError(f"no RssAnon for process {pid}")


def readings_of(program, library, working, env):
    """RssAnon and the free TLS slots at each checkpoint of one run of load_cycles.exe."""
    points = MEASURED // CHECKPOINT_EVERY
    command = ["/usr/lib/wine/wine64", program, library, str(WARM_UP), str(CHECKPOINT_EVERY), str(points)]
    process = subprocess.Popen(command, cwd=working, env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True)
    readings = []
    free_tls_slots = []
    try:
        for point in range(points + 1):
            words = process.stdout.readline().split()
            if words[:2] != ["checkpoint", str(point)]:
                process.kill()
                raise RuntimeError(f"expected checkpoint {point}, got {words}; stderr: {process.stderr.read()}")
            readings.append(rss_anon_bytes(process.pid))
            free_tls_slots.append(int(words[2]))
            process.stdin.write("\n")
            process.stdin.flush()
        status = process.wait(timeout=120)
    finally:
        if process.poll() is None:
            process.kill()
    if status != 0:
        raise RuntimeError(f"load_cycles.exe exited with {status}: {process.stderr.read()}")
    return readings, free_tls_slots


def case_folder(scratch, name, table_text):
    folder = os.path.join(scratch, name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    if table_text is not None:
        with open(os.path.join(folder, "gpu_architectures.json"), "w", encoding="utf-8") as table:
            table.write(table_text)
    return folder


def main():
    bin_dir, scratch, table = (os.path.abspath(path) for path in sys.argv[1:4])
    program = os.path.join(bin_dir, "load_cycles.exe")
    real = windows_path(os.path.join(bin_dir, "mrv_sysinfo.dll"))
    env = wine_environment()
    env.pop("MRV_SYSINFO_LOG_FILE", None)
    if not env.get("DISPLAY"):
        env.pop("DISPLAY", None)
    with open(table, encoding="utf-8") as shipped:
        shipped_table = shipped.read()
    # The parser throws on a cut table: the runtime's exception machinery and
    # its thread-local state are set up at every load.
    malformed_table = shipped_table[:len(shipped_table) // 2]
    # (name, what to cycle, the table in the working directory, log file)
    real_cases = ["table", "no table", "table and log", "malformed table"]
    cases = [("platform calls", "--platform-calls", None, False),
             ("control", windows_path(os.path.join(bin_dir, "soak_control_library.dll")), None, False),
             ("losing control", windows_path(os.path.join(bin_dir, "soak_losing_library.dll")), None, False),
             ("table", real, shipped_table, False),
             ("no table", real, None, False),
             ("table and log", real, shipped_table, True),
             ("malformed table", real, malformed_table, True)]
    print(f"RssAnon growth per cycle over {MEASURED} cycles after {WARM_UP} warm-up cycles "
          f"({'DISPLAY ' + env['DISPLAY'] if 'DISPLAY' in env else 'no display: DXGI finds no adapter'}):")
    growth = {}
    failures = []
    for name, target, table_text, with_log in cases:
        working = case_folder(scratch, name.replace(" ", "_"), table_text)
        case_env = dict(env)
        log = os.path.join(working, "sysinfo.log")
        if with_log:
            case_env["MRV_SYSINFO_LOG_FILE"] = windows_path(log)
        readings, free_tls_slots = readings_of(program, target, working, case_env)
        growth[name] = (readings[-1] - readings[0]) / MEASURED
        if free_tls_slots[-1] < free_tls_slots[0]:
            failures.append(f"{name}: kept {free_tls_slots[0] - free_tls_slots[-1]} TLS slots over {MEASURED} cycles")
        steps = ", ".join(f"{(b - a) / 1024:+.0f}" for a, b in zip(readings, readings[1:]))
        print(f"  {name:15} {growth[name]:8.0f} B (KiB per {CHECKPOINT_EVERY} cycles: {steps})")
        if with_log:
            with open(log, encoding="utf-8") as lines:
                logged = len(lines.read().splitlines())
            if logged != WARM_UP + MEASURED:
                failures.append(f"{name}: {logged} log lines, expected one per load")
    if growth["control"] > LIMIT:
        failures.append(f"control: {growth['control']:.0f} B per cycle, limit {LIMIT}")
    if growth["losing control"] <= LIMIT:
        failures.append(f"losing control: {growth['losing control']:.0f} B per cycle, not told from Wine's growth")
    for name in real_cases:
        beyond = growth[name] - growth["platform calls"]
        print(f"  {name:15} {beyond:8.0f} B beyond the platform calls")
        if beyond > LIMIT:
            failures.append(f"{name}: {beyond:.0f} B per cycle beyond the platform calls, limit {LIMIT}")
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
