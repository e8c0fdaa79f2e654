// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "decode/PrinterError.h"

#include <gtest/gtest.h>
#include <limits>

namespace kestrun {
namespace {

const QString UnknownError = QStringLiteral("Неизвестный код ошибки");

struct ErrorCase
{
    const char* Name;
    int32_t Code;
    QString Expected;
};

class ErrorDescription : public testing::TestWithParam<ErrorCase> {};

TEST_P(ErrorDescription, GivesTableText)
{
    EXPECT_EQ(TPrinterError::GetDescription(GetParam().Code), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Errors, ErrorDescription, testing::Values(
    ErrorCase{"NoError", 0, QStringLiteral("Ошибок нет")},
    ErrorCase{"UnknownCommand", 1, QStringLiteral("Неизвестная команда, неверный формат посылки или неизвестные параметры")},
    ErrorCase{"Code14", 14, QStringLiteral("Количество позиций в документе превысило допустимый предел")},
    ErrorCase{"Gap15", 15, UnknownError},
    ErrorCase{"Code16", 16, QStringLiteral("Превышение размеров TLV данных")},
    ErrorCase{"Code19", 19, QStringLiteral("Текущая дата меньше даты последней записи в ФП")},
    ErrorCase{"Code41", 41, QStringLiteral("Несанкционированная замена ФП")},
    ErrorCase{"Gap42", 42, UnknownError},
    ErrorCase{"Gap46", 46, UnknownError},
    ErrorCase{"Code47", 47, QStringLiteral("ЭКЛЗ не отвечает")},
    ErrorCase{"LatinC69", 69, QString(QLatin1Char('C')) + QStringLiteral("умма всех типов оплаты меньше итога чека")},
    ErrorCase{"Lowercase81", 81, QStringLiteral("переполнение накоплений наличными в смене")},
    ErrorCase{"Shared103", 103, QStringLiteral("Ошибка связи с ФП")},
    ErrorCase{"Shared131", 131, QStringLiteral("Ошибка связи с ФП")},
    ErrorCase{"Code149", 149, QStringLiteral("Неизвестная ошибка ЭКЛЗ")},
    ErrorCase{"Gap150", 150, UnknownError},
    ErrorCase{"Gap159", 159, UnknownError},
    ErrorCase{"Code160", 160, QStringLiteral("Запрещена работа с маркированным товарами")},
    ErrorCase{"Code179", 179, QStringLiteral("Некорректно указаны дата и время")},
    ErrorCase{"Gap180", 180, UnknownError},
    ErrorCase{"Gap191", 191, UnknownError},
    ErrorCase{"Code192", 192, QStringLiteral("Контроль даты и времени (подтвердите дату и время)")},
    ErrorCase{"Code203", 203, QStringLiteral("Переполнение длинного сквозного номера")},
    ErrorCase{"Gap204", 204, UnknownError},
    ErrorCase{"Gap207", 207, UnknownError},
    ErrorCase{"Code215", 215, QStringLiteral("Модель ККТ не поддерживается")},
    ErrorCase{"Gap216", 216, UnknownError},
    ErrorCase{"Gap223", 223, UnknownError},
    ErrorCase{"Code228", 228, QStringLiteral("Итог купюроприемника не нулевой")},
    ErrorCase{"Gap229", 229, UnknownError},
    ErrorCase{"Gap239", 239, UnknownError},
    ErrorCase{"Code245", 245, QStringLiteral("Переполнение кадра ответа")},
    ErrorCase{"Gap246", 246, UnknownError},
    ErrorCase{"Gap255", 255, UnknownError},
    ErrorCase{"NoByteMasking", 256 + 1, UnknownError},
    ErrorCase{"MissingAnswer", -1, UnknownError},
    ErrorCase{"Lowest", std::numeric_limits<int32_t>::min(), UnknownError},
    ErrorCase{"Highest", std::numeric_limits<int32_t>::max(), UnknownError}),
    kestrun::test::CaseName());

struct ModeCase
{
    const char* Name;
    uint32_t Mode;
    QString Expected;
};

class ModeDescription : public testing::TestWithParam<ModeCase> {};

TEST_P(ModeDescription, LooksUpLowSevenBits)
{
    EXPECT_EQ(GetECRModeDescription(GetParam().Mode), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Modes, ModeDescription, testing::Values(
    ModeCase{"First", 1, QStringLiteral("Выдача данных")},
    ModeCase{"OpenShift", 2, QStringLiteral("Открытая смена; 24 часа не кончились")},
    ModeCase{"Gap16", 16, QStringLiteral("Неизвестный режим: 16")},
    ModeCase{"SharedText61", 61, QStringLiteral("Открыт ПД возврата прихода")},
    ModeCase{"Last", 110, QStringLiteral("Ожидание извлечения ПД")},
    ModeCase{"Zero", 0, QStringLiteral("Неизвестный режим: 0")},
    ModeCase{"Unlisted127", 0x7F, QStringLiteral("Неизвестный режим: 127")},
    ModeCase{"Correction", 0x88, QStringLiteral("Открытый документ: приход. (Чек коррекции)")},
    ModeCase{"CorrectionUnknownShowsWholeByte", 0x90, QStringLiteral("Неизвестный режим: 144. (Чек коррекции)")},
    ModeCase{"CorrectionOnly", 0x80, QStringLiteral("Неизвестный режим: 128. (Чек коррекции)")}),
    kestrun::test::CaseName());

class SubModeDescription : public testing::TestWithParam<ModeCase> {};

TEST_P(SubModeDescription, GivesTableText)
{
    EXPECT_EQ(GetECRAdvancedModeDescription(GetParam().Mode), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(SubModes, SubModeDescription, testing::Values(
    ModeCase{"PaperPresent", 0, QStringLiteral("бумага есть")},
    ModeCase{"Passive", 1, QStringLiteral("Пассивное отсутствие бумаги")},
    ModeCase{"Last", 5, QStringLiteral("Фаза печати операции")},
    ModeCase{"Unknown6", 6, QStringLiteral("Неизвестный подрежим устройства (6)")},
    ModeCase{"Unknown255", 255, QStringLiteral("Неизвестный подрежим устройства (255)")}),
    kestrun::test::CaseName());

} // namespace
} // namespace kestrun
