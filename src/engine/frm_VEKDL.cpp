#include "engine/frm_VEKDL.h"

#include "app/frm_vekmain.h"

frm_VEKDL::frm_VEKDL(frm_vekmain *main)
    : QWidget(nullptr)
    , m_main(main)
{
    setObjectName(QStringLiteral("frm_VEKDL"));
}

frm_VEKDL *frm_vekmain::Progress()
{
    if (!m_progress)
        m_progress = new frm_VEKDL(this);
    return m_progress;
}
