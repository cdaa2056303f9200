#!/usr/bin/env python3
"""A misbehaving echo target for the lab: for every echo request it sees it sends at once
a reply forged from another address, a reply with a foreign identifier, a reply with an
older sequence, and a time-exceeded report quoting someone else's probe (its quoted
header carrying IP options); the true reply follows only after a delay.
Usage: late_forged_answerer.py FORGED_ADDRESS DELAY_SECONDS READY_FILE COUNT_FILE
Run inside the target namespace with the kernel's own echo answers switched off."""
import select
import socket
import struct
import sys
import time


def checksum(data):
    if len(data) % 2:
        data += b"\0"
    total = sum(struct.unpack("!%dH" % (len(data) // 2), data))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return ~total & 0xFFFF


def icmp(kind, code, rest, body):
    header = struct.pack("!BBH4s", kind, code, 0, rest)
    return struct.pack("!BBH4s", kind, code, checksum(header + body), rest) + body


def echo_reply(identifier, sequence, data):
    return icmp(0, 0, struct.pack("!HH", identifier, sequence), data)


def ip_packet(source, destination, payload, options=b""):
    words = (20 + len(options)) // 4
    header = struct.pack("!BBHHHBBH4s4s", 0x40 | words, 0, 20 + len(options) + len(payload),
                         0, 0, 64, 1, 0, socket.inet_aton(source),
                         socket.inet_aton(destination)) + options
    header = header[:10] + struct.pack("!H", checksum(header)) + header[12:]
    return header + payload


def main():
    forged, delay, ready_file, count_file = sys.argv[1], float(sys.argv[2]), sys.argv[3], sys.argv[4]
    listen = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_ICMP)
    send = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_RAW)
    open(ready_file, "w").close()
    late = []
    seen = 0
    while True:
        wait = max(0.0, late[0][0] - time.monotonic()) if late else 1.0
        if select.select([listen], [], [], wait)[0]:
            packet, _ = listen.recvfrom(65535)
            length = (packet[0] & 0x0F) * 4
            kind, _, _, identifier, sequence = struct.unpack("!BBHHH", packet[length:length + 8])
            if kind != 8:
                continue
            seen += 1
            with open(count_file, "w") as out:
                out.write("%d\n" % seen)
            client = socket.inet_ntoa(packet[12:16])
            me = socket.inet_ntoa(packet[16:20])
            data = packet[length + 8:]
            at_once = [
                ip_packet(forged, client, echo_reply(identifier, sequence, data)),
                ip_packet(me, client, echo_reply(identifier ^ 0x5A5A, sequence, data)),
                ip_packet(me, client, echo_reply(identifier, (sequence - 1) & 0xFFFF, data)),
            ]
            foreign_probe = ip_packet(client, me, echo_reply(identifier ^ 0x0101, sequence, b""),
                                      options=b"\x01\x01\x01\x00")
            foreign_probe = foreign_probe[:-8] + struct.pack("!BBHHH", 8, 0, 0, identifier ^ 0x0101,
                                                             sequence)
            at_once.append(ip_packet(forged, client, icmp(11, 0, b"\0\0\0\0", foreign_probe)))
            for reply in at_once:
                send.sendto(reply, (client, 0))
            late.append((time.monotonic() + delay,
                         ip_packet(me, client, echo_reply(identifier, sequence, data)), client))
        now = time.monotonic()
        while late and late[0][0] <= now:
            _, reply, client = late.pop(0)
            send.sendto(reply, (client, 0))


if __name__ == "__main__":
    main()
