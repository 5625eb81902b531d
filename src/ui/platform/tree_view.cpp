// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/platform/tree_view.h"

#include <QHeaderView>

namespace {
constexpr int EntryRole = Qt::UserRole + 1;
}

TreeView::TreeView(QWidget *parent)
    : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setExpandsOnDoubleClick(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Keyboard moves select as clicks do.
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *current) {
        if (!m_silent && current)
            emit NodeClick(positionOf(current));
    });
    connect(this, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem *clicked) { emit NodeClick(positionOf(clicked)); });
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this] { emit DblClick(); });
}

void TreeView::ClearNodes()
{
    m_silent = true;
    m_nodes.clear();
    clear();
    m_silent = false;
}

int TreeView::AddNode(int parentPosition, const QString &text, int entry)
{
    QTreeWidgetItem *node = nullptr;
    if (parentPosition == 0) {
        node = new QTreeWidgetItem(this);
    } else if (HasNode(parentPosition)) {
        node = new QTreeWidgetItem(item(parentPosition));
        item(parentPosition)->setExpanded(true);
    } else {
        return 0;
    }
    setNodeText(node, text);
    node->setData(0, EntryRole, entry);
    m_nodes.append(node);
    return NodeCount();
}

void TreeView::RemoveNode(int position)
{
    QTreeWidgetItem *node = item(position);
    if (!node)
        return;
    m_silent = true;
    // The node and all its descendants leave the collection; later nodes move up.
    m_nodes.removeIf([node](QTreeWidgetItem *n) {
        for (QTreeWidgetItem *p = n; p; p = p->parent()) {
            if (p == node)
                return true;
        }
        return false;
    });
    delete node;
    m_silent = false;
}

void TreeView::SetNodeText(int position, const QString &text)
{
    if (QTreeWidgetItem *node = item(position))
        setNodeText(node, text);
}

void TreeView::SetNodeBold(int position, bool bold)
{
    QTreeWidgetItem *node = item(position);
    if (!node || node->font(0).bold() == bold)
        return;
    QFont font = node->font(0);
    font.setBold(bold);
    node->setFont(0, font);
}

// A long name is cut at the tree's edge; the tool tip shows it whole.
void TreeView::setNodeText(QTreeWidgetItem *node, const QString &text)
{
    node->setText(0, text);
    node->setToolTip(0, text);
}

QString TreeView::NodeText(int position) const
{
    const QTreeWidgetItem *node = item(position);
    return node ? node->text(0) : QString();
}

int TreeView::ParentPosition(int position) const
{
    const QTreeWidgetItem *node = item(position);
    return node && node->parent() ? positionOf(node->parent()) : 0;
}

int TreeView::EntryOf(int position) const
{
    const QTreeWidgetItem *node = item(position);
    return node ? node->data(0, EntryRole).toInt() : 0;
}

int TreeView::PositionOfEntry(int entry) const
{
    for (int pos = 1; pos <= NodeCount(); ++pos) {
        if (EntryOf(pos) == entry)
            return pos;
    }
    return 0;
}

int TreeView::NodeAt(const QPoint &point) const
{
    const QTreeWidgetItem *node = itemAt(point);
    return node ? positionOf(node) : 0;
}

QRect TreeView::NodeRect(int position) const
{
    const QTreeWidgetItem *node = item(position);
    return node ? visualItemRect(node) : QRect();
}

void TreeView::SelectNode(int position)
{
    QTreeWidgetItem *node = item(position);
    m_silent = true;
    setCurrentItem(node);
    if (node)
        scrollToItem(node);
    else
        clearSelection();
    m_silent = false;
}

int TreeView::positionOf(const QTreeWidgetItem *node) const
{
    return int(m_nodes.indexOf(node)) + 1;
}

QTreeWidgetItem *TreeView::item(int position) const
{
    return HasNode(position) ? m_nodes[position - 1] : nullptr;
}
