#pragma once

#include "CNoContextMenuEdit.h"

#include <QString>

// A line edit of the tag editor that shows a long value cut to its width
// (without an ellipsis) until the user first focuses it; from then on it
// shows and edits the whole text. GetText() gives the whole value either way,
// so a field the user never touched keeps its value whatever its width.
// GUI thread only.
class CDefLineEdit : public CNoContextMenuEdit
{
    Q_OBJECT
public:
    CDefLineEdit(const QString& text, QWidget* parent);
    ~CDefLineEdit() override;

    // The whole value: the kept full text while the edit was never focused,
    // otherwise what the edit holds now.
    QString GetText() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // Empty once the user has focused the edit (or when it started empty).
    QString m_fullText;
};
