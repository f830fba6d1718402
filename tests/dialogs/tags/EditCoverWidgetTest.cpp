// The cover area of the tag editor: its pages, the tile grid, choosing and
// removing candidates, and pictures dropped on it.
#include "CCoverWidget.h"
#include "CEditCoverWidget.h"
#include "ViewsTestSupport.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGridLayout>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cstring>

namespace {
class EditCoverWidgetTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString Picture(const QString& name, Qt::GlobalColor color = Qt::green)
    {
        const QString path = dir.path() + "/" + name;
        QImage image(30, 30, QImage::Format_RGB32);
        image.fill(color);
        const QString format = name.section('.', -1).toUpper() == "JPG" ? "JPG" : name.section('.', -1).toUpper();
        EXPECT_TRUE(image.save(path, format.toLatin1().constData())) << name.toStdString();
        return path;
    }
    QString Text(const QString& name)
    {
        const QString path = dir.path() + "/" + name;
        WriteFile(path, "not a picture");
        return path;
    }
    static MusicInfoRow RowWith(const QStringList& covers, int imageId)
    {
        MusicInfoRow row;
        std::memset(&row.Info, 0, sizeof row.Info);
        row.Info.CoverCount = covers.size();
        for (int i = 0; i < covers.size(); ++i) {
            row.Info.CoverIds[i] = 10 + i;
            SET_FIELD(row.Info.CoverPaths[i], covers.at(i));
        }
        row.ImageId = imageId;
        return row;
    }
    static QStringList Paths(const CEditCoverWidget& w)
    {
        const MusicInfoRow row = w.GetMusicInfo();
        QStringList out;
        for (int i = 0; i < row.Info.CoverCount; ++i)
            out << QString::fromUtf8(row.Info.CoverPaths[i]);
        return out;
    }
    // Drags urls over the widget; true when it takes them.
    static bool DragEnter(QWidget* w, const QList<QUrl>& urls)
    {
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w, &enter);
        return enter.isAccepted();
    }
    // A drop comes after its drag entered (Qt delivers it to the widget that
    // took the drag).
    static void Drop(QWidget* w, const QList<QUrl>& urls)
    {
        DragEnter(w, urls);
        QMimeData mime;
        mime.setUrls(urls);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w, &drop);
    }
    static QList<QUrl> Urls(const QStringList& files)
    {
        QList<QUrl> urls;
        for (const QString& f : files)
            urls << QUrl::fromLocalFile(f);
        return urls;
    }

    QTemporaryDir dir;
};
} // namespace

TEST_F(EditCoverWidgetTest, PicturesTheWidgetTakes)
{
    const struct {
        QString path;
        bool taken;
    } cases[] = {
        {Picture("a.jpg"), true},
        {Picture("b.PNG"), true},
        {Picture("c.bmp"), true},
        {Picture("d.Png"), false},          // mixed case is not one of its spellings
        {[this] {
             const QString gif = dir.path() + "/e.gif";
             QFile::copy(Picture("e.png"), gif);
             return gif;
         }(),
         false},
        {Text("f.jpg"), false},             // named like a picture, but is none
        {dir.path() + "/missing.png", false},
        {dir.path(), false},                // a folder
    };
    for (const auto& c : cases)
        EXPECT_EQ(CEditCoverWidget::IsSupportedImage(c.path), c.taken) << c.path.toStdString();
}

TEST_F(EditCoverWidgetTest, PagesAndTilesFollowTheCandidates)
{
    const QString a = Picture("a.png", Qt::red), b = Picture("b.png", Qt::blue), c = Picture("c.png");
    {
        MusicInfoRow none = RowWith({}, 0);
        CEditCoverWidget w(&none, nullptr);
        EXPECT_EQ(w.currentIndex(), 0);
        EXPECT_EQ(w.ShownPicture(), CEditCoverWidget::DragHerePicture());
        EXPECT_TRUE(w.Tiles().isEmpty());
        EXPECT_EQ(w.RemoveSelectedCover(), 0);
    }
    {
        MusicInfoRow one = RowWith({a}, 0);
        CEditCoverWidget w(&one, nullptr);
        EXPECT_EQ(w.currentIndex(), 0);
        EXPECT_EQ(w.ShownPicture(), a);
        EXPECT_TRUE(w.Tiles().isEmpty());
        EXPECT_EQ(w.RemoveSelectedCover(), 1);
        EXPECT_EQ(w.CoverCount(), 0);
        EXPECT_EQ(w.GetMusicInfo().ImageId, 0);
    }
    MusicInfoRow three = RowWith({a, b, c}, 2);
    CEditCoverWidget w(&three, nullptr);
    EXPECT_EQ(w.currentIndex(), 1);
    ASSERT_EQ(w.Tiles().size(), 3);
    const QPoint cells[] = {{0, 0}, {0, 1}, {1, 0}};
    for (int i = 0; i < 3; ++i) {
        int row = -1, column = -1, rs = 0, cs = 0;
        w.TileGrid()->getItemPosition(w.TileGrid()->indexOf(w.Tiles().at(i)), &row, &column, &rs, &cs);
        EXPECT_EQ(QPoint(row, column), cells[i]) << i;
        EXPECT_EQ(w.Tiles().at(i)->IsSelected(), i == 2) << i;
        EXPECT_EQ(w.Tiles().at(i)->ImagePath(), (QStringList{a, b, c}).at(i));
    }
    EXPECT_EQ(w.TileFrame()->height(), 162);

    // A click chooses exactly one tile.
    QTest::mouseClick(w.Tiles().at(0), Qt::LeftButton);
    EXPECT_EQ(w.GetMusicInfo().ImageId, 0);
    EXPECT_TRUE(w.Tiles().at(0)->IsSelected());
    EXPECT_FALSE(w.Tiles().at(2)->IsSelected());

    // Removing the chosen last one chooses the one before it.
    QTest::mouseClick(w.Tiles().at(2), Qt::LeftButton);
    EXPECT_EQ(w.RemoveSelectedCover(), 1);
    w.RefreshCovers();
    EXPECT_EQ(Paths(w), (QStringList{a, b}));
    EXPECT_EQ(w.GetMusicInfo().ImageId, 1);
    ASSERT_EQ(w.Tiles().size(), 2);
    EXPECT_TRUE(w.Tiles().at(1)->IsSelected());
    const MusicInfoRow left = w.GetMusicInfo();
    EXPECT_EQ(left.Info.CoverIds[0], 10);
    EXPECT_EQ(left.Info.CoverIds[1], 11);
    EXPECT_EQ(left.Info.CoverIds[2], 0);
    EXPECT_EQ(left.Info.CoverPaths[2][0], 0);
}

TEST_F(EditCoverWidgetTest, AChoiceOutsideTheCandidatesIsTheFirst)
{
    const QString a = Picture("a.png", Qt::red), b = Picture("b.png", Qt::blue);
    MusicInfoRow row = RowWith({a, b}, 7);
    CEditCoverWidget w(&row, nullptr);
    EXPECT_EQ(w.GetMusicInfo().ImageId, 0);
    ASSERT_EQ(w.Tiles().size(), 2);
    EXPECT_TRUE(w.Tiles().at(0)->IsSelected());
    // The chosen one goes, not the last one.
    EXPECT_EQ(w.RemoveSelectedCover(), 1);
    EXPECT_EQ(Paths(w), QStringList{b});
}

TEST_F(EditCoverWidgetTest, DroppedPicturesBecomeCandidates)
{
    // Local file URLs carry percent-escapes and an absolute path: what is
    // added is the file's own path, a backslash in its name included.
    const QString odd = Picture("Cover #1 \xc3\x84 50%\\x.png");
    const QString text = Text("notes.txt");
    MusicInfoRow empty = RowWith({}, 0);
    CEditCoverWidget w(&empty, nullptr);
    int added = 0;
    QObject::connect(&w, &CEditCoverWidget::CoverAdded, [&] { ++added; });

    EXPECT_FALSE(DragEnter(&w, Urls({text})));
    EXPECT_FALSE(DragEnter(&w, {QUrl("https://example.invalid/cover.png")}));
    EXPECT_TRUE(DragEnter(&w, Urls({text, odd})));
    Drop(&w, Urls({text, odd}));
    EXPECT_EQ(Paths(w), QStringList{odd});
    EXPECT_EQ(added, 1);

    // Six pictures on a widget holding one: four more fit.
    QStringList six;
    for (int i = 0; i < 6; ++i)
        six << Picture(QString("p%1.jpg").arg(i));
    Drop(&w, Urls(six));
    EXPECT_EQ(Paths(w), (QStringList{odd} + six.mid(0, 4)));
    EXPECT_EQ(added, 2);
    w.RefreshCovers();
    EXPECT_EQ(w.TileFrame()->height(), 3 * 80 + 2);
    // Full: neither dragging nor dropping takes more.
    EXPECT_FALSE(DragEnter(&w, Urls({six.at(5)})));
    Drop(&w, Urls({six.at(5)}));
    EXPECT_EQ(w.CoverCount(), 5);
    EXPECT_EQ(added, 2);
    EXPECT_FALSE(w.AppendCover(six.at(5)));
}
