#pragma once

#include <QFrame>
#include <QString>

#include <climits>

class QLabel;

// One row of the pop-up play list: cover, title, artist and length.
class CMiniListItem : public QFrame
{
    Q_OBJECT
public:
    explicit CMiniListItem(QWidget* parent);
    ~CMiniListItem() override;

    // Fills the row from the song's database record (cover, title, artist,
    // recorded length).
    void SetMusicId(int musicId);
    void SetSelected(bool selected);
    bool IsSelected() const { return m_selected; }

    // The text shown in a label whose width limit is `limit` unscaled pixels:
    // whole when it fits, else its longest fitting start (four characters at
    // least, unless `room` takes fewer) followed by "...". The start also leaves room for the "..."
    // within `room` pixels (the label's own width) and never splits a
    // character.
    static QString ElideForLabel(const QString& text, const QFont& font, int limit = 92, int room = INT_MAX);

    QLabel* CoverLabel() const { return m_cover; }
    QLabel* TitleLabel() const { return m_title; }
    QLabel* ArtistLabel() const { return m_artist; }
    QLabel* LengthLabel() const { return m_length; }

signals:
    void itemClicked(CMiniListItem* item);
    void itemDoubleClicked(CMiniListItem* item);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Shortens the whole title and artist for the labels' current fonts.
    void ShowTexts();

    QLabel* m_cover;
    QLabel* m_title;
    QLabel* m_artist;
    QLabel* m_length;
    bool m_selected = false;
    // The song's whole texts: the labels show them shortened for the font
    // they paint with, which a style sheet may change after the row is
    // filled.
    bool m_filled = false;
    QString m_fullTitle;
    QString m_fullArtist;
};
