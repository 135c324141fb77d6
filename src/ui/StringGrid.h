#pragma once
// A string grid indexed the way the settings pages are described: row 0 is the
// fixed header row (shown as the table's header, so it stays in view while the
// rows scroll) and rows 1.. are the data rows; column 0 is an ordinary column.
// Every cell can carry an attached object (the job behind the cell).
// Coordinates are (column, row), as the jobs keep them.

#include <QTableWidget>

class TJoint1;

class TStringGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit TStringGrid(QWidget* parent = nullptr);

    // Counts include the header row.
    int RowCount() const { return rowCount() + 1; }
    void SetRowCount(int rows);
    int ColCount() const { return columnCount(); }
    void SetColCount(int cols);

    QString Cells(int col, int row) const;
    void SetCells(int col, int row, const QString& text);
    TJoint1* Objects(int col, int row) const;
    void SetObjects(int col, int row, TJoint1* job);

    // The current cell; row 0 when no data row is current.
    int Col() const { return currentColumn(); }
    int Row() const { return currentRow() + 1; }
    void SetCurrent(int col, int row);

signals:
    // A double click on a data cell, in grid coordinates.
    void CellDoubleClicked(int col, int row);

private:
    QTableWidgetItem* ItemAt(int col, int row) const;
    QTableWidgetItem* EnsureItem(int col, int row);
};
