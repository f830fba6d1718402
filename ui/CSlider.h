#pragma once
#include <QImage>
#include <QWidget>

// Horizontal slider drawn from skin images: a three-piece groove, a two-piece
// "played" bar up to the handle, and a handle with normal, hover and pressed
// pictures. `name` is the handle image (":/prefix/res/playslider.png" for the
// seek slider, ":/prefix/res/volumeslider.png" for volume); the other pieces are
// the base name plus "_bl", "_bc", "_br", "_pl", "_pc", "_on", "_down".
//
// A click beside the handle only reports the clicked value (valueChanged); the
// owner answers with SetValue when it accepts it. Dragging the handle moves it
// and reports valueChanged and sliderMoved.
class CSlider : public QWidget {
  Q_OBJECT
public:
  CSlider(const QString& name, QWidget* parent);
  ~CSlider() override;

  void SetMaximum(int maximum);
  int Value() const { return m_value; }
  int Minimum() const { return m_minimum; }
  int Maximum() const { return m_maximum; }
  int HandleX() const { return m_handleX; }
  int HandleWidth() const { return m_handleWidth; }
  int HandleHeight() const { return m_handleHeight; }
  int State() const { return m_state; }  // 0 normal, 1 hover, 2 dragging

  QSize sizeHint() const override;

signals:
  void valueChanged(int value);
  void sliderReleased();
  void sliderPressed();
  void sliderMoved(int value);

public slots:
  // Ignored outside [minimum, maximum]; emits nothing.
  void SetValue(int value);

protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  QRect HandleRect() const;
  int ClampedX(int x) const;
  int ValueAt(int x) const;
  void PlaceHandle();

  QImage m_grooveLeft;
  QImage m_grooveCentre;
  QImage m_grooveRight;
  QImage m_playedLeft;
  QImage m_playedCentre;
  QImage m_handle;
  QImage m_handleHover;
  QImage m_handlePressed;
  int m_state = 0;
  int m_value = 0;
  int m_minimum = 0;
  int m_maximum = 10000;
  int m_handleX = 0;   // x of the handle's centre
  int m_handleY = 0;
  int m_handleWidth = 0;
  int m_handleHeight = 0;
};
