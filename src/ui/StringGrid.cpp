#include "StringGrid.h"

#include <QHeaderView>

TStringGrid::TStringGrid(QWidget* parent) : QTableWidget(parent)
{
    verticalHeader()->hide();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setWordWrap(false);
    connect(this, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int col) { emit CellDoubleClicked(col, row + 1); });
}

void TStringGrid::SetRowCount(int rows)
{
    setRowCount(std::max(0, rows - 1));
}

void TStringGrid::SetColCount(int cols)
{
    setColumnCount(std::max(0, cols));
}

QTableWidgetItem* TStringGrid::ItemAt(int col, int row) const
{
    if (col < 0 || col >= columnCount() || row < 0 || row > rowCount())
        return nullptr;
    return row == 0 ? horizontalHeaderItem(col) : item(row - 1, col);
}

QTableWidgetItem* TStringGrid::EnsureItem(int col, int row)
{
    if (col < 0 || col >= columnCount() || row < 0 || row > rowCount())
        return nullptr;
    if (QTableWidgetItem* existing = ItemAt(col, row))
        return existing;
    auto* created = new QTableWidgetItem;
    if (row == 0)
        setHorizontalHeaderItem(col, created);
    else
        setItem(row - 1, col, created);
    return created;
}

QString TStringGrid::Cells(int col, int row) const
{
    const QTableWidgetItem* it = ItemAt(col, row);
    return it ? it->text() : QString();
}

void TStringGrid::SetCells(int col, int row, const QString& text)
{
    if (QTableWidgetItem* it = EnsureItem(col, row))
        it->setText(text);
}

TJoint1* TStringGrid::Objects(int col, int row) const
{
    const QTableWidgetItem* it = ItemAt(col, row);
    return it ? reinterpret_cast<TJoint1*>(it->data(Qt::UserRole).value<quintptr>()) : nullptr;
}

void TStringGrid::SetObjects(int col, int row, TJoint1* job)
{
    if (QTableWidgetItem* it = EnsureItem(col, row))
        it->setData(Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(job)));
}

void TStringGrid::SetCurrent(int col, int row)
{
    if (row >= 1)
        setCurrentCell(row - 1, col);
}
