#pragma once

#include "CMyDialogFrame.h"

#include <QList>
#include <QString>
#include <QStringList>

class CAppSettings;
class CLabelPress;
class CNetWidget;
class CSetSourceDialog;
class CSetTaskDialog;
class CSkinWidget;
class CSonacapBase;
class ISonacapDriverSetup;
class QAction;
class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QToolBar;
class QToolButton;
class QVBoxLayout;
class QWidget;

// The capture device handle of the capdev layer (passed on, not used here).
typedef struct CapDevHandle* HCAPDEV;

// The one modal dialog for every preference: a tool bar of seven page buttons
// above a stack of seven pages. OK stores every page through CAppSettings in a
// fixed order, switches the interface language and ends with 1; Cancel ends
// with 0 and stores nothing of the pages (Filter_Time is the one key that can
// change before OK: a split choice raises it at once). The page shown last is
// stored as Preference_Index when the dialog is destroyed.
class CPreferencesDialog : public CMyDialogFrame
{
    Q_OBJECT
public:
    // Page index: 0 General, 1 Audio Source, 2 Scheduler, 3 Control,
    // 4 Format, 5 Connection, 6 Skin.
    typedef int CPfType;
    enum { kPageGeneral = 0, kPageSource, kPageScheduler, kPageControl, kPageFormat,
           kPageConnection, kPageSkin, kPageCount };

    CPreferencesDialog(HCAPDEV device, CSonacapBase* engine, ISonacapDriverSetup* driverSetup,
                       QWidget* parent, CPfType page);
    ~CPreferencesDialog() override;

    void RetranslateUi();
    void CheckPageAction(int index);

    // The translation folder ("<program folder>/language"); tests point it
    // at a folder of their own.
    void SetTranslationFolder(const QString& folder) { m_translationFolder = folder; }
    QString TranslationFolder() const { return m_translationFolder; }

    int PageIndex() const { return m_pageIndex; }
    QList<QAction*> PageActions() const { return m_actions; }
    QToolBar* ToolBar() const { return m_toolBar; }
    QStackedWidget* Stack() const { return m_stack; }
    QPushButton* OkButton() const { return m_okButton; }
    QPushButton* CancelButton() const { return m_cancelButton; }
    CSetSourceDialog* SourcePage() const { return m_sourcePage; }
    CSetTaskDialog* TaskPage() const { return m_taskPage; }
    CNetWidget* NetPage() const { return m_netPage; }
    CSkinWidget* SkinPage() const { return m_skinPage; }
    QComboBox* FolderBox() const { return m_folderBox; }
    QComboBox* LanguageBox() const { return m_languageBox; }
    QCheckBox* SplitCheck() const { return m_splitCheck; }
    QComboBox* SplitBox() const { return m_splitBox; }
    QCheckBox* FilterCheck() const { return m_filterCheck; }
    QSpinBox* FilterSpin() const { return m_filterSpin; }
    QComboBox* FormatBox() const { return m_formatBox; }
    QComboBox* CodecBox() const { return m_codecBox; }
    QComboBox* BitRateBox() const { return m_bitRateBox; }
    QComboBox* SampleRateBox() const { return m_sampleRateBox; }
    QStringList ChosenFolders() const { return m_chosenFolders; }

    // Puts a folder picked by the user in front of the folder list (what
    // OpenFile does with the folder dialog's answer). A folder that cannot
    // hold recordings is refused at once, with the reason: false.
    bool ChooseFolder(const QString& folder);

signals:
    void sLanguageChange();

public slots:
    void Save();
    void toolBarActionTrig(QAction* action);
    void OpenFile();
    void ChangeSpliteModle();
    void ChangeFilterModle();
    void SpliterIndexchange(int index);
    void FileTypeComboxChange(int index);
    void SampleRateComboxChange(int index);
    void LaunguageChanged(int index);
    // The user picked an entry of the folder box.
    void FolderPicked(int index);

private:
    // True when the folder can hold recordings; else the user is told why.
    bool FolderIsUsable(const QString& folder);
    void BuildGeneralPage();
    void BuildControlPage();
    void BuildFormatPage();

    QStringList m_chosenFolders;
    QToolBar* m_toolBar = nullptr;
    QList<QAction*> m_actions;
    QStackedWidget* m_stack = nullptr;
    QVBoxLayout* m_contentLayout = nullptr;
    QDialogButtonBox* m_buttonBox = nullptr;

    QWidget* m_generalPage = nullptr;
    CSetSourceDialog* m_sourcePage = nullptr;
    CSetTaskDialog* m_taskPage = nullptr;
    QWidget* m_controlPage = nullptr;
    QWidget* m_formatPage = nullptr;
    CNetWidget* m_netPage = nullptr;
    CSkinWidget* m_skinPage = nullptr;

    // General
    QLabel* m_outputLabel = nullptr;
    QComboBox* m_folderBox = nullptr;
    QToolButton* m_folderButton = nullptr;
    // The folder box's entry last accepted.
    int m_shownFolder = -1;
    QLabel* m_languageHeading = nullptr;
    QLabel* m_chooseLanguageLabel = nullptr;
    QComboBox* m_languageBox = nullptr;
    CLabelPress* m_translateLink = nullptr;
    // Control
    QCheckBox* m_splitCheck = nullptr;
    QComboBox* m_splitBox = nullptr;
    QLabel* m_splitSeconds = nullptr;
    QCheckBox* m_filterCheck = nullptr;
    QSpinBox* m_filterSpin = nullptr;
    QLabel* m_filterSeconds = nullptr;
    // Format
    QLabel* m_formatLabel = nullptr;
    QComboBox* m_formatBox = nullptr;
    QWidget* m_audioGroup = nullptr;
    QLabel* m_codecLabel = nullptr;
    QLabel* m_bitRateLabel = nullptr;
    QLabel* m_sampleRateLabel = nullptr;
    QComboBox* m_codecBox = nullptr;
    QComboBox* m_bitRateBox = nullptr;
    QComboBox* m_sampleRateBox = nullptr;

    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    CAppSettings* m_settings = nullptr;

    QStringList m_languageNames;
    QStringList m_languageFiles;
    QStringList m_languageCodes;
    QString m_pendingFile;
    QString m_translationFolder;
    QString m_pendingCode;
    int m_pageIndex = 0;
};
