#include "items/CDeviceDescription.h"
#include "items/CFixedTranslator.h"
#include "items/CGlobals.h"

#include <QTest>

namespace {

CDeviceDescription description(const QString& orderNumber, const QString& version = QString())
{
    CDeviceDescription d;
    d.orderNumber = orderNumber;
    d.parameterVersion = version;
    return d;
}

} // namespace

class tst_DeviceIdentity : public QObject
{
    Q_OBJECT

private slots:
    void orderNumberMask()
    {
        const QList<QPair<QString, QString>> masks = {{"4711X", "4711"}, {"4711xx", "4711"}, {"4711", "4711"}, {"47X11", "47"}, {"x", ""}};
        for (const auto& [orderNumber, mask] : masks)
            QCOMPARE(CGlobals::orderNumberMask(orderNumber), mask);
        QVERIFY(CGlobals::orderNumberMask(QString()).isNull());
    }

    void deviceIdString_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("orderNumber");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty parts") << "Controller A" << "" << "" << "Controller A (Parameter version: 0.00, Order number: 0)";
        QTest::newRow("name with blanks") << "TC 200 Dual Loop" << "4712X" << "2.05" << "TC 200 Dual Loop (Parameter version: 2.05, Order number: 4712X)";
    }

    void deviceIdString()
    {
        QFETCH(QString, name);
        QFETCH(QString, orderNumber);
        QFETCH(QString, version);
        QFETCH(QString, text);
        QCOMPARE(CGlobals::createDeviceIdString(name, orderNumber, version), text);
        QCOMPARE(CGlobals::splitDeviceIdString(text), (QStringList{name, version.isEmpty() ? "0.00" : version, orderNumber.isEmpty() ? "0" : orderNumber}));
    }

    void splitDeviceIdString()
    {
        // An id made with labels translated into texts of several words.
        QString id;
        {
            const CFixedTranslator german("CGlobals", {{"Parameter version:", "Version der Parametertabelle:"}, {"Order number:", "Nummer der Bestellung:"}});
            id = CGlobals::createDeviceIdString(QStringLiteral("Controller A"), QStringLiteral("4711"), QStringLiteral("1.20"));
        }
        QCOMPARE(id, QStringLiteral("Controller A (Version der Parametertabelle: 1.20, Nummer der Bestellung: 4711)"));
        QCOMPARE(CGlobals::splitDeviceIdString(id), (QStringList{"Controller A", "1.20", "4711"}));
        // Texts that are no device id.
        QCOMPARE(CGlobals::splitDeviceIdString(QStringLiteral("Controller A")), (QStringList{"Controller A", "", ""}));
        QCOMPARE(CGlobals::splitDeviceIdString(QStringLiteral("A (B) (Parameter version: 1.00, Order number: 9)")), (QStringList{"A", "1.00", "9"}));
    }

    // Which of two descriptions fits a device better: the longer order number
    // mask, or the higher parameter version ("1.10" reads as 1.1, not a number
    // as 0). Equal ones are not ordered either way.
    void ordering()
    {
        // compared by version, a, b, a before b
        const QList<std::tuple<bool, QString, QString, bool>> cases = {
            {false, "4711X", "47X", true}, {false, "47X", "4711X", false}, {false, "4711X", "4712xx", false}, {false, "4712xx", "4711X", false}, {false, "47X", "x", true},
            {true, "1.20", "1.10", true}, {true, "1.10", "1.20", false}, {true, "1.10", "1.9", false}, {true, "2.00", "2.00", false}, {true, "abc", "0.01", false}, {true, "0.01", "abc", true}};
        for (const auto& [byVersion, a, b, before] : cases)
            QCOMPARE(byVersion ? ::paraVersionHigherThen(description("1", a), description("1", b)) : ::orderNumberLongerThen(description(a), description(b)), before);
    }
};

QTEST_GUILESS_MAIN(tst_DeviceIdentity)
#include "tst_DeviceIdentity.moc"
