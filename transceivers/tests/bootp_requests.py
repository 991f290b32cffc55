#!/usr/bin/python3
"""BOOTP requests built with scapy, sent from port 68 to 255.255.255.255:67.

Run inside the test's network namespace, where the broadcast reaches the
server on loopback. The requests the server must not answer go first, each
with an xid of its own, and a good one last: the server answers in order,
so once the good request's reply is in, every reply it gave has arrived.
Prints one line per reply received:
    reply <case> yiaddr=<a.b.c.d> siaddr=<a.b.c.d> file=<text> size=<n>
then "done", or "timeout" when the good request was not answered.
"""
import socket
import sys

from scapy.layers.dhcp import BOOTP


def mac(n):
    return bytes([0x02, 0x00, 0x00, 0x00, 0x00, n]) + bytes(10)


def request(xid, n, **fields):
    values = dict(op=1, htype=1, hlen=6, xid=xid, chaddr=mac(n))
    values.update(fields)
    return bytes(BOOTP(**values))


CASES = [
    ("boot-file", request(1, 1, file=b"BOOT")),
    ("nvu-and-more", request(2, 2, file=b"NVUX")),
    ("lower-case", request(3, 3, file=b"nvu")),
    ("empty-file", request(4, 4)),
    ("token-ring", request(5, 5, file=b"NVU", htype=6)),
    ("reply", request(6, 6, file=b"NVU", op=2)),
    ("short", request(7, 7, file=b"NVU")[:235]),
    ("good", request(99, 9, file=b"NVU")),
]
NAMES = {xid: name for xid, (name, _) in zip([1, 2, 3, 4, 5, 6, 7, 99], CASES)}


def main():
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    sock.bind(("0.0.0.0", 68))
    sock.settimeout(10.0)
    for _, data in CASES:
        sock.sendto(data, ("255.255.255.255", 67))
    while True:
        try:
            data, _ = sock.recvfrom(2048)
        except socket.timeout:
            print("timeout")
            return 1
        reply = BOOTP(data)
        name = NAMES.get(reply.xid, "unknown-%d" % reply.xid)
        file = bytes(reply.file).split(b"\0", 1)[0].decode("latin-1")
        print("reply %s yiaddr=%s siaddr=%s file=%s size=%d" % (name, reply.yiaddr, reply.siaddr, file, len(data)))
        if name == "good":
            print("done")
            return 0


if __name__ == "__main__":
    sys.exit(main())
