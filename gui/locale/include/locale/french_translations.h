// Qt's own French texts for the stock dialogs (file, folder, colour and
// message boxes) of every Lumigal program.
#pragma once

namespace lumigal {

// Installs Qt's own French texts when the system has them; without them
// the stock dialogs keep Qt's English texts. Needs the application object.
void installFrenchTranslations();

}  // namespace lumigal
