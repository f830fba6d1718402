#pragma once

#include "CMyDialogFrame.h"

#include <QString>

#include <functional>

class DialogIcon;
class QLabel;
class QProgressBar;
class QPushButton;
class QTextEdit;
class QUrl;

// The update dialog: busy state, then the newest-version message or the new
// version with its release notes and a Yes button to the download page.
class WhatsNew : public CMyDialogFrame
{
    Q_OBJECT
public:
    explicit WhatsNew(QWidget* parent);
    ~WhatsNew() override;

    // Opens a download address; replaceable so that tests never start a
    // browser (returns the previous opener).
    using UrlOpener = std::function<void(const QUrl&)>;
    static UrlOpener SetUrlOpener(UrlOpener opener);
    // An http or https address with a host: the only kind download() opens.
    static bool IsWebAddress(const QUrl& url);

    QLabel* Label() const { return m_label; }
    QTextEdit* ReleaseNotes() const { return m_notes; }
    QPushButton* YesButton() const { return m_yes; }
    QPushButton* NoButton() const { return m_no; }
    QProgressBar* BusyBar() const { return m_busy; }

public slots:
    void download();

private:
    DialogIcon* m_icon = nullptr;
    QLabel* m_label = nullptr;
    QTextEdit* m_notes = nullptr;
    QPushButton* m_yes = nullptr;
    QPushButton* m_no = nullptr;
    QString m_unfilled;
    QProgressBar* m_busy = nullptr;
};
