// The about box: the program's description and version, the version of the
// running system and the project's contacts. Modal; OK, Escape and the
// close box all close it with result 1 (Accepted).
#pragma once

#include <QString>

#include "dialogs/lumigal_dialog.h"
#include "platform/system_version.h"

namespace lumigal {

class AboutBox : public LumigalDialog {
    Q_OBJECT
public:
    static constexpr const char* kDescription =
        "Visualisation de fichiers graphiques pour le Web pour Windows 9x, 2000 et Windows NT\n"
        "Version 1.16 - Mars 2000";

    // The project's contacts shown in the "Contacts" frame.
    static constexpr const char* kContactName = "Projet Lumigal";
    static constexpr const char* kContactAddress = "12 rue de l'Exemple, 00000 Exempleville";
    static constexpr const char* kContactPhone = "Tél. : +33 0 00 00 00 00";
    static constexpr const char* kContactEmail = "lumigal@example.org";
    static constexpr const char* kContactWeb = "https://lumigal.example.org/";

    // `version` is the system whose line the box shows.
    explicit AboutBox(const platform::SystemVersion& version = platform::runningSystemVersion(),
                      QWidget* parent = nullptr);

public slots:
    void reject() override;
};

}  // namespace lumigal
