#!/usr/bin/env python3
"""A bad MQTT broker: accepts CONNECT and answers CONNACK, then
  huge:   announces one PUBLISH of 256 MiB and trickles its body at RATE bytes a second;
  silent: reads what comes and never answers again (a frozen broker).
Prints its port, then one line per connection ("connection N") and, when the client
drops it, "connection N dropped after B bytes".
With CERT and KEY it speaks TLS.
Usage: fake_broker.py huge|silent [RATE [CERT KEY]]"""
import socket
import ssl
import sys
import threading
import time

MODE = sys.argv[1]
RATE = int(sys.argv[2]) if len(sys.argv) > 2 else 1 << 20
TLS = None
if len(sys.argv) > 4:
    TLS = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    TLS.load_cert_chain(sys.argv[3], sys.argv[4])
ANNOUNCED = 268435455  # the largest length MQTT can state


def length_field(n):
    out = bytearray()
    while True:
        byte, n = n % 128, n // 128
        out.append(byte | (0x80 if n else 0))
        if not n:
            return bytes(out)


def serve(conn, number):
    conn.settimeout(None if MODE == "silent" else 30)
    sent = 0
    try:
        if TLS:
            conn = TLS.wrap_socket(conn, server_side=True)
        conn.recv(65536)  # the CONNECT
        conn.sendall(b"\x20\x02\x00\x00")  # CONNACK: accepted
        if MODE == "silent":
            while conn.recv(65536):
                pass
            raise OSError("closed")
        topic = b"t"
        conn.sendall(b"\x30" + length_field(ANNOUNCED) + len(topic).to_bytes(2, "big") + topic)
        chunk = b"x" * (RATE // 10)
        while sent < ANNOUNCED:
            conn.sendall(chunk)
            sent += len(chunk)
            time.sleep(0.1)
    except OSError:
        print(f"connection {number} dropped after {sent} bytes", flush=True)
    finally:
        conn.close()


def main():
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", 0))
    s.listen(8)
    print(s.getsockname()[1], flush=True)
    number = 0
    while True:
        conn, _ = s.accept()
        number += 1
        print(f"connection {number}", flush=True)
        threading.Thread(target=serve, args=(conn, number), daemon=True).start()


main()
