#pragma once

#include "CMyDialogFrame.h"

#include <QList>
#include <QPointer>

#include "CToiTunesThread.h"
#include "MusicRecords.h"

class CToiTunesThread;
class QDialogButtonBox;
class QGridLayout;
class QLabel;
class QProgressBar;

// Modal progress of the export of songs to iTunes. The export starts at
// construction on a worker thread; Abort (or destroying the dialog) stops it
// after the song in hand.
class CAddToiTunesDialog : public CMyDialogFrame
{
    Q_OBJECT
public:
    CAddToiTunesDialog(QList<MusicInfoRow> rows, QWidget* parent);
    ~CAddToiTunesDialog() override;

    QLabel* TextLabel() const { return m_text; }
    QProgressBar* ProgressBar() const { return m_progress; }
    QDialogButtonBox* ButtonBox() const { return m_buttons; }
    CToiTunesThread* Worker() const { return m_worker.data(); }

public slots:
    void ProgressBarValueChange(int value);
    void Abort();
    void NoiTunes();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* m_icon = nullptr;
    QLabel* m_text = nullptr;
    QProgressBar* m_progress = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
    QGridLayout* m_grid = nullptr;
    QList<MusicInfoRow> m_rows;
    // Frees itself when it ends; the dialog neither waits for it nor owns it.
    QPointer<CToiTunesThread> m_worker;
};
