#include "backend/CMessageSender.h"

#include <QCoreApplication>

const char* const CMessageSender::CAPTION_DEVICE = QT_TRANSLATE_NOOP("CMessageSender", "Device");
const char* const CMessageSender::CAPTION_COMMUNICATION = QT_TRANSLATE_NOOP("CMessageSender", "Device communication");
const char* const CMessageSender::CAPTION_FIRMWARE_UPDATE = QT_TRANSLATE_NOOP("CMessageSender", "Firmware Update");
const char* const CMessageSender::CAPTION_DATA_RECORDING = QT_TRANSLATE_NOOP("CMessageSender", "Data recording");
const char* const CMessageSender::CAPTION_RESET_INTERFACE = QT_TRANSLATE_NOOP("CMessageSender", "Reset Interface");
const char* const CMessageSender::CAPTION_NFC_ADAPTER = QT_TRANSLATE_NOOP("CMessageSender", "NFC Adapter");
const char* const CMessageSender::CAPTION_NFC_INTERFACE = QT_TRANSLATE_NOOP("CMessageSender", "NFC interface");

CMessageSender::CMessageSender(QObject* parent)
    : QObject(parent)
{
}

QString CMessageSender::captionText(const QString& caption)
{
    return QCoreApplication::translate("CMessageSender", caption.toUtf8().constData());
}
