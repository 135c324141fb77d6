#include "YModemU.h"

#include "serial/SpSync.h"
#include "transfer/TransferFiles.h"
#include "session/AAMenu.h"
#include "session/Comm.h"
#include "session/MessageSink.h"
#include "settings/VoiceFile.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace {

TFormYMU* g_current = nullptr;

constexpr int InitialRange = 100;
constexpr int LabelWidth = 320;

QLineEdit* ReadOnlyEdit(QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(true);
    return edit;
}

int ProgressUnits(qint64 bytes)
{
    return int(std::clamp<qint64>(bytes, 0, INT_MAX));
}

} // namespace

TFormYMU* TFormYMU::Current()
{
    return g_current;
}

TFormYMU::TFormYMU(TAAMenu& session, TCOMServer& server, QWidget* parent)
    : QDialog(parent)
    , Label1(new QLabel(this))
    , ProgressBar1(new QProgressBar(this))
    , Label3(new QLabel(QStringLiteral("Прогресс"), this))
    , Edit2(ReadOnlyEdit(this))
    , Label4(new QLabel(QStringLiteral("Всего"), this))
    , Edit3(ReadOnlyEdit(this))
    , Label2(new QLabel(QStringLiteral("Пакет"), this))
    , Edit1(ReadOnlyEdit(this))
    , Button1(new QPushButton(QStringLiteral("Отменить"), this))
    , m_session(session)
    , m_server(server)
{
    setWindowTitle(QStringLiteral("Передача/прием файла"));
    setModal(true);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    Label1->setFixedWidth(LabelWidth);
    ProgressBar1->setRange(0, InitialRange);
    ProgressBar1->setValue(0);
    Button1->setDefault(true);

    auto* numbers = new QGridLayout;
    const std::pair<QLabel*, QLineEdit*> rows[] = {{Label3, Edit2}, {Label4, Edit3}, {Label2, Edit1}};
    for (int row = 0; row < 3; ++row) {
        numbers->addWidget(rows[row].first, row, 0);
        numbers->addWidget(rows[row].second, row, 1);
    }
    auto* frame = new QVBoxLayout(this);
    frame->addWidget(Label1);
    frame->addWidget(ProgressBar1);
    frame->addLayout(numbers);
    frame->addWidget(Button1, 0, Qt::AlignHCenter);
    frame->setSizeConstraint(QLayout::SetFixedSize);

    if (TFormComm* comm = FormComm())
        SpYModem1.SetComm(&comm->SpComm1);
    SpYModem1.SetProtocol(YModem);
    SpYModem1.SetMode(tmUpload);
    SpYModem1.OnFileInfo = [this](TSpProtocol*, const QString& name, qint64 size) { SpYModem1FileInfo(name, size); };
    SpYModem1.OnPacketEvent = [this](TSpProtocol*, int packet, qint64 bytes) { SpYModem1PacketEvent(packet, bytes); };
    SpYModem1.OnTransferEnd = [this](TSpProtocol*, int exitCode) { SpYModem1TransferEnd(exitCode); };
    connect(Button1, &QPushButton::clicked, this, &QWidget::close);
    g_current = this;
}

TFormYMU::~TFormYMU()
{
    if (g_current == this)
        g_current = nullptr;
    // A transfer still running is stopped by the component; none of its last
    // events may reach this half-destroyed window.
    SpYModem1.OnFileInfo = nullptr;
    SpYModem1.OnPacketEvent = nullptr;
    SpYModem1.OnTransferEnd = nullptr;
}

void TFormYMU::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    // Once the window's own loop runs, so that the job's first steps find it on screen.
    QMetaObject::invokeMethod(this, &TFormYMU::FormShow, Qt::QueuedConnection);
}

void TFormYMU::RunUnattended()
{
    // Never on screen: nobody looks, and there may be no screen at all.
    FormShow();
    m_server.WaitIdle();
    if (m_started)
        spProcessMessagesUntil([this] { return m_ended; });
}

bool TFormYMU::Downloading() const
{
    return SpYModem1.Mode() == tmDownload;
}

void TFormYMU::FormShow()
{
    if (!Job)
        return;
    if (Job->State == TFile::UploadFile) {
        SpYModem1.SetMode(tmUpload);
        SpYModem1.Files = QStringList{Job->LocalFilePath};
    } else {
        SpYModem1.SetMode(tmDownload);
        // Never into the program's own folder: it is often not writable, and a
        // broken transfer would leave its part there.
        m_received = std::make_unique<QTemporaryDir>();
        if (!m_received->isValid()) {
            ErrorBox(QStringLiteral("Не удалось создать временную папку для приема файла: ")
                     + m_received->errorString());
            return;
        }
        SpYModem1.SetTargetFolder(m_received->path());
    }
    Job->TransferStartHook = [] {
        if (TFormYMU* window = Current())
            window->StartTransfer();
    };
    m_submitted = true;
    m_session.Submit(Job);
}

void TFormYMU::StartTransfer()
{
    try {
        SpYModem1.StartTransfer();
        m_started = true;
        // Cancelled while the unit was still being told of the transfer.
        if (m_cancelAsked)
            SpYModem1.CancelTransfer();
    } catch (const std::exception& e) {
        ErrorBox(QString::fromUtf8(e.what()));
    }
}

void TFormYMU::SpYModem1FileInfo(const QString& name, qint64 size)
{
    const QString bare = QFileInfo(name).fileName();
    Label1->setText((Downloading() ? QStringLiteral("Прием файла ") : QStringLiteral("Отправка файла ")) + bare);
    m_size = size;
    // An empty file still gets a bar that can be full, not a busy indicator.
    ProgressBar1->setRange(0, std::max(1, ProgressUnits(size)));
    Edit3->setText(QString::number(size));
}

void TFormYMU::SpYModem1PacketEvent(int packet, qint64 byteCount)
{
    ProgressBar1->setValue(std::min(ProgressUnits(byteCount), ProgressBar1->maximum()));
    Edit1->setText(QString::number(packet));
    Edit2->setText(QString::number(byteCount));
    if (OnProgress)
        OnProgress(byteCount, m_size);
}

void TFormYMU::Cancel()
{
    m_cancelAsked = true;
    if (m_started && !m_ended)
        SpYModem1.CancelTransfer(); // the end of the transfer closes the window
}

bool TFormYMU::WholeDespiteTrouble() const
{
    const bool trouble = m_cancelAsked || m_exitCode != ecDone;
    if (Downloading())
        return m_placed && (trouble || Job->TransferResult != 0);
    return m_started && m_ended && trouble && Job->TransferResult == 0;
}

void TFormYMU::ReportWholeDespiteTrouble() const
{
    if (!WholeDespiteTrouble())
        return;
    if (Downloading())
        WarningBox(QStringLiteral("Файл принят целиком и сохранен: ") + QDir::toNativeSeparators(TargetPath));
    else
        WarningBox(QStringLiteral("Файл передан целиком, устройство сохранило запись: ")
                   + QDir::toNativeSeparators(Job->LocalFilePath));
}

void TFormYMU::SpYModem1TransferEnd(int exitCode)
{
    m_exitCode = exitCode;
    m_ended = true;
    if (Downloading())
        PlaceDownload();
    // Whatever the exit code, the unit's own report tells the user how it went.
    Job->State = TFile::ReadResult;
    m_session.Submit(Job);
    accept();
}

void TFormYMU::PlaceDownload()
{
    try {
        if (TFormComm* comm = FormComm())
            comm->SpComm1.PurgeRead();
    } catch (const std::exception&) {
        // A failing port is reported by the job's reading of the result.
    }
    // A file that arrived whole is kept whatever came after its last byte (a
    // cancel, an error at the batch's end); the user is told once the unit's
    // report is in. Nothing else ever replaces the earlier file.
    m_receivedWhole = !SpYModem1.Files.isEmpty();
    if (m_receivedWhole) {
        QString error;
        m_placed = PlaceReceivedFile(SpYModem1.Files.constFirst(), TargetPath, error);
        if (!m_placed)
            ErrorBox(error);
    }
    m_received.reset(); // with whatever part of a broken transfer it holds
}

bool TFormYMU::FormCloseQuery()
{
    if (m_querying)
        return false;
    m_querying = true;
    // While the job still talks to the unit, its outcome decides whether there
    // is a transfer to cancel: closing now would leave the unit waiting for one.
    if (m_submitted && !m_started)
        m_server.WaitIdle();
    bool allowed = !SpYModem1.InProgress();
    if (!allowed && ConfirmBox(QStringLiteral("Хотите прервать передачу ?"), TConfirmButtons::YesNo))
        Cancel();
    m_querying = false;
    // The transfer may have ended, and closed the window, while the user was asked.
    return allowed && isVisible();
}

void TFormYMU::reject()
{
    if (FormCloseQuery())
        QDialog::reject();
}
