#pragma once

#include <QGroupBox>
#include <QList>

class QButtonGroup;
class QRadioButton;

// A group box of radio items with one selected item or none (item index -1).
// clicked() comes whenever a new item becomes selected, by the user or by the program;
// not when the selected item is chosen again and not when the selection is cleared.
class RadioGroup : public QGroupBox
{
    Q_OBJECT
public:
    RadioGroup(const QString &caption, const QStringList &items, QWidget *parent = nullptr);

    int itemIndex() const { return m_index; }
    void setItemIndex(int index);
    QRadioButton *item(int index) const { return m_buttons.value(index); }
    qsizetype count() const { return m_buttons.size(); }

Q_SIGNALS:
    void clicked();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void onToggled(int index, bool checked);
    void layoutItems();
    void updateTabStops();

    QList<QRadioButton *> m_buttons;
    int m_index = -1;
};
