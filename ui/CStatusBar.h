#pragma once
#include "CMyStatusBar.h"

class CMToolButton;
class QHBoxLayout;
class QLabel;

// Bottom bar of the main window: audio source, scheduler, add play list and
// add-to-iTunes buttons on the left, the "Recording" / "Media" toggles centred,
// the Facebook and Twitter buttons on the right. The main window wires the
// buttons and drives their state.
class CStatusBar : public CMyStatusBar {
  Q_OBJECT
public:
  // `device` is the capture-device handle; kept, not used.
  CStatusBar(void* device, QWidget* parent);
  ~CStatusBar() override;

  void Retranslate();

  CMToolButton* SourcesButton() const { return m_sourcesButton; }
  CMToolButton* AddButton() const { return m_addButton; }
  CMToolButton* SchedulerButton() const { return m_schedulerButton; }
  CMToolButton* ITunesButton() const { return m_itunesButton; }
  CMToolButton* RecordingButton() const { return m_recordingButton; }
  CMToolButton* MediaButton() const { return m_mediaButton; }
  CMToolButton* FacebookButton() const { return m_facebookButton; }
  CMToolButton* TwitterButton() const { return m_twitterButton; }
  QWidget* CentreBox() const { return m_centreBox; }
  QLabel* RecordingLabel() const { return m_recordingLabel; }
  QLabel* MediaLabel() const { return m_mediaLabel; }

public slots:
  void setRecordingChecked();
  void setMediaChecked();

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  CMToolButton* m_sourcesButton = nullptr;
  CMToolButton* m_addButton = nullptr;
  CMToolButton* m_schedulerButton = nullptr;
  CMToolButton* m_itunesButton = nullptr;
  CMToolButton* m_recordingButton = nullptr;
  CMToolButton* m_mediaButton = nullptr;
  CMToolButton* m_facebookButton = nullptr;
  CMToolButton* m_twitterButton = nullptr;
  QWidget* m_leftBox = nullptr;
  QWidget* m_rightBox = nullptr;
  QHBoxLayout* m_leftLayout = nullptr;
  QHBoxLayout* m_rightLayout = nullptr;
  QWidget* m_centreBox = nullptr;
  QLabel* m_recordingLabel = nullptr;
  QLabel* m_mediaLabel = nullptr;
  void* m_device = nullptr;
};
