// What the five wizard pages share: the picture at the left edge, the title
// fonts, and the page's reactions to becoming active and to Cancel.
#pragma once

#include <QFont>
#include <QWizardPage>

class QLabel;
class QVBoxLayout;

namespace lumigal::install {

class SetupWizard;

class SetupPage : public QWizardPage {
    Q_OBJECT
public:
    // The page with `picture` at its left edge; content() takes the rest.
    SetupPage(SetupWizard& wizard, const QPixmap& picture);

    // The page has just become active, through Next or Back.
    virtual void activated() {}
    // Cancel on this page ends the program at once (exit code 0) rather than
    // closing the wizard.
    virtual bool cancelEndsAtOnce() const = 0;
    // Going back leaves the page as it is.
    void cleanupPage() override {}

protected:
    SetupWizard& setup() { return wizard_; }
    QVBoxLayout* content() { return content_; }
    // A word-wrapped label with the control number in its object name.
    QLabel* addText(const QString& text, int control = 0);

private:
    SetupWizard& wizard_;
    QVBoxLayout* content_;
};

// A title font: the face (with a fallback of the same kind), the size in
// points turned into pixels as -(LOGPIXELSY x size / 110), rounded.
QFont titleFont(const QWidget* widget, const QString& face, int size, int weight, bool italic);

}  // namespace lumigal::install
