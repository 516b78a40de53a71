#pragma once

#include "items/CDeviceDescription.h"
#include "paramica_export.h"
#include "xml/CElementMap.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QHash>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>

// Reader of device-description files (XML followed by two CRC check bytes) and
// of their translation files. Failures are return values, never messages: the
// back end decides what to tell the user, and errorString() says why a read
// failed. Files are read as a stream, never as a DOM: listing the installed
// files costs one pass over each, and a file nested deeper than
// MAX_ELEMENT_DEPTH is refused before it can cost stack.
class PARAMICA_EXPORT CXmlParser
{
    Q_DECLARE_TR_FUNCTIONS(CXmlParser)

public:
    typedef QHash<QString, QList<CDeviceDescription::FeatureValue>> FeatureGroup;
    typedef QPair<QString, QHash<QString, QString>> Language;

    static const QString DVX;
    static const QString DVX_TAG_GROUP;
    static const QString DVX_TAG_VALUE;
    static const QString DVX_ATTRIBUTE_NAME;
    static const QString DVX_ATTRIBUTE_TEXT;
    static const QString DVX_ATTRIBUTE_DEFAULT;
    static const QString DVX_ATTRIBUTE_DIVIDER;
    static const QString DVX_ATTRIBUTE_VISIBILITY;
    static const QString DVX_ATTRIBUTE_PARAMETER;
    static const QString DVX_ATTRIBUTE_LIST;
    static const QString DVX_PROJECT;
    static const QString DVX_PROJECT_NAME;
    static const QString DVX_PROJECT_ORDER_NUMBER;
    static const QString DVX_PROJECT_SW_VERSION;
    static const QString DVX_PROJECT_TABLE_VERSION;
    static const QString DVX_PROJECT_FEATURES;
    static const QString DVX_OBJECT;
    static const QString DVX_OBJECT_NAME;
    static const QString DVX_LINE;
    static const QString DVX_LIST;
    static const QString DVX_BITFIELD;
    static const QString DVX_LANGUAGE;
    static const QString DVX_LANGUAGE_NAME;

    static constexpr double APPLICATION_REF_VERSION_1_0 = 1.0;
    static constexpr double APPLICATION_REF_VERSION_1_1 = 1.1;
    static constexpr double APPLICATION_REF_VERSION_1_2 = 1.2;
    static constexpr double APPLICATION_REF_VERSION_1_7 = 1.7;
    static constexpr double APPLICATION_REF_VERSION_1_99 = 1.99;
    static const int PROJECT_TABLE_REF_VERSION_300 = 300;
    static const int PROJECT_TABLE_REF_VERSION_400 = 400;
    static const int PROJECT_TABLE_REF_VERSION_500 = 500;
    static const int PROJECT_TABLE_REF_VERSION_600 = 600;
    // Descriptions nest about six elements deep; far deeper files are not
    // descriptions but attacks.
    static const int MAX_ELEMENT_DEPTH = 64;

    CXmlParser() = default;
    ~CXmlParser();
    CXmlParser(const CXmlParser&) = delete;
    CXmlParser& operator=(const CXmlParser&) = delete;

    bool readFileContent(const QString& path);
    bool readFileDeviceId(const QString& path);
    // Why the last read failed, naming the file, in a sentence for the user;
    // empty after a successful read.
    QString errorString() const { return m_errorString; }

    CDeviceDescription deviceDescription() const { return m_deviceDescription; }
    // Owned by the parser until the next read.
    QMap<QString, CElementMap*> content() const { return m_content; }

    // The parsers take the XML text of a file, without check bytes.
    // reason, when given, is set to why the text is no usable description
    // (empty when it is one).
    static CDeviceDescription parseFileDeviceId(const QByteArray& xml, const QString& fileName,
                                                QString* reason = nullptr);
    // Empty when the text is not well-formed. The caller owns the element maps.
    static QMap<QString, CElementMap*> parseFileContent(const QByteArray& xml, const QString& fileName);

    static QStringList languageFiles(const CDeviceDescription& description, const QString& directory);
    static Language readDeviceLanguages(const QString& path);
    static Language parseFileTranslations(const QByteArray& xml, const QString& fileName);

    // reason, when given, is set to why the data is refused.
    static QByteArray parseXmlData(const QByteArray& data, int checkLength, QString* reason = nullptr);
    static bool checkXmlData(const QByteArray& data);
    static bool checkXmlCrc();

    static int projectTableRefVersion();
    static bool checkProjectTableVersion(int version);

private:
    void clear();
    bool readFile(const QString& path, bool withContent);

    CDeviceDescription m_deviceDescription;
    QMap<QString, CElementMap*> m_content;
    QString m_errorString;
};
