// The setup program's background: a maximised window painted with a colour
// ramp of concentric rectangles, stretched over the whole client area and
// repainted whole when its size changes. No text is drawn on it. Telling it
// to end (the wizard's Finish, OK in the abandon box) makes it beep and asks
// the program to end; so does closing it.
#pragma once

#include <QWidget>

class QPainter;

namespace lumigal::install {

// The ramp colour the window asks for: 2, green. Only a display with a colour
// palette could show it; on every other display the ramp is red.
inline constexpr int kRampColour = 2;

class BackgroundWindow : public QWidget {
    Q_OBJECT
public:
    explicit BackgroundWindow(QWidget* parent = nullptr);

    // Beeps and records the end request; when the program's event loop is
    // running, it ends.
    void end();
    bool ended() const { return ended_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool ended_ = false;
};

// Paints the ramp over a client area of `size`: 256 rectangles from (i, i)
// to (512 - i, 512 - i) in a 512 x 512 logical space stretched over the
// area, filled with red i, from black at the edge to full red at the centre.
// `rampColour` would choose the palette ramp on a palette display; such
// displays are not supported, so it is not used.
void paintBackground(QPainter& painter, const QSize& size, int rampColour);

// Moves `window` so that it is centred on the screen, size unchanged:
// x = (screen width - window width) / 2, y likewise, truncated toward zero,
// and raises it.
void centreWindow(QWidget* window);

}  // namespace lumigal::install
