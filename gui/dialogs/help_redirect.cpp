#include "dialogs/help_redirect.h"

#include <QDir>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

namespace lumigal {

QString helpRedirectText(const QString& target) {
    const QString html = target.toHtmlEscaped();
    // The script's string: a URL in its encoded form holds no quote or
    // backslash, but the page must stay sound whatever it is given.
    QString script = target;
    script.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('"'), QStringLiteral("\\\""))
        .replace(QLatin1Char('<'), QStringLiteral("\\x3c"));
    return QStringLiteral(
               "<!DOCTYPE html>\n<html lang=\"fr\">\n<head>\n<meta charset=\"utf-8\">\n"
               "<meta http-equiv=\"refresh\" content=\"0; url=%1\">\n"
               "<title>Aide de Lumigal</title>\n"
               "<script>location.replace(\"%2\");</script>\n</head>\n"
               "<body><p><a href=\"%1\">Aide de Lumigal</a></p></body>\n</html>\n")
        .arg(html, script);
}

QString helpRedirectFolder() {
    for (const auto location : {QStandardPaths::RuntimeLocation, QStandardPaths::CacheLocation}) {
        const QString folder = QStandardPaths::writableLocation(location);
        if (!folder.isEmpty()) return folder;
    }
    return QDir::tempPath();
}

std::optional<QString> writeHelpRedirect(const QString& folder, const QString& manual,
                                         const QString& anchor) {
    if (folder.isEmpty() || !QDir().mkpath(folder)) return std::nullopt;
    QUrl target = QUrl::fromLocalFile(manual);
    target.setFragment(anchor);
    const QString path = QDir(folder).filePath(QStringLiteral("lumigal-aide-%1.html").arg(anchor));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return std::nullopt;
    file.write(helpRedirectText(target.toString(QUrl::FullyEncoded)).toUtf8());
    if (!file.commit()) return std::nullopt;
    return path;
}

}  // namespace lumigal
