// event_loop_probe - how long the main window leaves its events unanswered
// while it makes an album.
//
// usage: event_loop_probe [IMAGES [WIDTH HEIGHT]]   (default 300 images, 1600 x 1200)
//
// Makes IMAGES JPEG photos-like images in a scratch folder, opens the real
// main window (offscreen unless QT_QPA_PLATFORM says otherwise), presses
// « Dossier », then « Créer », accepts the page creation dialog for a
// thumbnail page and waits for the page. Meanwhile a timer asks to run
// every 20 ms; each time it runs late, the lateness is how long the event
// loop answered nothing. Prints the longest stall, the number of stalls
// over 100 ms and the whole time, then removes the scratch folder.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <cstdio>

#include "imaging/image_io.h"
#include "imaging/image_library.h"
#include "album/settings.h"
#include "message_box/message_box_handler.h"
#include "main_window/main_window.h"

namespace {

constexpr int kTickMs = 20;

// An image with gradients and noise, so that JPEG has real work to do.
void writePhoto(const QString& path, int width, int height, int seed) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor::fromHsv(seed * 37 % 360, 180, 230));
    gradient.setColorAt(1, QColor::fromHsv(seed * 91 % 360, 200, 80));
    painter.fillRect(image.rect(), gradient);
    QRandomGenerator random(static_cast<quint32>(seed));
    for (int i = 0; i < 400; ++i) {
        painter.setPen(QColor::fromRgb(random.generate()));
        painter.drawEllipse(QPoint(random.bounded(width), random.bounded(height)),
                            random.bounded(1, 60), random.bounded(1, 60));
    }
    painter.end();
    image.save(path, "JPEG", 90);
}

}  // namespace

int main(int argc, char** argv) {
    lumigal::startImageLibrary();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 300;
    const int width = argc > 3 ? std::atoi(argv[2]) : 1600;
    const int height = argc > 3 ? std::atoi(argv[3]) : 1200;

    QTemporaryDir scratch;
    const QString photos = scratch.filePath(QStringLiteral("photos"));
    const QString pages = scratch.filePath(QStringLiteral("pages"));
    QDir().mkpath(photos);
    QDir().mkpath(pages);
    for (int i = 0; i < count; ++i)
        writePhoto(QStringLiteral("%1/photo-%2.jpg").arg(photos).arg(i, 4, 10, QLatin1Char('0')),
                   width, height, i);

    lumigal::Preferences prefs{};
    lumigal::PageSettings page{};
    lumigal::initialSettings(prefs, page, scratch.path().toStdString());
    prefs.pathLaunch = photos.toStdString();
    prefs.pathSave = pages.toStdString();
    prefs.pathThumbnail = (pages + QStringLiteral("/vignettes")).toStdString();
    QDir().mkpath(QString::fromStdString(prefs.pathThumbnail));
    prefs.bip = 0;
    prefs.launch = 0;
    page.thumbnail = 1;
    // Every message is answered at once (and the page notice closed).
    lumigal::MessageBoxHandler::setAnswerer(
        [](QWidget*, const lumigal::MessageRecord& m) {
            std::fprintf(stderr, "message %s\n", qPrintable(m.identifier));
            return QMessageBox::Close;
        });

    lumigal::MainWindow window(prefs, page, std::string(), {});
    window.show();
    window.setDirectory(photos);

    // The page creation dialog is accepted as soon as it is up.
    QTimer dialogWatch;
    dialogWatch.setInterval(5);
    QObject::connect(&dialogWatch, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* name = modal ? modal->findChild<QLineEdit*>(QStringLiteral("edit1136")) : nullptr;
        if (name == nullptr) return;
        dialogWatch.stop();
        name->setText(QStringLiteral("album.htm"));
        modal->findChild<QPushButton*>(QStringLiteral("button1"))->click();
    });

    QElapsedTimer clock;
    qint64 last = -1, longest = 0, over100 = 0, ticks = 0;
    bool running = false;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(kTickMs);
    const auto tick = [&] {
        const qint64 now = clock.elapsed();
        if (running && last >= 0) {
            const qint64 late = now - last - kTickMs;
            longest = std::max(longest, late);
            if (late > 100) ++over100;
            ++ticks;
        }
        last = now;
    };
    QObject::connect(&probe, &QTimer::timeout, tick);

    qint64 total = 0;
    QTimer::singleShot(200, [&] {
        window.selectFolderButton()->setChecked(true);
        dialogWatch.start();
        running = true;
        clock.start();
        const qint64 start = clock.elapsed();
        window.createPage();
        total = clock.elapsed() - start;
        // The last stall ends when the loop answers again.
        QTimer::singleShot(0, [&] {
            tick();
            running = false;
            app.quit();
        });
    });
    probe.start();
    app.exec();

    const bool written = QFileInfo::exists(pages + QStringLiteral("/album.htm"));
    std::printf("images %d (%dx%d), page %s, %.1f s\n", count, width, height,
                written ? "written" : "NOT written", double(total) / 1000.0);
    std::printf("longest stall %lld ms; stalls over 100 ms: %lld; probe ticks %lld\n",
                static_cast<long long>(longest), static_cast<long long>(over100),
                static_cast<long long>(ticks));
    return written ? 0 : 1;
}
