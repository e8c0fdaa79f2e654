# SPDX-License-Identifier: GPL-3.0-or-later
"""Writers of driver log lines in the four dialects, with frames built the way the device sends them.

Shared by the benchmark generator (gen_log.py) and the demo log maker (samples/make_demo.py).
"""

import datetime

ENQ, STX, ACK, NAK = 0x05, 0x02, 0x06, 0x15


def hex_text(data):
    return " ".join("%02X" % b for b in data)


def le(value, size):
    return bytes((value >> (8 * i)) & 0xFF for i in range(size))


def crc_xor(data):
    crc = 0
    for b in data:
        crc ^= b
    return crc


def crc16_ccitt(data):
    crc = 0xFFFF
    for b in data:
        crc ^= b << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021) if crc & 0x8000 else crc << 1
            crc &= 0xFFFF
    return crc


def protocol1_frame(body):
    """STX, length, body, XOR check byte."""
    return bytes([STX, len(body)]) + body + bytes([crc_xor(bytes([len(body)]) + body)])


def protocol2_frame(body, number):
    """8F, then length and frame number, body and CRC, with 8F and 9F escaped."""
    inner = le(len(body) + 3, 2) + le(number, 2) + body
    inner += le(crc16_ccitt(inner), 2)
    stuffed = inner.replace(b"\x9f", b"\x9f\x83").replace(b"\x8f", b"\x9f\x81")
    return b"\x8f" + stuffed


class LogWriter:
    """Collects log lines; every line gets a time stamp a few milliseconds after the previous one."""

    def __init__(self, start=datetime.datetime(2024, 3, 12, 10, 15, 30), thread=0x1A2C):
        self.lines = []
        self.time = start
        self.thread = thread
        self.frame_number = 1

    def stamp(self, step_ms=3):
        self.time += datetime.timedelta(milliseconds=step_ms)
        t = self.time
        return "[%02d.%02d.%04d %02d:%02d:%02d.%03d]" % (
            t.day, t.month, t.year, t.hour, t.minute, t.second, t.microsecond // 1000)

    def prefix(self, step_ms=3):
        return "%s [%08X]" % (self.stamp(step_ms), self.thread)

    def text(self, level, source, message, step_ms=3):
        self.lines.append("%s [%s] %s - %s" % (self.prefix(step_ms), level, source, message))

    def driver_error(self, message):
        self.lines.append("%s [ERROR] TFiscalPrinter - %s" % (self.prefix(), message))

    # Protocol 1: ENQ handshake, framed request, framed answer, host ACK.
    def _p1(self, arrow, data, step_ms=3):
        self.lines.append("%s [DEBUG] TPrinterProtocol %s %s" % (self.prefix(step_ms), arrow, hex_text(data)))

    def protocol1(self, request, answer, answer_delay_ms=40):
        self._p1("->", [ENQ])
        self._p1("<-", [NAK])
        self._p1("->", protocol1_frame(request))
        self._p1("<-", [ACK])
        if answer is None:
            return
        frame = protocol1_frame(answer)
        self._p1("<-", [STX], answer_delay_ms)
        self._p1("<-", frame[1:2])
        self._p1("<-", frame[2:-1])
        self._p1("<-", frame[-1:])
        self._p1("->", [ACK])

    # Plain protocol 1: unframed request and answer with a length byte.
    def plain(self, request, answer):
        self._p1("->", bytes([len(request)]) + request)
        self._p1("<-", [ACK])
        self._p1("<-", [len(answer)], 30)
        self._p1("<-", answer)
        self.text("INFO ", "TFiscalPrinter", "Команда выполнена")

    # Protocol 2: stuffed frames, the device's ACK before its answer.
    def protocol2(self, request, answer, chunk=None):
        number = self.frame_number
        self.frame_number = (self.frame_number + 1) & 0xFFFF
        frame = protocol2_frame(request, number)
        step = chunk or len(frame)
        for at in range(0, len(frame), step):
            self.lines.append("%s [DEBUG] TPrinterProtocol2 -> %s" % (self.prefix(), hex_text(frame[at:at + step])))
        self.lines.append("%s [DEBUG] TPrinterProtocol2 <- 06" % self.prefix())
        self.lines.append("%s [DEBUG] TPrinterProtocol2 <- %s" % (self.prefix(35), hex_text(protocol2_frame(answer, number))))

    # NG dialect: the logger name is padded so that "] [D]" follows at the 68th character.
    def _ng(self, arrow, data, step_ms=3):
        head = ("%s [%08X] [Kestrel.Transport.Serial" % (self.stamp(step_ms), self.thread)).ljust(67)
        self.lines.append("%s] [D] %s %s" % (head, arrow, hex_text(data)))

    def ng_framed(self, request, answer):
        self._ng("->", [ENQ])
        self._ng("<-", [ACK])
        self._ng("->", protocol1_frame(request))
        self._ng("<-", [ACK])
        self._ng("<-", protocol1_frame(answer), 30)

    def ng_plain(self, request, answer):
        self._ng("->", bytes([len(request)]) + request)
        self._ng("<-", bytes([len(answer)]) + answer, 30)

    # jpos dialect: the protocol-1 handshake under the jpos logger.
    def _jpos(self, arrow, data, step_ms=3):
        self.lines.append("%s Thread-7 DEBUG com.kelmar.fiscalprinter.PrinterProtocol_1 - %s %s"
                          % (self.stamp(step_ms), arrow, hex_text(data)))

    def jpos(self, request, answer):
        self._jpos("->", [ENQ])
        self._jpos("<-", [NAK])
        self._jpos("->", protocol1_frame(request))
        self._jpos("<-", [ACK])
        frame = protocol1_frame(answer)
        self._jpos("<-", [STX], 40)
        self._jpos("<-", frame[1:2])
        self._jpos("<-", frame[2:-1])
        self._jpos("<-", frame[-1:])
        self._jpos("->", [ACK])

    def encoded(self):
        """The log as the driver writes it: Windows-1251, CR LF."""
        return ("\r\n".join(self.lines) + "\r\n").encode("cp1251", errors="replace")


# Device commands with sensible field values.
PASSWORD = le(30, 4)


def tlv(tag, value):
    return le(tag, 2) + le(len(value), 2) + value


def text866(text):
    return text.encode("cp866")


def short_status(password=PASSWORD):
    return b"\x10" + password


def short_status_answer(mode=0x04, error=0):
    # operator, flags, mode, submode, operations, battery, power, FM, EKLZ, keys, head temperature, previous mode
    return bytes([0x10, error, 0x1E]) + le(0x0282, 2) + bytes([mode, 0x00, 0x00, 0x9C, 0x8C, 0, 0, 0, 0x19, 0x04])


def long_status():
    return b"\x11" + PASSWORD


def long_status_answer(document=1234, session=57):
    return (bytes([0x11, 0x00, 0x1E]) + b"\x05\x00" + le(6012, 2) + bytes([15, 11, 23]) + b"\x01"
            + le(document, 2) + le(0x0282, 2) + bytes([0x02, 0x00, 0x00]) + b"\x05\x00" + le(6012, 2)
            + bytes([15, 11, 23]) + bytes([12, 3, 24]) + bytes([10, 15, 30]) + b"\x00"
            + le(12345678, 4) + le(session, 2) + le(0, 2) + b"\x01\x00" + le(7708123456, 6))


def sale(price_kopecks, quantity_thousandths, text):
    return (b"\x80" + PASSWORD + le(quantity_thousandths, 5) + le(price_kopecks, 5) + b"\x01"
            + b"\x00\x00\x00\x00" + text.encode("cp1251").ljust(40, b"\x00"))


def operation_v2(price_kopecks, quantity_millionths, text, check_type=1):
    return (b"\xff\x46" + PASSWORD + bytes([check_type]) + le(quantity_millionths, 6) + le(price_kopecks, 5)
            + b"\xff" * 5 + b"\xff" * 5 + bytes([0x01, 0x01, 0x04, 0x01]) + text.encode("cp1251"))


def close_check(total_kopecks, text=""):
    return (b"\xff\x45" + PASSWORD + le(total_kopecks, 5) + b"\x00" * 75 + b"\x00"
            + b"\x00" * 30 + b"\x01" + text.encode("cp1251"))


def close_check_answer(document, fiscal_sign, error=0):
    if error:
        return bytes([0xFF, 0x45, error])
    return b"\xff\x45\x00" + le(0, 5) + le(document, 4) + le(fiscal_sign, 4)


def send_tlv(data):
    return b"\xff\x0c" + PASSWORD + data


def check_marking(code, tlv_block=b""):
    return (b"\xff\x61" + PASSWORD + bytes([1, 0, len(code), len(tlv_block)]) + code + tlv_block)


def check_marking_answer():
    # local result, local error, marking type, then the server block: size 2, error 0, status 0F
    return b"\xff\x61\x00" + bytes([0x0F, 0x00, 0x03]) + bytes([0x02, 0x00, 0x0F])


def answer(code, error=0, rest=b""):
    return (code if isinstance(code, bytes) else bytes([code])) + bytes([error]) + rest
