// A bare Qt window, the yardstick for the terminal's start-up time and memory:
//   bare-window [--japanese] [--stay]
// Says "ready" once its window is on the screen, "hwm <kB>" (peak resident memory) a moment
// later, and ends; with --stay it stays until it is killed. With --japanese it shows one label
// of Japanese text in the terminal's font: the second yardstick, which pays for finding and
// loading that font as the terminal does.
#include "report.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <QWindow>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const bool stay = QCoreApplication::arguments().contains(u"--stay"_s);

    QWidget window;
    window.setWindowTitle(u"bare-window"_s);
    window.resize(706, 511); // as large as the terminal's main window
    if (QCoreApplication::arguments().contains(u"--japanese"_s)) {
        auto *label = new QLabel(u"ジャッジ番号を選択してください"_s, &window);
        QFont font(u"ＭＳ Ｐゴシック"_s);
        font.setPixelSize(16);
        label->setFont(font);
        label->move(40, 40);
    }
    window.show();

    QTimer watch;
    watch.setInterval(1);
    QObject::connect(&watch, &QTimer::timeout, &window, [&] {
        if (!window.windowHandle() || !window.windowHandle()->isExposed())
            return;
        watch.stop();
        report::say("ready");
        QTimer::singleShot(report::settleMs, &window, [stay] {
            report::say("hwm " + QByteArray::number(report::peakResidentKb()));
            if (!stay)
                QCoreApplication::quit();
        });
    });
    watch.start();
    return QApplication::exec();
}
