#include "modal.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {
const char* kHandled = "gp_test_answered";

// Fails the running test: the box on screen is not the one the test planned for.
void failPlan(const QString& why, const SeenBox& box)
{
    const QString message = why
        + QStringLiteral(" (box \"%1\": \"%2\", buttons: %3)")
              .arg(box.title, box.text, box.buttons.join(QStringLiteral(", ")));
    QTest::qFail(qPrintable(message), __FILE__, __LINE__);
}
} // namespace

ModalAnswerer::ModalAnswerer(QObject* parent) : QObject(parent)
{
    timer_.setInterval(10);
    connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::poll);
    timer_.start();
}

ModalAnswerer::~ModalAnswerer() = default;

ModalAnswerer& ModalAnswerer::press(const QString& label)
{
    plan_.push_back({Step::Press, label});
    return *this;
}

ModalAnswerer& ModalAnswerer::pressEnter()
{
    plan_.push_back({Step::Enter, {}});
    return *this;
}

ModalAnswerer& ModalAnswerer::type(const QString& text)
{
    plan_.push_back({Step::Type, text});
    return *this;
}

ModalAnswerer& ModalAnswerer::cancel()
{
    plan_.push_back({Step::Cancel, {}});
    return *this;
}

bool ModalAnswerer::waitForBoxes(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return int(seen_.size()) >= count; }, timeoutMs);
}

void ModalAnswerer::poll()
{
    QWidget* w = QApplication::activeModalWidget();
    if (!w || !w->isVisible() || w->property(kHandled).toBool())
        return;
    auto* mb = qobject_cast<QMessageBox*>(w);
    auto* in = qobject_cast<QInputDialog*>(w);
    if (!mb && !in)
        return;
    w->setProperty(kHandled, true);

    SeenBox box;
    box.title = w->windowTitle();
    std::optional<Step> step;
    if (!plan_.empty()) {
        step = plan_.front();
        plan_.pop_front();
    } else {
        box.unplanned = true;
    }

    if (mb) {
        box.kind = QStringLiteral("message");
        box.text = mb->text();
        box.icon = mb->icon();
        QAbstractButton* target = nullptr;
        const auto buttons = mb->findChild<QDialogButtonBox*>()->buttons();
        if (mb->defaultButton())
            box.defaultButton = mb->defaultButton()->text();
        for (QAbstractButton* b : buttons) {
            box.buttons << b->text();
            if (step && step->what == Step::Press && b->text() == step->value)
                target = b;
        }
        if (step && step->what == Step::Enter) {
            box.answered = box.defaultButton;
            seen_.push_back(box);
            QTest::keyClick(mb, Qt::Key_Return);
            return;
        }
        if (step && step->what != Step::Press)
            failPlan(QStringLiteral("an answer for an input box was planned, a message box came"), box);
        else if (step && !target)
            failPlan(QStringLiteral("the planned button \"%1\" is not on the box").arg(step->value), box);
        if (!target)
            target = mb->escapeButton() ? mb->escapeButton() : buttons.value(0);
        box.answered = target ? target->text() : QString();
        box.mismatched = step && target && target->text() != step->value;
        seen_.push_back(box);
        if (target)
            QMetaObject::invokeMethod(target, "click", Qt::QueuedConnection);
        else
            QMetaObject::invokeMethod(mb, "reject", Qt::QueuedConnection);
    } else {
        box.kind = QStringLiteral("input");
        box.text = in->labelText();
        box.defaultText = in->textValue();
        box.buttons << in->okButtonText() << in->cancelButtonText();
        if (step && (step->what == Step::Press || step->what == Step::Enter)) {
            failPlan(QStringLiteral("the button \"%1\" was planned, an input box came").arg(step->value), box);
            box.mismatched = true;
        }
        if (step && step->what == Step::Type) {
            in->setTextValue(step->value);
            box.answered = QStringLiteral("type:") + step->value;
            seen_.push_back(box);
            QMetaObject::invokeMethod(in, "accept", Qt::QueuedConnection);
        } else {
            box.answered = in->cancelButtonText();
            seen_.push_back(box);
            QMetaObject::invokeMethod(in, "reject", Qt::QueuedConnection);
        }
    }
}
