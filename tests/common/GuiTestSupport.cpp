#include "GuiTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <deque>

namespace TestSupport {

namespace {

QString Describe(QWidget* w)
{
    return QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(w->metaObject()->className()),
                                           w->windowTitle());
}

void Close(QWidget* w)
{
    if (auto* dialog = qobject_cast<QDialog*>(w))
        dialog->reject();
    else
        w->close();
}

// Lives in the main thread for the rest of the test program.
class TModalDriver : public QObject {
public:
    struct TAnswer {
        const QMetaObject* Type;
        std::function<void(QWidget*)> Action;
    };

    TModalDriver()
        : QObject(qApp)
    {
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, &TModalDriver::Poll);
        m_timer.start();
    }

    std::deque<TAnswer> Answers;
    QStringList Problems;
    int GraceMs = 10000;

    bool Idle() const { return Answers.empty() && !m_answering; }

private:
    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) {
            m_stray.clear();
            return;
        }
        if (modal == m_answering)
            return;
        for (auto it = Answers.begin(); it != Answers.end(); ++it) {
            if (it->Type->cast(modal)) {
                Answer(modal, std::move(it->Action));
                Answers.erase(it);
                return;
            }
        }
        WatchStray(modal);
    }

    // Runs the action from the dialog's own event loop rather than inside this
    // timer's slot: Qt does not re-enter a timer whose slot is still running,
    // so a modal the action opens in turn could not be answered otherwise.
    void Answer(QWidget* modal, std::function<void(QWidget*)> action)
    {
        m_stray.clear();
        m_answering = modal;
        QTimer::singleShot(0, this, [this, modal = QPointer<QWidget>(modal), action = std::move(action)] {
            m_answering.clear();
            if (modal)
                action(modal);
            else
                Problems << QStringLiteral("closed before its answer ran");
        });
    }

    void WatchStray(QWidget* modal)
    {
        if (m_stray != modal) {
            m_stray = modal;
            m_strayClock.start();
        } else if (m_strayClock.elapsed() > GraceMs) {
            Problems << QStringLiteral("unanswered, closed: ") + Describe(modal);
            m_stray.clear();
            Close(modal);
        }
    }

    QTimer m_timer;
    QPointer<QWidget> m_answering;
    QPointer<QWidget> m_stray;
    QElapsedTimer m_strayClock;
};

TModalDriver& Driver()
{
    static QPointer<TModalDriver> driver;
    if (!driver)
        driver = new TModalDriver;
    return *driver;
}

} // namespace

void ClickIndicator(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(6, button->height() / 2));
}

void AnswerNextModalOf(const QMetaObject& type, std::function<void(QWidget*)> action)
{
    Driver().Answers.push_back({&type, std::move(action)});
}

bool WaitModalsAnswered(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    // The driver's own timer wakes this loop every few milliseconds.
    while (!Driver().Idle()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

QStringList CloseLeftoverModals()
{
    TModalDriver& driver = Driver();
    QStringList problems = driver.Problems;
    driver.Problems.clear();
    for (const auto& answer : driver.Answers)
        problems << QStringLiteral("never shown: ") + QString::fromLatin1(answer.Type->className());
    driver.Answers.clear();
    // Bounded: a widget that refuses to close must not hang the test here.
    for (int tries = 0; tries < 20; ++tries) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            break;
        problems << QStringLiteral("left open: ") + Describe(modal);
        Close(modal);
        QCoreApplication::processEvents();
    }
    return problems;
}

void SetUnansweredModalGraceMs(int ms)
{
    Driver().GraceMs = ms;
}

} // namespace TestSupport
