// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/history/line_diff.h"
#include "core/history/page_decoding.h"
#include "core/history/page_history.h"

#include <QDateTime>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

class DiffModel;
class DiffView;
class QCheckBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// 「履歴」: an entry's stored versions, newest first, and what changed between two of them.
// A window of its own, one per entry; it only ever reads the stored files.
class frm_history : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frm_history)

public:
    // Hands a path to the desktop, telling the user over `over` when it has no program for it.
    using OpenPath = std::function<void(const QString &path, QWidget *over)>;

    frm_history(OpenPath open, const QString &dataDir, const QString &name);

    QString EntryName() const { return m_name; }
    // The versions listed again (a run may have stored a page), the newest compared.
    void Reload(const QString &dataDir);
    // The entry was renamed, and its folder with it: the versions are listed from there.
    void Rename(const QString &name, const QString &dataDir);
    // Shows the window in front, centred over `owner` when it opens.
    void ShowOver(const QWidget *owner);

    // Handlers, connected in the constructor.
    void btn_openversion_Click();
    void btn_prevchange_Click();
    void btn_nextchange_Click();
    void lst_versions_ItemClick(QTreeWidgetItem *row);

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // One compared version, read once and turned into lines as they are asked for.
    struct Side {
        QString path;
        QDateTime stamp;
        bool readable = false;
        QByteArray bytes;
        history::PageText page;
        std::optional<QStringList> rawLines;
        std::optional<QStringList> textLines;
    };

    void buildWidgets();
    void listVersions();
    // The list filled again, the copies of a version folded unless all are to be shown.
    void showVersions();
    // The versions chosen in the list, oldest last.
    QList<int> chosenVersions() const;
    // The versions chosen in the list: the newer one, and the one before it or the second
    // chosen.
    void compare();
    void showDiff();
    Side read(const history::Version &version) const;
    const QStringList &lines(Side &side) const;
    QString describe(const history::Version &version) const;
    void jumpTo(int row);
    void updateJumps();

    OpenPath m_open;
    QString m_dataDir;
    QString m_name;
    QList<history::Version> m_versions;
    // The Content-Type each stored page came with, by its hash.
    QHash<QByteArray, QByteArray> m_servedTypes;
    Side m_older;
    Side m_newer;
    // The diffs of the pair compared now, made when first shown.
    std::optional<history::LineDiff> m_textDiff;
    std::optional<history::LineDiff> m_rawDiff;
    // The list shows at once; the comparison follows on the next turn of the event loop.
    QTimer m_compareTimer;
    DiffModel *m_model = nullptr;

    QTreeWidget *lst_versions = nullptr;
    QLabel *lbl_hint = nullptr;
    QCheckBox *chk_allversions = nullptr;
    QLabel *lbl_compared = nullptr;
    QCheckBox *chk_sidebyside = nullptr;
    QCheckBox *chk_html = nullptr;
    QLabel *lbl_counts = nullptr;
    QPushButton *btn_prevchange = nullptr;
    QPushButton *btn_nextchange = nullptr;
    DiffView *tbl_diff = nullptr;
    QPushButton *btn_openversion = nullptr;
    QPushButton *btn_close = nullptr;
};
