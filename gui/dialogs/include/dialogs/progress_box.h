// The progress box: shown while a page is generated on a thread of its own.
// It opens with "Merci de patienter quelques instants...", its label
// hidden and its bar at 0 of 0 .. 100; the caller sets the range to 0 .. N.
// As the page writer's progress observer (called on the GUI thread; see
// selection/background_work.h for the bridge from the work's thread) it
// shows, for each image, its path, "Image i sur N", the bar and the time
// left, estimated from the time the images done so far took.
// « Annuler » asks the generation to stop (cancelled()).
//
// A page that cannot be written is reported in a message box (the page
// writer's message); images that fail are collected for the caller, who
// decides how to report them once the page is made.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <string>
#include <vector>

#include "album/progress.h"
#include "dialogs/work_box.h"

class QLabel;
class QProgressBar;

namespace lumigal {

class ElidedLabel;

class ProgressBox : public WorkBox, public ProgressObserver {
    Q_OBJECT
public:
    // Message identifier (MessageBoxHandler).
    static constexpr const char* kPageFailed = "pageNotWritten";

    struct ImageFailure {
        std::string path;
        std::string reason;
    };

    // Opens and shows itself, centred on the screen.
    explicit ProgressBox(QWidget* parent = nullptr);

    // The bar's range becomes 0 .. `maximum`, its position 0.
    void setRange(int maximum);

    // "Image `done` sur `total`".
    static QString countLine(int done, int total);
    // "Temps restant : environ ..." once `done` of `total` images took
    // `elapsedMs`; empty before the first image is done.
    static QString timeLeftLine(qint64 elapsedMs, int done, int total);

    void started(int count) override;
    void setLabel(const std::string& path) override;
    void setPosition(int index) override;
    void imageFailed(const std::string& path, const std::string& reason) override;
    void locationsRemoved(int photos) override { locationsRemoved_ += photos; }
    void failed(const std::string& message) override;
    bool cancelled() const override { return cancelRequested(); }

    const std::vector<ImageFailure>& imageFailures() const { return failures_; }
    // How many copies lost where they were taken.
    int locationsRemovedCount() const { return locationsRemoved_; }

protected:
    void showStopping() override;

private:
    QLabel* message_ = nullptr;
    ElidedLabel* label_ = nullptr;
    QLabel* count_ = nullptr;
    QLabel* timeLeft_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QElapsedTimer clock_;
    std::vector<ImageFailure> failures_;
    int locationsRemoved_ = 0;
};

}  // namespace lumigal
