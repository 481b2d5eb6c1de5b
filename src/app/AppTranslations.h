#pragma once

#include <QLocale>
#include <QStringList>

class QTranslator;

// The window's texts in the user's language: the program's own translations,
// built into it under :/i18n, and Qt's own for its standard dialogs and buttons
// where the system has them (they are optional). English is the source: a locale
// that asks for English first, or for no language the program has, installs
// nothing. Installed translators stay until this object goes.
class AppTranslations {
public:
    // Installs the translators for `locale` (the user's by default) on the
    // running application.
    explicit AppTranslations(const QLocale& locale = QLocale::system());
    ~AppTranslations();
    AppTranslations(const AppTranslations&) = delete;
    AppTranslations& operator=(const AppTranslations&) = delete;

    // The language whose translation was installed ("de"), or empty for English.
    const QString& language() const { return mLanguage; }

    // The languages the program is translated into, as built in ("de", "es", "fr").
    static QStringList builtInLanguages();
    // The first of `uiLanguages` (most wanted first, as QLocale::uiLanguages()
    // gives them) that is English or one of `available`: "" for English, or the
    // available language; "" too when none of them is.
    static QString chooseLanguage(const QStringList& uiLanguages, const QStringList& available);

private:
    QTranslator* mOwn = nullptr;
    QTranslator* mQt = nullptr;
    QString mLanguage;
};
