#include "CAddToiTunesDialog.h"

#include "InterfaceScale.h"

#include <QCloseEvent>
#include <QDebug>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>

namespace {
constexpr int kFrameFlags = 3;
}

CAddToiTunesDialog::CAddToiTunesDialog(QList<MusicInfoRow> rows, QWidget* parent)
    : CMyDialogFrame(parent, kFrameFlags)
    , m_rows(rows)
{
    const double scale = GetInterfaceScale();
    setObjectName(QStringLiteral("toiTunesDialg"));
    setStyleSheet(QStringLiteral("QLabel{color: #FFFFFF;font-size: %1px;}")
                      .arg(QString::number(12 * scale, 'g')));

    QWidget* content = GetContentWidget();
    m_icon = new QLabel(content);
    const int side = static_cast<int>(48 * scale);
    QPixmap icon(QStringLiteral(":/prefix/res/transf.png"));
    if (!icon.isNull())
        m_icon->setPixmap(icon.scaled(side, side, Qt::IgnoreAspectRatio));
    m_text = new QLabel(tr("\nAdd Music To iTunes \n"), content);

    m_progress = new QProgressBar(content);
    m_progress->setStyleSheet(QStringLiteral("QProgressBar{border-radius: %1px;text-align: center;}")
                                  .arg(QString::number(5 * scale, 'g')));
    m_progress->setRange(0, m_rows.size());
    m_progress->setValue(0);

    m_buttons = new QDialogButtonBox(content);
    QPushButton* abort = m_buttons->addButton(tr("Abort"), QDialogButtonBox::RejectRole);
    connect(abort, &QPushButton::clicked, this, &CAddToiTunesDialog::close);

    m_grid = new QGridLayout(content);
    m_grid->addWidget(m_icon, 0, 0);
    m_grid->addWidget(m_text, 0, 1);
    m_grid->addWidget(m_progress, 1, 0, 1, 2);
    m_grid->addWidget(m_buttons, 2, 1);

    setFixedSize(static_cast<int>(420 * scale), static_cast<int>(150 * scale));
    SetWindowTitle(tr("Add To iTunes"));

    CToiTunesThread* worker = new CToiTunesThread(m_rows, nullptr);
    m_worker = worker;
    connect(worker, &CToiTunesThread::ProgressBarValueChange, this,
            &CAddToiTunesDialog::ProgressBarValueChange);
    connect(worker, &CToiTunesThread::iTunesNotFind, this, &CAddToiTunesDialog::NoiTunes);
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start(QThread::InheritPriority);
    qDebug() << "Start add music to iTunes, music count: " << m_rows.size();
}

CAddToiTunesDialog::~CAddToiTunesDialog()
{
    Abort();
}

void CAddToiTunesDialog::ProgressBarValueChange(int value)
{
    if (value >= 1 && value <= m_rows.size()) {
        const QString name = QFileInfo(m_rows.at(value - 1).MusicPath).fileName();
        m_text->setText(tr("Adding...\n\nCurrent File:%1").arg(name));
    }
    m_progress->setValue(value);
    if (value == m_rows.size())
        close();
}

void CAddToiTunesDialog::NoiTunes()
{
    m_text->setText(tr("\nDo not find iTunes\nPlease try after install iTunes\n"));
    m_progress->hide();
}

void CAddToiTunesDialog::Abort()
{
    if (m_worker && m_worker->isRunning())
        m_worker->Stop();
}

void CAddToiTunesDialog::closeEvent(QCloseEvent* event)
{
    // Abort (and the frame's close) stop the export after the song in hand.
    Abort();
    CMyDialogFrame::closeEvent(event);
}
