#pragma once
#include "CFocusNotiFlyEdit.h"

#include <QModelIndex>
#include <QWidget>

class CMToolButton;
class QListView;
class QStandardItemModel;
class QTimer;

// The library's search box. Shows a default text while empty and unfocused,
// carries a filter-type button with a pop-up list of types and a clear button
// inside itself, and emits filter(type, text) 500 ms after the last keystroke.
// The type is the id given to AddFilterType (0 all columns, else the column to
// search: 2 Name, 4 Artist, 5 Album); the text is empty for "no text".
class CFilterEdit : public CFocusNotiFlyEdit {
  Q_OBJECT
public:
  // The pop-up that holds the type list.
  class PopWindow : public QWidget {
  public:
    explicit PopWindow(QWidget* parent);
    ~PopWindow() override;
  };

  CFilterEdit(const QString& defaultText, QWidget* parent);
  ~CFilterEdit() override;

  // New default text, no types; shows the default text.
  void ResetFilter(const QString& defaultText);
  // Appends a type; the first type added after construction or ResetFilter is current.
  void AddFilterType(const QString& text, int id);
  // Makes the type of that id current (the one a filter with it used);
  // nothing when no such type was added.
  void SelectFilterType(int id);
  // Shows the clear button only when the text is neither empty nor the default text.
  void UpdateClearButton();

  QString DefaultText() const { return m_defaultText; }
  int CurrentType() const { return m_currentType; }
  CMToolButton* ClearButton() const { return m_clearButton; }
  CMToolButton* TypeButton() const { return m_typeButton; }
  CMToolButton* FilterButton() const { return m_filterButton; }
  QListView* TypeList() const { return m_typeList; }
  QStandardItemModel* TypeModel() const { return m_typeModel; }
  QTimer* DebounceTimer() const { return m_timer; }
  PopWindow* Popup() const { return m_popup; }

signals:
  void filter(int type, const QString& text);

public slots:
  // Emits filter() with the current type and text (the default text counts as empty).
  void emtiFilterChanged();
  void clearText();
  void showFilterType();
  void filterTypeSelected(const QModelIndex& index);

protected:
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  CMToolButton* m_clearButton = nullptr;
  CMToolButton* m_typeButton = nullptr;
  CMToolButton* m_filterButton = nullptr;
  QListView* m_typeList = nullptr;
  QString m_defaultText;
  QStandardItemModel* m_typeModel = nullptr;
  int m_currentType = 0;
  QTimer* m_timer = nullptr;
  PopWindow* m_popup = nullptr;
};
