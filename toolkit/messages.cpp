#include "toolkit/messages.h"

#include "toolkit/error.h"

#include <algorithm>
#include <memory>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

using namespace Qt::StringLiterals;

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
int s_guardMs = 350;

void showNext();

// A box that comes up as the judge presses a key takes that key: はい by Space or Enter would
// close the box unread instead of answering. Keys and clicks that would close it count only
// once it has been on the screen for longer than anyone takes to see it.
class FreshBoxGuard : public QObject
{
public:
    explicit FreshBoxGuard(QMessageBox &box) : QObject(&box), m_box(box)
    {
        box.installEventFilter(this);
        for (QAbstractButton *button : box.buttons())
            button->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // On the screen once drawn, which on a busy PC can be a while after it was opened.
        if (watched == &m_box && event->type() == QEvent::Paint && !m_drawn.isValid())
            m_drawn.start();
        return s_guardMs > 0 && closes(watched, event) &&
               (!m_drawn.isValid() || !m_drawn.hasExpired(s_guardMs));
    }

private:
    static bool closes(QObject *watched, QEvent *event)
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            switch (static_cast<QKeyEvent *>(event)->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Space:
            case Qt::Key_Escape:
                return true;
            default:
                return false; // Ctrl+C copies the text at once
            }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            // The text can be selected at once.
            return qobject_cast<QAbstractButton *>(watched) != nullptr;
        default:
            return false;
        }
    }

    QMessageBox &m_box;
    QElapsedTimer m_drawn;
};

QMessageBox *makeBox(const Box &b)
{
    auto *box =
        new QMessageBox(b.kind == Kind::Error ? QMessageBox::Critical : QMessageBox::Information,
                        QApplication::applicationName(), b.text, QMessageBox::Ok, b.parent);
    // Texts carry values from the database and the engine: never markup.
    box->setTextFormat(Qt::PlainText);
    new FreshBoxGuard(*box);
    return box;
}

// The box is closed: the next text waiting gets its turn, from the event loop.
void closed()
{
    s_open = false;
    s_openText.clear();
    if (!s_waiting.isEmpty())
        QTimer::singleShot(0, QCoreApplication::instance(), showNext);
}

void openBox(const Box &b)
{
    s_open = true;
    s_openText = b.text;
    QMessageBox *box = makeBox(b);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Modal to every window, as the judge expects of a box, without a loop of its own.
    box->setWindowModality(Qt::ApplicationModal);
    // Once, however it goes: closed by the judge, or destroyed with its window.
    QObject::connect(box, &QObject::destroyed, QCoreApplication::instance(), closed);
    box->show();
}

void showNext()
{
    if (s_open || s_waiting.isEmpty())
        return;
    openBox(s_waiting.takeFirst());
}

} // namespace

void setSink(Sink s)
{
    sink() = std::move(s);
}

void setFreshBoxGuardForTests(int ms)
{
    s_guardMs = ms;
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
    openBox({parent, text, kind});
}

void showAndWait(const QString &text)
{
    if (sink()) {
        sink()(Kind::Information, text);
        return;
    }
    std::unique_ptr<QMessageBox> box(makeBox({nullptr, text, Kind::Information}));
    box->exec();
}

void reportError(QWidget *parent, const QString &text)
{
    show(parent, text, Kind::Error);
}

void reportEscaped(QWidget *parent, const std::exception_ptr &escaped)
{
    try {
        std::rethrow_exception(escaped);
    } catch (const Error &e) {
        reportError(parent, e.text());
    } catch (const std::exception &e) {
        reportError(parent, QString::fromUtf8(e.what()));
    } catch (...) {
        reportError(parent, u"An unexpected error"_s);
    }
}

} // namespace messages
