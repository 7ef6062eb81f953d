#include "install_wizard/background_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "install_wizard/artwork.h"

namespace lumigal::install {

BackgroundWindow::BackgroundWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("install"));
    setWindowTitle(QStringLiteral("Lumigal - Installation"));
    setWindowIcon(productIcon());
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void BackgroundWindow::end() {
    QApplication::beep();
    ended_ = true;
}

void BackgroundWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintBackground(painter, size(), kRampColour);
}

void BackgroundWindow::closeEvent(QCloseEvent* event) {
    end();
    event->accept();
    QCoreApplication::quit();
}

void paintBackground(QPainter& painter, const QSize& size, int /*rampColour*/) {
    constexpr int kSteps = 256;
    constexpr double kExtent = 512.0;
    const double sx = size.width() / kExtent;
    const double sy = size.height() / kExtent;
    for (int i = 0; i < kSteps; ++i) {
        // Edges snapped to whole pixels so that neighbouring rings meet.
        const int left = static_cast<int>(i * sx);
        const int top = static_cast<int>(i * sy);
        const int right = static_cast<int>((kExtent - i) * sx);
        const int bottom = static_cast<int>((kExtent - i) * sy);
        painter.fillRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)), QColor(i, 0, 0));
    }
}

void centreWindow(QWidget* window) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->geometry();
    const QSize frame = window->frameGeometry().size();
    const int x = (area.width() - frame.width()) / 2;
    const int y = (area.height() - frame.height()) / 2;
    window->move(area.topLeft() + QPoint(x, y));
    window->raise();
}

}  // namespace lumigal::install
