#pragma once

#include <QObject>
#include <QPointer>

class QWidget;
#include "WhatsNew.h"

// Holds the update dialog and shows the result of each update check. The
// main window creates it at start-up and deletes it when it closes.
class ProductUpdateInfo : public QObject
{
    Q_OBJECT
public:
    ProductUpdateInfo();
    ~ProductUpdateInfo() override;

    // The menu's (and the automatic) update check; with showDialog the busy
    // dialog is shown while the check runs.
    void CheckForUpdates(bool showDialog, QWidget* parent);

    // The dialog shown or filled last (null when none).
    WhatsNew* Dialog() const { return m_dialog.data(); }

public slots:
    void UpdateDone();

private:
    // Owned; a parent window may also delete it first.
    QPointer<WhatsNew> m_dialog;
};
