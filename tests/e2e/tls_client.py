#!/usr/bin/env python3
"""A TLS sender for the end-to-end tests, on Python's ssl module, for the edge cases.

    tls_client.py send PORT [--cert C --key K] [--ca CA] [--octet] [--max-version 1.1]
                  [--wait-file F] MESSAGE...
        Sends each MESSAGE (LF framing, or octet counting with --octet); with --wait-file,
        sends the first, waits until F exists and sends the rest on the same connection.
        Then waits up to 3 s for the server: prints "accepted" when the connection stayed
        open for 1.5 s after the messages went out, "refused: REASON" when the handshake
        failed or the server closed it.
    tls_client.py plain PORT TEXT     plain bytes; prints "closed" or "open" after 3 s
    tls_client.py stall PORT SECONDS  a TCP connection that never speaks; prints after how
                                      many seconds the server closed it, or "open"
    tls_client.py fingerprint PORT    the SHA256:AB:... fingerprint of the server's certificate
"""
import argparse
import hashlib
import socket
import ssl
import sys
import time


def connect(port):
    return socket.create_connection(("127.0.0.1", port), timeout=5)


def client_context(args):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
    context.check_hostname = False
    if args.ca:
        context.load_verify_locations(args.ca)
        context.verify_mode = ssl.CERT_REQUIRED
    else:
        context.verify_mode = ssl.CERT_NONE
    if args.cert:
        context.load_cert_chain(args.cert, args.key)
    if args.max_version == "1.1":
        context.set_ciphers("DEFAULT:@SECLEVEL=0")
        context.minimum_version = ssl.TLSVersion.TLSv1
        context.maximum_version = ssl.TLSVersion.TLSv1_1
    return context


def frame(message, octet):
    data = message.encode()
    return str(len(data)).encode() + b" " + data if octet else data + b"\n"


def server_closed(tls):
    """True when the server ended the connection within 1.5 s (an alert or EOF)."""
    tls.settimeout(1.5)
    try:
        return tls.recv(1) == b""
    except socket.timeout:
        return False
    except (ssl.SSLError, OSError):
        return True


def send(args):
    try:
        tls = client_context(args).wrap_socket(connect(args.port))
    except (ssl.SSLError, OSError) as error:
        print("refused:", error)
        return
    try:
        for index, message in enumerate(args.messages):
            if index == 1 and args.wait_file:
                deadline = time.time() + 30
                while time.time() < deadline:
                    try:
                        open(args.wait_file).close()
                        break
                    except OSError:
                        time.sleep(0.05)
            tls.sendall(frame(message, args.octet))
    except (ssl.SSLError, OSError) as error:
        print("refused:", error)
        return
    if server_closed(tls):
        print("refused: closed by the server")
    else:
        print("accepted")
    tls.close()


def plain(args):
    s = connect(args.port)
    s.sendall(args.text.encode())
    s.settimeout(3)
    try:
        data = s.recv(4096)
        # The server may answer with an alert before it closes.
        while data:
            data = s.recv(4096)
        print("closed")
    except ConnectionResetError:
        print("closed")
    except socket.timeout:
        print("open")


def stall(args):
    s = connect(args.port)
    start = time.time()
    s.settimeout(args.seconds)
    try:
        while s.recv(4096):
            pass
        print(round(time.time() - start))
    except ConnectionResetError:
        print(round(time.time() - start))
    except socket.timeout:
        print("open")


def fingerprint(args):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
    context.check_hostname = False
    context.verify_mode = ssl.CERT_NONE
    with context.wrap_socket(connect(args.port)) as tls:
        digest = hashlib.sha256(tls.getpeercert(binary_form=True)).hexdigest().upper()
    print("SHA256:" + ":".join(digest[i:i + 2] for i in range(0, len(digest), 2)))


def main():
    parser = argparse.ArgumentParser()
    modes = parser.add_subparsers(dest="mode", required=True)
    p = modes.add_parser("send")
    p.add_argument("port", type=int)
    p.add_argument("--cert")
    p.add_argument("--key")
    p.add_argument("--ca")
    p.add_argument("--octet", action="store_true")
    p.add_argument("--max-version")
    p.add_argument("--wait-file")
    p.add_argument("messages", nargs="+")
    p = modes.add_parser("plain")
    p.add_argument("port", type=int)
    p.add_argument("text")
    p = modes.add_parser("stall")
    p.add_argument("port", type=int)
    p.add_argument("seconds", type=float)
    p = modes.add_parser("fingerprint")
    p.add_argument("port", type=int)
    args = parser.parse_args()
    {"send": send, "plain": plain, "stall": stall, "fingerprint": fingerprint}[args.mode](args)


if __name__ == "__main__":
    sys.exit(main())
