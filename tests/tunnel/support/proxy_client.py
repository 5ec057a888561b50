# The clients of the local proxies that curl and wget cannot play: python-requests with one
# Session, and exchanges by hand (a pipelined pair, CONNECT or a SOCKS5 request with the data in
# the same write). Prints "ok", or what went wrong.
import socket
import sys

mode, proxy_port, origin_port = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
origin = b"127.0.0.1:%d" % origin_port
body = bytes(range(256)) * 80


def exchange(data):
    with socket.create_connection(("127.0.0.1", proxy_port), timeout=60) as s:
        s.sendall(data)
        got = b""
        while chunk := s.recv(65536):
            got += chunk
    return got


def post(target):
    return b"POST %s HTTP/1.1\r\nHost: %s\r\nContent-Length: %d\r\nConnection: close\r\n\r\n%s" % (
        target, origin, len(body), body)


def check(got, prefix):
    return got.startswith(prefix) and got.endswith(b"\r\n\r\n" + body)


if mode == "session":
    import requests
    session = requests.Session()
    session.trust_env = False
    proxies = {"http": "http://127.0.0.1:%d" % proxy_port}
    failed = []
    for i in range(50):
        try:
            answer = session.get("http://%s/page/%d" % (origin.decode(), i), proxies=proxies,
                                 timeout=60)
            if answer.text != "page /page/%d" % i:
                failed.append("%d: %r" % (i, answer.text))
        except Exception as error:
            failed.append("%d: %r" % (i, error))
    print("ok" if not failed else "%d of 50 failed: %s" % (len(failed), failed[:3]))
elif mode == "pipeline":
    got = exchange(b"".join(b"GET http://%s/page/%d HTTP/1.1\r\nHost: %s\r\n\r\n" % (origin, i, origin)
                            for i in (1, 2)))
    head, _, rest = got.partition(b"\r\n\r\n")
    fields = head.split(b"\r\n")
    told = b"Connection: close" in fields and b"Proxy-Connection: close" in fields
    print("ok" if told and b"Keep-Alive" not in head and rest == b"page /page/1" else repr(got))
elif mode == "connect":
    got = exchange(b"CONNECT %s HTTP/1.1\r\n\r\n%s" % (origin, post(b"/echo")))
    print("ok" if check(got, b"HTTP/1.1 200 Connection established\r\n\r\nHTTP/1.1 200 ") else
          repr(got[:200]))
elif mode == "socks":
    request = b"\x05\x01\x00\x01\x7f\x00\x00\x01" + origin_port.to_bytes(2, "big")
    got = exchange(b"\x05\x01\x00" + request + post(b"/echo"))
    print("ok" if check(got, b"\x05\x00\x05\x00") else repr(got[:200]))
