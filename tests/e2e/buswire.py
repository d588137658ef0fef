"""What no D-Bus command-line tool does, spoken directly over the bus socket: many method
calls sent at once, none waiting for its reply (gdbus and dbus-send send one per process).

Only what the soak test needs: EXTERNAL authentication, Hello, calls without arguments.
Standard library only.
"""

import os
import socket
import struct

_METHOD_CALL, _METHOD_RETURN, _ERROR = 1, 2, 3
_NO_REPLY_EXPECTED = 0x1
_PATH, _INTERFACE, _MEMBER, _DESTINATION, _REPLY_SERIAL = 1, 2, 3, 6, 5


def _pad(data, boundary):
    return data + b"\0" * (-len(data) % boundary)


def _method_call(serial, destination, path, interface, member, flags=0):
    fields = b""
    for code, kind, value in ((_PATH, b"o", path), (_INTERFACE, b"s", interface),
                              (_MEMBER, b"s", member), (_DESTINATION, b"s", destination)):
        encoded = value.encode()
        field = struct.pack("<B", code) + b"\x01" + kind + b"\0"
        field = _pad(field, 4) + struct.pack("<I", len(encoded)) + encoded + b"\0"
        # Every struct of the header's array starts on an 8-byte boundary (counted from the
        # message's start, which the fixed 16-byte part keeps in step).
        fields = _pad(fields, 8) + field
    header = struct.pack("<cBBBIII", b"l", _METHOD_CALL, flags, 1, 0, serial, len(fields))
    return _pad(header + fields, 8)


class BusConnection:
    """One connection to the bus at an address such as "unix:path=/tmp/x/bus,guid=..."."""

    def __init__(self, address, timeout=30.0):
        params = dict(part.split("=", 1)
                      for part in address.split(":", 1)[1].split(",") if "=" in part)
        self._sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self._sock.settimeout(timeout)
        self._serial = 0
        self._buffer = b""
        try:
            if "path" in params:
                self._sock.connect(params["path"])
            else:
                self._sock.connect("\0" + params["abstract"])
            uid = str(os.geteuid()).encode().hex().encode()
            self._sock.sendall(b"\0AUTH EXTERNAL " + uid + b"\r\n")
            if not self._read_line().startswith(b"OK "):
                raise OSError("the bus refused EXTERNAL authentication")
            self._sock.sendall(b"BEGIN\r\n")
            self.call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                      "Hello")
        except BaseException:
            self._sock.close()
            raise

    def close(self):
        self._sock.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def send_many(self, count, destination, path, interface, member):
        """Sends `count` calls in one write, none asking for a reply; then one call that does,
        and returns once it is answered: the bus has then passed every one of them on."""
        messages = b""
        for _ in range(count):
            self._serial += 1
            messages += _method_call(self._serial, destination, path, interface, member,
                                     _NO_REPLY_EXPECTED)
        self._sock.sendall(messages)
        self.call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus.Peer",
                  "Ping")

    def call(self, destination, path, interface, member):
        """One call; waits for its reply (its body is not decoded)."""
        self._serial += 1
        serial = self._serial
        self._sock.sendall(_method_call(serial, destination, path, interface, member))
        while True:
            kind, reply_to = self._read_message()
            if reply_to == serial:
                if kind == _ERROR:
                    raise OSError("%s.%s failed" % (interface, member))
                return

    def _read(self, size):
        while len(self._buffer) < size:
            chunk = self._sock.recv(65536)
            if not chunk:
                raise OSError("the bus closed the connection")
            self._buffer += chunk
        data, self._buffer = self._buffer[:size], self._buffer[size:]
        return data

    def _read_line(self):
        while b"\r\n" not in self._buffer:
            chunk = self._sock.recv(4096)
            if not chunk:
                raise OSError("the bus closed the connection")
            self._buffer += chunk
        line, self._buffer = self._buffer.split(b"\r\n", 1)
        return line

    def _read_message(self):
        """(type, reply serial or None) of the next message; the rest is skipped."""
        fixed = self._read(16)
        endian = "<" if fixed[:1] == b"l" else ">"
        kind = fixed[1]
        body_length, _, fields_length = struct.unpack(endian + "III", fixed[4:16])
        fields = self._read(fields_length + (-(16 + fields_length) % 8))[:fields_length]
        self._read(body_length)
        reply_to = None
        pos = 0
        while pos < len(fields):
            pos += -pos % 8
            code = fields[pos]
            signature_length = fields[pos + 1]
            signature = fields[pos + 2:pos + 2 + signature_length]
            pos += 3 + signature_length
            if signature in (b"s", b"o"):
                pos += -(pos + 16) % 4
                length, = struct.unpack_from(endian + "I", fields, pos)
                pos += 4 + length + 1
            elif signature == b"g":
                pos += 1 + fields[pos] + 1
            elif signature == b"u":
                pos += -(pos + 16) % 4
                value, = struct.unpack_from(endian + "I", fields, pos)
                if code == _REPLY_SERIAL:
                    reply_to = value
                pos += 4
            else:
                raise OSError("unexpected header field type %r" % signature)
        return kind, reply_to
