#include "dbedit.h"

#include "dbengine.h"

TDBEdit::TDBEdit(QWidget *parent) : QLineEdit(parent)
{
    // Shows the data only; nothing is written back.
    setReadOnly(true);
}

void TDBEdit::setDataField(const QString &field)
{
    m_dataField = field;
    bindField();
    refresh();
}

void TDBEdit::setDataSource(TDataSource *source)
{
    if (m_dataSource == source)
        return;
    if (m_dataSource)
        disconnect(m_dataSource, nullptr, this, nullptr);
    m_dataSource = source;
    if (source)
        connect(source, &TDataSource::dataChanged, this, &TDBEdit::refresh);
    bindField();
    refresh();
}

void TDBEdit::bindField()
{
    if (m_dataSource && !m_dataField.isEmpty())
        m_dataSource->bindField(m_dataField);
}

void TDBEdit::refresh()
{
    const TQuery *q = m_dataSource ? m_dataSource->dataSet() : nullptr;
    const QString value =
        q && !m_dataField.isEmpty() ? q->fieldIfAny(m_dataField).value_or(QString()) : QString();
    // The query closes and opens on every new competitor; an unchanged value costs nothing.
    if (text() != value)
        setText(value);
}
