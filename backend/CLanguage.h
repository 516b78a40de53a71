#pragma once

#include "paramica_export.h"

#include <QLocale>
#include <QString>

// The language of the library's own texts (messages, captions, headers) and
// of the device descriptions' texts. The translations are built with the
// library and installed beside it.
class PARAMICA_EXPORT CLanguage
{
public:
    CLanguage() = delete;

    // Installs the library's translation for language ("de", "de_DE"; empty:
    // the system's user-interface languages) into the application, replacing
    // one installed before. False when none is shipped for it: the texts stay
    // English, the language they are written in.
    static bool install(const QString& language = QString());
    // The locale install() chose for language.
    static QLocale locale(const QString& language = QString());
    // The name under which a description's translation file holds this
    // language ("Deutsch"); empty for English, the descriptions' own texts.
    static QString descriptionLanguage(const QLocale& locale);
    // Where the library's translations are: "paramica/translations" in the
    // directory the library was loaded from.
    static QString translationDirectory();
};
