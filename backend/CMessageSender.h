#pragma once

#include "paramica_export.h"

#include <QObject>
#include <QString>

// The signals through which every active component reports. A component never
// shows anything itself; the back end passes these on to the front end.
//
// A caption names the area a message comes from and stays as it is, so that
// a front end can tell the areas apart; captionText() gives it in the user's
// language. The texts are translated where they are made.
class PARAMICA_EXPORT CMessageSender : public QObject
{
    Q_OBJECT

public:
    static const char* const CAPTION_DEVICE;
    static const char* const CAPTION_COMMUNICATION;
    static const char* const CAPTION_FIRMWARE_UPDATE;
    static const char* const CAPTION_DATA_RECORDING;
    static const char* const CAPTION_RESET_INTERFACE;
    static const char* const CAPTION_NFC_ADAPTER;
    static const char* const CAPTION_NFC_INTERFACE;

    explicit CMessageSender(QObject* parent = nullptr);

    // The caption as the user reads it, in the installed language.
    static QString captionText(const QString& caption);

signals:
    void logMessage(QString);
    void errorMessage(QString caption, QString text);
    void warningMessage(QString caption, QString text);
    void infoMessage(QString caption, QString text);
};
