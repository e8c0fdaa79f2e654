"""Writes demo.log: a short driver log touching every dialect, for trying the window and the command line."""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "bench"))

from logframes import (LogWriter, answer, check_marking, check_marking_answer, close_check, close_check_answer,
                       long_status, long_status_answer, operation_v2, sale, send_tlv, short_status,
                       short_status_answer, text866, tlv)


def main():
    log = LogWriter()
    log.text("INFO ", "TFiscalPrinter", "Драйвер ККТ 5.17.0.1042, порт COM3, скорость 115200")
    log.text("INFO ", "TFiscalPrinter", "Подключение к ККТ")

    # Protocol 1: status requests, a refused sale, then the sale after the session was reopened.
    log.protocol1(long_status(), long_status_answer())
    log.protocol1(short_status(), short_status_answer(mode=0x03))
    log.protocol1(sale(10000, 1000, "Молоко 3,2% 1 л"), answer(0x80, 0x4E, b"\x1e"))
    log.text("WARN ", "TFiscalPrinter", "Смена превысила 24 часа")
    log.protocol1(sale(4590, 2000, "Хлеб Бородинский"), answer(0x80, 0x00, b"\x1e"))

    # A request the device never answered.
    log.protocol1(short_status(), None)
    log.driver_error("Нет связи с ККТ (-1)")

    # Protocol 2: a receipt with buyer data, a marking code check and a refused close.
    log.text("INFO ", "TFiscalPrinter", "Протокол обмена v2")
    log.protocol2(operation_v2(12990, 1000000, "Кефир 1% 0,9 л"), answer(b"\xff\x46"))
    log.protocol2(send_tlv(tlv(1008, text866("+79161234567")) + tlv(1021, text866("Кассир Иванова А.П."))),
                  answer(b"\xff\x0c"))
    log.protocol2(check_marking(b"0104600439931256215JgXJ5.T\x1d93dGVz", tlv(2108, b"\x00")),
                  check_marking_answer())
    log.protocol2(close_check(12990), close_check_answer(0, 0, error=0x55))
    log.protocol2(close_check(12990), close_check_answer(1235, 3159267301))

    # NG dialect, framed and plain.
    log.ng_plain(long_status(), long_status_answer(document=1235))
    log.ng_plain(short_status(), short_status_answer(mode=0x02, error=0x50))
    log.ng_framed(short_status(), short_status_answer())

    # Plain protocol 1.
    log.plain(short_status(), short_status_answer())

    # jpos dialect.
    log.jpos(long_status(), long_status_answer(document=1236))
    log.jpos(short_status(), short_status_answer(mode=0x04))
    log.driver_error("Ошибка ФН: истек срок действия ключей")

    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "demo.log"), "wb") as out:
        out.write(log.encoded())


if __name__ == "__main__":
    main()
