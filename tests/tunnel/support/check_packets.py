#!/usr/bin/env python3
"""Checks the checksums of IPv4/IPv6 TCP and UDP packets, one hex packet a line on standard input,
computed from scratch here (RFC 1071 over the headers and the pseudo-header). Prints "ok" or what
is wrong for each line."""
import struct
import sys


def ones_sum(data):
    if len(data) % 2:
        data += b"\0"
    total = sum(struct.unpack("!%dH" % (len(data) // 2), data))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total


def check(packet):
    version = packet[0] >> 4
    if version == 4:
        header = (packet[0] & 0x0F) * 4
        if ones_sum(packet[:header]) != 0xFFFF:
            return "bad ip header checksum"
        protocol = packet[9]
        total = struct.unpack("!H", packet[2:4])[0]
        segment = packet[header:total]
        pseudo = packet[12:20] + struct.pack("!BBH", 0, protocol, len(segment))
    elif version == 6:
        protocol = packet[6]
        segment = packet[40:40 + struct.unpack("!H", packet[4:6])[0]]
        pseudo = packet[8:40] + struct.pack("!IxxxB", len(segment), protocol)
    else:
        return "bad version"
    if protocol == 17 and segment[6:8] == b"\0\0":
        return "ok" if version == 4 else "bad zero udp checksum"
    if ones_sum(pseudo + segment) != 0xFFFF:
        return "bad transport checksum"
    return "ok"


for line in sys.stdin:
    line = line.strip()
    if line:
        print(check(bytes.fromhex(line)))
