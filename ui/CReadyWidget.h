#pragma once
#include "CBackgroundCache.h"

#include <QFrame>

class QFormLayout;
class QHBoxLayout;
class QLabel;
class QToolButton;

// Start page shown before anything has been recorded: a headline and two
// numbered hints, each with an image button (audio source settings, start
// recording). The main window connects the buttons.
class CReadyWidget : public QFrame {
  Q_OBJECT
public:
  // `device` is the capture-device handle; kept, not used.
  CReadyWidget(void* device, QWidget* parent);
  ~CReadyWidget() override;

  void Retranslate();

  QToolButton* SourcesButton() const { return m_sourcesButton; }
  QToolButton* RecordButton() const { return m_recordButton; }
  QWidget* ContentWidget() const { return m_content; }
  QLabel* Headline() const { return m_headline; }
  QLabel* FirstHint() const { return m_firstHint; }
  QLabel* SecondHint() const { return m_secondHint; }

protected:
  void resizeEvent(QResizeEvent* event) override;
  // The skin's page background, as the recording page has it, so the window
  // does not change its face when the first recording starts.
  void paintEvent(QPaintEvent* event) override;

private:
  QWidget* m_content = nullptr;
  QLabel* m_headline = nullptr;
  QLabel* m_firstHint = nullptr;
  QLabel* m_secondHint = nullptr;
  QToolButton* m_sourcesButton = nullptr;
  QToolButton* m_recordButton = nullptr;
  QFormLayout* m_form = nullptr;
  QHBoxLayout* m_secondRow = nullptr;
  void* m_device = nullptr;
  CBackgroundCache m_background;
};
