#pragma once

#include <QLineEdit>
#include <QList>
#include <utility>

// An edit that shows one column of a row read from the database (the reference marks).
class ColumnEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit ColumnEdit(QWidget *parent = nullptr);

    QString dataField() const { return m_dataField; }
    void setDataField(const QString &field) { m_dataField = field; }
    // Shows the value of its column (names match without regard to case); empty without one.
    void showRow(const QList<std::pair<QString, QString>> &row);

private:
    QString m_dataField;
};
