#include "CMusicTagsEditDialog.h"

#include "CDefLineEdit.h"
#include "CEditCoverWidget.h"
#include "CShowListWidget.h"
#include "DialogButtonInfo.h"
#include "DialogSeams.h"
#include "FileTimeHelpers.h"
#include "LibrarySeams.h"
#include "MusicDatabase.h"
#include "MusicRecords.h"
#include "SongRecordFields.h"
#include "SystemHelpers.h"

#include <QComboBox>
#include <QDateTime>
#include <QDebug>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cstring>

namespace {
constexpr int kFrameFlags = 0x803;
constexpr int kMaxFieldCharacters = 127;
constexpr int kMaxGenres = 5;

template <size_t N>
void SetField(char (&field)[N], const QString& text)
{
    std::memset(field, 0, N);
    CopyUtf8Field(field, N, text.toUtf8());
}

// Whether path names a file inside folder (or below it). Both are resolved,
// so another spelling of the same place counts; names compare exactly, as
// the file system does.
bool IsInsideFolder(const QString& path, const QString& folder)
{
    const QString file = QFileInfo(path).canonicalFilePath();
    const QString root = QFileInfo(folder).canonicalFilePath();
    return !file.isEmpty() && !root.isEmpty() && file.startsWith(root + QLatin1Char('/'));
}

// "<base><extension>", or "<base>_2<extension>", "_3"... when taken (two
// saves within one second make the same time stamp).
QString FreeCoverName(const QString& base, const QString& extension)
{
    QString name = base + extension;
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = base + QLatin1Char('_') + QString::number(n) + extension;
    return name;
}

void RemoveFiles(const QStringList& files)
{
    for (const QString& file : files) {
        if (!QFile::remove(file))
            qWarning() << "CMusicTagsEditDialog: could not remove the copy" << file;
    }
}
} // namespace

CMusicTagsEditDialog::CMusicTagsEditDialog(MusicInfoRow* row, QWidget* parent)
    : CMyDialogFrame(parent, kFrameFlags)
    , m_row(row)
{
    setObjectName(QStringLiteral("tagEditDialog"));
    ApplyDialogLabelStyle();
    QWidget* content = GetContentWidget();

    m_addButton = new QPushButton(tr("Add"), content);
    m_deleteButton = new QPushButton(tr("Delete"), content);
    connect(m_addButton, &QPushButton::clicked, this, &CMusicTagsEditDialog::AddCover);
    connect(m_deleteButton, &QPushButton::clicked, this, &CMusicTagsEditDialog::DeleteCover);
    auto* coverButtons = new QHBoxLayout;
    coverButtons->addWidget(m_addButton);
    coverButtons->addWidget(m_deleteButton);
    coverButtons->addStretch();

    m_covers = new CEditCoverWidget(row, content);
    connect(m_covers, &CEditCoverWidget::CoverAdded, this, &CMusicTagsEditDialog::CoverAdd);
    EnableCoverButtons();

    m_titleLabel = new QLabel(tr("Title:"), content);
    m_artistLabel = new QLabel(tr("Artist:"), content);
    m_albumLabel = new QLabel(tr("Album:"), content);
    m_yearLabel = new QLabel(tr("Year:"), content);
    m_genreLabel = new QLabel(tr("Genre:"), content);

    const RecordMusicInfo* info = row ? &row->Info : nullptr;
    QString title = info ? RecordFieldText(info->MusicName) : QString();
    if (title.isEmpty() && row)
        title = TitleFromFileName(row->MusicPath);
    m_titleEdit = new CDefLineEdit(title, content);
    m_titleEdit->selectAll();
    m_titleEdit->setMaxLength(kMaxFieldCharacters);
    m_artistEdit = new CDefLineEdit(info ? RecordFieldText(info->Artist) : QString(), content);
    m_artistEdit->setMaxLength(kMaxFieldCharacters);
    m_albumEdit = new CDefLineEdit(info ? RecordFieldText(info->Album) : QString(), content);
    m_albumEdit->setMaxLength(kMaxFieldCharacters);
    m_yearEdit = new CDefLineEdit(info ? RecordFieldText(info->Year) : QString(), content);
    m_yearValidator = new QIntValidator(0, 9999, m_yearEdit);
    m_yearEdit->setValidator(m_yearValidator);
    m_yearEdit->setMaxLength(4);

    m_genreBox = new QComboBox(content);
    m_genreBox->setEditable(true);
    m_genreBox->setContextMenuPolicy(Qt::NoContextMenu);
    m_genreBox->lineEdit()->setContextMenuPolicy(Qt::NoContextMenu);
    QString genre = info ? RecordFieldText(info->Genre) : QString();
    if (genre.isEmpty()) {
        const QString other = tr("Other");
        m_genreList.append(other);
        m_genreBox->addItem(other);
    } else {
        // The box lists each genre once in order of first appearance; the
        // list keeps each once in order of last appearance. An empty part
        // (";;") ends the text.
        int p = genre.indexOf(QLatin1Char(';'));
        do {
            const QString part = p < 0 ? genre : genre.left(p);
            if (m_genreList.removeAll(part) == 0)
                m_genreBox->addItem(part);
            m_genreList.append(part);
            genre.remove(0, p + 1);
            p = genre.indexOf(QLatin1Char(';'));
        } while (p > 0);
    }

    m_buttonBox = new QDialogButtonBox(content);
    QPushButton* cancel = m_buttonBox->addButton(QDialogButtonBox::Cancel);
    cancel->setText(tr("Cancel"));
    connect(cancel, &QPushButton::clicked, this, &CMusicTagsEditDialog::reject);
    QPushButton* ok = m_buttonBox->addButton(QDialogButtonBox::Ok);
    ok->setText(tr("OK"));
    connect(ok, &QPushButton::clicked, this, &CMusicTagsEditDialog::Save);

    m_grid = new QGridLayout;
    m_grid->addWidget(m_covers, 0, 0, 5, 1, Qt::AlignCenter);
    QLabel* labels[] = {m_titleLabel, m_artistLabel, m_albumLabel, m_yearLabel, m_genreLabel};
    for (int i = 0; i < 5; ++i)
        m_grid->addWidget(labels[i], i, 1, Qt::AlignRight);
    QWidget* fields[] = {m_titleEdit, m_artistEdit, m_albumEdit, m_yearEdit, m_genreBox};
    for (int i = 0; i < 5; ++i)
        m_grid->addWidget(fields[i], i, 2);
    m_grid->addLayout(coverButtons, 5, 0);
    m_grid->addWidget(m_buttonBox, 5, 2);
    content->setLayout(m_grid);

    SetWindowTitle(tr("Music Tags Edit"));
    m_covers->setFocus();
}

// The grid belongs to the content widget and the widgets are children of
// the dialog: Qt frees them.
CMusicTagsEditDialog::~CMusicTagsEditDialog() = default;

QString CMusicTagsEditDialog::PicturesFolder(bool* created)
{
    QString folder;
    bool ok = false;
    if (GetSpecialFolderPath(folder, kFolderPictures) == 0) {
        qDebug() << "CMusicTagsEditDialog::AddCover CreateDirectory Pictures_Dir: " << folder;
        ok = CreateDirectoryTree(folder.toUtf8().constData()) == 0;
    } else {
        folder.clear();
    }
    if (created)
        *created = ok;
    return folder;
}

void CMusicTagsEditDialog::EnableCoverButtons()
{
    const int count = m_covers->CoverCount();
    m_addButton->setEnabled(count < kMaxCoverCandidates);
    m_deleteButton->setEnabled(count > 0);
}

void CMusicTagsEditDialog::AddCover()
{
    const QString folder = PicturesFolder(nullptr);
    // Names compare exactly here, so the upper-case spellings are listed too.
    const QStringList files = ChoosePictureFiles(this, tr("Open File"), folder,
                                                 tr("Images") + QStringLiteral(" (*.png *.bmp *.jpg *.PNG *.BMP *.JPG)"));
    bool taken = false;
    for (const QString& file : files) {
        if (!m_covers->AppendCover(file))
            break;
        taken = true;
    }
    if (!taken)
        return;
    m_covers->RefreshCovers();
    EnableCoverButtons();
}

void CMusicTagsEditDialog::DeleteCover()
{
    if (!m_covers->RemoveSelectedCover())
        return;
    m_covers->RefreshCovers();
    EnableCoverButtons();
}

void CMusicTagsEditDialog::CoverAdd()
{
    m_covers->RefreshCovers();
    EnableCoverButtons();
}

void CMusicTagsEditDialog::Save()
{
    QString error;
    if (!m_row) {
        reject();
        return;
    }
    if (!SaveAll(&error)) {
        qWarning() << "CMusicTagsEditDialog::Save failed:" << error;
        QList<DialogButtonInfo> buttons;
        buttons.append({QDialogButtonBox::Ok, tr("OK"), true});
        AskLibraryQuestion(this, error, buttons);
        return;
    }
    accept();
}

bool CMusicTagsEditDialog::SaveAll(QString* error)
{
    const MusicInfoRow work = m_covers->GetMusicInfo();
    const MusicInfoRow& before = *m_row;
    MusicInfoRow result = before;
    RecordMusicInfo& data = result.Info;
    const int count = CoverCandidateCount(work.Info);

    // New pictures from outside the pictures folder are copied into it, so
    // the song keeps its cover when the user moves or deletes the original.
    bool folderReady = false;
    const QString pictures = PicturesFolder(&folderReady);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("MM_dd_yyyy_hh_mm_ss"));
    QStringList copies;
    for (int j = 0; j < count; ++j) {
        const QString path = CoverPathAt(work.Info, j);
        QString target = path;
        if (folderReady && work.Info.CoverIds[j] == 0 && !IsInsideFolder(path, pictures)) {
            const QString name = FreeCoverName(
                QStringLiteral("%1/%2_%3").arg(pictures, stamp).arg(j), path.right(4));
            if (name.toUtf8().size() >= static_cast<int>(sizeof data.CoverPaths[j])) {
                qWarning() << "CMusicTagsEditDialog: pictures folder path too long, keeping" << path;
            } else if (!QFile::copy(path, name)) {
                qWarning() << "CMusicTagsEditDialog: copying" << path << "to" << name << "failed";
                RemoveFiles(copies);
                *error = tr("The picture \"%1\" could not be copied into \"%2\".\nNothing was changed.")
                             .arg(path, pictures);
                return false;
            } else {
                copies.append(name);
                target = name;
            }
        }
        SetField(data.CoverPaths[j], target);
        data.CoverIds[j] = work.Info.CoverIds[j];
    }
    for (int j = count; j < kMaxCoverCandidates; ++j) {
        data.CoverIds[j] = 0;
        std::memset(data.CoverPaths[j], 0, sizeof data.CoverPaths[j]);
    }
    data.CoverCount = count;
    result.ImageId = qMax(0, ClampCoverIndex(count, work.ImageId));

    // The song file takes the title's name (a free one, never an existing
    // file's): the title as the record keeps it, so both say the same.
    const QByteArray titleBytes = m_titleEdit->GetText().toUtf8();
    const QString title = QString::fromUtf8(
        titleBytes.constData(),
        static_cast<int>(Utf8FieldLength(sizeof data.MusicName, titleBytes.constData(),
                                         static_cast<size_t>(titleBytes.size()))));
    if (!title.isEmpty() && !SaveLoadMuiscName(title, result.MusicPath)) {
        RemoveFiles(copies);
        *error = tr("The song file \"%1\" could not be renamed after the title.\nNothing was changed.")
                     .arg(before.MusicPath);
        return false;
    }
    auto undoFiles = [&] {
        if (result.MusicPath != before.MusicPath && !QFile::rename(result.MusicPath, before.MusicPath))
            qWarning() << "CMusicTagsEditDialog: could not give" << result.MusicPath << "its name back";
        RemoveFiles(copies);
    };

    // The CoverInfo rows in one step: dropped candidates go, new ones come.
    QStringList dropped;
    bool stored = DB_CreateTransaction() == 0;
    const int beforeCount = CoverCandidateCount(before.Info);
    for (int i = 0; stored && i < beforeCount; ++i) {
        const int id = before.Info.CoverIds[i];
        bool kept = id == 0;
        for (int j = 0; !kept && j < count; ++j)
            kept = work.Info.CoverIds[j] == id;
        if (kept)
            continue;
        stored = DB_DeleteImage(id) == 0;
        dropped.append(CoverPathAt(before.Info, i));
    }
    for (int j = 0; stored && j < count; ++j) {
        if (data.CoverIds[j] != 0)
            continue;
        const int id = CreatePrimaryKey(QStringLiteral("CoverInfo"), QStringLiteral("CoverId"), 1, kMaxCoverInfoRows);
        stored = id > 0 && DB_SetImageInfo(id, result.MusicId, data.CoverPaths[j]) == 0;
        data.CoverIds[j] = id;
    }
    if (stored)
        stored = DB_CommitTransaction() == 0;
    if (!stored) {
        DB_RollbackTransaction();
        undoFiles();
        *error = tr("The library could not store the covers.\nNothing was changed.");
        return false;
    }

    // Only now, with the table settled: pictures that neither a CoverInfo
    // row nor a candidate of this song names any more, and only the
    // program's own ones.
    for (const QString& path : dropped) {
        bool named = false;
        for (int j = 0; !named && j < count; ++j)
            named = CoverPathAt(data, j) == path;
        if (!named)
            CShowListWidget::DeleteCoverFileIfUnused(path);
    }

    SetField(data.MusicName, title);
    SetField(data.Album, m_albumEdit->GetText());
    SetField(data.Artist, m_artistEdit->GetText());
    SetField(data.Genre, GenreText());
    QString year = m_yearEdit->GetText();
    int zeros = 0;
    while (zeros < year.size() && year.at(zeros) == QLatin1Char('0'))
        ++zeros;
    SetField(data.Year, year.mid(zeros));

    *m_row = result;
    return true;
}

QString CMusicTagsEditDialog::GenreText() const
{
    QStringList list = m_genreList;
    QString typed = m_genreBox->currentText();
    const int index = m_genreBox->currentIndex();
    QString genres;
    int limit = kMaxGenres - 1;
    for (int round = 0; round < limit && !list.isEmpty(); ++round) {
        const int at = round == 0 ? index : 0;
        if (at < 0 || at >= list.size())
            continue;
        const QString entry = list.takeAt(at);
        if (entry == typed) {
            genres.prepend(typed + QLatin1Char(';'));
            typed.clear();
            limit = kMaxGenres;
        } else {
            genres.append(entry + QLatin1Char(';'));
        }
    }
    if (!typed.isEmpty())
        genres.prepend(typed + QLatin1Char(';'));
    return genres;
}
