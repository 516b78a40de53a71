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
    QString translate(const char* context, const char* text, const char*, int) const override
    {
        const QString label = QString::fromLatin1(text);
        if (qstrcmp(context, "CGlobals") != 0)
            return QString();
        return label == "Parameter version:" ? "Version der Parametertabelle:" : label == "Order number:" ? "Nummer der Bestellung:" : QString();
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
        QTest::newRow("complete") << "Controller A" << "4711" << "1.20" << "Controller A (Parameter version: 1.20, Order number: 4711)";
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
        CLabelTranslator translator;
        QCoreApplication::installTranslator(&translator);
        const QString id = CGlobals::createDeviceIdString(QStringLiteral("Controller A"), QStringLiteral("4711"), QStringLiteral("1.20"));
        QCoreApplication::removeTranslator(&translator);
        QCOMPARE(id, QStringLiteral("Controller A (Version der Parametertabelle: 1.20, Nummer der Bestellung: 4711)"));
        QCOMPARE(CGlobals::splitDeviceIdString(id), (QStringList{"Controller A", "1.20", "4711"}));
        // Texts that are no device id.
        QCOMPARE(CGlobals::splitDeviceIdString(QStringLiteral("Controller A")), (QStringList{"Controller A", "", ""}));
        QCOMPARE(CGlobals::splitDeviceIdString(QStringLiteral("A (B) (Parameter version: 1.00, Order number: 9)")), (QStringList{"A", "1.00", "9"}));
    }

    void orderNumberLongerThen()
    {
        const CDeviceDescription specific = description(QStringLiteral("4711X"));
        const CDeviceDescription family = description(QStringLiteral("47X"));
        const CDeviceDescription other = description(QStringLiteral("4712xx"));
        QVERIFY(::orderNumberLongerThen(specific, family));
        QVERIFY(!::orderNumberLongerThen(family, specific));
        // Equal mask lengths are not ordered in either direction.
        QVERIFY(!::orderNumberLongerThen(specific, other));
        QVERIFY(!::orderNumberLongerThen(other, specific));

        QList<CDeviceDescription> candidates{family, description(QStringLiteral("x")), specific};
        std::sort(candidates.begin(), candidates.end(), ::orderNumberLongerThen);
        QCOMPARE(candidates.first().orderNumber, QStringLiteral("4711X"));
        QCOMPARE(candidates.last().orderNumber, QStringLiteral("x"));
    }

    void paraVersionHigherThen()
    {
        // a, b, a higher than b ("1.10" reads as 1.1, not a number as 0)
        const QList<std::tuple<QString, QString, bool>> cases = {{"1.20", "1.10", true}, {"1.10", "1.20", false}, {"1.10", "1.9", false}, {"2.00", "2.00", false}, {"abc", "0.01", false}, {"0.01", "abc", true}};
        for (const auto& [a, b, higher] : cases)
            QCOMPARE(::paraVersionHigherThen(description(QStringLiteral("1"), a), description(QStringLiteral("1"), b)), higher);
    }
};

QTEST_GUILESS_MAIN(tst_DeviceIdentity)
#include "tst_DeviceIdentity.moc"
