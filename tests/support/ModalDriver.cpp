#include "support/ModalDriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTest>

namespace {
constexpr int kPollMs = 10;
} // namespace

TModalDriver::TModalDriver(int timeoutMs)
{
    m_poller.setInterval(kPollMs);
    connect(&m_poller, &QTimer::timeout, this, &TModalDriver::Poll);
    m_poller.start();

    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] { m_timedOut = true; });
    m_timeout.start(timeoutMs);
}

void TModalDriver::Expect(const QString& windowTitle, TAction action)
{
    m_steps.push_back({ windowTitle, std::move(action) });
}

void TModalDriver::Poll()
{
    if (m_timedOut) {
        DismissModalWindows();
        return;
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (m_acting || m_steps.empty() || modal == nullptr || !modal->isVisible()
        || modal->windowTitle() != m_steps.front().title) {
        return;
    }
    TAction action = std::move(m_steps.front().action);
    m_steps.pop_front();
    m_acting = true;
    QMetaObject::invokeMethod(
        this,
        [this, action = std::move(action), dialog = QPointer<QWidget>(modal)] {
            m_acting = false;
            if (dialog) {
                action(dialog);
            }
        },
        Qt::QueuedConnection);
}

void TModalDriver::DismissModalWindows()
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QDialog*>(window); dialog != nullptr && dialog->isVisible()) {
            dialog->reject();
        }
    }
}

QWidget* Child(QWidget* dialog, const char* objectName)
{
    return dialog->findChild<QWidget*>(QString::fromLatin1(objectName));
}

void TypeInto(QWidget* dialog, const char* fieldName, const QString& text)
{
    auto* field = qobject_cast<QLineEdit*>(Child(dialog, fieldName));
    field->setFocus();
    field->clear();
    // Key events carry only Latin-1 keys; other characters arrive as an
    // input method would deliver them.
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(field, c.toLatin1());
        } else {
            field->insert(QString(c));
        }
    }
}

void Click(QWidget* dialog, const char* buttonName)
{
    qobject_cast<QAbstractButton*>(Child(dialog, buttonName))->click();
}

void AcknowledgeBox(QWidget* box)
{
    qobject_cast<QMessageBox*>(box)->buttons().front()->click();
}

TModalDriver::TAction Acknowledge(TBoxSeen& seen)
{
    return [&seen](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        seen = {box->windowTitle(), box->text(), box->icon()};
        AcknowledgeBox(box);
    };
}

QString FocusedControl(QWidget* dialog)
{
    for (QWidget* w = QApplication::focusWidget(); w != nullptr; w = w->parentWidget()) {
        if (w->parentWidget() == dialog) {
            return w->objectName();
        }
    }
    return {};
}

QStringList TabOrder(const QString& windowTitle, int stops, const std::function<void()>& show)
{
    QStringList visited;
    TModalDriver driver;
    driver.Expect(windowTitle, [&](QWidget* dialog) {
        visited << FocusedControl(dialog);
        for (int i = 0; i < stops; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << FocusedControl(dialog);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    });
    show();
    if (!driver.Done()) {
        visited << QStringLiteral("<dialog not driven>");
    }
    return visited;
}
