// The seventeen boxes of a client (Text1 ... Text18 without Text17) with their
// labels and input rules, shared by the client form and the new-client use of
// the client-assignment form:
// - capitals while typing on Text1, Text2, Text3, Text4, Text6, Text7, Text10,
//   Text12, Text13; the other boxes keep the case as typed;
// - typing limits: Text5 5, Text7 2, Text10 16, Text11 11, Text18 10 characters
//   (text the program puts in is never cut);
// - Text18, the date, is rewritten by StrToDate when it loses the focus;
// - Text2, the client number, is read-only on a light yellow ground.
#pragma once

#include "clients/client_register.h"

#include <QWidget>

class QLineEdit;
class QPlainTextEdit;

namespace gp::clients {

class ClientFields : public QWidget {
    Q_OBJECT
public:
    explicit ClientFields(QWidget* parent = nullptr);

    QLineEdit* line(const QString& boxName) const;       // nullptr for Text12 / Text13
    QPlainTextEdit* notes(const QString& boxName) const; // Text12 or Text13
    QWidget* box(const QString& boxName) const;
    QString text(const QString& boxName) const;
    void setText(const QString& boxName, const QString& text);

    // The fields A to Q as the boxes hold them.
    ClientRecord record() const;
    void setRecord(const ClientRecord& record);
    // The checks before the fields are stored: the date is empty or a real
    // one, and no text is longer than a cell holds. False after the message
    // (with `title`) naming the field.
    bool acceptForStore(QWidget* parent, const QString& title);
    // Empties every box.
    void clear();
};

} // namespace gp::clients
