"""The few X11 requests no command-line tool answers, spoken directly over the display socket.

Only what the desktop fixture needs: who owns a selection (the system tray's manager
selection). Standard library only.
"""

import socket
import struct


class XConnection:
    """One unauthenticated X11 connection over the local socket of a display such as ":3"."""

    def __init__(self, display, timeout=10.0):
        number = display.split(":", 1)[1].split(".", 1)[0]
        self._sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self._sock.settimeout(timeout)
        try:
            self._sock.connect("/tmp/.X11-unix/X" + number)
            # Little-endian client, protocol 11.0, no authorisation (Xvfb without -auth).
            self._sock.sendall(struct.pack("<cxHHHHxx", b"l", 11, 0, 0, 0))
            status, _, _, _, length = struct.unpack("<BBHHH", self._read(8))
            setup = self._read(length * 4)
            if status != 1:
                raise OSError("the X server refused the connection: %r" % setup[:80])
            vendor_length, = struct.unpack_from("<H", setup, 16)
            format_count, = struct.unpack_from("<B", setup, 21)
            first_screen = 32 + ((vendor_length + 3) & ~3) + 8 * format_count
            self.root, = struct.unpack_from("<I", setup, first_screen)
        except BaseException:
            self._sock.close()
            raise

    def close(self):
        self._sock.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _read(self, count):
        data = b""
        while len(data) < count:
            chunk = self._sock.recv(count - len(data))
            if not chunk:
                raise OSError("the X server closed the connection")
            data += chunk
        return data

    def _reply(self):
        # Nothing here selects events, so the next packet is a reply or an error.
        packet = self._read(32)
        if packet[0] == 0:
            raise OSError("X error %d" % packet[1])
        extra, = struct.unpack_from("<I", packet, 4)
        if packet[0] == 1 and extra:
            packet += self._read(extra * 4)
        return packet

    def intern_atom(self, name, only_if_exists=False):
        raw = name.encode("latin-1")
        padding = (4 - len(raw) % 4) % 4
        length = 2 + (len(raw) + padding) // 4
        self._sock.sendall(struct.pack("<BBHHxx", 16, int(only_if_exists), length, len(raw))
                           + raw + b"\0" * padding)
        atom, = struct.unpack_from("<I", self._reply(), 8)
        return atom

    def selection_owner(self, selection_name):
        """The window owning the selection, 0 when nobody owns it."""
        atom = self.intern_atom(selection_name)
        self._sock.sendall(struct.pack("<BxHI", 23, 2, atom))
        owner, = struct.unpack_from("<I", self._reply(), 8)
        return owner
