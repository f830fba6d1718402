#include "ControlBarGallery.h"

#include "CPlayInfoGroup.h"
#include "CSlider.h"
#include "CToolBar.h"
#include "InterfaceScale.h"
#include "pcmsink_widget.h"

#include <QLabel>
#include <QStackedWidget>
#include <QTime>
#include <QTimer>

QImage RenderControlBar(const ControlBarSample& sample)
{
    CToolBar bar(nullptr, nullptr, nullptr);
    bar.setAttribute(Qt::WA_DontShowOnScreen);
    bar.show();
    if (sample.mini)
        bar.ChangeMiniState();
    bar.resize(sample.mini ? ScaledPixels(420) : sample.width, bar.height());

    if (sample.recording) {
        pcmsink_widget::SetRecordingFlag(true);
        bar.RecordStarted();
        bar.SongRecordStarted();
        bar.RecordingTimer()->stop();
        for (int i = 0; i < 3723; ++i)
            bar.UpdateRecordingTime();
    } else if (sample.playing) {
        CPlayInfoGroup* panel = bar.PlayInfo();
        panel->m_titleLabel->setText(QStringLiteral("Sample Song"));
        panel->m_artistLabel->setText(QStringLiteral("Sample Artist"));
        panel->m_elapsedLabel->setText(QStringLiteral("01:10"));
        panel->m_remainingLabel->setText(QStringLiteral("-02:20"));
        panel->m_statusLabel->setText(CToolBar::tr("Playing"));
        panel->m_playSlider->SetValue(3333);
        bar.PlayPauseStack()->setEnabled(true);
        bar.PlayPauseStack()->setCurrentIndex(1);
        bar.StatusStack()->setCurrentIndex(1);
        bar.SetPlayState(CToolBar::Playing);
        bar.ShowMiniPage();
    }
    const QImage image = bar.grab().toImage();
    pcmsink_widget::SetRecordingFlag(false);
    return image;
}
