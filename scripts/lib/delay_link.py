#!/usr/bin/env python3
"""A delay link for the namespace lab: one TUN device in each of two network namespaces
and a process that forwards every IPv4 packet between them, both ways, after a one-way
delay (plus, if asked, a bounded random jitter).

    delay_link.py [--delay MS] [--jitter MS] [--reorder] [--queue N] [--log FILE]
                  NS_A IF_A NS_B IF_B

NS_A and NS_B are names under /run/netns (as `ip netns` lists them), never paths.
The devices are created inside the namespaces (the process enters each in turn, and is
meant to be started inside one of them, e.g. with `ip netns exec NS_B`), so nothing ever
appears in the host's namespace. The caller addresses and raises them (scripts/lab).
The command returns once both devices exist; a forked process then carries the packets
and stays in NS_B, where `ip netns pids NS_B` finds it. It ends by itself when either
namespace's name is removed or one of its devices disappears, and the devices vanish
with it (they are not persistent).

Each packet waits DELAY + a uniform random 0..JITTER ms after it was read, so no packet
is faster than DELAY or slower than DELAY + JITTER. Without --reorder a packet also waits
for the one before it in its direction, which keeps the order and stays within those
bounds. Each direction queues at most N packets (default 1000); more are dropped, as a
full link buffer would. Anything that is not an IPv4 packet (IPv6, truncated headers) is
dropped, and a packet that the other side's kernel refuses is dropped too.

The process asks for real-time scheduling (SCHED_FIFO) where the system allows it: the
lab stands for a network, whose delays do not depend on how busy this machine's
processors are. It sleeps between packets, so it takes a processor only while it works.
"""
import argparse
import ctypes
import fcntl
import heapq
import os
import random
import select
import struct
import sys
import time

CLONE_NEWNET = 0x40000000
TUNSETIFF = 0x400454CA
IFF_TUN = 0x0001
IFF_NO_PI = 0x1000
PR_SET_TIMERSLACK = 29
NETNS_DIR = "/run/netns"
READ_SIZE = 65536
# At most this many packets are read from one side before the other side gets its turn.
READ_BURST = 64
# How often the namespaces' names are looked at while no packet is due.
LIVENESS_SECONDS = 0.25

libc = ctypes.CDLL(None, use_errno=True)


def enter_namespace(fd):
    if libc.setns(fd, CLONE_NEWNET) != 0:
        error = ctypes.get_errno()
        raise OSError(error, "setns: " + os.strerror(error))


def open_tun(name):
    """A TUN device (IPv4 without packet information) in the current namespace."""
    fd = os.open("/dev/net/tun", os.O_RDWR | os.O_NONBLOCK | os.O_CLOEXEC)
    try:
        fcntl.ioctl(fd, TUNSETIFF, struct.pack("16sH22x", name.encode(), IFF_TUN | IFF_NO_PI))
    except OSError:
        os.close(fd)
        raise
    return fd


def is_ipv4(packet):
    return len(packet) >= 20 and packet[0] >> 4 == 4


class Direction:
    """One way across the link: packets read from `source`, written to `sink` when due.

    Packets wait in one heap ordered by (due time, arrival number). Unless reordering is
    allowed, a packet is never due before the one read ahead of it, so the heap gives
    them back in the order they came."""

    def __init__(self, source, sink, delay, jitter, reorder, capacity, rng):
        self.source = source
        self.sink = sink
        self.delay = delay
        self.jitter = jitter
        self.reorder = reorder
        self.capacity = capacity
        self.rng = rng
        self.queue = []  # (due, arrival number, packet)
        self.arrivals = 0
        self.last_due = 0.0

    def next_due(self):
        return self.queue[0][0] if self.queue else None

    def take(self):
        """Reads what the source has queued; False when the device is gone."""
        for _ in range(READ_BURST):
            try:
                packet = os.read(self.source, READ_SIZE)
            except BlockingIOError:
                return True
            except InterruptedError:
                continue
            except OSError:
                return False
            now = time.monotonic()
            if not is_ipv4(packet) or len(self.queue) >= self.capacity:
                continue
            due = now + self.delay
            if self.jitter > 0:
                due += self.rng.uniform(0.0, self.jitter)
            if not self.reorder:
                due = max(due, self.last_due)
                self.last_due = due
            self.arrivals += 1
            heapq.heappush(self.queue, (due, self.arrivals, packet))
        return True

    def release(self, now):
        while self.queue and self.queue[0][0] <= now:
            packet = heapq.heappop(self.queue)[2]
            try:
                os.write(self.sink, packet)
            except OSError:
                pass  # refused by the other side's kernel (or a full queue there): lost


def name_still_ours(ns_name, identity):
    try:
        info = os.stat(os.path.join(NETNS_DIR, ns_name))
    except OSError:
        return False
    return (info.st_dev, info.st_ino) == identity


def forward(devices, directions, names):
    """The packet loop; returns when the lab is gone."""
    by_fd = {direction.source: direction for direction in directions}
    next_look = 0.0
    while True:
        now = time.monotonic()
        for direction in directions:
            direction.release(now)
        if now >= next_look:
            if not all(name_still_ours(name, identity) for name, identity in names):
                return
            next_look = now + LIVENESS_SECONDS
        wake = next_look
        for direction in directions:
            due = direction.next_due()
            if due is not None and due < wake:
                wake = due
        ready, _, _ = select.select(devices, [], [], max(0.0, wake - time.monotonic()))
        for fd in ready:
            if not by_fd[fd].take():
                return


def parse_arguments():
    parser = argparse.ArgumentParser(description="A delay link between two lab namespaces.")
    parser.add_argument("--delay", type=float, default=0.0, help="one-way delay in ms")
    parser.add_argument("--jitter", type=float, default=0.0, help="bounded extra delay in ms")
    parser.add_argument("--reorder", action="store_true", help="let jitter reorder packets")
    parser.add_argument("--queue", type=int, default=1000, help="packets queued per direction")
    parser.add_argument("--log", default=os.devnull, help="where the forwarding process writes")
    parser.add_argument("ns_a")
    parser.add_argument("if_a")
    parser.add_argument("ns_b")
    parser.add_argument("if_b")
    arguments = parser.parse_args()
    if arguments.delay < 0 or arguments.jitter < 0 or arguments.queue < 1:
        parser.error("delay and jitter must not be negative, the queue must hold a packet")
    # A namespace is named, not given as a path: "../../proc/1/ns/net" would put a device
    # into the host's own namespace.
    for ns_name in (arguments.ns_a, arguments.ns_b):
        if "/" in ns_name or ns_name in ("", ".", ".."):
            parser.error("namespace names hold no '/' and are not '.' or '..': %r" % ns_name)
    return arguments


def main():
    arguments = parse_arguments()
    names = []
    devices = []
    for ns_name, device in ((arguments.ns_a, arguments.if_a), (arguments.ns_b, arguments.if_b)):
        ns_fd = os.open(os.path.join(NETNS_DIR, ns_name), os.O_RDONLY | os.O_CLOEXEC)
        info = os.fstat(ns_fd)
        names.append((ns_name, (info.st_dev, info.st_ino)))
        enter_namespace(ns_fd)
        os.close(ns_fd)
        devices.append(open_tun(device))

    null = os.open(os.devnull, os.O_RDWR)
    log = os.open(arguments.log, os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644)
    if os.fork() != 0:
        os._exit(0)  # both devices exist: the caller may configure them
    os.setsid()
    os.dup2(null, 0)
    os.dup2(null, 1)
    os.dup2(log, 2)
    # Nothing the caller had open stays open here (a pipe whose reader waits for its end).
    keep = set(devices) | {0, 1, 2}
    for name in os.listdir("/proc/self/fd"):
        if int(name) not in keep:
            try:
                os.close(int(name))
            except OSError:
                pass
    try:
        os.sched_setscheduler(0, os.SCHED_FIFO, os.sched_param(10))
    except OSError:
        pass
    libc.prctl(PR_SET_TIMERSLACK, 1, 0, 0, 0)

    rng = random.Random()
    a, b = devices
    directions = [
        Direction(a, b, arguments.delay / 1000.0, arguments.jitter / 1000.0, arguments.reorder,
                  arguments.queue, rng),
        Direction(b, a, arguments.delay / 1000.0, arguments.jitter / 1000.0, arguments.reorder,
                  arguments.queue, rng),
    ]
    forward(devices, directions, names)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except OSError as error:
        print("delay_link: %s" % error, file=sys.stderr)
        sys.exit(1)
