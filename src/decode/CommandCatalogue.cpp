// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandCatalogue.h"

#include <algorithm>

#include "CodeTextTable.h"
#include "log/Codepages.h"

#include <QLocale>

namespace kestrun {

namespace {

// A command of the catalogue: its display name and what else is known of it (TCommandProperty).
struct TCatalogueRow
{
    int64_t Code;
    std::u16string_view Text;
    TCommandProperties Properties = 0;
};
// Short names for the table.
constexpr TCommandProperties Fiscal = cpChangesFiscalState;
constexpr TCommandProperties Poll = cpStatusPoll;
constexpr TCommandProperties Prints = cpPrints;
constexpr TCommandProperties Waits = cpPrints | cpPlayerWaits;
constexpr TCommandProperties Bold = cpBold;

// Display names by command code; FE and FF prefixed codes are prefix * 256 + second byte.
// Doubled and trailing blanks are part of the names.
constexpr TCatalogueRow CommandNames[] = {
    {0x01, u"Запрос дампа"},
    {0x02, u"Запрос данных"},
    {0x03, u"Прерывание выдачи данных"},
    {0x0D, u"Фискализация с длинным РНМ", Fiscal},
    {0x0E, u"Ввод длинного заводского номера"},
    {0x0F, u"Запрос длинного заводского номера"},
    {0x10, u"Короткий запрос состояния", Poll},
    {0x11, u"Запрос состояния", Poll},
    {0x12, u"Печать жирной строки"},
    {0x13, u"Гудок"},
    {0x14, u"Установка параметров обмена"},
    {0x15, u"Чтение параметров обмена"},
    {0x16, u"Технологическое обнуление", Fiscal},
    {0x17, u"Печать строки", Prints},
    {0x18, u"Печать заголовка документа"},
    {0x19, u"Тестовый прогон"},
    {0x1A, u"Запрос денежного регистра"},
    {0x1B, u"Запрос операционного регистра"},
    {0x1C, u"Запись лицензии"},
    {0x1D, u"Чтение лицензии"},
    {0x1E, u"Запись таблицы"},
    {0x1F, u"Чтение таблицы"},
    {0x20, u"Запись положения десятичной точки"},
    {0x21, u"Программирование времени"},
    {0x22, u"Программирование даты"},
    {0x23, u"Подтверждение программирования даты"},
    {0x24, u"Инициализация таблиц"},
    {0x25, u"Отрезка чека"},
    {0x26, u"Прочитать параметры шрифта"},
    {0x27, u"Общее гашение", Fiscal},
    {0x28, u"Открыть денежный ящик"},
    {0x29, u"Протяжка"},
    {0x2A, u"Выброс подкладного документа"},
    {0x2B, u"Прерывание тестового прогона"},
    {0x2C, u"Снятие показаний операционных регистров"},
    {0x2D, u"Запрос структуры таблицы"},
    {0x2E, u"Запрос структуры поля"},
    {0x2F, u"Печать строки данным шрифтом", Prints | cpFixedFontData},
    {0x40, u"Суточный отчет без гашения", Waits},
    {0x41, u"Суточный отчет с гашением", Fiscal | Waits | Bold},
    {0x42, u"Отчёт по секциям"},
    {0x43, u"Отчёт по налогам"},
    {0x4D, u"Печать графики 512"},
    {0x4E, u"Загрузка графики 512"},
    {0x4F, u"Печать графики с масштабированием"},
    {0x50, u"Внесение", Fiscal},
    {0x51, u"Выплата", Fiscal},
    {0x52, u"Печать клише"},
    {0x53, u"Завершение документа и печать клише"},
    {0x54, u"Печать рекламного текста"},
    {0x57, u"Закрытие чека (Беларусь)", Fiscal},
    {0x60, u"Ввод заводского номера"},
    {0x61, u"Инициализация ФП", Fiscal},
    {0x62, u"Запрос суммы записей в ФП"},
    {0x63, u"Запрос даты последней записи в ФП"},
    {0x64, u"Запрос диапазона дат и смен"},
    {0x65, u"Фискализация", Fiscal},
    {0x66, u"Фискальный отчет по диапазону дат"},
    {0x67, u"Фискальный отчет по диапазону смен"},
    {0x68, u"Прерывание полного отчета"},
    {0x69, u"Чтение параметров фискализации"},
    {0x6B, u"Запрос описания ошибки", cpRedData},
    {0x70, u"Открыть фискальный подкладной документ", Fiscal},
    {0x71, u"Открыть стандартный фискальный подкладной документ", Fiscal},
    {0x72, u"Формирование операции на подкладном документе", Fiscal},
    {0x73, u"Формирование стандартной операции на подкладном документе", Fiscal},
    {0x74, u"Формирование скидки на подкладном документе", Fiscal},
    {0x75, u"Формирование стандартной скидки на подкладном документе", Fiscal},
    {0x76, u"Формирование закрытия чека на подкладном документе", Fiscal},
    {0x77, u"Формирование стандартного закрытия чека на подкладном документе", Fiscal},
    {0x78, u"Конфигурация подкладного документа"},
    {0x79, u"Установка стандартной конфигурации подкладного документа"},
    {0x7A, u"Заполнение буфера подкладного документа нефискальной информацией"},
    {0x7B, u"Очистка строки буфера подкладного документа от нефискальной информации"},
    {0x7C, u"Очистка всего буфера подкладного документа от нефискальной информации"},
    {0x7D, u"Печать подкладного документа"},
    {0x7E, u"Общая конфигурация подкладного документа"},
    {0x80, u"Продажа", Fiscal | Bold},
    {0x81, u"Покупка", Fiscal | Bold},
    {0x82, u"Возврат продажи", Fiscal | Bold},
    {0x83, u"Возврат покупки", Fiscal | Bold},
    {0x84, u"Сторно", Fiscal},
    {0x85, u"Закрытие чека", Fiscal | Prints | Bold},
    {0x86, u"Скидка", Fiscal},
    {0x87, u"Надбавка", Fiscal},
    {0x88, u"Аннулирование чека", Fiscal},
    {0x89, u"Подытог чека", Bold},
    {0x8A, u"Сторно скидки", Fiscal},
    {0x8B, u"Сторно надбавки", Fiscal},
    {0x8C, u"Повтор документа"},
    {0x8D, u"Открыть чек", Fiscal | Bold},
    {0x90, u"Формирование чека отпуска нефтепродуктов в режиме предоплаты заданной дозы", Fiscal},
    {0x91, u"Формирование чека отпуска нефтепродуктов в режиме предоплаты на заданную сумму", Fiscal},
    {0x92, u"Формирование чека коррекции при неполном отпуске нефтепродуктов", Fiscal},
    {0x93, u"Задание дозы РК в миллилитрах"},
    {0x94, u"Задание дозы РК в денежных единицах"},
    {0x95, u"Продажа нефтепродуктов", Fiscal},
    {0x96, u"Останов РК"},
    {0x97, u"Пуск РК"},
    {0x98, u"Сброс РК"},
    {0x99, u"Сброс всех ТРК"},
    {0x9A, u"Задание параметров РК"},
    {0x9B, u"Считать литровый суммарный счетчик"},
    {0x9E, u"Запрос текущей дозы РК"},
    {0x9F, u"Запрос состояния РК"},
    {0xA0, u"Отчет ЭКЛЗ по отделам в заданном диапазоне дат"},
    {0xA1, u"Отчет ЭКЛЗ по отделам в заданном диапазоне номеров смен"},
    {0xA2, u"Отчет ЭКЛЗ по закрытиям смен в заданном диапазоне дат"},
    {0xA3, u"Отчет ЭКЛЗ по закрытиям смен в заданном диапазоне номеров смен"},
    {0xA4, u"Итоги смены по номеру смены ЭКЛЗ"},
    {0xA5, u"Платежный документ из ЭКЛЗ по номеру КПК"},
    {0xA6, u"Контрольная лента из ЭКЛЗ по номеру смены"},
    {0xA7, u"Прерывание полного отчета ЭКЛЗ"},
    {0xA8, u"Итог активизации ЭКЛЗ"},
    {0xA9, u"Активизация ЭКЛЗ", Fiscal},
    {0xAA, u"Закрытие архива ЭКЛЗ", Fiscal},
    {0xAB, u"Запрос регистрационного номера ЭКЛЗ"},
    {0xAC, u"Прекращение ЭКЛЗ", Fiscal},
    {0xAD, u"Запрос состояния ЭКЛЗ по коду 1"},
    {0xAE, u"Запрос состояния ЭКЛЗ по коду 2"},
    {0xAF, u"Тест целостности архива ЭКЛЗ"},
    {0xB0, u"Продолжение печати"},
    {0xB1, u"Запрос версии ЭКЛЗ"},
    {0xB2, u"Инициализация архива ЭКЛЗ", Fiscal},
    {0xB3, u"Запрос данных отчёта ЭКЛЗ"},
    {0xB4, u"Запрос контрольной ленты ЭКЛЗ"},
    {0xB5, u"Запрос документа ЭКЛЗ"},
    {0xB6, u"Запрос отчёта ЭКЛЗ по отделам в заданном диапазоне дат"},
    {0xB7, u"Запрос отчёта ЭКЛЗ по отделам в заданном диапазоне номеров смен"},
    {0xB8, u"Запрос отчёта ЭКЛЗ по закрытиям смен в заданном диапазоне дат"},
    {0xB9, u"Запрос отчёта ЭКЛЗ по закрытиям смен в заданном диапазоне номеров смен"},
    {0xBA, u"Запрос в ЭКЛЗ итогов смены по номеру смены"},
    {0xBB, u"Запрос итога активизации ЭКЛЗ"},
    {0xBC, u"Вернуть ошибку ЭКЛЗ"},
    {0xC0, u"Загрузка графики"},
    {0xC1, u"Печать графики"},
    {0xC2, u"Печать штрихкода"},
    {0xC3, u"Печать расширенной графики"},
    {0xC4, u"Загрузка расширенной графики"},
    {0xC5, u"Печать графической линии"},
    {0xD0, u"Запрос состояния принтера IBM"},
    {0xD1, u"Краткий запрос состояния принтера IBM"},
    {0xE0, u"Открытие смены", Fiscal | Waits | Bold},
    {0xF0, u"Управление заслонкой"},
    {0xF1, u"Выдать чек"},
    {0xF7, u"Запрос параметров модели"},
    {0xFC, u"Получить тип устройства"},
    {0xFD, u"Управление портом"},
    {0xFE, u"Сервисная команда"},
    {0xFE03, u"Загрузка символа шрифта"},
    {0xFE05, u"Включение простого режима обмена"},
    {0xFE06, u"Выключение простого режима обмена"},
    {0xFEE6, u"Запись лицензий функционала"},
    {0xFEE7, u"Чтение лицензий функционала"},
    {0xFEEC, u"Чтение версии загрузчика"},
    {0xFEED, u"Переход в режим DFU"},
    {0xFEEE, u"Запись лицензий ККТ"},
    {0xFEEF, u"Чтение лицензий ККТ"},
    {0xFEF1, u"Повторный ввод заводского номера"},
    {0xFEF2, u"Пинг"},
    {0xFEF3, u"Перезагрузка ККТ"},
    {0xFEF4, u"Запрос необнуляемых сумм"},
    {0xFEF5, u"Ввод заводского номера"},
    {0xFF01, u"Запрос статуса ФН"},
    {0xFF02, u"Запрос номера ФН"},
    {0xFF03, u"Запрос срока действия ФН"},
    {0xFF04, u"Запрос версии ФН"},
    {0xFF05, u"Начать отчет о регистрации ККТ", Fiscal},
    {0xFF06, u"Сформировать отчёт о регистрации ККТ", Fiscal | Waits},
    {0xFF07, u"Сброс состояния ФН", Fiscal},
    {0xFF08, u"Отменить документ в ФН", Fiscal},
    {0xFF09, u"Запрос итогов последней фискализации (перерегистрации)"},
    {0xFF0A, u"Найти фискальный документ по номеру"},
    {0xFF0B, u"Открыть смену в ФН", Fiscal},
    {0xFF0C, u"Передать произвольную TLV структуру"},
    {0xFF0D, u"Операция со скидками и надбавками", Fiscal},
    {0xFF30, u"Запросить о наличие данных в буфере"},
    {0xFF31, u"Прочитать блок данных из буфера"},
    {0xFF32, u"Начать запись данных в буфер"},
    {0xFF33, u"Записать блок данных в буфер"},
    {0xFF34, u"Сформировать отчёт о перерегистрации ККТ", Fiscal | Waits},
    {0xFF35, u"Начать формирование чека коррекции", Fiscal},
    {0xFF36, u"Сформировать чек коррекции", Fiscal},
    {0xFF37, u"Начать формирование отчёта о состоянии расчётов", Fiscal},
    {0xFF38, u"Сформировать отчёт о состоянии расчётов", Fiscal | Waits},
    {0xFF39, u"Получить статус информационного  обмена"},
    {0xFF3A, u"Запросить фискальный документ в TLV формате"},
    {0xFF3B, u"Чтение TLV фискального документа"},
    {0xFF3C, u"Запрос квитанции о получении данных в ОФД по номеру  документа"},
    {0xFF3D, u"Начать закрытие фискального режима", Fiscal},
    {0xFF3E, u"Закрыть фискальный режим", Fiscal},
    {0xFF3F, u"Запрос количества ФД на которые нет квитанции"},
    {0xFF40, u"Запрос параметров текущей смены"},
    {0xFF41, u"Начать открытие смены", Fiscal},
    {0xFF42, u"Начать закрытие смены", Fiscal},
    {0xFF43, u"Закрыть смену в ФН", Fiscal},
    {0xFF45, u"Закрытие чека расширенное вариант V2", Fiscal | Waits | Bold},
    {0xFF46, u"Операция V2", Fiscal | Bold},
    {0xFF47, u"Дополнительный реквизит ФНС"},
    {0xFF48, u"Скидки и надбавки в операции"},
    {0xFF49, u"Передача кода товарной номенклатуры"},
    {0xFF4A, u"Сформировать чек коррекции V2", Fiscal | Waits},
    {0xFF4B, u"Скидка, надбавка на чек для Роснефти", Fiscal},
    {0xFF4C, u"Запрос итогов фискализации (перерегистрации) V2"},
    {0xFF4D, u"Передать произвольную TLV структуру привязанную к операции"},
    {0xFF4E, u"Запись блока данных прошивки  ФР на SD карту"},
    {0xFF50, u"Онлайн платёж"},
    {0xFF51, u"Статус онлайн платёжа"},
    {0xFF52, u"Получить реквизит последнего онлайн платёжа"},
    {0xFF60, u"Запрос параметра фискализации "},
    {0xFF61, u"Проверка  маркированного товара"},
    {0xFF62, u"Синхронизировать регистры со счётчиком ФН"},
    {0xFF63, u"Запрос ресурса свободной памяти  в ФН"},
    {0xFF64, u"Передача в ФН  TLV из буфера"},
    {0xFF65, u"Получить случайную последовательность"},
    {0xFF66, u"Авторизация"},
    {0xFF67, u"Привязка  маркированного товара к позиции"},
    {0xFF68, u"Получить состояние по передачи уведомлений"},
    {0xFF69, u"Принять/отклонить КМ"},
    {0xFF70, u"Запрос статуса по работе с кодами маркировки"},
    {0xFF71, u"Начать выгрузку уведомлений  о реализации маркированных товаров"},
    {0xFF72, u"Прочитать блок уведомления"},
    {0xFF73, u"Подтвердить выгрузку уведомления"},
    {0xFF74, u"Запрос исполнения ФН"},
    {0xFF75, u"Запрос размера данных документа в ФН"},
    {0xFF76, u"Закрытие чека расширенное вариант V3", Fiscal | Prints | Bold},
};
static_assert(std::size(CommandNames) == 226);
// The lookup bisects the table.
static_assert(std::adjacent_find(std::begin(CommandNames), std::end(CommandNames),
                                 [](const TCatalogueRow& a, const TCatalogueRow& b) { return a.Code >= b.Code; })
              == std::end(CommandNames));
static_assert(std::all_of(std::begin(CommandNames), std::end(CommandNames),
                          [](const TCatalogueRow& row) { return row.Code >= 0 && row.Code <= 0xFFFF; }));

// The catalogue's row of the code, or nullptr.
const TCatalogueRow* FindCommand(uint16_t code)
{
    const auto it = std::lower_bound(std::begin(CommandNames), std::end(CommandNames), code,
                                     [](const TCatalogueRow& row, int64_t key) { return row.Code < key; });
    return it != std::end(CommandNames) && it->Code == code ? it : nullptr;
}

constexpr std::u16string_view UnknownCommand = u"Неизвестная команда";
constexpr std::u16string_view SyncCommand = u"Sync";
constexpr std::u16string_view DriverErrorRow = u"Ошибка драйвера";

bool IsDriverErrorRow(const TCommand& command) { return !command.HasData() && !command.DriverError().isEmpty(); }

} // namespace

QString GetCommandNameByCode(uint16_t code)
{
    const TCatalogueRow* row = FindCommand(code);
    return StaticText(row ? row->Text : UnknownCommand);
}

TCommandProperties CommandProperties(uint16_t code)
{
    const TCatalogueRow* row = FindCommand(code);
    return row ? row->Properties : 0;
}

TCommandProperties CommandProperties(const TCommand& command)
{
    // An empty protocol-2 frame is the synchronisation, not a command.
    if (command.Protocol == TProtocol::pProtocol2 && !command.HasData())
        return 0;
    return CommandProperties(GetCommandCode(command));
}

QString GetCommandNameByData(const QByteArray& data)
{
    return GetCommandNameByCode(GetCommandCodeOfData(data));
}

QString GetCommandName(const TCommand& command)
{
    // Protocol 2 logs its synchronisation exchange as a frame without bytes.
    if (command.Protocol == TProtocol::pProtocol2 && !command.HasData())
        return StaticText(SyncCommand);
    // From the frame's first bytes, without writing out the whole frame as text.
    return GetCommandNameByCode(GetCommandCode(command));
}

QString GetRowCommandName(const TCommand& command)
{
    return IsDriverErrorRow(command) ? StaticText(DriverErrorRow) : GetCommandName(command);
}

TSearchText::TSearchText(const QString& searchText)
    : FLowered(QLocale().toLower(searchText)), FMatcher(FLowered, Qt::CaseInsensitive)
{
    if (FLowered.isEmpty())
        return;
    if (OccursIn(ViewOf(UnknownCommand)))
        FInNames.set();
    for (const TCatalogueRow& row : CommandNames)
        FInNames[size_t(row.Code)] = OccursIn(ViewOf(row.Text));
    FInSync = OccursIn(ViewOf(SyncCommand));
    FInDriverError = OccursIn(ViewOf(DriverErrorRow));
}

// Every character a log can hold (Windows-1251, code page 866) folds as it lower-cases, so a
// case-insensitive find of the lowered text equals a find in the lowered haystack, without
// lowering every haystack.
bool TSearchText::OccursIn(QStringView text) const
{
    return !FLowered.isEmpty() && FMatcher.indexIn(text) >= 0;
}

bool TSearchText::OccursIn1251(const QByteArray& text) const
{
    if (FLowered.isEmpty())
        return false;
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return uchar(c) < 0x80; });
    if (ascii)
        return QLatin1StringView(text).contains(FLowered, Qt::CaseInsensitive);
    return OccursIn(Cp1251ToUnicode(text));
}

bool TSearchText::OccursInName(const TCommand& command) const
{
    if (FLowered.isEmpty())
        return false;
    if (IsDriverErrorRow(command))
        return FInDriverError;
    if (command.Protocol == TProtocol::pProtocol2 && !command.HasData())
        return FInSync;
    return FInNames[GetCommandCode(command)];
}

bool TSearchText::Matches(const TCommand& command) const
{
    return OccursIn1251(command.Attributes()) || OccursInName(command);
}

bool CommandMatches(const TCommand& command, const QString& searchText)
{
    return TSearchText(searchText).Matches(command);
}

} // namespace kestrun
