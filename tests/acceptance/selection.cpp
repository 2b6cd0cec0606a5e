// Prints the X primary selection of $DISPLAY as UTF-8. The acceptance driver reads what a
// station's message box says by triple-clicking its text, which selects it, and asking here.
#include <QClipboard>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    const QByteArray text = QGuiApplication::clipboard()->text(QClipboard::Selection).toUtf8();
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    return text.isEmpty() ? 1 : 0;
}
