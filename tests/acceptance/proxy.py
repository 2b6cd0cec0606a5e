"""A TCP relay between the stations and a database server. Taking it down looks to the stations
exactly like a stopped server (connections drop, new ones are refused) while the real server,
shared with other tests and with the operator, keeps running. It can also keep what the stations
sent, to look for text that must never reach a statement."""

import socket
import threading


class Proxy:
    # The stations are given this address itself: a name such as "localhost" may resolve to
    # ::1 first, where something else could answer on the same port.
    ADDRESS = "127.0.0.1"

    def __init__(self, target, record=False):
        self.target = target
        self.record = record
        self.port = None
        self._listener = None
        self._lock = threading.Lock()
        self._connections = set()
        self._sent = []
        self._thread = None

    # the relay

    def start(self):
        self._listen(0)

    def _listen(self, port):
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind((self.ADDRESS, port))
        listener.listen(64)
        self.port = listener.getsockname()[1]
        with self._lock:
            self._listener = listener
        self._thread = threading.Thread(target=self._accept, args=(listener,), daemon=True)
        self._thread.start()

    def _accept(self, listener):
        while True:
            try:
                client, _ = listener.accept()
            except OSError:
                return
            try:
                # Tries every address of the target's name, as the stations' clients do.
                upstream = socket.create_connection(self.target, timeout=5)
                upstream.settimeout(None)
            except OSError:
                client.close()
                continue
            pair = (client, upstream)
            record = bytearray()
            with self._lock:
                if self._listener is not listener:
                    client.close()
                    upstream.close()
                    return
                self._connections.add(pair)
                if self.record:
                    self._sent.append(record)
            threading.Thread(target=self._pump, args=(client, upstream, pair, record),
                             daemon=True).start()
            threading.Thread(target=self._pump, args=(upstream, client, pair, None),
                             daemon=True).start()

    def _pump(self, source, sink, pair, record):
        try:
            while True:
                data = source.recv(65536)
                if not data:
                    break
                if record is not None and self.record:
                    with self._lock:
                        record.extend(data)
                sink.sendall(data)
        except OSError:
            pass
        finally:
            self._drop(pair)

    def _drop(self, pair):
        with self._lock:
            self._connections.discard(pair)
        for s in pair:
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            s.close()

    # the server as the stations see it

    def down(self):
        """Stops answering: open connections drop and new ones are refused."""
        with self._lock:
            listener, self._listener = self._listener, None
            pairs = list(self._connections)
        if listener:
            # Only shutdown wakes the thread blocked in accept(); close alone would leave the
            # port listening.
            try:
                listener.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            listener.close()
        for pair in pairs:
            self._drop(pair)

    def address(self):
        """(address, port) the stations connect to."""
        return (self.ADDRESS, self.port)

    def up(self):
        if self._listener is None:
            self._listen(self.port)

    def stop(self):
        self.down()

    def sent(self):
        """What the stations sent, one bytes object a connection."""
        with self._lock:
            return [bytes(r) for r in self._sent]
