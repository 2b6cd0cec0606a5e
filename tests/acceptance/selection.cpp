// Prints the X primary selection of $DISPLAY as UTF-8, or with --clipboard the clipboard. The
// acceptance driver reads what a station's message box says by triple-clicking its text, which
// selects it, and asking here; a Windows station under Wine copies its message box with Ctrl+C
// instead, which Wine hands on as the X clipboard.
#include <QClipboard>
#include <QGuiApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    const bool clipboard = argc > 1 && std::strcmp(argv[1], "--clipboard") == 0;
    const QByteArray text = QGuiApplication::clipboard()
                                ->text(clipboard ? QClipboard::Clipboard : QClipboard::Selection)
                                .toUtf8();
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    return text.isEmpty() ? 1 : 0;
}
