#include "backend/CLanguage.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QTranslator>

#include <dlfcn.h>

namespace {
const QString TRANSLATION_FILE = QStringLiteral("paramica");

// The one translator of the library's texts; owned by the application.
QPointer<QTranslator>& installedTranslator()
{
    static QPointer<QTranslator> translator;
    return translator;
}
} // namespace

QLocale CLanguage::locale(const QString& language)
{
    return language.isEmpty() ? QLocale::system() : QLocale(language);
}

bool CLanguage::install(const QString& language)
{
    QPointer<QTranslator>& installed = installedTranslator();
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
    }
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(locale(language), TRANSLATION_FILE, QStringLiteral("_"), translationDirectory())) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}

QString CLanguage::descriptionLanguage(const QLocale& locale)
{
    if (locale.language() == QLocale::English || locale.language() == QLocale::C)
        return QString();
    QString name = QLocale(locale.language()).nativeLanguageName();
    if (!name.isEmpty())
        name[0] = name.at(0).toUpper();
    return name;
}

QString CLanguage::translationDirectory()
{
    // The library's own file, wherever the front end loaded it from.
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&CLanguage::translationDirectory), &info) == 0 || !info.dli_fname)
        return QString();
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath() + QStringLiteral("/paramica/translations");
}
