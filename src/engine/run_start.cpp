#include "app/frm_vekmain.h"

#include "engine/engine_texts.h"
#include "engine/frm_VEKDL.h"
#include "engine/timeout_text.h"
#include "platform/clock.h"
#include "platform/msgbox.h"
#include "platform/vbtimer.h"

#include <QLineEdit>
#include <QPushButton>

namespace {
constexpr int TickMs = 500;
}

frm_VEKDL *frm_vekmain::BeginProgress()
{
    btn_dlstart->setEnabled(false);
    setEnabled(false);
    frm_VEKDL *dialog = Progress();
    dialog->show();
    dialog->raise();
    dialog->Command1->setEnabled(true);
    dialog->Command2->setEnabled(false);
    dialog->AppendLog(EngineText::CrLf + EngineText::RunStart + vclock::Date() + QLatin1Char(' ')
                      + vclock::Time() + EngineText::RunClose + EngineText::CrLf);
    return dialog;
}

// The box is answered before OK becomes usable; the main window stays disabled until OK.
void frm_vekmain::EndProgress(const QString &finalBox)
{
    frm_VEKDL *dialog = Progress();
    // The main window is disabled; the dialog carries the box.
    msgbox::MsgBox(dialog, finalBox);
    btn_dlstart->setEnabled(true);
    dialog->Command1->setEnabled(false);
    dialog->Command2->setEnabled(true);
}

void frm_vekmain::btn_dlstart_Click()
{
    frm_VEKDL *dialog = BeginProgress();
    bool valid = true;
    const int seconds = engine::TimeoutSeconds(Text4->text(), &valid);
    if (!valid)
        dialog->AppendLog(EngineText::CrLf
                          + EngineText::BadTimeout.arg(Text4->text()).arg(seconds));
    RunCursor = 1;
    Timer1->setInterval(TickMs);
}
