#include "CDeleteDialog.h"

#include "InterfaceScale.h"
#include "SystemHelpers.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

namespace {
constexpr int kFrameFlags = 3;
constexpr int kCountdownSeconds = 60;

QString DialogLabelStyle()
{
    const QString size = ScaledStyleNumber(12);
    return QStringLiteral("QLabel{color:#FFFFFF;font-size:%1px;}"
                          "QLabel:disabled{color:#a991a9;font-size:%1px;}")
        .arg(size);
}
} // namespace

CDeleteDialog::CDeleteDialog(QString message, QList<DialogButtonInfo> buttons, QWidget* parent,
                             bool doNotShowAgain, bool shutdownCountdown)
    : CMyDialogFrame(parent, kFrameFlags)
    , m_hasCheckBox(doNotShowAgain)
    , m_buttons(buttons)
{
    setFocusPolicy(Qt::NoFocus);
    setObjectName(QStringLiteral("questionDialg"));
    setStyleSheet(DialogLabelStyle());

    QWidget* content = GetContentWidget();
    m_icon = new QLabel(content);
    const int side = ScaledPixels(54);
    QPixmap tips(QStringLiteral(":/prefix/res/tips.png"));
    if (!tips.isNull())
        m_icon->setPixmap(tips.scaled(side, side, Qt::IgnoreAspectRatio, Qt::FastTransformation));

    m_message = new QLabel(message, content);
    // A message may name an address or a folder to open by hand: it can be
    // selected and copied.
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);

    if (m_hasCheckBox) {
        m_checkBox = new QCheckBox(tr("Do not show this again"), content);
        m_checkBox->setChecked(false);
    }

    m_buttonBox = new QDialogButtonBox(content);
    const bool three = m_buttons.size() == 3;
    if (three)
        m_firstBox = new QDialogButtonBox(content);

    // Only the first three records get buttons that end the dialog.
    const int used = qMin(m_buttons.size(), 3);
    for (int i = 0; i < used; ++i) {
        const DialogButtonInfo& info = m_buttons.at(i);
        QDialogButtonBox* box = (three && i == 0) ? m_firstBox : m_buttonBox;
        QPushButton* button =
            box->addButton(static_cast<QDialogButtonBox::StandardButton>(info.StandardButton));
        if (!button)
            continue;   // not a standard button value: nothing to press
        button->setText(info.text);
        if (info.isDefault) {
            button->setDefault(true);
            button->setShortcut(QKeySequence(Qt::Key_Enter));
        }
        button->setCheckable(true);
        if (i == 0)
            connect(button, &QPushButton::toggled, this, &CDeleteDialog::ButClick0);
        else if (i == 1)
            connect(button, &QPushButton::toggled, this, &CDeleteDialog::ButClick1);
        else
            connect(button, &QPushButton::toggled, this, &CDeleteDialog::ButClick2);
    }

    m_grid = new QGridLayout(content);
    const int r = m_checkBox ? 2 : 1;
    const int c = three ? 2 : 1;
    m_grid->addWidget(m_icon, 0, 0, r, 1);
    m_grid->addWidget(m_message, 0, 1, 1, c);
    if (m_checkBox)
        m_grid->addWidget(m_checkBox, 1, 1, 1, c);
    if (m_firstBox)
        m_grid->addWidget(m_firstBox, r, 1, 1, 1);
    m_grid->addWidget(m_buttonBox, r, c, 1, 1);

    if (shutdownCountdown) {
        m_timer = new QTimer(this);
        connect(m_timer, &QTimer::timeout, this, &CDeleteDialog::UpdataTime);
        m_counter = kCountdownSeconds;
        m_timer->start(1000);
    }
}

CDeleteDialog::~CDeleteDialog() = default;

bool CDeleteDialog::IsChecked() const
{
    return m_checkBox && m_checkBox->isChecked();
}

void CDeleteDialog::Finish(int index)
{
    if (index < m_buttons.size())
        done(m_buttons.at(index).StandardButton);
}

void CDeleteDialog::ButClick0(bool)
{
    Finish(0);
}

void CDeleteDialog::ButClick1(bool)
{
    Finish(1);
}

void CDeleteDialog::ButClick2(bool)
{
    Finish(2);
}

void CDeleteDialog::done(int result)
{
    // Any answer ends the countdown: nothing may power the computer off once
    // the user has answered, whatever the answer was.
    if (m_timer)
        m_timer->stop();
    CMyDialogFrame::done(result);
}

void CDeleteDialog::reject()
{
    // Escape or closing the window during a power-off countdown means Cancel,
    // so a caller that powers off on "anything but Cancel" cannot be tripped
    // by a stray key.
    if (m_timer) {
        for (const DialogButtonInfo& info : m_buttons) {
            if (info.StandardButton == QDialogButtonBox::Cancel) {
                done(info.StandardButton);
                return;
            }
        }
    }
    CMyDialogFrame::reject();
}

void CDeleteDialog::UpdataTime()
{
    if (m_counter <= 0)
        return;
    --m_counter;
    m_message->setText(tr("Your computer will be shutdown in %1 seconds").arg(m_counter));
    if (m_counter == 0) {
        // One attempt only; if it fails the dialog stays for the user to answer.
        m_timer->stop();
        ShutdownComputer();
    }
}
