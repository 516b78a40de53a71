#pragma once

#include "files/CDataPoint.h"
#include "paramica_export.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QMap>
#include <QString>

class CTreeModel;
class QDomElement;
class QPrinter;
class QTemporaryFile;
class QTextDocument;

// Parameter files: the items of a tree model as a flat record list, that list
// as an XML document (file, temporary file) and as a printable document.
class PARAMICA_EXPORT CParameterFile
{
    Q_DECLARE_TR_FUNCTIONS(CParameterFile)

public:
    static const QString PARA_FILE_DOC_TEXT;
    static const QString PARA_FILE_VERSION_TEXT;
    static const double PARA_FILE_VERSION_1_0;
    static const QString PARA_NAME_DESCRIPTION;
    static const QString PARA_NAME_ENTRIES;
    static const QString PARA_FILE_TAG_GROUP;
    static const QString PARA_FILE_TAG_VALUE;
    static const QString PARA_FILE_ATTRIBUTE_NAME;
    static const QString PARA_FILE_ATTRIBUTE_PARAMETER;
    static const QString PARA_FILE_ATTRIBUTE_DATA_ID;
    static const QString PARA_FILE_ATTRIBUTE_DATATYPE;
    static const QString PARA_FILE_ATTRIBUTE_DEFAULT;
    // Description keys of a parameter file that name the device and the file.
    static const QString KEY_DEVICE;
    static const QString KEY_ORDER_NUMBER;
    static const QString KEY_SERIAL_NUMBER;
    static const QString KEY_VERSION;
    static const QString KEY_DEVICE_DESCRIPTION;
    static const QString KEY_DATE;

    CParameterFile() = delete;

    static QList<CDataPoint> parameterData(CTreeModel* model);
    static QString parameter(const QString& pattern, CTreeModel* model);
    // Empty when a file with the description file belongs to the device
    // whose description is device (same device, same order number);
    // otherwise why it does not.
    static QString deviceMismatch(const QMap<QString, QString>& file, const QMap<QString, QString>& device);

    // The saving operations fail, writing nothing, when a text holds a
    // character that XML 1.0 cannot carry (control characters, lone
    // surrogates, U+FFFE, U+FFFF): such a file would not load again. The
    // content is then empty; error (when given) says which entry it was, or
    // why the file could not be written.
    static QByteArray createContent(const QMap<QString, QString>& description, const QList<CDataPoint>& data,
                                    QString* error = nullptr);
    static bool saveFile(const QString& fileName, const QMap<QString, QString>& description,
                         const QList<CDataPoint>& data, QString* error = nullptr);
    static bool loadFile(const QString& fileName, QMap<QString, QString>* description, QList<CDataPoint>* data);
    static QTemporaryFile* saveTemporary(const QString& fileTemplate, const QMap<QString, QString>& description,
                                         const QList<CDataPoint>& data, QString* error = nullptr);
    static bool loadTemporary(QTemporaryFile* file, QMap<QString, QString>* description, QList<CDataPoint>* data);
    static void loadContent(const QDomElement& root, QMap<QString, QString>* description, QList<CDataPoint>* data);

    static QTextDocument* content(const QMap<QString, QString>& description, const QList<CDataPoint>& data);
    static bool savePdf(const QString& fileName, const QMap<QString, QString>& description,
                        const QList<CDataPoint>& data);
    static bool printPdf(QPrinter* printer, const QMap<QString, QString>& description, const QList<CDataPoint>& data);
};
