#include "install_wizard/artwork.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <functional>

// Resources of a static library are registered by name, outside any namespace.
static void registerInstallArt() { Q_INIT_RESOURCE(install_art); }

namespace lumigal::install {

namespace {

const QColor kTeal(0, 128, 128);
const QColor kDarkTeal(0, 96, 104);
const QColor kOutline(40, 40, 48);

using Drawing = std::function<void(QPainter&)>;

// Draws on a 64 x 64 canvas scaled to each icon size.
QIcon drawnIcon(const Drawing& draw) {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 64.0, size / 64.0);
        draw(p);
        p.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

void drawPage(QPainter& p, const QRectF& r) {
    QPainterPath page;
    const qreal fold = r.width() * 0.28;
    page.moveTo(r.topLeft());
    page.lineTo(r.right() - fold, r.top());
    page.lineTo(r.right(), r.top() + fold);
    page.lineTo(r.bottomRight());
    page.lineTo(r.bottomLeft());
    page.closeSubpath();
    p.setPen(QPen(kOutline, 2));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.setBrush(QColor(220, 220, 220));
    p.drawPolygon(
        QPolygonF({QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold),
                   QPointF(r.right(), r.top() + fold)}));
}

void drawTextLines(QPainter& p, const QRectF& r, int count) {
    p.setPen(QPen(QColor(70, 90, 140), 3, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < count; ++i) {
        const qreal y = r.top() + i * r.height() / (count - 1);
        const qreal right = i == count - 1 ? r.center().x() : r.right();
        p.drawLine(QPointF(r.left(), y), QPointF(right, y));
    }
}

void drawComputer(QPainter& p, const QRectF& screen) {
    const QRectF body = screen.adjusted(-6, -6, 6, 6);
    p.setPen(QPen(kOutline, 1.5));
    p.setBrush(QColor(226, 222, 208));
    p.drawRoundedRect(body, 4, 4);
    QLinearGradient glass(screen.topLeft(), screen.bottomRight());
    glass.setColorAt(0, QColor(40, 90, 170));
    glass.setColorAt(1, QColor(10, 30, 80));
    p.setBrush(glass);
    p.drawRect(screen);
    // A small album page on the screen.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 200));
    const qreal w = screen.width() / 5;
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 3; ++col) {
            p.drawRect(QRectF(screen.left() + w * (0.6 + col * 1.4),
                              screen.top() + screen.height() * (0.2 + row * 0.4), w,
                              screen.height() * 0.28));
        }
    }
    p.setPen(QPen(kOutline, 1.5));
    const QRectF stand(body.center().x() - 8, body.bottom(), 16, 6);
    p.setBrush(QColor(200, 196, 182));
    p.drawRect(stand);
    const QRectF base(body.left() + 4, stand.bottom(), body.width() - 8, 8);
    p.drawRoundedRect(base, 2, 2);
    const QRectF keyboard(body.left() - 4, base.bottom() + 6, body.width() + 8, 12);
    p.drawRoundedRect(keyboard, 2, 2);
    p.setPen(QPen(QColor(150, 146, 132), 1));
    for (int i = 1; i < 8; ++i) {
        const qreal x = keyboard.left() + i * keyboard.width() / 8;
        p.drawLine(QPointF(x, keyboard.top() + 3), QPointF(x, keyboard.bottom() - 3));
    }
}

void drawBox(QPainter& p, const QRectF& front, bool opened) {
    const qreal depth = front.width() * 0.35;
    p.setPen(QPen(kOutline, 1.5));
    // Side and top.
    p.setBrush(QColor(150, 30, 40));
    p.drawPolygon(
        QPolygonF({front.topRight(), front.topRight() + QPointF(depth, -depth * 0.6),
                   front.bottomRight() + QPointF(depth, -depth * 0.6), front.bottomRight()}));
    p.setBrush(QColor(230, 190, 60));
    if (opened) {
        p.drawPolygon(
            QPolygonF({front.topLeft(), front.topLeft() + QPointF(-depth * 0.5, -depth),
                       front.topRight() + QPointF(-depth * 0.5, -depth), front.topRight()}));
    } else {
        p.drawPolygon(
            QPolygonF({front.topLeft(), front.topLeft() + QPointF(depth, -depth * 0.6),
                       front.topRight() + QPointF(depth, -depth * 0.6), front.topRight()}));
    }
    QLinearGradient face(front.topLeft(), front.bottomLeft());
    face.setColorAt(0, QColor(220, 50, 60));
    face.setColorAt(1, QColor(170, 30, 40));
    p.setBrush(face);
    p.drawRect(front);
    // The label: a small picture in a white frame.
    const QRectF label = front.adjusted(front.width() * 0.18, front.height() * 0.18,
                                        -front.width() * 0.18, -front.height() * 0.4);
    p.setBrush(Qt::white);
    p.drawRect(label);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 150, 70));
    p.drawPolygon(
        QPolygonF({label.bottomLeft(), label.center() + QPointF(-2, 0), label.bottomRight()}));
    p.setBrush(QColor(250, 200, 40));
    p.drawEllipse(QPointF(label.right() - label.width() * 0.25, label.top() + label.height() * 0.3),
                  label.width() * 0.1, label.width() * 0.1);
}

void drawDisc(QPainter& p, const QPointF& centre, qreal radius) {
    QRadialGradient shine(centre, radius);
    shine.setColorAt(0, QColor(250, 250, 255));
    shine.setColorAt(0.5, QColor(190, 200, 230));
    shine.setColorAt(0.8, QColor(230, 200, 240));
    shine.setColorAt(1, QColor(170, 180, 200));
    p.setPen(QPen(kOutline, 1.2));
    p.setBrush(shine);
    p.drawEllipse(centre, radius, radius);
    p.setBrush(kTeal);
    p.drawEllipse(centre, radius * 0.18, radius * 0.18);
}

void drawGlobe(QPainter& p, const QPointF& centre, qreal radius) {
    QRadialGradient sea(centre - QPointF(radius / 3, radius / 3), radius * 1.4);
    sea.setColorAt(0, QColor(120, 180, 255));
    sea.setColorAt(1, QColor(20, 60, 160));
    p.setPen(QPen(kOutline, 1.2));
    p.setBrush(sea);
    p.drawEllipse(centre, radius, radius);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(70, 160, 70));
    p.drawEllipse(centre + QPointF(-radius * 0.35, -radius * 0.2), radius * 0.35, radius * 0.45);
    p.drawEllipse(centre + QPointF(radius * 0.35, radius * 0.3), radius * 0.3, radius * 0.25);
    p.setPen(QPen(QColor(255, 255, 255, 120), 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, radius * 0.45, radius);
    p.drawLine(centre - QPointF(radius, 0), centre + QPointF(radius, 0));
}

void drawFloppy(QPainter& p, const QRectF& r, const QColor& colour) {
    p.setPen(QPen(kOutline, 1.2));
    p.setBrush(colour);
    p.drawRoundedRect(r, 1.5, 1.5);
    p.setBrush(QColor(190, 190, 200));
    p.drawRect(QRectF(r.left() + r.width() * 0.28, r.top(), r.width() * 0.44, r.height() * 0.3));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(r.left() + r.width() * 0.15, r.top() + r.height() * 0.5, r.width() * 0.7,
                      r.height() * 0.45));
}

QPixmap drawnPicture(int width, int height, const Drawing& draw) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient ground(0, 0, 0, height);
    ground.setColorAt(0, kTeal);
    ground.setColorAt(1, kDarkTeal);
    p.fillRect(image.rect(), ground);
    draw(p);
    p.end();
    return QPixmap::fromImage(image);
}

}  // namespace

QIcon productIcon() {
    static const bool registered = (registerInstallArt(), true);
    (void)registered;
    QIcon icon;
    for (const int size : {32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/lumigal/install/program-icon-%1.png").arg(size),
                     QSize(size, size));
    }
    return icon;
}

QIcon wizardIcon() {
    return drawnIcon([](QPainter& p) {
        drawBox(p, QRectF(10, 22, 30, 36), true);
        drawDisc(p, QPointF(44, 40), 16);
    });
}

QIcon uninstallIcon() {
    return drawnIcon([](QPainter& p) {
        drawBox(p, QRectF(8, 20, 34, 38), false);
        p.setPen(QPen(QColor(200, 0, 0), 7, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(34, 8), QPointF(58, 32));
        p.drawLine(QPointF(58, 8), QPointF(34, 32));
    });
}

QIcon helpIcon() {
    return drawnIcon([](QPainter& p) {
        drawPage(p, QRectF(8, 4, 40, 54));
        drawTextLines(p, QRectF(14, 20, 26, 28), 4);
        p.setPen(QPen(kOutline, 2));
        p.setBrush(QColor(40, 110, 210));
        p.drawEllipse(QPointF(46, 44), 15, 15);
        p.setPen(QPen(Qt::white, 4.5, Qt::SolidLine, Qt::RoundCap));
        QPainterPath mark;
        mark.moveTo(40, 39);
        mark.cubicTo(40, 31, 53, 31, 52, 39);
        mark.cubicTo(51, 44, 46, 43, 46, 48);
        p.setBrush(Qt::NoBrush);
        p.drawPath(mark);
        p.drawPoint(QPointF(46, 54));
    });
}

QIcon readMeIcon() {
    return drawnIcon([](QPainter& p) {
        drawPage(p, QRectF(12, 4, 42, 56));
        drawTextLines(p, QRectF(19, 20, 28, 30), 5);
    });
}

QIcon abandonIcon() {
    return drawnIcon([](QPainter& p) {
        p.setPen(QPen(kOutline, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(QColor(250, 200, 30));
        p.drawPolygon(QPolygonF({QPointF(32, 4), QPointF(61, 58), QPointF(3, 58)}));
        p.setPen(QPen(kOutline, 7, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(32, 22), QPointF(32, 40));
        p.drawPoint(QPointF(32, 50));
    });
}

QIcon fileErrorIcon() {
    return drawnIcon([](QPainter& p) {
        drawPage(p, QRectF(6, 4, 40, 52));
        drawTextLines(p, QRectF(12, 18, 26, 24), 4);
        p.setPen(QPen(kOutline, 2));
        p.setBrush(QColor(210, 30, 30));
        p.drawEllipse(QPointF(44, 44), 17, 17);
        p.setPen(QPen(Qt::white, 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(37, 37), QPointF(51, 51));
        p.drawLine(QPointF(51, 37), QPointF(37, 51));
    });
}

QPixmap welcomePicture() {
    return drawnPicture(120, 258, [](QPainter& p) {
        drawGlobe(p, QPointF(84, 40), 24);
        drawComputer(p, QRectF(18, 86, 70, 50));
        drawBox(p, QRectF(14, 196, 42, 50), true);
        drawDisc(p, QPointF(88, 214), 20);
        drawDisc(p, QPointF(74, 236), 16);
    });
}

QPixmap sidePicture() {
    return drawnPicture(127, 251, [](QPainter& p) {
        drawComputer(p, QRectF(22, 30, 72, 52));
        drawBox(p, QRectF(16, 150, 44, 52), false);
        drawDisc(p, QPointF(96, 170), 20);
        drawFloppy(p, QRectF(64, 206, 28, 30), QColor(60, 60, 70));
        drawFloppy(p, QRectF(88, 214, 28, 30), QColor(40, 80, 160));
    });
}

}  // namespace lumigal::install
