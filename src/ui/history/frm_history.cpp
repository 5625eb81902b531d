// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/history/frm_history.h"

#include "core/history/visible_text.h"
#include "core/history/word_diff.h"
#include "core/store/page_store.h"
#include "ui/button.h"
#include "ui/history/diff_model.h"
#include "ui/history/diff_view.h"
#include "ui/history/history_texts.h"
#include "ui/platform/window_state.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

using history::LineDiff;
using history::LineKind;

namespace {

enum Column { StoredColumn, FileColumn, SizeColumn, OlderColumn };
// A version's row holds its index in the versions; a row of folded versions none.
constexpr int VersionRole = Qt::UserRole;

int versionOf(const QTreeWidgetItem *row)
{
    const QVariant index = row ? row->data(StoredColumn, VersionRole) : QVariant();
    return index.isValid() ? index.toInt() : -1;
}

QString bytes(qint64 size)
{
    return HistoryText::Bytes.arg(QLocale().toString(size));
}

// The counts in the diff's own colours, as rich text.
QString countsText(const LineDiff &diff)
{
    if (diff.added == 0 && diff.removed == 0)
        return HistoryText::NoDifference.toHtmlEscaped();
    return QStringLiteral("<span style=\"color:#1a7f37\">%1</span>、<span style=\"color:#cf222e\">%2</span>")
        .arg(HistoryText::Added.arg(diff.added), HistoryText::Removed.arg(diff.removed));
}

} // namespace

frm_history::frm_history(OpenPath open, const QString &dataDir, const QString &name)
    : QWidget(nullptr)
    , m_open(std::move(open))
    , m_dataDir(dataDir)
    , m_name(name)
{
    setObjectName(QStringLiteral("frm_history"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(HistoryText::Caption.arg(name));
    buildWidgets();

    m_compareTimer.setSingleShot(true);
    m_compareTimer.setInterval(0);
    connect(&m_compareTimer, &QTimer::timeout, this, &frm_history::compare);
    connect(lst_versions, &QTreeWidget::itemSelectionChanged, &m_compareTimer,
            qOverload<>(&QTimer::start));
    connect(lst_versions, &QTreeWidget::itemDoubleClicked, this, &frm_history::btn_openversion_Click);
    connect(lst_versions, &QTreeWidget::itemClicked, this, &frm_history::lst_versions_ItemClick);
    connect(chk_allversions, &QCheckBox::toggled, this, &frm_history::showVersions);
    connect(chk_sidebyside, &QCheckBox::toggled, this, &frm_history::showDiff);
    connect(chk_html, &QCheckBox::toggled, this, &frm_history::showDiff);
    connect(btn_prevchange, &QPushButton::clicked, this, &frm_history::btn_prevchange_Click);
    connect(btn_nextchange, &QPushButton::clicked, this, &frm_history::btn_nextchange_Click);
    connect(tbl_diff->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &frm_history::updateJumps);
    connect(btn_openversion, &QPushButton::clicked, this, &frm_history::btn_openversion_Click);
    connect(btn_close, &QPushButton::clicked, this, &QWidget::close);

    listVersions();
}

void frm_history::buildWidgets()
{
    lst_versions = new QTreeWidget(this);
    lst_versions->setObjectName(QStringLiteral("lst_versions"));
    lst_versions->setHeaderLabels({HistoryText::StoredAt, HistoryText::File, HistoryText::Size,
                                   HistoryText::AgainstOlder});
    lst_versions->setRootIsDecorated(false);
    // A click opens a row of folded versions; a double click opens a version in the browser.
    lst_versions->setExpandsOnDoubleClick(false);
    lst_versions->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lst_versions->setUniformRowHeights(true);
    // A few versions at least, however the splitter is dragged.
    lst_versions->setMinimumHeight(lst_versions->fontMetrics().height() * 8);
    lbl_hint = new QLabel(HistoryText::Hint, this);
    lbl_hint->setObjectName(QStringLiteral("lbl_hint"));
    chk_allversions = new QCheckBox(HistoryText::AllVersions, this);
    chk_allversions->setObjectName(QStringLiteral("chk_allversions"));

    lbl_compared = new QLabel(this);
    lbl_compared->setObjectName(QStringLiteral("lbl_compared"));
    lbl_compared->setTextFormat(Qt::PlainText);
    chk_sidebyside = new QCheckBox(HistoryText::SideBySide, this);
    chk_sidebyside->setObjectName(QStringLiteral("chk_sidebyside"));
    chk_html = new QCheckBox(HistoryText::RawHtml, this);
    chk_html->setObjectName(QStringLiteral("chk_html"));
    lbl_counts = new QLabel(this);
    lbl_counts->setObjectName(QStringLiteral("lbl_counts"));
    lbl_counts->setTextFormat(Qt::RichText);
    btn_prevchange = makeButton(this, "btn_prevchange", HistoryText::PreviousChange);
    btn_nextchange = makeButton(this, "btn_nextchange", HistoryText::NextChange);

    m_model = new DiffModel(this);
    tbl_diff = new DiffView(m_model, this);
    tbl_diff->setObjectName(QStringLiteral("tbl_diff"));
    tbl_diff->setAccessibleName(HistoryText::DiffName);

    btn_openversion = makeButton(this, "btn_openversion", HistoryText::Open);
    btn_close = makeButton(this, "btn_close", HistoryText::Close);

    auto *listPane = new QWidget(this);
    auto *listLayout = new QVBoxLayout(listPane);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->addWidget(lst_versions, 1);
    auto *listFoot = new QHBoxLayout;
    listFoot->addWidget(lbl_hint);
    listFoot->addStretch();
    listFoot->addWidget(chk_allversions);
    listLayout->addLayout(listFoot);

    auto *diffPane = new QWidget(this);
    auto *switches = new QHBoxLayout;
    switches->addWidget(chk_sidebyside);
    switches->addWidget(chk_html);
    switches->addStretch();
    switches->addWidget(lbl_counts);
    switches->addWidget(btn_prevchange);
    switches->addWidget(btn_nextchange);
    auto *diffLayout = new QVBoxLayout(diffPane);
    diffLayout->setContentsMargins(0, 0, 0, 0);
    diffLayout->addWidget(lbl_compared);
    diffLayout->addLayout(switches);
    diffLayout->addWidget(tbl_diff, 1);

    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->setObjectName(QStringLiteral("spl_history"));
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(listPane);
    splitter->addWidget(diffPane);
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 5);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btn_openversion);
    buttons->addStretch();
    buttons->addWidget(btn_close);

    auto *outer = new QVBoxLayout(this);
    outer->addWidget(splitter, 1);
    outer->addLayout(buttons);
    // Fits a 1920×1080 screen at scale 2 with room for a title bar and a panel.
    resize(840, 480);
    windowstate::restoreSize(this);
}

void frm_history::Reload(const QString &dataDir)
{
    m_dataDir = dataDir;
    listVersions();
}

void frm_history::Rename(const QString &name, const QString &dataDir)
{
    m_name = name;
    setWindowTitle(HistoryText::Caption.arg(name));
    Reload(dataDir);
}

void frm_history::ShowOver(const QWidget *owner)
{
    windowstate::showOver(this, owner);
}

QString frm_history::describe(const history::Version &version) const
{
    return version.stored.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")) + QLatin1String(" (")
           + version.label + QLatin1Char(')');
}

void frm_history::listVersions()
{
    m_versions = history::Versions(m_dataDir, m_name);
    m_servedTypes = pagestore::ServedTypes(m_dataDir, m_name);
    lst_versions->clear();
    showVersions();
    // The newest version shown: under folded copies of the newest page, the one it first came as.
    for (int row = 0; row < lst_versions->topLevelItemCount(); ++row) {
        if (versionOf(lst_versions->topLevelItem(row)) >= 0) {
            lst_versions->setCurrentItem(lst_versions->topLevelItem(row));
            break;
        }
    }
    m_compareTimer.start();
}

void frm_history::showVersions()
{
    // The versions chosen stay chosen, and shown, when the copies are folded or unfolded.
    const QList<int> chosen = chosenVersions();
    const int current = versionOf(lst_versions->currentItem());
    const QSignalBlocker quiet(lst_versions);
    lst_versions->clear();
    const bool fold = !chk_allversions->isChecked();
    bool folded = false;
    const auto grey = [this](QTreeWidgetItem *row) {
        for (int column = StoredColumn; column <= OlderColumn; ++column)
            row->setForeground(column, palette().brush(QPalette::Disabled, QPalette::Text));
    };
    const auto add = [&](QTreeWidgetItem *parent, int index) {
        const history::Version &version = m_versions.at(index);
        auto *row = new QTreeWidgetItem(parent);
        row->setData(StoredColumn, VersionRole, index);
        row->setText(StoredColumn, version.stored.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
        row->setText(FileColumn, version.label);
        row->setText(SizeColumn, bytes(version.size));
        row->setTextAlignment(SizeColumn, Qt::AlignRight | Qt::AlignVCenter);
        const bool oldest = index + 1 == m_versions.size();
        row->setText(OlderColumn, oldest ? QString()
                                         : (version.sameAsOlder ? HistoryText::Same : HistoryText::Changed));
        // An identical version stays listed, in grey.
        if (version.sameAsOlder)
            grey(row);
        row->setSelected(chosen.contains(index));
        if (index == current)
            lst_versions->setCurrentItem(row, 0, QItemSelectionModel::NoUpdate);
    };
    QTreeWidgetItem *top = lst_versions->invisibleRootItem();
    for (int first = 0; first < m_versions.size();) {
        // Copies of the version after them, the one their page first came as.
        int original = first;
        while (original < m_versions.size() && m_versions.at(original).sameAsOlder)
            ++original;
        // One copy is shown as it is: a fold would take as much room.
        if (fold && original - first >= 2) {
            auto *copiesRow = new QTreeWidgetItem(top);
            copiesRow->setText(StoredColumn, HistoryText::SameVersions.arg(original - first));
            copiesRow->setFirstColumnSpanned(true);
            copiesRow->setFlags(Qt::ItemIsEnabled);
            grey(copiesRow);
            bool open = false;
            for (int index = first; index < original; ++index) {
                add(copiesRow, index);
                open = open || chosen.contains(index) || index == current;
            }
            copiesRow->setExpanded(open);
            folded = true;
        } else {
            for (int index = first; index < original; ++index)
                add(top, index);
        }
        if (original < m_versions.size())
            add(top, original);
        first = original + 1;
    }
    lst_versions->setRootIsDecorated(folded);
    for (int column = StoredColumn; column < OlderColumn; ++column)
        lst_versions->resizeColumnToContents(column);
}

QList<int> frm_history::chosenVersions() const
{
    QList<int> chosen;
    for (QTreeWidgetItem *row : lst_versions->selectedItems()) {
        if (versionOf(row) >= 0)
            chosen << versionOf(row);
    }
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

void frm_history::lst_versions_ItemClick(QTreeWidgetItem *row)
{
    if (row && versionOf(row) < 0)
        row->setExpanded(!row->isExpanded());
}

void frm_history::compare()
{
    const QList<int> rows = chosenVersions();
    m_textDiff.reset();
    m_rawDiff.reset();
    // A version of the pair compared before is not read again.
    Side previous[] = {std::move(m_older), std::move(m_newer)};
    m_older = {};
    m_newer = {};
    const int newer = rows.value(0, -1);
    const int older = rows.size() >= 2 ? rows.constLast() : newer + 1;
    if (newer < 0 || older >= m_versions.size()) {
        lbl_compared->setText(newer < 0 ? QString() : HistoryText::NoOlder);
        showDiff();
        return;
    }
    lbl_compared->setText(HistoryText::Compared.arg(describe(m_versions.at(older)),
                                                    describe(m_versions.at(newer))));
    const auto reuse = [this, &previous](const history::Version &version) {
        for (Side &side : previous) {
            if (side.path == version.path && side.stamp == version.stored)
                return std::move(side);
        }
        return read(version);
    };
    m_older = reuse(m_versions.at(older));
    m_newer = reuse(m_versions.at(newer));
    showDiff();
}

frm_history::Side frm_history::read(const history::Version &version) const
{
    Side side;
    side.path = version.path;
    side.stamp = version.stored;
    QFile file(version.path);
    side.readable = file.open(QIODevice::ReadOnly);
    if (side.readable) {
        side.bytes = file.readAll();
        side.page = history::DecodeVersion(side.bytes, m_servedTypes);
    }
    return side;
}

const QStringList &frm_history::lines(Side &side) const
{
    if (chk_html->isChecked()) {
        if (!side.rawLines)
            side.rawLines = history::SplitLines(history::BreakBeforeBlocks(side.page.text));
        return *side.rawLines;
    }
    if (!side.textLines)
        side.textLines = history::SplitLines(history::VisibleText(side.page.text));
    return *side.textLines;
}

void frm_history::showDiff()
{
    const bool sideBySide = chk_sidebyside->isChecked();
    LineDiff diff;
    QString counts;
    if (m_older.path.isEmpty()) {
        // Nothing to compare.
    } else if (!m_older.readable || !m_newer.readable) {
        counts = HistoryText::Unreadable.arg(!m_older.readable ? m_older.path : m_newer.path).toHtmlEscaped();
    } else if (m_older.page.binary || m_newer.page.binary) {
        // Pages that are no text are compared by their bytes only.
        const bool same = m_older.bytes == m_newer.bytes;
        const auto shown = [](const Side &side) {
            return (side.page.binary ? HistoryText::Binary : HistoryText::TextPage)
                .arg(QLocale().toString(side.bytes.size()));
        };
        const QString older = shown(m_older);
        const QString newer = shown(m_newer);
        if (same)
            diff.lines = {{LineKind::Same, 1, 1, newer}};
        else
            diff.lines = {{LineKind::Removed, 1, 0, older}, {LineKind::Added, 0, 1, newer}};
        counts = (same ? HistoryText::BinarySame : HistoryText::BinaryDiffers).toHtmlEscaped();
    } else {
        std::optional<LineDiff> &made = chk_html->isChecked() ? m_rawDiff : m_textDiff;
        if (!made) {
            made = history::DiffLines(lines(m_older), lines(m_newer));
            history::MarkChangedWords(*made);
        }
        diff = *made;
        counts = countsText(diff);
    }
    lbl_counts->setText(counts);

    const auto nameOf = [this](const Side &side) {
        for (const history::Version &version : std::as_const(m_versions)) {
            if (version.path == side.path)
                return version.stored.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        }
        return QString();
    };
    m_model->showDiff(diff, sideBySide, nameOf(m_older), nameOf(m_newer));
    QHeaderView *header = tbl_diff->horizontalHeader();
    // Line numbers as wide as the longest needs; the text takes the rest.
    const int numberWidth =
        tbl_diff->fontMetrics().horizontalAdvance(QString(QString::number(diff.lines.size()).size() + 1, u'0'));
    for (int column = 0; column < m_model->columnCount(); ++column) {
        const bool number = sideBySide ? column % 2 == 0 : column < 2;
        header->setSectionResizeMode(column, number ? QHeaderView::Fixed : QHeaderView::Stretch);
        if (number)
            tbl_diff->setColumnWidth(column, numberWidth + 8);
    }
    tbl_diff->fitRows();
    const QList<int> &starts = m_model->changeStarts();
    if (starts.isEmpty())
        updateJumps();
    else
        jumpTo(starts.constFirst());
}

void frm_history::jumpTo(int row)
{
    const QModelIndex index = m_model->index(row, 0);
    tbl_diff->setCurrentIndex(index);
    tbl_diff->scrollTo(index, QAbstractItemView::PositionAtCenter);
    updateJumps();
}

void frm_history::updateJumps()
{
    const int current = tbl_diff->currentIndex().isValid() ? tbl_diff->currentIndex().row() : -1;
    const QList<int> &starts = m_model->changeStarts();
    btn_prevchange->setEnabled(!starts.isEmpty() && starts.constFirst() < current);
    btn_nextchange->setEnabled(!starts.isEmpty() && starts.constLast() > current);
}

void frm_history::btn_prevchange_Click()
{
    const int current = tbl_diff->currentIndex().row();
    const QList<int> &starts = m_model->changeStarts();
    const auto before = std::lower_bound(starts.begin(), starts.end(), current);
    if (before != starts.begin())
        jumpTo(*std::prev(before));
}

void frm_history::btn_nextchange_Click()
{
    const int current = tbl_diff->currentIndex().isValid() ? tbl_diff->currentIndex().row() : -1;
    const QList<int> &starts = m_model->changeStarts();
    const auto after = std::upper_bound(starts.begin(), starts.end(), current);
    if (after != starts.end())
        jumpTo(*after);
}

void frm_history::btn_openversion_Click()
{
    const int row = versionOf(lst_versions->currentItem());
    if (row >= 0 && row < m_versions.size())
        m_open(m_versions.at(row).path, this);
}

void frm_history::closeEvent(QCloseEvent *event)
{
    windowstate::saveSize(this);
    QWidget::closeEvent(event);
}

void frm_history::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}
