#include "core/ui/navigator.h"

#include "core/ui/form_base.h"
#include "core/ui/window_placement.h"

#include <QApplication>

namespace gp::ui {

Navigator::Navigator(QObject* parent) : QObject(parent) { trackPressedControls(); }

Navigator::~Navigator()
{
    for (auto& f : forms_)
        delete f.data();
}

void Navigator::registerForm(const QString& name, Factory factory) { factories_.insert(name, std::move(factory)); }

bool Navigator::isRegistered(const QString& name) const { return factories_.contains(name) || form(name); }

QStringList Navigator::registeredForms() const { return factories_.keys(); }

FormBase* Navigator::form(const QString& name) const
{
    auto it = forms_.constFind(name);
    return it == forms_.constEnd() ? nullptr : it->data();
}

QStringList Navigator::loadedForms() const
{
    QStringList names;
    for (auto it = forms_.constBegin(); it != forms_.constEnd(); ++it)
        if (it->data())
            names << it.key();
    return names;
}

FormBase* Navigator::load(const QString& name)
{
    if (FormBase* f = form(name))
        return f;
    auto it = factories_.constFind(name);
    if (it == factories_.constEnd())
        return nullptr;
    FormBase* f = (*it)();
    if (!f)
        return nullptr;
    if (f->objectName().isEmpty())
        f->setObjectName(name);
    forms_.insert(name, f);
    connect(f, &FormBase::activated, this, [this, f] { lastActive_ = f; });
    return f;
}

FormBase* Navigator::show(const QString& name)
{
    // The window the user works in opens this one: the active window, else the
    // form last active (a form that hides itself before opening another).
    QWidget* opener = QApplication::activeWindow();
    if (!opener || opener->isHidden() || !qobject_cast<FormBase*>(opener))
        opener = lastActive_ ? lastActive_.data() : opener;
    FormBase* f = load(name);
    if (!f)
        return nullptr;
    if (!f->isVisible() && opener != f && !(f->placedOnce_ && name == mainMenu_))
        placeWindow(f, opener, opener && opener->isVisible() ? pressedControl(opener) : nullptr);
    f->placedOnce_ = true;
    f->show();
    f->raise();
    f->activateWindow();
    return f;
}

void Navigator::hide(const QString& name)
{
    if (FormBase* f = form(name))
        f->hide();
}

void Navigator::unload(const QString& name)
{
    QPointer<FormBase> f = forms_.take(name);
    if (!f)
        return;
    f->unloadNow();
    f->deleteLater();
}

void Navigator::unloadAll()
{
    const QStringList names = forms_.keys();
    for (const QString& n : names)
        unload(n);
}

} // namespace gp::ui
