// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/frm_vekmain.h"

#include "core/app_title.h"
#include "core/run/run_report.h"
#include "core/session.h"
#include "platform/windir.h"
#include "ui/button.h"
#include "ui/frm_VEKDL.h"
#include "ui/frm_vekop1.h"
#include "ui/history/frm_history.h"
#include "ui/main_texts.h"
#include "ui/progress_texts.h"
#include "ui/text_field.h"
#include "ui/timeout_validator.h"
#include "ui/platform/msgbox.h"
#include "ui/platform/tree_view.h"
#include "ui/platform/window_state.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QString indexedName(const char *name, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

} // namespace

frm_vekmain::frm_vekmain(Session *session, QWidget *parent)
    : QWidget(parent)
    , m_ownSession(session ? nullptr : std::make_unique<Session>(GetWindowsDirectory()))
    , m_session(session ? session : m_ownSession.get())
{
    setObjectName(QStringLiteral("frm_vekmain"));
    buildWidgets();
    optionsToFields();
    connectHandlers();
}

// The progress dialog is a top-level window of its own (a child would be disabled with the
// main window during a run), so the main window deletes it itself.
frm_vekmain::~frm_vekmain()
{
    delete m_progress;
    for (const QPointer<frm_history> &history : std::as_const(m_histories))
        delete history.data();
}

void frm_vekmain::buildWidgets()
{
    TreeView1 = new TreeView(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setMinimumSize(240, 120);

    tree_cnt = new QLabel(QStringLiteral("0"), this);
    tree_cnt->setObjectName(QStringLiteral("tree_cnt"));
    tree_cnt->hide();

    btn_add = makeButton(this, "btn_add", MainText::Add);
    btn_cng = makeButton(this, "btn_cng", MainText::Change);
    btn_del = makeButton(this, "btn_del", MainText::Delete);
    Command4 = makeButton(this, "Command4", MainText::DownloadOne);
    btn_dlstart = makeButton(this, "btn_dlstart", MainText::DownloadAll);
    btn_diropen = makeButton(this, "btn_diropen", MainText::OpenFolder);
    btn_Lopen = makeButton(this, "btn_Lopen", MainText::OpenPage);
    btn_history = makeButton(this, "btn_history", MainText::History);
    btn_load = makeButton(this, "btn_load", MainText::Load);
    btn_save = makeButton(this, "btn_save", MainText::Save);

    Label2 = new QLabel(MainText::DataFolder, this);
    Label2->setObjectName(QStringLiteral("Label2"));
    DirName = makeTextField(this, "DirName");
    Label2->setBuddy(DirName);
    btn_data_sansyou = makeButton(this, "btn_data_sansyou", MainText::Browse);

    Check1 = new QCheckBox(MainText::KeepLog, this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Text3 = makeTextField(this, "Text3");
    Text3->setAccessibleName(MainText::LogFileName);
    btn_log_sansyou = makeButton(this, "btn_log_sansyou", MainText::Browse);

    Text4 = makeTextField(this, "Text4");
    Text4->setMaximumWidth(60);
    Text4->setValidator(new TimeoutValidator(Text4));
    Label3 = new QLabel(MainText::TimeoutHint, this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setWordWrap(true);
    Label3->setBuddy(Text4);
    // A window is not sized by a wrapped label's height for its width: without room for the two
    // lines the hint takes, the rows below squeeze it.
    Label3->setMinimumHeight(2 * Label3->fontMetrics().lineSpacing());
    chk_notify = new QCheckBox(MainText::Notify, this);
    chk_notify->setObjectName(QStringLiteral("chk_notify"));
    Check2 = new QCheckBox(MainText::HostPace, this);
    Check2->setObjectName(QStringLiteral("Check2"));
    Check2->setToolTip(MainText::HostPaceTip);

    const auto limitBox = [this](const char *name, const QString &suffix, const QString &accessible,
                                 const QString &unlimited) {
        auto *box = new QSpinBox(this);
        box->setObjectName(QLatin1String(name));
        box->setAccessibleName(accessible);
        box->setRange(0, 9999);
        box->setSpecialValueText(unlimited);
        box->setSuffix(suffix);
        box->setToolTip(MainText::KeepCopiesHint);
        return box;
    };
    spn_keepdays = limitBox("spn_keepdays", MainText::KeepDaysSuffix, MainText::KeepDaysName, MainText::KeepDaysAll);
    spn_keepvers = limitBox("spn_keepvers", MainText::KeepVersionsSuffix, MainText::KeepVersionsName,
                            MainText::KeepVersionsAll);
    auto *keepLabel = new QLabel(MainText::KeepCopies, this);
    keepLabel->setBuddy(spn_keepdays);

    for (int i = 1; i <= 10; ++i) {
        Text1(i) = new QLineEdit(this);
        Text1(i)->setObjectName(indexedName("Text1", i));
        Text1(i)->setReadOnly(true);
        // Shows a connection; nothing to type there, so Tab passes it by.
        Text1(i)->setFocusPolicy(Qt::NoFocus);
    }

    // Buttons on the right of the tree, grouped by what they act on.
    auto *listButtons = new QGridLayout;
    listButtons->addWidget(btn_add, 0, 0);
    listButtons->addWidget(btn_cng, 0, 1);
    listButtons->addWidget(btn_del, 0, 2);
    listButtons->addWidget(Command4, 1, 0);
    listButtons->addWidget(btn_diropen, 1, 1);
    listButtons->addWidget(btn_Lopen, 1, 2);
    listButtons->addWidget(btn_history, 2, 0);
    listButtons->addWidget(btn_dlstart, 2, 1, 1, 2);

    TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    m_treeMenu = new QMenu(this);
    m_treeMenu->setObjectName(QStringLiteral("TreeView1_menu"));
    QAction *history = m_treeMenu->addAction(MainText::History);
    history->setObjectName(QStringLiteral("mnu_history"));
    connect(history, &QAction::triggered, this, &frm_vekmain::btn_history_Click);

    auto *fileButtons = new QHBoxLayout;
    fileButtons->addWidget(btn_load);
    fileButtons->addWidget(btn_save);
    fileButtons->addStretch();

    auto *options = new QGridLayout;
    options->addWidget(Label2, 0, 0, 1, 2);
    options->addWidget(DirName, 1, 0);
    options->addWidget(btn_data_sansyou, 1, 1);
    // The two switches of what a run leaves behind share a row.
    auto *switchRow = new QHBoxLayout;
    switchRow->addWidget(Check1);
    switchRow->addWidget(chk_notify);
    switchRow->addStretch();
    options->addLayout(switchRow, 2, 0, 1, 2);
    options->addWidget(Text3, 3, 0);
    options->addWidget(btn_log_sansyou, 3, 1);
    auto *timeoutRow = new QHBoxLayout;
    timeoutRow->addWidget(Text4, 0, Qt::AlignTop);
    timeoutRow->addWidget(Label3, 1);
    options->addLayout(timeoutRow, 4, 0, 1, 2);
    options->addWidget(Check2, 5, 0, 1, 2);
    auto *keepRow = new QHBoxLayout;
    keepRow->addWidget(keepLabel);
    keepRow->addWidget(spn_keepdays);
    keepRow->addWidget(spn_keepvers);
    keepRow->addStretch();
    options->addLayout(keepRow, 6, 0, 1, 2);

    auto *right = new QVBoxLayout;
    right->addLayout(listButtons);
    right->addSpacing(12);
    right->addLayout(options);
    right->addStretch();
    right->addLayout(fileButtons);

    auto *top = new QHBoxLayout;
    top->addWidget(TreeView1, 3);
    top->addLayout(right, 2);

    // The ten connection boxes, one per slot, numbered as the slots are.
    auto *slotGrid = new QGridLayout;
    for (int i = 1; i <= 10; ++i) {
        const int row = (i - 1) % 5;
        const int column = (i - 1) / 5 * 2;
        auto *number = new QLabel(QString::number(i), this);
        number->setBuddy(Text1(i));
        slotGrid->addWidget(number, row, column);
        slotGrid->addWidget(Text1(i), row, column + 1);
    }
    slotGrid->setVerticalSpacing(2);

    auto *outer = new QVBoxLayout(this);
    outer->addLayout(top, 1);
    outer->addLayout(slotGrid);
    // Fits a 1920×1080 screen at scale 2 with room for a title bar and a panel.
    resize(760, 480);

    // Tab follows the window as it is read: the tree, the button rows left to right, then the
    // options from top to bottom, LOAD and SAVE last.
    const QList<QWidget *> tabOrder{
        TreeView1, btn_add, btn_cng, btn_del, Command4, btn_diropen, btn_Lopen, btn_history,
        btn_dlstart, DirName, btn_data_sansyou, Check1, chk_notify, Text3, btn_log_sansyou, Text4, Check2,
        spn_keepdays, spn_keepvers, btn_load, btn_save};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

void frm_vekmain::connectHandlers()
{
    connect(btn_load, &QPushButton::clicked, this, &frm_vekmain::btn_load_Click);
    connect(btn_save, &QPushButton::clicked, this, &frm_vekmain::btn_save_Click);
    connect(btn_data_sansyou, &QPushButton::clicked, this, &frm_vekmain::btn_data_sansyou_Click);
    connect(btn_log_sansyou, &QPushButton::clicked, this, &frm_vekmain::btn_log_sansyou_Click);
    // The switch follows every change of the box, by the user or by loading settings.
    connect(Check1, &QCheckBox::stateChanged, this, &frm_vekmain::Check1_Click);
    connect(btn_diropen, &QPushButton::clicked, this, &frm_vekmain::btn_diropen_Click);
    connect(btn_Lopen, &QPushButton::clicked, this, &frm_vekmain::btn_Lopen_Click);
    connect(btn_add, &QPushButton::clicked, this, &frm_vekmain::btn_add_Click);
    connect(btn_cng, &QPushButton::clicked, this, &frm_vekmain::btn_cng_Click);
    connect(btn_del, &QPushButton::clicked, this, &frm_vekmain::btn_del_Click);
    connect(TreeView1, &TreeView::NodeClick, this, &frm_vekmain::TreeView1_NodeClick);
    connect(TreeView1, &TreeView::DblClick, this, &frm_vekmain::TreeView1_DblClick);
    connect(TreeView1, &QWidget::customContextMenuRequested, this, &frm_vekmain::TreeView1_ContextMenu);
    TreeView1->installEventFilter(this);
    connect(btn_history, &QPushButton::clicked, this, &frm_vekmain::btn_history_Click);
    connect(btn_dlstart, &QPushButton::clicked, this, &frm_vekmain::btn_dlstart_Click);
    connect(Command4, &QPushButton::clicked, this, &frm_vekmain::Command4_Click);

    // The fields show the options; what the user types is the option from then on.
    Options &options = m_session->options();
    connect(DirName, &QLineEdit::textChanged, this, [&options](const QString &text) { options.dirName = text; });
    connect(Text3, &QLineEdit::textChanged, this, [&options](const QString &text) { options.logPath = text; });
    connect(Text4, &QLineEdit::textChanged, this, [&options](const QString &text) { options.timeout = text; });
    connect(Check1, &QCheckBox::toggled, this, [&options](bool on) { options.logOn = on; });
    connect(Check2, &QCheckBox::toggled, this, [&options](bool on) { options.hostPace = on; });
    connect(spn_keepdays, &QSpinBox::valueChanged, this, [&options](int days) { options.keepDays = days; });
    connect(spn_keepvers, &QSpinBox::valueChanged, this, [&options](int n) { options.keepVersions = n; });
    connect(chk_notify, &QCheckBox::toggled, this, [&options](bool on) { options.notify = on; });
    // The notification of this window's run; one of an unattended run comes through a start
    // with --history (SingleInstance).
    connect(&m_session->notifier(), &DesktopNotifier::actionInvoked, this, &frm_vekmain::ShowHistoryOf);

    DownloadRun &run = m_session->run();
    connect(&run, &DownloadRun::slotStarting, this, [this](int slot) { Text1(slot)->clear(); });
    connect(&run, &DownloadRun::oneFailed, this,
            [this] { msgbox::MsgBox(Progress(), ProgressText::FailedBox); });
    connect(&run, &DownloadRun::finished, this, [this] {
        // The single download has told of its failure in a box of its own.
        const QString counts =
            m_session->run().wasSingle() ? QString() : runreport::EndCounts(m_session->runSummary());
        EndProgress(counts.isEmpty() ? ProgressText::Finished
                                     : ProgressText::Finished + QLatin1String("\r\n") + counts);
    });
}

void frm_vekmain::Form_Load()
{
    setWindowTitle(AppTitle());
    // Message boxes without a title of their own carry the program's name.
    QCoreApplication::setApplicationName(MainText::AppName);
    m_session->entries().EntryLimit = EntryTable::Slots;
    windowstate::restoreGeometry(this);
    LoadSettings();

    // The editor starts with its rule box on.
    Editor()->SetRuleSwitch(true);
}

QString frm_vekmain::SettingsPath() const
{
    return m_session->settingsPath();
}

const EntryTable &frm_vekmain::Entries() const
{
    return m_session->entries();
}

void frm_vekmain::SelectEntry(int n)
{
    m_selected = n;
    tree_cnt->setText(QString::number(n));
}

void frm_vekmain::optionsToFields()
{
    const Options &options = m_session->options();
    DirName->setText(options.dirName);
    Text3->setText(options.logPath);
    Check1->setChecked(options.logOn);
    Text4->setText(options.timeout);
    Check2->setChecked(options.hostPace);
    spn_keepdays->setValue(options.keepDays);
    spn_keepvers->setValue(options.keepVersions);
    chk_notify->setChecked(options.notify);
}

// An open editor holds an entry number that loading or saving may give to another entry;
// it is closed as Cancel closes it.
void frm_vekmain::closeEditor()
{
    if (m_editor)
        m_editor->hide();
}

// The tree shows the table in entry order; the table has dropped every parent that has no
// node before its child.
void frm_vekmain::rebuildTree()
{
    const EntryTable &entries = m_session->entries();
    TreeView1->ClearNodes();
    for (int n = 1; n <= EntryTable::Kept; ++n) {
        if (entries.isOccupied(n))
            TreeView1->AddNode(TreeView1->PositionOfEntry(entries.EntryParent(n)),
                               entries.EntryName(n), n);
    }
    showMarks();
}

bool frm_vekmain::LoadSettings()
{
    closeEditor();
    setEnabled(false);
    const Session::LoadResult loaded = m_session->load();
    optionsToFields();
    // The log switch governs its widgets also when the box did not change.
    Check1_Click();
    // The main window is disabled while settings load; a box of its own would be too.
    if (!loaded.unreadableLog.isEmpty())
        msgbox::MsgBox(nullptr, ProgressText::LogReadFailed.arg(loaded.unreadableLog));
    if (!loaded.foreignLog.isEmpty())
        msgbox::MsgBox(nullptr, ProgressText::LogForeign.arg(loaded.foreignLog));
    rebuildTree();
    SelectEntry(1);
    syncSelection();
    m_unsaved = false;
    setEnabled(true);

    const settingsfile::LoadReport &report = loaded.report;
    if (!report.unreadable.isEmpty()) {
        msgbox::MsgBox(this, MainText::LoadFailed.arg(report.unreadable));
        return false;
    }
    const QString lineBreak = QStringLiteral("\r\n");
    if (!report.placedAtTop.isEmpty())
        msgbox::MsgBox(this, MainText::PlacedAtTop.arg(report.placedAtTop.join(lineBreak)));
    if (!report.sharedFolders.isEmpty())
        msgbox::MsgBox(this, MainText::SharedFolders.arg(report.sharedFolders.join(lineBreak)));
    return true;
}

bool frm_vekmain::SaveSettings(bool *wroteUtf8)
{
    closeEditor();
    setEnabled(false);
    // The selection follows its entry through the moves; a deleted one is let go.
    int selected = SelectedEntry();
    if (!EntryTable::isValid(selected) || Entries().isFree(selected))
        selected = 0;
    const settingsfile::Saved saved = m_session->save(selected, m_sdata);

    // The tree is rebuilt from the compacted table, so every node leads to its own entry.
    rebuildTree();
    SelectEntry(saved.selected);
    syncSelection();
    setEnabled(true);

    if (!saved.written)
        msgbox::MsgBox(this, MainText::SaveFailed.arg(saved.error));
    else
        m_unsaved = false;
    if (wroteUtf8)
        *wroteUtf8 = saved.written && saved.utf8;
    return saved.written;
}

bool frm_vekmain::confirmUnsaved()
{
    if (!m_unsaved)
        return true;
    switch (msgbox::MsgBox(this, MainText::UnsavedQuestion, msgbox::YesNoCancel)) {
    case msgbox::vbYes:
        return SaveSettings();
    case msgbox::vbNo:
        return true;
    default:
        return false;
    }
}

void frm_vekmain::btn_load_Click()
{
    if (confirmUnsaved())
        LoadSettings();
}

void frm_vekmain::btn_save_Click()
{
    bool utf8 = false;
    if (SaveSettings(&utf8))
        msgbox::MsgBox(this, utf8 ? MainText::Saved + MainText::SavedAsUtf8 : MainText::Saved);
}

void frm_vekmain::BringToFront()
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
    // During a run the progress window is the one to act on.
    if (m_progress && m_progress->isVisible()) {
        m_progress->raise();
        m_progress->activateWindow();
    }
    // Where the desktop does not let another program's request take the focus, the window
    // at least asks for attention.
    QApplication::alert(this);
}

void frm_vekmain::closeEvent(QCloseEvent *event)
{
    if (!confirmUnsaved()) {
        event->ignore();
        return;
    }
    // Closing ends the program: a run or a single download stops as STOP stops it, and the log
    // is kept as OK keeps it; nothing is left running without a window. The windows' places
    // are kept.
    windowstate::saveGeometry(this);
    if (m_progress && m_progress->isVisible())
        windowstate::saveSize(m_progress);
    for (const QPointer<frm_history> &history : std::as_const(m_histories)) {
        if (history)
            history->close();
    }
    DownloadRun &run = m_session->run();
    if (run.isActive())
        run.stop();
    if (m_progress && m_progress->isVisible()) {
        m_progress->hide();
        ProgressClosed();
    }
    run.abandon();
    closeEditor();
    event->accept();
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}
