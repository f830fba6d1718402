#pragma once

#include <QString>

// One button of the question dialog.
struct DialogButtonInfo {
    // A QDialogButtonBox::StandardButton value: the button's role and what
    // exec() returns when it is pressed.
    int StandardButton = 0;
    QString text;          // caption, already translated
    bool isDefault = false;
};
