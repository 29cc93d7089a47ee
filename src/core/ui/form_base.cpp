#include "core/ui/form_base.h"

#include "core/ui/app_context.h"
#include "core/ui/geometry.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>

namespace gp::ui {

namespace {
// The form that last became the active window of the program. Message boxes,
// input boxes and other applications do not change it, so coming back from them
// to the same form is not an activation.
QPointer<FormBase>& lastForm()
{
    static QPointer<FormBase> form;
    return form;
}
} // namespace

FormBase::FormBase(AppContext& ctx, const QString& formName, QWidget* parent)
    : QMainWindow(parent), ctx_(&ctx), body_(new QWidget(this))
{
    setObjectName(formName);
    body_->setObjectName(formName + QStringLiteral("_body"));
    setCentralWidget(body_);
}

FormBase::~FormBase()
{
    if (lastForm() == this)
        lastForm() = nullptr;
}

FormBase* FormBase::lastActivated() { return lastForm().data(); }

void FormBase::resetActivation() { lastForm() = nullptr; }

void FormBase::setClientSizeTwips(int widthTwips, int heightTwips)
{
    body_->setMinimumSize(twips(widthTwips), twips(heightTwips));
    resize(twips(widthTwips), twips(heightTwips) + (menuWidget() ? menuWidget()->sizeHint().height() : 0));
}

void FormBase::centreOnScreen()
{
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize size = frameGeometry().size();
    move(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
}

bool FormBase::event(QEvent* e)
{
    const bool result = QMainWindow::event(e);
    if (e->type() == QEvent::WindowActivate && !unloading_ && lastForm() != this) {
        lastForm() = this;
        onActivate();
        emit activated();
    }
    return result;
}

void FormBase::closeEvent(QCloseEvent* e)
{
    if (closeRefused_ && !unloading_) {
        e->ignore();
        return;
    }
    QMainWindow::closeEvent(e);
}

void FormBase::hideEvent(QHideEvent* e)
{
    // A hidden form that is shown again is activated again.
    if (lastForm() == this && !e->spontaneous())
        lastForm() = nullptr;
    QMainWindow::hideEvent(e);
}

void FormBase::keyPressEvent(QKeyEvent* e)
{
    // Only keys that no control used come here.
    const auto modifiers = e->modifiers() & ~Qt::KeypadModifier;
    const auto usable = [this](QAbstractButton* b) {
        return b && b->window() == this && b->isVisible() && b->isEnabled();
    };
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
        QWidget* focus = focusWidget();
        if (auto* button = qobject_cast<QAbstractButton*>(focus); usable(button)) {
            button->click();
            return;
        }
        auto* line = qobject_cast<QLineEdit*>(focus);
        const bool textBox = line && !qobject_cast<QComboBox*>(line->parentWidget());
        if (textBox && usable(mainCommand_)) {
            mainCommand_->click();
            return;
        }
    } else if (e->key() == Qt::Key_Escape && modifiers == Qt::NoModifier) {
        if (usable(escapeCommand_)) {
            escapeCommand_->click();
            return;
        }
        if (escapeCloses_) {
            close();
            return;
        }
    }
    QMainWindow::keyPressEvent(e);
}

void FormBase::unloadNow()
{
    unloading_ = true;
    onUnload();
    hide();
    if (lastForm() == this)
        lastForm() = nullptr;
}

} // namespace gp::ui
