#pragma once

#include <QGraphicsView>
#include <QString>

class CShowDownloadingScene;

// The artwork view: an empty record sleeve that slowly fills while a song's
// data is fetched, then flips over to show the cover, title and artist. The
// full form (128 x 182, scaled) sits on the recording page, the mini form
// (50 x 50) in the control bar's mini strip. The view owns its scene.
//
// Thread contract: GUI thread only.
class CShowDownloadingView : public QGraphicsView
{
    Q_OBJECT
public:
    static constexpr int kDownloadingMs = 5400;
    static constexpr int kFlipMs = 1000;

    CShowDownloadingView(bool mini, QWidget* parent);
    ~CShowDownloadingView() override;

    // Shows the three after a flip; an empty cover path stands for "no song
    // data" and shows the language's download-failed picture.
    void SetMusicInfo(const QString& coverPath, const QString& title, const QString& artist);
    // Resets the scene and starts the downloading animation.
    void StartAnimation();
    // Stops a running animation and resets the scene; harmless when idle.
    void StopAnimation();
    // Swaps the download-failed picture for the current language's.
    void RetranslateUi();

    bool IsMini() const { return m_mini; }
    CShowDownloadingScene* Scene() const { return m_scene; }

    // The download-failed picture for the Language setting.
    static QString FailedCoverPath();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool m_mini;
    CShowDownloadingScene* m_scene;
};
