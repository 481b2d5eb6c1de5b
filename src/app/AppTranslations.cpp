#include "app/AppTranslations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>
#include <utility>

namespace {

const QString kFolder = QStringLiteral(":/i18n");
const QString kPrefix = QStringLiteral("charcolino_");

}  // namespace

QStringList AppTranslations::builtInLanguages()
{
    QStringList languages;
    for (const QString& file : QDir(kFolder).entryList({kPrefix + QStringLiteral("*.qm")}, QDir::Files, QDir::Name))
        languages << file.mid(kPrefix.size(), file.size() - kPrefix.size() - 3);
    return languages;
}

QString AppTranslations::chooseLanguage(const QStringList& uiLanguages, const QStringList& available)
{
    for (const QString& name : uiLanguages) {
        const QLocale wanted(name);
        // "C" and names Qt does not know are no language and are passed over.
        if (wanted.language() == QLocale::C || wanted.language() == QLocale::AnyLanguage)
            continue;
        if (wanted.language() == QLocale::English)
            return QString();
        for (const QString& language : available)
            if (QLocale(language).language() == wanted.language())
                return language;
    }
    return QString();
}

AppTranslations::AppTranslations(const QLocale& locale)
{
    mLanguage = chooseLanguage(locale.uiLanguages(), builtInLanguages());
    if (mLanguage.isEmpty())
        return;
    mOwn = new QTranslator;
    if (!mOwn->load(kPrefix + mLanguage, kFolder) || !QCoreApplication::installTranslator(mOwn)) {
        delete std::exchange(mOwn, nullptr);
        mLanguage.clear();
        return;
    }
    // Qt's texts (standard buttons, file dialogs) when the system has them.
    mQt = new QTranslator;
    if (!mQt->load(QStringLiteral("qtbase_") + mLanguage, QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(mQt))
        delete std::exchange(mQt, nullptr);
}

AppTranslations::~AppTranslations()
{
    for (QTranslator* translator : {mQt, mOwn})
        if (translator) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
}
