#include "CDefTextEdit.h"

#include "CAppSettings.h"
#include "InterfaceScale.h"

CDefTextEdit::CDefTextEdit(const QString& defaultText, QWidget* parent)
    : QTextEdit(parent)
    , m_defaultText(defaultText)
{
    setTabChangesFocus(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setPlainText(m_defaultText);
    ApplyStyle(true);
}

CDefTextEdit::~CDefTextEdit() = default;

bool CDefTextEdit::IsStoredMail(const QString& text) const
{
    const QString mail = CAppSettings::GetInstance()->GetUserMail();
    return !mail.isEmpty() && text == mail;
}

void CDefTextEdit::ApplyStyle(bool grey)
{
    m_grey = grey;
    const double scale = GetInterfaceScale();
    const QString style = grey
        ? QStringLiteral("QTextEdit{color: darkgray;border-radius: %1px;font-size: %2px;}")
        : QStringLiteral("QTextEdit{color: black;border-radius: %1px;font-size: %2px;}");
    setStyleSheet(style.arg(QString::number(3 * scale, 'g'), QString::number(12 * scale, 'g')));
}

void CDefTextEdit::SetDefaultText(const QString& text)
{
    m_defaultText = text;
    setPlainText(text);
    ApplyStyle(!IsStoredMail(text));
}

void CDefTextEdit::focusInEvent(QFocusEvent* event)
{
    if (!m_edited) {
        const QString text = toPlainText();
        if (text == m_defaultText && !IsStoredMail(text))
            clear();
        ApplyStyle(false);
        m_edited = true;
    }
    QTextEdit::focusInEvent(event);
}

void CDefTextEdit::focusOutEvent(QFocusEvent* event)
{
    if (toPlainText().isEmpty()) {
        setPlainText(m_defaultText);
        ApplyStyle(!IsStoredMail(m_defaultText));
    }
    QTextEdit::focusOutEvent(event);
}
