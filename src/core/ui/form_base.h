// FormBase: the base of every form (window) of the program.
//
// - objectName is the form's name ("Form4", "Anagrafe", ...); pass it to the
//   constructor. Controls go on body() (the central widget), each with its
//   designer name as objectName ("Text1", "Combo1", "Command2").
// - onActivate() runs exactly when this window becomes the active window of the
//   program coming from ANOTHER form of the program, or when it becomes active
//   after being shown (first show, or shown again after a hide). It does NOT run
//   when the whole program regains focus from another application, nor when a
//   message or input box over this form closes. The signal activated() follows it.
// - setCloseRefused(true): the window's close box does nothing (closeEvent is
//   ignored). Forms that must stay open use it; they are hidden and shown by the
//   navigator instead. Navigator::unload() bypasses the refusal.
// - onUnload() runs when the navigator unloads the form, before it is deleted.
// - Keys: Enter presses the focused button (push button, check box, option
//   button); in a one-line text box it presses the form's main command when the
//   form has one (setMainCommand). Escape presses the form's exit command
//   (setEscapeCommand) or closes the window (setEscapeCloses); forms that set
//   neither ignore it. Keys a control uses itself (Enter in a list or a
//   multi-line box, Escape in an open drop-down) never reach the form.
#pragma once

#include <QMainWindow>
#include <QPointer>

#include <QAbstractButton>

namespace gp::ui {

struct AppContext;

class FormBase : public QMainWindow {
    Q_OBJECT
public:
    FormBase(AppContext& ctx, const QString& formName, QWidget* parent = nullptr);
    ~FormBase() override;

    AppContext& ctx() const { return *ctx_; }
    QWidget* body() const { return body_; } // central widget holding the controls

    void setCloseRefused(bool refused) { closeRefused_ = refused; }
    bool closeRefused() const { return closeRefused_; }

    // Places the form's client area by twips (width and height of the body), as
    // the form designer gave them. Convenience for the forms' constructors.
    void setClientSizeTwips(int widthTwips, int heightTwips);
    // Centres the window on its screen.
    void centreOnScreen();

    // The command Enter presses in a one-line text box of this form.
    void setMainCommand(QAbstractButton* button) { mainCommand_ = button; }
    // The command Escape presses: the form's own exit.
    void setEscapeCommand(QAbstractButton* button) { escapeCommand_ = button; }
    // Escape closes the window as its close box does (forms without an exit button).
    void setEscapeCloses(bool closes) { escapeCloses_ = closes; }

    // The form of the program that was last activated (nullptr when none).
    static FormBase* lastActivated();
    // Forgets which form was last active, so that the next activation of any
    // form runs its onActivate() (used when a form is shown again by code).
    static void resetActivation();

signals:
    void activated();

protected:
    virtual void onActivate() {}
    virtual void onUnload() {}

    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    friend class Navigator;
    void unloadNow();
    AppContext* ctx_;
    QWidget* body_;
    bool closeRefused_ = false;
    bool unloading_ = false;
    bool placedOnce_ = false;
    QPointer<QAbstractButton> mainCommand_;
    QPointer<QAbstractButton> escapeCommand_;
    bool escapeCloses_ = false;
};

} // namespace gp::ui
