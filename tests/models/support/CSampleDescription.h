#pragma once

#include "models/CProgramTableModel.h"
#include "models/CTreeModel.h"
#include "xml/CXmlParser.h"

#include <QAbstractItemModelTester>
#include <QAbstractProxyModel>
#include <QCoreApplication>

#include <type_traits>

// One object of a sealed sample description, as the back end hands it to a
// model: its element classes, lists, bitfields and features.
class CSampleDescription
{
public:
    explicit CSampleDescription(const QString& file = QStringLiteral("TC200_V100.xml"))
    {
        m_valid = m_parser.readFileContent(QCoreApplication::applicationDirPath() + QStringLiteral("/xml/") + file);
    }

    bool isValid() const { return m_valid; }

    // A model of one object, set up as the back end does it, with the Qt
    // model tester (and the proxy, when given) watching from before the first
    // item exists; null when a line of the object has an unknown data type.
    template <class MODEL>
    MODEL* build(const QString& object, QObject* parent, QAbstractProxyModel* proxy = nullptr) const
    {
        auto* model = new MODEL(object, parent);
        watch(model, proxy);
        const CElementMap* map = m_parser.content().value(object);
        model->setupListEntries(map->lists);
        model->setupBitfieldEntries(map->bitfields);
        if constexpr (std::is_same_v<MODEL, CTreeModel>)
            model->setupFeatures(map->features);
        return model->setupModel(map->classes) ? nullptr : model;
    }

    // A program of the description's programs feature, watched likewise.
    CProgramTableModel* buildProgram(const QString& name, QObject* parent, QAbstractProxyModel* proxy = nullptr) const
    {
        auto* model = new CProgramTableModel(parent);
        watch(model, proxy);
        model->setup(name, m_parser.deviceDescription().features.value(QStringLiteral("Programme")).value(name));
        return model;
    }

    // An answer block as the master hands it on: start address, then registers.
    static QByteArray block(quint16 address, const QByteArray& registers)
    {
        return QByteArray(1, char(address >> 8)) + QByteArray(1, char(address & 0xFF)) + registers;
    }

private:
    static void watch(QAbstractItemModel* model, QAbstractProxyModel* proxy)
    {
        new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::QtTest, model);
        if (proxy)
            proxy->setSourceModel(model);
    }

    CXmlParser m_parser;
    bool m_valid = false;
};
