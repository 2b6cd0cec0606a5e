#pragma once

#include "dbengine.h"

#include <QLineEdit>
#include <QPointer>

// An edit that shows one column of the current row of the query behind a data source.
class TDBEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit TDBEdit(QWidget *parent = nullptr);

    TDataSource *dataSource() const { return m_dataSource; }
    QString dataField() const { return m_dataField; }
    // The source's query must hold the column from now on: opening it fails otherwise.
    void setDataField(const QString &field);
    // Follows the source's data; a source without a query shows nothing.
    void setDataSource(TDataSource *source);
    // Shows the column of the current row; an empty text while the query is closed.
    void refresh();

private:
    void bindField();

    QPointer<TDataSource> m_dataSource;
    QString m_dataField;
};
