// Short forms for what every form test checks of the boxes a command shows:
// answer them in order, then compare all of them, title and text, at once.
//
//   auto seen = answered({"Sì", "OK"}, [&] { button->click(); });
//   QCOMPARE(titlesAndTexts(seen), QStringList({box(kTitle, "Sicuro ?"), box(kTitle, "Fatto")}));
#pragma once

#include "modal.h"

#include <QStringList>

#include <initializer_list>
#include <vector>

// Presses the labels given, in order, on the boxes `act` shows; the boxes seen.
template <class Act> std::vector<SeenBox> answered(std::initializer_list<const char*> labels, Act&& act)
{
    ModalAnswerer boxes;
    for (const char* label : labels)
        boxes.press(QString::fromUtf8(label));
    act();
    return boxes.seen();
}

// One box as titlesAndTexts lists it.
inline QString box(const QString& title, const QString& text) { return title + QStringLiteral(" | ") + text; }

// Every box seen, in order, as box(title, text).
inline QStringList titlesAndTexts(const std::vector<SeenBox>& seen)
{
    QStringList out;
    for (const SeenBox& b : seen)
        out << box(b.title, b.text);
    return out;
}

// The default button of every box seen, in order (the answer Enter gives).
inline QStringList defaultButtons(const std::vector<SeenBox>& seen)
{
    QStringList out;
    for (const SeenBox& b : seen)
        out << b.defaultButton;
    return out;
}
