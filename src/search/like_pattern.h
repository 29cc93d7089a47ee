// The wildcard match of the search: "*" any run of characters, "?" one
// character, "#" one digit, "[...]" one character of a class ("[A-C]" ranges,
// "[!...]" the other characters; "[]" matches nothing and takes no
// character). Letters compare exactly (capitals count).
//
// A pattern that is not valid (an unclosed "[" or a range written backwards
// such as "[Z-A]") is no pattern at all: it then matches a text that contains
// it as plain characters, so a search for "[MARIO" still finds "[MARIO" rather
// than silently nothing.
#pragma once

#include <QString>
#include <QVector>

namespace gp::search {

class LikePattern {
public:
    // `plain` is what an invalid pattern looks for as plain characters (the
    // pattern itself when not given).
    explicit LikePattern(const QString& pattern, const QString& plain = QString());

    bool isValid() const { return valid_; }
    // Whole-text match of the pattern (for an invalid one: the text contains it).
    bool matches(const QString& text) const;

private:
    struct Token {
        enum Kind { Literal, AnyChar, Digit, Star, Class } kind = Literal;
        QChar ch;
        bool negate = false;
        QVector<QPair<QChar, QChar>> ranges; // Class: inclusive ranges
    };
    bool matchToken(const Token& t, QChar c) const;

    QString plain_;
    bool valid_ = true;
    QVector<Token> tokens_;
};

// "*" + text + "*": names that contain `text` anywhere, with its wildcards.
LikePattern containsPattern(const QString& text);

} // namespace gp::search
