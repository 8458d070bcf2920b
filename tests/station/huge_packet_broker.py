#!/usr/bin/env python3
"""A hostile MQTT broker: accepts CONNECT, answers CONNACK, then announces one PUBLISH
of about 256 MiB and trickles its body at a fixed rate. Prints its port, then one line
per connection ("connection N") and, when a client drops it, "dropped after B bytes".
Usage: huge_packet_broker.py [BYTES_PER_SECOND]"""
import socket
import sys
import threading
import time

RATE = int(sys.argv[1]) if len(sys.argv) > 1 else 1 << 20
ANNOUNCED = 268435455  # the largest length MQTT can state


def length_field(n):
    out = bytearray()
    while True:
        byte, n = n % 128, n // 128
        out.append(byte | (0x80 if n else 0))
        if not n:
            return bytes(out)


def serve(conn, number):
    conn.settimeout(30)
    try:
        conn.recv(65536)  # the CONNECT
        conn.sendall(b"\x20\x02\x00\x00")  # CONNACK: accepted
        topic = b"t"
        conn.sendall(b"\x30" + length_field(ANNOUNCED) + len(topic).to_bytes(2, "big") + topic)
        sent = 0
        chunk = b"x" * (RATE // 10)
        while sent < ANNOUNCED:
            conn.sendall(chunk)
            sent += len(chunk)
            time.sleep(0.1)
    except OSError:
        print(f"connection {number} dropped after {sent if 'sent' in locals() else 0} bytes", flush=True)
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
