#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

// One text the printer was given: its GBK bytes and where it starts. Its
// lines are separated by CR LF and lie 24 pixels apart.
struct TPrintedText {
    int32_t X = 0;
    int32_t Y = 0;
    std::string Text;
};

// What the printer puts on the card face, as text and as a picture, so
// whoever develops against the simulator sees the card the guest gets.
namespace CardFace {

constexpr int Width = 640;
constexpr int Height = 404;
constexpr int LineHeight = 24;

struct TLine {
    int32_t X = 0;
    int32_t Y = 0;
    QString Text;
};

// Every printed line with its own position. A CR LF ends a line and does
// not start another, so a text ending in CR LF has no empty last line.
std::vector<TLine> Lines(const std::vector<TPrintedText>& texts);

// UTF-8, one line per printed line: "y=<position>", a tab, the text.
std::string Text(const std::vector<TLine>& lines);

// The face as the printer would print it: black text on a white card, cut
// off at the card's edges. Needs a QGuiApplication in the process.
QImage Render(const std::vector<TLine>& lines);

// Writes CardFace.txt, and CardFace.png when the process has a
// QGuiApplication (fonts cannot be rendered without one); otherwise an
// older CardFace.png is removed so it cannot be taken for this card.
// Returns false when a file could not be written.
bool Save(const std::string& folder, const std::vector<TPrintedText>& texts);

} // namespace CardFace
