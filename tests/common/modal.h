// Answering the program's message and input boxes from a test.
//
// A ModalAnswerer polls QApplication::activeModalWidget() every few
// milliseconds; each new QMessageBox or QInputDialog that appears is recorded
// (title, text, icon, buttons) and answered with the next planned answer, in
// order. A box that appears when no answer is left is answered with its escape
// button (and recorded with `unplanned` set), so a test never hangs. A box that
// does not carry the planned answer (a button label that is not on it, a
// message box where an input box was planned or the other way round) FAILS the
// running test; it is then closed with its escape button.
//
//   ModalAnswerer boxes;
//   boxes.press("Sì");                 // first box: press the button labelled "Sì"
//   boxes.press("OK");                 // second box
//   boxes.pressEnter();                // a box answered by the Enter key (its default button)
//   boxes.type("123");                 // an input box: type and press OK
//   boxes.cancel();                    // an input box: press Annulla
//   QTest::mouseClick(button, Qt::LeftButton);
//   QCOMPARE(boxes.seen().size(), 2);
//   QCOMPARE(boxes.seen()[0].title, "Gestione Pratica");
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <optional>
#include <vector>

struct SeenBox {
    QString kind; // "message" or "input"
    QString title;
    QString text;        // message text, or the input box's prompt
    QString defaultText; // input boxes: the text shown when it opened
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;     // button labels, in the box's order
    QString defaultButton;   // message boxes: the label of the default button
    QString answered;        // the label pressed ("OK", "Sì", ...), or "type:<text>"
    bool unplanned = false;  // no answer was planned for it
    bool mismatched = false; // the planned answer did not fit it (the test has failed)
};

class ModalAnswerer : public QObject {
    Q_OBJECT
public:
    explicit ModalAnswerer(QObject* parent = nullptr);
    ~ModalAnswerer() override;

    ModalAnswerer& press(const QString& buttonLabel); // message box: press this button
    ModalAnswerer& pressEnter();                      // message box: Enter, as the keyboard gives it
    ModalAnswerer& type(const QString& text);         // input box: type the text, press OK
    ModalAnswerer& cancel();                          // input box: press Annulla

    const std::vector<SeenBox>& seen() const { return seen_; }
    int pending() const { return int(plan_.size()); }
    void clear()
    {
        seen_.clear();
        plan_.clear();
    }

    // Processes events until `count` boxes have been seen or `timeoutMs` passed.
    bool waitForBoxes(int count, int timeoutMs = 5000);

private:
    void poll();
    struct Step {
        enum { Press, Enter, Type, Cancel } what;
        QString value;
    };
    std::deque<Step> plan_;
    std::vector<SeenBox> seen_;
    QTimer timer_;
};
