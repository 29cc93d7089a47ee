// Navigator: builds the forms on demand by name, shows, hides and unloads them,
// and knows the main menu form.
//
// Every subsystem registers its forms once at start-up. Each subsystem folder
// <sub> (clients, cases, search, expenses, instructions, deadlines, printing)
// provides the header "<sub>/register_forms.h" declaring
//
//     namespace gp::<sub> { void registerForms(gp::ui::AppContext& ctx); }
//
// and defines it in one of its .cpp files, e.g.
//
//     void gp::clients::registerForms(ui::AppContext& ctx) {
//         ctx.navigator->registerForm(Anagrafe::kName, [&ctx] { return new Anagrafe(ctx); });
//     }
//
// The start-up (app/registerAllForms) calls every registerForms. Forms then
// open one another by the name constant of the form's class, and hand data over
// through the class itself:
//
//     auto* f = qobject_cast<Assegna*>(ctx().navigator->show(Assegna::kName));
//     if (f) f->startCaseAssignment();
//
// A form is built on its first show()/load(); unload() deletes it, and the next
// show() builds a new instance (fields and lists start afresh).
#pragma once

#include "core/ui/form_base.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

namespace gp::ui {

class FormBase;

class Navigator : public QObject {
    Q_OBJECT
public:
    using Factory = std::function<FormBase*()>;

    explicit Navigator(QObject* parent = nullptr);
    ~Navigator() override;

    void registerForm(const QString& name, Factory factory);
    bool isRegistered(const QString& name) const;
    QStringList registeredForms() const; // every name a form can be shown by

    // The instance of a form, nullptr when it is not loaded.
    FormBase* form(const QString& name) const;
    template <class T> T* formAs(const QString& name) const { return qobject_cast<T*>(form(name)); }
    bool isLoaded(const QString& name) const { return form(name) != nullptr; }
    QStringList loadedForms() const;

    // Builds the form when it is not loaded; does not show it. nullptr when the
    // name is not registered.
    FormBase* load(const QString& name);
    // load(), then show, raise and activate it (its onActivate() runs). nullptr
    // when the name is not registered. A form shown from hidden is placed first
    // (ui::placeWindow): centred on the window that opens it, inside the
    // screen, off the control pressed; the main menu only the first time, as
    // the forms come back to it where it was.
    FormBase* show(const QString& name);
    void hide(const QString& name);
    // Hides the form and deletes it (onUnload() runs first; deletion is deferred
    // so a form may unload itself from its own handler). Its next show builds it anew.
    void unload(const QString& name);
    void unloadAll();

    void setMainMenuName(const QString& name) { mainMenu_ = name; }
    QString mainMenuName() const { return mainMenu_; }
    FormBase* showMainMenu() { return show(mainMenu_); }

private:
    QHash<QString, Factory> factories_;
    QHash<QString, QPointer<FormBase>> forms_;
    QString mainMenu_;
    QPointer<FormBase> lastActive_;
};

} // namespace gp::ui
