#pragma once

#include <QCoreApplication>
#include <QHash>
#include <QTranslator>

// Translates the given texts of one translation context while it lives, so a
// test sees what a user of another language sees without a .qm file.
class CFixedTranslator : public QTranslator
{
public:
    CFixedTranslator(const char* context, const QHash<QString, QString>& texts)
        : m_context(context), m_texts(texts)
    {
        QCoreApplication::installTranslator(this);
    }
    ~CFixedTranslator() override { QCoreApplication::removeTranslator(this); }

    QString translate(const char* context, const char* text, const char*, int) const override
    {
        return m_context == context ? m_texts.value(QString::fromLatin1(text)) : QString();
    }
    bool isEmpty() const override { return false; }

private:
    const QByteArray m_context;
    const QHash<QString, QString> m_texts;
};
