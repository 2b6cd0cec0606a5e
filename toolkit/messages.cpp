#include "toolkit/messages.h"

#include "toolkit/error.h"

#include <algorithm>

#include <QApplication>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace messages {

namespace {

Sink &sink()
{
    static Sink s;
    return s;
}

struct Box
{
    QPointer<QWidget> parent;
    QString text;
    Kind kind;
};

// One box of ours at a time: what comes while a box is open waits its turn, once.
bool s_open = false;
QString s_openText;
QList<Box> s_waiting;

void showNext();

void execBox(const Box &b)
{
    s_open = true;
    s_openText = b.text;
    {
        QMessageBox box(b.kind == Kind::Error ? QMessageBox::Critical : QMessageBox::Information,
                        QApplication::applicationName(), b.text, QMessageBox::Ok, b.parent);
        // Texts carry values from the database and the engine: never markup.
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }
    s_open = false;
    s_openText.clear();
    if (!s_waiting.isEmpty())
        QTimer::singleShot(0, QCoreApplication::instance(), showNext);
}

void showNext()
{
    if (s_open || s_waiting.isEmpty())
        return;
    execBox(s_waiting.takeFirst());
}

} // namespace

void setSink(Sink s)
{
    sink() = std::move(s);
}

void show(QWidget *parent, const QString &text, Kind kind)
{
    if (sink()) {
        sink()(kind, text);
        return;
    }
    if (s_open) {
        const bool known =
            text == s_openText || std::any_of(s_waiting.cbegin(), s_waiting.cend(),
                                              [&text](const Box &b) { return b.text == text; });
        if (!known)
            s_waiting.append({parent, text, kind});
        return;
    }
    execBox({parent, text, kind});
}

void reportError(QWidget *parent, const QString &text)
{
    show(parent, text, Kind::Error);
}

void guarded(QWidget *parent, const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const Error &e) {
        reportError(parent, e.text());
    } catch (const std::exception &e) {
        reportError(parent, QString::fromUtf8(e.what()));
    }
}

} // namespace messages
