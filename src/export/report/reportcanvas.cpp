#include "export/report/reportcanvas.h"

#include <QFontMetricsF>

#include <cmath>

#include "export/kmz/canvas.h"
#include "platform/text.h"

QFont ReportCanvas::font(double points, bool bold) const {
    QFont f = KmzCanvas_Font(12, bold);
    f.setPointSizeF(points);
    return f;
}

double ReportCanvas::lineHeight(const QFont& font) const {
    return QFontMetricsF(font, p_.device()).lineSpacing() / k_;
}

double ReportCanvas::textWidth(const QString& text, const QFont& font) const {
    return QFontMetricsF(font, p_.device()).horizontalAdvance(text) / k_;
}

double ReportCanvas::textHeight(const QString& text, const QFont& font, double width) const {
    const QRectF r = QFontMetricsF(font, p_.device())
                         .boundingRect(QRectF(0, 0, units(width), 1e9), Qt::TextWordWrap | Qt::AlignLeft, text);
    return r.height() / k_;
}

double ReportCanvas::text(double x, double y, double w, const QString& text, const QFont& font, int align,
                          const QColor& colour) {
    const double h = textHeight(text, font, w);
    p_.setFont(font);
    p_.setPen(colour);
    p_.drawText(box(x, y, w, h + 1.0), Qt::TextWordWrap | align, text);
    return h;
}

void ReportCanvas::label(double x, double y, const QString& text, const QFont& font, Qt::Alignment align,
                         const QColor& colour) {
    double left = x;
    if (align & Qt::AlignHCenter) left = x - textWidth(text, font) / 2.0;
    else if (align & Qt::AlignRight) left = x - textWidth(text, font);
    p_.setFont(font);
    p_.setPen(colour);
    p_.drawText(at(left, y), text);
}

void ReportCanvas::fill(double x, double y, double w, double h, const QColor& colour) {
    p_.fillRect(box(x, y, w, h), colour);
}

void ReportCanvas::frame(double x, double y, double w, double h, double width, const QColor& colour) {
    p_.setPen(pen(width, colour));
    p_.setBrush(Qt::NoBrush);
    p_.drawRect(box(x, y, w, h));
}

void ReportCanvas::line(double x1, double y1, double x2, double y2, double width, const QColor& colour,
                        Qt::PenStyle style) {
    p_.setPen(pen(width, colour, style));
    p_.drawLine(at(x1, y1), at(x2, y2));
}

QPen ReportCanvas::pen(double width, const QColor& colour, Qt::PenStyle style) const {
    QPen pen(colour, units(width), style, Qt::FlatCap, Qt::MiterJoin);
    return pen;
}

QColor Report_Colour(std::uint32_t rgb) {
    return QColor(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF), static_cast<int>(rgb & 0xFF));
}

QColor Report_OverWhite(std::uint32_t rgb, double opacity) {
    auto over = [&](unsigned c) { return static_cast<int>(std::lround(c * opacity + 255.0 * (1.0 - opacity))); };
    return QColor(over((rgb >> 16) & 0xFF), over((rgb >> 8) & 0xFF), over(rgb & 0xFF));
}

QString Report_Latin1(const std::string& latin1) { return QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size())); }

QString Report_FileText(const std::string& bytes) {
    return Text_IsUtf8(bytes) ? QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())) : Report_Latin1(bytes);
}

QString Report_Fixed(double value, int decimals) { return QString::fromStdString(Text_FormatFixed(value, decimals)); }

QString Report_Number(double value) { return QString::fromStdString(Text_Format("%.4g", value)); }
