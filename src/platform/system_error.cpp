#include "platform/system_error.h"

#include <cerrno>

namespace lumigal::platform {

std::string errnoText(int err, FileAccess access) {
    switch (err) {
        case ENOENT:
            return access == FileAccess::Reading ? "fichier introuvable" : "dossier introuvable";
        case ENOTDIR:
            return "dossier introuvable";
        case EACCES:
        case EPERM:
            return "accès refusé";
        case EROFS:
            return "système de fichiers en lecture seule";
        case ENOSPC:
        case EDQUOT:
            return "disque plein";
        case EFBIG:
            return "fichier trop gros";
        case ENAMETOOLONG:
            return "nom trop long";
        case EISDIR:
            return "un dossier porte ce nom";
        case ELOOP:
            return "trop de liens symboliques";
        case EMFILE:
        case ENFILE:
            return "trop de fichiers ouverts";
        case EIO:
            return "erreur d'entrée-sortie";
        default:
            return "erreur système " + std::to_string(err);
    }
}

}  // namespace lumigal::platform
