#include "CPreferencesDialog.h"

#include "CAppSettings.h"
#include "CLabelPress.h"
#include "CNetWidget.h"
#include "CSetSourceDialog.h"
#include "CSetTaskDialog.h"
#include "CSkinWidget.h"
#include "InterfaceScale.h"
#include "LibrarySeams.h"
#include "OutputFolderCheck.h"
#include "ProgramTranslator.h"
#include "SkinButtonStyle.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTranslator>
#include <QVBoxLayout>

namespace {
constexpr int kFrameFlags = 0x8000003;
constexpr int kMaxFolders = 5;

struct SplitChoice {
    const char* text;
    int milliseconds;
};
const SplitChoice kSplitChoices[] = {
    {QT_TRANSLATE_NOOP("CPreferencesDialog", "0.2"), 200},
    {QT_TRANSLATE_NOOP("CPreferencesDialog", "0.4"), 400},
    {QT_TRANSLATE_NOOP("CPreferencesDialog", "0.6"), 600},
    {QT_TRANSLATE_NOOP("CPreferencesDialog", "0.8"), 800},
    {QT_TRANSLATE_NOOP("CPreferencesDialog", "1.0"), 1000},
    {QT_TRANSLATE_NOOP("CPreferencesDialog", "1.5"), 1500},
    {QT_TRANSLATE_NOOP("CPreferencesDialog", "2.0"), 2000},
    {QT_TRANSLATE_NOOP("CPreferencesDialog", "3.0"), 3000},
    {QT_TRANSLATE_NOOP("CPreferencesDialog", "4.0"), 4000},
    {QT_TRANSLATE_NOOP("CPreferencesDialog", "5.0"), 5000},
    {QT_TRANSLATE_NOOP("CPreferencesDialog", "10.0"), 10000},
};
constexpr int kSplitChoiceCount = int(sizeof kSplitChoices / sizeof kSplitChoices[0]);

const int kMp3BitRates[] = {128, 192, 224, 256, 320};
const int kSampleRates[] = {44100, 48000};
const int kWavBitRates[] = {1411, 1536};

struct PageInfo {
    const char* text;
    const char* icon;
};
const PageInfo kPages[] = {
    {QT_TRANSLATE_NOOP("CPreferencesDialog", "General"), ":/prefix/res/Settings/General.png"},
    {QT_TRANSLATE_NOOP("CPreferencesDialog", "Audio Source"),
     ":/prefix/res/Settings/Audio Source.png"},
    {QT_TRANSLATE_NOOP("CPreferencesDialog", "Scheduler"), ":/prefix/res/Settings/Scheduler.png"},
    {QT_TRANSLATE_NOOP("CPreferencesDialog", "Control"), ":/prefix/res/Settings/Control.png"},
    {QT_TRANSLATE_NOOP("CPreferencesDialog", "Format"), ":/prefix/res/Settings/Format.png"},
    {QT_TRANSLATE_NOOP("CPreferencesDialog", "Connection"), ":/prefix/res/Settings/Connection.png"},
    {QT_TRANSLATE_NOOP("CPreferencesDialog", "Skin"), ":/prefix/res/Settings/Skin.png"},
};

const char* const kTranslationPage = "https://www.tavrel.com/translation/";

} // namespace

CPreferencesDialog::CPreferencesDialog(HCAPDEV device, CSonacapBase* engine,
                                       ISonacapDriverSetup* driverSetup, QWidget* parent,
                                       CPfType page)
    : CMyDialogFrame(parent, kFrameFlags)
{
    setObjectName(QStringLiteral("PreferencesDialog"));
    ApplyDialogLabelStyle();

    m_chosenFolders.clear();
    m_settings = CAppSettings::GetInstance();

    m_languageNames << tr("English") << tr("Japanese") << tr("German") << tr("Russian");
    m_languageFiles << QStringLiteral("sonacap_en.qm") << QStringLiteral("sonacap_jp.qm")
                    << QStringLiteral("sonacap_de.qm") << QStringLiteral("sonacap_rus.qm");
    m_languageCodes << QStringLiteral("en") << QStringLiteral("jp") << QStringLiteral("de")
                    << QStringLiteral("rus");
    m_translationFolder = QCoreApplication::applicationDirPath() + QStringLiteral("/language");

    QWidget* content = GetContentWidget();

    // Page tool bar.
    m_toolBar = new QToolBar(content);
    m_toolBar->setObjectName(QStringLiteral("SettingBar"));
    m_toolBar->setIconSize(QSize(32, 32));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    for (const PageInfo& info : kPages) {
        QPixmap pixmap(QString::fromLatin1(info.icon));
        if (!pixmap.isNull())
            pixmap = pixmap.scaled(32, 32, Qt::IgnoreAspectRatio);
        QAction* action = m_toolBar->addAction(QIcon(pixmap), tr(info.text));
        action->setCheckable(true);
        m_actions.append(action);
    }
    connect(m_toolBar, &QToolBar::actionTriggered, this, &CPreferencesDialog::toolBarActionTrig);

    // Pages.
    m_stack = new QStackedWidget(content);
    m_stack->setObjectName(QStringLiteral("preferenceStacke"));
    m_stack->setFixedHeight(ScaledPixels(225));
    m_netPage = new CNetWidget(m_stack);
    m_controlPage = new QWidget(m_stack);
    m_formatPage = new QWidget(m_stack);
    m_sourcePage = new CSetSourceDialog(device, engine, driverSetup, m_stack);
    m_taskPage = new CSetTaskDialog(m_stack);
    m_skinPage = new CSkinWidget(m_stack);
    BuildControlPage();
    BuildFormatPage();
    m_generalPage = new QWidget(m_stack);
    BuildGeneralPage();

    m_stack->addWidget(m_generalPage);
    m_stack->addWidget(m_sourcePage);
    m_stack->addWidget(m_taskPage);
    m_stack->addWidget(m_controlPage);
    m_stack->addWidget(m_formatPage);
    m_stack->addWidget(m_netPage);
    m_stack->setContentsMargins(ScaledPixels(10), 0, ScaledPixels(10), 0);
    m_stack->addWidget(m_skinPage);

    // Buttons.
    m_okButton = new QPushButton(tr("OK"), content);
    m_cancelButton = new QPushButton(tr("Cancel"), content);
    m_buttonBox = new QDialogButtonBox(content);
    m_buttonBox->addButton(m_okButton, QDialogButtonBox::ActionRole);
    m_buttonBox->addButton(m_cancelButton, QDialogButtonBox::ActionRole);
    connect(m_cancelButton, &QPushButton::clicked, this, &CPreferencesDialog::reject);
    connect(m_okButton, &QPushButton::clicked, this, &CPreferencesDialog::Save);

    m_contentLayout = new QVBoxLayout(content);
    m_contentLayout->setSpacing(0);
    m_contentLayout->setContentsMargins(0, 0, 0, ScaledPixels(15));
    m_contentLayout->addWidget(m_toolBar);
    m_contentLayout->addWidget(m_stack);
    m_contentLayout->addSpacing(ScaledPixels(15));
    auto* buttonRow = new QHBoxLayout;
    buttonRow->setContentsMargins(ScaledPixels(20), 0, ScaledPixels(20), 0);
    buttonRow->addStretch();
    buttonRow->addWidget(m_buttonBox);
    m_contentLayout->addLayout(buttonRow);

    // A stored page outside the table opens the first page.
    if (page < 0 || page >= kPageCount)
        page = kPageGeneral;
    m_stack->setCurrentIndex(page);
    m_pageIndex = page;
    CheckPageAction(page);

    setFixedSize(ScaledPixels(630), ScaledPixels(377));
}

CPreferencesDialog::~CPreferencesDialog()
{
    m_settings->SetPreferenceIndex(m_pageIndex);
}

void CPreferencesDialog::BuildGeneralPage()
{
    auto* layout = new QVBoxLayout(m_generalPage);
    layout->setSpacing(0);

    // Output folder.
    auto* outputRow = new QHBoxLayout;
    outputRow->setSpacing(ScaledPixels(8));
    m_outputLabel = new QLabel(tr("Output:"), m_generalPage);
    m_folderBox = new QComboBox(m_generalPage);
    m_folderBox->setFixedSize(ScaledPixels(340), ScaledPixels(23));
    QStringList shown;
    for (const QString& folder : m_settings->GetOutputPath()) {
        if (!shown.contains(folder))
            shown.append(folder);
    }
    m_folderBox->addItems(shown);
    m_folderBox->setCurrentIndex(shown.isEmpty() ? -1 : 0);
    m_folderButton = new QToolButton(m_generalPage);
    m_folderButton->setCursor(Qt::ArrowCursor);
    ApplySkinButtonStyle(m_folderButton, QStringLiteral("folder"), 30, 23);
    connect(m_folderButton, &QToolButton::clicked, this, &CPreferencesDialog::OpenFile);
    m_shownFolder = m_folderBox->currentIndex();
    connect(m_folderBox, QOverload<int>::of(&QComboBox::activated), this, &CPreferencesDialog::FolderPicked);
    outputRow->addWidget(m_outputLabel);
    outputRow->addWidget(m_folderBox);
    outputRow->addWidget(m_folderButton, 0, Qt::AlignHCenter);
    outputRow->addStretch();
    layout->addLayout(outputRow);

    // Language heading.
    auto* headingRow = new QHBoxLayout;
    headingRow->setContentsMargins(0, 10, 0, 0);
    m_languageHeading = new QLabel(tr("Language:"), m_generalPage);
    headingRow->addWidget(m_languageHeading, 1);
    layout->addLayout(headingRow);

    // Language choice.
    auto* languageRow = new QHBoxLayout;
    languageRow->setContentsMargins(ScaledPixels(35), 0, 0, 0);
    languageRow->setSpacing(ScaledPixels(8));
    m_chooseLanguageLabel = new QLabel(tr("Choose your language:"), m_generalPage);
    m_languageBox = new QComboBox(m_generalPage);
    m_languageBox->setFixedSize(ScaledPixels(168), ScaledPixels(23));
    m_languageBox->addItems(m_languageNames);
    const int languageIndex = m_languageCodes.indexOf(m_settings->GetLanguage());
    m_languageBox->setCurrentIndex(languageIndex);
    LaunguageChanged(languageIndex);
    connect(m_languageBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CPreferencesDialog::LaunguageChanged);
    languageRow->addWidget(m_chooseLanguageLabel);
    languageRow->addWidget(m_languageBox);
    languageRow->addStretch();
    layout->addLayout(languageRow);

    // "Translate for us".
    auto* linkRow = new QHBoxLayout;
    linkRow->setContentsMargins(ScaledPixels(35), ScaledPixels(20), 0, 0);
    m_translateLink = new CLabelPress(QString::fromLatin1(kTranslationPage),
                                      tr("Translate for us"), m_generalPage);
    m_translateLink->SetLinkType(0);
    m_translateLink->setFixedSize(ScaledPixels(200), ScaledPixels(32));
    linkRow->addWidget(m_translateLink);
    linkRow->addStretch();
    layout->addLayout(linkRow);
}

void CPreferencesDialog::BuildControlPage()
{
    const QString secondsStyle =
        QStringLiteral("QLabel{font-size: %1px;font-weight: bold;}").arg(ScaledStyleNumber(14));

    // The spin box exists before the split box fills, because filling runs
    // SpliterIndexchange, which moves the spin box's minimum.
    m_filterSpin = new QSpinBox(m_controlPage);
    m_filterSpin->setContextMenuPolicy(Qt::NoContextMenu);
    m_filterSpin->setRange(1, 1000);

    m_splitBox = new QComboBox(m_controlPage);
    connect(m_splitBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CPreferencesDialog::SpliterIndexchange);
    const int storedSplit = m_settings->GetSplitTime();
    int storedIndex = -1;
    for (int i = 0; i < kSplitChoiceCount; ++i) {
        m_splitBox->addItem(tr(kSplitChoices[i].text));
        if (kSplitChoices[i].milliseconds == storedSplit)
            storedIndex = i;
    }
    if (storedIndex >= 0)
        m_splitBox->setCurrentIndex(storedIndex);

    m_splitCheck = new QCheckBox(tr("Automatically split when the silence is more than"),
                                 m_controlPage);
    m_filterCheck = new QCheckBox(tr("Automatically filter,only save tracks longer than"),
                                  m_controlPage);
    m_splitCheck->setChecked(m_settings->GetSplitMode() == 1);
    m_filterCheck->setChecked(m_settings->GetFilterMode() == 1);
    m_splitBox->setEnabled(m_splitCheck->isChecked());
    m_filterSpin->setEnabled(m_filterCheck->isChecked());
    connect(m_splitCheck, &QCheckBox::stateChanged, this, &CPreferencesDialog::ChangeSpliteModle);
    connect(m_filterCheck, &QCheckBox::stateChanged, this,
            &CPreferencesDialog::ChangeFilterModle);

    m_splitSeconds = new QLabel(tr("seconds"), m_controlPage);
    m_splitSeconds->setStyleSheet(secondsStyle);
    m_filterSeconds = new QLabel(tr("seconds"), m_controlPage);
    m_filterSeconds->setStyleSheet(secondsStyle);

    auto* layout = new QVBoxLayout(m_controlPage);
    layout->setContentsMargins(0, 0, 0, ScaledPixels(40));
    layout->setSpacing(ScaledPixels(27));
    layout->addStretch();
    auto* splitRow = new QHBoxLayout;
    splitRow->setSpacing(ScaledPixels(10));
    splitRow->addWidget(m_splitCheck);
    splitRow->addWidget(m_splitBox);
    splitRow->addWidget(m_splitSeconds);
    splitRow->addStretch();
    layout->addLayout(splitRow);
    auto* filterRow = new QHBoxLayout;
    filterRow->setSpacing(ScaledPixels(5));
    filterRow->addWidget(m_filterCheck);
    filterRow->addWidget(m_filterSpin);
    filterRow->addWidget(m_filterSeconds);
    filterRow->addStretch();
    layout->addLayout(filterRow);
    layout->addStretch();
}

void CPreferencesDialog::BuildFormatPage()
{
    m_formatLabel = new QLabel(tr("Output Format:"), m_formatPage);
    m_formatBox = new QComboBox(m_formatPage);
    m_formatBox->setFixedWidth(ScaledPixels(360));
    m_formatBox->addItem(tr("mp3 Audio(*.mp3)"));
    m_formatBox->addItem(tr("wav Audio(*.wav)"));
    m_formatBox->setCurrentIndex(m_settings->GetOutputFileType() == 1 ? 1 : 0);
    connect(m_formatBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CPreferencesDialog::FileTypeComboxChange);

    auto* group = new QGroupBox(tr("Audio Setting:"), m_formatPage);
    group->setStyleSheet(QStringLiteral("QGroupBox:title{margin-top:9px;}"));
    group->setObjectName(QStringLiteral("audioSettingGroup"));
    m_audioGroup = group;
    m_codecLabel = new QLabel(tr("Audio Codec:"), group);
    m_bitRateLabel = new QLabel(tr("Bit Rate(Kbps):"), group);
    m_sampleRateLabel = new QLabel(tr("Sample Rate(HZ):"), group);
    m_codecBox = new QComboBox(group);
    m_codecBox->addItem(QStringLiteral("AAC"));
    m_codecBox->setEnabled(true);
    m_codecBox->setCurrentIndex(m_settings->GetAudioCodec() == 0 ? 0 : -1);
    m_bitRateBox = new QComboBox(group);
    m_sampleRateBox = new QComboBox(group);
    for (int rate : kSampleRates)
        m_sampleRateBox->addItem(QString::number(rate));
    const int storedRate = m_settings->GetSampleRate();
    m_sampleRateBox->setCurrentIndex(storedRate == kSampleRates[1] ? 1 : 0);
    SampleRateComboxChange(m_sampleRateBox->currentIndex());
    connect(m_sampleRateBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CPreferencesDialog::SampleRateComboxChange);

    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(ScaledPixels(20), ScaledPixels(10), ScaledPixels(180),
                             ScaledPixels(10));
    grid->addWidget(m_codecLabel, 0, 0, Qt::AlignRight);
    grid->addWidget(m_bitRateLabel, 1, 0, Qt::AlignRight);
    grid->addWidget(m_sampleRateLabel, 2, 0, Qt::AlignRight);
    grid->addWidget(m_codecBox, 0, 1);
    grid->addWidget(m_bitRateBox, 1, 1);
    grid->addWidget(m_sampleRateBox, 2, 1);

    auto* layout = new QVBoxLayout(m_formatPage);
    // Only the right margin is the page's own; the others stay the style's,
    // which keeps the format row off the page tool bar.
    QMargins margins = layout->contentsMargins();
    margins.setRight(ScaledPixels(100));
    layout->setContentsMargins(margins);
    auto* formatRow = new QHBoxLayout;
    formatRow->addWidget(m_formatLabel, 1);
    formatRow->addWidget(m_formatBox, 1);
    layout->addLayout(formatRow);
    layout->addSpacing(ScaledPixels(10));
    layout->addWidget(group);
}

void CPreferencesDialog::CheckPageAction(int index)
{
    for (QAction* action : m_actions)
        action->setChecked(false);
    if (index >= 0 && index < m_actions.size())
        m_actions.at(index)->setChecked(true);
}

void CPreferencesDialog::toolBarActionTrig(QAction* action)
{
    const int index = m_actions.indexOf(action);
    if (index < 0)
        return;
    m_stack->setCurrentIndex(index);
    m_pageIndex = index;
    CheckPageAction(index);
}

bool CPreferencesDialog::FolderIsUsable(const QString& folder)
{
    int error = 0;
    const OutputFolderProblem problem = CheckOutputFolder(folder, OutputFolderUse::Check, &error);
    if (problem == OutputFolderProblem::None)
        return true;
    qWarning() << "CPreferencesDialog: output folder refused:" << folder << "error" << error;
    QList<DialogButtonInfo> buttons;
    buttons.append({QDialogButtonBox::Ok, tr("OK"), true});
    AskLibraryQuestion(this, OutputFolderProblemText(problem, folder) + QStringLiteral("\n") + tr("Choose another folder."),
                       buttons);
    return false;
}

bool CPreferencesDialog::ChooseFolder(const QString& picked)
{
    // Taken as picked: a backslash is an ordinary character of a folder name.
    const QString folder = picked;
    if (folder.isEmpty())
        return false;
    // Said now, while the user is choosing, not at the next Record.
    if (!FolderIsUsable(folder))
        return false;

    m_chosenFolders = m_settings->GetOutputPath();
    if (m_chosenFolders.contains(folder)) {
        m_chosenFolders.removeAll(folder);
        const int boxIndex = m_folderBox->findText(folder);
        if (boxIndex >= 0)
            m_folderBox->removeItem(boxIndex);
        m_chosenFolders.prepend(folder);
        m_folderBox->insertItem(0, folder);
        m_folderBox->setCurrentIndex(0);
        m_shownFolder = 0;
        return true;
    }
    m_chosenFolders.prepend(folder);
    m_folderBox->insertItem(0, folder);
    m_folderBox->setCurrentIndex(0);
    if (m_chosenFolders.size() > kMaxFolders) {
        const QString dropped = m_chosenFolders.takeLast();
        const int boxIndex = m_folderBox->findText(dropped);
        if (boxIndex > 0)
            m_folderBox->removeItem(boxIndex);
    }
    m_shownFolder = 0;
    return true;
}

void CPreferencesDialog::FolderPicked(int index)
{
    // An earlier folder may have gone since (a drive taken away): the box
    // goes back to the folder it showed.
    if (index == m_shownFolder)
        return;
    if (!FolderIsUsable(m_folderBox->itemText(index))) {
        m_folderBox->setCurrentIndex(m_shownFolder);
        return;
    }
    m_shownFolder = index;
}

void CPreferencesDialog::OpenFile()
{
    const QString folder = QFileDialog::getExistingDirectory(
        this, QString(), m_folderBox->currentText(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    ChooseFolder(folder);
}

void CPreferencesDialog::ChangeSpliteModle()
{
    m_splitBox->setEnabled(m_splitCheck->checkState() == Qt::Checked);
}

void CPreferencesDialog::ChangeFilterModle()
{
    m_filterSpin->setEnabled(m_filterCheck->checkState() == Qt::Checked);
}

void CPreferencesDialog::SpliterIndexchange(int index)
{
    if (index < 0 || index >= kSplitChoiceCount)
        return;
    // A kept song is always longer than the silence that splits songs.
    const int minimum = kSplitChoices[index].milliseconds / 1000 + 1;
    int value = m_settings->GetFilterTime();
    if (value < minimum) {
        value = minimum;
        m_settings->SetFilterTime(minimum);
    }
    m_filterSpin->setValue(value);
    m_filterSpin->setRange(minimum, 1000);
}

void CPreferencesDialog::FileTypeComboxChange(int)
{
    SampleRateComboxChange(m_sampleRateBox->currentIndex());
}

void CPreferencesDialog::SampleRateComboxChange(int index)
{
    m_bitRateBox->clear();
    if (m_formatBox->currentIndex() > 0) {
        if (index >= 0 && index < 2)
            m_bitRateBox->addItem(QString::number(kWavBitRates[index]));
    } else {
        const int stored = m_settings->GetBitRate();
        int current = 0;
        for (int i = 0; i < 5; ++i) {
            m_bitRateBox->addItem(QString::number(kMp3BitRates[i]));
            if (kMp3BitRates[i] == stored)
                current = i;
        }
        m_bitRateBox->setCurrentIndex(current);
    }
    m_bitRateBox->setEnabled(true);
}

void CPreferencesDialog::LaunguageChanged(int index)
{
    if (index >= 0 && index < m_languageFiles.size()) {
        m_pendingFile = m_languageFiles.at(index);
        m_pendingCode = m_languageCodes.at(index);
    } else {
        m_pendingFile.clear();
        m_pendingCode.clear();
    }
}

void CPreferencesDialog::Save()
{
    // Output folders: the folder shown goes first, the others keep their order.
    if (!m_chosenFolders.isEmpty())
        m_settings->SetOutputPath(m_chosenFolders);
    QStringList folders = m_settings->GetOutputPath();
    const QString shown = m_folderBox->currentText();
    if (!shown.isEmpty()) {
        folders.removeAll(shown);
        folders.prepend(shown);
    }
    m_settings->SetOutputPath(folders);

    if (m_splitCheck->isChecked()) {
        m_settings->SetSplitMode(1);
        const int index = m_splitBox->currentIndex();
        if (index >= 0 && index < kSplitChoiceCount)
            m_settings->SetSplitTime(kSplitChoices[index].milliseconds);
    } else {
        m_settings->SetSplitMode(0);
    }

    if (m_filterCheck->isChecked()) {
        m_settings->SetFilterMode(1);
        m_settings->SetFilterTime(m_filterSpin->value());
    } else {
        m_settings->SetFilterMode(0);
    }

    m_settings->SetOutputFileType(m_formatBox->currentIndex() > 0 ? 1 : 0);
    if (m_formatBox->currentIndex() == 0)
        m_settings->SetBitRate(m_bitRateBox->currentText().toInt());
    const int rateIndex = m_sampleRateBox->currentIndex();
    m_settings->SetSampleRate(kSampleRates[rateIndex == 1 ? 1 : 0]);

    m_settings->SetProxyEnabled(m_netPage->ProxyCheck()->isChecked() ? 1 : 0);
    m_netPage->SetNetworkProxy();
    m_taskPage->Save();
    m_sourcePage->Save();
    m_skinPage->SaveSkin();

    // Language, loaded into a fresh translator: load() empties the object it
    // loads into, so a language that fails to load must never touch the one
    // in use. English is the source language and has no translation file: an
    // empty translator is its translation.
    if (!m_pendingFile.isEmpty()) {
        auto* translator = new QTranslator(QCoreApplication::instance());
        bool loaded = translator->load(m_pendingFile, m_translationFolder);
        if (!loaded && m_pendingCode == QLatin1String("en")
            && !QFileInfo::exists(m_translationFolder + QLatin1Char('/') + m_pendingFile))
            loaded = true;
        if (!loaded) {
            qWarning() << "CPreferencesDialog::Save could not load" << m_pendingFile << "from"
                       << m_translationFolder << "- the language stays";
            delete translator;
        } else {
            // The old one leaves the application as it is deleted.
            delete ProgramTranslator();
            SetProgramTranslator(translator);
            QCoreApplication::installTranslator(translator);
            m_settings->SetLanguage(m_pendingCode);
            m_settings->InitWebLinks();
            RetranslateUi();
            emit sLanguageChange();
        }
    }

    done(1);
}

void CPreferencesDialog::RetranslateUi()
{
    for (int i = 0; i < m_actions.size() && i < kPageCount; ++i)
        m_actions.at(i)->setText(tr(kPages[i].text));
    m_splitCheck->setText(tr("Automatically split when the silence is more than"));
    m_filterCheck->setText(tr("Automatically filter,only save tracks longer than"));
    m_splitSeconds->setText(tr("seconds"));
    m_filterSeconds->setText(tr("seconds"));
    static_cast<QGroupBox*>(m_audioGroup)->setTitle(tr("Audio Setting:"));
    m_formatLabel->setText(tr("Output Format:"));
    m_codecLabel->setText(tr("Audio Codec:"));
    m_bitRateLabel->setText(tr("Bit Rate(Kbps):"));
    m_sampleRateLabel->setText(tr("Sample Rate(HZ):"));
    m_outputLabel->setText(tr("Output:"));
    m_languageHeading->setText(tr("Language:"));
    m_chooseLanguageLabel->setText(tr("Choose your language:"));
    m_okButton->setText(tr("OK"));
    m_cancelButton->setText(tr("Cancel"));
    m_translateLink->SetLinkType(0);
    m_netPage->RetranslateUi();
    m_sourcePage->RetranslateUi();
    m_taskPage->RetranslateUi();
}
