#pragma once

// Typing into a line edit as a user does: the edit gets the focus first (the
// tag editor's fields show their whole text only then), then the keys, which
// go through the edit's validator and length limit.

#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QTest>

inline void TypeText(QLineEdit* edit, const QString& text)
{
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(edit, &in);
    edit->clear();
    QTest::keyClicks(edit, text);
}
