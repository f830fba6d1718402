#pragma once

#include <QDate>
#include <QObject>
#include <QPointer>

#include "WhatsNew.h"

class QWidget;

// Holds the update dialog and shows the result of each update check. The
// main window creates it at start-up and deletes it when it closes.
class ProductUpdateInfo : public QObject
{
    Q_OBJECT
public:
    ProductUpdateInfo();
    ~ProductUpdateInfo() override;

    // The menu's and the automatic update check; with showDialog the busy
    // dialog is shown while the check runs and the result replaces it.
    // Without, only a newer version opens the dialog.
    void CheckForUpdates(bool showDialog, QWidget* parent);

    // The automatic check at start-up: checks (without the busy dialog) when
    // the settings ask for it and it is due. Returns whether it checked.
    bool CheckAutomatically(QWidget* parent);
    // Due when the mode is not 0 (0 switches the automatic check off) and at
    // least `days` days have passed since the last check; a last check that
    // is invalid or lies in the future makes it due as well.
    static bool IsAutomaticCheckDue(int mode, int days, const QDate& lastCheck, const QDate& today);

    // The dialog shown or filled last (null when none).
    WhatsNew* Dialog() const { return m_dialog.data(); }

public slots:
    void UpdateDone();

private:
    // Owned; a parent window may also delete it first.
    QPointer<WhatsNew> m_dialog;
};
