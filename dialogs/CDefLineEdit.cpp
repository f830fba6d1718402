#include "CDefLineEdit.h"

#include "InterfaceScale.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QResizeEvent>

CDefLineEdit::CDefLineEdit(const QString& text, QWidget* parent)
    : CNoContextMenuEdit(parent)
    , m_fullText(text)
{
    setText(text);
    // The text colour is the skin's: its fields are dark, so black text
    // would not read.
    setStyleSheet(QStringLiteral("QLineEdit{font-size: %1px;}").arg(ScaledStyleNumber(12)));
}

CDefLineEdit::~CDefLineEdit() = default;

QString CDefLineEdit::GetText() const
{
    return m_fullText.isEmpty() ? text() : m_fullText;
}

void CDefLineEdit::resizeEvent(QResizeEvent* event)
{
    CNoContextMenuEdit::resizeEvent(event);
    if (m_fullText.isEmpty())
        return;
    const QFontMetrics metrics(font());
    const int width = event->size().width();
    QString shown = m_fullText;
    while (!shown.isEmpty() && metrics.horizontalAdvance(shown) > width)
        shown.chop(1);
    // A surrogate pair cut in half would show as a broken glyph.
    if (!shown.isEmpty() && shown.at(shown.size() - 1).isHighSurrogate())
        shown.chop(1);
    // The title starts selected; cutting it to the width keeps that.
    const bool allSelected = hasSelectedText() && selectedText() == text();
    setText(shown);
    if (allSelected)
        selectAll();
}

void CDefLineEdit::focusInEvent(QFocusEvent* event)
{
    if (!m_fullText.isEmpty()) {
        setText(m_fullText);
        m_fullText.clear();
    }
    CNoContextMenuEdit::focusInEvent(event);
}

void CDefLineEdit::mousePressEvent(QMouseEvent* event)
{
    CNoContextMenuEdit::mousePressEvent(event);
}
