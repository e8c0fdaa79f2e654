// SPDX-License-Identifier: GPL-3.0-or-later
// Device state queries: short and full status, device type, fiscal storage status, error text.
#include "ParserCommandClasses.h"

namespace kestrun {

using namespace Qt::StringLiterals;

void TParserCommand10::CreateFields()
{
    static const TFields Layout = TLayout().Field(u"Password", ftUInt32);
    AddFields(Layout);
}

void TParserCommand10::CreateAnswerFields()
{
    static const TFields Layout = TLayout()
        .Field(u"OperatorNumber", ftByte)
        .Field(u"ECRFlags", ftECRFlags)
        .Field(u"ECRMode", ftECRMode)
        .Field(u"ECRAdvancedMode", ftECRAdvancedMode)
        .Field(u"QuantityOfOperations (lo)", ftByte)
        .Field(u"BatteryVoltage", ftBatteryVoltage)
        .Field(u"PowerSourceVoltage", ftPowerSourceVoltage)
        .Field(u"FMResultCode (old)", ftByte)
        .Field(u"EKLZResultCode (old)", ftByte)
        .Field(u"UpdateKeysResultCode", ftByte)
        .Field(u"PrinterHeadTemperature", ftByte)
        .Field(u"PreviousECRMode", ftECRMode);
    AddAnswerFields(Layout);
}

QString TParserCommand10::GetShortValue()
{
    return GetAnswerFieldValue(u"ECRMode"_s) + u' ' + GetAnswerFieldValue(u"ECRAdvancedMode"_s);
}

void TParserCommand11::CreateFields()
{
    static const TFields Layout = TLayout().Field(u"Password", ftUInt32);
    AddFields(Layout);
}

void TParserCommand11::CreateAnswerFields()
{
    static const TFields Layout = TLayout()
        .Field(u"OperatorNumber", ftByte)
        .Field(u"FECRSoftVersion", ftSoftVersion)
        .Field(u"ECRBuild", ftUint16)
        .Field(u"FECRSoftDate", ftDate)
        .Field(u"LogicalNumber", ftByte)
        .Field(u"DocumentNumber", ftUint16)
        .Field(u"ECRFlags", ftECRFlags)
        .Field(u"ECRMode", ftECRMode)
        .Field(u"ECRAdvancedMode", ftECRAdvancedMode)
        .Field(u"PortNumber", ftPortNumber)
        .Field(u"FMSoftVersion (Old)", ftSoftVersion)
        .Field(u"FMBuild (Old)", ftUint16)
        .Field(u"FMSoftDate (Old)", ftDate)
        .Field(u"ECRDate", ftDate)
        .Field(u"ECRTime", ftTime)
        .Field(u"FMFlags (Old)", ftByte)
        .Field(u"ECRSerial", ftUInt32)
        .Field(u"SessionNumber", ftUint16)
        .Field(u"FreeRecordInFM (Old)", ftUint16)
        .Field(u"RegistrationNumber", ftByte)
        .Field(u"FreeRegistration", ftByte)
        .Field(u"INN", ftINN);
    AddAnswerFields(Layout);
}

QString TParserCommand11::GetShortValue()
{
    return GetAnswerFieldValue(u"ECRMode"_s) + u' ' + GetAnswerFieldValue(u"ECRAdvancedMode"_s);
}

void TParserCommand6B::CreateFields() {}

void TParserCommand6B::CreateAnswerFields()
{
    static const TFields Layout = TLayout().Field(u"ErrorDescription", ftString);
    AddAnswerFields(Layout);
}

QString TParserCommand6B::GetShortValue() { return u"ОШИБКА "_s + GetAnswerFieldValue(u"ErrorDescription"_s); }

void TParserCommandFC::CreateFields() {}

void TParserCommandFC::CreateAnswerFields()
{
    static const TFields Layout = TLayout()
        .Field(u"MajorType", ftByte)
        .Field(u"MinorType", ftByte)
        .Field(u"ProtocolVersion", ftByte)
        .Field(u"ProtocolSubVersion", ftByte)
        .Field(u"Model", ftByte)
        .Field(u"CodePage", ftByte)
        .Field(u"Description", ftString);
    AddAnswerFields(Layout);
}

QString TParserCommandFC::GetShortValue()
{
    return FormatText(u"%s (%s)"_s, {TrimText(GetAnswerFieldValue(u"Description"_s)), GetAnswerFieldValue(u"Model"_s)});
}

void TParserCommandFF01::CreateFields()
{
    static const TFields Layout = TLayout().Field(u"Password", ftUInt32);
    AddFields(Layout);
}

void TParserCommandFF01::CreateAnswerFields()
{
    static const TFields Layout = TLayout()
        .Field(u"FNLifeState", ftFNLifeState)
        .Field(u"FNCurrentDocument", ftFNCurrentDocument)
        .Field(u"FNDocumentData", ftFNDocumentData)
        .Field(u"FNSessionState", ftFNSessionState)
        .Field(u"FNWarningFlags", ftByte)
        .Field(u"ECRDate", ftDateTimeDoc)
        .Field(u"SerialNumber", ftString16)
        .Field(u"DocumentNumber", ftUInt32);
    AddAnswerFields(Layout);
}

QString TParserCommandFF01::GetShortValue() { return u"SN: "_s + GetAnswerFieldValue(u"SerialNumber"_s); }

} // namespace kestrun
