#include "toolkit/radiogroup.h"

#include <QRadioButton>

RadioGroup::RadioGroup(const QString &caption, const QStringList &items, QWidget *parent)
    : QGroupBox(caption, parent)
{
    for (qsizetype i = 0; i < items.size(); ++i) {
        auto *b = new QRadioButton(items[i], this);
        b->setAutoExclusive(false); // the group decides, so that it can also show no selection
        const int index = int(i);
        connect(b, &QRadioButton::toggled, this, [this, index](bool on) { onToggled(index, on); });
        m_buttons.append(b);
    }
    updateTabStops();
}

void RadioGroup::setItemIndex(int index)
{
    if (index < 0 || index >= m_buttons.size()) {
        m_index = -1;
        for (QRadioButton *b : std::as_const(m_buttons)) {
            const QSignalBlocker block(b);
            b->setChecked(false);
        }
        updateTabStops();
        return;
    }
    m_buttons[index]->setChecked(true);
}

void RadioGroup::onToggled(int index, bool checked)
{
    if (!checked) {
        // A judge's click cannot take the check off the selected item.
        if (index == m_index) {
            const QSignalBlocker block(m_buttons[index]);
            m_buttons[index]->setChecked(true);
        }
        return;
    }
    if (index == m_index)
        return;
    if (m_index >= 0) {
        const QSignalBlocker block(m_buttons[m_index]);
        m_buttons[m_index]->setChecked(false);
    }
    m_index = index;
    updateTabStops();
    Q_EMIT clicked();
}

void RadioGroup::updateTabStops()
{
    // Only the selected item is a tab stop; with none selected, the first one is.
    for (qsizetype i = 0; i < m_buttons.size(); ++i) {
        const bool stop = m_index < 0 ? i == 0 : i == m_index;
        m_buttons[i]->setFocusPolicy(stop ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

void RadioGroup::resizeEvent(QResizeEvent *event)
{
    QGroupBox::resizeEvent(event);
    layoutItems();
}

void RadioGroup::layoutItems()
{
    // Items share the space below the caption in equal rows, as the desktop's radio group does.
    const QRect r = contentsRect().adjusted(8, 0, -4, -2);
    const int n = int(m_buttons.size());
    if (n == 0)
        return;
    const int rowHeight = r.height() / n;
    for (int i = 0; i < n; ++i) {
        const int h = m_buttons[i]->sizeHint().height();
        m_buttons[i]->setGeometry(r.left(), r.top() + i * rowHeight + (rowHeight - h) / 2,
                                  r.width(), h);
    }
}
