// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/frm_vekop1.h"

#include "core/run/address_rule.h"
#include "platform/clock.h"
#include "ui/button.h"
#include "ui/editor_texts.h"
#include "ui/frm_vekmain.h"
#include "ui/main_texts.h"
#include "ui/platform/msgbox.h"
#include "ui/text_field.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr qint32 UnderSelection = -1;

QLabel *makeCaption(QWidget *parent, const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

// Every token with what it gives today, through the expansion the download uses.
QString ruleTip()
{
    const auto cell = [](const QString &tag, const QString &text) {
        return QStringLiteral("<%1 style=\"padding: 1px 8px 1px 0\">%2</%1>").arg(tag, text.toHtmlEscaped());
    };
    QString rows = QStringLiteral("<tr>");
    for (const QString &column : EditorText::RuleTipColumns)
        rows += cell(QStringLiteral("th"), column);
    rows += QStringLiteral("</tr>");
    for (const EditorText::RuleToken &t : EditorText::RuleTokens) {
        const QString token = QString::fromUtf16(t.token);
        rows += QStringLiteral("<tr>") + cell(QStringLiteral("td"), token)
                + cell(QStringLiteral("td"), QString::fromUtf16(t.meaning))
                + cell(QStringLiteral("td"), ExpandRule(token)) + QStringLiteral("</tr>");
    }
    QStringList footer;
    for (const QString &line : EditorText::RuleTipFooter)
        footer << line.toHtmlEscaped();
    return QStringLiteral("<p>%1</p><table>%2</table><p>%3</p>")
        .arg(EditorText::RuleTipHeading.toHtmlEscaped(), rows, footer.join(QStringLiteral("<br>")));
}

} // namespace

// A window of its own, kept above the main window as its transient child: it never drops
// behind it, not even after a message box.
frm_vekop1::frm_vekop1(frm_vekmain *main)
    : QWidget(main, Qt::Dialog)
    , m_main(main)
{
    setObjectName(QStringLiteral("frm_vekop1"));
    setWindowTitle(EditorText::Title);
    buildWidgets();

    connect(btn_ok, &QPushButton::clicked, this, &frm_vekop1::btn_ok_Click);
    connect(btn_root, &QPushButton::clicked, this, &frm_vekop1::btn_root_Click);
    connect(btn_cancel, &QPushButton::clicked, this, &frm_vekop1::btn_cancel_Click);
    // Every change of the box counts, also one made by the program at start-up.
    connect(Check1, &QCheckBox::toggled, this, &frm_vekop1::Check1_Click);
    connect(cip, &QLineEdit::textChanged, this, &frm_vekop1::cip_Change);
    m_midnight = new QTimer(this);
    m_midnight->setSingleShot(true);
    m_midnight->setTimerType(Qt::PreciseTimer);
    connect(m_midnight, &QTimer::timeout, this, &frm_vekop1::showToday);

    // Until start-up ticks the box, the rule box is off, as the form was drawn.
    Check1_Click();
}

void frm_vekop1::buildWidgets()
{
    txtname = makeTextField(this, "txtname");
    txtip = makeTextField(this, "txtip");

    Frame1 = new QGroupBox(EditorText::RuleFrame, this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Check1 = new QCheckBox(EditorText::MakeName, Frame1);
    Check1->setObjectName(QStringLiteral("Check1"));
    cip = makeTextField(Frame1, "cip");
    Label4 = new QLabel(Frame1);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setTextFormat(Qt::PlainText);
    Label4->setFrameShape(QFrame::Panel);
    Label4->setFrameShadow(QFrame::Sunken);
    Label4->setAutoFillBackground(true);
    Label4->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label4->setMinimumHeight(cip->sizeHint().height());

    btn_root = makeButton(this, "btn_root", EditorText::Root);
    btn_ok = makeButton(this, "btn_ok", EditorText::Ok);
    btn_cancel = makeButton(this, "btn_cancel", EditorText::Cancel);
    Cindex = new QLabel(QStringLiteral("0"), this);
    Cindex->setObjectName(QStringLiteral("Cindex"));
    Cindex->hide();

    auto *fields = new QGridLayout;
    fields->addWidget(makeCaption(this, EditorText::Name, txtname), 0, 0);
    fields->addWidget(txtname, 0, 1);
    fields->addWidget(makeCaption(this, EditorText::Address, txtip), 1, 0);
    fields->addWidget(txtip, 1, 1);
    fields->setColumnStretch(1, 1);

    auto *rule = new QGridLayout(Frame1);
    rule->addWidget(Check1, 0, 0, 1, 2);
    rule->addWidget(makeCaption(Frame1, EditorText::Rule, cip), 1, 0);
    rule->addWidget(cip, 1, 1);
    rule->addWidget(makeCaption(Frame1, EditorText::Result, Label4), 2, 0);
    rule->addWidget(Label4, 2, 1);
    rule->setColumnStretch(1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btn_root);
    buttons->addStretch();
    buttons->addWidget(btn_ok);
    buttons->addWidget(btn_cancel);

    auto *outer = new QVBoxLayout(this);
    outer->addLayout(fields);
    outer->addWidget(Frame1);
    outer->addLayout(buttons);
    setMinimumWidth(440);
}

bool frm_vekop1::isAdding() const
{
    return !btn_root->isHidden();
}

void frm_vekop1::present()
{
    show();
    raise();
    activateWindow();
    txtname->setFocus();
}

void frm_vekop1::setEntry(int entry)
{
    m_entry = entry;
    Cindex->setText(QString::number(entry));
}

void frm_vekop1::OpenForAdd(const QString &rule, int entry)
{
    present();
    txtname->clear();
    txtip->clear();
    cip->setText(rule);
    setEntry(entry);
    btn_root->setVisible(true);
}

void frm_vekop1::OpenForChange(const QString &name, const QString &address, const QString &rule, int entry)
{
    present();
    txtname->setText(name);
    txtip->setText(address);
    cip->setText(rule);
    setEntry(entry);
    btn_root->setVisible(false);
}

void frm_vekop1::SetRuleSwitch(bool on)
{
    Check1->setChecked(on);
    Check1_Click();
}

bool frm_vekop1::handOver(bool adding, qint32 Bindex)
{
    const frm_vekmain::HandOver entry{txtname->text(), txtip->text(), cip->text(), {}, Bindex};
    const Session::Changed done = adding ? Session::Changed{m_main->OpAdd(entry)} : m_main->OpWrite(entry);
    if (!done.ok()) {
        tellRefusal(done);
        return false;
    }
    hide();
    return true;
}

// The list's refusals in the words the user reads; the editor stays in front with what was
// typed, ready for the name to be mended.
void frm_vekop1::tellRefusal(const Session::Changed &changed)
{
    using Refusal = EntryTable::Refusal;
    using Folder = Session::Changed::Folder;
    const EntryTable::Edit &edit = changed.edit;
    QString text;
    switch (changed.folder) {
    case Folder::Taken:
        text = MainText::FolderTaken.arg(changed.detail);
        break;
    case Folder::RunUnderWay:
        text = MainText::RenameWhileRunning.arg(changed.detail);
        break;
    case Folder::NotMoved:
        text = MainText::FolderNotRenamed.arg(changed.detail);
        break;
    case Folder::Follows:
        break;
    }
    switch (edit.refusal) {
    case Refusal::Full:
        text = MainText::ListFull;
        break;
    case Refusal::SlotInUse:
        text = MainText::SlotInUse.arg(edit.entry);
        break;
    case Refusal::NoParent:
        text = MainText::NoParent;
        break;
    case Refusal::Gone:
        text = MainText::EntryGone;
        break;
    case Refusal::ControlCharacters:
        text = EditorText::ControlCharacters;
        break;
    case Refusal::NotFolderName:
        text = EditorText::NotFolderName;
        break;
    case Refusal::TooLong:
        text = EditorText::TooLong;
        break;
    // "nl" would be read as a deleted entry; two entries in one folder would overwrite each
    // other's pages. Both are a name taken already.
    case Refusal::DeletedMarker:
    case Refusal::SharedFolder:
        text = EditorText::Duplicate;
        break;
    case Refusal::None:
        break;
    }
    if (text.isEmpty())
        return;
    msgbox::MsgBox(this, text);
    txtname->setFocus();
}

void frm_vekop1::btn_ok_Click()
{
    if (txtname->text().isEmpty())
        return;
    const bool adding = isAdding();
    // For an add Bindex is only the switch "under the entry selected at OK"; an editor opened
    // with nothing selected still adds under what the user has selected by then.
    handOver(adding, adding && m_entry == 0 ? UnderSelection : m_entry);
}

void frm_vekop1::btn_root_Click()
{
    if (txtname->text().isEmpty())
        return;
    handOver(true, 0);
}

void frm_vekop1::btn_cancel_Click()
{
    hide();
}

void frm_vekop1::Check1_Click()
{
    const bool ticked = Check1->isChecked();
    cip->setEnabled(ticked);
    setRuleBackground(ticked);
}

void frm_vekop1::cip_Change()
{
    Label4->clear();
    Label4->setText(ExpandRule(cip->text()));
}

// Ticked: the window background of text boxes. Not ticked: a grey like the original's
// active-border colour, so the switched-off rule reads as unavailable.
void frm_vekop1::setRuleBackground(bool ticked)
{
    const QPalette base = QWidget::palette();
    QColor colour = base.color(QPalette::Base);
    if (!ticked) {
        colour = base.color(QPalette::Window);
        if (colour == base.color(QPalette::Base))
            colour = colour.darker(115);
    }
    QPalette rulePalette = cip->palette();
    rulePalette.setColor(QPalette::Base, colour);
    cip->setPalette(rulePalette);
    QPalette resultPalette = Label4->palette();
    resultPalette.setColor(QPalette::Window, colour);
    Label4->setPalette(resultPalette);
}

void frm_vekop1::showToday()
{
    cip->setToolTip(ruleTip());
    cip_Change();
    const QDateTime now = vclock::now();
    const QDateTime midnight(now.date().addDays(1), QTime(0, 0));
    // A timer that fires early finds the same day and waits again for the rest.
    const qint64 wait = std::clamp<qint64>(now.msecsTo(midnight), 0, 24 * 3600 * 1000);
    m_midnight->start(int(wait) + 1);
}

void frm_vekop1::showEvent(QShowEvent *event)
{
    showToday();
    QWidget::showEvent(event);
}

void frm_vekop1::hideEvent(QHideEvent *event)
{
    m_midnight->stop();
    QWidget::hideEvent(event);
}

void frm_vekop1::closeEvent(QCloseEvent *event)
{
    // The close box acts as Cancel: the editor is only hidden, never destroyed.
    event->ignore();
    btn_cancel_Click();
}

void frm_vekop1::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        btn_ok_Click();
        return;
    case Qt::Key_Escape:
        btn_cancel_Click();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}
