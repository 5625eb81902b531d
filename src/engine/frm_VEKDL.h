#pragma once

#include <QWidget>

class frm_vekmain;

// The progress dialog. PLACEHOLDER until the download engine lands.
class frm_VEKDL : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frm_VEKDL)

public:
    explicit frm_VEKDL(frm_vekmain *main);

private:
    frm_vekmain *m_main;
};
