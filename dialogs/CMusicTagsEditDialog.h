#pragma once

#include "CMyDialogFrame.h"

#include <QString>
#include <QStringList>

class CDefLineEdit;
class CEditCoverWidget;
class QComboBox;
class QDialogButtonBox;
class QGridLayout;
class QIntValidator;
class QLabel;
class QPushButton;
struct MusicInfoRow;

// The tag and cover editor of one library song: title, artist, album, year,
// genre and up to five cover pictures with the chosen one. It edits the
// caller's record in place, and only when the user saves: new pictures are
// copied into the program's pictures folder, the CoverInfo table follows the
// candidates, the song file is renamed after the title and the texts go into
// the record. Storing the record and writing the file's tags is the caller's
// part. A Save whose copy, rename or table change fails undoes what it did,
// tells the user, and leaves the record, the database and the files as they
// were; the dialog then stays open. GUI thread only.
class CMusicTagsEditDialog : public CMyDialogFrame
{
    Q_OBJECT
public:
    // row must outlive the dialog.
    CMusicTagsEditDialog(MusicInfoRow* row, QWidget* parent);
    ~CMusicTagsEditDialog() override;

    // The program's pictures folder, created on the way; empty when the
    // system names none. created tells whether it exists now.
    static QString PicturesFolder(bool* created);

    CEditCoverWidget* CoverWidget() const { return m_covers; }
    QPushButton* AddButton() const { return m_addButton; }
    QPushButton* DeleteButton() const { return m_deleteButton; }
    CDefLineEdit* TitleEdit() const { return m_titleEdit; }
    CDefLineEdit* ArtistEdit() const { return m_artistEdit; }
    CDefLineEdit* AlbumEdit() const { return m_albumEdit; }
    CDefLineEdit* YearEdit() const { return m_yearEdit; }
    QComboBox* GenreBox() const { return m_genreBox; }
    QDialogButtonBox* ButtonBox() const { return m_buttonBox; }
    // The genres the box was filled with, each once, in order of last
    // appearance in the stored text.
    QStringList GenreList() const { return m_genreList; }

public slots:
    void Save();
    void AddCover();
    void DeleteCover();
    void CoverAdd();

private:
    // Every step of Save into a new record; *m_row changes only when all of
    // them worked. False (with a message for the user) after undoing them.
    bool SaveAll(QString* error);
    // The stored genre text: the chosen genre first, then the other genres
    // of the list, at most five, each followed by ";".
    QString GenreText() const;
    void EnableCoverButtons();

    CEditCoverWidget* m_covers = nullptr;
    QPushButton* m_addButton = nullptr;
    QPushButton* m_deleteButton = nullptr;
    QLabel* m_titleLabel = nullptr;
    QLabel* m_artistLabel = nullptr;
    QLabel* m_albumLabel = nullptr;
    QLabel* m_yearLabel = nullptr;
    QLabel* m_genreLabel = nullptr;
    CDefLineEdit* m_titleEdit = nullptr;
    CDefLineEdit* m_artistEdit = nullptr;
    CDefLineEdit* m_albumEdit = nullptr;
    CDefLineEdit* m_yearEdit = nullptr;
    QComboBox* m_genreBox = nullptr;
    QDialogButtonBox* m_buttonBox = nullptr;
    QGridLayout* m_grid = nullptr;
    MusicInfoRow* m_row = nullptr;
    QIntValidator* m_yearValidator = nullptr;
    QStringList m_genreList;
};
