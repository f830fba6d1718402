#pragma once
#include <QWidget>

class CSkinButton;
class QLabel;
class QSignalMapper;

// Skin page of the preferences dialog: five background thumbnails; the chosen
// one carries a check mark. Choosing only moves the mark; SaveSkin() stores it.
class CSkinWidget : public QWidget {
  Q_OBJECT
public:
  explicit CSkinWidget(QWidget* parent);
  ~CSkinWidget() override;

  // Writes the chosen index to the settings key Skin.
  void SaveSkin();
  void Retranslate();

  int CurrentIndex() const { return m_currentIndex; }
  CSkinButton* Thumbnail(int index) const;
  CSkinButton* MarkedThumbnail() const { return m_marked; }

public slots:
  void ChoseSkin(int index);

private:
  int m_currentIndex = 4;
  QSignalMapper* m_mapper = nullptr;
  CSkinButton* m_marked = nullptr;
  QLabel* m_caption = nullptr;
};
