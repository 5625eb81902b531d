#pragma once

#include <QWidget>

class frm_vekmain;

// The entry editor. PLACEHOLDER until the editor lands.
class frm_vekop1 : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frm_vekop1)

public:
    explicit frm_vekop1(frm_vekmain *main);

private:
    frm_vekmain *m_main;
};
