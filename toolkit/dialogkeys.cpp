#include "toolkit/dialogkeys.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTextEdit>
#include <QWidget>

#include <algorithm>
#include <climits>

namespace dialogkeys {

namespace {

const char *const s_windowProperty = "tollivaneDialogKeys";
const char *const s_orderProperty = "tollivaneTabOrder";

int orderOf(const QWidget *w)
{
    const QVariant v = w->property(s_orderProperty);
    return v.isValid() ? v.toInt() : INT_MAX;
}

QList<QWidget *> childWidgets(QWidget *parent)
{
    QList<QWidget *> result;
    for (QObject *o : parent->children()) {
        auto *w = qobject_cast<QWidget *>(o);
        if (w && !w->isWindow())
            result.append(w);
    }
    std::stable_sort(result.begin(), result.end(),
                     [](const QWidget *a, const QWidget *b) { return orderOf(a) < orderOf(b); });
    return result;
}

bool canFocusNow(QWidget *w, QWidget *window)
{
    return w->focusPolicy() != Qt::NoFocus && w->isEnabled() && w->isVisibleTo(window) &&
           (window->isVisible() ? w->isVisible() : true);
}

void collect(QWidget *parent, QWidget *window, bool tabStopsOnly, QList<QWidget *> &out)
{
    for (QWidget *w : childWidgets(parent)) {
        const bool tabStop = (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus;
        if (!tabStopsOnly || (tabStop && canFocusNow(w, window)))
            out.append(w);
        collect(w, window, tabStopsOnly, out);
    }
}

bool wantsArrows(const QWidget *w)
{
    return qobject_cast<const QLineEdit *>(w) || qobject_cast<const QAbstractSpinBox *>(w) ||
           qobject_cast<const QTextEdit *>(w) || qobject_cast<const QPlainTextEdit *>(w) ||
           qobject_cast<const QComboBox *>(w);
}

void focusByKey(QWidget *target, Qt::FocusReason reason)
{
    target->setFocus(reason);
    // A radio button that takes the focus from an arrow key is checked, as on the desktop.
    if (auto *radio = qobject_cast<QRadioButton *>(target); radio && reason == Qt::OtherFocusReason)
        radio->setChecked(true);
}

class Filter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto *w = qobject_cast<QWidget *>(watched);
        if (!w || w != QApplication::focusWidget() ||
            !w->window()->property(s_windowProperty).toBool())
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        switch (key->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if (mods & (Qt::ControlModifier | Qt::AltModifier))
                return false;
            moveInWindow(w, key->key() == Qt::Key_Tab && !(mods & Qt::ShiftModifier));
            return true;
        case Qt::Key_Left:
        case Qt::Key_Up:
        case Qt::Key_Right:
        case Qt::Key_Down:
            if (wantsArrows(w))
                return false;
            moveInParent(w, key->key() == Qt::Key_Right || key->key() == Qt::Key_Down);
            return true;
        default:
            return false;
        }
    }
};

} // namespace

void install(QWidget *window)
{
    static Filter *filter = nullptr;
    if (!filter) {
        filter = new Filter(qApp);
        qApp->installEventFilter(filter);
    }
    window->setProperty(s_windowProperty, true);
}

void setTabOrder(QWidget *w, int order)
{
    w->setProperty(s_orderProperty, order);
}

QList<QWidget *> tabOrderList(QWidget *window, bool tabStopsOnly)
{
    QList<QWidget *> out;
    collect(window, window, tabStopsOnly, out);
    return out;
}

void applyTabChain(QWidget *window)
{
    QList<QWidget *> chain;
    for (QWidget *w : tabOrderList(window, false)) {
        if (w->focusPolicy() != Qt::NoFocus)
            chain.append(w);
    }
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void tabStopFollowsCheck(QRadioButton *button)
{
    auto update = [button](bool checked) {
        button->setFocusPolicy(checked ? Qt::StrongFocus : Qt::ClickFocus);
    };
    update(button->isChecked());
    QObject::connect(button, &QRadioButton::toggled, button, update);
}

bool moveInParent(QWidget *focused, bool forward)
{
    QWidget *parent = focused->parentWidget();
    if (!parent)
        return false;
    QWidget *window = focused->window();
    QList<QWidget *> siblings;
    for (QWidget *w : childWidgets(parent)) {
        if (w == focused || canFocusNow(w, window))
            siblings.append(w);
    }
    const qsizetype at = siblings.indexOf(focused);
    if (siblings.size() < 2 || at < 0)
        return false;
    const qsizetype n = siblings.size();
    QWidget *target = siblings[(at + (forward ? 1 : n - 1)) % n];
    focusByKey(target, Qt::OtherFocusReason);
    return true;
}

bool moveInWindow(QWidget *focused, bool forward)
{
    QWidget *window = focused->window();
    const QList<QWidget *> stops = tabOrderList(window, true);
    if (stops.isEmpty())
        return false;
    qsizetype at = stops.indexOf(focused);
    const qsizetype n = stops.size();
    QWidget *target;
    if (at < 0) {
        // Focus on a control that is no tab stop: continue from where it stands in the order.
        const QList<QWidget *> all = tabOrderList(window, false);
        const qsizetype pos = all.indexOf(focused);
        target = forward ? stops.first() : stops.last();
        for (qsizetype i = 1; pos >= 0 && i <= all.size(); ++i) {
            QWidget *c = all[(pos + (forward ? i : all.size() - i)) % all.size()];
            if (stops.contains(c)) {
                target = c;
                break;
            }
        }
    } else {
        target = stops[(at + (forward ? 1 : n - 1)) % n];
    }
    if (target == focused)
        return false;
    focusByKey(target, forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

} // namespace dialogkeys
