// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QValidator>

// The time-out box takes whole seconds from 1 to 3,600 and nothing else, so a typed word can
// no longer turn silently into the default. Full-width digits, as an input method in Japanese
// mode types them, are taken as the digits they are. A value loaded from an old settings file
// is shown as it is: only typing is checked.
class TimeoutValidator : public QValidator
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TimeoutValidator)

public:
    static constexpr int MaxSeconds = 3600;

    explicit TimeoutValidator(QObject *parent);

    State validate(QString &input, int &pos) const override;
};
