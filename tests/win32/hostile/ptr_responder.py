#!/usr/bin/env python3
"""A tiny DNS responder for the lab: answers PTR queries for a fixed set of addresses
with names that may hold any bytes (tabs, line breaks), and NXDOMAIN for everything
else. Listens on 127.0.0.1:53 (UDP) of the namespace it is started in; logs each query.

Usage: ptr_responder.py MAP_FILE LOG_FILE READY_FILE
MAP_FILE lines: "A.B.C.D<TAB>NAME", NAME in Python escape notation (\\t, \\n, \\x01);
its labels are split at dots. READY_FILE is created once the socket is bound.
"""
import codecs
import socket
import struct
import sys


def read_map(path):
    names = {}
    with open(path, encoding="ascii") as file:
        for line in file:
            line = line.rstrip("\n")
            if not line:
                continue
            address, name = line.split("\t", 1)
            raw = codecs.decode(name, "unicode_escape").encode("latin-1")
            reverse = ".".join(reversed(address.split("."))) + ".in-addr.arpa"
            names[reverse] = raw
    return names


def encode_name(raw):
    wire = b""
    for label in raw.split(b"."):
        if label:
            wire += bytes([len(label)]) + label
    return wire + b"\0"


def parse_question(packet):
    """Returns (qname, qtype, end of the question) or None for a packet too short."""
    labels, at = [], 12
    while at < len(packet):
        length = packet[at]
        if length == 0:
            break
        if length & 0xC0 or at + 1 + length > len(packet):
            return None
        labels.append(packet[at + 1:at + 1 + length].decode("latin-1"))
        at += 1 + length
    if at + 5 > len(packet):
        return None
    qtype = struct.unpack("!H", packet[at + 1:at + 3])[0]
    return ".".join(labels).lower(), qtype, at + 5


def answer(packet, names):
    if len(packet) < 12:
        return None
    question = parse_question(packet)
    if question is None:
        return None
    qname, qtype, end = question
    ident = packet[:2]
    raw = names.get(qname) if qtype == 12 else None
    if raw is None:
        header = ident + struct.pack("!HHHHH", 0x8183, 1, 0, 0, 0)
        return header + packet[12:end], qname, qtype
    rdata = encode_name(raw)
    header = ident + struct.pack("!HHHHH", 0x8180, 1, 1, 0, 0)
    record = struct.pack("!HHHIH", 0xC00C, 12, 1, 60, len(rdata)) + rdata
    return header + packet[12:end] + record, qname, qtype


def main():
    names = read_map(sys.argv[1])
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind(("127.0.0.1", 53))
    open(sys.argv[3], "w").close()
    with open(sys.argv[2], "a", buffering=1) as log:
        while True:
            packet, peer = sock.recvfrom(4096)
            result = answer(packet, names)
            if result is None:
                continue
            reply, qname, qtype = result
            log.write("%s %d\n" % (qname, qtype))
            sock.sendto(reply, peer)


if __name__ == "__main__":
    main()
