#include "install_wizard/uninstall_flow.h"

#include <sys/stat.h>

#include <QStringList>

#include "install/install_record.h"
#include "install_wizard/setup_boxes.h"
#include "install/uninstall.h"

namespace lumigal::install {

int runUninstallWithQuestions(const std::string& installFolder, platform::Registry& registry) {
    const QString folder = QString::fromStdString(installFolder);
    const std::string recordPath = InstallRecord::pathIn(installFolder);
    struct stat info {};
    if (::stat(recordPath.c_str(), &info) != 0) {
        showUninstallDone(nullptr,
                          QStringLiteral("Lumigal n'est pas installé dans le dossier %1 : "
                                         "le fichier %2 est introuvable.")
                              .arg(folder, QString::fromStdString(recordPath)),
                          false);
        return 1;
    }
    if (!confirmUninstall(nullptr,
                          QStringLiteral("Voulez-vous supprimer Lumigal de votre ordinateur ?\n\n"
                                         "Le programme, ses fichiers, ses entrées de menu, ses "
                                         "raccourcis et ses paramètres installés dans %1 seront "
                                         "supprimés.")
                              .arg(folder))) {
        return 1;
    }
    const UninstallReport report = removeInstallation(recordPath, registry);
    QStringList lines;
    if (report.complete()) {
        lines << QStringLiteral("Lumigal a été supprimé de votre ordinateur.");
    } else {
        lines << QStringLiteral("Lumigal n'a pas pu être entièrement supprimé :");
        for (const std::string& problem : report.problems) {
            lines << QStringLiteral("- ") + QString::fromStdString(problem);
        }
    }
    for (const std::string& kept : report.keptFolders) {
        lines << QStringLiteral("Le dossier %1 contient d'autres fichiers ; il a été conservé.")
                     .arg(QString::fromStdString(kept));
    }
    showUninstallDone(nullptr, lines.join(QLatin1Char('\n')), report.complete());
    return report.complete() ? 0 : 1;
}

}  // namespace lumigal::install
