# UDP peers of the SOCKS5 UDP tests, on 127.0.0.1:
#   echo                    an echo server that answers "<payload>|<sender's address>"
#   dns                     a DNS server that answers every A query with 192.0.2.53
#   client PROXY HOST PORT MODE [COUNT]
#                           PySocks through the SOCKS5 proxy on port PROXY: MODE "echo" sends
#                           COUNT datagrams to HOST:PORT and prints "ok <sender the echo saw>";
#                           "dns" asks for an A record and prints "ok <address>"; "silent"
#                           expects no answer and prints "ok"; anything else prints what failed
import socket
import struct
import sys


def serve(answer):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("127.0.0.1", 0))
    print("port", s.getsockname()[1], flush=True)
    while True:
        data, peer = s.recvfrom(65535)
        reply = answer(data, peer)
        if reply is not None:
            s.sendto(reply, peer)


def dns_answer(query, _peer):
    if len(query) < 12:
        return None
    end = 12
    while end < len(query) and query[end] != 0:
        end += query[end] + 1
    question = query[12:end + 5]
    header = query[:2] + b"\x81\x80" + struct.pack(">HHHH", 1, 1, 0, 0)
    record = b"\xc0\x0c" + struct.pack(">HHIH", 1, 1, 60, 4) + socket.inet_aton("192.0.2.53")
    return header + question + record


def dns_query(name):
    labels = b"".join(bytes([len(part)]) + part.encode() for part in name.split("."))
    return b"\x12\x34\x01\x00" + struct.pack(">HHHH", 1, 0, 0, 0) + labels + b"\x00\x00\x01\x00\x01"


def client(proxy, host, port, mode, count):
    import socks
    s = socks.socksocket(socket.AF_INET, socket.SOCK_DGRAM)
    s.set_proxy(socks.SOCKS5, "127.0.0.1", proxy, rdns=True)
    s.settimeout(3 if mode == "silent" else 20)
    if mode == "dns":
        s.sendto(dns_query("www.example.test"), (host, port))
        answer, _ = s.recvfrom(65535)
        if answer[:2] != b"\x12\x34" or len(answer) < 4:
            return "a wrong answer: %r" % answer
        return "ok " + socket.inet_ntoa(answer[-4:])
    if mode == "silent":
        s.sendto(b"unanswered", (host, port))
        try:
            answer = s.recvfrom(65535)
            return "an answer came: %r" % (answer,)
        except socket.timeout:
            return "ok"
    seen = set()
    for i in range(count):
        payload = b"datagram %d " % i + bytes(range(256)) * 4
        s.sendto(payload, (host, port))
        answer, source = s.recvfrom(65535)
        data, _, sender = answer.rpartition(b"|")
        if data != payload:
            return "datagram %d came back as %r" % (i, answer[:64])
        seen.add(sender.decode())
    return "ok " + ",".join(sorted(seen))


if __name__ == "__main__":
    if sys.argv[1] == "echo":
        serve(lambda data, peer: data + b"|" + peer[0].encode())
    elif sys.argv[1] == "dns":
        serve(dns_answer)
    else:
        try:
            print(client(int(sys.argv[2]), sys.argv[3], int(sys.argv[4]), sys.argv[5],
                         int(sys.argv[6]) if len(sys.argv) > 6 else 1))
        except Exception as error:
            print("failed: %r" % error)
