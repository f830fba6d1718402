#include "CSkinButton.h"

#include "InterfaceScale.h"

#include <QLabel>

CSkinButton::CSkinButton(QWidget* parent) : QToolButton(parent) {
  m_checkMark = new QLabel(this);
  m_checkMark->setObjectName(QStringLiteral("skinCheckMark"));
  m_checkMark->setStyleSheet(QStringLiteral("border-image: url(:/prefix/res/Settings/check_but_down.png);"));
  m_checkMark->setGeometry(0, 0, ScaledPixels(15), ScaledPixels(15));
  m_checkMark->hide();
}

CSkinButton::~CSkinButton() = default;

void CSkinButton::SetMarked(bool marked) { m_checkMark->setVisible(marked); }

bool CSkinButton::IsMarked() const { return !m_checkMark->isHidden(); }
