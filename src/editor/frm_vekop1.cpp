#include "editor/frm_vekop1.h"

#include "app/frm_vekmain.h"

frm_vekop1::frm_vekop1(frm_vekmain *main)
    : QWidget(nullptr)
    , m_main(main)
{
    setObjectName(QStringLiteral("frm_vekop1"));
}

frm_vekop1 *frm_vekmain::Editor()
{
    if (!m_editor)
        m_editor = new frm_vekop1(this);
    return m_editor;
}
