#include "items/CDeviceDescription.h"
#include "items/CGlobals.h"

#include <QCoreApplication>
#include <QTest>
#include <QTranslator>

namespace {

// Translates the two labels of a device id into texts of several words.
class CLabelTranslator : public QTranslator
{
public:
    QString translate(const char* context, const char* sourceText, const char*, int) const override
    {
        if (qstrcmp(context, "CGlobals") != 0)
            return QString();
        if (qstrcmp(sourceText, "Parameter version:") == 0)
            return QStringLiteral("Version der Parametertabelle:");
        if (qstrcmp(sourceText, "Order number:") == 0)
            return QStringLiteral("Nummer der Bestellung:");
        return QString();
    }
    bool isEmpty() const override { return false; }
};

CDeviceDescription description(const QString& orderNumber, const QString& version = QString())
{
    CDeviceDescription d;
    d.name = QStringLiteral("Device ") + orderNumber;
    d.orderNumber = orderNumber;
    d.parameterVersion = version;
    return d;
}

} // namespace

class tst_DeviceIdentity : public QObject
{
    Q_OBJECT

private slots:
    void orderNumberMask_data()
    {
        QTest::addColumn<QString>("orderNumber");
        QTest::addColumn<QString>("mask");
        QTest::newRow("upper-case wildcard") << "4711X" << "4711";
        QTest::newRow("lower-case wildcard") << "4711xx" << "4711";
        QTest::newRow("no wildcard") << "4711" << "4711";
        QTest::newRow("wildcard inside") << "47X11" << "47";
        QTest::newRow("leading wildcard") << "X12" << "";
        QTest::newRow("lone x matches every device") << "x" << "";
    }

    void orderNumberMask()
    {
        QFETCH(QString, orderNumber);
        QFETCH(QString, mask);
        QCOMPARE(CGlobals::orderNumberMask(orderNumber), mask);
        QVERIFY(CGlobals::orderNumberMask(QString()).isNull());
    }

    void deviceIdString_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("orderNumber");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("text");
        QTest::newRow("complete") << "Controller A" << "4711" << "1.20"
                                  << "Controller A (Parameter version: 1.20, Order number: 4711)";
        QTest::newRow("empty parts") << "Controller A" << "" << ""
                                     << "Controller A (Parameter version: 0.00, Order number: 0)";
        QTest::newRow("name with blanks") << "TC 200 Dual Loop" << "4712X" << "2.05"
                                          << "TC 200 Dual Loop (Parameter version: 2.05, Order number: 4712X)";
    }

    void deviceIdString()
    {
        QFETCH(QString, name);
        QFETCH(QString, orderNumber);
        QFETCH(QString, version);
        QFETCH(QString, text);
        QCOMPARE(CGlobals::createDeviceIdString(name, orderNumber, version), text);
        const QStringList parts = CGlobals::splitDeviceIdString(text);
        QCOMPARE(parts, (QStringList{name, version.isEmpty() ? "0.00" : version,
                                     orderNumber.isEmpty() ? "0" : orderNumber}));
    }

    void splitSurvivesLabelsTranslatedIntoSeveralWords()
    {
        CLabelTranslator translator;
        QCoreApplication::installTranslator(&translator);
        const QString id = CGlobals::createDeviceIdString(QStringLiteral("Controller A"), QStringLiteral("4711"),
                                                          QStringLiteral("1.20"));
        QCoreApplication::removeTranslator(&translator);
        QCOMPARE(id, QStringLiteral("Controller A (Version der Parametertabelle: 1.20, Nummer der Bestellung: 4711)"));
        QCOMPARE(CGlobals::splitDeviceIdString(id), (QStringList{"Controller A", "1.20", "4711"}));
    }

    void splitOfTextsThatAreNoDeviceId()
    {
        QCOMPARE(CGlobals::splitDeviceIdString(QStringLiteral("Controller A")),
                 (QStringList{"Controller A", "", ""}));
        // Only the part before a " (" inside the name survives.
        QCOMPARE(CGlobals::splitDeviceIdString(QStringLiteral("A (B) (Parameter version: 1.00, Order number: 9)")),
                 (QStringList{"A", "1.00", "9"}));
    }

    void orderNumberLongerThen()
    {
        const CDeviceDescription specific = description(QStringLiteral("4711X"));
        const CDeviceDescription family = description(QStringLiteral("47X"));
        QVERIFY(::orderNumberLongerThen(specific, family));
        QVERIFY(!::orderNumberLongerThen(family, specific));
        // Equal mask lengths are not ordered in either direction.
        const CDeviceDescription other = description(QStringLiteral("4712xx"));
        QVERIFY(!::orderNumberLongerThen(specific, other));
        QVERIFY(!::orderNumberLongerThen(other, specific));

        QList<CDeviceDescription> candidates{family, description(QStringLiteral("x")), specific};
        std::sort(candidates.begin(), candidates.end(), ::orderNumberLongerThen);
        QCOMPARE(candidates.first().orderNumber, QStringLiteral("4711X"));
        QCOMPARE(candidates.last().orderNumber, QStringLiteral("x"));
    }

    void paraVersionHigherThen_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("higher");
        QTest::newRow("higher") << "1.20" << "1.10" << true;
        QTest::newRow("lower") << "1.10" << "1.20" << false;
        QTest::newRow("1.10 reads as 1.1") << "1.10" << "1.9" << false;
        QTest::newRow("equal") << "2.00" << "2.00" << false;
        QTest::newRow("not a number counts as 0") << "abc" << "0.01" << false;
        QTest::newRow("against not a number") << "0.01" << "abc" << true;
    }

    void paraVersionHigherThen()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, higher);
        QCOMPARE(::paraVersionHigherThen(description(QStringLiteral("1"), a), description(QStringLiteral("1"), b)),
                 higher);
    }

    void clearEmptiesEveryField()
    {
        CDeviceDescription d = description(QStringLiteral("4711"), QStringLiteral("1.00"));
        d.features[QStringLiteral("RTC")][QStringLiteral("Base")].append(CDeviceDescription::FeatureValue());
        d.fileName = QStringLiteral("a.xml");
        d.clear();
        QVERIFY(d.name.isNull() && d.orderNumber.isNull() && d.parameterVersion.isNull() && d.fileName.isNull());
        QVERIFY(d.features.isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_DeviceIdentity)
#include "tst_DeviceIdentity.moc"
