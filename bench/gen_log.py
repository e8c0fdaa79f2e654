#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Generates a synthetic driver log of about SIZE_MB megabytes: Windows-1251, CR LF.

    gen_log.py SIZE_MB OUT [SEED]

The log runs through sessions of each dialect (protocol 1, protocol 2, NG framed and plain,
plain protocol 1, jpos) with status requests, sales, receipts with long TLV frames, marking code
checks, unanswered requests with driver errors, and Cyrillic information lines between them.
"""

import os
import random
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from logframes import (LogWriter, answer, check_marking, check_marking_answer, close_check, close_check_answer,
                       long_status, long_status_answer, operation_v2, sale, send_tlv, short_status,
                       short_status_answer, text866, tlv)

GOODS = ["Молоко 3,2% 1 л", "Хлеб Бородинский", "Кефир 1% 0,9 л", "Сыр Российский 200 г", "Яблоки Гренни Смит",
         "Вода минеральная 0,5 л", "Пакет майка", "Шоколад горький 72%", "Кофе молотый 250 г", "Масло сливочное"]
NOTES = ["Получение состояния ККТ", "Печать строки", "Открытие чека", "Закрытие чека", "Регистрация позиции",
         "Проверка кода маркировки", "Передача реквизитов чека", "Ожидание окончания печати", "Порт COM3 открыт",
         "Чтение таблицы 1, строка 1, поле 1"]
ERRORS = ["Нет связи с ККТ (-1)", "Порт занят (-3)", "Таймаут ожидания ответа (-2)", "Ошибка ФН: нет ответа"]


def receipt_tlv(rng):
    data = tlv(1008, text866("+7916%07d" % rng.randrange(10 ** 7))) + tlv(1021, text866("Кассир Иванова А.П."))
    for _ in range(rng.randrange(3, 20)):
        item = text866(rng.choice(GOODS))
        inner = tlv(1030, item) + tlv(1079, (rng.randrange(100, 100000)).to_bytes(4, "little"))
        inner += tlv(1023, b"\x03" + (rng.randrange(1, 5000)).to_bytes(2, "little")) + tlv(1199, b"\x01")
        data += tlv(1059, inner)
    return data


def exchange(log, dialect, rng):
    roll = rng.random()
    if dialect == "p2":
        if roll < 0.35:
            log.protocol2(operation_v2(rng.randrange(100, 100000), rng.randrange(1, 5) * 1000000, rng.choice(GOODS)),
                          answer(b"\xff\x46"))
        elif roll < 0.55:
            log.protocol2(send_tlv(receipt_tlv(rng)), answer(b"\xff\x0c"), chunk=rng.choice([None, 64]))
        elif roll < 0.7:
            log.protocol2(check_marking(b"010460043993125621%05dJgXJ5.T\x1d93dGVz" % rng.randrange(10 ** 5),
                                        tlv(2108, b"\x00")), check_marking_answer())
        elif roll < 0.8:
            log.protocol2(close_check(rng.randrange(100, 100000)),
                          close_check_answer(rng.randrange(1, 9999), rng.randrange(2 ** 32)))
        else:
            log.protocol2(short_status(), short_status_answer())
        return
    request, reply = short_status(), short_status_answer()
    if roll < 0.3:
        request, reply = long_status(), long_status_answer(rng.randrange(1, 9999), rng.randrange(1, 999))
    elif roll < 0.6:
        request = sale(rng.randrange(100, 100000), rng.randrange(1, 5) * 1000, rng.choice(GOODS))
        reply = answer(0x80, rng.choice([0, 0, 0, 0, 0x4E, 0x50]), b"\x1e")
    if dialect == "p1":
        if rng.random() < 0.01:
            log.protocol1(request, None)
            log.driver_error(rng.choice(ERRORS))
        else:
            log.protocol1(request, reply)
    elif dialect == "ng":
        log.ng_framed(request, reply)
    elif dialect == "ngplain":
        log.ng_plain(request, reply)
    elif dialect == "plain":
        log.plain(request, reply)
    else:
        log.jpos(request, reply)


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    target = int(float(sys.argv[1]) * 1024 * 1024)
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) == 4 else 1)
    dialects = ["p1", "p2", "ng", "ngplain", "plain", "jpos"]
    weights = [35, 30, 12, 5, 5, 13]
    written = 0
    log = LogWriter()
    with open(sys.argv[2], "wb") as out:
        while written < target:
            dialect = rng.choices(dialects, weights)[0]
            log.text("INFO ", "TFiscalPrinter", "Сеанс обмена, протокол %s" % dialect)
            for _ in range(rng.randrange(20, 200)):
                exchange(log, dialect, rng)
                for _ in range(rng.choice([0, 0, 0, 1, 1, 2])):
                    log.text(rng.choice(["INFO ", "DEBUG"]), "TFiscalPrinter", rng.choice(NOTES))
            chunk = log.encoded()
            out.write(chunk)
            written += len(chunk)
            log.lines.clear()


if __name__ == "__main__":
    main()
