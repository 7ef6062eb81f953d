// The shared routines of the dialogs: centring a window on its screen, the
// colour chooser, the folder browser and the help viewer. The last three
// can be replaced by a hook so that tests (or a silent run) answer them.
#pragma once

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "common/colour.h"

class QUrl;
class QWidget;

namespace lumigal {

// Where a window of `window` size goes on `screen`: x = offset + (screen
// width - window width) / 2, y = (screen height - window height) / 2, both
// divisions truncated toward zero, from the screen's top-left corner.
QPoint centredPosition(const QRect& screen, const QSize& window, int offset);

// Moves `window` (frame included; stacking order unchanged) to the centre of
// the screen it is on, shifted right by `offset`; a window larger than the
// screen's free area is first shrunk to it and never placed above or left
// of it.
void centreOnScreen(QWidget* window, int offset = 0);

QColor toQColor(Colour colour);
Colour toColour(const QColor& colour);

// Runs the colour chooser over `owner`: it opens on black with sixteen white
// custom colours, fresh at every call. Returns true and sets `colour` when
// the user confirmed; on cancel `colour` is left as it was.
bool pickColour(QWidget* owner, Colour& colour);

// Answers pickColour instead of the chooser: the chosen colour, or nullopt
// for a cancelled chooser. An empty hook brings the real chooser back.
using ColourChooser = std::function<std::optional<Colour>(QWidget* owner)>;
void setColourChooser(ColourChooser chooser);

// Runs the folder browser over `owner` with `title`; only existing folders
// can be confirmed. Returns the folder's path (native separators), or
// nullopt when cancelled.
std::optional<QString> browseForFolder(QWidget* owner, const QString& title);

using FolderBrowser = std::function<std::optional<QString>(QWidget* owner, const QString& title)>;
void setFolderBrowser(FolderBrowser browser);

// The anchor of help context `context` in the help manual.
QString helpAnchor(int context);

// Opens the help manual `helpFilePath` at context `context`, through a
// redirect page (help_redirect.h) so that the section is reached even where
// the desktop's opener drops a URL's fragment. A manual that cannot be found
// or opened is reported in a message box; the caller goes on.
void openHelp(QWidget* owner, const std::string& helpFilePath, int context);

using HelpOpener =
    std::function<void(QWidget* owner, const std::string& helpFilePath, int context)>;
void setHelpOpener(HelpOpener opener);

// Answers the desktop's opener of openHelp (true: opened) instead of
// handing it the URL. An empty hook brings the desktop's opener back.
using UrlOpener = std::function<bool(const QUrl& url)>;
void setUrlOpener(UrlOpener opener);

}  // namespace lumigal
