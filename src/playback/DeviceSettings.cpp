// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceSettings.h"

#include "DeviceDriver.h"
#include "log/Exception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace kestrun {

namespace {

const QString RootElement = QStringLiteral("Device");
const QString TextElement = QStringLiteral("Text");

} // namespace

QString DeviceSettingsFileName()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/KELMAR/Kestrun/device.xml");
}

QString LoadDeviceText()
{
    QFile file(DeviceSettingsFileName());
    if (!file.exists())
        return QString::fromLatin1(DefaultDeviceText);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Не удалось открыть файл %1: %2").arg(file.fileName(), file.errorString()));
    QXmlStreamReader xml(&file);
    QString text = QString::fromLatin1(DefaultDeviceText);
    if (xml.readNextStartElement() && xml.name() == RootElement) {
        while (xml.readNextStartElement()) {
            if (xml.name() == TextElement)
                text = xml.readElementText();
            else
                xml.skipCurrentElement();
        }
    } else if (!xml.hasError()) {
        xml.raiseError(QStringLiteral("нет элемента %1").arg(RootElement));
    }
    if (xml.hasError())
        throw Exception(QStringLiteral("Ошибка в файле %1: %2").arg(file.fileName(), xml.errorString()));
    return text;
}

void SaveDeviceText(const QString& deviceText)
{
    const QString fileName = DeviceSettingsFileName();
    if (!QDir().mkpath(QFileInfo(fileName).absolutePath()))
        throw Exception(QStringLiteral("Не удалось создать папку для файла %1").arg(fileName));
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw Exception(QStringLiteral("Не удалось записать файл %1: %2").arg(fileName, file.errorString()));
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(RootElement);
    xml.writeTextElement(TextElement, deviceText);
    xml.writeEndElement();
    xml.writeEndDocument();
    if (xml.hasError() || !file.commit())
        throw Exception(QStringLiteral("Не удалось записать файл %1: %2").arg(fileName, file.errorString()));
}

} // namespace kestrun
