#include "RtfReader.h"

#include <QList>

#include <optional>

namespace RtfReader {

namespace {

struct Rgb {
    int R = 0;
    int G = 0;
    int B = 0;
};

struct CharFormat {
    int Colour = 0; // index into the colour table; 0 is the reader's own text colour
    bool Bold = false;
    int HalfPoints = 0; // 0 until \fsN sets it
};

// One piece of text that shares a format; a paragraph is a list of these.
struct Run {
    CharFormat Format;
    QString Text;
};

using Paragraph = QList<Run>;

struct Document {
    QList<Rgb> Colours; // index 0 is the "auto" colour
    QList<Paragraph> Paragraphs;
};

class Parser {
public:
    explicit Parser(const QByteArray& rtf) : m_in(rtf) {}

    Document Parse() {
        m_doc.Paragraphs.append(Paragraph());
        while (m_pos < m_in.size()) {
            const char c = m_in[m_pos];
            if (c == '{') {
                ++m_pos;
                // A group inherits where its text goes, so a skipped table stays skipped.
                m_stack.append(m_state);
            } else if (c == '}') {
                ++m_pos;
                CloseGroup();
            } else if (c == '\\') {
                ++m_pos;
                ControlWord();
            } else if (c == '\r' || c == '\n') {
                // Line breaks in RTF source are not text.
                ++m_pos;
            } else {
                ++m_pos;
                Text(QChar(QLatin1Char(c)));
            }
        }
        FlushPendingUnits();
        // The writer ends with a paragraph mark, which leaves an empty trailing paragraph
        // that is not part of the text.
        if (!m_doc.Paragraphs.isEmpty() && m_doc.Paragraphs.last().isEmpty())
            m_doc.Paragraphs.removeLast();
        return m_doc;
    }

private:
    enum class Dest { Same, Skip, ColourTable };

    struct State {
        Dest Destination = Dest::Same;
        CharFormat Format;
        int UnicodeSkip = 1; // \ucN: characters of fallback after each \uN
    };

    void CloseGroup() {
        FlushPendingUnits();
        if (m_state.Destination == Dest::ColourTable)
            FinishColour(true);
        if (!m_stack.isEmpty())
            m_state = m_stack.takeLast();
    }

    // Reads "\word[-]N " or a control symbol; m_pos is just past the backslash.
    void ControlWord() {
        if (m_pos >= m_in.size())
            return;
        const char c = m_in[m_pos];
        if (!IsLetter(c)) {
            ++m_pos;
            ControlSymbol(c);
            return;
        }
        const qsizetype start = m_pos;
        while (m_pos < m_in.size() && IsLetter(m_in[m_pos]))
            ++m_pos;
        const QByteArray word = m_in.mid(start, m_pos - start);
        std::optional<int> param;
        bool negative = false;
        if (m_pos < m_in.size() && m_in[m_pos] == '-') {
            negative = true;
            ++m_pos;
        }
        const qsizetype digits = m_pos;
        qint64 value = 0;
        while (m_pos < m_in.size() && m_in[m_pos] >= '0' && m_in[m_pos] <= '9') {
            if (value < 1000000)
                value = value * 10 + (m_in[m_pos] - '0');
            ++m_pos;
        }
        if (m_pos > digits)
            param = int(negative ? -value : value);
        // A single blank after a control word belongs to the word.
        if (m_pos < m_in.size() && m_in[m_pos] == ' ')
            ++m_pos;
        Word(word, param);
    }

    void ControlSymbol(char c) {
        switch (c) {
        case '\\':
        case '{':
        case '}':
            Text(QChar(QLatin1Char(c)));
            break;
        case '\'': {
            // A byte in the declared code page; the writer's code page agrees with Latin-1
            // for everything it could put here.
            const QByteArray hex = m_in.mid(m_pos, 2);
            m_pos += hex.size();
            bool ok = false;
            const int byte = hex.toInt(&ok, 16);
            if (ok && hex.size() == 2)
                Text(QChar(char16_t(byte)));
            break;
        }
        case '*':
            m_state.Destination = Dest::Skip;
            break;
        case '~':
            Text(QChar(0x00A0));
            break;
        case '-':
        case '_':
            break;
        case '\r':
        case '\n':
            NewParagraph();
            break;
        default:
            break;
        }
    }

    void Word(const QByteArray& word, std::optional<int> param) {
        if (word == "u" && param) {
            // \uN is a signed 16-bit UTF-16 unit; the two halves of a surrogate pair come
            // as two escapes, so units are gathered until a non-escape ends them.
            const char16_t unit = char16_t(*param < 0 ? *param + 65536 : *param);
            m_pendingUnits.append(QChar(unit));
            SkipFallback();
            return;
        }
        if (word == "fonttbl" || word == "stylesheet" || word == "info" || word == "pict" ||
            word == "header" || word == "footer" || word == "generator") {
            m_state.Destination = Dest::Skip;
            return;
        }
        if (word == "colortbl") {
            m_state.Destination = Dest::ColourTable;
            m_doc.Colours.clear();
            m_colour = Rgb();
            m_colourSet = false;
            return;
        }
        if (m_state.Destination == Dest::ColourTable) {
            if (word == "red")
                m_colour.R = param.value_or(0);
            else if (word == "green")
                m_colour.G = param.value_or(0);
            else if (word == "blue")
                m_colour.B = param.value_or(0);
            m_colourSet = true;
            return;
        }
        if (m_state.Destination == Dest::Skip)
            return;
        if (word == "par") {
            NewParagraph();
        } else if (word == "line") {
            Text(QChar(u'\n'));
        } else if (word == "tab") {
            Text(QChar(u'\t'));
        } else if (word == "cf") {
            FlushPendingUnits();
            m_state.Format.Colour = param.value_or(0);
        } else if (word == "b") {
            FlushPendingUnits();
            m_state.Format.Bold = param.value_or(1) != 0;
        } else if (word == "fs") {
            FlushPendingUnits();
            m_state.Format.HalfPoints = param.value_or(24);
        } else if (word == "plain") {
            FlushPendingUnits();
            m_state.Format = CharFormat();
        } else if (word == "uc") {
            m_state.UnicodeSkip = qMax(0, param.value_or(1));
        }
        // Every other word (\pard, \viewkind, \f, \deflang...) changes nothing shown here.
    }

    // Skips the fallback characters that follow \uN for readers without Unicode.
    void SkipFallback() {
        int left = m_state.UnicodeSkip;
        while (left > 0 && m_pos < m_in.size()) {
            const char c = m_in[m_pos];
            if (c == '{' || c == '}')
                break;
            if (c == '\\') {
                if (m_pos + 1 < m_in.size() && m_in[m_pos + 1] == '\'')
                    m_pos += 4; // \'hh counts as one character
                else if (m_pos + 1 < m_in.size() && !IsLetter(m_in[m_pos + 1]))
                    m_pos += 2;
                else
                    break; // a control word ends the fallback early
            } else if (c == '\r' || c == '\n') {
                ++m_pos;
                continue;
            } else {
                ++m_pos;
            }
            --left;
        }
    }

    void Text(QChar c) {
        if (m_state.Destination == Dest::ColourTable) {
            if (c == u';')
                FinishColour(false);
            return;
        }
        if (m_state.Destination == Dest::Skip)
            return;
        FlushPendingUnits();
        Append(QString(c));
    }

    void FinishColour(bool atGroupEnd) {
        // The table's first entry is empty ("auto"); a group end without a pending entry
        // adds nothing.
        if (atGroupEnd && !m_colourSet)
            return;
        m_doc.Colours.append(m_colourSet ? m_colour : Rgb{-1, -1, -1});
        m_colour = Rgb();
        m_colourSet = false;
    }

    void FlushPendingUnits() {
        if (m_pendingUnits.isEmpty())
            return;
        QString text;
        for (qsizetype i = 0; i < m_pendingUnits.size(); ++i) {
            const QChar u = m_pendingUnits[i];
            if (u.isHighSurrogate() && i + 1 < m_pendingUnits.size() &&
                m_pendingUnits[i + 1].isLowSurrogate()) {
                text += u;
                text += m_pendingUnits[++i];
            } else if (u.isSurrogate()) {
                text += QChar(QChar::ReplacementCharacter);
            } else {
                text += u;
            }
        }
        m_pendingUnits.clear();
        Append(text);
    }

    void Append(const QString& text) {
        if (m_state.Destination != Dest::Same)
            return;
        auto& para = m_doc.Paragraphs.last();
        if (!para.isEmpty() && SameFormat(para.last().Format, m_state.Format))
            para.last().Text += text;
        else
            para.append(Run{m_state.Format, text});
    }

    void NewParagraph() {
        FlushPendingUnits();
        if (m_state.Destination != Dest::Same)
            return;
        m_doc.Paragraphs.append(Paragraph());
    }

    static bool SameFormat(const CharFormat& a, const CharFormat& b) {
        return a.Colour == b.Colour && a.Bold == b.Bold && a.HalfPoints == b.HalfPoints;
    }
    static bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

    const QByteArray& m_in;
    qsizetype m_pos = 0;
    State m_state;
    QList<State> m_stack;
    Document m_doc;
    Rgb m_colour;
    bool m_colourSet = false;
    QString m_pendingUnits;
};

QString HtmlEscaped(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'<':
            out += QStringLiteral("&lt;");
            break;
        case u'>':
            out += QStringLiteral("&gt;");
            break;
        case u'&':
            out += QStringLiteral("&amp;");
            break;
        case u'"':
            out += QStringLiteral("&quot;");
            break;
        case u'\n':
            out += QStringLiteral("<br/>");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString ColourName(const Rgb& c) {
    return QStringLiteral("#%1%2%3")
        .arg(c.R & 0xff, 2, 16, QLatin1Char('0'))
        .arg(c.G & 0xff, 2, 16, QLatin1Char('0'))
        .arg(c.B & 0xff, 2, 16, QLatin1Char('0'));
}

} // namespace

QString RtfToHtml(const QByteArray& rtf) {
    const Document doc = Parser(rtf).Parse();
    QString html = QStringLiteral("<html><body>");
    for (const Paragraph& para : doc.Paragraphs) {
        // white-space:pre keeps the blanks that line the columns up and the tabs.
        html += QStringLiteral("<p style=\"margin-top:0px; margin-bottom:0px; white-space:pre;\">");
        if (para.isEmpty())
            html += QStringLiteral("<br/>");
        for (const Run& run : para) {
            QString style;
            const int colour = run.Format.Colour;
            if (colour > 0 && colour < doc.Colours.size() && doc.Colours[colour].R >= 0)
                style += QStringLiteral("color:%1;").arg(ColourName(doc.Colours[colour]));
            if (run.Format.Bold)
                style += QStringLiteral("font-weight:bold;");
            if (run.Format.HalfPoints > 0)
                style += QStringLiteral("font-size:%1pt;").arg(run.Format.HalfPoints / 2.0);
            if (style.isEmpty())
                html += HtmlEscaped(run.Text);
            else
                html += QStringLiteral("<span style=\"%1\">%2</span>")
                            .arg(style, HtmlEscaped(run.Text));
        }
        html += QStringLiteral("</p>");
    }
    html += QStringLiteral("</body></html>");
    return html;
}

QString RtfToPlainText(const QByteArray& rtf) {
    const Document doc = Parser(rtf).Parse();
    QStringList lines;
    lines.reserve(doc.Paragraphs.size());
    for (const Paragraph& para : doc.Paragraphs) {
        QString line;
        for (const Run& run : para)
            line += run.Text;
        lines.append(line);
    }
    return lines.join(u'\n');
}

} // namespace RtfReader
