// The progress box: shown while the page writer generates a page. It opens
// with "Merci de patienter quelques instants...", its label hidden and its
// bar at 0 of 0 .. 100; the caller sets the range to 0 .. N. As the page
// writer's progress observer it shows the label when the generation starts,
// and for each image puts the image's path into the label and the position
// into the bar, repainted at once.
//
// A page that cannot be written is reported in a message box (the page
// writer's message); images that fail are collected for the caller, who
// decides how to report them once the page is made.
#pragma once

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

    // Repaints `parent` (the area the page creation dialog left), then
    // opens, shows itself and centres itself on the screen.
    explicit ProgressBox(QWidget* parent = nullptr);

    // The bar's range becomes 0 .. `maximum`, its position 0.
    void setRange(int maximum);

    void started(int count) override;
    void setLabel(const std::string& path) override;
    void setPosition(int index) override;
    void imageFailed(const std::string& path, const std::string& reason) override;
    void failed(const std::string& message) override;

    const std::vector<ImageFailure>& imageFailures() const { return failures_; }

private:
    QLabel* message_ = nullptr;
    ElidedLabel* label_ = nullptr;
    QProgressBar* bar_ = nullptr;
    std::vector<ImageFailure> failures_;
};

}  // namespace lumigal
