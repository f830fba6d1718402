#include "DiskNoEnoughDialog.h"

#include "InterfaceScale.h"

#include <QHBoxLayout>
#include <QLabel>

DiskNoEnoughDialog::DiskNoEnoughDialog(QWidget* parent, int)
    : CMyDialogFrame(parent, Qt::Dialog | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("regDlog"));
    setFixedSize(ScaledPixels(615), ScaledPixels(270));
    setStyleSheet(QStringLiteral("QLabel{color: #FFFFFF;font-size: %1px;}")
                      .arg(ScaledStyleNumber(24)));

    QWidget* content = GetContentWidget();
    m_message = new QLabel(tr("The current path is invalid!"), content);
    auto* layout = new QHBoxLayout(content);
    layout->setContentsMargins(ScaledPixels(200), ScaledPixels(90), 0, 0);
    layout->addWidget(m_message);
}

DiskNoEnoughDialog::~DiskNoEnoughDialog() = default;
