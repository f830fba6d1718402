#include "CSetTaskDialog.h"

#include "CAppSettings.h"
#include "InterfaceScale.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QTimeEdit>
#include <QVBoxLayout>

bool CSetTaskDialog::s_taskDisabled = true;

bool CSetTaskDialog::IsTaskDisabled()
{
    return s_taskDisabled;
}

void CSetTaskDialog::SetTaskDisabled()
{
    s_taskDisabled = true;
}

CSetTaskDialog::CSetTaskDialog(QWidget* parent)
    : QWidget(parent)
    , m_settings(CAppSettings::GetInstance())
{
    m_shutdownCheck = new QCheckBox(tr("shut down after recording finished"), this);
    m_shutdownCheck->setFixedWidth(ScaledPixels(430));
    m_startLabel = new QLabel(tr("Start time:"), this);
    m_durationLabel = new QLabel(tr("Recording Duration:"), this);

    QTime start;
    m_settings->GetTaskStart(&start);
    m_startEdit = new QTimeEdit(start, this);
    m_startEdit->setDisplayFormat(QStringLiteral("hh:mm:ss"));
    m_startEdit->setContextMenuPolicy(Qt::NoContextMenu);

    // A scheduled recording is never shorter than the shortest song the
    // filter keeps.
    m_durationEdit = new QTimeEdit(this);
    m_durationEdit->setContextMenuPolicy(Qt::NoContextMenu);
    m_durationEdit->setDisplayFormat(QStringLiteral("hh:mm:ss"));
    const int filter = qBound(0, m_settings->GetFilterTime(), 86399);
    m_durationEdit->setMinimumTime(QTime(filter / 3600, (filter % 3600) / 60, filter % 60));
    QTime duration;
    m_settings->GetTaskDuration(&duration);
    m_durationEdit->setTime(duration);

    m_shutdownCheck->setChecked(m_settings->GetAfterRecord() == 0);

    m_taskCheck = new QCheckBox(tr("Task Scheduler:"), this);

    m_group = new QGroupBox(this);
    m_group->setFixedSize(ScaledPixels(450), ScaledPixels(150));
    m_grid = new QGridLayout(m_group);
    m_grid->setContentsMargins(ScaledPixels(20), ScaledPixels(10), ScaledPixels(130),
                               ScaledPixels(10));
    m_grid->addWidget(m_startLabel, 0, 0, Qt::AlignLeft);
    m_grid->addWidget(m_startEdit, 0, 1);
    m_grid->addWidget(m_durationLabel, 1, 0, Qt::AlignLeft);
    m_grid->addWidget(m_durationEdit, 1, 1);
    m_grid->addWidget(m_shutdownCheck, 2, 0, 1, 2);

    if (!s_taskDisabled)
        m_taskCheck->setChecked(true);
    else
        m_group->setEnabled(false);

    m_vLayout = new QVBoxLayout(this);
    m_vLayout->setSpacing(ScaledPixels(5));
    m_vLayout->addWidget(m_taskCheck);
    m_vLayout->addWidget(m_group);

    connect(m_taskCheck, &QCheckBox::stateChanged, this, &CSetTaskDialog::ChangeSate);
}

CSetTaskDialog::~CSetTaskDialog() = default;

void CSetTaskDialog::ChangeSate(int state)
{
    if (state == Qt::Unchecked)
        m_group->setEnabled(false);
    else if (state == Qt::Checked)
        m_group->setEnabled(true);
}

void CSetTaskDialog::Save()
{
    if (!m_taskCheck->isChecked()) {
        s_taskDisabled = true;
        return;
    }
    s_taskDisabled = false;
    m_settings->SetAfterRecord(m_shutdownCheck->isChecked() ? 0 : 1);
    m_settings->SetTaskStart(m_startEdit->time());
    m_settings->SetTaskDuration(m_durationEdit->time());
}

void CSetTaskDialog::RetranslateUi()
{
    m_shutdownCheck->setText(tr("shut down after recording finished"));
    m_startLabel->setText(tr("Start time:"));
    m_durationLabel->setText(tr("Recording Duration:"));
    m_taskCheck->setText(tr("Task Scheduler:"));
}
