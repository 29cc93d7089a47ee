#include "search/like_pattern.h"

namespace gp::search {

LikePattern::LikePattern(const QString& pattern, const QString& plain) : plain_(plain.isNull() ? pattern : plain)
{
    for (int i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        Token t;
        if (c == QLatin1Char('*')) {
            if (!tokens_.isEmpty() && tokens_.back().kind == Token::Star)
                continue; // "**" is "*"
            t.kind = Token::Star;
        } else if (c == QLatin1Char('?')) {
            t.kind = Token::AnyChar;
        } else if (c == QLatin1Char('#')) {
            t.kind = Token::Digit;
        } else if (c == QLatin1Char('[')) {
            const int close = int(pattern.indexOf(QLatin1Char(']'), i + 1));
            if (close < 0) {
                valid_ = false;
                break;
            }
            QString body = pattern.mid(i + 1, close - i - 1);
            i = close;
            if (body.isEmpty())
                continue; // "[]": nothing to match, no character taken
            t.kind = Token::Class;
            if (body.startsWith(QLatin1Char('!')) && body.size() > 1) {
                t.negate = true;
                body.remove(0, 1);
            }
            for (int k = 0; k < body.size(); ++k) {
                // "-" first or last is an ordinary character.
                if (k + 2 < body.size() && body[k + 1] == QLatin1Char('-')) {
                    if (body[k] > body[k + 2]) {
                        valid_ = false;
                        break;
                    }
                    t.ranges.append({body[k], body[k + 2]});
                    k += 2;
                } else {
                    t.ranges.append({body[k], body[k]});
                }
            }
            if (!valid_)
                break;
        } else {
            t.kind = Token::Literal;
            t.ch = c;
        }
        tokens_.append(t);
    }
    if (!valid_)
        tokens_.clear();
}

bool LikePattern::matchToken(const Token& t, QChar c) const
{
    switch (t.kind) {
    case Token::Literal: return c == t.ch;
    case Token::AnyChar: return true;
    case Token::Digit: return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    case Token::Class: {
        bool in = false;
        for (const auto& r : t.ranges)
            if (c >= r.first && c <= r.second) {
                in = true;
                break;
            }
        return in != t.negate;
    }
    case Token::Star: break;
    }
    return false;
}

bool LikePattern::matches(const QString& text) const
{
    if (!valid_)
        return text.contains(plain_);
    // Iterative match with one back-track point: the last "*" seen.
    int ti = 0, pi = 0;
    int starP = -1, starT = 0;
    const int n = int(text.size()), m = int(tokens_.size());
    while (ti < n) {
        if (pi < m && tokens_[pi].kind == Token::Star) {
            starP = pi++;
            starT = ti;
        } else if (pi < m && matchToken(tokens_[pi], text[ti])) {
            ++pi;
            ++ti;
        } else if (starP >= 0) {
            pi = starP + 1;
            ti = ++starT;
        } else {
            return false;
        }
    }
    while (pi < m && tokens_[pi].kind == Token::Star)
        ++pi;
    return pi == m;
}

LikePattern containsPattern(const QString& text)
{
    return LikePattern(QStringLiteral("*") + text + QStringLiteral("*"), text);
}

} // namespace gp::search
