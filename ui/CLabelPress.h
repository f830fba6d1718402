#pragma once
#include <QLabel>

// Clickable underlined link label. Shortens its text with "..." when it does
// not fit (the address becomes the tooltip) and opens the address in the
// default browser on any mouse press (without one, the user is told the
// address).
class CLabelPress : public QLabel {
  Q_OBJECT
public:
  CLabelPress(const QString& url, const QString& text, QWidget* parent);
  ~CLabelPress() override;

  // Kind 0: the "Translate for us" link of the preferences dialog.
  void SetLinkType(int kind);

  QString Url() const { return m_url; }
  QString LinkText() const { return m_text; }
  QString ShownText() const { return m_shownText; }
  // The colour links are drawn in (from the settings' link colour index).
  static QString LinkColor();
  // The label's markup for a shown text.
  static QString LinkMarkup(const QString& shown);

protected:
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  void FitText(int width);

  QString m_url;
  QString m_text;
  QString m_shownText;
};
