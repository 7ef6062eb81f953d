// Qt's own French texts for the stock dialogs (file, folder, colour and
// message boxes) of every Lumigal program.
#pragma once

#include <QString>

namespace lumigal {

// Installs Qt's own French texts when the system has them (Debian's
// qt6-translations-l10n), the few that Qt's catalogue lacks, and French as
// the default locale (names of file types). Without the catalogue the stock
// dialogs keep Qt's English texts. Needs the application object.
void installFrenchTranslations();

// The French text of one of Qt's texts that its catalogue lacks; empty for
// the others.
QString frenchQtText(const char* context, const char* source);

}  // namespace lumigal
