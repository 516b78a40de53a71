#pragma once

#include "files/CDataPoint.h"
#include "paramica_export.h"

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

class CItem;
class CTreeModel;

// The values of a parameter file set against the tree model of a device (or
// of its description alone): written into the model whole or not at all,
// compared with it, and edited as a user types values. The front end and the
// command line share these rules, so a value is checked the same way
// wherever it comes from.
class PARAMICA_EXPORT CParameterValues
{
    Q_DECLARE_TR_FUNCTIONS(CParameterValues)

public:
    // What a record naming an item the model does not have means.
    enum ENUM_MISSING_ITEMS {
        MISSING_REFUSED, // a file the user loads is for this device
        MISSING_SKIPPED  // values kept across a firmware update
    };

    // One item whose value differs, both values as the model displays them
    // (with unit). A side that lacks the item has an empty text and
    // inDevice or inFile false.
    struct Difference
    {
        QString name;
        QString caption;
        QString deviceText;
        QString fileText;
        bool inDevice = true;
        bool inFile = true;
    };

    CParameterValues() = delete;

    // Checks every record first; when all fit, sets them into the model (the
    // model writes them to a device on writeData) and returns true. Otherwise
    // nothing is set and refused lists "name: reason" for each. Read-only
    // items keep the model's value; group records are structure.
    static bool apply(CTreeModel* model, const QList<CDataPoint>& records, ENUM_MISSING_ITEMS missing,
                      QStringList* refused, int* applied = nullptr);

    // Items whose device value differs from the file's, in the model's order,
    // then the file's records the model lacks.
    static QList<Difference> differences(CTreeModel* model, const QList<CDataPoint>& records);

    // The value item of the model named by its object name or its caption
    // in any of its languages, case-insensitively, or null; object and group
    // rows hold no value. Without one item that fits, closest names the
    // items the user may have meant (all that fit when several do).
    static CItem* findItem(CTreeModel* model, const QString& nameOrCaption, QStringList* closest = nullptr);
    // Of the names, those closest to the one typed (containing it, or a few
    // letters off), case-insensitively; at most five.
    static QStringList closestNames(const QStringList& names, const QString& typed);
    // " Did you mean: A, B?" for a message, empty without names.
    static QString closestText(const QStringList& closest);

    // The device value of a text the user typed for item, or an invalid
    // variant with the reason (items the user cannot write included).
    static QVariant valueForText(const CItem* item, const QString& text, QString* error);

    // Replaces the value of item's record in records by the typed text, as
    // valueForText checks it, and returns the record's index. Fails (-1) with
    // the reason, changing nothing, when the model has no such item, the text
    // does not fit or the file has no record of the item.
    static int editRecord(CTreeModel* model, QList<CDataPoint>* records, const QString& nameOrCaption,
                          const QString& text, QString* error);

    // A loaded parameter file gives its object groups back as group records;
    // the model tells which were objects, so that the file saved again keeps
    // its nesting.
    static void restoreObjectRecords(CTreeModel* model, QList<CDataPoint>* records);

    // Object and group items head the rows below them and hold no value.
    static bool isCaptionRow(const CItem* item);
};
