#include "messages.h"

#include "error.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

namespace messages {

namespace {

Sink &sink()
{
    static Sink s;
    return s;
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
    QMessageBox box(kind == Kind::Error ? QMessageBox::Critical : QMessageBox::Information,
                    QApplication::applicationName(), text, QMessageBox::Ok, parent);
    box.exec();
}

void reportError(QWidget *parent, const QString &text)
{
    show(parent, text, Kind::Error);
}

void guarded(QWidget *parent, const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const TError &e) {
        reportError(parent, e.text());
    } catch (const std::exception &e) {
        reportError(parent, QString::fromUtf8(e.what()));
    }
}

} // namespace messages
