#include "sim/CardFace.h"

#include "base/TextCodec.h"

#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QSaveFile>

namespace {

// Where the printer's x = 0 lies on the card: the print head does not reach
// the very edge.
constexpr int kLeftMargin = 16;

bool WriteAtomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

} // namespace

namespace CardFace {

std::vector<TLine> Lines(const std::vector<TPrintedText>& texts)
{
    std::vector<TLine> lines;
    for (const TPrintedText& printed : texts) {
        std::string_view rest = printed.Text;
        int32_t y = printed.Y;
        while (!rest.empty()) {
            const size_t end = rest.find("\r\n");
            lines.push_back({printed.X, y, TextCodec::FromGbk(rest.substr(0, end))});
            if (end == std::string_view::npos) {
                break;
            }
            rest.remove_prefix(end + 2);
            y += LineHeight;
        }
    }
    return lines;
}

std::string Text(const std::vector<TLine>& lines)
{
    std::string text;
    for (const TLine& line : lines) {
        text += "y=" + std::to_string(line.Y) + "\t" + line.Text.toStdString() + "\n";
    }
    return text;
}

QImage Render(const std::vector<TLine>& lines)
{
    QImage image(Width, Height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(200, 200, 200));
    painter.drawRoundedRect(QRectF(0.5, 0.5, Width - 1, Height - 1), 24, 24);

    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(20);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (const TLine& line : lines) {
        const QRect box(kLeftMargin + line.X, line.Y, Width, LineHeight);
        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, line.Text);
    }
    return image;
}

bool Save(const std::string& folder, const std::vector<TPrintedText>& texts)
{
    const std::vector<TLine> lines = Lines(texts);
    const QString base = QString::fromStdString(folder);
    const bool ok = WriteAtomically(base + QStringLiteral("CardFace.txt"), QByteArray::fromStdString(Text(lines)));

    const QString png = base + QStringLiteral("CardFace.png");
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        QFile::remove(png);
        return ok;
    }
    QSaveFile file(png);
    const bool pngOk = file.open(QIODevice::WriteOnly) && Render(lines).save(&file, "PNG") && file.commit();
    return ok && pngOk;
}

} // namespace CardFace
