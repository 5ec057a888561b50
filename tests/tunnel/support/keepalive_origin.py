# An origin that keeps connections alive (HTTP/1.1, Python's http.server), for the HTTP proxy's
# tests: /page/* answers with a length, /chunked in chunks, /close ends its body by closing,
# /cached answers 304 to a conditional request, POST /echo returns its body (sent with a length
# or in chunks). Every request line goes to stdout, so the test knows what arrived.
import http.server
import sys


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, body, status=200, headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        if body is not None:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if body and self.command != "HEAD":
            self.wfile.write(body)

    def do_GET(self):
        print(self.requestline, flush=True)
        if self.path == "/chunked":
            self.send_response(200)
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            for part in (b"chunked ", b"response ", b"body"):
                self.wfile.write(b"%x\r\n%s\r\n" % (len(part), part))
            self.wfile.write(b"0\r\n\r\n")
        elif self.path == "/close":
            self.send_response(200)
            self.end_headers()
            self.wfile.write(b"ended by closing" * 1000)
            self.close_connection = True
        elif self.path == "/cached" and self.headers["If-Modified-Since"]:
            self.answer(None, 304, [("ETag", '"1"')])
        else:
            self.answer(b"page " + self.path.encode(), headers=[("Keep-Alive", "timeout=60")])

    do_HEAD = do_GET

    def do_POST(self):
        print(self.requestline, flush=True)
        if self.headers["Transfer-Encoding"] == "chunked":
            body = b""
            while size := int(self.rfile.readline().split(b";")[0], 16):
                body += self.rfile.read(size)
                self.rfile.readline()
            while self.rfile.readline() not in (b"\r\n", b""):
                pass
        else:
            body = self.rfile.read(int(self.headers["Content-Length"]))
        self.answer(body)


http.server.ThreadingHTTPServer.request_queue_size = 1024
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print("port", server.server_address[1], flush=True)
server.serve_forever()
