#include "locale/french_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstring>

namespace lumigal {

namespace {

struct QtText {
    const char* context;
    const char* source;
    const char* french;
};
// Qt's own texts that its French catalogue lacks (the file list's types).
constexpr QtText kMissingQtTexts[] = {
    {"QAbstractFileIconProvider", "Folder", "Dossier"},
    {"QAbstractFileIconProvider", "Drive", "Lecteur"},
    {"QAbstractFileIconProvider", "Shortcut", "Raccourci"},
    {"QAbstractFileIconProvider", "Alias", "Alias"},
    {"QAbstractFileIconProvider", "Unknown", "Inconnu"},
};

class MissingQtTexts : public QTranslator {
public:
    using QTranslator::QTranslator;
    QString translate(const char* context, const char* source, const char* /*disambiguation*/,
                      int /*n*/) const override {
        return frenchQtText(context, source);
    }
    bool isEmpty() const override { return false; }
};

}  // namespace

QString frenchQtText(const char* context, const char* source) {
    if (context == nullptr || source == nullptr) return {};
    for (const QtText& text : kMissingQtTexts)
        if (std::strcmp(text.context, context) == 0 && std::strcmp(text.source, source) == 0)
            return QString::fromUtf8(text.french);
    return {};
}

void installFrenchTranslations() {
    // Qt's own names (of file types, of months) follow the default locale.
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    // Searched after Qt's catalogue, which is installed later.
    QCoreApplication::installTranslator(new MissingQtTexts(QCoreApplication::instance()));
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QLocale(QLocale::French), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
    } else {
        delete translator;
    }
}

}  // namespace lumigal
