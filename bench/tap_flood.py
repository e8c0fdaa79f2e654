#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Floods kestrun-tap and kestrun-emulator, and reports what the floods cost: the peak memory of
each program (VmHWM) and how much the tap's log grew. The tap's register is its built-in
emulator, which takes every byte at once, so that a flood reaches the log whole rather than
ending when the register falls behind.

    tap_flood.py EMULATOR TAP [MB]    (MB: the size of the big floods, default 100)

Cases: a till that sends 1 MB of ENQ and reads the NAKs; a till that sends MB of 0x41; a till
that sends ENQ and reads nothing (the tap drops it); a host that sends ENQ to the emulator and
reads nothing (the emulator drops it). Exit status 1 when a peak or the log's growth is above its
limit, or a till that reads nothing is not dropped."""
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time

# Limits: the programs' bounds (8 MiB of log queue, 1 MiB unread, reads of 64 KiB) with room for
# the allocator and Qt; the log of a flood is a few lines.
PEAK_LIMIT_MB = 64
LOG_LIMIT_BYTES = 4096
CHUNK = 64 << 10


def start(args):
    process = subprocess.Popen(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    device = process.stdout.readline().decode().strip()
    if not device:
        sys.exit(f"{args[0]} did not start: {process.stderr.read().decode()}")
    return process, device


def status_kb(pid, field):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def port_of(device):
    return int(device.rsplit(":", 1)[1])


def flood(port, byte, total, read):
    """Sends `total` bytes of `byte`; reads the answers when asked. Returns (sent, answers, dropped)."""
    sock = socket.create_connection(("127.0.0.1", port))
    got = [0]
    reader = None
    if read:
        def drain():
            while True:
                data = sock.recv(1 << 16)
                if not data:
                    return
                got[0] += len(data)
                if got[0] >= total:
                    return
        reader = threading.Thread(target=drain)
        reader.start()
    else:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    chunk = bytes([byte]) * CHUNK
    sent = 0
    dropped = False
    try:
        while sent < total:
            sock.sendall(chunk[: min(CHUNK, total - sent)])
            sent += min(CHUNK, total - sent)
    except (BrokenPipeError, ConnectionResetError):
        dropped = True
    if reader:
        sock.settimeout(30)
        reader.join()
    sock.close()
    return sent, got[0], dropped


def settle(path, quiet=1.0, limit=60):
    """Waits until the file has not grown for `quiet` seconds; returns its size."""
    size, since, deadline = -1, time.monotonic(), time.monotonic() + limit
    while time.monotonic() < deadline:
        now = os.path.getsize(path) if os.path.exists(path) else 0
        if now != size:
            size, since = now, time.monotonic()
        elif time.monotonic() - since >= quiet:
            break
        time.sleep(0.1)
    return size


def main():
    emulator_bin, tap_bin = sys.argv[1], sys.argv[2]
    big = int(sys.argv[3]) if len(sys.argv) > 3 else 100
    failed = False
    with tempfile.TemporaryDirectory() as folder:
        log = os.path.join(folder, "tap.log")
        emulator, emulator_device = start([emulator_bin, "--tcp", "0", "--exit-with-stdin", "--options", "shift=open"])
        tap, tap_device = start([tap_bin, "--listen", "tcp:0", "--device", "emulator:shift=open", "--log", log,
                                 "--exit-with-stdin"])
        print(f"kestrun-tap at start: {status_kb(tap.pid, 'VmRSS') / 1024:.1f} MB")
        cases = [
            ("1 MB of ENQ, answers read", 0x05, 1 << 20, True, False),
            (f"{big} MB of 0x41", 0x41, big << 20, False, False),
            (f"{big} MB of ENQ, nothing read", 0x05, big << 20, False, True),
        ]
        for name, byte, total, read, drop in cases:
            before = settle(log)
            began = time.monotonic()
            sent, answers, dropped = flood(port_of(tap_device), byte, total, read)
            after = settle(log)
            lines = 0
            with open(log, "rb") as text:
                text.seek(before)
                lines = text.read().count(b"\n")
            peak = status_kb(tap.pid, "VmHWM") / 1024
            growth = after - before
            print(f"tap, {name}: {sent / 1048576:.1f} MB sent in {time.monotonic() - began:.1f} s, "
                  f"{answers} bytes back, {'dropped' if dropped else 'kept'}; "
                  f"log +{growth} bytes in {lines} lines; tap peak {peak:.1f} MB")
            if drop != dropped or peak > PEAK_LIMIT_MB or growth > LOG_LIMIT_BYTES:
                failed = True
        sent, _, dropped = flood(port_of(emulator_device), 0x05, 20 << 20, False)
        peak = status_kb(emulator.pid, "VmHWM") / 1024
        print(f"emulator, 20 MB of ENQ, nothing read: {sent / 1048576:.1f} MB sent, "
              f"{'dropped' if dropped else 'kept'}; emulator peak {peak:.1f} MB")
        if not dropped or peak > PEAK_LIMIT_MB:
            failed = True
        for process in (tap, emulator):
            process.stdin.close()
            process.wait(30)
        print(f"limits: peak {PEAK_LIMIT_MB} MB, log growth {LOG_LIMIT_BYTES} bytes a flood")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
