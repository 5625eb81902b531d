// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTableView>
#include <QTimer>

class DiffModel;
class DiffLineDelegate;

// The diff's table: every line whole, wrapped to the width of its column, with the words that
// changed inside it marked. A row is as tall as its longest cell needs; the many rows that fit
// on one line are told apart without laying them out, so a diff of many thousand lines shows
// at once.
class DiffView : public QTableView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DiffView)

public:
    explicit DiffView(DiffModel *model, QWidget *parent = nullptr);

    // The rows made as tall as their lines need at the columns' widths now: after a new diff,
    // and by itself when a column's width changes.
    void fitRows();

private:
    DiffModel *m_model;
    DiffLineDelegate *m_delegate;
    // Rows made taller than one line, made one line again before the next fit.
    QList<int> m_tallRows;
    // A window resized by dragging changes the widths many times; the rows follow once.
    QTimer m_fitTimer;
};
