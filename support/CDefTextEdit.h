#pragma once

#include <QTextEdit>

// A text field with a grey default text that gives way to the user's input.
// A default text equal to the stored user e-mail is real input: it is shown
// black and not cleared on focus.
class CDefTextEdit : public QTextEdit
{
    Q_OBJECT
public:
    CDefTextEdit(const QString& defaultText, QWidget* parent);
    ~CDefTextEdit() override;

    void SetDefaultText(const QString& text);
    QString DefaultText() const { return m_defaultText; }
    bool IsEdited() const { return m_edited; }
    // True while the grey style is applied.
    bool IsGrey() const { return m_grey; }

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void ApplyStyle(bool grey);
    bool IsStoredMail(const QString& text) const;

    bool m_edited = false;
    QString m_defaultText;
    bool m_grey = true;
};
